#include "popups.h"

#include <gtest/gtest.h>

#include "dialog_doubles.h"
#include "dialog_messages.h"
#include "layout_manager.h"
#include "lumtest/tempdir.h"
#include "plat/device.h"
#include "plat/windows.h"

namespace {

using dlgtest::Pump;
using dlgtest::Turn;

LPARAM Pen(int x, int y) { return MAKELPARAM(x, y); }

class PopupTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        plat::UseVirtualClock();
        plat::SetDeviceRoot(root.path());
        Turn(DMDO_0);
        module = dlgtest::LoadLanguageFile(root.path(), {{2, L"Reading"},
                                                         {113, L"Contact saved."},
                                                         {114, L"The contact could not be saved."},
                                                         {232, L"Deleted."},
                                                         {233, L"Nothing marked."},
                                                         {240, L"Card full."},
                                                         {245, L"Yes"},
                                                         {246, L"No"},
                                                         {247, L"Text saved."},
                                                         {248, L"Read the card again?"}});
        ASSERT_NE(module, nullptr);
        CLayoutManager::GetInstance()->SetResource(module);
        parent = dlgtest::CreateRecordingParent();
        dlgtest::HapticEffects().clear();
    }
    void TearDown() override
    {
        DestroyWindow(parent);
        FreeLibrary(module);
        CLayoutManager::ReleaseInstance();
        Turn(DMDO_0);
        plat::UseRealClock();
    }

    // The texts a paint draws (measuring calls left out).
    template <class Popup>
    std::vector<std::wstring> PaintedTexts(Popup& popup)
    {
        HDC screen = GetDC(nullptr);
        HDC dc = CreateCompatibleDC(screen);
        HBITMAP bitmap = CreateCompatibleBitmap(screen, 220, 121);
        HGDIOBJ old = SelectObject(dc, bitmap);
        plat::RecordTextCalls(dc, true);
        popup.PaintTo(dc);
        std::vector<std::wstring> texts;
        for (const plat::TextCall& call : plat::RecordedTextCalls(dc))
            if (!(call.align & DT_CALCRECT))
                texts.push_back(call.text);
        SelectObject(dc, old);
        DeleteObject(bitmap);
        DeleteDC(dc);
        ReleaseDC(nullptr, screen);
        return texts;
    }

    lumtest::TempDir root;
    HMODULE module = nullptr;
    HWND parent = nullptr;
};

TEST_F(PopupTest, InfoPopupTextsByVariantAndKind)
{
    struct Case {
        CInfoPopup::Variant variant;
        int kind;
        const wchar_t* text;  // null: the frame alone
    } cases[] = {
        {CInfoPopup::VARIANT_B_GALLERY, 0, L"Deleted."},
        {CInfoPopup::VARIANT_B_GALLERY, 5, L"Deleted."},
        {CInfoPopup::VARIANT_B_ZOOM, 2, L"Nothing marked."},
        {CInfoPopup::VARIANT_B_ZOOM, 3, L"Reading"},
        {CInfoPopup::VARIANT_B_GALLERY, 6, L"Card full."},
        {CInfoPopup::VARIANT_B_GALLERY, 7, nullptr},
        {CInfoPopup::VARIANT_A, 1, L"Text saved."},
        {CInfoPopup::VARIANT_A, 2, nullptr},
        {CInfoPopup::VARIANT_A2, CInfoPopup::KIND_SAVED, L"Contact saved."},
        {CInfoPopup::VARIANT_A2, CInfoPopup::KIND_SAVED_ALL, L"Contact saved."},
        {CInfoPopup::VARIANT_A2, CInfoPopup::KIND_SAVE_FAILED, L"The contact could not be saved."},
    };
    for (const Case& c : cases) {
        CInfoPopup popup(c.variant);
        ASSERT_TRUE(popup.SubclassWindow(dlgtest::CreateChild(parent, 30080, RECT{10, 35, 230, 156})));
        popup.SetUp(module, c.kind, nullptr, parent);
        // A long text wraps: its lines are drawn one by one.
        std::wstring painted;
        for (const std::wstring& line : PaintedTexts(popup))
            painted += (painted.empty() ? L"" : L" ") + line;
        EXPECT_EQ(painted, c.text ? c.text : L"") << c.variant << " kind " << c.kind;
        popup.DestroyWindow();
    }
}

TEST_F(PopupTest, InfoPopupLaysItsDialogOutAgainOnlyAfterATurn)
{
    CInfoPopup popup(CInfoPopup::VARIANT_A2);
    ASSERT_TRUE(popup.SubclassWindow(dlgtest::CreateChild(parent, 30080, RECT{10, 35, 230, 156})));
    auto orientationCommand = [&](WORD value) {
        SendMessageW(popup, WM_COMMAND, MAKEWPARAM(CMD_POPUP_ORIENTATION, value), 0);
    };
    orientationCommand(7);  // the first look only records the orientation
    EXPECT_TRUE(dlgtest::MessagesOf(WM_SETTINGCHANGE).empty());
    EXPECT_EQ(popup.GetValue(), 7);
    Turn(DMDO_270);
    dlgtest::ParentMessages().clear();
    orientationCommand(0);
    ASSERT_EQ(dlgtest::MessagesOf(WM_SETTINGCHANGE).size(), 1u);
    EXPECT_EQ(dlgtest::MessagesOf(WM_SETTINGCHANGE)[0].wParam, kSettingChangeLayout);
    EXPECT_EQ(dlgtest::MessagesOf(WM_SIZE).size(), 1u);
    orientationCommand(0);  // no change, no layout
    EXPECT_EQ(dlgtest::MessagesOf(WM_SETTINGCHANGE).size(), 1u);

    // A pen on the notice only resets the dialog's inactivity.
    SendMessageW(popup, WM_LBUTTONDOWN, 0, Pen(5, 5));
    SendMessageW(popup, WM_LBUTTONUP, 0, Pen(5, 5));
    EXPECT_EQ(dlgtest::MessagesOf(WM_POPUP_PEN_UP).size(), 2u);
}

TEST_F(PopupTest, YesNoAnswersOnlyWhenThePenLeavesTheButtonItWentDownOn)
{
    const POINT yes{59, 100}, no{161, 100}, question{59, 40}, belowYes{59, 118};
    struct Case {
        const char* what;
        POINT down, up;
        int answer;  // -1: none
        std::vector<std::string> effects;
    } cases[] = {
        {"yes", yes, yes, 1, {"A", "B"}},
        {"no", no, no, 0, {"A", "B"}},
        {"down on yes, up on no", yes, no, -1, {"A"}},
        {"down on yes, up on the question", yes, question, -1, {"A"}},
        {"down on yes, up below the band", yes, belowYes, -1, {"A"}},
        {"down on the question, up on yes", question, yes, -1, {}},
    };
    for (const Case& c : cases) {
        CYesNoPopup popup(CYesNoPopup::VARIANT_RESULT_VIEWS);
        ASSERT_TRUE(popup.SubclassWindow(dlgtest::CreateChild(parent, 20060, RECT{10, 35, 230, 156})));
        popup.SetUp(module, 248, nullptr);
        dlgtest::ParentMessages().clear();
        dlgtest::HapticEffects().clear();

        SendMessageW(popup, WM_LBUTTONDOWN, 0, Pen(c.down.x, c.down.y));
        bool onButton = c.down.y >= 85 && c.down.y < 116;
        EXPECT_EQ(GetCapture() == popup.m_hWnd, onButton) << c.what;
        SendMessageW(popup, WM_LBUTTONUP, 0, Pen(c.up.x, c.up.y));

        auto answers = dlgtest::MessagesOf(WM_COMMAND);
        if (c.answer < 0) {
            EXPECT_TRUE(answers.empty()) << c.what;
            EXPECT_TRUE(IsWindowVisible(popup)) << c.what;
        } else {
            ASSERT_EQ(answers.size(), 1u) << c.what;
            EXPECT_EQ(LOWORD(answers[0].wParam), CMD_YESNO_DONE);
            EXPECT_EQ(answers[0].lParam, c.answer) << c.what;
            EXPECT_FALSE(IsWindowVisible(popup)) << c.what;
        }
        EXPECT_FALSE(popup.IsYesPressed()) << c.what;
        EXPECT_FALSE(popup.IsNoPressed()) << c.what;
        EXPECT_EQ(GetCapture(), nullptr) << c.what;
        EXPECT_EQ(dlgtest::HapticEffects(), c.effects) << c.what;
        EXPECT_EQ(dlgtest::MessagesOf(WM_POPUP_PEN_UP).size(), 2u) << c.what;
        popup.DestroyWindow();
    }
}

TEST_F(PopupTest, YesNoDrawsTheQuestionAndBothLabels)
{
    CYesNoPopup popup(CYesNoPopup::VARIANT_RESULT_VIEWS);
    ASSERT_TRUE(popup.SubclassWindow(dlgtest::CreateChild(parent, 20060, RECT{10, 35, 230, 156})));
    popup.SetUp(module, 248, nullptr);
    EXPECT_EQ(PaintedTexts(popup), (std::vector<std::wstring>{L"Read the card again?", L"Yes", L"No"}));
    popup.DestroyWindow();
}

}  // namespace
