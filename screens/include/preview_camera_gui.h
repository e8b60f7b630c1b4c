// The still-camera preview: the screen shown while the live picture runs,
// from which cards and documents are taken one at a time or as a numbered
// set of up to 20, by the shutter keys, the self-timer or the automatic shot
// that fires when the edge detection finds a card. A bar of touch buttons on
// the right edge switches modes and leaves for the gallery, the settings or
// the recognition of a set; the main window's popups are drawn and handled here.
#pragma once

#include <atomic>
#include <map>

#include "preview_gui.h"
#include "singleton.h"

// The touch bar's commands.
inline constexpr DWORD CMD_SWITCH_CARD_DOCUMENT = 0x640002;
inline constexpr DWORD CMD_SWITCH_SINGLE_MULTI = 0x640003;
inline constexpr DWORD CMD_TO_THUMBNAILS = 0x640004;
inline constexpr DWORD CMD_TO_SETTINGS = 0x640005;
inline constexpr DWORD CMD_DELETE_LAST_PICTURE = 0x64000D;
// The shutter and the self-timer.
inline constexpr DWORD CMD_TAKE_PICTURE = 0x30001;
inline constexpr DWORD CMD_SHUTTER_RELEASED = 0x30003;
inline constexpr DWORD CMD_SELF_TIMER_END = 0x30005;
inline constexpr DWORD CMD_APPLY_PREVIEW_RESOLUTION = 0x20003;
inline constexpr DWORD CMD_POP_MENU = 0x10003;

// Keys of the handset.
inline constexpr UINT VK_HALF_SHUTTER = 14;
inline constexpr UINT VK_FULL_SHUTTER = 195;

// Button states of the bars.
enum BarState { BAR_NORMAL = 0, BAR_LEFT = 1, BAR_PRESSED = 2, BAR_DISABLED = 3 };

// The bars' geometry in the 400 x 240 layout.
inline constexpr int kBarX = 348;
inline constexpr int kBarWidth = 52;
inline constexpr int kSingleButtons = 5;
inline constexpr int kSingleHeight = 48;
inline constexpr int kMultiButtons = 4;
inline constexpr int kMultiHeight = 60;
// Free kilobytes a picture needs.
inline constexpr DWORD kShotFreeKB = 1025;

class CPreviewCameraGUI : public CPreviewGUI, public CSingleton<CPreviewCameraGUI> {
public:
    using CSingleton<CPreviewCameraGUI>::GetInstance;
    CPreviewCameraGUI();
    ~CPreviewCameraGUI() override;

    int LoadResource() override;
    int UnloadResource() override;
    int OnClose() override;
    int DrawLayer0(CDrawContext* dc) override;
    int DrawLayer1(CDrawContext* dc) override;
    int DrawLayer2(CDrawContext* dc) override;
    int OnCommand(DWORD command, DWORD argument) override;
    int OnKeyDown(HWND hwnd, UINT virtualKey, LPARAM keyData) override;
    int OnKeyUp(HWND hwnd, UINT virtualKey, LPARAM keyData) override;
    int OnLButtonDown(POINT point, WPARAM flags) override;
    int OnLButtonUp(POINT point, WPARAM flags) override;
    int OnMouseMove(POINT point, WPARAM flags) override;

    // Shows or hides the mode notice; the main window's timer 7010 hides it
    // after 3000 ms.
    void SetModeNotice(BOOL on);
    void ResetState();
    void ResetAndRedraw();

    int SingleState(int button) const { return m_nSingleState[button - 1]; }
    int MultiState(int button) const { return m_nMultiState[button - 1]; }
    int SinglePressed() const { return m_nSinglePressed; }
    int MultiPressed() const { return m_nMultiPressed; }

    // The words the shell and the capture controls read and write.
    int m_bShotPending = 0;          // the shot-pending byte: the text over the preview
    int m_bModeNotice = 0;
    int m_bSettingMenu = 0;          // open the settings view when the preview stops
    int m_bThumbnailView = 0;        // open the thumbnails when the preview stops
    std::atomic<int> m_bAutoShot{0}; // armed by the edge detection
    int m_bShotPendingWord = 0;
    int m_bLastEdgeCheck = 0;        // the automatic shot makes its last edge check
    int m_bCapturePending = 0;       // touches wait while set
    int m_bHalfShutter = 0;

private:
    // The shot state back to idle: no capture, no pending shot.
    void ClearShotState();
    void MarkCaptureUnderWay();
    bool CameraRuns() const;
    bool PopupShown() const;
    bool FocusOption() const;
    void CancelFocus();
    void ShowPopup(int type);
    // A shutter press ends any armed automatic shot.
    void PressShutter();
    enum ShotStart { SHOT_BEGUN, SHOT_NO_CAMERA, SHOT_NO_FOCUS };
    // Marks a shot under way and focuses; a shot that cannot go on leaves
    // the shot state idle.
    ShotStart BeginShot();
    // Too little room where the picture would go: the shot ends with the
    // low-storage popup.
    bool RefusedForStorage();
    void FullShutter();
    void AutoShot();
    // Brings the series bar's states up to date before it is drawn.
    void UpdateMultiStates();
    // The bar button under a layout point (1-based), 0 for none.
    int HitButton(POINT point, bool tracking) const;
    void DrawPopup(CDrawContext* dc);
    void DrawModeNotice(CDrawContext* dc);
    void DrawImage(CDrawContext* dc, UINT id, int x, int y, int w, int h);
    void ButtonUp(POINT point);
    void PopupButtonUp(POINT point);

    std::map<UINT, CeRefPtr<CRotBitmap>> m_images;
    int m_nSingleState[kSingleButtons] = {};
    int m_nSinglePressed = 0;
    int m_nMultiState[kMultiButtons] = {0, 0, BAR_DISABLED, BAR_DISABLED};
    int m_nMultiPressed = 0;
    int m_nToldPopup = 0;  // the popup last logged as on the screen
    RECT m_rcPopup{};
    RECT m_rcPopupText[2] = {};
    RECT m_rcPopupButtons[3] = {};
};
