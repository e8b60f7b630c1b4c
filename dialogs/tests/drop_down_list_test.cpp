#include "drop_down_list.h"

#include <gtest/gtest.h>

#include <memory>

#include "dialog_doubles.h"
#include "dialog_messages.h"
#include "layout_manager.h"
#include "lumtest/tempdir.h"
#include "plat/device.h"
#include "plat/windows.h"

namespace {

using dlgtest::MessagesOf;
using dlgtest::Pump;
using dlgtest::Turn;

LPARAM Pen(int x, int y) { return MAKELPARAM(x, y); }

RECT WindowRectIn(HWND window, HWND parent)
{
    RECT r{};
    GetWindowRect(window, &r);
    POINT origin{0, 0};
    ClientToScreen(parent, &origin);
    r.left -= origin.x, r.right -= origin.x;
    r.top -= origin.y, r.bottom -= origin.y;
    return r;
}

class DropDownTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        plat::UseVirtualClock();
        plat::SetDeviceRoot(root.path());
        Turn(DMDO_0);
        module = dlgtest::LoadLanguageFile(root.path(), {{242, L"(none)"}});
        ASSERT_NE(module, nullptr);
        CLayoutManager::GetInstance()->SetResource(module);
        dlgtest::HapticEffects().clear();
    }
    void TearDown() override
    {
        dropDown.reset();
        if (parent)
            DestroyWindow(parent);
        Pump();
        FreeLibrary(module);
        CLayoutManager::GetInstance()->SetBusy(FALSE);
        CLayoutManager::ReleaseInstance();
        Turn(DMDO_0);
        plat::UseRealClock();
    }

    // A dialog stand-in with the button at `button` and the list at `list`.
    void Make(const DropDownVariant& variant, const std::vector<std::wstring>& rows, RECT button, RECT list)
    {
        RECT screen{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
        parent = dlgtest::CreateRecordingParent(screen.right, screen.bottom);
        dropDown = std::make_unique<CDropDownList>(variant);
        ASSERT_TRUE(dropDown->Attach(dlgtest::CreateChild(parent, 30022, button)));
        ASSERT_TRUE(dropDown->CreateList(parent, list.left, list.top, list.right - list.left, list.bottom - list.top));
        for (const std::wstring& row : rows)
            dropDown->AddRow(row);
        dlgtest::ParentMessages().clear();
    }
    void Tap(HWND window, int x, int y)
    {
        SendMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, Pen(x, y));
        SendMessageW(window, WM_LBUTTONUP, 0, Pen(x, y));
    }
    HWND List() const { return dropDown->ListWindow(); }
    bool ListShown() const { return IsWindowVisible(List()) != FALSE; }

    lumtest::TempDir root;
    HMODULE module = nullptr;
    HWND parent = nullptr;
    std::unique_ptr<CDropDownList> dropDown;
};

TEST_F(DropDownTest, ARowTappedIsChosenAndClosesTheList)
{
    Make(kSettingsDropDown, {L"German", L"English"}, {10, 204, 230, 237}, {10, 237, 230, 342});
    EXPECT_EQ(dropDown->Caption(), L"");
    EXPECT_EQ(dropDown->Placeholder(), L"Select");

    Tap(*dropDown, 5, 5);
    EXPECT_TRUE(dropDown->IsOpen());
    EXPECT_TRUE(ListShown());
    EXPECT_TRUE(MessagesOf(WM_DROPDOWN_CLOSED).empty());

    Tap(List(), 30, 34 + 10);  // the second row
    EXPECT_FALSE(dropDown->IsOpen());
    EXPECT_FALSE(ListShown());
    EXPECT_EQ(dropDown->GetSelection(), 1);
    EXPECT_EQ(dropDown->Caption(), L"English");
    ASSERT_EQ(MessagesOf(WM_DROPDOWN_CLOSED).size(), 1u);
    EXPECT_EQ(MessagesOf(WM_DROPDOWN_CLOSED)[0].lParam, reinterpret_cast<LPARAM>(dropDown->m_hWnd));
}

TEST_F(DropDownTest, KeysMoveWithinTheRowsAndTheActionKeyChooses)
{
    Make(kSettingsDropDown, {L"Russian", L"Ukrainian", L"English"}, {10, 204, 230, 237}, {10, 237, 230, 342});
    dropDown->SetSelection(0);
    Tap(*dropDown, 5, 5);
    SendMessageW(List(), WM_KEYDOWN, VK_UP, 0);  // the first row: swallowed
    EXPECT_EQ(dropDown->GetSelection(), 0);
    SendMessageW(List(), WM_KEYDOWN, VK_DOWN, 0);
    SendMessageW(List(), WM_KEYDOWN, VK_DOWN, 0);
    SendMessageW(List(), WM_KEYDOWN, VK_DOWN, 0);  // the last row: swallowed
    EXPECT_EQ(dropDown->GetSelection(), 2);
    EXPECT_TRUE(ListShown());
    SendMessageW(List(), WM_KEYDOWN, kDropDownActionKey, 0);
    EXPECT_FALSE(ListShown());
    EXPECT_EQ(dropDown->Caption(), L"English");
}

TEST_F(DropDownTest, TheEndKeyReachesTheDialogWhileTheListIsOpen)
{
    Make(kSettingsDropDown, {L"German", L"English"}, {10, 204, 230, 237}, {10, 237, 230, 342});
    Tap(*dropDown, 5, 5);
    SendMessageW(List(), WM_KEYDOWN, VK_F4, 0);
    auto keys = MessagesOf(WM_KEYDOWN);
    ASSERT_EQ(keys.size(), 1u);
    EXPECT_EQ(keys[0].wParam, static_cast<WPARAM>(VK_F4));
}

TEST_F(DropDownTest, OpenListHeights)
{
    struct Case {
        const char* what;
        const DropDownVariant* variant;
        DWORD turn;
        int rows;
        RECT expected;  // in the dialog
    } cases[] = {
        {"settings, landscape, five rows", &kSettingsDropDown, DMDO_270, 5, {207, 43, 207 + 189, 43 + 175}},
        {"gallery kind list, three rows", &kGalleryDropDown, DMDO_0, 3, {123, 53, 123 + 115, 53 + 123}},
        {"gallery folder list, two rows", &kGalleryDropDown, DMDO_0, 2, {123, 53, 123 + 115, 53 + 82}},
        {"gallery folder list, five rows", &kGalleryDropDown, DMDO_0, 5, {123, 53, 123 + 115, 53 + 123}},
    };
    for (const Case& c : cases) {
        Turn(c.turn);
        std::vector<std::wstring> rows;
        for (int i = 0; i < c.rows; ++i)
            rows.push_back(L"row " + std::to_wstring(i));
        Make(*c.variant, rows, {123, 9, 238, 50}, {123, 53, 235, 176});
        dropDown->SetLandscapePlacement(true);
        Tap(*dropDown, 5, 5);
        RECT r = WindowRectIn(List(), parent);
        EXPECT_TRUE(ListShown()) << c.what;
        EXPECT_EQ(r.left, c.expected.left) << c.what;
        EXPECT_EQ(r.top, c.expected.top) << c.what;
        EXPECT_EQ(r.right, c.expected.right) << c.what;
        EXPECT_EQ(r.bottom, c.expected.bottom) << c.what;
        dropDown.reset();
        DestroyWindow(parent);
        parent = nullptr;
    }
}

TEST_F(DropDownTest, GalleryListChoosesOnlyTheRowThePenWentDownOn)
{
    Make(kGalleryDropDown, {L"All", L"Cards", L"Documents"}, {123, 9, 238, 50}, {123, 53, 235, 176});
    dropDown->SetSelection(0);
    Tap(*dropDown, 5, 5);
    ASSERT_TRUE(ListShown());
    auto opened = MessagesOf(WM_COMMAND);
    ASSERT_EQ(opened.size(), 1u) << "the gallery closes its other list";
    EXPECT_EQ(LOWORD(opened[0].wParam), 30022);

    SendMessageW(List(), WM_LBUTTONDOWN, MK_LBUTTON, Pen(20, 41 + 5));  // row 1
    SendMessageW(List(), WM_LBUTTONUP, 0, Pen(20, 82 + 5));             // row 2
    EXPECT_TRUE(ListShown());
    EXPECT_EQ(dropDown->Caption(), L"All");
    EXPECT_TRUE(MessagesOf(WM_DROPDOWN_CLOSED).empty());

    Tap(List(), 20, 82 + 5);
    EXPECT_FALSE(ListShown());
    EXPECT_EQ(dropDown->Caption(), L"Documents");
    EXPECT_EQ(dropDown->GetSelection(), 2);
    EXPECT_FALSE(MessagesOf(WM_POPUP_PEN_UP).empty()) << "every input resets the inactivity count";
}

TEST_F(DropDownTest, GalleryListClosesWhenThePenLeavesTheButton)
{
    Make(kGalleryDropDown, {L"All", L"Cards", L"Documents"}, {123, 9, 238, 50}, {123, 53, 235, 176});
    dropDown->SetSelection(1);
    Tap(*dropDown, 5, 5);
    SendMessageW(List(), WM_KEYDOWN, VK_DOWN, 0);
    SendMessageW(*dropDown, WM_MOUSEMOVE, MK_LBUTTON, Pen(50, 20));  // still on it
    EXPECT_TRUE(ListShown());
    SendMessageW(*dropDown, WM_MOUSEMOVE, MK_LBUTTON, Pen(50, 80));
    EXPECT_FALSE(ListShown());
    EXPECT_FALSE(dropDown->IsOpen());
    EXPECT_EQ(dropDown->Caption(), L"Cards");
}

TEST_F(DropDownTest, GalleryPensAreRefusedWhileBusy)
{
    Make(kGalleryDropDown, {L"All"}, {123, 9, 238, 50}, {123, 53, 235, 176});
    CLayoutManager::GetInstance()->SetBusy(TRUE);
    Tap(*dropDown, 5, 5);
    EXPECT_FALSE(dropDown->IsOpen());
    EXPECT_FALSE(ListShown());
}

TEST_F(DropDownTest, EmptyCaptions)
{
    Make(kGalleryDropDown, {}, {123, 9, 238, 50}, {123, 53, 235, 176});
    EXPECT_EQ(dropDown->Placeholder(), L"(none)");
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, 115, 41);
    HGDIOBJ old = SelectObject(dc, bitmap);
    plat::RecordTextCalls(dc, true);
    dropDown->Draw(dc);
    std::vector<std::wstring> texts;
    for (const plat::TextCall& call : plat::RecordedTextCalls(dc))
        texts.push_back(call.text);
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
    ReleaseDC(nullptr, screen);
    EXPECT_EQ(texts, std::vector<std::wstring>{L"(none)"});
}

TEST_F(DropDownTest, GallerySelectionSettersPlaceTheTopRow)
{
    struct Case {
        int rows, index;
        bool atTop;
        int top;
    } cases[] = {
        {6, 4, false, 2}, {6, 1, false, 0}, {3, 2, false, 0},  // selection - 2 from four rows on
        {6, 1, true, 1},  {6, 4, true, 3},  {2, 1, true, 0},   // three rows shown from the index
    };
    for (const Case& c : cases) {
        std::vector<std::wstring> rows;
        for (int i = 0; i < c.rows; ++i)
            rows.push_back(L"folder " + std::to_wstring(i));
        Make(kGalleryDropDown, rows, {123, 9, 238, 50}, {123, 53, 235, 176});
        if (c.atTop)
            dropDown->SetSelectionAtTop(c.index);
        else
            dropDown->SetSelection(c.index);
        EXPECT_EQ(dropDown->List().Top(), c.top) << c.rows << " rows, index " << c.index << (c.atTop ? " at top" : "");
        EXPECT_EQ(dropDown->GetSelection(), c.index);
        dropDown.reset();
        DestroyWindow(parent);
        parent = nullptr;
    }
}

TEST(DropDownThumb, UnitAndPlace)
{
    struct Case {
        int track, rows, perPage, top;
        bool shown;
        int y0, y1;
    } cases[] = {
        {120, 8, 3, 2, true, 40, 60},   // unit 120 / 6
        {120, 8, 3, 0, true, 1, 21},    // never above 1
        {120, 8, 3, 6, true, 120, 121}, // past the track: to its end + 1
        {100, 5, 3, 1, true, 34, 68},   // ceil(100 / 3)
        {120, 3, 3, 0, false, 0, 0},    // all rows shown: no thumb
        {120, 2, 1, 1, true, 120, 121}, // two rows: the unit divides by 1, not 0
    };
    for (const Case& c : cases) {
        int y0 = 0, y1 = 0;
        EXPECT_EQ(DropDownThumb(c.track, c.rows, c.perPage, c.top, &y0, &y1), c.shown) << c.rows << " rows";
        if (!c.shown)
            continue;
        EXPECT_EQ(y0, c.y0) << c.rows << " rows, top " << c.top;
        EXPECT_EQ(y1, c.y1) << c.rows << " rows, top " << c.top;
    }
}

}  // namespace
