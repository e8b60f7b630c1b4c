// A short status message laid over whatever screen is active ("Saving
// File", "Not enough Storage", ...). It is never the active screen: while it
// is shown (GUI-status bit 0x40) every screen's paint draws its layers last,
// and the main window hands it the commands meant for the active screen.
#pragma once

#include "base_gui.h"
#include "singleton.h"

class CeControl;

inline constexpr DWORD MESSAGE_NONE = 1;
inline constexpr int kMessageLines = 4;
inline constexpr int kMessageLineChars = 512;
// Posted to the main window after the popup handled a command.
inline constexpr WPARAM kMessageHandledCommand = 0x100CD;

class CMessagePopupGUI : public CBaseGUI, public CSingleton<CMessagePopupGUI> {
public:
    using CSingleton<CMessagePopupGUI>::GetInstance;
    CMessagePopupGUI();
    ~CMessagePopupGUI() override;

    int LoadResource() override;
    int DrawLayer0(CDrawContext* dc) override;
    int DrawLayer2(CDrawContext* dc) override;
    // Hides the popup unless a capture holds it or the camcorder runs; a
    // command that does not hide it goes on to the active screen.
    int OnCommand(DWORD command, DWORD argument) override;
    int OnKeyDown(HWND hwnd, UINT virtualKey, LPARAM keyData) override;
    int OnKeyUp(HWND hwnd, UINT virtualKey, LPARAM keyData) override;

    // Shows the lines of a message code; a time above 0 arms timer 7001,
    // whose end hides the popup.
    void ShowMessage(DWORD code, UINT milliseconds);
    // One to four texts, read top to bottom in the order given. Off the GUI
    // thread the paint is requested, not done there.
    void ShowLines(LPCWSTR line1, LPCWSTR line2 = nullptr, LPCWSTR line3 = nullptr, LPCWSTR line4 = nullptr);
    void Hide();
    // Shows the message that waited behind another (timer 7002).
    void ShowPending();
    void SetPending(DWORD code, UINT milliseconds, DWORD argument);

    DWORD CurrentCode() const { return m_nCode; }
    int LineCount() const { return m_nLines; }
    const RECT& PopupRect() const { return m_rcPopup; }
    // Buffer 1 holds the last text given, buffer n the first.
    LPCWSTR Line(int buffer) const { return m_szLines[buffer - 1]; }

private:
    void ChangeStatusForShow();
    bool OnGuiThread() const;

    CeControl* m_pControls[3] = {};
    RECT m_rcPopup{};
    int m_nLines = 0;
    WCHAR m_szLines[kMessageLines][kMessageLineChars] = {};
    DWORD m_nCode = MESSAGE_NONE;
    DWORD m_nPendingCode = MESSAGE_NONE;
    UINT m_nPendingTime = 0;
};
