#include "font_manager.h"
#include "services_fixture.h"

namespace {

class Font : public ServicesFixture {
protected:
    void TearDown() override
    {
        CFontManager::ReleaseInstance();
        ServicesFixture::TearDown();
    }
    void PutMui(const wchar_t* name) { Touch(std::wstring(L"\\Windows\\") + name); }

    static LONG HeightOf(HFONT font)
    {
        LOGFONTW info{};
        if (!font || GetObjectW(font, sizeof(info), &info) != sizeof(info))
            return 0;
        return info.lfHeight;
    }
};

TEST_F(Font, SizesFollowTheLanguageLibrary)
{
    struct Case {
        const wchar_t* mui;  // library in \Windows, or none
        LANGID language;
        LONG titles, buttons;
    } cases[] = {
        {L"LumOCR.exe.0407.mui", 0x0407, 22, 15},
        {L"LumOCR.exe.0410.mui", 0x0410, 15, 15},
        {L"LumOCR.exe.0412.mui", 0x0412, 24, 15},
        {L"LumOCR.exe.040b.mui", 0x040b, 20, 12},
        {L"LumOCR.exe.0C0A.MUI", 0x0c0a, 20, 15},
        {L"LumOCR.exe.0816.mui", 0x0816, 17, 15},
        {nullptr, 0, 24, 15},
    };
    CFontManager* fonts = CFontManager::GetInstance();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.mui ? c.mui : L"none");
        std::filesystem::remove_all(root.path() / "Windows");
        if (c.mui)
            PutMui(c.mui);
        EXPECT_EQ(fonts->GetUILanguage(), c.language);
        for (UINT id : {30006u, 30007u, 30011u, 30014u, 30023u})
            EXPECT_EQ(HeightOf(fonts->GetFont(id)), 17) << id;
        for (UINT id : {30008u, 30009u, 30015u, 30016u})
            EXPECT_EQ(HeightOf(fonts->GetFont(id)), c.buttons) << id;
        EXPECT_EQ(HeightOf(fonts->GetFont(30012)), 18);
        EXPECT_EQ(HeightOf(fonts->GetFont(30020)), 12);
        EXPECT_EQ(HeightOf(fonts->GetFont(30027)), 12);
        EXPECT_EQ(HeightOf(fonts->GetFont(30022)), c.titles);
        EXPECT_EQ(HeightOf(fonts->GetFont(30024)), c.titles);
        for (UINT id : {30013u, 30010u, 30005u, 0u})
            EXPECT_EQ(fonts->GetFont(id), nullptr) << id;
    }
}

// The system language's library wins over the first one found.
TEST_F(Font, SystemLanguageLibraryFirst)
{
    PutMui(L"LumOCR.exe.0407.mui");
    PutMui(L"LumOCR.exe.0410.mui");
    RegistrySetDWORD(HKEY_LOCAL_MACHINE, L"nls", L"DefaultLCID", 0x0410);
    EXPECT_EQ(CFontManager::GetInstance()->GetUILanguage(), 0x0410);
    EXPECT_EQ(HeightOf(CFontManager::GetInstance()->GetFont(30022)), 15);
}

// A caller that knows its language skips the search.
TEST_F(Font, GivenLanguage)
{
    PutMui(L"LumOCR.exe.0407.mui");
    CFontManager* fonts = CFontManager::GetInstance();
    struct Case {
        int language;
        LONG titles;
    } cases[] = {{1028, 24}, {1038, 19}, {1043, 21}, {1044, 21}, {1045, 22}, {2070, 17}, {3082, 20}, {0x0407, 22}};
    for (const Case& c : cases)
        EXPECT_EQ(HeightOf(fonts->GetFont(30024, c.language)), c.titles) << c.language;
    EXPECT_EQ(HeightOf(fonts->GetFont(30009, 1035)), 12);
}

TEST_F(Font, BoldTahomaOwnedByTheManager)
{
    CFontManager* fonts = CFontManager::GetInstance();
    HFONT title = fonts->GetFont(30022, 0);
    LOGFONTW info{};
    ASSERT_EQ(GetObjectW(title, sizeof(info), &info), static_cast<int>(sizeof(info)));
    EXPECT_STREQ(info.lfFaceName, L"Tahoma");
    EXPECT_EQ(info.lfWeight, FW_BOLD);
    EXPECT_EQ(info.lfCharSet, DEFAULT_CHARSET);
    EXPECT_EQ(info.lfItalic | info.lfUnderline | info.lfStrikeOut, 0);
    EXPECT_EQ(fonts->GetFont(30024, 0), title);

    HFONT all[kFontCount];
    for (int slot = 0; slot < kFontCount; ++slot) {
        all[slot] = fonts->GetSlot(slot);
        ASSERT_NE(all[slot], nullptr);
    }
    CFontManager::ReleaseInstance();
    for (HFONT font : all)
        EXPECT_EQ(GetObjectW(font, sizeof(info), &info), 0);
}

}  // namespace
