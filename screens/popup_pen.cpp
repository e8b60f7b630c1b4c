#include "popup_pen.h"

#include "draw_context.h"

namespace popup_pen {
namespace {

constexpr Button kButtons[3] = {
    {&CMainFrame::m_bPopupLeftPressed, {98, 157, 200, 188}, &CMainFrame::ProcessPopupLBtn, L"LBTN"},
    {&CMainFrame::m_bPopupRightPressed, {200, 157, 302, 188}, &CMainFrame::ProcessPopupRBtn, L"RBTN"},
    {&CMainFrame::m_bPopupCenterPressed, {98, 157, 302, 188}, &CMainFrame::ProcessPopupOkBtn, L"CBTN"},
};

}  // namespace

POINT TouchPoint(POINT point)
{
    if (GetDisplayOrientationCode() == DMDO_90)
        return POINT{400 - point.x, 240 - point.y};
    return point;
}

std::span<const Button, 3> AllButtons() { return kButtons; }

std::span<const Button> ButtonsOf(const CMainFrame* frame)
{
    return frame->m_nPopupButtonStyle == 1 ? std::span<const Button>(kButtons).subspan(2, 1)
                                           : std::span<const Button>(kButtons).first(2);
}

int* ButtonAt(CMainFrame* frame, POINT p)
{
    for (const Button& b : ButtonsOf(frame))
        if (Inside(b.area, p))
            return &(frame->*b.pressed);
    return nullptr;
}

}  // namespace popup_pen
