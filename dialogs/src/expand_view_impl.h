// The zoomable picture view's dialog.
#pragma once

#include <array>

#include "expand_view_dialog.h"
#include "lum_image_item_list.h"
#include "picture_cache.h"
#include "plat/framework.h"
#include "popups.h"

inline constexpr UINT IDD_EXPAND_VIEW = 30025;
inline constexpr UINT IDM_EXPAND_RESULTS = 30061;
inline constexpr UINT IDM_EXPAND_GALLERY = 30053;
inline constexpr WORD CMD_EXPAND_THUMBNAIL = 30050;
inline constexpr WORD CMD_EXPAND_DELETE = 30058;
inline constexpr WORD CMD_EXPAND_RESULT = 30059;
inline constexpr int IDC_EXPAND_POPUP = 1010;
inline constexpr UINT_PTR TM_DOUBLE_TAP = 1200;
inline constexpr UINT kDoubleTapMs = 300;
inline constexpr int kMarkLimit = 20;
inline constexpr int kZoomSteps = 7;

// size fitted into bounds: never enlarged, proportions kept (integer
// divisions), no side below 1.
SIZE FitPictureSize(SIZE size, SIZE bounds);

class CExpandViewDialog : public CDialogImpl {
public:
    CExpandViewDialog();
    ~CExpandViewDialog() override;

    void SetMode(int mode) { m_mode = mode; }
    void SetInactivity(int* inactivity) { m_inactivity = inactivity; }
    // Tests decode without files.
    void SetDecoders(PictureCache::Decoder screen, PictureCache::Decoder full);

    // What tests and the look suite read.
    bool Zoomed() const { return m_zoomed; }
    int ZoomStep() const { return m_step; }
    POINT PanOffset() const { return m_pan; }
    // The part of the full-size picture the area shows while zoomed.
    RECT ZoomWindow() const { return m_window; }
    UINT MenuBarId() const { return m_menuBarId; }
    bool PopupShown() const;
    INT_PTR EndResult() const { return m_endResult; }

    BOOL ProcessWindowMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

private:
    LRESULT OnInitDialog();
    void OnDestroy();
    void Layout();
    void OnPaint();
    void PaintZoomed(HDC dc, const RECT& area, HBITMAP screen, HBITMAP full);
    void OnKeyDown(WPARAM key);
    void OnPenDown(POINT pt);
    void OnPenMove(POINT pt);
    void OnPenUp(POINT pt);
    void OnCommand(WORD id, WORD code);
    void OnPopupDone();
    void Step(int direction);
    void ZoomIn();
    void ZoomOut();
    void EndZoom();
    void Delete();
    void ShowMarkLimit();
    void End(INT_PTR result);
    void Touch();
    void InvalidateContent();

    RECT Place(UINT id) const;
    ImageFileItem* Current() const;
    HBITMAP ScreenBitmap();
    HBITMAP FullBitmap();

    int m_mode = 0;
    int* m_inactivity = nullptr;
    LumImageItemList* m_list = nullptr;
    PictureCache m_full;
    PictureCache m_screen;
    POINT m_swipe{-1, -1};
    POINT m_drag{-1, -1};
    bool m_zoomed = false;
    bool m_dragged = false;
    bool m_tapPending = false;
    int m_step = 0;
    std::array<double, kZoomSteps> m_levels{};
    POINT m_pan{0, 0};
    RECT m_window{};
    HBITMAP m_back = nullptr;
    CInfoPopup m_popup{CInfoPopup::VARIANT_B_ZOOM};
    HWND m_menuBar = nullptr;
    UINT m_menuBarId = 0;
    INT_PTR m_endResult = -1;
    // Hot keys lent to the view while it runs: holder, id, key.
    struct LentKey {
        HWND holder;
        int id;
        UINT vk;
        bool lent;
    };
    std::array<LentKey, 2> m_lent{};
    bool m_ownHotKey = false;
};
