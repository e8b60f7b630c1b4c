#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <functional>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "bcr_view_impl.h"
#include "dialog_doubles.h"
#include "dialog_messages.h"
#include "dialog_results.h"
#include "layout_manager.h"
#include "lumtest/tempdir.h"
#include "plat/device.h"
#include "plat/screen.h"
#include "plat/windows.h"

namespace fs = std::filesystem;

namespace {

void Put(WCHAR (&out)[kResultTextChars], const std::wstring& text)
{
    std::fill(std::begin(out), std::end(out), 0);
    std::copy_n(text.begin(), std::min<size_t>(text.size(), kResultTextChars - 1), out);
}

std::wstring Text(const WCHAR (&text)[kResultTextChars]) { return std::wstring(text, ResultTextLength(text)); }

void Turn(DWORD orientation)
{
    DEVMODEW mode{};
    mode.dmSize = sizeof(mode);
    mode.dmFields = DM_DISPLAYORIENTATION;
    mode.dmDisplayOrientation = orientation;
    ChangeDisplaySettingsEx(nullptr, &mode, nullptr, 0, nullptr);
}

void Pump()
{
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

struct Card {
    std::array<ResultItem, 7> items{};
    std::array<ResultSubItem, 7> alternatives{};
};

// Items in reverse category order: the view indexes texts by type, not position.
Card MakeCard(const std::wstring& name, const std::wstring& company)
{
    Card c;
    for (int i = 0; i < 7; ++i) {
        ResultItem& item = c.items[static_cast<size_t>(6 - i)];
        item.type = i;
        Put(item.text, i == 0 ? name : i == 3 ? company : L"");
    }
    c.alternatives[0].count = 2;
    Put(c.alternatives[0].candidates[0].text, name + L" Jr");
    Put(c.alternatives[0].candidates[1].text, L"N. " + name);
    return c;
}

std::string AllContacts(const fs::path& dir)
{
    std::string all;
    if (!fs::exists(dir))
        return all;
    for (auto& e : fs::directory_iterator(dir)) {
        std::ifstream in(e.path(), std::ios::binary);
        all += std::string((std::istreambuf_iterator<char>(in)), {});
    }
    return all;
}

size_t ContactCount(const fs::path& dir)
{
    if (!fs::exists(dir))
        return 0;
    return static_cast<size_t>(std::distance(fs::directory_iterator(dir), fs::directory_iterator()));
}

class BcrViewTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        plat::UseVirtualClock();
        plat::SetDeviceRoot(root.path());
        ASSERT_TRUE(plat::OpenRegistry(false));
        Turn(DMDO_0);
        module = dlgtest::LoadLanguageFile(root.path(), {{106, L"Name"},
                                                         {107, L"Mobile"},
                                                         {113, L"Contact saved."},
                                                         {114, L"The contact could not be saved."},
                                                         {245, L"Yes"},
                                                         {246, L"No"},
                                                         {248, L"Retry?"},
                                                         {249, L"Retry all?"}});
    }
    void TearDown() override
    {
        view.reset();
        Pump();
        CLayoutManager::GetInstance()->SetBusy(FALSE);
        Turn(DMDO_0);
        plat::CloseRegistry();
        plat::UseRealClock();
    }

    void Open(std::vector<Card>& cards, std::vector<std::wstring> names, std::vector<int> flags = {})
    {
        std::vector<ResultItem*> items;
        std::vector<ResultSubItem*> alts;
        std::vector<const WCHAR*> nameList;
        for (Card& c : cards) {
            items.push_back(c.items.data());
            alts.push_back(c.alternatives.data());
        }
        for (const std::wstring& n : names)
            nameList.push_back(n.c_str());
        flags.resize(cards.size(), 1);
        view = std::make_unique<CBcrViewDialog>();
        view->SetData(items.data(), alts.data(), static_cast<int>(cards.size()), L"\\My Documents\\",
                      nameList.data(), module, nullptr, &inactivity, flags.data());
        ASSERT_TRUE(view->Create(nullptr));
        ShowWindow(*view, SW_SHOW);
        Pump();
    }
    void Command(WORD id, LPARAM lParam = 0)
    {
        SendMessageW(*view, WM_COMMAND, id, lParam);
        Pump();
    }
    std::wstring Title()
    {
        WCHAR text[128];
        GetWindowTextW(GetDlgItem(*view, IDC_BCR_TITLE), text, 128);
        return text;
    }
    void PopupTimesOut()
    {
        plat::AdvanceClock(kPopupCloseMs + 10);
        Pump();
    }

    lumtest::TempDir root;
    fs::path contacts = root.path() / "Contacts";
    HMODULE module = nullptr;
    int inactivity = 0;
    std::unique_ptr<CBcrViewDialog> view;
};

TEST(BcrTitle, ShortensPadsAndCountsByOrientation)
{
    struct Case {
        std::wstring name;
        int current, count;
        bool portrait;
        std::wstring expected;
    } cases[] = {
        {L"ABCDEFGHIJKLMNOP.jpg", 2, 5, false, L"ABCDEFGHIJKL..      (2/5)"},
        {L"B000000012.jpg", 2, 5, false, L"B000000012.jpg      (2/5)"},
        {L"B0001.jpg", 1, 3, true, L"B0001..   (1/3)"},
        {L"B01.jpg", 3, 3, true, L"B01.jpg   (3/3)"},
        {L"card.jpg", 1, 2, false, L"card.jpg            (1/2)"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(BcrTitleText(c.name, c.current, c.count, c.portrait), c.expected) << c.name;
}

TEST_F(BcrViewTest, PagingWrapsAndTheTitleFollows)
{
    std::vector<Card> cards{MakeCard(L"Ann Lee", L"Lee GmbH"), MakeCard(L"Bob Roe", L"Roe Ltd"),
                            MakeCard(L"Cy Poe", L"Poe AG")};
    Open(cards, {L"B01.jpg", L"B02.jpg", L"B03.jpg"});
    EXPECT_EQ(view->MenuBarId(), IDM_BCR_CARDS);
    EXPECT_EQ(Title(), L"B01.jpg   (1/3)");
    EXPECT_EQ(Text(view->CurrentText(0).text), L"Ann Lee");
    EXPECT_EQ(Text(view->CurrentText(3).text), L"Lee GmbH") << "texts by type, whatever the item order";
    struct Step {
        BYTE key;
        int current;
        std::wstring name;
    } steps[] = {{VK_LEFT, 3, L"Cy Poe"}, {VK_RIGHT, 1, L"Ann Lee"}, {VK_RIGHT, 2, L"Bob Roe"}};
    for (const Step& s : steps) {
        SendMessageW(*view, WM_KEYDOWN, s.key, 0);
        Pump();
        EXPECT_EQ(view->Current(), s.current);
        EXPECT_EQ(Text(view->CurrentText(0).text), s.name);
    }
    EXPECT_EQ(Title(), L"B02.jpg   (2/3)");
    EXPECT_EQ(inactivity, kInactivityReset);
}

TEST_F(BcrViewTest, EditorCommitsTypedTextAndWrapsBetweenFields)
{
    std::vector<Card> cards{MakeCard(L"Ann Lee", L"Lee GmbH")};
    Open(cards, {L"B01.jpg"});
    EXPECT_EQ(view->MenuBarId(), IDM_BCR_ONE_CARD);
    // A tap on the name row's text opens the editor.
    RECT row = view->RowTextRect(0);
    POINT pt{row.left + 10, row.top + 10};
    ClientToScreen(*view, &pt);
    plat::PenInput(plat::Pen::Down, pt.x, pt.y);
    plat::PenInput(plat::Pen::Up, pt.x, pt.y);
    Pump();
    ASSERT_EQ(view->EditField(), 0);
    HWND edit = GetDlgItem(*view, IDC_BCR_EDIT);
    EXPECT_TRUE(IsWindowVisible(edit));
    EXPECT_FALSE(IsWindowVisible(GetDlgItem(*view, IDC_BCR_TITLE))) << "the editor covers the title";
    WCHAR caption[32];
    GetWindowTextW(GetDlgItem(*view, IDC_BCR_EDITOR_CAPTION), caption, 32);
    EXPECT_STREQ(caption, L"Name");

    SetWindowTextW(edit, std::wstring(300, L'x').c_str());
    Command(CMD_BCR_EDITOR_OK);
    EXPECT_EQ(view->EditField(), -1);
    EXPECT_EQ(Text(view->CurrentText(0).text), std::wstring(255, L'x')) << "at most 255 characters";
    EXPECT_TRUE(IsWindowVisible(GetDlgItem(*view, IDC_BCR_TITLE)));

    Command(CMD_BCR_EDIT, 6);
    Command(CMD_BCR_NEXT_FIELD);
    EXPECT_EQ(view->EditField(), 0) << "6 wraps to 0";
    Command(CMD_BCR_PREV_FIELD);
    EXPECT_EQ(view->EditField(), 6) << "0 wraps to 6";
}

TEST_F(BcrViewTest, ChoosingAnAlternativeSwapsItWithTheText)
{
    std::vector<Card> cards{MakeCard(L"Ann Lee", L"Lee GmbH")};
    Open(cards, {L"B01.jpg"});
    Command(CMD_BCR_ALTERNATIVES, 0);
    HWND list = GetDlgItem(*view, IDC_BCR_LIST);
    ASSERT_TRUE(IsWindowVisible(list));
    EXPECT_EQ(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0), 3) << "the text, then its two alternatives";
    Command(CMD_BCR_ALTERNATIVES, 0);
    EXPECT_FALSE(IsWindowVisible(list)) << "a second tap closes it";

    Command(CMD_BCR_ALTERNATIVES, 0);
    Command(CMD_BCR_ALTERNATIVE_CHOSEN, 2 * 16 + 0);
    EXPECT_FALSE(IsWindowVisible(list));
    EXPECT_EQ(Text(view->CurrentText(0).text), L"N. Ann Lee");
    EXPECT_EQ(Text(view->Alternatives(0).candidates[1].text), L"Ann Lee");
    Command(CMD_BCR_ALTERNATIVES, 0);
    Command(CMD_BCR_ALTERNATIVE_CHOSEN, 0);
    EXPECT_EQ(Text(view->CurrentText(0).text), L"N. Ann Lee") << "row 0 changes nothing";
}

TEST_F(BcrViewTest, SaveStoresTheCardAndTheLastOneEndsTheView)
{
    std::vector<Card> cards{MakeCard(L"Ann Lee", L"Lee GmbH"), MakeCard(L"Bob Roe", L"Roe Ltd")};
    Open(cards, {L"B01.jpg", L"B02.jpg"});
    Command(CMD_BCR_SAVE);
    EXPECT_TRUE(IsWindowVisible(GetDlgItem(*view, IDC_BCR_INFO_POPUP)));
    EXPECT_TRUE(CLayoutManager::GetInstance()->IsBusy()) << "input blocked under the popup";
    EXPECT_NE(AllContacts(contacts).find("FN:Ann Lee\r\n"), std::string::npos);
    PopupTimesOut();
    EXPECT_FALSE(IsWindowVisible(GetDlgItem(*view, IDC_BCR_INFO_POPUP)));
    EXPECT_EQ(view->Count(), 1);
    EXPECT_EQ(Text(view->CurrentText(0).text), L"Bob Roe");
    EXPECT_EQ(view->MenuBarId(), IDM_BCR_ONE_CARD);
    EXPECT_FALSE(IsWindowVisible(GetDlgItem(*view, IDC_BCR_RIGHT)));
    EXPECT_EQ(view->EndResult(), -1);

    Command(CMD_BCR_SAVE);
    PopupTimesOut();
    EXPECT_EQ(view->EndResult(), RESULT_VIEW_BACK);
    EXPECT_EQ(ContactCount(contacts), 2u);
}

TEST_F(BcrViewTest, AFullDiskKeepsTheCardAndSaysSo)
{
    std::vector<Card> cards{MakeCard(L"Ann Lee", L"Lee GmbH")};
    Open(cards, {L"B01.jpg"});
    RegistrySetDWORD(HKEY_LOCAL_MACHINE, plat::kDiskKey, L"FreeKB", 0);
    Command(CMD_BCR_SAVE);
    EXPECT_TRUE(IsWindowVisible(GetDlgItem(*view, IDC_BCR_INFO_POPUP)));
    PopupTimesOut();
    EXPECT_EQ(view->EndResult(), -1) << "the card stays";
    EXPECT_EQ(view->Count(), 1);
    EXPECT_EQ(ContactCount(contacts), 0u);
    EXPECT_FALSE(CLayoutManager::GetInstance()->IsBusy());

    RegistrySetDWORD(HKEY_LOCAL_MACHINE, plat::kDiskKey, L"FreeKB", 100000);
    Command(CMD_BCR_SAVE);
    PopupTimesOut();
    EXPECT_EQ(view->EndResult(), RESULT_VIEW_BACK);
    EXPECT_EQ(ContactCount(contacts), 1u);
}

TEST_F(BcrViewTest, SaveAllAndRetry)
{
    struct Case {
        WORD command;
        bool yes;
        size_t stored;
    } cases[] = {{CMD_BCR_SAVE_ALL, true, 3}, {20019, true, 3}, {20019, false, 0}};
    for (const Case& c : cases) {
        fs::remove_all(contacts);
        std::vector<Card> cards{MakeCard(L"Ann Lee", L"A"), MakeCard(L"Bob Roe", L"B"), MakeCard(L"Cy Poe", L"C")};
        Open(cards, {L"B01.jpg", L"B02.jpg", L"B03.jpg"});
        Command(c.command);
        if (c.command != CMD_BCR_SAVE_ALL) {
            ASSERT_TRUE(IsWindowVisible(GetDlgItem(*view, IDC_BCR_YESNO_POPUP)));
            Command(CMD_YESNO_DONE, c.yes ? 1 : 0);
        } else {
            PopupTimesOut();
        }
        EXPECT_EQ(view->EndResult(), RESULT_VIEW_BACK) << c.command;
        EXPECT_EQ(ContactCount(contacts), c.stored) << c.command;
        view.reset();
        Pump();
    }
}

TEST_F(BcrViewTest, RetryOnAFullDiskKeepsTheCardsItCouldNotStore)
{
    std::vector<Card> cards{MakeCard(L"Ann Lee", L"A"), MakeCard(L"Bob Roe", L"B")};
    Open(cards, {L"B01.jpg", L"B02.jpg"});
    RegistrySetDWORD(HKEY_LOCAL_MACHINE, plat::kDiskKey, L"FreeKB", 0);
    Command(20019);
    Command(CMD_YESNO_DONE, 1);
    EXPECT_TRUE(IsWindowVisible(GetDlgItem(*view, IDC_BCR_INFO_POPUP))) << "the failure notice";
    PopupTimesOut();
    EXPECT_EQ(view->EndResult(), -1);
    EXPECT_EQ(view->Count(), 2);
    EXPECT_EQ(ContactCount(contacts), 0u);
    EXPECT_FALSE(CLayoutManager::GetInstance()->IsBusy());
    EXPECT_FALSE(view->Busy());
}

TEST_F(BcrViewTest, TurningLaysTheViewOutBothWays)
{
    std::vector<Card> cards{MakeCard(L"Ann Lee", L"Lee GmbH"), MakeCard(L"Bob Roe", L"Roe Ltd")};
    Open(cards, {L"B000000012.jpg", L"B000000013.jpg"});
    EXPECT_EQ(view->RowTextRect(1).top, 51 + 43);
    EXPECT_FALSE(IsWindowVisible(GetDlgItem(*view, IDC_BCR_SCROLLBAR)));
    Turn(DMDO_90);
    SendMessageW(*view, WM_SETTINGCHANGE, kSettingChangeLayout, 0);
    UpdateWindow(*view);
    Pump();
    EXPECT_EQ(view->RowTextRect(1).top, 51 + 49);
    EXPECT_EQ(view->RowTextRect(1).right, 55 + 297);
    EXPECT_TRUE(IsWindowVisible(GetDlgItem(*view, IDC_BCR_SCROLLBAR)));
    EXPECT_EQ(Title(), L"B000000012.jpg      (1/2)");
    // In landscape a drag scrolls the rows.
    POINT from{200, 150}, to{200, 100};
    ClientToScreen(*view, &from);
    ClientToScreen(*view, &to);
    plat::PenInput(plat::Pen::Down, from.x, from.y);
    plat::PenInput(plat::Pen::Move, to.x, to.y);
    plat::PenInput(plat::Pen::Up, to.x, to.y);
    Pump();
    EXPECT_EQ(view->ScrollPosition(), 50);
    Turn(DMDO_0);
    SendMessageW(*view, WM_SETTINGCHANGE, kSettingChangeLayout, 0);
    UpdateWindow(*view);
    Pump();
    EXPECT_EQ(view->ScrollPosition(), 0);
    EXPECT_EQ(view->RowTextRect(1).top, 51 + 43);
}

}  // namespace

namespace {

// The view as the program shows it, in both turns: nothing of the key colour
// shows, popups lie on the screen; NAME-CODE.png into LUMOCR_LOOK_DIR when set.
class CardLook : public BcrViewTest {
public:
    using BcrViewTest::Command;

protected:
    void Shoot(const std::string& name, DWORD code)
    {
        UpdateWindow(*view);
        for (HWND child = GetWindow(*view, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
            UpdateWindow(child);
        Pump();
        plat::ScreenImage image = plat::ComposeScreen();
        size_t keyed = 0;
        for (COLORREF c : image.pixels)
            keyed += c == RGB(255, 0, 255);
        EXPECT_EQ(keyed, 0u) << name << "-" << code;
        for (int id : {IDC_BCR_INFO_POPUP, IDC_BCR_YESNO_POPUP}) {
            HWND popup = GetDlgItem(*view, id);
            if (!IsWindowVisible(popup))
                continue;
            RECT r;
            GetWindowRect(popup, &r);
            EXPECT_TRUE(r.left >= 0 && r.top >= 0 && r.right <= image.width && r.bottom <= image.height)
                << name << "-" << code << " popup at " << r.left << "," << r.top << "," << r.right << "," << r.bottom;
        }
        if (const char* dir = std::getenv("LUMOCR_LOOK_DIR"))
            plat::WritePng(fs::path(dir) / (name + "-" + std::to_string(code) + ".png"), image);
    }
};

TEST_F(CardLook, ViewEditorAlternativesNoticesInBothTurns)
{
    for (DWORD code : {DWORD{4}, DWORD{0}}) {
        Turn(code);
        struct Scene {
            std::string name;
            std::function<void(CardLook&)> act;
        } scenes[] = {
            {"card-view", [](CardLook& t) { t.Command(CMD_BCR_NEXT_CARD); }},
            {"card-editor", [](CardLook& t) { t.Command(CMD_BCR_EDIT, 0); }},
            {"card-alternatives", [](CardLook& t) { t.Command(CMD_BCR_ALTERNATIVES, 0); }},
            {"card-saved", [](CardLook& t) { t.Command(CMD_BCR_SAVE); }},
            {"card-retry", [](CardLook& t) { t.Command(20019); }},
        };
        for (const Scene& s : scenes) {
            std::vector<Card> cards{MakeCard(L"Ann Lee", L"Lee GmbH"), MakeCard(L"Bob Roe", L"Roe Ltd"),
                                    MakeCard(L"Cy Poe", L"Poe AG")};
            Open(cards, {L"B000000011.jpg", L"B000000012.jpg", L"B000000013.jpg"});
            s.act(*this);
            Shoot(s.name, code);
            view.reset();
            CLayoutManager::GetInstance()->SetBusy(FALSE);
            Pump();
        }
    }
}

}  // namespace
