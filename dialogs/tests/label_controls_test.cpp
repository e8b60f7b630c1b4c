#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "dialog_doubles.h"
#include "dialog_messages.h"
#include "ImageDecoder.h"
#include "image_label.h"
#include "layout_manager.h"
#include "lumtest/tempdir.h"
#include "page_indicator.h"
#include "plat/device.h"
#include "plat/screen.h"
#include "plat/windows.h"
#include "skin_scroll_bar.h"

namespace fs = std::filesystem;

namespace {

using dlgtest::Pump;
using dlgtest::Turn;

// What a control paints, read back pixel by pixel.
struct Painted {
    int width, height;
    std::vector<COLORREF> pixels;
    COLORREF at(int x, int y) const { return pixels[static_cast<size_t>(y * width + x)]; }
};

template <class Control>
Painted Paint(const Control& control, int width, int height, COLORREF under = RGB(255, 255, 255))
{
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ old = SelectObject(dc, bitmap);
    RECT all{0, 0, width, height};
    HBRUSH brush = CreateSolidBrush(under);
    FillRect(dc, &all, brush);
    DeleteObject(brush);
    control.Draw(dc);
    Painted p{width, height, {}};
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            p.pixels.push_back(GetPixel(dc, x, y));
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
    ReleaseDC(nullptr, screen);
    return p;
}

class LabelControlsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        plat::UseVirtualClock();
        plat::SetDeviceRoot(root.path());
        Turn(DMDO_0);
        module = dlgtest::LoadLanguageFile(
            root.path(), {{3, L"Reading"}, {4, L"Cancel"}, {5, L"Preparing"}, {15, L"Close"}});
        ASSERT_NE(module, nullptr);
        CLayoutManager::GetInstance()->SetResource(module);
        parent = dlgtest::CreateRecordingParent();
        dlgtest::ParentMessages().clear();
        dlgtest::HapticEffects().clear();
    }
    void TearDown() override
    {
        if (IsWindow(parent))
            DestroyWindow(parent);
        FreeLibrary(module);
        CLayoutManager::ReleaseInstance();
        Turn(DMDO_0);
        plat::UseRealClock();
    }

    std::unique_ptr<CPageIndicator> MakeIndicator(int mode)
    {
        auto indicator = std::make_unique<CPageIndicator>();
        RECT r{10, 100, 10 + CPageIndicator::kWidth, 100 + CPageIndicator::kHeight};
        indicator->Create(parent, &r, nullptr, WS_CHILD | WS_VISIBLE);
        indicator->Set(module, mode, 20, 0, parent);
        return indicator;
    }

    lumtest::TempDir root;
    HMODULE module = nullptr;
    HWND parent = nullptr;
};

TEST_F(LabelControlsTest, IndicatorTitleFollowsModeProgressAndCounts)
{
    const WCHAR* names[20] = {L"B1.jpg", nullptr, L"B3.jpg", L"B4.jpg"};
    int states[20] = {};
    struct Case {
        int mode, percent, index, count;
        std::wstring title;
    } cases[] = {
        {1, 0, 2, 5, L"Preparing"},      // nothing done yet: the preparing text alone
        {1, 40, 2, 5, L"Reading (2/5)"},
        {1, 40, 1, 1, L"Reading"},       // one picture: no index and count
        {0, 0, 0, 0, L"(3/20)"},         // taken slots out of the second count
    };
    for (const Case& c : cases) {
        auto indicator = MakeIndicator(c.mode);
        indicator->SetSlotTables(names, states);
        indicator->m_nItemIndex = c.index;
        indicator->m_nItemCount = c.count;
        indicator->SetProgress(c.percent);
        EXPECT_EQ(indicator->Title(), c.title) << c.mode << " " << c.percent;
    }
}

TEST_F(LabelControlsTest, ProgressBarFillsItsColumns)
{
    auto indicator = MakeIndicator(CPageIndicator::MODE_PROGRESS);
    indicator->SetProgress(100);
    COLORREF fill = Paint(*indicator, CPageIndicator::kWidth, CPageIndicator::kHeight).at(26, 83);
    struct Case {
        int percent, columns;
    } cases[] = {{0, 0}, {1, 0}, {50, 83}, {100, 168}};
    for (const Case& c : cases) {
        indicator->SetProgress(c.percent);
        Painted p = Paint(*indicator, CPageIndicator::kWidth, CPageIndicator::kHeight);
        int columns = 0;
        for (int x = 20; x < 200; ++x)
            columns += p.at(x, 83) == fill;
        EXPECT_EQ(columns, c.columns) << c.percent << "%";
    }
}

TEST_F(LabelControlsTest, SlotCellsShowEachSlotsState)
{
    auto indicator = MakeIndicator(CPageIndicator::MODE_POSITION);
    const WCHAR* names[20] = {};
    int states[20] = {};
    states[0] = 1;
    states[11] = 2;
    indicator->SetSlotTables(names, states);
    Painted p = Paint(*indicator, CPageIndicator::kWidth, CPageIndicator::kHeight);
    // Cell k's face colour, sampled beside its number.
    auto face = [&](int k) { return p.at(5 + 21 * (k % 10) + 3, (k < 10 ? 47 : 73) + 4); };
    // Each state its own face, whatever the slot's number.
    EXPECT_NE(face(0), face(1));
    EXPECT_NE(face(11), face(1));
    EXPECT_NE(face(11), face(0));
    EXPECT_EQ(face(1), face(19));
}

TEST_F(LabelControlsTest, CancelButtonActsOnlyWhenReleasedOnIt)
{
    struct Case {
        POINT down, up;
        bool cancels;
    } cases[] = {
        {{100, 120}, {100, 125}, true},
        {{100, 120}, {100, 60}, false},  // released outside: no cancel
        {{100, 60}, {100, 120}, false},  // pressed outside the button
    };
    for (const Case& c : cases) {
        auto indicator = MakeIndicator(CPageIndicator::MODE_PROGRESS);
        dlgtest::HapticEffects().clear();
        SendMessageW(*indicator, WM_LBUTTONDOWN, 0, MAKELPARAM(c.down.x, c.down.y));
        SendMessageW(*indicator, WM_LBUTTONUP, 0, MAKELPARAM(c.up.x, c.up.y));
        EXPECT_EQ(indicator->Mode() == CPageIndicator::MODE_POSITION, c.cancels);
        EXPECT_EQ(IsWindowVisible(*indicator) == FALSE, c.cancels);
        EXPECT_FALSE(indicator->Pressed());
        EXPECT_EQ(GetCapture(), nullptr);
        std::vector<std::string> effects = c.cancels ? std::vector<std::string>{"A", "B"}
                                           : c.down.y == 120 ? std::vector<std::string>{"A"}
                                                             : std::vector<std::string>{};
        EXPECT_EQ(dlgtest::HapticEffects(), effects);
        EXPECT_FALSE(dlgtest::MessagesOf(WM_POPUP_PEN_UP).empty());
    }
}

TEST_F(LabelControlsTest, IndicatorTellsItsOwnerWhenItGoes)
{
    for (int mode : {0, 1}) {
        dlgtest::ParentMessages().clear();
        MakeIndicator(mode).reset();
        auto sent = dlgtest::MessagesOf(WM_INDICATOR_OWNER);
        ASSERT_EQ(sent.size(), 1u);
        EXPECT_EQ(sent[0].wParam, mode == 1 ? 0u : 1u);
    }
}

TEST_F(LabelControlsTest, ProgressAfterATurnMakesTheParentLayOutAgain)
{
    auto indicator = MakeIndicator(CPageIndicator::MODE_PROGRESS);
    indicator->SetProgress(10);
    indicator->SetProgress(20);
    EXPECT_TRUE(dlgtest::MessagesOf(WM_SETTINGCHANGE).empty()) << "no turn, no layout";
    Turn(4);
    dlgtest::ParentMessages().clear();  // what the shell itself told the parent
    indicator->SetProgress(30);
    EXPECT_EQ(dlgtest::MessagesOf(WM_SIZE).size(), 1u);
    auto changes = dlgtest::MessagesOf(WM_SETTINGCHANGE);
    ASSERT_EQ(changes.size(), 1u);
    EXPECT_EQ(changes[0].wParam, kSettingChangeLayout);
}

// The grid the bar drives: keeps its pen and scroll messages.
class GridDouble : public CWindowImpl {
public:
    BOOL ProcessWindowMessage(HWND, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override
    {
        if (message == WM_LBUTTONDOWN || message == WM_MOUSEMOVE || message == WM_LBUTTONUP || message == WM_VSCROLL) {
            received.push_back({message, wParam, lParam});
            result = 0;
            return TRUE;
        }
        return FALSE;
    }
    std::vector<dlgtest::Received> received;
};

class SkinScrollBarTest : public LabelControlsTest {
protected:
    void SetUp() override
    {
        LabelControlsTest::SetUp();
        POINT at{};
        SIZE size{};
        CLayoutManager::GetInstance()->GetPosition(CSkinScrollBar::kBarId, &at);
        CLayoutManager::GetInstance()->GetSize(CSkinScrollBar::kBarId, &size);
        RECT r{at.x, at.y, at.x + size.cx, at.y + size.cy};
        bar.Create(parent, &r, nullptr, WS_CHILD | WS_VISIBLE);
        RECT g{0, 40, 230, 360};
        grid.Create(parent, &g, nullptr, WS_CHILD | WS_VISIBLE);
        bar.SetGrid(grid, &paging);
        barX = at.x;
        CLayoutManager::GetInstance()->GetSize(CSkinScrollBar::kTrackId, &size);
        trackHeight = size.cy;
    }
    CSkinScrollBar bar;
    GridPaging paging;
    GridDouble grid;
    int trackHeight = 0;
    int barX = 0;
};

TEST_F(SkinScrollBarTest, ThumbStandsForTheCurrentPage)
{
    struct Case {
        int pages, page;
        double top, bottom;
    } cases[] = {
        {1, 0, 0, 1},        // one page: the whole track
        {0, 0, 0, 1},        // no pages counts as one
        {4, 1, 0.25, 0.5},
        {4, 3, 0.75, 1},     // last page: down to the track's end
        {4, 9, 0.75, 1},
    };
    for (const Case& c : cases) {
        paging.positionCount = c.pages;
        paging.position = c.page;
        bar.UpdateThumb();
        EXPECT_DOUBLE_EQ(bar.Thumb().top, c.top * trackHeight) << c.pages << "/" << c.page;
        EXPECT_DOUBLE_EQ(bar.Thumb().bottom, c.bottom * trackHeight) << c.pages << "/" << c.page;
    }
}

TEST_F(SkinScrollBarTest, DragMovesTheThumbAndDropsOnAPage)
{
    paging.positionCount = 5;
    paging.position = 0;
    bar.UpdateThumb();
    SendMessageW(bar, WM_LBUTTONDOWN, 0, MAKELPARAM(3, 10));
    EXPECT_EQ(GetCapture(), static_cast<HWND>(bar));
    SendMessageW(bar, WM_MOUSEMOVE, 0, MAKELPARAM(3, 10 + trackHeight / 2));
    EXPECT_DOUBLE_EQ(bar.Thumb().top, trackHeight / 2);
    SendMessageW(bar, WM_MOUSEMOVE, 0, MAKELPARAM(3, 10 + 5 * trackHeight));
    EXPECT_DOUBLE_EQ(bar.Thumb().bottom, trackHeight) << "held inside the track";
    SendMessageW(bar, WM_LBUTTONUP, 0, MAKELPARAM(3, 10 + 5 * trackHeight));
    EXPECT_EQ(GetCapture(), nullptr);
    ASSERT_FALSE(grid.received.empty());
    EXPECT_EQ(LOWORD(static_cast<DWORD_PTR>(grid.received.front().lParam)), barX + 3) << "pens reach the grid in its x";
    std::vector<dlgtest::Received> scrolls;
    for (const auto& r : grid.received)
        if (r.message == WM_VSCROLL)
            scrolls.push_back(r);
    ASSERT_EQ(scrolls.size(), 1u);
    EXPECT_EQ(LOWORD(scrolls[0].wParam), SB_THUMBPOSITION);
    EXPECT_EQ(HIWORD(scrolls[0].wParam), 4) << "dropped at the bottom: the last page";
}

TEST_F(SkinScrollBarTest, KeysGoToTheDialogAndDoubleTapsAreSwallowed)
{
    for (WPARAM key : {WPARAM{VK_LEFT}, WPARAM{VK_DOWN}, WPARAM{0x73}, WPARAM{0x86}, WPARAM{0xC3}, WPARAM{'A'}}) {
        dlgtest::ParentMessages().clear();
        SendMessageW(bar, WM_KEYDOWN, key, 0);
        EXPECT_EQ(dlgtest::MessagesOf(WM_KEYDOWN).size(), key == 'A' ? 0u : 1u) << key;
    }
    SendMessageW(bar, WM_LBUTTONDBLCLK, 0, MAKELPARAM(3, 3));
    EXPECT_TRUE(grid.received.empty());
}

TEST_F(LabelControlsTest, LabelDrawsColourTextAndIcon)
{
    CImageLabel label;
    RECT r{0, 0, 240, 56};
    label.Create(parent, &r, nullptr, WS_CHILD | WS_VISIBLE);
    label.SetSize(240, 56);
    label.SetBkColor(RGB(0, 0, 128));
    label.SetTextColor(RGB(255, 255, 255));
    const COLORREF face = Paint(label, 240, 56).at(200, 30);
    EXPECT_NE(face, RGB(255, 255, 255)) << "the background colour fills the label";
    label.SetText(L"Language");
    Painted text = Paint(label, 240, 56);
    int white = 0;
    for (int y = 14; y < 42; ++y)
        for (int x = 12; x < 120; ++x)
            white += text.at(x, y) != face;
    EXPECT_GT(white, 20) << "the text inside its rectangle";
    EXPECT_EQ(text.at(2, 2), face) << "nothing outside it";
    ASSERT_TRUE(label.SetIcon(1375));
    label.SetIconRect(RECT{220, 10, 227, 30});
    EXPECT_NE(Paint(label, 240, 56).at(223, 20), face);
    EXPECT_FALSE(label.SetIcon(4242)) << "a missing image is refused";
}

TEST_F(LabelControlsTest, LabelShowsAPictureDecodedFromItsFile)
{
    RegisterPictureDecoders();
    fs::copy_file(lumtest::TestData("cards/business-card-english.jpg"), root.path() / "card.jpg");
    CImageLabel label;
    RECT r{0, 0, 96, 64};
    label.Create(parent, &r, nullptr, WS_CHILD | WS_VISIBLE);
    label.SetSize(96, 64);
    label.SetBkColor(RGB(0, 0, 128));
    const COLORREF face = Paint(label, 96, 64).at(0, 0);
    EXPECT_FALSE(label.SetPicture(L"\\missing.jpg"));
    ASSERT_TRUE(label.SetPicture(L"\\card.jpg"));
    Painted p = Paint(label, 96, 64);
    int background = 0;
    for (COLORREF c : p.pixels)
        background += c == face;
    EXPECT_EQ(background, 0) << "the picture covers the label";
}

}  // namespace

namespace {

// The indicator over a dialog in both turns, as the gallery shows it: no key
// colour shows; NAME-CODE.png into LUMOCR_LOOK_DIR when set.
class IndicatorLook : public LabelControlsTest {};

TEST_F(IndicatorLook, ProgressAndSlotsInBothTurns)
{
    const WCHAR* names[20] = {L"B1.jpg", L"B2.jpg", L"B3.jpg", L"B4.jpg", L"B5.jpg"};
    int states[20] = {1, 1, 0, 1, 1, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2};
    for (DWORD code : {DWORD{4}, DWORD{0}}) {
        Turn(code);
        for (int mode : {1, 0}) {
            DestroyWindow(parent);
            parent = dlgtest::CreateRecordingParent(GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
            auto indicator = std::make_unique<CPageIndicator>();
            int x = (GetSystemMetrics(SM_CXSCREEN) - CPageIndicator::kWidth) / 2;
            int y = (GetSystemMetrics(SM_CYSCREEN) - CPageIndicator::kHeight) / 2;
            RECT r{x, y, x + CPageIndicator::kWidth, y + CPageIndicator::kHeight};
            indicator->Create(parent, &r, nullptr, WS_CHILD | WS_VISIBLE);
            indicator->Set(module, mode, 20, 0, parent);
            indicator->SetSlotTables(names, states);
            indicator->m_nItemIndex = 2;
            indicator->m_nItemCount = 5;
            indicator->SetProgress(mode == 1 ? 45 : 0);
            UpdateWindow(parent);
            UpdateWindow(*indicator);
            Pump();
            plat::ScreenImage image = plat::ComposeScreen();
            size_t keyed = 0;
            for (COLORREF c : image.pixels)
                keyed += c == RGB(255, 0, 255);
            std::string name = mode == 1 ? "indicator-progress" : "indicator-slots";
            EXPECT_EQ(keyed, 0u) << name << "-" << code;
            if (const char* dir = std::getenv("LUMOCR_LOOK_DIR"))
                plat::WritePng(fs::path(dir) / (name + "-" + std::to_string(code) + ".png"), image);
        }
    }
}

}  // namespace
