#include "font_manager.h"

#include <cwchar>
#include <cwctype>

#include "settings.h"

namespace {

constexpr LONG kSlotHeights[kFontCount] = {12, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23, 24, 25, 26};

constexpr int kSlot12 = 0;
constexpr int kSlot15 = 2;
constexpr int kSlot17 = 4;
constexpr int kSlot18 = 5;
constexpr int kSlot24 = 11;

enum class Group { None, Body, Buttons, Edit, Small, TitleButtons };

Group GroupOf(UINT id)
{
    switch (id) {
    case 30006:
    case 30007:
    case 30011:
    case 30014:
    case 30023:
        return Group::Body;
    case 30008:
    case 30009:
    case 30015:
    case 30016:
        return Group::Buttons;
    case 30012:
        return Group::Edit;
    case 30020:
    case 30027:
        return Group::Small;
    case 30022:
    case 30024:
        return Group::TitleButtons;
    default:
        return Group::None;
    }
}

struct LanguageFonts {
    int language;
    int titleButtons;
    int buttons;
};

// Languages whose title buttons or buttons differ from the 24-unit titles
// and 15-unit buttons of the others.
constexpr LanguageFonts kLanguageFonts[] = {
    {1031, 9, kSlot15},  // German
    {1035, 7, kSlot12},  // Finnish
    {1038, 6, kSlot15},  // Hungarian
    {1040, 2, kSlot15},  // Italian
    {1043, 8, kSlot15},  // Dutch
    {1044, 8, kSlot15},  // Norwegian
    {1045, 9, kSlot15},  // Polish
    {2070, 4, kSlot15},  // Portuguese
    {3082, 7, kSlot15},  // Spanish
};

LanguageFonts FontsOf(int language)
{
    for (const LanguageFonts& row : kLanguageFonts)
        if (row.language == language)
            return row;
    return {language, kSlot24, kSlot15};
}

// The four hexadecimal digits in front of ".mui"; 0 when the name has none.
LANGID LanguageOfName(const WCHAR* name)
{
    std::size_t length = std::wcslen(name);
    if (length < 8)
        return 0;
    const WCHAR* suffix = name + length - 4;
    if (suffix[0] != L'.' || std::towlower(suffix[1]) != L'm' || std::towlower(suffix[2]) != L'u' ||
        std::towlower(suffix[3]) != L'i')
        return 0;
    WCHAR digits[7] = L"0x";
    std::wmemcpy(digits + 2, suffix - 4, 4);
    unsigned value = 0;
    if (std::swscanf(digits, L"0x%x", &value) != 1)
        return 0;
    return static_cast<LANGID>(value);
}

}  // namespace

CFontManager::CFontManager()
{
    for (int slot = 0; slot < kFontCount; ++slot) {
        LOGFONTW font{};
        font.lfHeight = kSlotHeights[slot];
        font.lfWeight = FW_BOLD;
        font.lfCharSet = DEFAULT_CHARSET;
        std::wcscpy(font.lfFaceName, L"Tahoma");
        fonts_[slot] = CreateFontIndirectW(&font);
    }
}

CFontManager::~CFontManager()
{
    for (HFONT& font : fonts_) {
        if (font)
            DeleteObject(font);
        font = nullptr;
    }
}

LANGID CFontManager::GetUILanguage()
{
    WCHAR windows[MAX_PATH] = {};
    if (!SHGetSpecialFolderPath(nullptr, windows, CSIDL_WINDOWS, FALSE))
        return 0;
    LPCWSTR name = CSettings::GetInstance()->FindMuiFile();
    WCHAR path[MAX_PATH];
    std::swprintf(path, MAX_PATH, L"%ls\\%ls", windows, name);
    HANDLE file = name[0] ? CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr)
                          : INVALID_HANDLE_VALUE;
    if (file != INVALID_HANDLE_VALUE) {
        CloseHandle(file);
        return LanguageOfName(name);
    }
    std::swprintf(path, MAX_PATH, L"%ls\\LumOCR.exe.*.mui", windows);
    WIN32_FIND_DATAW found;
    HANDLE find = FindFirstFileW(path, &found);
    if (find == INVALID_HANDLE_VALUE)
        return 0;
    FindClose(find);
    return LanguageOfName(found.cFileName);
}

HFONT CFontManager::GetFont(UINT id, int language)
{
    if (language == kDetectLanguage)
        language = GetUILanguage();
    LanguageFonts fonts = FontsOf(language);
    switch (GroupOf(id)) {
    case Group::Body:
        return fonts_[kSlot17];
    case Group::Buttons:
        return fonts_[fonts.buttons];
    case Group::Edit:
        return fonts_[kSlot18];
    case Group::Small:
        return fonts_[kSlot12];
    case Group::TitleButtons:
        return fonts_[fonts.titleButtons];
    case Group::None:
        break;
    }
    return nullptr;
}
