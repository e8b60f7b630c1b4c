// The preview worker's drawing: every camera frame size, landscape or
// portrait, at every display turn, lands whole and centred inside the
// panel's surface with its proportions, and nothing of an earlier frame stays.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <future>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "camera_control.h"
#include "capture_fixture.h"
#include "common_control.h"
#include "display.h"
#include "plat/clock.h"
#include "settings.h"

namespace {

void SetOrientation(DWORD code)
{
    DEVMODEW mode{};
    mode.dmSize = sizeof(mode);
    mode.dmFields = DM_DISPLAYORIENTATION;
    mode.dmDisplayOrientation = code;
    ChangeDisplaySettingsEx(nullptr, &mode, nullptr, CDS_RESET, nullptr);
}

struct Box {
    int left = 0, top = 0, right = -1, bottom = -1;  // inclusive
    int Width() const { return right - left + 1; }
    int Height() const { return bottom - top + 1; }
};

// The lit part of the shown surface; `gaps` counts black pixels inside it.
Box LitBox(int* gaps, int* surfaceWidth, int* surfaceHeight)
{
    CDisplay* display = CDisplay::GetInstance();
    void* bits = nullptr;
    DDSURFACEDESC desc{};
    desc.dwSize = sizeof desc;
    Box box;
    if (FAILED(display->LockPrimary(&bits, &desc)) || !bits)
        return box;
    const int w = static_cast<int>(desc.dwWidth);
    const int h = static_cast<int>(desc.dwHeight);
    *surfaceWidth = w;
    *surfaceHeight = h;
    auto pixel = [&](int x, int y) {
        return reinterpret_cast<const WORD*>(static_cast<const BYTE*>(bits) + static_cast<size_t>(y) * desc.lPitch)[x];
    };
    box = {w, h, -1, -1};
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            if (pixel(x, y) != 0) {
                box.left = std::min(box.left, x);
                box.right = std::max(box.right, x);
                box.top = std::min(box.top, y);
                box.bottom = std::max(box.bottom, y);
            }
    *gaps = 0;
    for (int y = box.top; y <= box.bottom; ++y)
        for (int x = box.left; x <= box.right; ++x)
            *gaps += pixel(x, y) == 0;
    display->UnlockPrimary();
    return box;
}

}  // namespace

class PreviewWorker : public CaptureFixture {
protected:
    void TearDown() override
    {
        CDisplay::DestroyInstance();
        SetOrientation(DMDO_270);
        CaptureFixture::TearDown();
    }
    // The display's set-up waits half a second on the platform clock.
    static HRESULT InitDisplay(HWND window)
    {
        auto result = std::async(std::launch::async, [window] { return CDisplay::GetInstance()->Init(window); });
        while (result.wait_for(std::chrono::milliseconds(1)) != std::future_status::ready)
            if (plat::NextVirtualDeadline())
                plat::AdvanceClock(500);
        return result.get();
    }
};

TEST_F(PreviewWorker, EveryFrameSizeAndTurnIsDrawnWholeAndCentredInsideThePanel)
{
    CSettings::GetInstance()->ChangeGUIStatus(GUI_STATUS_CAMERA, GUI_STATUS_START);
    CCommonControl* common = CCommonControl::GetInstance();
    common->SetPreviewBuf();
    struct Size {
        int w, h;
    };
    const Size sizes[] = {{640, 480}, {176, 144}, {320, 240}, {400, 240}};
    for (DWORD turn : {DMDO_0, DMDO_90, DMDO_270}) {
        SetOrientation(turn);
        CDisplay::DestroyInstance();
        ASSERT_EQ(InitDisplay(window_), S_OK);
        for (const Size& s : sizes)
            for (bool portrait : {false, true}) {
                const int fw = portrait ? s.h : s.w;
                const int fh = portrait ? s.w : s.h;
                SCOPED_TRACE("turn " + std::to_string(turn) + ", frame " + std::to_string(fw) + "x" + std::to_string(fh));
                // A light grey frame: every drawn pixel is lit.
                std::vector<BYTE> frame(static_cast<size_t>(fw) * fh * 3 / 2, 0x80);
                std::fill(frame.begin(), frame.begin() + static_cast<long>(fw) * fh, 0xC0);
                {
                    std::lock_guard<std::mutex> lock(CCameraControl::FrameLock());
                    ASSERT_EQ(common->CopyFrame(frame.data(), fw, fh), S_OK);
                }
                ASSERT_EQ(common->DetectAutoShot(), 1);
                int gaps = -1;
                int sw = 0;
                int sh = 0;
                const Box box = LitBox(&gaps, &sw, &sh);
                ASSERT_GT(box.Width(), 0);
                EXPECT_EQ(gaps, 0);
                // Centred, and as large as the surface allows on one side.
                EXPECT_LE(std::abs(box.left - (sw - 1 - box.right)), 1);
                EXPECT_LE(std::abs(box.top - (sh - 1 - box.bottom)), 1);
                EXPECT_TRUE(box.Width() >= sw - 1 || box.Height() >= sh - 1);
                // Turned so that its long side lies along the surface's,
                // proportions kept (within the even rounding).
                const double frameRatio = static_cast<double>(std::max(fw, fh)) / std::min(fw, fh);
                const double boxRatio = static_cast<double>(std::max(box.Width(), box.Height())) /
                                        std::min(box.Width(), box.Height());
                EXPECT_EQ(box.Width() >= box.Height(), sw >= sh);
                EXPECT_NEAR(boxRatio, frameRatio, 0.03);
            }
    }
}

namespace {

// The camera screen's gate, held shut while the worker is inside its run:
// the worker is busy for as long as the test wants.
class HeldGate final : public CCaptureHost {
public:
    bool AutoShotAllowed() const override
    {
        std::call_once(once, [this] { entered.set_value(); });
        release.wait();
        return false;
    }
    mutable std::once_flag once;
    mutable std::promise<void> entered;
    std::shared_future<void> release;
};

}  // namespace

TEST_F(PreviewWorker, AFrameThatComesWhileTheWorkerIsBusyIsDroppedAndCounted)
{
    CSettings::GetInstance()->ChangeGUIStatus(GUI_STATUS_CAMERA, GUI_STATUS_START);
    HeldGate gate;
    std::promise<void> release;
    gate.release = release.get_future().share();
    std::future<void> entered = gate.entered.get_future();
    SetCaptureHost(&gate);
    CCommonControl* common = CCommonControl::GetInstance();
    common->ResumeWorker();

    std::vector<BYTE> frame(320 * 240 * 3 / 2, 90);
    EXPECT_EQ(CCameraControl::PreviewFrameCallback(frame.data(), static_cast<DWORD>(frame.size()), 320, 240), 0u);
    ASSERT_EQ(entered.wait_for(std::chrono::seconds(30)), std::future_status::ready);
    ASSERT_TRUE(common->IsWorkerBusy());
    // The worker's buffer is not touched while it reads it.
    std::vector<BYTE> next(frame.size(), 200);
    EXPECT_EQ(CCameraControl::PreviewFrameCallback(next.data(), static_cast<DWORD>(next.size()), 320, 240), 1u);
    EXPECT_EQ(common->DroppedFrames(), 1u);

    release.set_value();
    for (int i = 0; i < 30000 && common->IsWorkerBusy(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    ASSERT_FALSE(common->IsWorkerBusy());
    EXPECT_EQ(CCameraControl::PreviewFrameCallback(next.data(), static_cast<DWORD>(next.size()), 320, 240), 0u);
    EXPECT_EQ(common->DroppedFrames(), 1u);
    // The worker takes the next frame and meets the gate again: stopped before the gate goes.
    CCommonControl::ReleaseInstance();
    SetCaptureHost(&host_);
}

namespace {

// The camera screen's gate, whose worker sends the main window a message
// inside its run, as a frame that moves its window does. The message goes
// from a thread of its own, answered within ten seconds or given up: an
// unanswered one ends the worker's wait, never the test.
class SendingGate final : public CCaptureHost {
public:
    explicit SendingGate(HWND window) : window_(window) {}
    bool AutoShotAllowed() const override
    {
        std::call_once(once, [this] {
            entered.set_value();
            sent = std::async(std::launch::async, [w = window_] { SendMessageW(w, WM_APP + 7, 0, 0); });
            answered = sent.wait_for(std::chrono::seconds(10)) == std::future_status::ready;
        });
        return false;
    }
    HWND window_;
    mutable std::once_flag once;
    mutable std::promise<void> entered;
    mutable std::future<void> sent;
    mutable std::atomic<bool> answered{false};
};

}  // namespace

TEST_F(PreviewWorker, FreeingTheBuffersLetsAMessageTheWorkerSendsThrough)
{
    CSettings::GetInstance()->ChangeGUIStatus(GUI_STATUS_CAMERA, GUI_STATUS_START);
    CCommonControl* common = CCommonControl::GetInstance();
    common->SetPreviewBuf();
    SendingGate gate(window_);
    std::future<void> entered = gate.entered.get_future();
    SetCaptureHost(&gate);
    common->ResumeWorker();
    std::vector<BYTE> frame(320 * 240 * 3 / 2, 90);
    EXPECT_EQ(CCameraControl::PreviewFrameCallback(frame.data(), static_cast<DWORD>(frame.size()), 320, 240), 0u);
    ASSERT_EQ(entered.wait_for(std::chrono::seconds(30)), std::future_status::ready);

    // The wait sleeps on the platform clock: it moves on while the buffers go.
    std::atomic<bool> freed{false};
    std::thread clock([&] {
        while (!freed.load()) {
            if (plat::NextVirtualDeadline())
                plat::AdvanceClock(1);
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    });
    common->FreePreviewBuffers();
    freed = true;
    clock.join();
    EXPECT_TRUE(gate.answered.load()) << "the worker's message waited on the thread that waited for the worker";

    // An unanswered message is taken here, before the gate goes.
    MSG msg;
    while (gate.sent.wait_for(std::chrono::milliseconds(1)) != std::future_status::ready)
        PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);
    CCommonControl::ReleaseInstance();
    SetCaptureHost(&host_);
}
