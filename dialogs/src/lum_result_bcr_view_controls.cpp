// The card view's children: the shared result controls on its dialog items
// and the alternatives list's rows.
#include <algorithm>
#include <cstring>

#include "bcr_view_impl.h"
#include "dialog_messages.h"
#include "dialog_results.h"
#include "layout_manager.h"
#include "plat/debug.h"
#include "plat/windows.h"
#include "poom_contact.h"
#include "result_controls.h"
#include "skin_draw.h"

using namespace bcr;

void CBcrViewDialog::AttachControls()
{
    m_title.SubclassWindow(GetDlgItem(IDC_BCR_TITLE));
    m_title.SetTextStyle(20, 40, 40, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_END_ELLIPSIS | DT_NOPREFIX);
    m_title.SetExitCommand(20012);
    m_editorFrame.SubclassWindow(GetDlgItem(IDC_BCR_EDITOR_FRAME));
    m_caption.SubclassWindow(GetDlgItem(IDC_BCR_EDITOR_CAPTION));
    m_picture.SubclassWindow(GetDlgItem(IDC_BCR_FIELD_PICTURE));
    m_edit.Attach(GetDlgItem(IDC_BCR_EDIT));
    m_ok.SubclassWindow(GetDlgItem(IDC_BCR_EDITOR_OK));
    m_next.SubclassWindow(GetDlgItem(IDC_BCR_NEXT_FIELD));
    m_bar.SubclassWindow(GetDlgItem(IDC_BCR_SCROLLBAR));
    m_bar.SetOwner(m_hWnd);
    m_bar.LoadBitmaps();
    // The arrows only page among several cards.
    if (m_count > 1) {
        m_left.SubclassWindow(GetDlgItem(IDC_BCR_LEFT));
        m_right.SubclassWindow(GetDlgItem(IDC_BCR_RIGHT));
    }
    m_attached = true;
}

LRESULT CBcrViewDialog::OnNotify(NMHDR* header)
{
    if (!header || header->idFrom != static_cast<UINT_PTR>(IDC_BCR_LIST) || header->code != NM_CUSTOMDRAW)
        return 0;
    return m_dropDown.DrawRow(reinterpret_cast<NMCUSTOMDRAW*>(header));
}
