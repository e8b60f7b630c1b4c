// The interface of every full-screen view. The main window hands painting,
// commands, keys and touches to the active screen, which the settings'
// GUI-status mask selects. A screen paints in three layers into the
// display's draw bitmap; containers pushed on its stack (menus, popups) take
// keys and touches before the screen does.
#pragma once

#include <atomic>
#include <string>

#include "draw_event.h"
#include "plat/windows.h"

class CDrawContext;
class CeContainer;
class CGUIStack;

// Commands of the common family the base itself sends.
inline constexpr DWORD CMD_TOUCH_CONTAINER = 0x1000B;

// The landscape screen's left and right side bands.
inline constexpr RECT kLeftSideBand = {0, 0, 40, 240};
inline constexpr RECT kRightSideBand = {360, 0, 400, 240};

// The seven fonts every screen holds (all Tahoma, weight 700).
enum BaseFont { kFont14, kFont15, kFont17, kFont14b, kFont17b, kFont30, kFont130, kBaseFontCount };

class CBaseGUI : public CDrawEvent {
public:
    CBaseGUI();
    ~CBaseGUI() override;

    // The main window: target of the screens' timers and posted messages.
    HWND GetHwnd() const override { return CDrawEvent::Instance().GetHwnd(); }

    // In the order of the screens' table of operations.
    virtual int IsAvailable() { return 1; }
    virtual int LoadResource();
    virtual int UnloadResource() { return 0; }
    virtual int OnOpen();
    virtual int OnClose() { return 0; }
    // 0, the display's flip error, or 1 when there is nothing to draw on.
    virtual int OnPaint();
    virtual int DrawLayer0(CDrawContext*) { return 1; }
    virtual int DrawLayer1(CDrawContext*) { return 1; }
    virtual int DrawLayer2(CDrawContext*) { return 1; }
    virtual int OnEvent(UINT message, WPARAM wParam, LPARAM lParam);
    // Command identifiers are 0xGGGGNNNN: family in the high half.
    virtual int OnCommand(DWORD command, DWORD argument);
    virtual int OnKeyDown(HWND hwnd, UINT virtualKey, LPARAM keyData);
    virtual int OnKeyUp(HWND hwnd, UINT virtualKey, LPARAM keyData);
    virtual int OnLButtonDown(POINT point, WPARAM flags);
    virtual int OnLButtonUp(POINT point, WPARAM flags);
    virtual int OnMouseMove(POINT point, WPARAM flags);
    virtual int IsPainting() { return m_bPainting.load() ? 1 : 0; }
    // The container already on top (or none over none) closes every pushed
    // container and gives the root its focus back; another is pushed.
    virtual void ShowContainer(CeContainer* container);

    CGUIStack* Stack() const { return m_pStack; }
    CeContainer* Root() const { return m_pRoot; }
    HFONT Font(BaseFont which) const { return m_hFonts[which]; }

protected:
    CGUIStack* m_pStack = nullptr;
    CeContainer* m_pRoot = nullptr;
    RECT m_rcTitle{};
    RECT m_rcScreen{};
    RECT m_rcPicture{};
    LONG m_nZoom[4] = {};
    RECT m_rcLeftBand = kLeftSideBand;
    RECT m_rcRightBand = kRightSideBand;
    HFONT m_hFonts[kBaseFontCount] = {};
    std::atomic<bool> m_bPainting{false};

    // A line printed once the paint under way is on the screen: what a
    // scenario waits for before its screenshot.
    void TellWhenShown(std::wstring line) { m_sShownLine = std::move(line); }

private:
    std::wstring m_sShownLine;
};
