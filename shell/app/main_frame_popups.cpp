// The main frame's window timers and its popup list: what each timer does at
// expiry, and the popups shown, hidden and confirmed on the GUI thread.
#include "main_frame.h"

#include <cstdio>
#include <cwchar>

#include "camcorder_control.h"
#include "common_control.h"
#include "debug_print.h"
#include "dshow_control.h"
#include "gui_screens.h"
#include "layout_manager.h"
#include "phone_control.h"
#include "program_resources.h"
#include "system.h"

#include "main_frame_parts.h"

using namespace mainframe;

namespace {


// Kinds of popup work handed to the GUI thread.
constexpr WPARAM kPopupShow = 1;
constexpr WPARAM kPopupHide = 2;
constexpr WPARAM kPopupRemove = 3;
constexpr WPARAM kPopupReshow = 4;

UINT_PTR PopupTimerOf(int type)
{
    switch (type) {
    case POPUP_SMS: return TM_POPUP_SMS;
    case POPUP_LOW_BATTERY: return TM_POPUP_LOW_BATTERY;
    case POPUP_LOW_STORAGE: return TM_POPUP_LOW_STORAGE;
    case POPUP_LOW_LIGHT: return TM_POPUP_LOW_LIGHT;
    case POPUP_RECOG_FAIL: return TM_POPUP_RECOG_FAIL;
    case POPUP_BT_PAIRING: return TM_POPUP_BT;
    default: return 0;
    }
}

UINT PopupPeriodOf(int type)
{
    switch (type) {
    case POPUP_SMS: return 5000;
    case POPUP_LOW_STORAGE:
    case POPUP_LOW_LIGHT: return 2000;
    default: return 3000;
    }
}

}  // namespace

// ---- Timers ----

LRESULT CMainFrame::OnTimer(UINT, WPARAM wParam, LPARAM, BOOL&)
{
    const UINT_PTR id = wParam;
    switch (id) {
    case TM_INPUT_FLUSH:
        CSystem::GetInstance()->SetInputFlushTimer(FALSE, 0);
        break;
    case TM_USER_ACTIVITY:
        if (HANDLE event = CreateEventW(nullptr, FALSE, FALSE, L"PowerManager/ActivityTimer/UserActivity")) {
            SetEvent(event);
            CloseHandle(event);
        }
        break;
    case TM_CLEAR_GUI_STATUS:
        ::KillTimer(m_hWnd, id);
        CSettings::GetInstance()->RemoveGUIStatus(GUI_STATUS_NOTICE);
        break;
    case TM_AUTO_OFF: {
        std::atomic<int>& seconds = CSettings::AutoOffSeconds();
        // -1 (never) keeps going down and never meets 0.
        if (seconds.load() != 0 && --seconds == 0) {
            DebugPrint(L"[LumOCR] Call End Process [%ls][%d]<<<<<<<<<<<<<<<<", kSource, __LINE__);
            SipShowIM(SIPF_OFF);
            if (m_pApp)
                m_pApp->FillBlackClose();
        }
        break;
    }
    case TM_CLEAR_GUI_STATUS2:
        ::KillTimer(m_hWnd, id);
        CSettings::GetInstance()->RemoveGUIStatus(0x400);
        CDrawEvent::SendMessage(kSource, __LINE__);
        break;
    case TM_SPACECHECK: {
        CCamcorderControl* camcorder = CCamcorderControl::GetInstance();
        if (camcorder->GetRemainingCapacity() > 0)
            break;
        if (camcorder->GetState() & (0x4 | 0x40))
            ::PostMessageW(m_hWnd, WM_MAIN_COMMAND, CMD_RECORDING_STOP_BY_SPACECHECKTIMER, 0);
        ::KillTimer(m_hWnd, id);
        break;
    }
    case TM_MESSAGE_TIMEOUT:
        ::KillTimer(m_hWnd, id);
        // The message's display time is over.
        CMessagePopupGUI::GetInstance()->Hide();
        break;
    case TM_MESSAGE_RESHOW:
        ::KillTimer(m_hWnd, id);
        CMessagePopupGUI::GetInstance()->ShowPending();
        break;
    case TM_POPUP_LOW_BATTERY:
        DebugPrint(L"[TRAVEK] LOW BATT TIMER END!!! WILL BE CLOSE!!!\n");
        ::KillTimer(m_hWnd, id);
        DebugPrint(L"[TRAVEK] END T1\n");
        EndApplication(kSource, __LINE__);
        break;
    case TM_POPUP_LOW_STORAGE:
        ::KillTimer(m_hWnd, id);
        DebugPrint(L"[TRAVEK] LOW STORAGE TIMER END!!! WILL BE CLOSE!!!\n");
        DebugPrint(L"[LumOCR] Call HideDialogBoxEx Func. [%ls][%d]\n", kSource, __LINE__);
        DoHideDialogBoxEx(POPUP_LOW_STORAGE);
        break;
    case TM_POPUP_SMS:
        ::KillTimer(m_hWnd, id);
        DebugPrint(L"[LumOCR] Call HideDialogBoxEx Func. [%ls][%d]\n", kSource, __LINE__);
        DoHideDialogBoxEx(POPUP_SMS);
        break;
    case TM_POPUP_LOW_LIGHT:
        ::KillTimer(m_hWnd, id);
        DebugPrint(L"[LumOCR] Call HideDialogBoxEx Func. [%ls][%d]\n", kSource, __LINE__);
        DoHideDialogBoxEx(POPUP_LOW_LIGHT);
        break;
    case TM_POPUP_RECOG_FAIL:
        ::KillTimer(m_hWnd, id);
        m_bRecognitionFailed = 0;
        DebugPrint(L"[LumOCR] Call HideDialogBoxEx Func. [%ls][%d]\n", kSource, __LINE__);
        DoHideDialogBoxEx(POPUP_RECOG_FAIL);
        break;
    case TM_OCR_CLOSE:
        DebugPrint(L"[TRAVEK] TM_OCR_CLOSE~~!\n");
        ::KillTimer(m_hWnd, id);
        EndApplication(kSource, __LINE__);
        break;
    case TM_GOBACK_PREVIEW:
        DebugPrint(L"[LumOCR::Timer] TM_GOBACK_PREVIEW\n");
        ::KillTimer(m_hWnd, id);
        CSinglePicBaseGUI::GetInstance()->OnCommand(CMD_STILL_GOBACK_PREVIEW, 0);
        break;
    case TM_MODE_NOTICE:
        DebugPrint(L"[LumOCR::Timer] TM_MODE_NOTICE\n");
        ::KillTimer(m_hWnd, id);
        CPreviewCameraGUI::GetInstance()->m_bModeNotice = 0;
        CDrawEvent::SendMessage(kSource, __LINE__);
        break;
    case TM_POPUP_BT:
        ::KillTimer(m_hWnd, id);
        DebugPrint(L"[LumOCR] Call HideDialogBoxEx Func. [%ls][%d]\n", kSource, __LINE__);
        DoHideDialogBoxEx(POPUP_BT_PAIRING);
        break;
    default:
        break;  // not one of ours
    }
    return 0;
}

// ---- Popups ----

void CMainFrame::ShowPopup(int type)
{
    if (type < POPUP_CALL || type > POPUP_BT_PAIRING)
        return;
    if (OnGuiThread())
        DoShowPopup(type);
    else
        ::PostMessageW(m_hWnd, WM_POPUP_REQUEST, kPopupShow, type);
}

void CMainFrame::HideDialogBoxEx(int type)
{
    if (OnGuiThread())
        DoHideDialogBoxEx(type);
    else
        ::PostMessageW(m_hWnd, WM_POPUP_REQUEST, kPopupHide, type);
}

void CMainFrame::RemovePopup(int type)
{
    if (OnGuiThread())
        DoRemovePopup(type);
    else
        ::PostMessageW(m_hWnd, WM_POPUP_REQUEST, kPopupRemove, type);
}

void CMainFrame::ReshowPopup()
{
    if (!OnGuiThread()) {
        ::PostMessageW(m_hWnd, WM_POPUP_REQUEST, kPopupReshow, 0);
        return;
    }
    if (m_nPopupList[0] == 0)
        return;
    LoadPopupTexts(m_nPopupList[0]);
    m_nPopupType = m_nPopupList[0];
    m_bPopupShown = 1;
    CDrawEvent::PostMessage(kSource, __LINE__);
}

LRESULT CMainFrame::OnPopupRequest(UINT, WPARAM wParam, LPARAM lParam, BOOL&)
{
    const int type = static_cast<int>(lParam);
    switch (wParam) {
    case kPopupShow: DoShowPopup(type); break;
    case kPopupHide: DoHideDialogBoxEx(type); break;
    case kPopupRemove: DoRemovePopup(type); break;
    case kPopupReshow: ReshowPopup(); break;
    default: break;
    }
    return 0;
}

void CMainFrame::ClearPopupTexts()
{
    m_szPopupTitle[0] = 0;
    m_szPopupText1[0] = 0;
    m_szPopupText2[0] = 0;
    for (auto& label : m_szPopupButton)
        label[0] = 0;
}

void CMainFrame::DoShowPopup(int type)
{
    if (type < POPUP_CALL || type > POPUP_BT_PAIRING)
        return;
    ReloadAutoOff();
    DebugPrint(L"[LumOCR]POPUP MAKE START [%d]\n", type);
    DebugPrint(L"\n >> POPUP List ");
    for (int entry : m_nPopupList)
        DebugPrint(L"[%d] ", entry);
    if (m_nPopupList[0] == 0)
        ClearPopupTexts();
    if (m_nPopupList[0] == POPUP_RECOG_FAIL && type == POPUP_CALL) {
        StopPopupTimer(POPUP_RECOG_FAIL);
        DoRemovePopup(POPUP_RECOG_FAIL);
    }
    DoRemovePopup(type);
    if (m_nPopupList[0] == POPUP_CALL && type == POPUP_RECOG_FAIL) {
        // The failure of the recognition a call stopped waits behind the
        // ringing call, which stays answerable by its keys.
        for (int i = kPopupListSize - 1; i > 1; --i)
            m_nPopupList[i] = m_nPopupList[i - 1];
        m_nPopupList[1] = type;
        StartPopupTimer(type);
        DebugPrint(L"[LumOCR]POPUP MAKE END\n");
        return;
    }
    for (int i = kPopupListSize - 1; i > 0; --i)
        m_nPopupList[i] = m_nPopupList[i - 1];
    m_nPopupList[0] = type;
    m_nPopupType = type;
    LoadPopupTexts(type);
    StartPopupTimer(type);
    m_bPopupShown = 1;
    CDrawEvent::PostMessage(kSource, __LINE__);
    DebugPrint(L"[LumOCR]POPUP MAKE END\n");
}

void CMainFrame::DoHideDialogBoxEx(int type)
{
    DebugPrint(L"[LumOCR] HideDialogBoxEx start\n");
    DebugPrint(L"[LumOCR] HideDialogBoxEx start[%d]\n", type);
    bool listed = false;
    for (int entry : m_nPopupList)
        listed = listed || (entry != 0 && entry == type);
    if (!listed)
        return;
    StopPopupTimer(type);
    const bool wasShown = m_nPopupList[0] == type;
    DoRemovePopup(type);
    if (wasShown) {
        if (m_nPopupList[0] == 0) {
            DebugPrint(L"[LumOCR] popup HIDE!!!\n");
            m_bPopupShown = 0;
            const int view = m_nView;
            if (view == VIEW_PREVIEW || view == VIEW_SINGLE_PICTURE)
                CDrawEvent::PostMessage(kSource, __LINE__);
        } else {
            // The one behind comes back with its texts; its timer runs on.
            m_nPopupType = m_nPopupList[0];
            LoadPopupTexts(m_nPopupList[0]);
            m_bPopupShown = 1;
            CDrawEvent::PostMessage(kSource, __LINE__);
        }
    }
    // A series that had failures waits on the single-picture screen until
    // its popup ends; then its good cards go to the result view.
    if (type == POPUP_RECOG_FAIL && m_options.singleMultiMode == 0 && m_nView == VIEW_SINGLE_PICTURE)
        ::PostMessageW(m_hWnd, WM_MAIN_COMMAND, CMD_STILL_GO_PREVIEW, 0);
    DebugPrint(L"[LumOCR] HideDialogBoxEx End\n");
}

bool CMainFrame::DoRemovePopup(int type)
{
    int found = -1;
    for (int i = 0; i < kPopupListSize; ++i) {
        if (m_nPopupList[i] == type && type != 0) {
            m_nPopupList[i] = 0;
            found = i;
            DebugPrint(L"[MOZBRIKE] %d is found at %d\n", type, i);
            break;
        }
    }
    if (found < 0)
        return false;
    DebugPrint(L"[TRAVEK] OCR POPUP REMOVE OK TYPE[%d], NO[%d]\n", type, found);
    int next = 0;
    for (int i = 0; i < kPopupListSize; ++i) {
        if (m_nPopupList[i] != 0)
            m_nPopupList[next++] = m_nPopupList[i];
    }
    for (int i = next; i < kPopupListSize; ++i)
        m_nPopupList[i] = 0;
    m_nPopupType = m_nPopupList[0];
    if (next > 0)
        m_bPopupShown = 1;
    return true;
}

void CMainFrame::StartPopupTimer(int type)
{
    UINT_PTR timer = PopupTimerOf(type);
    if (!timer)
        return;
    // The SMS popup expires only once a view is up.
    if (type == POPUP_SMS && m_nView == VIEW_STARTUP)
        return;
    ::SetTimer(m_hWnd, timer, PopupPeriodOf(type), nullptr);
}

void CMainFrame::StopPopupTimer(int type)
{
    if (UINT_PTR timer = PopupTimerOf(type))
        ::KillTimer(m_hWnd, timer);
}

void CMainFrame::LoadPopupTexts(int type)
{
    WCHAR text[kPopupTextLength];
    ClearPopupTexts();
    auto title = [&](UINT id) { CopyText(m_szPopupTitle, LoadMuiString(id, text, kPopupTextLength), kPopupTextLength); };
    auto line1 = [&](UINT id) { CopyText(m_szPopupText1, LoadMuiString(id, text, kPopupTextLength), kPopupTextLength); };
    auto line2 = [&](UINT id) { CopyText(m_szPopupText2, LoadMuiString(id, text, kPopupTextLength), kPopupTextLength); };
    m_nPopupMultiLine = 0;
    if (type == POPUP_CALL) {
        CPhoneControl* phone = CPhoneControl::GetInstance();
        title(10);
        CopyText(m_szPopupText1, phone->GetCallerName(), kPopupTextLength);
        CopyText(m_szPopupText2, phone->GetCallerNumber(), kPopupTextLength);
        m_nPopupButtonStyle = 2;
        CopyText(m_szPopupButton[1], LoadMuiString(11, text, kPopupTextLength), kPopupTextLength);
        CopyText(m_szPopupButton[2], LoadMuiString(12, text, kPopupTextLength), kPopupTextLength);
        return;
    }
    m_nPopupButtonStyle = 1;
    CopyText(m_szPopupButton[0], LoadMuiString(IDS_POPUP_OK, text, kPopupTextLength), kPopupTextLength);
    switch (type) {
    case POPUP_SMS: title(13); line1(14); break;
    case POPUP_ALARM:
        title(16);
        GetTimeFormatW(LOCALE_USER_DEFAULT, TIME_NOSECONDS, nullptr, L"h':'mm tt", m_szPopupText1,
                       kPopupTextLength);
        break;
    case POPUP_LOW_BATTERY: title(17); line1(18); break;
    case POPUP_LOW_STORAGE: title(17); line1(19); break;
    case POPUP_LOW_LIGHT: title(17); line1(20); break;
    case POPUP_RECOG_FAIL:
        title(17);
        if (m_nResultCount > 1) {
            // A series tells how many of its pictures were not read.
            int failed = 0;
            for (int i = 0; i < m_nResultCount && i < kResultSlots; ++i)
                failed += m_slots[i].resultState == 0;
            std::swprintf(m_szPopupText1, kPopupTextLength, L"%d/%d", failed, m_nResultCount);
        } else {
            line1(2);
        }
        line2(15);
        break;
    case POPUP_BT_PAIRING: title(264); line1(265); break;
    default: break;
    }
}

void CMainFrame::ProcessPopupLBtn()
{
    m_bPopupShown = 0;
    if (m_nPopupType == POPUP_CALL) {
        m_bCallAnswered = 1;
        CDrawEvent::SendMessage(kSource, __LINE__);
        CPhoneControl::GetInstance()->Answer();
        EndApplication(kSource, __LINE__);
    }
    DiscardInput();
}

void CMainFrame::ProcessPopupRBtn()
{
    DebugPrint(L"[LumOCR] CMainFrame::ProcessPopupRBtn start\n");
    m_bPopupShown = 0;
    if (m_nPopupType == POPUP_CALL) {
        m_bRecognitionFailed = 0;
        HideDialogBoxEx(POPUP_CALL);
        CDrawEvent::SendMessage(kSource, __LINE__);
        CPhoneControl::GetInstance()->Ignore();
        if (m_nView == VIEW_PREVIEW) {
            CCommonControl* common = CCommonControl::GetInstance();
            if (common->m_nFocusSetting)
                CDShowControl::GetInstance()->SetAMCameraControl(3, 707, false);
            if (common->m_nFocusSetting)
                CDShowControl::GetInstance()->SetAMCameraControl(3, 708, false);
        }
    }
    DiscardInput();
    DebugPrint(L"[LumOCR] CMainFrame::ProcessPopupRBtn End\n");
}

void CMainFrame::ProcessPopupOkBtn()
{
    m_bPopupShown = 0;
    const int type = m_nPopupType;
    switch (type) {
    case POPUP_SMS:
    case POPUP_ALARM:
    case POPUP_LOW_STORAGE:
    case POPUP_RECOG_FAIL:
    case POPUP_BT_PAIRING:
        DebugPrint(L"[LumOCR] Call HideDialogBoxEx Func. [%ls][%d]\n", kSource, __LINE__);
        HideDialogBoxEx(type);
        break;
    case POPUP_LOW_BATTERY:
        ::KillTimer(m_hWnd, TM_POPUP_LOW_BATTERY);
        EndApplication(kSource, __LINE__);
        break;
    default:
        break;
    }
    DiscardInput();
}
