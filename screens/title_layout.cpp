#include "ce_control.h"
#include "display.h"
#include "system.h"

CTitleLayout::CTitleLayout()
{
    GetDisplayOrientationCode();  // brings CSystem's layout size up to date
    const int width = CSystem::GetInstance()->ScreenWidth(), height = CSystem::GetInstance()->ScreenHeight();
    CreateRotatedFont(&m_hFont, 17, FW_SEMIBOLD, L"Tahoma");
    m_rcTitle = RECT{0, 0, width, 29};
    m_rcScreen = RECT{0, 0, width, height};
    m_rcPicture = RECT{40, 0, 360, 240};
    m_rcZoom = RECT{112, 48, 288, 192};
}

CTitleLayout::~CTitleLayout()
{
    if (m_hFont)
        DeleteObject(m_hFont);
}
