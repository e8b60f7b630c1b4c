#include <gtest/gtest.h>

#include <cstdlib>
#include <thread>

#include "app_messages.h"
#include "draw_event.h"
#include "neighbour_doubles.h"
#include "plat/debug.h"
#include "recognition_fixture.h"
#include "result_records.h"

namespace {

using fake_engine::Picture;

class RecognitionRun : public RecognitionFixture {};

std::wstring ItemText(const ResultItem* items, int category)
{
    if (!items)
        return L"<none>";
    return std::wstring(items[category].text, ResultTextLength(items[category].text));
}

DWORD RecognizingValue()
{
    DWORD value = 99;
    RegistryGetDWORD(HKEY_LOCAL_MACHINE, L"System\\State\\Velmora\\Keypad", L"LumOCRRecognizing", &value);
    return value;
}

int CountCalls(const std::string& name)
{
    int n = 0;
    for (const std::string& call : fake_engine::CallNames())
        n += call == name;
    return n;
}

std::size_t g_failBytes = 0;
void* FailingAlloc(std::size_t count, std::size_t size)
{
    return count * size == g_failBytes ? nullptr : std::calloc(count, size);
}

TEST_F(RecognitionRun, OneCardOfTwoCategoriesShowsPopup7AndLeavesNoPicture)
{
    Name(0, WriteBmp(L"B1.jpg", 64, 48));
    RunAndPump({Card(2)});

    EXPECT_EQ(finalCommands, std::vector<DWORD>{CMD_STILL_CLEANUP});
    EXPECT_TRUE(Called("CMainFrame::ShowPopup(7)"));
    EXPECT_FALSE(Exists(L"B1.jpg"));
    EXPECT_EQ(frame->m_slots[0].pictureName, nullptr);
    EXPECT_EQ(frame->m_slots[0].items, nullptr);
    EXPECT_EQ(resultMessages, 0);
    EXPECT_EQ(frame->m_bRecognitionRunning.load(), 0);
    EXPECT_EQ(RecognizingValue(), 0u);
}

TEST_F(RecognitionRun, OneCardOfThreeCategoriesGoesToTheResultWithItsRecords)
{
    Name(0, WriteBmp(L"B1.jpg", 64, 48));
    Picture card = Card(3);
    card.direction = 0;  // the card lay turned: its boxes move by (140, 40)
    RunAndPump({card});

    EXPECT_EQ(finalCommands, std::vector<DWORD>{CMD_STILL_GO_RESULT});
    EXPECT_EQ(resultMessages, 1);
    EXPECT_TRUE(Called("CMainFrame::SetSurfaceDrawBlocked(1)"));
    EXPECT_FALSE(Called("CMainFrame::ShowPopup(7)"));
    EXPECT_TRUE(Exists(L"B1.jpg"));
    const ResultSlot& slot = frame->m_slots[0];
    EXPECT_EQ(ItemText(slot.items, RESULT_NAME), L"Anna Lind");
    ASSERT_NE(slot.items, nullptr);
    EXPECT_EQ(slot.items[RESULT_NAME].box.left, 150);
    EXPECT_EQ(slot.items[RESULT_NAME].box.top, 60);
    EXPECT_NE(slot.subItems, nullptr);
    EXPECT_EQ(slot.direction, 0);
    EXPECT_EQ(slot.resultState, 1);
    EXPECT_EQ(frame->m_slots[1].resultState, 2);
    EXPECT_EQ(run.goToPreview.load(), 1);
    EXPECT_EQ(RecognizingValue(), 0u);
}

TEST_F(RecognitionRun, ASeriesWithFailuresKeepsItsGoodPicturesInOrder)
{
    frame->m_options.singleMultiMode = 0;
    frame->m_nShotCount = 5;
    std::vector<Picture> script;
    for (int i = 0; i < 5; ++i) {
        Name(i, WriteBmp(L"B" + std::to_wstring(i) + L".jpg", 64, 48));
        script.push_back(Card(i % 2 ? 2 : 3, "card " + std::to_string(i)));
    }
    RunAndPump(script);

    EXPECT_EQ(finalCommands, std::vector<DWORD>{CMD_STILL_GO_RESULT});
    EXPECT_EQ(resultMessages, 0);
    EXPECT_TRUE(Called("CMainFrame::ShowPopup(7)"));
    const int kept[] = {0, 2, 4};
    for (int i = 0; i < 3; ++i) {
        const std::wstring name = L"B" + std::to_wstring(kept[i]) + L".jpg";
        ASSERT_NE(frame->m_slots[i].pictureName, nullptr) << i;
        EXPECT_EQ(std::wstring(frame->m_slots[i].pictureName), name);
        EXPECT_EQ(ItemText(frame->m_slots[i].items, RESULT_NAME), L"card " + std::to_wstring(kept[i]));
        EXPECT_EQ(frame->m_slots[i].success, 1);
        EXPECT_TRUE(Exists(name));
    }
    for (int i = 3; i < 5; ++i) {
        EXPECT_EQ(frame->m_slots[i].pictureName, nullptr) << i;
        EXPECT_EQ(frame->m_slots[i].items, nullptr) << i;
        EXPECT_EQ(frame->m_slots[i].success, 0) << i;
    }
    EXPECT_FALSE(Exists(L"B1.jpg"));
    EXPECT_FALSE(Exists(L"B3.jpg"));
}

TEST_F(RecognitionRun, ProgressDrawsOnlyAfterStepsOfMoreThanTenAndAtTheEnd)
{
    Name(0, WriteBmp(L"B1.jpg", 64, 48));
    Picture card = Card(3);
    card.progress = {5, 12, 20, 35, 100};
    // Each report is seen drawn before the next: the GUI side keeps up.
    card.afterProgress = [](std::int32_t) {
        while (CDrawEvent::PendingCount() != 0)
            std::this_thread::yield();
    };
    RunAndPump({card});

    // The first draw is the picture's start.
    EXPECT_EQ(drawnPercents, (std::vector<int>{0, 12, 35, 100}));
}

TEST_F(RecognitionRun, APhoneCallAnswersStopAtEveryStep)
{
    RegistrySetDWORD(HKEY_LOCAL_MACHINE, L"System\\State\\Phone", L"Status", 0x10000 | 0x4);
    Name(0, WriteBmp(L"B1.jpg", 64, 48));
    Picture card = Card(3);
    card.progress = {20, 40, 60};
    RunAndPump({card});

    const auto calls = fake_engine::Calls();
    auto it = std::find_if(calls.begin(), calls.end(), [](const auto& c) { return c.name == "RecognizeBizCard"; });
    ASSERT_NE(it, calls.end());
    EXPECT_EQ(it->answers, std::vector<std::int32_t>{0});
    EXPECT_EQ(CRecognitionRun::ProgressCallback(80), 0);
    EXPECT_EQ(run.continueFlag.load(), 0);
}

TEST_F(RecognitionRun, TheCardIsRecognisedOnItsMiddle)
{
    // White exactly where the crop must fall, black around it.
    Name(0, WriteBmp(L"B1.jpg", 1280, 960, [](int x, int y) -> BYTE {
        const bool inside = x >= 40 && x < 1240 && y >= 140 && y < 820;
        return inside ? 255 : 0;
    }));
    RunAndPump({Card(3)});

    for (const auto& call : fake_engine::Calls()) {
        if (call.name == "CheckImageDirection") {
            EXPECT_EQ(call.width, 1200);
            EXPECT_EQ(call.height, 680);
            EXPECT_EQ(call.smallWidth, 320);
            EXPECT_EQ(call.smallHeight, 240);
        }
        if (call.name != "RecognizeBizCard")
            continue;
        EXPECT_EQ(call.width, 1200);
        EXPECT_EQ(call.height, 680);
        ASSERT_EQ(call.pixels.size(), 1200u * 680u);
        const BYTE white = call.pixels[340 * 1200 + 600];
        EXPECT_GT(white, 200);
        EXPECT_EQ(std::count(call.pixels.begin(), call.pixels.end(), white), 1200 * 680);
    }
    EXPECT_EQ(CountCalls("RecognizeBizCard"), 1);
}

TEST_F(RecognitionRun, TheEngineStartsWithTheLanguageItsFolderAndFreshMemory)
{
    frame->m_options.selectedLanguage = 6;
    Name(0, WriteBmp(L"B1.jpg", 64, 48));
    RunAndPump({Card(3)});

    EXPECT_EQ(fake_engine::CallNames(),
              (std::vector<std::string>{"Initialize", "CheckImageDirection", "RecognizeBizCard", "Finalize"}));
    const fake_engine::Call init = fake_engine::Calls().front();
    EXPECT_EQ(init.languages, (std::vector<OcrLanguageCode>{7, 12, 0}));
    EXPECT_EQ(init.folder, "\\Windows\\");
    EXPECT_EQ(init.workSize, 0x200000);
    EXPECT_TRUE(init.workZeroed);
    EXPECT_TRUE(init.hasProgress);
}

TEST(RecognitionLanguage, EachIndexGivesItsCodesAndCodePage)
{
    struct Case {
        int index;
        OcrLanguageCode card, document;
        UINT codePage;
    };
    const Case cases[] = {
        {0, 0, 0, CP_ACP},    {1, 9, 25, CP_ACP},  {2, 8, 24, CP_ACP},  {3, 10, 28, CP_ACP},
        {4, 13, 35, CP_ACP},  {5, 11, 32, CP_ACP}, {6, 12, 34, 1251},   {7, 14, 38, 1251},
        {8, 0, 0, CP_ACP},    {-1, 0, 0, CP_ACP},
    };
    for (const Case& c : cases) {
        const RecognitionLanguage card = RecognitionLanguageOf(c.index, true);
        const RecognitionLanguage document = RecognitionLanguageOf(c.index, false);
        EXPECT_EQ(card.codes[0], 7) << c.index;
        EXPECT_EQ(card.codes[1], c.card) << c.index;
        EXPECT_EQ(card.codes[2], 0) << c.index;
        EXPECT_EQ(document.codes[0], 16) << c.index;
        EXPECT_EQ(document.codes[1], c.document) << c.index;
        EXPECT_EQ(card.codePage, c.codePage) << c.index;
    }
}

TEST_F(RecognitionRun, AFailedAllocationEndsTheRunAndCleansUp)
{
    struct Case {
        const char* what;
        int cardMode;
        std::size_t bytes;
    };
    const Case cases[] = {
        {"work memory", 1, 0x200000},
        {"card crop", 1, 1200 * 680},
        {"card records", 1, 100 * sizeof(OcrCardField)},
        {"document result", 0, 5620},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        doubles::Clear();
        run.Reset();
        frame->m_options.bcrOcrMode = c.cardMode;
        Name(0, WriteBmp(L"B1.jpg", 64, 48));
        g_failBytes = c.bytes;
        SetRecognitionAlloc(&FailingAlloc);
        RunAndPump({Card(3)});
        SetRecognitionAlloc(nullptr);

        EXPECT_EQ(finalCommands, std::vector<DWORD>{CMD_STILL_CLEANUP});
        EXPECT_EQ(CountCalls("RecognizeBizCard") + CountCalls("RecognizeDocument"), 0);
        EXPECT_EQ(CountCalls("Initialize"), CountCalls("Finalize"));
        EXPECT_EQ(run.goToPreview.load(), 1);
        EXPECT_FALSE(Exists(L"B1.jpg"));
        EXPECT_FALSE(Called("CMainFrame::ShowPopup(7)"));
        EXPECT_EQ(frame->m_bRecognitionRunning.load(), 0);
    }
}

TEST_F(RecognitionRun, AMissingPictureEndsTheRunBeforeTheEngine)
{
    Name(0, L"gone.jpg");
    RunAndPump({Card(3)});

    EXPECT_EQ(finalCommands, std::vector<DWORD>{CMD_STILL_CLEANUP});
    EXPECT_TRUE(fake_engine::CallNames().empty());
    EXPECT_EQ(run.goToPreview.load(), 1);
    EXPECT_EQ(frame->m_slots[0].pictureName, nullptr);
}

TEST_F(RecognitionRun, AnUndecodablePictureIsAFailedPictureNamedInTheLog)
{
    plat::DebugCapture log;
    Name(0, WriteBytes(L"B7.jpg", "this is no picture"));
    RunAndPump({Card(3)});

    EXPECT_EQ(finalCommands, std::vector<DWORD>{CMD_STILL_CLEANUP});
    EXPECT_TRUE(Called("CMainFrame::ShowPopup(7)"));
    EXPECT_TRUE(fake_engine::CallNames().empty());
    EXPECT_FALSE(Exists(L"B7.jpg"));
    EXPECT_TRUE(log.Contains(L"FAIL TO DECODE JPEG"));
    EXPECT_TRUE(log.Contains(L"B7.jpg"));
}

TEST_F(RecognitionRun, ACancelBetweenPicturesRecognisesNoFurther)
{
    frame->m_options.singleMultiMode = 0;
    frame->m_nShotCount = 3;
    for (int i = 0; i < 3; ++i)
        Name(i, WriteBmp(L"B" + std::to_wstring(i) + L".jpg", 64, 48));
    Picture first = Card(3);
    first.afterProgress = [this](std::int32_t percent) {
        if (percent == 100)
            run.Cancel();
    };
    RunAndPump({first, Card(3), Card(3)});

    EXPECT_EQ(CountCalls("RecognizeBizCard"), 1);
    EXPECT_EQ(finalCommands, std::vector<DWORD>{CMD_STILL_CLEANUP});
    EXPECT_EQ(resultMessages, 0);
    EXPECT_FALSE(Called("CMainFrame::ShowPopup(7)"));
    for (int i = 0; i < 3; ++i) {
        EXPECT_FALSE(Exists(L"B" + std::to_wstring(i) + L".jpg")) << i;
        EXPECT_EQ(frame->m_slots[i].items, nullptr) << i;
    }
}

TEST_F(RecognitionRun, ClosingDuringARunPostsNothingAndClearsTheFlagsLast)
{
    Name(0, WriteBmp(L"B1.jpg", 64, 48));
    Picture card = Card(3);
    card.afterProgress = [this](std::int32_t) {
        frame->m_bClosing = 1;
        run.Cancel();
    };
    RunAndPump({card});

    EXPECT_TRUE(finalCommands.empty());
    EXPECT_EQ(frame->m_bRecognitionRunning.load(), 0);
    EXPECT_EQ(RecognizingValue(), 0u);
    EXPECT_EQ(CountCalls("Initialize"), CountCalls("Finalize"));
}

TEST_F(RecognitionRun, DocumentTextsAreConvertedAndTheirLengthIsNotTrusted)
{
    struct Case {
        const char* what;
        int language;
        std::string text;
        std::int32_t length;
        std::wstring expected;  // empty: a failed picture
    };
    const Case cases[] = {
        {"Cyrillic in 1251", 6, "\xCF\xF0\xE8\xE2\xE5\xF2", INT_MIN, L"\x041F\x0440\x0438\x0432\x0435\x0442"},
        {"length past the buffer", 0, std::string(5120, 'a'), 9000, std::wstring(5120, L'a')},
        {"length shorter than the text", 0, "abcdef", 3, L"abc"},
        {"length 0", 0, "abc", 0, L""},
        {"negative length", 0, "abc", -7, L""},
    };
    frame->m_options.bcrOcrMode = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        doubles::Clear();
        run.Reset();
        resultMessages = 0;
        frame->m_options.selectedLanguage = static_cast<DWORD>(c.language);
        Name(0, WriteBmp(L"D1.jpg", 64, 48));
        Picture page;
        page.text = c.text;
        page.length = c.length;
        RunAndPump({page});
        if (c.expected.empty()) {
            EXPECT_EQ(finalCommands, std::vector<DWORD>{CMD_STILL_CLEANUP});
            EXPECT_TRUE(Called("CMainFrame::ShowPopup(7)"));
            continue;
        }
        EXPECT_EQ(finalCommands, std::vector<DWORD>{CMD_STILL_GO_RESULT});
        EXPECT_EQ(resultMessages, 1);
        ASSERT_NE(frame->m_slots[0].text, nullptr);
        EXPECT_EQ(std::wstring(frame->m_slots[0].text), c.expected);
        frame->FreeSlot(0);
    }
}

TEST_F(RecognitionRun, AStopAskedBeforeTheStartRecognisesNothing)
{
    Name(0, WriteBmp(L"B1.jpg", 64, 48));
    run.stop = 1;
    RunAndPump({Card(3)});

    EXPECT_EQ(finalCommands, std::vector<DWORD>{CMD_STILL_CLEANUP});
    EXPECT_TRUE(fake_engine::CallNames().empty());
    EXPECT_EQ(run.stop.load(), 0);
    EXPECT_FALSE(Exists(L"B1.jpg"));
}

}  // namespace
