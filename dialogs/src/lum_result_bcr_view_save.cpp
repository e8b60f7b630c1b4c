// The card view's Save, Save All, Retry and Exit, and the notices they show.
#include <algorithm>
#include <cstring>

#include "bcr_view_impl.h"
#include "dialog_messages.h"
#include "dialog_results.h"
#include "layout_manager.h"
#include "lum_image_item_list.h"
#include "plat/debug.h"
#include "plat/windows.h"
#include "poom_contact.h"
#include "result_controls.h"
#include "skin_draw.h"

using namespace bcr;

void CBcrViewDialog::ShowInfo(int kind)
{
    m_info.SetUp(m_language, kind, m_popupBackground, m_hWnd);
    ::SetWindowPos(m_info.m_hWnd, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
    ::InvalidateRect(m_info.m_hWnd, nullptr, FALSE);
    SetTimer(TM_POPUP_CLOSE, kPopupCloseMs);
    plat::DebugLine(L"[LumOCR] card view notice %d", kind);
}

void CBcrViewDialog::OnSave()
{
    if (m_busy || m_count < 1)
        return;
    m_busy = true;
    m_edit.StopScroll();
    SipShowIM(SIPF_OFF);
    CloseAlternatives();
    if (m_editField >= 0) {
        WCHAR text[kResultTextChars] = L"";
        ::GetWindowTextW(GetDlgItem(IDC_BCR_EDIT), text, kResultTextChars);
        CopyText(m_texts[static_cast<size_t>(m_editField)].text, text);
        StoreCard();
        ShowEditor(false, m_editField, false);
    }
    EnableSoftKeys(false);
    CLayoutManager::GetInstance()->SetBusy(TRUE);
    m_popupKind = 0;
    CPoomContact contact;
    m_saveFailed = FAILED(contact.SaveCurrentContact(m_hWnd, m_texts.data()));
    ShowInfo(m_saveFailed ? CInfoPopup::KIND_SAVE_FAILED : CInfoPopup::KIND_SAVED);
    m_busy = false;
}

void CBcrViewDialog::OnSaveAll()
{
    if (m_busy || m_count < 1)
        return;
    m_busy = true;
    SipShowIM(SIPF_OFF);
    CloseAlternatives();
    if (m_editField >= 0) {
        WCHAR text[kResultTextChars] = L"";
        ::GetWindowTextW(GetDlgItem(IDC_BCR_EDIT), text, kResultTextChars);
        CopyText(m_texts[static_cast<size_t>(m_editField)].text, text);
        StoreCard();
    }
    EnableSoftKeys(false);
    m_popupKind = 1;
    CLayoutManager::GetInstance()->SetBusy(TRUE);
    std::vector<ResultItem*> cards;
    for (Slot& s : m_slots)
        cards.push_back(s.items.data());
    int stored = 0;
    CPoomContact contact;
    m_saveFailed = FAILED(contact.SaveAllContacts(m_hWnd, cards.data(), m_count, &stored));
    // Stored cards leave the view; a failure keeps the others.
    for (int i = 0; i < stored && m_count > 0; ++i) {
        m_current = 1;
        RemoveCurrentCard();
    }
    m_current = std::min(std::max(m_current, 1), std::max(m_count, 1));
    ShowInfo(m_saveFailed ? CInfoPopup::KIND_SAVE_FAILED : CInfoPopup::KIND_SAVED_ALL);
}

void CBcrViewDialog::RemoveCurrentCard()
{
    if (m_current < 1 || m_current > m_count)
        return;
    // The picture stays on the device; only the list lets it go.
    LumImageItemList* list = LumImageItemList::GetInstance();
    int position = list->FindByName(m_slots[static_cast<size_t>(m_current - 1)].name);
    if (position >= 0)
        list->RemoveAt(position, FALSE);
    m_slots.erase(m_slots.begin() + (m_current - 1));
    m_orientation.erase(m_orientation.begin() + (m_current - 1));
    --m_count;
    if (m_current > m_count)
        m_current = std::max(m_count, 1);
}

void CBcrViewDialog::OnPopupDone()
{
    KillTimer(TM_POPUP_CLOSE);
    ::ShowWindow(m_info.m_hWnd, SW_HIDE);
    plat::DebugLine(L"[LumOCR] card view notice closed");
    CLayoutManager::GetInstance()->SetBusy(FALSE);
    m_busy = false;
    if (!m_saveFailed && m_popupKind == 1) {
        End(RESULT_VIEW_BACK);
        return;
    }
    if (!m_saveFailed && m_popupKind == 0) {
        RemoveCurrentCard();
        if (m_count == 0) {
            End(RESULT_VIEW_BACK);
            return;
        }
    }
    if (m_popupKind == 2 && !m_saveFailed) {
        End(RESULT_VIEW_BACK);  // a retry whose cards were stored
        return;
    }
    if (m_count < 1) {
        End(RESULT_VIEW_BACK);
        return;
    }
    LoadCard();
    if (m_count == 1) {
        ::ShowWindow(GetDlgItem(IDC_BCR_LEFT), SW_HIDE);
        ::ShowWindow(GetDlgItem(IDC_BCR_RIGHT), SW_HIDE);
        SetMenuBar(IDM_BCR_ONE_CARD);
    }
    EnableSoftKeys(true);
    RepaintRows();
    ShowTitle();
}

void CBcrViewDialog::OnRetry()
{
    if (m_busy || CLayoutManager::GetInstance()->IsBusy() || ::IsWindowVisible(m_yesNo.m_hWnd))
        return;
    m_busy = true;
    CLayoutManager::GetInstance()->SetBusy(TRUE);
    CloseAlternatives();
    if (m_editField >= 0)
        OnEditorOK();
    if (m_count == 0) {
        End(RESULT_VIEW_BACK);
        return;
    }
    SipShowIM(SIPF_OFF);
    m_yesNo.SetUp(m_language, m_count < 2 ? 248 : 249, m_popupBackground);
    ::SetWindowPos(m_yesNo.m_hWnd, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
    EnableSoftKeys(false);
}

void CBcrViewDialog::OnYesNoDone(bool yes)
{
    ::ShowWindow(m_yesNo.m_hWnd, SW_HIDE);
    CLayoutManager::GetInstance()->SetBusy(FALSE);
    EnableSoftKeys(true);
    m_busy = false;
    if (!yes) {
        End(RESULT_VIEW_BACK);
        return;
    }
    CPoomContact contact;
    HRESULT hr;
    int stored = 0;
    if (m_count < 2) {
        hr = contact.SaveCurrentContact(m_hWnd, m_texts.data());
    } else {
        std::vector<ResultItem*> cards;
        for (Slot& s : m_slots)
            cards.push_back(s.items.data());
        hr = contact.SaveAllContacts(m_hWnd, cards.data(), m_count, &stored);
        for (int i = 0; i < stored && m_count > 0; ++i) {
            m_current = 1;
            RemoveCurrentCard();
        }
    }
    if (SUCCEEDED(hr)) {
        End(RESULT_VIEW_BACK);
        return;
    }
    // Nothing lost: the unstored cards stay and the user is told.
    m_busy = true;
    m_saveFailed = true;
    m_popupKind = 2;
    EnableSoftKeys(false);
    CLayoutManager::GetInstance()->SetBusy(TRUE);
    ShowInfo(CInfoPopup::KIND_SAVE_FAILED);
}

void CBcrViewDialog::OnExit()
{
    CloseAlternatives();
    if (m_editField >= 0)
        ShowEditor(false, m_editField, false);
    CLayoutManager::PumpKeyMessages(FALSE, TRUE);
    CLayoutManager::PumpMouseMessages(FALSE, TRUE);
    End(RESULT_VIEW_EXIT);
}
