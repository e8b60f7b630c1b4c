#include <cstdlib>
#include <cwchar>
#include <map>
#include <thread>
#include <utility>

#include "dialog_doubles.h"
#include "gui_screens.h"
#include "lum_image_item_list.h"
#include "main_frame_fixture.h"
#include "registry_key.h"
#include "result_records.h"

namespace {

class ResultStore : public MainFrameFixture {
protected:
    void SetUp() override
    {
        MainFrameFixture::SetUp();
        doubles::ResetDialogs();
        std::wcscpy(frame->m_szPictureFolder, L"\\My Documents\\KVIM\\");
    }
    void TearDown() override
    {
        if (frame)
            for (int i = 0; i < kResultSlots; ++i)
                frame->FreeSlot(i);
        doubles::ResetDialogs();
        LumImageItemList::DestroyInstance();
        MainFrameFixture::TearDown();
    }

    static WCHAR* Copy(const std::wstring& text)
    {
        auto* copy = static_cast<WCHAR*>(std::malloc((text.size() + 1) * sizeof(WCHAR)));
        std::wcscpy(copy, text.c_str());
        return copy;
    }

    // A recognised picture in a slot, its file in the picture folder.
    void Fill(int slot, const std::wstring& name)
    {
        Touch(std::wstring(frame->m_szPictureFolder) + name);
        ResultSlot& s = frame->m_slots[slot];
        s.pictureName = Copy(name);
        s.text = Copy(L"text of " + name);
        s.items = static_cast<ResultItem*>(std::calloc(7, sizeof(ResultItem)));
        s.subItems = static_cast<ResultSubItem*>(std::calloc(7, sizeof(ResultSubItem)));
    }

    bool Exists(const std::wstring& name) const
    {
        return std::filesystem::exists(Host(std::wstring(frame->m_szPictureFolder) + name));
    }

    bool StoreEmpty() const
    {
        for (const ResultSlot& s : frame->m_slots)
            if (s.pictureName || s.text || s.items || s.subItems)
                return false;
        return true;
    }

    bool Ended() const
    {
        for (const auto& call : app.calls)
            if (call == "FillBlackClose" || call == "FillBlackClose2")
                return true;
        return false;
    }
};

TEST_F(ResultStore, ResultViewEndsAndPicturesFollowAutoSave)
{
    for (int card : {1, 0}) {
        for (INT_PTR result : {RESULT_VIEW_SENT, RESULT_VIEW_BACK, RESULT_VIEW_EXIT, INT_PTR{7}}) {
            for (DWORD autoSave : {0u, 1u}) {
                for (int keep : {0, 1}) {
                    SCOPED_TRACE(testing::Message() << "card " << card << " result " << result << " autosave "
                                                    << autoSave << " keep " << keep);
                    doubles::ResetDialogs();
                    doubles::Clear();
                    app.calls.clear();
                    CSettings::GetInstance()->ChangeGUIStatus(GUI_STATUS_REVIEW_SINGLE, GUI_STATUS_CAMERA);
                    frame->m_options.bcrOcrMode = static_cast<DWORD>(card);
                    frame->m_options.enableAutoSave = autoSave;
                    frame->m_options.singleMultiMode = 0;
                    frame->m_nSavedShotMode = 1;
                    frame->m_bKeepPictures = keep;
                    Fill(0, L"B081020001.jpg");
                    Fill(3, L"B081020004.jpg");  // a gap before it
                    EXPECT_EQ(frame->GetPictureCount(), 2);
                    doubles::DialogRun& run = card ? doubles::BcrViewRun() : doubles::OcrViewRun();
                    run.modal = [result](HWND) { return result; };

                    SendMessageW(hwnd, WM_RECOGNITION_RESULT, 0, 0);

                    doubles::ResultViewData& data = card ? doubles::BcrViewData() : doubles::OcrViewData();
                    EXPECT_EQ(run.runs, 1);
                    EXPECT_EQ(run.destroyed, 1);
                    EXPECT_EQ(data.count, 2);
                    EXPECT_EQ(data.names, (std::vector<std::wstring>{L"B081020001.jpg", L"B081020004.jpg"}));
                    EXPECT_EQ(data.folder, L"\\My Documents\\KVIM\\");
                    EXPECT_EQ(frame->m_nView.load(), card ? VIEW_CARD_RESULT : VIEW_DOCUMENT_RESULT);
                    const bool kept = keep == 1 || autoSave == 1;
                    EXPECT_EQ(Exists(L"B081020001.jpg"), kept);
                    EXPECT_EQ(Exists(L"B081020004.jpg"), kept);
                    EXPECT_TRUE(StoreEmpty());
                    EXPECT_EQ(frame->GetPictureCount(), 0);
                    EXPECT_EQ(frame->m_options.singleMultiMode, 1u);

                    const bool back = result == RESULT_VIEW_BACK;
                    EXPECT_EQ(Called("CCameraControl::ResetPreview(1)"), back);
                    EXPECT_EQ(Called("CDisplay::Init()"), back);
                    EXPECT_EQ(CSettings::GetInstance()->IsGUIStatus(GUI_STATUS_CAMERA) != 0, back);
                    EXPECT_EQ(frame->m_bInputEnabled.load(), back ? 1 : 0);
                    if (back) {
                        EXPECT_EQ(frame->m_bKeepPictures, 0);
                    }
                    EXPECT_EQ(Ended(), result == RESULT_VIEW_SENT || result == RESULT_VIEW_EXIT);
                    Pump();
                }
            }
        }
    }
}

// After the camera comes back, the mode notice shows for 3000 ms.
TEST_F(ResultStore, BackToTheCameraShowsTheModeNotice)
{
    Fill(0, L"D081020001.jpg");
    frame->m_options.bcrOcrMode = 0;
    SendMessageW(hwnd, WM_RECOGNITION_RESULT, 0, 0);
    EXPECT_TRUE(Called("Preview::SetModeNotice(1)"));
    CPreviewCameraGUI* preview = CPreviewCameraGUI::GetInstance();
    preview->m_bModeNotice = 1;
    Advance(2900);
    EXPECT_EQ(preview->m_bModeNotice, 1);
    Advance(200);
    EXPECT_EQ(preview->m_bModeNotice, 0);
}

TEST_F(ResultStore, CloseDuringTheViewFreesNothing)
{
    Fill(0, L"B081020001.jpg");
    frame->m_options.bcrOcrMode = 1;
    frame->m_options.enableAutoSave = 0;
    doubles::BcrViewRun().modal = [this](HWND) {
        frame->m_bClosing = 1;
        return RESULT_VIEW_BACK;
    };
    SendMessageW(hwnd, WM_RECOGNITION_RESULT, 0, 0);
    EXPECT_EQ(frame->GetPictureCount(), 1);
    EXPECT_TRUE(Exists(L"B081020001.jpg"));
    EXPECT_FALSE(Called("CCameraControl::ResetPreview(1)"));
    frame->m_bClosing = 0;
}

// The recognition thread fills slots under the lock while the GUI thread counts.
TEST_F(ResultStore, CountWhileTheRecognitionWrites)
{
    std::thread writer([this] {
        for (int i = kResultSlots - 1; i >= 0; --i) {
            EnterCriticalSection(&frame->m_cs);
            frame->m_slots[i].pictureName = Copy(L"B.jpg");
            LeaveCriticalSection(&frame->m_cs);
        }
    });
    int last = 0;
    while (last < kResultSlots) {
        int count = frame->GetPictureCount();
        ASSERT_GE(count, last);
        last = count;
    }
    writer.join();
    EXPECT_EQ(frame->GetPictureCount(), kResultSlots);
}

TEST_F(ResultStore, RecognitionStartKeepsTheThread)
{
    frame->m_options.singleMultiMode = 0;
    CSinglePicBaseGUI::GetInstance()->m_bCancel = 1;
    CSinglePicBaseGUI::GetInstance()->m_nResult = 5;
    frame->m_nResultCount = 4;  // left by an earlier series
    SendMessageW(hwnd, WM_START_RECOGNITION, 0, 0);
    EXPECT_EQ(frame->m_nSavedShotMode, 0u);
    EXPECT_EQ(CSinglePicBaseGUI::GetInstance()->m_bCancel.load(), 0);
    EXPECT_EQ(CSinglePicBaseGUI::GetInstance()->m_nResult, 0);
    EXPECT_EQ(frame->m_nResultCount, 0);
    EXPECT_TRUE(Called("CShotControl::ReleaseShotsEx()"));
    EXPECT_TRUE(Called("CCommonControl::FreePreviewBuffers()"));
    ASSERT_NE(frame->m_hRecognitionThread, nullptr);
    EXPECT_EQ(WaitForSingleObject(frame->m_hRecognitionThread, INFINITE), WAIT_OBJECT_0);
    CloseHandle(frame->m_hRecognitionThread);
    frame->m_hRecognitionThread = nullptr;
}

TEST_F(ResultStore, SettingsDialogResults)
{
    struct Case {
        INT_PTR result;
        bool back, ended;
    } cases[] = {{SETTING_DIALOG_BACK, true, false}, {SETTING_DIALOG_END, false, true},
                 {SETTING_DIALOG_EXIT, false, true}, {9, false, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.result);
        doubles::ResetDialogs();
        doubles::Clear();
        app.calls.clear();
        frame->m_options = {};
        CPreviewCameraGUI::GetInstance()->m_bSettingMenu = 1;
        doubles::SettingRun().modal = [&c](HWND) {
            // The dialog writes the options itself.
            CRegistryKey key;
            key.Create(HKEY_CURRENT_USER, kOcrOptionsKey);
            key.SetDWORD(L"EnableAutoFocus", 0);
            key.SetDWORD(L"SelectedLanguage", 5);
            key.SetDWORD(L"EnableAutoSave", 1);
            return c.result;
        };
        SendMessageW(hwnd, WM_SHOW_SETTING_VIEW, 0, 0);
        EXPECT_EQ(doubles::SettingRun().destroyed, 1);
        EXPECT_EQ(Called("CCameraControl::ResetPreview(1)"), c.back);
        EXPECT_EQ(Ended(), c.ended);
        if (c.back) {
            EXPECT_EQ(frame->m_options.selectedLanguage, 5u);
            EXPECT_EQ(frame->m_options.enableAutoSave, 1u);
            EXPECT_EQ(CPreviewCameraGUI::GetInstance()->m_bSettingMenu, 0);
        } else {
            EXPECT_EQ(frame->m_options.selectedLanguage, 0u);
        }
        Pump();
    }
}

class Gallery : public ResultStore {};

TEST_F(Gallery, EndCodeAndNextAction)
{
    struct Case {
        INT_PTR result;
        int next;
        const char* outcome;  // "end", "preview", "cards", "documents", "nothing"
    } cases[] = {
        {GALLERY_SHOW_RESULTS, 0, "end"},     {GALLERY_SHOW_RESULTS, 1, "cards"},
        {GALLERY_SHOW_RESULTS, 2, "documents"}, {GALLERY_DONE, 0, "preview"},
        {GALLERY_DONE, 1, "cards"},           {GALLERY_DONE, 2, "documents"},
        {GALLERY_DONE, 5, "nothing"},         {GALLERY_EXIT, 0, "end"},
        {GALLERY_EXIT, 1, "end"},             {8, 1, "nothing"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.result << "/" << c.next);
        doubles::ResetDialogs();
        doubles::Clear();
        app.calls.clear();
        frame->m_bFromResults = 0;
        frame->m_bKeepPictures = 0;
        frame->m_options.enableAutoSave = 0;
        frame->m_options.bcrOcrMode = 1;
        doubles::GalleryRun().modal = [this, &c](HWND) {
            EXPECT_EQ(g_pThumbNailDialog.load() != nullptr, true);
            *doubles::GalleryInput().resultKind = c.next;
            // The run recognised a stored picture into slot 0 of the lists it
            // was handed; the frame takes them back into its store after.
            Fill(0, L"B081020009.jpg");
            ResultSlot& slot = frame->m_slots[0];
            ThumbNailInput& input = doubles::GalleryInput();
            input.names[0] = std::exchange(slot.pictureName, nullptr);
            input.texts[0] = std::exchange(slot.text, nullptr);
            input.items[0] = std::exchange(slot.items, nullptr);
            input.subItems[0] = std::exchange(slot.subItems, nullptr);
            return c.result;
        };
        SendMessageW(hwnd, WM_SHOW_THUMBNAIL_VIEW, 0, 0);
        EXPECT_EQ(g_pThumbNailDialog.load(), nullptr);
        EXPECT_EQ(doubles::GalleryRun().destroyed, 1);
        const std::string outcome = c.outcome;
        EXPECT_EQ(Ended(), outcome == "end");
        EXPECT_EQ(doubles::BcrViewRun().runs, outcome == "cards" ? 1 : 0);
        EXPECT_EQ(doubles::OcrViewRun().runs, outcome == "documents" ? 1 : 0);
        EXPECT_EQ(Called("CCameraControl::ResetPreview(1)"),
                  outcome == "preview" || outcome == "cards" || outcome == "documents");
        if (outcome == "cards" || outcome == "documents") {
            EXPECT_EQ(doubles::BcrViewData().count + doubles::OcrViewData().count + 1, 1);
            // Pictures recognised from the gallery are never deleted here.
            EXPECT_TRUE(Exists(L"B081020009.jpg"));
            EXPECT_EQ(frame->m_options.bcrOcrMode, outcome == "cards" ? 1u : 0u);
            EXPECT_EQ(frame->m_bFromResults, 1);
        }
        for (int i = 0; i < kResultSlots; ++i)
            frame->FreeSlot(i);
        Pump();
    }
}

TEST_F(Gallery, CloseDuringTheRunDoesNothingAfter)
{
    doubles::GalleryRun().modal = [this](HWND) {
        *doubles::GalleryInput().resultKind = 1;
        frame->m_bClosing = 1;
        return GALLERY_DONE;
    };
    SendMessageW(hwnd, WM_SHOW_THUMBNAIL_VIEW, 0, 0);
    EXPECT_EQ(doubles::BcrViewRun().runs, 0);
    EXPECT_FALSE(Ended());
    EXPECT_FALSE(Called("CCameraControl::ResetPreview(1)"));
    frame->m_bClosing = 0;
}

TEST_F(Gallery, FreshEntryFiltersByMode)
{
    for (DWORD mode : {1u, 0u}) {
        frame->m_options.bcrOcrMode = mode;
        frame->m_bFromResults = 0;
        int filter = -1;
        doubles::GalleryRun().modal = [&filter](HWND) {
            filter = LumImageItemList::GetInstance()->GetFilterMode();
            return GALLERY_EXIT;
        };
        SendMessageW(hwnd, WM_SHOW_THUMBNAIL_VIEW, 0, 0);
        EXPECT_EQ(filter, mode == 1 ? LumImageItemList::FILTER_CARDS : LumImageItemList::FILTER_DOCUMENTS);
        EXPECT_STREQ(g_szGalleryPath, CFileControl::GetInstance()->GetStoragePath());
        Pump();
    }
}

TEST_F(Gallery, MarksCarryOverToFilesThatStillExist)
{
    const std::wstring folder = L"\\My Documents\\KVIM";
    for (const wchar_t* name : {L"B081020001.jpg", L"B081020002.jpg", L"B081020003.jpg", L"B081020004.jpg"})
        Touch(folder + L"\\" + name);
    LumImageItemList* shared = LumImageItemList::GetInstance();
    shared->Rescan(folder.c_str());
    auto find = [](LumImageItemList* list, const std::wstring& name) -> ImageFileItem* {
        for (int i = 0; i < list->GetVisibleCount(); ++i)
            if (list->GetItemAt(i).GetName() == name)
                return &list->GetItemAt(i);
        return nullptr;
    };
    for (const wchar_t* name : {L"B081020001.jpg", L"B081020002.jpg", L"B081020003.jpg", L"B081020004.jpg"})
        ASSERT_NE(find(shared, name), nullptr);
    find(shared, L"B081020001.jpg")->SetMarked(TRUE);
    find(shared, L"B081020002.jpg")->SetMarked(TRUE);
    shared->SetCurrent(-1);
    find(shared, L"B081020003.jpg")->SetCurrent(TRUE);
    // Meanwhile a marked picture was deleted.
    std::filesystem::remove(Host(folder + L"\\B081020002.jpg"));

    frame->m_bFromResults = 1;
    std::map<std::wstring, std::pair<bool, bool>> seen;  // marked, current
    doubles::GalleryRun().modal = [&](HWND) {
        LumImageItemList* list = LumImageItemList::GetInstance();
        for (int i = 0; i < list->GetVisibleCount(); ++i) {
            ImageFileItem& item = list->GetItemAt(i);
            if (item.GetType() == ImageFileItem::TYPE_CARD)
                seen[item.GetName()] = {item.IsMarked() != 0, item.IsCurrent() != 0};
        }
        return GALLERY_EXIT;
    };
    SendMessageW(hwnd, WM_SHOW_THUMBNAIL_VIEW, 0, 0);
    using State = std::pair<bool, bool>;
    EXPECT_EQ(seen, (std::map<std::wstring, State>{{L"B081020001.jpg", {true, false}},
                                                   {L"B081020003.jpg", {false, true}},
                                                   {L"B081020004.jpg", {false, false}}}));
}

TEST_F(Gallery, TurnsOnlyWhenNotUpright)
{
    TurnDisplay(DMDO_270);
    plat::DebugCapture capture;
    doubles::GalleryRun().modal = [](HWND) { return GALLERY_EXIT; };
    SendMessageW(hwnd, WM_SHOW_THUMBNAIL_VIEW, 0, 0);
    EXPECT_FALSE(capture.Contains(L"Waiting Mutex handle close"));
    Pump();
    TurnDisplay(DMDO_0);
    capture.Clear();
    SendMessageW(hwnd, WM_SHOW_THUMBNAIL_VIEW, 0, 0);
    EXPECT_TRUE(capture.Contains(L"Waiting Mutex handle close"));
    DEVMODEW mode{};
    EXPECT_EQ(CSystem::GetInstance()->GetDisplayOrientation(mode), static_cast<DWORD>(DMDO_270));
}

}  // namespace
