#include "message_popup_gui.h"

#include <cwchar>
#include <iterator>

#include "camera_control.h"
#include "ce_container.h"
#include "common_control.h"
#include "draw_context.h"
#include "gui_stack.h"
#include "layout_manager.h"
#include "rot_bitmap.h"
#include "settings.h"
#include "system.h"

namespace {

// One entry of the message table: program strings by id, or fixed texts.
struct MessageTexts {
    DWORD code;
    UINT ids[4];
    LPCWSTR texts[4];
};

constexpr MessageTexts kMessages[] = {
    {0x10006, {}, {L"Saving Video File"}},
    {0x10007, {}, {L"Saving File"}},
    {0x10008, {}, {L"Saving Files"}},
    {0x10009, {}, {L"No Video"}},
    {0x10010, {}, {L"No Picture"}},
    {0x10011, {}, {L"Filesize is too large"}},
    {0x10014, {}, {L"Low Battery!!"}},
    {0x10015, {}, {L"Camera is in use", L"by another application."}},
    {0x10016, {}, {L"Count over"}},
    {0x10017, {}, {L"Panorama Initialize", L"Fail! Please", L"Restart Camera"}},
    {0x10018, {}, {L"Panorama Image", L"failed to create."}},
    {0x10024, {}, {L"Not enough Storage", L"Not enough storage to take a picture."}},
    {0x10025, {}, {L"Not enough Storage", L"Not enough storage to record."}},
    {0x20002, {1075, 1308, 1076}, {}},
    {0x40003, {1107, 1108, 1109, 1110}, {}},
    {0x40004, {1111, 1108, 1109, 1110}, {}},
};

constexpr int kBandHeight = 30;

// A text of the program's own string table, in a buffer of the caller's.
LPCWSTR ProgramString(UINT id, WCHAR (&buffer)[kMessageLineChars])
{
    if (LoadStringW(nullptr, id, buffer, kMessageLineChars) <= 0)
        buffer[0] = 0;
    return buffer;
}

}  // namespace

CMessagePopupGUI::CMessagePopupGUI() = default;
CMessagePopupGUI::~CMessagePopupGUI() = default;

int CMessagePopupGUI::LoadResource()
{
    CBaseGUI::LoadResource();
    m_nCode = MESSAGE_NONE;
    for (CeControl* control : m_pControls)
        if (control)
            m_pRoot->AddControl(control);
    m_nPendingCode = MESSAGE_NONE;
    m_nPendingTime = 0;
    return 0;
}

bool CMessagePopupGUI::OnGuiThread() const
{
    HWND window = GetHwnd();
    return IsWindow(window) && GetWindowThreadProcessId(window, nullptr) == GetCurrentThreadId();
}

void CMessagePopupGUI::ChangeStatusForShow()
{
    CSettings* settings = CSettings::GetInstance();
    settings->ChangeGUIStatus(GUI_STATUS_POPUP, 0x2400);
    settings->RemoveGUIStatus(GUI_STATUS_NOTICE);
}

void CMessagePopupGUI::ShowMessage(DWORD code, UINT milliseconds)
{
    m_nCode = code;
    if (milliseconds)
        SetTimer(GetHwnd(), TM_MESSAGE_TIMEOUT, milliseconds, nullptr);
    ChangeStatusForShow();
    CSettings::GetInstance()->SetCurrentCommand(code);

    WCHAR texts[kMessageLines][kMessageLineChars] = {};
    if (code == 0x10005) {
        const int mode = CSettings::GetInstance()->GetMode();
        if (mode == 0 || mode == 1)
            ShowLines(ProgramString(mode == 0 ? 1103 : 1104, texts[0]));
        return;
    }
    if (code == 0x10012) {
        CLayoutManager* layout = CLayoutManager::GetInstance();
        std::wcsncpy(texts[0], layout->GetString(CCommonControl::GetInstance()->m_bPanorama ? 1331 : 1330),
                     kMessageLineChars - 1);
        ShowLines(texts[0]);
        return;
    }
    for (const MessageTexts& m : kMessages) {
        if (m.code != code)
            continue;
        LPCWSTR lines[kMessageLines] = {};
        for (int i = 0; i < kMessageLines; ++i)
            lines[i] = m.ids[i] ? ProgramString(m.ids[i], texts[i]) : m.texts[i];
        ShowLines(lines[0], lines[1], lines[2], lines[3]);
        return;
    }
    // A code without texts still holds the popup's place, with nothing in it.
    m_nLines = 0;
    for (auto& line : m_szLines)
        line[0] = 0;
}

void CMessagePopupGUI::ShowLines(LPCWSTR line1, LPCWSTR line2, LPCWSTR line3, LPCWSTR line4)
{
    LPCWSTR given[kMessageLines] = {line1, line2, line3, line4};
    int count = 0;
    while (count < kMessageLines && given[count])
        ++count;
    if (count == 0)
        return;
    m_nLines = count;
    m_nPendingCode = MESSAGE_NONE;
    m_nPendingTime = 0;
    ChangeStatusForShow();
    for (auto& line : m_szLines)
        line[0] = 0;
    // The last text goes to buffer 1, the first to buffer n.
    for (int i = 0; i < count; ++i) {
        std::wcsncpy(m_szLines[count - 1 - i], given[i], kMessageLineChars - 1);
        m_szLines[count - 1 - i][kMessageLineChars - 1] = 0;
    }
    GetDisplayOrientationCode();
    CSystem* system = CSystem::GetInstance();
    const int half = system->ScreenHeight() / 2, extent = 15 * count;
    m_rcPopup = RECT{0, half - extent, system->ScreenWidth(), half + extent};

    if (!OnGuiThread()) {
        // Painting belongs to the GUI thread; a worker only asks for it.
        CDrawEvent::PostMessage(L"MessagePopupGUI", __LINE__);
        return;
    }
    if (CBaseGUI* active = CSettings::GetInstance()->GetActiveGUI())
        active->OnPaint();
}

void CMessagePopupGUI::Hide()
{
    CSettings* settings = CSettings::GetInstance();
    settings->RemoveGUIStatus(GUI_STATUS_POPUP);
    for (auto& line : m_szLines)
        line[0] = 0;
    // A preview redraws itself with the next frame.
    if (!settings->IsGUIStatus(GUI_STATUS_CAMERA | GUI_STATUS_CAMCORDER))
        CDrawEvent::SendMessage(L"MessagePopupGUI", __LINE__);
    KillTimer(GetHwnd(), TM_MESSAGE_TIMEOUT);
    m_nCode = MESSAGE_NONE;
}

void CMessagePopupGUI::ShowPending()
{
    if (m_nPendingCode != MESSAGE_NONE && m_nPendingTime != 0)
        ShowMessage(m_nPendingCode, m_nPendingTime);
}

void CMessagePopupGUI::SetPending(DWORD code, UINT milliseconds, DWORD)
{
    m_nPendingCode = code;
    m_nPendingTime = milliseconds;
    SetTimer(GetHwnd(), TM_MESSAGE_RESHOW, milliseconds, nullptr);
}

int CMessagePopupGUI::DrawLayer0(CDrawContext* dc)
{
    if (!dc || !dc->m_hDC || m_nLines < 1)
        return 1;
    HDC hdc = dc->m_hDC;
    const int mode = SetBkMode(hdc, TRANSPARENT);
    const COLORREF colour = SetTextColor(hdc, RGB(255, 255, 255));
    HGDIOBJ font = SelectObject(hdc, m_hFonts[kFont17]);
    // Band k from the top holds buffer n - k: the texts read in the order given.
    for (int band = 0; band < m_nLines; ++band) {
        LPCWSTR text = m_szLines[m_nLines - 1 - band];
        if (!text[0])
            continue;
        RECT r{m_rcPopup.left, m_rcPopup.top + band * kBandHeight, m_rcPopup.right,
               m_rcPopup.top + (band + 1) * kBandHeight};
        RotDrawText(hdc, dc->m_nSurfaceWidth, &r, text, -1, 5);
    }
    SelectObject(hdc, font);
    SetTextColor(hdc, colour);
    SetBkMode(hdc, mode);
    return 1;
}

int CMessagePopupGUI::DrawLayer2(CDrawContext* dc)
{
    m_pRoot->Draw(dc);
    return 1;
}

int CMessagePopupGUI::OnCommand(DWORD command, DWORD argument)
{
    const bool held = CCameraControl::GetInstance()->GetState() == 3 || CSettings::GetInstance()->GetMode() != 0;
    if (!held) {
        Hide();
    } else if (CBaseGUI* active = CSettings::GetInstance()->GetActiveGUI()) {
        active->OnCommand(command, argument);
    }
    PostMessageW(GetHwnd(), WM_COMMAND, kMessageHandledCommand, 0);
    return 0;
}

int CMessagePopupGUI::OnKeyDown(HWND, UINT virtualKey, LPARAM keyData)
{
    if (m_pStack->ForwardKey(virtualKey, static_cast<int>(keyData)))
        CDrawEvent::SendMessage(L"MessagePopupGUI", __LINE__);
    return 0;
}

int CMessagePopupGUI::OnKeyUp(HWND, UINT virtualKey, LPARAM)
{
    if (virtualKey == VK_F4)
        PostMessageW(GetHwnd(), WM_CLOSE, 0, 0);
    return 0;
}
