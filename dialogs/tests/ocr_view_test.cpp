#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "dialog_doubles.h"
#include "dialog_messages.h"
#include "dialog_results.h"
#include "expand_view_dialog.h"
#include "layout_manager.h"
#include "lum_image_item_list.h"
#include "lumtest/tempdir.h"
#include "expand_view_impl.h"
#include "ocr_view_impl.h"
#include "page_text_file.h"
#include "plat/device.h"
#include "plat/screen.h"
#include "plat/utf.h"
#include "plat/windows.h"

namespace fs = std::filesystem;

namespace {

using dlgtest::Pump;
using dlgtest::Turn;

std::string ReadAll(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), {});
}

std::vector<std::string> NamesIn(const fs::path& dir)
{
    std::vector<std::string> out;
    if (fs::exists(dir))
        for (auto& e : fs::directory_iterator(dir))
            out.push_back(e.path().filename().string());
    std::sort(out.begin(), out.end());
    return out;
}

TEST(PageTextFile, NameBesideThePicture)
{
    struct Case {
        std::wstring folder, picture, expected;
    } cases[] = {
        {L"\\My Documents\\KVIM\\", L"D081020001.jpg", L"\\My Documents\\KVIM\\D081020001.txt"},
        {L"\\A\\", L"page.JPEG", L"\\A\\page.txt"},
        {L"\\A\\", L"noext", L"\\A\\noext.txt"},
        {L"\\A\\", std::wstring(300, L'x') + L".jpg", (L"\\A\\" + std::wstring(300, L'x')).substr(0, MAX_PATH - 1)},
    };
    for (const Case& c : cases)
        EXPECT_EQ(PageTextFileName(c.folder, c.picture), c.expected) << plat::ToUtf8(c.picture);
}

TEST(PageTextFile, BytesAreTheMarkThenTheTextOnce)
{
    struct Case {
        std::wstring text;
        std::string bytes;
    } cases[] = {
        {L"", std::string("\xFF\xFE", 2)},
        {L"5%", std::string("\xFF\xFE" "5\0%\0", 6)},
        {L"\u00E9\n", std::string("\xFF\xFE\xE9\0\n\0", 6)},
        {L"\U0001F600", std::string("\xFF\xFE\x3D\xD8\x00\xDE", 6)},
    };
    for (const Case& c : cases)
        EXPECT_EQ(PageTextBytes(c.text), c.bytes) << plat::ToUtf8(c.text);
}

class PageTextFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        plat::SetDeviceRoot(root.path());
        ASSERT_TRUE(plat::OpenRegistry(false));
        fs::create_directories(root.path() / "Docs");
    }
    void TearDown() override { plat::CloseRegistry(); }
    lumtest::TempDir root;
};

TEST_F(PageTextFileTest, AnOldFileIsReplacedWholeOrKept)
{
    std::ofstream(root.path() / "Docs" / "p.txt") << "old text that is longer than the new one";
    ASSERT_TRUE(WritePageTextFile(L"\\Docs\\p.txt", L"new"));
    EXPECT_EQ(ReadAll(root.path() / "Docs" / "p.txt"), std::string("\xFF\xFEn\0e\0w\0", 8));

    RegistrySetDWORD(HKEY_LOCAL_MACHINE, plat::kDiskKey, L"FreeKB", 0);
    EXPECT_FALSE(WritePageTextFile(L"\\Docs\\p.txt", L"newer"));
    EXPECT_EQ(ReadAll(root.path() / "Docs" / "p.txt"), std::string("\xFF\xFEn\0e\0w\0", 8)) << "kept";
    EXPECT_EQ(NamesIn(root.path() / "Docs"), std::vector<std::string>{"p.txt"}) << "no temporary left";
    EXPECT_FALSE(WritePageTextFile(L"\\Missing\\p.txt", L"x"));
}

// iconv reads the files back as the UTF-16 text they claim to be.
class PageTextFilePeer : public PageTextFileTest {};

TEST_F(PageTextFilePeer, IconvReadsTheTextBack)
{
    if (std::system("iconv --version >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "iconv is not installed";
    std::wstring text = L"Rechnung: 100% \u00FCber \u20AC 5\r\nZeile zwei \U0001F600 \u0416";
    ASSERT_TRUE(WritePageTextFile(L"\\Docs\\D000000001.txt", text));
    fs::path out = root.path() / "out.txt";
    std::string command = "iconv -f UTF-16 -t UTF-8 " + (root.path() / "Docs" / "D000000001.txt").string() + " > " +
                          out.string();
    ASSERT_EQ(std::system(command.c_str()), 0);
    EXPECT_EQ(ReadAll(out), plat::ToUtf8(text));
}

class OcrViewTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        plat::UseVirtualClock();
        plat::SetDeviceRoot(root.path());
        ASSERT_TRUE(plat::OpenRegistry(false));
        Turn(DMDO_0);
        SipShowIM(SIPF_OFF);
        fs::create_directories(pictures);
        module = dlgtest::LoadLanguageFile(root.path(), {{243, L"Not saved."},
                                                         {245, L"Yes"},
                                                         {246, L"No"},
                                                         {247, L"Text saved."},
                                                         {250, L"Again?"},
                                                         {251, L"All again?"}});
    }
    void TearDown() override
    {
        view.reset();
        Pump();
        CLayoutManager::GetInstance()->SetBusy(FALSE);
        SipShowIM(SIPF_OFF);
        Turn(DMDO_0);
        plat::CloseRegistry();
        plat::UseRealClock();
    }

    // Pages of these names and texts; a picture file is made for each name
    // unless it is in `missing`.
    void Open(const std::vector<std::wstring>& names, const std::vector<std::wstring>& texts,
              const std::vector<std::wstring>& missing = {})
    {
        std::vector<const WCHAR*> n, t;
        for (size_t i = 0; i < names.size(); ++i) {
            if (std::find(missing.begin(), missing.end(), names[i]) == missing.end())
                std::ofstream(pictures / plat::ToUtf8(names[i])) << "jpeg";
            n.push_back(names[i].c_str());
            t.push_back(texts[i].c_str());
        }
        view = std::make_unique<COcrViewDialog>();
        view->SetData(t.data(), static_cast<int>(names.size()), L"\\Docs\\", n.data(), module, &inactivity, &smsSent,
                      nullptr);
        ASSERT_TRUE(view->Create(nullptr));
        ShowWindow(*view, SW_SHOW);
        Pump();
    }
    void Command(WORD id, LPARAM lParam = 0)
    {
        SendMessageW(*view, WM_COMMAND, id, lParam);
        Pump();
    }
    void Key(WPARAM key)
    {
        SendMessageW(*view, WM_KEYDOWN, key, 0);
        Pump();
    }
    std::wstring Title()
    {
        WCHAR text[128];
        GetWindowTextW(GetDlgItem(*view, IDC_OCR_TITLE), text, 128);
        return text;
    }
    std::wstring EditText()
    {
        WCHAR text[6000];
        GetWindowTextW(GetDlgItem(*view, IDC_OCR_EDIT), text, 6000);
        return text;
    }
    bool InfoShown() { return IsWindowVisible(GetDlgItem(*view, IDC_OCR_INFO_POPUP)); }
    void PopupTimesOut()
    {
        plat::AdvanceClock(kPopupCloseMs + 10);
        Pump();
    }
    std::vector<std::wstring> Names()
    {
        std::vector<std::wstring> out;
        for (int i = 0; i < view->Count(); ++i)
            out.push_back(view->PageName(i));
        return out;
    }
    std::vector<std::wstring> ListNames()
    {
        std::vector<std::wstring> out;
        LumImageItemList* list = LumImageItemList::GetInstance();
        for (int i = 0; i < list->GetCount(); ++i)
            out.push_back(list->GetRecord(i)->GetName());
        return out;
    }
    std::vector<std::string> TextFiles()
    {
        std::vector<std::string> out;
        for (const std::string& n : NamesIn(pictures))
            if (n.ends_with(".txt") || n.ends_with(".tmp"))
                out.push_back(n);
        return out;
    }

    lumtest::TempDir root;
    fs::path pictures = root.path() / "Docs";
    HMODULE module = nullptr;
    int inactivity = 0;
    int smsSent = 0;
    std::unique_ptr<COcrViewDialog> view;
};

TEST_F(OcrViewTest, ASavedSinglePageIsItsTextFileAndEndsTheView)
{
    Open({L"D081020001.jpg"}, {L"Invoice 100%\r\nTotal"});
    EXPECT_EQ(view->MenuBarId(), IDM_OCR_ONE_PAGE);
    EXPECT_EQ(Title(), L"D081020001.jpg");
    EXPECT_FALSE(IsWindowVisible(GetDlgItem(*view, IDC_OCR_LEFT))) << "no arrows for one page";
    Command(CMD_OCR_SAVE);
    EXPECT_TRUE(InfoShown());
    EXPECT_TRUE(CLayoutManager::GetInstance()->IsBusy()) << "input blocked under the notice";
    EXPECT_EQ(ReadAll(pictures / "D081020001.txt"), PageTextBytes(L"Invoice 100%\r\nTotal"));
    EXPECT_EQ(view->EndResult(), -1);
    PopupTimesOut();
    EXPECT_EQ(view->EndResult(), RESULT_VIEW_BACK);
    EXPECT_FALSE(CLayoutManager::GetInstance()->IsBusy());
    EXPECT_EQ(inactivity, kInactivityReset);
}

TEST_F(OcrViewTest, SavingAPageRemovesItAndKeepsTheRightOneCurrent)
{
    struct Case {
        int save;  // 1-based
        std::vector<std::wstring> left;
        int current;
    } cases[] = {
        {3, {L"D01.jpg", L"D02.jpg"}, 2},
        {1, {L"D02.jpg", L"D03.jpg"}, 1},
        {2, {L"D01.jpg", L"D03.jpg"}, 2},
    };
    for (const Case& c : cases) {
        // The first picture is gone from the device: the list is shorter
        // than the view, and entries must be found by name.
        Open({L"D01.jpg", L"D02.jpg", L"D03.jpg"}, {L"one", L"two", L"three"}, {L"D01.jpg"});
        for (int i = 1; i < c.save; ++i)
            Key(VK_RIGHT);
        ASSERT_EQ(view->Current(), c.save);
        Command(CMD_OCR_SAVE);
        PopupTimesOut();
        EXPECT_EQ(Names(), c.left) << "save " << c.save;
        EXPECT_EQ(view->Current(), c.current) << "save " << c.save;
        EXPECT_EQ(EditText(), view->PageText(c.current - 1)) << "save " << c.save;
        std::vector<std::wstring> listed;
        for (const std::wstring& n : c.left)
            if (n != L"D01.jpg")
                listed.push_back(n);
        EXPECT_EQ(ListNames(), listed) << "the saved page's picture left the list, not another";
        EXPECT_EQ(LumImageItemList::GetInstance()->GetCurrentItem().GetName(),
                  view->PageName(c.current - 1) == L"D01.jpg" ? L"" : view->PageName(c.current - 1));
        EXPECT_EQ(view->MenuBarId(), IDM_OCR_PAGES);
        view.reset();
        Pump();
        fs::remove_all(pictures);
        fs::create_directories(pictures);
    }
}

TEST_F(OcrViewTest, PagingWrapsKeepsEditsAndFollowsInTheTitle)
{
    Open({L"D000000001.jpg", L"D000000002.jpg", L"D000000003.jpg"}, {L"one", L"two", L"three"});
    EXPECT_EQ(Title(), L"D0000..   (1/3)");
    Key(VK_LEFT);
    EXPECT_EQ(view->Current(), 3);
    EXPECT_EQ(EditText(), L"three");
    SetWindowTextW(GetDlgItem(*view, IDC_OCR_EDIT), L"three, edited");
    Key(VK_RIGHT);
    EXPECT_EQ(view->Current(), 1);
    EXPECT_EQ(EditText(), L"one");
    Key(VK_LEFT);
    EXPECT_EQ(EditText(), L"three, edited") << "the edit went into its page";
    Turn(DMDO_90);
    SendMessageW(*view, WM_SETTINGCHANGE, kSettingChangeLayout, 0);
    Pump();
    EXPECT_EQ(Title(), L"D000000003.jpg      (3/3)");
    RECT edit;
    GetWindowRect(GetDlgItem(*view, IDC_OCR_EDIT), &edit);
    EXPECT_EQ(edit.right - edit.left, 393);
    EXPECT_EQ(edit.bottom - edit.top, 146);
}

TEST_F(OcrViewTest, TwoPagesBecomeOneWithoutArrowsOrSaveAll)
{
    Open({L"D01.jpg", L"D02.jpg"}, {L"one", L"two"});
    EXPECT_TRUE(IsWindowVisible(GetDlgItem(*view, IDC_OCR_RIGHT)));
    Command(CMD_OCR_SAVE);
    PopupTimesOut();
    EXPECT_EQ(view->Count(), 1);
    EXPECT_EQ(view->MenuBarId(), IDM_OCR_ONE_PAGE);
    EXPECT_FALSE(IsWindowVisible(GetDlgItem(*view, IDC_OCR_LEFT)));
    EXPECT_FALSE(IsWindowVisible(GetDlgItem(*view, IDC_OCR_RIGHT)));
    EXPECT_EQ(Title(), L"D02.jpg");
    Key(VK_RIGHT);
    EXPECT_EQ(EditText(), L"two");
}

TEST_F(OcrViewTest, AFullDiskKeepsThePageAndSaysSo)
{
    Open({L"D01.jpg"}, {L"one"});
    RegistrySetDWORD(HKEY_LOCAL_MACHINE, plat::kDiskKey, L"FreeKB", 0);
    Command(CMD_OCR_SAVE);
    ASSERT_TRUE(InfoShown());
    PopupTimesOut();
    EXPECT_EQ(view->EndResult(), -1) << "the page stays";
    EXPECT_EQ(view->Count(), 1);
    EXPECT_TRUE(TextFiles().empty());
    EXPECT_FALSE(CLayoutManager::GetInstance()->IsBusy());

    RegistrySetDWORD(HKEY_LOCAL_MACHINE, plat::kDiskKey, L"FreeKB", 100000);
    Command(CMD_OCR_SAVE);
    PopupTimesOut();
    EXPECT_EQ(view->EndResult(), RESULT_VIEW_BACK);
    EXPECT_EQ(TextFiles(), std::vector<std::string>{"D01.txt"});
}

TEST_F(OcrViewTest, SaveAllAndRetryEndOnlyWhenEveryPageWasWritten)
{
    // 1 KB free: the short pages fit, the long one does not.
    std::wstring longText(5000, L'w');
    struct Case {
        WORD command;
        int answer;  // -1: no question
        DWORD freeKB;
        INT_PTR end;
        std::vector<std::string> files;
        std::vector<std::wstring> left;
    } cases[] = {
        {CMD_OCR_SAVE_ALL, -1, 100000, RESULT_VIEW_BACK, {"D01.txt", "D02.txt", "D03.txt"}, {}},
        {CMD_OCR_SAVE_ALL, -1, 1, -1, {"D01.txt", "D03.txt"}, {L"D02.jpg"}},
        {CMD_OCR_RETRY, 1, 100000, RESULT_VIEW_BACK, {"D01.txt", "D02.txt", "D03.txt"}, {}},
        {CMD_OCR_RETRY, 1, 1, -1, {"D01.txt", "D03.txt"}, {L"D02.jpg"}},
        {CMD_OCR_RETRY, 0, 100000, RESULT_VIEW_BACK, {}, {}},
    };
    for (const Case& c : cases) {
        RegistrySetDWORD(HKEY_LOCAL_MACHINE, plat::kDiskKey, L"FreeKB", c.freeKB);
        Open({L"D01.jpg", L"D02.jpg", L"D03.jpg"}, {L"one 5%", longText, L"three"});
        Command(c.command);
        if (c.answer >= 0) {
            ASSERT_TRUE(IsWindowVisible(GetDlgItem(*view, IDC_OCR_YESNO_POPUP)));
            Command(CMD_YESNO_DONE, c.answer);
        }
        if (c.end < 0 || c.command == CMD_OCR_SAVE_ALL) {
            EXPECT_TRUE(InfoShown()) << c.command << " " << c.freeKB;
            PopupTimesOut();
        }
        EXPECT_EQ(view->EndResult(), c.end) << c.command << " " << c.freeKB;
        EXPECT_EQ(TextFiles(), c.files) << c.command << " " << c.freeKB;
        if (c.end < 0) {
            EXPECT_EQ(Names(), c.left);
            EXPECT_EQ(EditText(), longText);
            EXPECT_FALSE(CLayoutManager::GetInstance()->IsBusy());
        }
        if (!c.files.empty()) {
            EXPECT_EQ(ReadAll(pictures / "D01.txt"), PageTextBytes(L"one 5%"));
        }
        view.reset();
        Pump();
        fs::remove_all(pictures);
        fs::create_directories(pictures);
    }
}

TEST_F(OcrViewTest, SendPutsThePageInTheOutboxOrKeepsTheView)
{
    fs::path outbox = root.path() / "Outbox";
    Open({L"D01.jpg", L"D02.jpg"}, {L"one", L"two"});
    Key(VK_RIGHT);
    SetWindowTextW(GetDlgItem(*view, IDC_OCR_EDIT), L"two, edited");
    RegistrySetDWORD(HKEY_LOCAL_MACHINE, plat::kDiskKey, L"FreeKB", 0);
    Command(CMD_OCR_SEND);
    EXPECT_EQ(view->EndResult(), -1) << "a failed send keeps the view";
    EXPECT_EQ(view->Count(), 2);
    EXPECT_EQ(smsSent, 0);
    EXPECT_TRUE(NamesIn(outbox).empty());

    RegistrySetDWORD(HKEY_LOCAL_MACHINE, plat::kDiskKey, L"FreeKB", 100000);
    Command(CMD_OCR_SEND);
    EXPECT_EQ(view->EndResult(), RESULT_VIEW_SENT);
    EXPECT_EQ(smsSent, 1);
    auto files = NamesIn(outbox);
    ASSERT_EQ(files.size(), 1u);
    std::string message = ReadAll(outbox / files[0]);
    EXPECT_NE(message.find("X-Account: SMS\r\nX-Message-Class: IPM.MMS\r\n"), std::string::npos);
    EXPECT_EQ(message.substr(message.size() - 13), "two, edited\r\n");
}

TEST_F(OcrViewTest, KeysScrollWholeLinesAndTheInputPanelShrinksTheEditor)
{
    std::wstring text;
    for (int i = 0; i < 60; ++i)
        text += L"line " + std::to_wstring(i) + L"\r\n";
    Open({L"D01.jpg"}, {text});
    const CResultEdit& edit = view->Editor();
    EXPECT_EQ(edit.FirstVisibleLine(), 0);
    Key(VK_DOWN);
    int lines = 50 / edit.LineHeight();
    EXPECT_EQ(edit.FirstVisibleLine(), lines) << "a 50-pixel stroke, whole lines";
    SCROLLINFO si{};
    si.cbSize = sizeof si;
    si.fMask = SIF_ALL;
    GetScrollInfo(GetDlgItem(*view, IDC_OCR_SCROLLBAR), SB_CTL, &si);
    EXPECT_EQ(si.nPos, lines) << "the bar follows";
    EXPECT_GE(si.nMax, 59);
    Key(VK_UP);
    EXPECT_EQ(edit.FirstVisibleLine(), 0);
    EXPECT_FALSE(plat::GetShellState().sipShown) << "strokes are no taps";

    // A tap opens the input panel; the editor makes room for it and takes it back.
    HWND editor = GetDlgItem(*view, IDC_OCR_EDIT);
    SendMessageW(editor, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(20, 30));
    SendMessageW(editor, WM_LBUTTONUP, 0, MAKELPARAM(21, 32));
    Pump();
    EXPECT_TRUE(plat::GetShellState().sipShown);
    EXPECT_TRUE(view->PanelShrunk());
    RECT r;
    GetWindowRect(editor, &r);
    SIPINFO sip{};
    sip.cbSize = sizeof sip;
    SipGetInfo(&sip);
    EXPECT_EQ(r.bottom - r.top, 306 - (sip.rcSipRect.bottom - sip.rcSipRect.top));
    Command(CMD_OCR_ACTION);
    EXPECT_FALSE(view->PanelShrunk());
    GetWindowRect(editor, &r);
    EXPECT_EQ(r.bottom - r.top, 306);
}

TEST_F(OcrViewTest, TheZoomViewLeavesThePageOfItsPictureCurrent)
{
    struct Case {
        INT_PTR answer;
        std::wstring zoomEndsOn;
        int current;
        INT_PTR end;
    } cases[] = {
        {EXPAND_VIEW_BACK, L"D03.jpg", 3, -1},
        {EXPAND_VIEW_BACK, L"D01.jpg", 2, -1},  // a picture the list lacks keeps the page
        {EXPAND_VIEW_EXIT, L"D02.jpg", 2, RESULT_VIEW_EXIT},
    };
    for (const Case& c : cases) {
        // The first picture is missing: list positions and pages differ.
        Open({L"D01.jpg", L"D02.jpg", L"D03.jpg"}, {L"one", L"two", L"three"}, {L"D01.jpg"});
        Key(VK_RIGHT);
        SetWindowTextW(GetDlgItem(*view, IDC_OCR_EDIT), L"two, edited");
        view->SetExpandRunner([&] {
            LumImageItemList* list = LumImageItemList::GetInstance();
            for (int i = 0; i < list->GetCount(); ++i)
                list->GetRecord(i)->SetCurrent(list->GetRecord(i)->GetName() == c.zoomEndsOn);
            return c.answer;
        });
        Command(CMD_OCR_EXPAND);
        EXPECT_EQ(view->EndResult(), c.end) << c.answer;
        if (c.end < 0) {
            EXPECT_EQ(view->Current(), c.current) << plat::ToUtf8(c.zoomEndsOn);
            EXPECT_EQ(EditText(), view->PageText(c.current - 1));
            EXPECT_TRUE(IsWindowVisible(GetDlgItem(*view, IDC_OCR_RIGHT)));
            EXPECT_EQ(view->PageText(1), L"two, edited") << "the edit was kept before the zoom view";
        }
        view.reset();
        Pump();
    }
}

TEST_F(OcrViewTest, TheZoomViewAndTheGalleryOpenEachOtherUntilOneEnds)
{
    struct Case {
        const char* what;
        WORD command;
        std::vector<INT_PTR> zoom, gallery;  // their answers in turn
        std::string order;
        INT_PTR end;
    } cases[] = {
        {"zoom, Result", CMD_OCR_EXPAND, {EXPAND_VIEW_BACK}, {}, "z", -1},
        {"zoom, Thumbnail, gallery, Result", CMD_OCR_EXPAND, {EXPAND_VIEW_OTHER}, {GALLERY_SHOW_RESULTS}, "zg", -1},
        {"zoom, gallery, Expand, zoom, end key", CMD_OCR_EXPAND, {EXPAND_VIEW_OTHER, EXPAND_VIEW_EXIT},
         {GALLERY_DONE}, "zgz", RESULT_VIEW_EXIT},
        {"gallery first, end key", CMD_OCR_BROWSER, {}, {GALLERY_EXIT}, "g", RESULT_VIEW_EXIT},
        {"gallery first, Expand, zoom, Result", CMD_OCR_BROWSER, {EXPAND_VIEW_BACK}, {GALLERY_DONE}, "gz", -1},
    };
    for (const Case& c : cases) {
        Open({L"D01.jpg", L"D02.jpg"}, {L"one", L"two"});
        std::string order;
        size_t z = 0, g = 0;
        view->SetExpandRunner([&] {
            order += 'z';
            return z < c.zoom.size() ? c.zoom[z++] : EXPAND_VIEW_EXIT;
        });
        view->SetGalleryRunner([&] {
            order += 'g';
            return g < c.gallery.size() ? c.gallery[g++] : GALLERY_EXIT;
        });
        Command(c.command);
        EXPECT_EQ(order, c.order) << c.what;
        EXPECT_EQ(view->EndResult(), c.end) << c.what;
        view.reset();
        Pump();
    }
}

TEST_F(OcrViewTest, EndKeyAndExitEndWithThree)
{
    for (bool endKey : {true, false}) {
        Open({L"D01.jpg"}, {L"one"});
        if (endKey)
            Key(VK_F4);
        else
            Command(CMD_OCR_EXIT);
        EXPECT_EQ(view->EndResult(), RESULT_VIEW_EXIT);
        view.reset();
        Pump();
    }
}

}  // namespace

namespace {

// The document view as the program shows it, in both turns: nothing of the
// key colour shows, popups lie on the screen; NAME-CODE.png into
// LUMOCR_LOOK_DIR when set.
class GalleryLook : public OcrViewTest {
public:
    using OcrViewTest::Command;

protected:
    void Shoot(const std::string& name, DWORD code)
    {
        dlgtest::CheckLook(*view, {IDC_OCR_INFO_POPUP, IDC_OCR_YESNO_POPUP}, name, code);
    }
};

TEST_F(GalleryLook, DocumentViewAndItsNoticeInBothTurns)
{
    for (DWORD code : {DWORD{4}, DWORD{0}}) {
        Turn(code);
        struct Scene {
            std::string name;
            WORD command;
        } scenes[] = {{"doc-view", CMD_OCR_NEXT_PAGE}, {"doc-saved", CMD_OCR_SAVE}};
        for (const Scene& s : scenes) {
            Open({L"D000000011.jpg", L"D000000012.jpg"},
                 {L"First page", L"Dear customer,\r\nyour invoice of 100% is attached.\r\nKind regards"});
            Command(s.command);
            Shoot(s.name, code);
            view.reset();
            CLayoutManager::GetInstance()->SetBusy(FALSE);
            Pump();
        }
    }
}

// A picture of the given size: a pale page with a dark band of "text".
HBITMAP Page(int width, int height)
{
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, nullptr, nullptr, 0);
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, bitmap);
    RECT all{0, 0, width, height}, band{width / 8, height / 3, width * 7 / 8, height / 2};
    HBRUSH paper = CreateSolidBrush(RGB(236, 232, 220)), ink = CreateSolidBrush(RGB(40, 40, 60));
    FillRect(dc, &all, paper);
    FillRect(dc, &band, ink);
    DeleteObject(paper);
    DeleteObject(ink);
    SelectObject(dc, old);
    DeleteDC(dc);
    return bitmap;
}

TEST_F(GalleryLook, ZoomViewInBothTurns)
{
    for (DWORD code : {DWORD{4}, DWORD{0}}) {
        Turn(code);
        for (const std::string name : {"zoom", "zoom-in"}) {
            // The document view hands its pictures to the shared list.
            Open({L"D000000011.jpg", L"D000000012.jpg"}, {L"one", L"two"});
            CExpandViewDialog zoom;
            zoom.SetMode(EXPAND_MODE_RESULTS);
            zoom.SetDecoders([](const std::wstring&, int w, int h) { return Page(std::min(w, h * 4 / 3), std::min(h, w * 3 / 4)); },
                             [](const std::wstring&, int, int) { return Page(1280, 960); });
            ASSERT_TRUE(zoom.Create(nullptr));
            ShowWindow(zoom, SW_SHOW);
            if (name == "zoom-in") {
                SendMessageW(zoom, WM_KEYDOWN, VK_UP, 0);
                SendMessageW(zoom, WM_KEYDOWN, VK_UP, 0);
            }
            dlgtest::CheckLook(zoom, {IDC_EXPAND_POPUP}, name, code);
            DestroyWindow(zoom);
            view.reset();
            Pump();
        }
    }
}

}  // namespace
