// The bold Tahoma fonts of the OCR dialogs and result views, and the size of
// each text control for the user-interface language: longer translations get
// smaller title buttons, so one layout holds every language.
#pragma once

#include "plat/windows.h"
#include "singleton.h"

inline constexpr int kFontCount = 14;

// Creates the font, its text turned by 270 degrees when the display stands
// at 0 or 180 degrees (the layout is then turned onto the panel).
BOOL CreateRotatedFont(HFONT* out, int height, int weight, LPCWSTR face);

class CFontManager : public CSingleton<CFontManager> {
public:
    using CSingleton<CFontManager>::GetInstance;

    CFontManager();
    ~CFontManager();

    // The font of a layout control in the given language, or in the
    // language library's when language is kDetectLanguage; null for a
    // control that draws no text. The manager keeps the font.
    static constexpr int kDetectLanguage = -1;
    HFONT GetFont(UINT id, int language = kDetectLanguage);
    // The language of the language library in the Windows folder, 0 when there is none.
    LANGID GetUILanguage();

    HFONT GetSlot(int slot) const { return slot >= 0 && slot < kFontCount ? fonts_[slot] : nullptr; }

private:
    HFONT fonts_[kFontCount] = {};
};
