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
#include "expand_view_dialog.h"
#include "lum_image_item_list.h"
#include "lumtest/tempdir.h"
#include "plat/device.h"
#include "plat/screen.h"
#include "plat/windows.h"

namespace fs = std::filesystem;

namespace {

using dlgtest::Pump;
using dlgtest::Turn;

void Put(WCHAR (&out)[kResultTextChars], const std::wstring& text)
{
    std::fill(std::begin(out), std::end(out), 0);
    std::copy_n(text.begin(), std::min<size_t>(text.size(), kResultTextChars - 1), out);
}

std::wstring Text(const WCHAR (&text)[kResultTextChars]) { return std::wstring(text, ResultTextLength(text)); }

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
    // The arrows page on release.
    for (auto [arrow, current] : {std::pair{IDC_BCR_RIGHT, 3}, std::pair{IDC_BCR_RIGHT, 1}, std::pair{IDC_BCR_LEFT, 3}}) {
        RECT r;
        GetWindowRect(GetDlgItem(*view, arrow), &r);
        int before = view->Current();
        plat::PenInput(plat::Pen::Down, r.left + 20, r.top + 20);
        Pump();
        EXPECT_EQ(view->Current(), before) << "not before the pen is lifted";
        plat::PenInput(plat::Pen::Up, r.left + 20, r.top + 20);
        Pump();
        EXPECT_EQ(view->Current(), current);
    }
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

TEST_F(BcrViewTest, TheAlternativesListAnswersPenAndKeys)
{
    struct Case {
        const char* what;
        std::function<void(HWND list)> act;
        std::wstring name;  // the name row afterwards
        INT_PTR end;
    } cases[] = {
        {"a tap on row 2",
         [](HWND list) {
             RECT row{};
             SendMessageW(list, LVM_GETITEMRECT, 2, reinterpret_cast<LPARAM>(&row));
             POINT pt{row.left + 20, (row.top + row.bottom) / 2};
             ClientToScreen(list, &pt);
             plat::PenInput(plat::Pen::Down, pt.x, pt.y);
             plat::PenInput(plat::Pen::Up, pt.x, pt.y);
         },
         L"N. Ann Lee", -1},
        {"down, then the action key",
         [](HWND list) {
             SendMessageW(list, WM_KEYDOWN, VK_DOWN, 0);
             SendMessageW(list, WM_KEYDOWN, 0x86, 0);
         },
         L"Ann Lee Jr", -1},
        {"the focus elsewhere", [this](HWND) { SetFocus(GetDlgItem(*view, IDC_BCR_SCROLLBAR)); }, L"Ann Lee", -1},
        {"the end key", [](HWND list) { SendMessageW(list, WM_KEYDOWN, VK_F4, 0); }, L"Ann Lee", RESULT_VIEW_EXIT},
    };
    for (const Case& c : cases) {
        std::vector<Card> cards{MakeCard(L"Ann Lee", L"Lee GmbH")};
        Open(cards, {L"B01.jpg"});
        Command(CMD_BCR_ALTERNATIVES, 0);
        HWND list = view->DropDown().ListWindow();
        ASSERT_TRUE(IsWindowVisible(list)) << c.what;
        EXPECT_EQ(GetFocus(), list) << c.what;
        c.act(list);
        Pump();
        EXPECT_FALSE(IsWindowVisible(list)) << c.what;
        EXPECT_EQ(Text(view->CurrentText(0).text), c.name) << c.what;
        EXPECT_EQ(view->EndResult(), c.end) << c.what;
        view.reset();
        Pump();
    }
}

TEST_F(BcrViewTest, AnAlternativeTooWideForItsRowRunsByWhileSelected)
{
    std::vector<Card> cards{MakeCard(L"Ann Lee", L"Lee GmbH")};
    Put(cards[0].alternatives[0].candidates[0].text, L"Annabelle Leontyne Price-Montgomery of Lee");
    Open(cards, {L"B01.jpg"});
    Command(CMD_BCR_ALTERNATIVES, 0);
    HWND list = view->DropDown().ListWindow();
    EXPECT_FALSE(view->DropDown().Scrolling()) << "row 0 fits";
    SendMessageW(list, WM_KEYDOWN, VK_DOWN, 0);
    ASSERT_TRUE(view->DropDown().Scrolling());
    for (size_t tick = 1; tick <= 3; ++tick) {
        plat::AdvanceClock(kListScrollMs);
        Pump();
        EXPECT_EQ(view->DropDown().ScrollOffset(), tick);
    }
    SendMessageW(list, WM_KEYDOWN, VK_DOWN, 0);
    EXPECT_FALSE(view->DropDown().Scrolling()) << "row 2 fits again";
    SendMessageW(list, WM_KEYDOWN, VK_UP, 0);
    EXPECT_EQ(view->DropDown().ScrollOffset(), 0u) << "a new selection starts from its beginning";
    Command(CMD_BCR_ALTERNATIVES, 0);
    EXPECT_FALSE(IsWindowVisible(list));
    EXPECT_FALSE(view->DropDown().Scrolling()) << "a closed list stops its timer";
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

TEST(FieldPicture, AQuarterTurnMakesRowsColumnsFromTheRight)
{
    // 3 wide, 2 high: rows "1 2 3" and "4 5 6".
    const WORD pixels[] = {1, 2, 3, 4, 5, 6};
    // 2 wide, 3 high: the first row becomes the right-hand column.
    EXPECT_EQ(TurnQuarter16(pixels, 3, 2), (std::vector<WORD>{4, 1, 5, 2, 6, 3}));
    const WORD one[] = {7};
    EXPECT_EQ(TurnQuarter16(one, 1, 1), (std::vector<WORD>{7}));
}

// The editor shows the field's box of the card's picture: as stored, or
// turned when recognition read it turned; no box or no picture, no view.
TEST_F(BcrViewTest, TheEditorShowsTheFieldsBoxOfThePicture)
{
    // 40 x 20: red, green over blue, black quadrants.
    const COLORREF red = RGB(255, 0, 0), green = RGB(0, 255, 0), blue = RGB(0, 0, 255), black = RGB(0, 0, 0);
    plat::ScreenImage picture{40, 20, {}};
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 40; ++x)
            picture.pixels.push_back(y < 10 ? (x < 20 ? red : green) : (x < 20 ? blue : black));
    fs::create_directories(root.path() / "My Documents");
    ASSERT_TRUE(plat::WritePng(root.path() / "My Documents" / "B01.png", picture));
    struct Case {
        const char* what;
        RECT box;
        int flag;
        const wchar_t* name;
        bool shown;
        COLORREF colour;
    } cases[] = {
        {"as stored", {20, 0, 40, 10}, 1, L"B01.png", true, green},
        {"as stored, lower left", {0, 10, 20, 20}, 1, L"B01.png", true, blue},
        // Turned, the picture is 20 x 40 and its top rows are its right-hand columns.
        {"turned", {10, 0, 20, 20}, 0, L"B01.png", true, red},
        {"turned, lower left", {0, 20, 10, 40}, 0, L"B01.png", true, black},
        {"a box past the picture is clipped", {30, 10, 90, 90}, 1, L"B01.png", true, black},
        {"no box", {0, 0, 0, 0}, 1, L"B01.png", false, 0},
        {"no picture", {0, 0, 20, 10}, 1, L"missing.png", false, 0},
    };
    for (const Case& c : cases) {
        std::vector<Card> cards{MakeCard(L"Ann Lee", L"Lee GmbH")};
        cards[0].items[6].box = c.box;  // the name's item
        Open(cards, {c.name}, {c.flag});
        Command(CMD_BCR_EDIT, 0);
        HWND view = GetDlgItem(*this->view, IDC_BCR_FIELD_PICTURE);
        ASSERT_EQ(IsWindowVisible(view) != FALSE, c.shown) << c.what;
        if (c.shown) {
            RECT r;
            GetWindowRect(view, &r);
            plat::ScreenImage screen = plat::ComposeScreen();
            EXPECT_EQ(screen.At((r.left + r.right) / 2, (r.top + r.bottom) / 2), c.colour) << c.what;
            EXPECT_EQ(screen.At(r.left + 1, r.top + 1), c.colour) << c.what;
        }
        Command(CMD_BCR_EDITOR_OK);
        EXPECT_FALSE(IsWindowVisible(view)) << c.what;
        EXPECT_FALSE(this->view->FieldPicture().HasPicture()) << c.what << ": the pixels go with the editor";
        this->view.reset();
        Pump();
    }
}

// Expand view and Browser run over the picture list with the card on screen
// current; the card of the picture they end on comes back, their "other"
// answer opens the other dialog and their end key ends the view.
TEST_F(BcrViewTest, ExpandViewAndBrowserComeBackOnTheCardOfTheirPicture)
{
    struct Answer {
        INT_PTR code;
        std::wstring endsOn;
    };
    struct Case {
        const char* what;
        WORD command;
        std::vector<Answer> answers;  // one per dialog run, in turn
        std::vector<bool> galleries;  // which dialogs ran
        int current;
        INT_PTR end;
    } cases[] = {
        {"zoom view back", 20017, {{EXPAND_VIEW_BACK, L"B000000013.jpg"}}, {false}, 3, -1},
        {"gallery back", 20018, {{GALLERY_SHOW_RESULTS, L"B000000013.jpg"}}, {true}, 3, -1},
        {"zoom view, then the gallery",
         20017,
         {{EXPAND_VIEW_OTHER, L"B000000013.jpg"}, {GALLERY_SHOW_RESULTS, L"B000000012.jpg"}},
         {false, true},
         2,
         -1},
        {"gallery, then the zoom view",
         20018,
         {{GALLERY_DONE, L"B000000012.jpg"}, {EXPAND_VIEW_BACK, L"B000000013.jpg"}},
         {true, false},
         3,
         -1},
        {"end key in the zoom view", 20017, {{EXPAND_VIEW_EXIT, L"B000000013.jpg"}}, {false}, 2, RESULT_VIEW_EXIT},
        {"end key in the gallery", 20018, {{GALLERY_EXIT, L"B000000013.jpg"}}, {true}, 2, RESULT_VIEW_EXIT},
    };
    fs::create_directories(root.path() / "My Documents");
    // The first card's picture is missing: list positions and cards differ.
    for (const char* name : {"B000000012.jpg", "B000000013.jpg"})
        std::ofstream(root.path() / "My Documents" / name) << "picture";
    for (const Case& c : cases) {
        std::vector<Card> cards{MakeCard(L"Ann Lee", L"A"), MakeCard(L"Bob Roe", L"B"), MakeCard(L"Cy Poe", L"C")};
        Open(cards, {L"B000000011.jpg", L"B000000012.jpg", L"B000000013.jpg"});
        SendMessageW(*view, WM_KEYDOWN, VK_RIGHT, 0);
        Command(CMD_BCR_EDIT, 3);
        SetWindowTextW(GetDlgItem(*view, IDC_BCR_EDIT), L"Roe & Sons");
        std::vector<bool> ran;
        view->SetPictureRunner([&](bool gallery) {
            LumImageItemList* list = LumImageItemList::GetInstance();
            if (ran.empty()) {
                EXPECT_EQ(list->GetCurrentItem().GetName(), L"B000000012.jpg") << c.what << ": the card on screen";
            }
            const Answer& a = c.answers.at(ran.size());
            ran.push_back(gallery);
            list->SetCurrent(list->FindByName(a.endsOn));
            return a.code;
        });
        Command(c.command);
        EXPECT_EQ(ran, c.galleries) << c.what;
        EXPECT_EQ(view->EndResult(), c.end) << c.what;
        if (c.end < 0) {
            EXPECT_EQ(view->Current(), c.current) << c.what;
            EXPECT_EQ(view->EditField(), -1) << c.what << ": the editor was applied";
            SendMessageW(*view, WM_KEYDOWN, c.current == 3 ? VK_LEFT : VK_RIGHT, 0);
            SendMessageW(*view, WM_KEYDOWN, c.current == 3 ? VK_RIGHT : VK_LEFT, 0);
            Pump();
            ASSERT_EQ(view->Current(), c.current);
            if (c.current == 2) {
                EXPECT_EQ(Text(view->CurrentText(3).text), L"Roe & Sons") << c.what;
            }
        }
        view.reset();
        Pump();
    }
    // A saved card leaves the list; its picture stays.
    std::vector<Card> cards{MakeCard(L"Ann Lee", L"A"), MakeCard(L"Bob Roe", L"B")};
    Open(cards, {L"B000000012.jpg", L"B000000013.jpg"});
    ASSERT_EQ(LumImageItemList::GetInstance()->GetCount(), 2);
    Command(CMD_BCR_SAVE);
    PopupTimesOut();
    EXPECT_EQ(LumImageItemList::GetInstance()->FindByName(L"B000000012.jpg"), -1);
    EXPECT_EQ(LumImageItemList::GetInstance()->GetCurrentItem().GetName(), L"B000000013.jpg");
    EXPECT_TRUE(fs::exists(root.path() / "My Documents" / "B000000012.jpg"));
}

TEST_F(BcrViewTest, TurningLaysTheViewOutBothWays)
{
    std::vector<Card> cards{MakeCard(L"Ann Lee", L"Lee GmbH"), MakeCard(L"Bob Roe", L"Roe Ltd")};
    Open(cards, {L"B000000012.jpg", L"B000000013.jpg"});
    EXPECT_EQ(view->RowTextRect(1).top, 51 + 43);
    EXPECT_FALSE(IsWindowVisible(GetDlgItem(*view, IDC_BCR_SCROLLBAR)));
    Turn(DMDO_270);  // the shell moves the view into the new work area
    UpdateWindow(*view);
    Pump();
    RECT client;
    GetClientRect(*view, &client);
    EXPECT_EQ(client.bottom, kEditorBandClientHeight);
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
    UpdateWindow(*view);
    Pump();
    EXPECT_EQ(view->ScrollPosition(), 0);
    EXPECT_EQ(view->RowTextRect(1).top, 51 + 43);
    // A tap right after a turn, before any paint, finds its row where it now lies.
    Turn(DMDO_270);
    POINT phone{100, 51 + 2 * 49 + 10};  // the work telephone
    ClientToScreen(*view, &phone);
    plat::PenInput(plat::Pen::Down, phone.x, phone.y);
    plat::PenInput(plat::Pen::Up, phone.x, phone.y);
    Pump();
    EXPECT_EQ(view->EditField(), 2);
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
        dlgtest::CheckLook(*view, {IDC_BCR_INFO_POPUP, IDC_BCR_YESNO_POPUP}, name, code);
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
