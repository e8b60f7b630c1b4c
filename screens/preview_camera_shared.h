// What the camera preview's files share: the images the bars and the popup
// are drawn from, and short ways to the main frame and the common control.
#pragma once

#include "common_control.h"
#include "draw_event.h"
#include "main_frame.h"
#include "preview_camera_gui.h"

namespace preview_camera {

// The single-shot bar's looks: normal, finger off and pressed images follow
// one another from 10000.
enum Look { LOOK_LEAVE, LOOK_CARD, LOOK_DOCUMENT, LOOK_SINGLE, LOOK_SERIES, LOOK_GALLERY, LOOK_SETTINGS };
inline constexpr UINT kSingleBase = 10000;
inline constexpr UINT kIndicatorBase = 10021;
// The series bar: per button the normal, finger-off, disabled and pressed
// images (button 1 has no disabled look).
inline constexpr UINT kMultiImages[kMultiButtons][4] = {
    {10100, 10101, 10100, 10103},
    {10104, 10105, 10106, 10108},
    {10109, 10110, 10111, 10113},
    {10114, 10124, 10116, 10117},
};
inline constexpr UINT kPopupFrame = 10301;
inline constexpr UINT kPopupLeft = 10302;
inline constexpr UINT kPopupCentre = 10304;
inline constexpr UINT kPopupRight = 10306;
inline constexpr UINT kPopupIcons = 10308;

inline constexpr long kFocusProperty = 3;
inline constexpr long kFocusRelease = 708;

inline CMainFrame* Frame() { return CMainFrame::GetInstance(); }
inline CCommonControl* Common() { return CCommonControl::GetInstance(); }

inline bool SingleMode() { return Frame()->m_options.singleMultiMode == 1; }
inline bool SetHoldsAPicture() { return Frame()->m_slots[0].pictureName != nullptr; }

inline void RedrawNow() { CDrawEvent::SendMessage(L"PreviewCameraGUI", __LINE__); }
inline void RedrawLater() { CDrawEvent::PostMessage(L"PreviewCameraGUI", __LINE__); }

}  // namespace preview_camera
