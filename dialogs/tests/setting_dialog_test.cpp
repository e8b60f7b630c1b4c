#include "setting_dialog_impl.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>

#include "dialog_doubles.h"
#include "dialog_messages.h"
#include "dialog_results.h"
#include "layout_manager.h"
#include "lumtest/tempdir.h"
#include "plat/device.h"
#include "plat/utf.h"
#include "plat/windows.h"
#include "settings.h"

namespace fs = std::filesystem;

namespace {

using dlgtest::Pump;
using dlgtest::Turn;

// Each language file names the languages in its own words.
const std::vector<std::pair<UINT, std::wstring>> kEnglish = {
    {200, L"OCR settings"}, {201, L"Auto focus"}, {202, L"On"},       {203, L"Off"},      {204, L"Language"},
    {205, L"English"},      {207, L"Russian"},    {208, L"Auto save"}, {234, L"German"},   {235, L"French"},
    {236, L"Italian"},      {237, L"Spanish"},    {238, L"Portuguese"}, {239, L"Ukrainian"}};
const std::vector<std::pair<UINT, std::wstring>> kGerman = {
    {200, L"OCR"},         {202, L"Ein"},         {203, L"Aus"},        {205, L"Englisch"},  {207, L"Russisch"},
    {234, L"Deutsch"},     {235, L"Franz\u00F6sisch"}, {236, L"Italienisch"}, {237, L"Spanisch"},
    {238, L"Portugiesisch"}, {239, L"Ukrainisch"}};

TEST(LanguageRows, TheInterfaceLanguageFirstThenItsNeighboursThenEnglish)
{
    struct Case {
        int primary;
        std::vector<int> rows;
    } cases[] = {
        {9, {0}}, {7, {1, 0}}, {12, {2, 0}}, {16, {3, 0}}, {10, {4, 0}}, {22, {5, 0}},
        {25, {6, 7, 0}}, {34, {7, 6, 0}}, {18, {0}},  // Korean: as English
    };
    for (const Case& c : cases)
        EXPECT_EQ(LanguageRowsFor(c.primary), c.rows) << c.primary;
}

class SettingDialogTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        plat::UseVirtualClock();
        plat::SetDeviceRoot(root.path());
        ASSERT_TRUE(plat::OpenRegistry(false));
        Turn(DMDO_0);
        dlgtest::HapticEffects().clear();
    }
    void TearDown() override
    {
        view.reset();
        Pump();
        if (module)
            FreeLibrary(module);
        CLayoutManager::ReleaseInstance();
        CSettings::ReleaseInstance();
        Turn(DMDO_0);
        plat::CloseRegistry();
        plat::UseRealClock();
    }

    // The only language file of the device: LumOCR.exe.<code>.mui.
    void Language(const std::string& code, const std::vector<std::pair<UINT, std::wstring>>& texts)
    {
        fs::create_directories(root.path() / "Windows");
        const std::string name = "LumOCR.exe." + code + ".mui";
        std::ofstream out(root.path() / "Windows" / name, std::ios::binary);
        for (const auto& [id, text] : texts)
            out << id << '\t' << plat::ToUtf8(text) << '\n';
        out.close();
        module = LoadLibraryW(plat::FromUtf8("\\Windows\\" + name).c_str());
        ASSERT_NE(module, nullptr);
        CLayoutManager::GetInstance()->SetResource(module);
    }
    void Stored(DWORD focus, DWORD language, DWORD autoSave)
    {
        RegistrySetDWORD(HKEY_CURRENT_USER, kOcrOptionsKey, L"EnableAutoFocus", focus);
        RegistrySetDWORD(HKEY_CURRENT_USER, kOcrOptionsKey, L"SelectedLanguage", language);
        RegistrySetDWORD(HKEY_CURRENT_USER, kOcrOptionsKey, L"EnableAutoSave", autoSave);
    }
    static DWORD Value(const WCHAR* name)
    {
        DWORD value = 99;
        RegistryGetDWORD(HKEY_CURRENT_USER, kOcrOptionsKey, name, &value);
        return value;
    }
    void Open()
    {
        view = std::make_unique<CSettingDialog>();
        view->SetParams(nullptr, nullptr, nullptr, &inactivity);
        ASSERT_TRUE(view->Create(nullptr));
        ShowWindow(*view, SW_SHOW);
        Pump();
    }
    std::vector<std::wstring> Rows()
    {
        std::vector<std::wstring> out;
        for (int i = 0; i < view->Languages().GetRowCount(); ++i)
            out.push_back(view->Languages().GetRowText(i));
        return out;
    }
    void Tap(UINT item)
    {
        RECT r = view->ItemRect(item);
        LPARAM at = MAKELPARAM((r.left + r.right) / 2, (r.top + r.bottom) / 2);
        SendMessageW(*view, WM_LBUTTONDOWN, MK_LBUTTON, at);
        SendMessageW(*view, WM_LBUTTONUP, 0, at);
        Pump();
    }

    lumtest::TempDir root;
    HMODULE module = nullptr;
    std::unique_ptr<CSettingDialog> view;
    int inactivity = 0;
};

TEST_F(SettingDialogTest, AGermanInterfaceListsGermanAndEnglishAndFallsBackToItsFirstRow)
{
    Language("0407", kGerman);
    Stored(1, 4, 1);  // Spanish: not in the list
    Open();
    EXPECT_EQ(Rows(), (std::vector<std::wstring>{L"Deutsch", L"Englisch"}));
    EXPECT_EQ(view->Languages().GetSelection(), 0);
    EXPECT_EQ(view->Languages().Caption(), L"Deutsch");
    SendMessageW(*view, WM_COMMAND, CMD_SETTINGS_SAVE, 0);
    EXPECT_EQ(view->EndResult(), SETTING_DIALOG_BACK);
    EXPECT_EQ(Value(L"SelectedLanguage"), 1u);
}

TEST_F(SettingDialogTest, AStoredLanguageAboveTheTableReadsAsTheLast)
{
    std::vector<std::pair<UINT, std::wstring>> russian = kEnglish;
    Language("0419", russian);
    Stored(1, 12, 1);
    Open();
    EXPECT_EQ(Rows(), (std::vector<std::wstring>{L"Russian", L"Ukrainian", L"English"}));
    EXPECT_EQ(view->Languages().Caption(), L"Ukrainian");
}

TEST_F(SettingDialogTest, RadiosAndSaveWriteTheOptions)
{
    Language("0409", kEnglish);
    Stored(1, 0, 0);
    Open();
    EXPECT_TRUE(view->FocusOn());
    EXPECT_FALSE(view->SaveOn());
    Tap(IDC_SETTINGS_FOCUS_OFF);
    Tap(IDC_SETTINGS_SAVE_ON);
    EXPECT_FALSE(view->FocusOn());
    EXPECT_TRUE(view->SaveOn());
    EXPECT_EQ(dlgtest::HapticEffects(), (std::vector<std::string>{"A", "A"}));
    EXPECT_EQ(inactivity, kInactivityReset);
    SendMessageW(*view, WM_COMMAND, CMD_SETTINGS_SAVE, 0);
    EXPECT_EQ(Value(L"EnableAutoFocus"), 0u);
    EXPECT_EQ(Value(L"EnableAutoSave"), 1u);
    EXPECT_EQ(Value(L"SelectedLanguage"), 0u);
}

TEST_F(SettingDialogTest, CancelAndTheEndKeyLeaveTheRegistryAlone)
{
    struct Case {
        const char* what;
        std::function<void(CSettingDialog&)> leave;
        INT_PTR end;
    } cases[] = {
        {"Cancel", [](CSettingDialog& d) { SendMessageW(d, WM_COMMAND, CMD_SETTINGS_CANCEL, 0); }, SETTING_DIALOG_BACK},
        {"end key", [](CSettingDialog& d) { SendMessageW(d, WM_KEYDOWN, VK_F4, 0); }, SETTING_DIALOG_EXIT},
    };
    Language("0409", kEnglish);
    for (const Case& c : cases) {
        Stored(1, 0, 1);
        Open();
        Tap(IDC_SETTINGS_FOCUS_OFF);
        Tap(IDC_SETTINGS_SAVE_OFF);
        c.leave(*view);
        EXPECT_EQ(view->EndResult(), c.end) << c.what;
        EXPECT_EQ(Value(L"EnableAutoFocus"), 1u) << c.what;
        EXPECT_EQ(Value(L"EnableAutoSave"), 1u) << c.what;
        view.reset();
    }
}

TEST_F(SettingDialogTest, TheListOpensOnlyWithMoreThanOneRow)
{
    struct Case {
        std::string code;
        bool opens;
    } cases[] = {{"0409", false}, {"0407", true}};
    for (const Case& c : cases) {
        Language(c.code, c.code == "0409" ? kEnglish : kGerman);
        Stored(1, 0, 1);
        Open();
        Tap(IDC_SETTINGS_LANGUAGE);
        EXPECT_EQ(IsWindowVisible(view->Languages().ListWindow()) != FALSE, c.opens) << c.code;
        if (c.opens) {
            // The second row chosen, the list closed; Save keeps it.
            HWND list = view->Languages().ListWindow();
            SendMessageW(list, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(30, 34 + 5));
            SendMessageW(list, WM_LBUTTONUP, 0, MAKELPARAM(30, 34 + 5));
            EXPECT_FALSE(IsWindowVisible(list));
            SendMessageW(*view, WM_COMMAND, CMD_SETTINGS_SAVE, 0);
            EXPECT_EQ(Value(L"SelectedLanguage"), 0u) << "English";
        }
        view.reset();
        FreeLibrary(module);
        module = nullptr;
        fs::remove_all(root.path() / "Windows");
        CSettings::ReleaseInstance();
    }
}

}  // namespace

namespace {

// The dialog as the program shows it, in both turns; NAME-CODE.png into
// LUMOCR_LOOK_DIR when set.
class SettingDialogLook : public SettingDialogTest {};

TEST_F(SettingDialogLook, OptionsInBothTurns)
{
    Language("0407", kGerman);
    Stored(0, 1, 1);
    for (DWORD code : {DWORD{4}, DWORD{0}}) {
        Turn(code);
        Open();
        dlgtest::CheckLook(*view, {}, "settings", code);
        view.reset();
    }
}

}  // namespace
