#include "preview_camcorder_gui.h"

#include <cwchar>
#include <utility>

#include "camcorder_control.h"
#include "ce_button.h"
#include "ce_container.h"
#include "common_control.h"
#include "debug_print.h"
#include "draw_context.h"
#include "dshow_control.h"
#include "gui_screens.h"
#include "gui_stack.h"
#include "message_popup_gui.h"
#include "rot_bitmap.h"
#include "settings.h"
#include "sound_control.h"
#include "system.h"

namespace {

constexpr RECT kIndicator = {44, 7, 59, 22};
constexpr POINT kLabelAt = {66, 6};
constexpr POINT kTimeAt = {105, 6};
constexpr UINT kDotImage = 11040;
constexpr UINT kPauseImage = 11041;
constexpr UINT kSizeModeButton = 11042;   // normal, pressed
constexpr UINT kVideoSizeButton = 11044;
constexpr UINT kStopButton = 11046;
constexpr UINT kRecLabel = 1036;
constexpr UINT kControlsMs = 2000;
constexpr UINT kSpaceCheckMs = 1500;
constexpr UINT kMessageMs = 2000;
constexpr int kRowHeight = 30;
constexpr DWORD kVideoSizeCodes[3] = {4, 6, 7};  // 640 x 480, 320 x 240, 176 x 144

// A menu of text rows: the chosen row in blue, the others on white.
class CRecordList : public CeScrollList {
public:
    CRecordList(int rows, HFONT font) : CeScrollList(rows, kRowHeight), font_(font)
    {
        m_dwFlags |= CE_VISIBLE | CE_TAKES_INPUT | CE_LIST_REPORT_SELECTION;
    }
    void DrawRow(CDrawContext* dc, int index, const RECT& row) override
    {
        const bool chosen = index == m_nSelected;
        dc->FillRect(&row, chosen ? RGB(24, 96, 176) : RGB(240, 240, 236));
        const RECT inner{row.left, row.top + 1, row.right, row.bottom - 1};
        HDC hdc = dc->m_hDC;
        const COLORREF colour = SetTextColor(hdc, chosen ? RGB(255, 255, 255) : RGB(32, 32, 40));
        const int mode = SetBkMode(hdc, TRANSPARENT);
        const HGDIOBJ old = SelectObject(hdc, font_);
        const std::wstring& text = m_items[static_cast<size_t>(index)].text;
        RotDrawText(hdc, dc->m_nSurfaceWidth, &inner, text.c_str(), static_cast<int>(text.size()), 5);
        SelectObject(hdc, old);
        SetBkMode(hdc, mode);
        SetTextColor(hdc, colour);
    }

private:
    HFONT font_;
};

CeButton* MakeButton(DWORD command, UINT image, POINT at)
{
    return CeMakeImageButton(command, image, RECT{at.x, at.y, at.x + 40, at.y + 48});
}

CeScrollList* MakeList(HFONT font, const RECT& at, std::initializer_list<std::pair<DWORD, LPCWSTR>> items)
{
    auto* list = new CRecordList(static_cast<int>(items.size()), font);
    for (const auto& [value, text] : items)
        list->AddItem(value, text);
    list->SetRect(RECT{at.left, at.top, at.right, at.top + kRowHeight * static_cast<int>(items.size())});
    return list;
}

CeContainer* MakeContainer()
{
    auto* container = new CeContainer;
    container->AddRef();
    container->m_dwFlags |= CE_VISIBLE;
    return container;
}

// A list's selection: marked changed, the index kept when the list has it.
void SelectItem(CeScrollList* list, int index)
{
    if (!list)
        return;
    list->MarkDirty();
    if (index >= 0 && index < static_cast<int>(list->m_items.size()))
        list->m_nSelected = index;
}

int Selection(const CeScrollList* list) { return list ? list->m_nSelected : -1; }

void Log(LPCWSTR what) { DebugPrint(L"PREVIEW_CAMCORDER - %ls\n", what); }

CCamcorderControl* Camcorder() { return CCamcorderControl::GetInstance(); }
CSettings* Settings() { return CSettings::GetInstance(); }

}  // namespace

CPreviewCamcorderGUI::CPreviewCamcorderGUI()
{
    CBaseGUI::LoadResource();
    for (auto [mark, image] : {std::pair{&m_pDot, kDotImage}, std::pair{&m_pPauseMark, kPauseImage}}) {
        *mark = new CRotBitmap;
        (*mark)->AddRef();
        (*mark)->LoadBitmap(image);
    }
    CreateControls();
}

CPreviewCamcorderGUI::~CPreviewCamcorderGUI()
{
    KillTimer(GetHwnd(), TM_CAMCORDER_CONTROLS);
    m_pRoot->RemoveAll();
    m_pStack->PopAll(FALSE);
    for (CeContainer** container : {&m_pMainControls, &m_pSizeMenu, &m_pVideoMenu, &m_pRecordControls}) {
        if (*container) {
            (*container)->RemoveAll();
            (*container)->Release();
        }
        *container = nullptr;
    }
    for (CRotBitmap** mark : {&m_pDot, &m_pPauseMark}) {
        if (*mark)
            (*mark)->Release();
        *mark = nullptr;
    }
}

const RECT& CPreviewCamcorderGUI::IndicatorRect() { return kIndicator; }

// Nothing to load: the screen made its controls and images when it was made.
int CPreviewCamcorderGUI::LoadResource() { return 1; }

void CPreviewCamcorderGUI::CreateControls()
{
    const HFONT font = m_hFonts[kFont15];
    m_pRoot->m_dwFlags |= CE_VISIBLE;
    m_pMainControls = MakeContainer();
    m_pMainControls->AddControl(MakeButton(CMD_SIZE_MODE_MENU, kSizeModeButton, POINT{360, 0}));
    m_pMainControls->AddControl(MakeButton(CMD_VIDEO_SIZE_MENU, kVideoSizeButton, POINT{360, 48}));

    m_pSizeMenu = MakeContainer();
    m_pSizeList = MakeList(font, RECT{240, 0, 356, 0}, {{CMD_SIZE_MODE_NORMAL, L"Normal"}, {CMD_SIZE_MODE_MMS, L"MMS"}});
    m_pSizeMenu->AddControl(m_pSizeList);

    m_pVideoMenu = MakeContainer();
    m_pVideoList = MakeList(font, RECT{240, 48, 356, 0},
                            {{CMD_VIDEO_SIZE_FIRST, L"640 x 480"},
                             {CMD_VIDEO_SIZE_FIRST + 1, L"320 x 240"},
                             {CMD_VIDEO_SIZE_FIRST + 2, L"176 x 144"}});
    m_pVideoMenu->AddControl(m_pVideoList);

    m_pRecordControls = MakeContainer();
    m_pPauseList = MakeList(font, RECT{260, 180, 356, 0},
                            {{CMD_RECORDING_PAUSE_RESUME, L"Record"}, {CMD_RECORDING_PAUSE_RESUME, L"Pause"}});
    m_pRecordControls->AddControl(m_pPauseList);
    m_pStop = MakeButton(CMD_RECORDING_STOP, kStopButton, POINT{360, 192});
    m_pRecordControls->AddControl(m_pStop);
    for (CeContainer* container : {m_pMainControls, m_pSizeMenu, m_pVideoMenu, m_pRecordControls})
        container->SetTarget(GetHwnd());
    SelectItem(m_pSizeList, static_cast<int>(Camcorder()->GetSizeMode()));
}

int CPreviewCamcorderGUI::SizeModeSelection() const { return Selection(m_pSizeList); }
int CPreviewCamcorderGUI::VideoSizeSelection() const { return Selection(m_pVideoList); }
int CPreviewCamcorderGUI::PauseSelection() const { return Selection(m_pPauseList); }

void CPreviewCamcorderGUI::Redraw() { CDrawEvent::SendMessage(L"PreviewCamcorderGUI", __LINE__); }

void CPreviewCamcorderGUI::ShowMainControls()
{
    m_pRoot->RemoveAll();
    m_pRoot->AddControl(m_pMainControls);
}

std::wstring CPreviewCamcorderGUI::ElapsedText(LONGLONG seconds)
{
    if (seconds < 0)
        seconds = 0;
    WCHAR text[32];
    std::swprintf(text, std::size(text), L"%02d:%02d:%02d", static_cast<int>(seconds / 3600),
                  static_cast<int>(seconds / 60 % 60), static_cast<int>(seconds % 60));
    return text;
}

// ---- Closing ----

int CPreviewCamcorderGUI::OnClose()
{
    m_bClosing = TRUE;
    // A running recording is stopped first; its stop report ends the program.
    if (Camcorder()->GetState() & RECORD_STATE_RECORDING)
        PostMessageW(GetHwnd(), WM_MAIN_COMMAND, CMD_RECORDING_STOP, 0);
    else
        PostMessageW(GetHwnd(), WM_CLOSE, 0, 0);
    return 0;
}

// ---- Commands ----

void CPreviewCamcorderGUI::StartRecording()
{
    Log(L"CMD_RECORDING_START");
    Settings()->RemoveGUIStatus(GUI_STATUS_NOTICE);
    m_pRoot->RemoveAll();
    Camcorder()->StartRecording();
}

void CPreviewCamcorderGUI::StoppedSteps()
{
    Camcorder()->SetState(RECORD_STATE_STOPPED);
    CSoundControl::GetInstance()->PlayStopRecording();
    CSystem::GetInstance()->MuteNotificationSounds(FALSE);
    m_pRoot->RemoveAll();
    m_pStack->PopAll(FALSE);
}

int CPreviewCamcorderGUI::OnCommand(DWORD command, DWORD argument)
{
    CSettings* settings = Settings();
    switch (command) {
    case CMD_PREVIEW_STARTED:
        Log(L"CMD_PREVIEW_STARTED");
        CPreviewGUI::OnCommand(CMD_PREVIEW_STARTED, argument);
        m_bOpenReview = FALSE;
        Camcorder()->SetState(RECORD_STATE_IDLE);
        if (!settings->IsControlsHidden()) {
            ShowMainControls();
            SetTimer(GetHwnd(), TM_CAMCORDER_CONTROLS, kControlsMs, nullptr);
        }
        Redraw();
        return 0;
    case CMD_PREVIEW_STOPED:
        Log(L"CMD_PREVIEW_STOPED");
        if (m_bOpenReview && settings->IsReviewSwitchOn())
            CReviewMovieGUI::GetInstance()->OnOpen();
        return 0;
    case CMD_RECORDING_START:
        m_bWriteError = FALSE;
        if (settings->IsGUIStatus(GUI_STATUS_CAPTURING)) {
            CCommonControl::GetInstance()->CancelSelfTimer();
            return 0;
        }
        if (!CCommonControl::GetInstance()->IsSelfTimerSet())
            StartRecording();
        else
            CCommonControl::GetInstance()->StartSelfTimer();
        return 0;
    case CMD_RECORDING_STARTED:
        Log(L"CMD_RECORDING_STARTED");
        Camcorder()->SetState(RECORD_STATE_RECORDING);
        m_pStack->PopAll(FALSE);
        m_pRoot->RemoveAll();
        m_pRoot->AddControl(m_pRecordControls);
        m_pRoot->ResetFocus(0);
        SelectItem(m_pPauseList, 0);
        SetTimer(GetHwnd(), TM_SPACECHECK, kSpaceCheckMs, nullptr);
        Redraw();
        return 0;
    case CMD_RECORDING_STOP:
        Log(L"CMD_RECORDING_STOP");
        Camcorder()->StopRecording();
        KillTimer(GetHwnd(), TM_SPACECHECK);
        return 0;
    case CMD_RECORDING_STOPED:
        Log(L"CMD_RECORDING_STOPED");
        StoppedSteps();
        if (m_bWriteError) {
            OnCommand(CMD_PREVIEW_STARTED, 0);
        } else if (m_bClosing) {
            OnCommand(CMD_PREVIEW_EXIT_OTHER, 0);
        } else if (!settings->IsReviewSwitchOn()) {
            OnCommand(CMD_PREVIEW_STARTED, 0);
        } else {
            m_bOpenReview = TRUE;
            CDShowControl::GetInstance()->StopGraph(0);
        }
        return 0;
    case CMD_RECORDING_PAUSE_RESUME: {
        const DWORD state = Camcorder()->GetState();
        if (state & RECORD_STATE_RECORDING)
            Camcorder()->PauseRecording();
        else if (state & RECORD_STATE_PAUSED)
            Camcorder()->ResumeRecording();
        return 0;
    }
    case CMD_RECORDING_PAUSED:
        Log(L"CMD_RECORDING_PAUSED");
        Camcorder()->SetState(RECORD_STATE_PAUSED);
        m_pRoot->ResetFocus(0);
        if (m_pPauseList && m_pPauseList->m_items.size() > 1)
            SelectItem(m_pPauseList, 1);
        return 0;
    case CMD_RECORDING_START_TIMED: StartRecording(); return 0;
    case CMD_RECORDING_ERROR_WRITE:
        Log(L"CMD_RECORDING_ERROR_WRITE");
        m_bWriteError = TRUE;
        OnCommand(CMD_RECORDING_STOP, 0);
        return 0;
    case CMD_RECORDING_STOP_BY_SPACECHECKTIMER:
        Log(L"CMD_RECORDING_STOP_BY_SPACECHECKTIMER");
        OnCommand(CMD_RECORDING_STOP, 0);
        StoppedSteps();
        OnCommand(m_bWriteError || !m_bClosing ? CMD_PREVIEW_STARTED : CMD_PREVIEW_EXIT_OTHER, 0);
        CMessagePopupGUI::GetInstance()->ShowMessage(MSG_NOT_ENOUGH_STORAGE_TO_RECORD, kMessageMs);
        Redraw();
        return 0;
    case CMD_SIZE_MODE_MENU: ShowContainer(m_pSizeMenu); return 0;
    case CMD_SIZE_MODE_NORMAL:
    case CMD_SIZE_MODE_MMS: {
        const int mode = command == CMD_SIZE_MODE_MMS ? 1 : 0;
        Camcorder()->SelectSizeMode(mode);
        SelectItem(m_pSizeList, mode);
        return 0;
    }
    case CMD_VIDEO_SIZE_MENU: ShowContainer(m_pVideoMenu); return 0;
    case CMD_VIDEO_SIZE_FIRST:
    case CMD_VIDEO_SIZE_FIRST + 1:
    case CMD_VIDEO_SIZE_FIRST + 2: {
        const int item = static_cast<int>(command - CMD_VIDEO_SIZE_FIRST);
        Camcorder()->ApplyVideoSize(static_cast<int>(kVideoSizeCodes[item]), 1);
        SelectItem(m_pVideoList, item);
        return 0;
    }
    case CMD_PREVIEW_EXIT_OTHER: OnClose(); return 0;
    case CMD_CONTROLS_SHOW:
        if (Camcorder()->GetState() & RECORD_STATE_IDLE) {
            settings->SetControlsHidden(FALSE);
            ShowMainControls();
            Redraw();
        }
        return 0;
    case CMD_CONTROLS_HIDE:
        if (Camcorder()->GetState() & RECORD_STATE_IDLE) {
            settings->SetControlsHidden(TRUE);
            m_pRoot->RemoveAll();
        }
        return 0;
    default: return CPreviewGUI::OnCommand(command, argument);
    }
}

// ---- Keys ----

int CPreviewCamcorderGUI::OnKeyDown(HWND hwnd, UINT virtualKey, LPARAM keyData)
{
    const DWORD state = Camcorder()->GetState();
    if (virtualKey == VK_RETURN || virtualKey == VK_FULL_SHUTTER) {
        if (state & RECORD_STATE_IDLE) {
            if (Camcorder()->GetRemainingCapacity() > 0) {
                OnCommand(CMD_RECORDING_START, 0);
            } else {
                CMessagePopupGUI::GetInstance()->ShowMessage(MSG_NOT_ENOUGH_STORAGE_TO_RECORD, kMessageMs);
                Redraw();
            }
        } else if (state & (RECORD_STATE_RECORDING | RECORD_STATE_PAUSED)) {
            OnCommand(CMD_RECORDING_STOP, 0);
        }
    } else if (virtualKey == VK_HALF_SHUTTER) {
        DebugPrint(L"HALFSHUTTER Down\n");
        if (!m_pStack->IsEmpty()) {
            m_pStack->PopAll(FALSE);
            m_pRoot->ResetFocus(0);
            Redraw();
        }
        CCommonControl* common = CCommonControl::GetInstance();
        if (common->IsUseFocus())
            common->OnAutoFocusPress();
    }
    return CPreviewGUI::OnKeyDown(hwnd, virtualKey, keyData);
}

int CPreviewCamcorderGUI::OnKeyUp(HWND hwnd, UINT virtualKey, LPARAM keyData)
{
    if (virtualKey == VK_F4)
        OnCommand(CMD_PREVIEW_EXIT_KEY, 0);
    return CPreviewGUI::OnKeyUp(hwnd, virtualKey, keyData);
}

int CPreviewCamcorderGUI::OnLButtonUp(POINT, WPARAM) { return 0; }

// ---- Drawing ----

int CPreviewCamcorderGUI::DrawLayer2(CDrawContext* dc)
{
    const DWORD state = Camcorder()->GetState();
    if (state & (RECORD_STATE_RECORDING | RECORD_STATE_PAUSED)) {
        const LONGLONG seconds = CDShowControl::GetInstance()->GetRecordedSeconds();
        // The dot blinks once a second; the pause mark stays.
        CRotBitmap* mark = state & RECORD_STATE_PAUSED ? m_pPauseMark : seconds % 2 == 0 ? m_pDot : nullptr;
        if (mark && mark->Handle())
            RotTransparentImage(dc->m_hDC, dc->m_nSurfaceWidth, dc->m_nSurfaceHeight, kIndicator.left, kIndicator.top,
                                kIndicator.right - kIndicator.left, kIndicator.bottom - kIndicator.top, mark, 0, 0,
                                kIndicator.right - kIndicator.left, kIndicator.bottom - kIndicator.top, CE_KEY_COLOUR);
        HDC hdc = dc->m_hDC;
        const COLORREF colour = SetTextColor(hdc, RGB(255, 0, 0));
        const int mode = SetBkMode(hdc, TRANSPARENT);
        const HGDIOBJ font = SelectObject(hdc, m_hFonts[kFont17]);
        WCHAR label[16] = {};
        if (LoadStringW(nullptr, kRecLabel, label, static_cast<int>(std::size(label))) > 0) {
            const RECT at{kLabelAt.x, kLabelAt.y, kLabelAt.x + 40, kLabelAt.y + 20};
            RotDrawText(hdc, dc->m_nSurfaceWidth, &at, label, -1, 0);
        }
        SetTextColor(hdc, RGB(255, 255, 255));
        const std::wstring time = ElapsedText(seconds);
        const RECT at{kTimeAt.x, kTimeAt.y, kTimeAt.x + 100, kTimeAt.y + 20};
        RotDrawText(hdc, dc->m_nSurfaceWidth, &at, time.c_str(), -1, 0);
        SelectObject(hdc, font);
        SetBkMode(hdc, mode);
        SetTextColor(hdc, colour);
    }
    m_pRoot->Draw(dc);
    return CPreviewGUI::DrawLayer2(dc);
}
