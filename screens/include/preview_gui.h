// The common base of the screens over the live camera preview: the card
// guide frame with its edge markers, the guide lines, the series counter,
// and the keys and commands every preview shares (zoom, shutter, exit, the
// viewer, the settings menu, the camcorder, the first start).
#pragma once

#include <mutex>

#include "base_gui.h"
#include "ce_ref_count.h"
#include "rot_bitmap.h"

// Commands the preview screens share.
inline constexpr DWORD CMD_SHUTTER_CONTROL = 0x10005;
inline constexpr DWORD CMD_PREVIEW_EXIT_KEY = 0x10007;
inline constexpr DWORD CMD_PREVIEW_EXIT_OTHER = 0x10009;
inline constexpr DWORD CMD_CONTROLS_SHOW = 0x1000C;
inline constexpr DWORD CMD_CONTROLS_HIDE = 0x1000D;
inline constexpr DWORD CMD_OPEN_VIEWER = 0x10034;
inline constexpr DWORD CMD_OPEN_SETTINGS_MENU = 0x10035;
inline constexpr DWORD CMD_TO_CAMCORDER = 0x10038;
inline constexpr DWORD CMD_ZOOM_OUT = 0x20001;
inline constexpr DWORD CMD_ZOOM_IN = 0x20002;

// The preview layout the overlays are drawn in (turned with the display).
inline constexpr int kPreviewLayoutWidth = 348;
inline constexpr int kSeriesSlots = 20;

class CPreviewGUI : public CBaseGUI {
public:
    CPreviewGUI();
    ~CPreviewGUI() override;

    int DrawLayer2(CDrawContext* dc) override;
    int OnCommand(DWORD command, DWORD argument) override;
    int OnKeyDown(HWND hwnd, UINT virtualKey, LPARAM keyData) override;
    int OnKeyUp(HWND hwnd, UINT virtualKey, LPARAM keyData) override;

    // The series counter "slot/20".
    virtual int DrawInfoText(CDrawContext* dc);
    // The card guide frame with two corner markers an edge.
    virtual int DrawGuideLines(CDrawContext* dc);
    // The card frame with one bar an edge.
    virtual int DrawOverlayAreas(CDrawContext* dc);

protected:
    // The card guide and the series counter belong to still shots.
    virtual bool DrawsShotGuides() const { return true; }
    // Deletes the files of the unfinished set and frees their names; the
    // set starts again at slot 0.
    static void DeleteSetPictures();
    // Ends the preview: the worker stops, menus close, the active screen closes.
    void ExitPreview();
    void FirstStart();

    CeRefPtr<CRotBitmap> m_spBitmaps[5];
    std::recursive_mutex m_lock;
};
