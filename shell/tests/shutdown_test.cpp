// The main frame's shutdown: its phases in order, the bounded waits on the
// virtual clock, the pictures of the result store, a second close.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "blank_dialog.h"
#include "common_control.h"
#include "main_frame_fixture.h"
#include "plat/utf.h"

namespace {

class LifecycleShutdown : public MainFrameFixture {
protected:
    // Moves the virtual clock to each wait's deadline while the GUI thread
    // (this one) closes; `during` runs with the virtual time the clock is
    // about to reach, before it moves, so what it changes is seen by the
    // wait that wakes there.
    std::uint64_t CloseWithClock(const std::function<void(std::uint64_t)>& during = {})
    {
        std::atomic<bool> done{false};
        const std::uint64_t start = plat::NowMs();
        std::thread clock([&] {
            while (!done) {
                if (auto next = plat::NextVirtualDeadline(); next && *next > plat::NowMs()) {
                    if (during)
                        during(*next - start);
                    plat::AdvanceClock(*next - plat::NowMs());
                } else {
                    std::this_thread::yield();
                }
            }
        });
        SendMessageW(hwnd, WM_CLOSE, 0, 0);
        done = true;
        clock.join();
        Pump();
        return plat::NowMs() - start;
    }

    void AddPicture(int slot, const std::wstring& name)
    {
        Touch(L"\\My Documents\\KVIM\\" + name);
        frame->m_nCurrentSlot = slot;
        frame->SetOcrPicture(L"\\My Documents\\KVIM\\", name.c_str());
    }

    bool Exists(const std::wstring& name) const
    {
        return std::filesystem::exists(Host(L"\\My Documents\\KVIM\\" + name));
    }
};

TEST_F(LifecycleShutdown, PhasesRunInOrderAndTheWindowGoes)
{
    frame->m_options.bcrOcrMode = 1;
    frame->m_options.singleMultiMode = 0;
    plat::DebugCapture log;
    EXPECT_EQ(CloseWithClock(), 0u) << "nothing busy: no wait";
    EXPECT_FALSE(IsWindow(hwnd));
    const std::wstring text = log.Text();
    std::size_t at = 0;
    for (const wchar_t* phase : {L"START", L"Engine Stop", L"Draw Black", L"Focusing Set", L"Delete Image",
                                 L"Stop Camera1", L"Stop Camera2", L"delete othersp", L"delete ddraw", L"rotation",
                                 L"lastend"}) {
        std::size_t next = text.find(std::wstring(L"[LumOCRCLOSE] ") + phase + L"[", at);
        EXPECT_NE(next, std::wstring::npos) << plat::ToUtf8(phase);
        at = next == std::wstring::npos ? at : next;
    }
    const auto calls = Calls();
    auto position = [&](const std::string& call) {
        return std::find(calls.begin(), calls.end(), call) - calls.begin();
    };
    EXPECT_LT(position("CCameraControl::StopPreview()"), position("CDisplay::DestroyInstance()"));
    EXPECT_LT(position("CDisplay::DestroyInstance()"), position("SinglePic::CancelRecognition()"));
    EXPECT_LT(position("CCommonControl::SetFocus(0, 1)"), position("CSoundControl::Stop()"));
    EXPECT_LT(position("CSoundControl::Stop()"), position("CDShowControl::CloseCamera()"));
    EXPECT_LT(position("CDShowControl::CloseCamera()"), position("CDShowControl::ReleaseInterfaces()"));
    EXPECT_LT(position("CImageFileList::Clear()"), position("CShotControl::Destroy()"));
    EXPECT_LT(static_cast<size_t>(position("CGPSControl::Uninit()")), calls.size());
    EXPECT_EQ(app.calls, std::vector<std::string>{"LockMotionSensor(0)"});
    EXPECT_EQ(ReadDword(HKEY_CURRENT_USER, kOcrOptionsKey, L"BCROCR_MODE"), 1u);
    EXPECT_EQ(ReadDword(HKEY_CURRENT_USER, kOcrOptionsKey, L"SINGLEMULTI_MODE"), 0u);
}

TEST_F(LifecycleShutdown, ASecondCloseAndOneBeforeTheWindowChangeNothing)
{
    frame->m_bClosing = 1;
    SendMessageW(hwnd, WM_CLOSE, 0, 0);
    EXPECT_TRUE(Calls().empty()) << "the display is not released twice";
    EXPECT_TRUE(IsWindow(hwnd));
    frame->m_bClosing = 0;
    frame->m_bWindowCreated = 0;
    SendMessageW(hwnd, WM_CLOSE, 0, 0);
    EXPECT_TRUE(Calls().empty());
    EXPECT_TRUE(IsWindow(hwnd)) << "consumed before the window was created";
    frame->m_bWindowCreated = 1;
}

TEST_F(LifecycleShutdown, WaitsAreBoundedAt3000MsEach)
{
    doubles::State().cameraState = 0x10;  // capturing, and it never ends
    frame->m_bRecognitionRunning = 1;
    AddPicture(0, L"B000000001.jpg");
    EXPECT_EQ(CloseWithClock(), 6000u);
    EXPECT_FALSE(IsWindow(hwnd));
    EXPECT_TRUE(Exists(L"B000000001.jpg")) << "a recognition still running keeps the store";
    EXPECT_NE(frame->m_slots[0].pictureName, nullptr);
    frame->m_bRecognitionRunning = 0;
    frame->FreeSlot(0);  // what the program leaves to its exit
}

TEST_F(LifecycleShutdown, ARecognitionThatEndsCutsTheWaitShort)
{
    frame->m_bRecognitionRunning = 1;
    EXPECT_EQ(CloseWithClock([this](std::uint64_t waited) {
                  if (waited >= 900)
                      frame->m_bRecognitionRunning = 0;
              }),
              900u);
}

TEST_F(LifecycleShutdown, PicturesAreDeletedUnlessAutoSavedOrKept)
{
    struct Case {
        DWORD autoSave;
        int keep;
        bool kept;
    };
    const Case cases[] = {{0, 0, false}, {1, 0, true}, {0, 1, true}, {1, 1, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "auto-save " << c.autoSave << " keep " << c.keep);
        frame->m_options.enableAutoSave = c.autoSave;
        frame->m_bKeepPictures = c.keep;
        AddPicture(0, L"B000000001.jpg");
        AddPicture(7, L"D000000002.jpg");  // not in a leading run of slots
        CloseWithClock();
        EXPECT_EQ(Exists(L"B000000001.jpg"), c.kept);
        EXPECT_EQ(Exists(L"D000000002.jpg"), c.kept);
        EXPECT_EQ(frame->GetPictureCount(), 0) << "every name is freed";
        // A fresh frame for the next case.
        CMainFrame::DestroyInstance();
        frame = CMainFrame::GetInstance();
        frame->SetApplication(&app);
        hwnd = frame->CreateEx();
        ASSERT_NE(hwnd, nullptr);
        g_hMainWnd = hwnd;
        CDrawEvent::Instance().SetHwnd(hwnd);
        frame->m_nView = VIEW_PREVIEW;
        Pump();
    }
}

}  // namespace

namespace {

using LifecycleBlackWindow = MainFrameFixture;

TEST_F(LifecycleBlackWindow, PaintedTwiceItStaysBlackAndLargerThanTheScreen)
{
    BlankDialog::RegisterTemplate();
    BlankDialog dialog;
    ASSERT_NE(dialog.Create(hwnd), nullptr);
    EXPECT_EQ(GetWindow(dialog.m_hWnd, GW_OWNER), hwnd) << "owned by the main window";
    for (int i = 0; i < 2; ++i)
        dialog.SendMessage(WM_PAINT);
    RECT rect{};
    GetWindowRect(dialog.m_hWnd, &rect);
    EXPECT_EQ(rect.right - rect.left, 500);
    EXPECT_EQ(rect.bottom - rect.top, 500);
    EXPECT_FALSE(plat::GetShellState().taskBarShown);

    const HCURSOR before = nullptr;  // no cursor shown
    SetCursor(before);
    dialog.ShowWait();
    EXPECT_EQ(SetCursor(LoadCursorW(nullptr, IDC_WAIT)), LoadCursorW(nullptr, IDC_WAIT));
    dialog.DestroyWindow();
    EXPECT_EQ(SetCursor(nullptr), before) << "destruction gives the cursor back";
}

}  // namespace
