// Apart from the font manager: the screens need it without the settings.
#include <cwchar>

#include "font_manager.h"
#include "system.h"

BOOL CreateRotatedFont(HFONT* out, int height, int weight, LPCWSTR face)
{
    if (!out)
        return FALSE;
    LOGFONTW font{};
    font.lfHeight = height;
    font.lfWeight = weight;
    DEVMODEW mode{};
    const DWORD code = CSystem::GetInstance()->GetDisplayOrientation(mode);
    font.lfEscapement = font.lfOrientation = (code == DMDO_0 || code == DMDO_180) ? 2700 : 0;
    font.lfCharSet = DEFAULT_CHARSET;
    font.lfQuality = NONANTIALIASED_QUALITY;
    std::wcsncpy(font.lfFaceName, face ? face : L"Tahoma", LF_FACESIZE - 1);
    *out = CreateFontIndirectW(&font);
    return *out != nullptr;
}
