#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "dialog_doubles.h"
#include "dialog_results.h"
#include "fake_ocr_engine.h"
#include "gallery_dialog.h"
#include "layout_manager.h"
#include "lumtest/tempdir.h"
#include "picture_recognition.h"
#include "plat/device.h"
#include "plat/utf.h"
#include "plat/windows.h"
#include "result_records.h"

namespace fs = std::filesystem;

namespace {

using dlgtest::Pump;
using dlgtest::Turn;

void PutLe(std::string& s, std::uint32_t v, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        s.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

// A flat grey 1280 x 960 picture (a BMP under the picture's name).
std::string Picture1280()
{
    const int width = 1280, height = 960, stride = width * 3;
    std::string bmp;
    PutLe(bmp, 0x4D42, 2);
    PutLe(bmp, 54 + stride * height, 4);
    PutLe(bmp, 0, 4);
    PutLe(bmp, 54, 4);
    PutLe(bmp, 40, 4);
    PutLe(bmp, width, 4);
    PutLe(bmp, height, 4);
    PutLe(bmp, 1, 2);
    PutLe(bmp, 24, 2);
    for (int i = 0; i < 6; ++i)
        PutLe(bmp, i == 1 ? stride * height : (i == 2 || i == 3 ? 2835 : 0), 4);
    bmp.append(static_cast<size_t>(stride) * height, static_cast<char>(128));
    return bmp;
}

fake_engine::Picture Page(const std::string& text, std::vector<std::int32_t> progress = {50, 100})
{
    fake_engine::Picture p;
    p.text = text;
    p.progress = std::move(progress);
    return p;
}

fake_engine::Picture CardOf(int categories)
{
    const std::int32_t types[] = {OCR_FIELD_NAME, OCR_FIELD_COMPANY, OCR_FIELD_MOBILE, OCR_FIELD_EMAIL};
    fake_engine::Picture p;
    for (int i = 0; i < categories; ++i)
        p.fields.push_back({types[i], "field " + std::to_string(i), RECT{10, 20, 110, 60}});
    p.progress = {100};
    return p;
}

void* FailingAlloc(std::size_t, std::size_t) { return nullptr; }

class GalleryTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        plat::UseVirtualClock();
        plat::SetDeviceRoot(root.path());
        ASSERT_TRUE(plat::OpenRegistry(false));
        Turn(DMDO_0);
        fs::create_directories(root.path() / "Pics");
        module = dlgtest::LoadLanguageFile(root.path(), {{2, L"Not read."},
                                                         {3, L"Reading"},
                                                         {4, L"Cancel"},
                                                         {5, L"Preparing"},
                                                         {213, L"All pictures"},
                                                         {214, L"Business cards"},
                                                         {215, L"Documents"},
                                                         {230, L"Delete all %d pictures shown?"},
                                                         {232, L"Not now."},
                                                         {233, L"Nothing marked."},
                                                         {240, L"Twenty at most."},
                                                         {242, L"(none)"},
                                                         {245, L"Yes"},
                                                         {246, L"No"}});
        ASSERT_NE(module, nullptr);
        CLayoutManager::GetInstance()->SetResource(module);
        for (int i = 0; i < 20; ++i) {
            texts[i] = nullptr;
            items[i] = nullptr;
            subItems[i] = nullptr;
            names[i] = nullptr;
            directions[i] = 1;
            success[i] = 0;
            states[i] = 2;
        }
        RegistrySetDWORD(HKEY_LOCAL_MACHINE, L"System\\State\\Phone", L"Status", 0);
    }
    void TearDown() override
    {
        view.reset();
        Pump();
        for (int i = 0; i < 20; ++i) {
            std::free(texts[i]);
            std::free(items[i]);
            std::free(subItems[i]);
            std::free(names[i]);
        }
        fake_engine::Uninstall();
        SetRecognitionAlloc(nullptr);
        LumImageItemList::GetInstance()->RemoveAll(FALSE);
        CLayoutManager::GetInstance()->SetBusy(FALSE);
        FreeLibrary(module);
        CLayoutManager::ReleaseInstance();
        Turn(DMDO_0);
        plat::CloseRegistry();
        plat::UseRealClock();
    }

    // Pictures by name in \Pics: "!" before a name makes it unreadable.
    void Pictures(const std::vector<std::string>& list)
    {
        static const std::string good = Picture1280();
        for (std::string name : list) {
            bool bad = name[0] == '!';
            if (bad)
                name.erase(0, 1);
            std::ofstream(root.path() / "Pics" / name, std::ios::binary) << (bad ? std::string("no picture") : good);
        }
    }
    void Open(int filter = LumImageItemList::FILTER_DOCUMENTS, const std::wstring& folder = L"\\Pics")
    {
        LumImageItemList* model = LumImageItemList::GetInstance();
        model->Rescan(folder.c_str());
        model->SetFilterMode(filter);
        view = std::make_unique<CGalleryDialog>();
        ThumbNailInput in;
        in.resultKind = &resultKind;
        in.singleResult = &single;
        in.recognitionMode = &mode;
        in.pictureCount = &pictureCount;
        in.texts = texts;
        in.items = items;
        in.subItems = subItems;
        in.folder = folder_;
        in.names = names;
        in.language = 0;
        in.running = &running;
        in.inactivity = &inactivity;
        in.directions = directions;
        in.runStarted = &runStarted;
        in.success = success;
        in.resultStates = states;
        view->SetInput(in);
        view->SetResource(module);
        ASSERT_TRUE(view->Create(nullptr));
        ShowWindow(*view, SW_SHOW);
        Pump();
    }
    void Command(WORD id, LPARAM lParam = 0)
    {
        SendMessageW(*view, WM_COMMAND, id, lParam);
        Pump();
    }
    void MarkAll()
    {
        LumImageItemList* model = LumImageItemList::GetInstance();
        for (int i = 0; i < model->GetVisibleCount(); ++i)
            if (model->GetItemAt(i).GetType() != ImageFileItem::TYPE_NONE)
                model->GetItemAt(i).SetMarked(TRUE);
    }
    // Recognize from the menu with the kind list's choice, then the run to its end.
    void Run(std::vector<fake_engine::Picture> script)
    {
        fake_engine::Install(std::move(script));
        Command(CMD_GALLERY_RECOGNIZE_MENU);
        view->JoinWorker();
        Pump();
    }
    void NoticeTimesOut(UINT ms = kPopupCloseMs)
    {
        plat::AdvanceClock(ms + 10);
        Pump();
    }
    static DWORD Recognizing()
    {
        DWORD value = 99;
        RegistryGetDWORD(HKEY_LOCAL_MACHINE, L"System\\State\\Velmora\\Keypad", L"LumOCRRecognizing", &value);
        return value;
    }
    std::vector<std::wstring> Names() const
    {
        std::vector<std::wstring> out;
        for (const WCHAR* n : names)
            out.push_back(n ? n : L"-");
        out.resize(4);
        return out;
    }
    bool NothingLeft() const
    {
        for (int i = 0; i < 20; ++i)
            if (texts[i] || items[i] || subItems[i] || names[i])
                return false;
        return true;
    }

    lumtest::TempDir root;
    HMODULE module = nullptr;
    std::unique_ptr<CGalleryDialog> view;
    std::int32_t resultKind = -1, single = -1, mode = 0, pictureCount = -1, running = 0, runStarted = 0;
    int inactivity = 0;
    WCHAR folder_[MAX_PATH] = L"";
    WCHAR* texts[20];
    ResultItem* items[20];
    ResultSubItem* subItems[20];
    WCHAR* names[20];
    std::int32_t directions[20], success[20], states[20];
};

TEST_F(GalleryTest, OpensBrowsingWithTheFoldersAndKinds)
{
    Pictures({"D000000001.jpg", "D000000002.jpg", "B000000003.jpg"});
    Open();
    EXPECT_EQ(view->State(), GALLERY_BROWSE);
    EXPECT_EQ(view->MenuBarId(), IDM_GALLERY_BROWSE);
    EXPECT_EQ(view->Grid().Paging().itemCount, 3);  // "..", two documents
    EXPECT_EQ(view->Folders().GetRowCount(), 1);
    EXPECT_EQ(view->Folders().GetRowText(0), L"Pics");
    EXPECT_EQ(view->Kinds().GetRowCount(), 3);
    EXPECT_EQ(view->Kinds().Caption(), L"Documents");
    EXPECT_EQ(LumImageItemList::GetInstance()->GetItemAt(0).IsCurrent(), TRUE);
}

TEST_F(GalleryTest, AFolderWithOnlyItsParentRefusesAndKeepsItsState)
{
    fs::create_directories(root.path() / "Pics" / "Empty");
    struct Case {
        WORD command;
        int notice;
    } cases[] = {
        {CMD_GALLERY_DELETE_MODE, NOTICE_DELETE_MODE_REFUSED},
        {CMD_GALLERY_DELETE_ALL, NOTICE_DELETE_ALL_REFUSED},
        {CMD_GALLERY_CARDS, NOTICE_CARDS_REFUSED},
        {CMD_GALLERY_DOCUMENTS, NOTICE_DOCUMENTS_REFUSED},
    };
    for (const Case& c : cases) {
        Open(LumImageItemList::FILTER_DOCUMENTS, L"\\Pics\\Empty");
        Command(c.command);
        EXPECT_TRUE(view->NoticeShown()) << c.command;
        EXPECT_EQ(view->NoticeKind(), c.notice);
        EXPECT_TRUE(CLayoutManager::GetInstance()->IsBusy());
        Command(CMD_GALLERY_DELETE_MODE);  // guarded while the notice is up
        EXPECT_EQ(view->NoticeKind(), c.notice);
        NoticeTimesOut();
        EXPECT_FALSE(view->NoticeShown());
        EXPECT_FALSE(CLayoutManager::GetInstance()->IsBusy());
        EXPECT_EQ(view->State(), GALLERY_BROWSE) << c.command;
        EXPECT_FALSE(view->Running());
        view.reset();
    }
}

TEST_F(GalleryTest, RecognizeWithNothingMarkedStartsNoWorker)
{
    Pictures({"D000000001.jpg"});
    Open();
    fake_engine::Install({Page("never")});
    Command(CMD_GALLERY_RECOGNIZE_MENU);
    EXPECT_FALSE(view->Running());
    EXPECT_EQ(view->NoticeKind(), NOTICE_NOTHING_MARKED);
    EXPECT_EQ(pictureCount, 0);
    EXPECT_EQ(resultKind, GALLERY_NEXT_PREVIEW);
    EXPECT_TRUE(fake_engine::CallNames().empty());
    NoticeTimesOut();
    EXPECT_EQ(view->State(), GALLERY_BROWSE);
}

TEST_F(GalleryTest, ARunWhereEveryPictureSucceedsEndsAtOnce)
{
    Pictures({"D000000001.jpg", "D000000002.jpg"});
    Open();
    MarkAll();
    Run({Page("first page"), Page("second page")});
    EXPECT_EQ(view->EndResult(), GALLERY_DONE);
    EXPECT_EQ(resultKind, GALLERY_NEXT_DOCUMENTS);
    EXPECT_EQ(pictureCount, 1);
    EXPECT_EQ(single, 0);
    EXPECT_EQ(runStarted, 1);
    EXPECT_EQ(running, 0);
    EXPECT_EQ(std::wstring(folder_), L"\\Pics\\");
    EXPECT_EQ(Names(), (std::vector<std::wstring>{L"D000000001.jpg", L"D000000002.jpg", L"-", L"-"}));
    ASSERT_TRUE(texts[0] && texts[1]);
    EXPECT_EQ(std::wstring(texts[1]), L"second page");
    EXPECT_EQ(states[0], 1);
    EXPECT_EQ(states[2], 2);
    EXPECT_EQ(Recognizing(), 0u);
}

TEST_F(GalleryTest, SomeFailuresKeepTheGoodPicturesInOrderBehindNotice7)
{
    Pictures({"D000000001.jpg", "!D000000002.jpg", "D000000003.jpg", "D000000004.jpg"});
    Open();
    MarkAll();
    // The unreadable picture never reaches the engine; the third reads nothing.
    Run({Page("one"), Page(""), Page("four")});
    EXPECT_EQ(view->EndResult(), -1);
    EXPECT_EQ(view->NoticeKind(), NOTICE_SOME_FAILED);
    EXPECT_TRUE(IsWindowVisible(view->Indicator()));
    EXPECT_EQ(view->Indicator().Title(), L"(2/4)");
    EXPECT_EQ(Names(), (std::vector<std::wstring>{L"D000000001.jpg", L"D000000004.jpg", L"-", L"-"}));
    EXPECT_EQ(std::wstring(texts[1]), L"four");
    EXPECT_EQ(texts[2], nullptr);
    EXPECT_EQ((std::vector<int>{states[0], states[1], states[2], states[3], states[4]}),
              (std::vector<int>{1, 0, 0, 1, 2}));
    EXPECT_EQ(pictureCount, 1);
    NoticeTimesOut(kPopupCloseMs);  // the notice stays 3000 ms, not 2000
    EXPECT_EQ(view->EndResult(), -1);
    NoticeTimesOut(kSomeFailedMs - kPopupCloseMs);
    EXPECT_EQ(view->EndResult(), GALLERY_DONE);
}

TEST_F(GalleryTest, NoGoodPictureShowsNotice3AndFreesEverything)
{
    Pictures({"D000000001.jpg", "D000000002.jpg"});
    Open();
    MarkAll();
    Run({Page(""), Page("")});
    EXPECT_EQ(view->NoticeKind(), NOTICE_RECOGNITION_FAILED);
    EXPECT_TRUE(NothingLeft());
    EXPECT_EQ(pictureCount, 0);
    EXPECT_EQ(Recognizing(), 0u);
    NoticeTimesOut();
    EXPECT_EQ(view->State(), GALLERY_BROWSE);
    EXPECT_EQ(view->EndResult(), -1);
}

TEST_F(GalleryTest, CardsOfFewerThanThreeCategoriesFail)
{
    Pictures({"B000000001.jpg", "B000000002.jpg"});
    Open(LumImageItemList::FILTER_CARDS);
    MarkAll();
    Run({CardOf(2), CardOf(3)});
    EXPECT_EQ(view->NoticeKind(), NOTICE_SOME_FAILED);
    EXPECT_EQ(resultKind, GALLERY_NEXT_CARDS);
    EXPECT_EQ(Names(), (std::vector<std::wstring>{L"B000000002.jpg", L"-", L"-", L"-"}));
    EXPECT_NE(items[0], nullptr);
    EXPECT_EQ(items[1], nullptr);
    EXPECT_EQ(mode, 1);
}

TEST_F(GalleryTest, TheWaysOutOfARunFreeWhatTheyDoNotHandOver)
{
    struct Case {
        const char* what;
        std::function<void(GalleryTest&, fake_engine::Picture&)> arrange;
        bool notice3;
    } cases[] = {
        {"cancel pressed during picture 1",
         [](GalleryTest&, fake_engine::Picture& p) {
             p.afterProgress = [](std::int32_t) {
                 HWND indicator = g_RecognitionProgress.window.load();
                 SendMessageW(indicator, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(100, 120));
                 SendMessageW(indicator, WM_LBUTTONUP, 0, MAKELPARAM(100, 120));
             };
         },
         false},
        {"a call comes in",
         [](GalleryTest&, fake_engine::Picture& p) {
             p.afterProgress = [](std::int32_t) {
                 RegistrySetDWORD(HKEY_LOCAL_MACHINE, L"System\\State\\Phone", L"Status", 0x10000);
             };
         },
         false},
        {"no memory for the engine", [](GalleryTest&, fake_engine::Picture&) { SetRecognitionAlloc(&FailingAlloc); },
         true},
    };
    for (const Case& c : cases) {
        Pictures({"D000000001.jpg", "D000000002.jpg"});
        Open();
        MarkAll();
        fake_engine::Picture first = Page("one", {20, 40, 60, 100});
        c.arrange(*this, first);
        Run({first, Page("two")});
        EXPECT_TRUE(NothingLeft()) << c.what;
        EXPECT_EQ(pictureCount, 0) << c.what;
        EXPECT_EQ(running, 0) << c.what;
        EXPECT_EQ(Recognizing(), 0u) << c.what;
        EXPECT_EQ(view->NoticeKind(), c.notice3 ? NOTICE_RECOGNITION_FAILED : -1) << c.what;
        EXPECT_EQ(view->EndResult(), -1) << c.what;
        EXPECT_FALSE(CLayoutManager::GetInstance()->IsBusy() && !c.notice3) << c.what;
        int initialised = 0, finalised = 0, recognised = 0;
        for (const std::string& call : fake_engine::CallNames()) {
            initialised += call == "Initialize";
            finalised += call == "Finalize";
            recognised += call == "RecognizeDocument";
        }
        EXPECT_EQ(initialised, finalised) << c.what;
        EXPECT_LE(recognised, 1) << c.what << ": nothing after the first picture";
        view.reset();
        SetRecognitionAlloc(nullptr);
        RegistrySetDWORD(HKEY_LOCAL_MACHINE, L"System\\State\\Phone", L"Status", 0);
        CLayoutManager::GetInstance()->SetBusy(FALSE);
    }
}

TEST_F(GalleryTest, ClosingDuringARunStopsAndJoinsTheWorker)
{
    Pictures({"D000000001.jpg", "D000000002.jpg"});
    Open();
    MarkAll();
    HANDLE inEngine = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    fake_engine::Picture first = Page("one", {20, 40, 60, 100});
    first.afterProgress = [inEngine](std::int32_t percent) {
        if (percent == 20)
            SetEvent(inEngine);
    };
    fake_engine::Install({first, Page("two")});
    Command(CMD_GALLERY_RECOGNIZE_MENU);
    ASSERT_TRUE(view->Running());
    // The worker sends its progress meanwhile: let it run until it is inside the engine.
    while (MsgWaitForMultipleObjectsEx(1, &inEngine, INFINITE, QS_SENDMESSAGE, 0) == WAIT_OBJECT_0 + 1) {
        MSG msg;
        PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);
    }
    view.reset();
    CloseHandle(inEngine);
    EXPECT_TRUE(NothingLeft());
    EXPECT_EQ(pictureCount, 0);
    EXPECT_EQ(Recognizing(), 0u);
    int initialised = 0, finalised = 0;
    for (const std::string& call : fake_engine::CallNames()) {
        initialised += call == "Initialize";
        finalised += call == "Finalize";
    }
    EXPECT_EQ(initialised, 1);
    EXPECT_EQ(finalised, 1) << "the engine is let go once";
}

TEST_F(GalleryTest, ProgressGoesOutInStepsOfMoreThanTenAndAtTheEnd)
{
    Pictures({"D000000001.jpg"});
    Open();
    MarkAll();
    std::vector<int> seen;
    fake_engine::Picture p = Page("one", {5, 12, 15, 30, 100, 100});
    p.afterProgress = [&seen](std::int32_t) { seen.push_back(g_RecognitionProgress.lastPercent.load()); };
    Run({p});
    EXPECT_EQ(seen, (std::vector<int>{0, 12, 12, 30, 100, 100}));
    ASSERT_FALSE(fake_engine::Calls().empty());
    for (const fake_engine::Call& call : fake_engine::Calls()) {
        if (call.name == "RecognizeDocument") {
            EXPECT_EQ(call.answers, (std::vector<std::int32_t>{1, 1, 1, 1, 1, 1}));
        }
    }
}

TEST_F(GalleryTest, ResultAndExpandOnlyWithResultsAndTheEndKeyAlways)
{
    Pictures({"D000000001.jpg"});
    Open();
    Command(CMD_GALLERY_RESULT);
    Command(CMD_GALLERY_EXPAND);
    EXPECT_EQ(view->EndResult(), -1);
    SendMessageW(*view, WM_KEYDOWN, VK_F4, 0);
    EXPECT_EQ(view->EndResult(), GALLERY_EXIT);
    view.reset();

    struct Case {
        WORD command;
        INT_PTR end;
    } cases[] = {{CMD_GALLERY_RESULT, GALLERY_SHOW_RESULTS}, {CMD_GALLERY_EXPAND, GALLERY_DONE}};
    for (const Case& c : cases) {
        Open();
        view.reset();
        view = std::make_unique<CGalleryDialog>();
        view->SetOpeningState(GALLERY_RESULTS);
        view->SetInput(ThumbNailInput{});
        ASSERT_TRUE(view->Create(nullptr));
        EXPECT_EQ(view->MenuBarId(), IDM_GALLERY_RESULTS);
        MarkAll();
        Command(CMD_GALLERY_DELETE_ALL);
        Command(CMD_GALLERY_RECOGNIZE_MENU);
        EXPECT_FALSE(view->YesNoShown()) << "nothing is deleted with results present";
        EXPECT_FALSE(view->Running()) << "nothing is run with results present";
        Command(c.command);
        EXPECT_EQ(view->EndResult(), c.end);
        view.reset();
    }
}

TEST_F(GalleryTest, AllPicturesGreysRecognize)
{
    Pictures({"D000000001.jpg"});
    Open(LumImageItemList::FILTER_ALL);
    HMENU menu = reinterpret_cast<HMENU>(SendMessageW(view->MenuBar(), SHCMBM_GETMENU, 0, 0));
    ASSERT_TRUE(menu);
    EXPECT_EQ(EnableMenuItem(menu, CMD_GALLERY_RECOGNIZE_MENU, MF_ENABLED), MF_GRAYED);
}

TEST_F(GalleryTest, DeleteAllAsksWithTheNumberAndDeletesEveryPictureShown)
{
    Pictures({"D000000001.jpg", "D000000002.jpg", "B000000003.jpg"});
    Open();
    LumImageItemList::GetInstance()->GetItemAt(1).SetMarked(TRUE);
    Command(CMD_GALLERY_DELETE_MODE);
    EXPECT_EQ(view->State(), GALLERY_DELETE);
    Command(CMD_GALLERY_DELETE_ALL);
    ASSERT_TRUE(view->YesNoShown());
    EXPECT_EQ(view->Question(), L"Delete all 2 pictures shown?");
    Command(CMD_YESNO_DONE, 0);  // No
    EXPECT_TRUE(fs::exists(root.path() / "Pics" / "D000000002.jpg"));
    Command(CMD_GALLERY_DELETE_ALL);
    SendMessageW(view->YesNo(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(50, 100));
    SendMessageW(view->YesNo(), WM_LBUTTONUP, 0, MAKELPARAM(50, 100));
    Pump();
    EXPECT_FALSE(fs::exists(root.path() / "Pics" / "D000000001.jpg"));
    EXPECT_FALSE(fs::exists(root.path() / "Pics" / "D000000002.jpg"));
    EXPECT_TRUE(fs::exists(root.path() / "Pics" / "B000000003.jpg")) << "not shown under the filter";
    EXPECT_EQ(view->State(), GALLERY_BROWSE);
    EXPECT_EQ(view->Grid().Paging().itemCount, 1);
}

}  // namespace
namespace {

// The gallery as the program shows it, in both turns: nothing of the key
// colour shows and the popups lie on the screen; NAME-CODE.png into
// LUMOCR_LOOK_DIR when set.
class GalleryDialogLook : public GalleryTest {
protected:
    void Shoot(const std::string& name, DWORD code)
    {
        dlgtest::CheckLook(*view, {IDC_GALLERY_INDICATOR, IDC_GALLERY_NOTICE, IDC_GALLERY_YESNO}, name, code);
    }
};

TEST_F(GalleryDialogLook, BrowsingListsDeleteModeRunAndNotice7InBothTurns)
{
    Pictures({"D000000001.jpg", "D000000002.jpg", "!D000000003.jpg"});
    for (DWORD code : {DWORD{4}, DWORD{0}}) {
        Turn(code);
        Open();
        LumImageItemList::GetInstance()->GetItemAt(1).SetMarked(TRUE);
        Shoot("gallery", code);
        SendMessageW(view->Kinds(), WM_LBUTTONDOWN, MK_LBUTTON, 0);
        SendMessageW(view->Kinds(), WM_LBUTTONUP, 0, 0);
        Shoot("dropdown-open", code);
        view.reset();

        Open();
        Command(CMD_GALLERY_DELETE_MODE);
        Shoot("gallery-delete", code);
        view.reset();

        // A run held inside the engine.
        Open();
        MarkAll();
        HANDLE inEngine = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        HANDLE release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        fake_engine::Picture held = Page("one", {40, 100});
        held.afterProgress = [inEngine, release](std::int32_t percent) {
            if (percent == 40) {
                SetEvent(inEngine);
                WaitForSingleObject(release, INFINITE);
            }
        };
        fake_engine::Install({held, Page("two"), Page("")});
        Command(CMD_GALLERY_RECOGNIZE_MENU);
        while (MsgWaitForMultipleObjectsEx(1, &inEngine, INFINITE, QS_SENDMESSAGE, 0) == WAIT_OBJECT_0 + 1) {
            MSG msg;
            PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);
        }
        Shoot("gallery-progress", code);
        SetEvent(release);
        view->JoinWorker();
        Pump();
        CloseHandle(inEngine);
        CloseHandle(release);
        ASSERT_EQ(view->NoticeKind(), NOTICE_SOME_FAILED);
        Shoot("gallery-notice7", code);
        view.reset();
        for (WCHAR*& text : texts) {
            std::free(text);
            text = nullptr;
        }
        for (WCHAR*& name : names) {
            std::free(name);
            name = nullptr;
        }
        CLayoutManager::GetInstance()->SetBusy(FALSE);
    }
}

}  // namespace
