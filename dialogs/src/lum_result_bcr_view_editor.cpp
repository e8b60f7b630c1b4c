// The card view's field editor and alternatives list.
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

void CBcrViewDialog::OnEditor(int category)
{
    if (category < 0 || category >= 7)
        return;
    CloseAlternatives();
    if (m_editField >= 0)
        OnEditorOK();
    m_editField = category;
    ShowEditor(true, category, true);
    SipShowIM(SIPF_ON);
    plat::DebugLine(L"[LumOCR] card view editor %d", category);
}

void CBcrViewDialog::ShowEditor(bool show, int category, bool withText)
{
    HWND edit = GetDlgItem(IDC_BCR_EDIT);
    if (show) {
        if (withText)
            ::SetWindowTextW(edit, TextOf(m_texts[static_cast<size_t>(category)].text).c_str());
        UINT caption = category >= 1 && category <= 6 ? static_cast<UINT>(106 + category) : 106u;
        WCHAR text[128] = L"";
        if (m_language)
            ::LoadStringW(m_language, caption, text, 128);
        ::SetWindowTextW(GetDlgItem(IDC_BCR_EDITOR_CAPTION), text);
        const RECT& box = m_texts[static_cast<size_t>(category)].box;
        m_picture.Free();
        if (!IsRectEmpty(box) && m_current >= 1 && m_current <= m_count) {
            std::wstring path = m_folder + m_slots[static_cast<size_t>(m_current - 1)].name;
            m_picture.Load(path.c_str(), box, m_orientation[static_cast<size_t>(m_current - 1)]);
        }
    } else {
        m_edit.StopScroll();
        m_picture.Free();
        m_editField = -1;
    }
    UpdateLayout();
}

void CBcrViewDialog::OnEditorOK()
{
    if (m_editField < 0)
        return;
    WCHAR text[kResultTextChars] = L"";
    ::GetWindowTextW(GetDlgItem(IDC_BCR_EDIT), text, kResultTextChars);  // at most 255 characters
    ResultText& t = m_texts[static_cast<size_t>(m_editField)];
    CopyText(t.text, text);
    StoreCard();
    int field = m_editField;
    ShowEditor(false, field, false);
    ScrollTo(field * m_pitch);
    SipShowIM(SIPF_OFF);
}

void CBcrViewDialog::SelectField(int step)
{
    if (m_editField < 0)
        return;
    int next = (m_editField + step + 7) % 7;
    ScrollTo(next * m_pitch);
    SendMessage(WM_COMMAND, CMD_BCR_EDIT, next);
}

void CBcrViewDialog::CloseAlternatives()
{
    if (m_dropDown.ListShown()) {
        m_dropDown.Close();
        RepaintRows();
    }
    if (HWND bar = GetDlgItem(IDC_BCR_SCROLLBAR))
        ::SetFocus(bar);
}

void CBcrViewDialog::OnCombobox(int category)
{
    if (category < 0 || category >= 7)
        return;
    if (m_editField >= 0)
        OnEditorOK();
    HWND list = m_dropDown.ListWindow();
    if (m_dropDown.ListShown()) {
        CloseAlternatives();
        if (m_comboField == category)
            return;  // a second tap closes it
    }
    m_comboField = category;
    m_dropDown.ClearRows();
    m_dropDown.AddRow(TextOf(m_texts[static_cast<size_t>(category)].text));
    const ResultSubItem& alt = m_alternatives[static_cast<size_t>(category)];
    for (int i = 0; i < std::clamp(alt.count, 0, 2); ++i)
        m_dropDown.AddRow(TextOf(alt.candidates[i].text));
    int rows = static_cast<int>(::SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    RECT entry = Entry(kListEntry);
    int height = rows * (entry.bottom - entry.top);
    RECT field = m_rowText[static_cast<size_t>(category)];
    if (IsRectEmpty(field))
        field = RowEntry(kTextEntry, category);
    int top;
    if (field.bottom + height <= UsableHeight()) {
        top = field.bottom;
    } else if (field.top - height >= Entry(kTitleEntry).bottom) {
        top = field.top - height;
    } else {
        if (!Portrait()) {
            int position = category <= 4 ? category * m_pitch + 3 : (category - 2) * m_pitch - 3;
            ScrollTo(position);
            field = RowEntry(kTextEntry, category);
        }
        top = field.bottom + height <= UsableHeight() ? field.bottom : std::max<LONG>(0, field.top - height);
    }
    RECT button = Entry(kDropDownEntry);
    ::SetWindowPos(m_dropDown, HWND_TOP, button.left, field.top - 4, button.right - button.left,
                   button.bottom - button.top, SWP_HIDEWINDOW | SWP_NOACTIVATE);
    ::SetWindowPos(list, HWND_TOP, entry.left, top, entry.right - entry.left, height, SWP_NOACTIVATE);
    m_dropDown.Open();
}

void CBcrViewDialog::OnAlternativeChosen(int row)
{
    if (m_comboField >= 0 && (row == 1 || row == 2)) {
        ResultText& current = m_texts[static_cast<size_t>(m_comboField)];
        ResultText& other = m_alternatives[static_cast<size_t>(m_comboField)].candidates[row - 1];
        std::swap(current, other);
        StoreCard();
    }
    CloseAlternatives();
    RepaintRows();
}
