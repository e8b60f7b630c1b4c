// The card view's pictures: the shared picture list follows the card on
// screen, and Expand view and Browser run the zoom view and the gallery over
// it, each opening the other when asked.
#include "bcr_view_impl.h"
#include "dialog_results.h"
#include "expand_view_dialog.h"
#include "lum_image_item_list.h"
#include "thumbnail_dialog.h"

namespace {

// The list keeps a pointer to the count it was given, past the view's life.
std::int32_t g_cardCount = 0;

}  // namespace

void CBcrViewDialog::InitPictureList()
{
    LumImageItemList* list = LumImageItemList::GetInstance();
    std::vector<const WCHAR*> names;
    for (const Slot& slot : m_slots)
        names.push_back(slot.name.c_str());
    g_cardCount = m_count;
    // The cards stay with the view: its slots move when a card leaves.
    list->LoadCardImages(m_folder.c_str(), names.data(), nullptr, nullptr, &g_cardCount);
    list->ShowAll();
    list->SetFilterMode(LumImageItemList::FILTER_CARDS);
    MakeCurrentInList();
}

// By name: a card whose picture is missing has no record, so positions differ.
void CBcrViewDialog::MakeCurrentInList() const
{
    if (m_current < 1 || m_current > m_count)
        return;
    LumImageItemList* list = LumImageItemList::GetInstance();
    list->SetCurrent(list->FindByName(m_slots[static_cast<size_t>(m_current - 1)].name));
}

void CBcrViewDialog::OnPictureDialog(bool gallery)
{
    if (m_busy || PopupShown() || m_count < 1)
        return;
    CloseAlternatives();
    m_edit.StopScroll();
    ::SetFocus(m_bar.m_hWnd);
    SipShowIM(SIPF_OFF);
    MakeCurrentInList();
    INT_PTR answer;
    if (m_pictureRunner) {
        answer = m_pictureRunner(gallery);
    } else if (gallery) {
        ThumbNailDialog thumbnails;
        ThumbNailInput input;
        input.inactivity = m_inactivity;
        thumbnails.SetInput(input);
        thumbnails.SetResource(m_language);
        answer = thumbnails.DoModal(m_hWnd);
    } else {
        ExpandViewDialog zoom;
        zoom.SetMode(EXPAND_MODE_RESULTS);
        zoom.SetInactivity(m_inactivity);
        answer = zoom.DoModal(m_hWnd);
    }
    if (answer == (gallery ? GALLERY_EXIT : EXPAND_VIEW_EXIT)) {
        End(RESULT_VIEW_EXIT);
        return;
    }
    if (answer == (gallery ? GALLERY_DONE : EXPAND_VIEW_OTHER)) {
        PostMessage(WM_COMMAND, gallery ? CMD_BCR_EXPAND_CARDS : CMD_BCR_BROWSER, 0);
        return;
    }
    m_edit.CheckOverflow();
    if (m_editField >= 0)
        OnEditorOK();
    // Back on the card of the picture the dialog ended on.
    std::wstring name = LumImageItemList::GetInstance()->GetCurrentItem().GetName();
    for (int k = 0; k < m_count; ++k) {
        if (m_slots[static_cast<size_t>(k)].name == name) {
            m_current = k + 1;
            LoadCard();
            RepaintRows();
            ShowTitle();
            break;
        }
    }
}
