// The panorama library through LoadLibraryW/GetProcAddressW as the camera
// binds it: shots cut from one wide picture at known places, preview frames
// in between, the stitched picture against the wide one.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <vector>

#include "plat/module.h"
#include "plat/panoramax.h"

namespace {

// A wide scene: smooth shapes of several sizes, no period the tracker can
// mistake for another place. W x H luma; chroma from the same formula.
struct Scene {
    int w, h;
    std::vector<uint8_t> y, u, v;
    Scene(int width, int height) : w(width), h(height)
    {
        y.resize(static_cast<size_t>(w) * h);
        u.resize(y.size() / 4);
        v.resize(y.size() / 4);
        for (int r = 0; r < h; ++r)
            for (int c = 0; c < w; ++c)
                y[static_cast<size_t>(r) * w + c] = Luma(c, r);
        for (int r = 0; r < h / 2; ++r)
            for (int c = 0; c < w / 2; ++c) {
                u[static_cast<size_t>(r) * (w / 2) + c] = static_cast<uint8_t>(128 + 40 * std::sin(c / 23.0 + r / 17.0));
                v[static_cast<size_t>(r) * (w / 2) + c] = static_cast<uint8_t>(128 + 40 * std::cos(c / 31.0 - r / 11.0));
            }
    }
    uint8_t Luma(int c, int r) const
    {
        double x = c * 640.0 / w, z = r * 480.0 / h;
        double value = 128 + 50 * std::sin(x / 37.0) + 30 * std::sin(x / 11.3 + z / 29.0) + 25 * std::cos(x / 97.0) +
                       15 * std::sin(x * x / 9000.0);
        return static_cast<uint8_t>(std::lround(std::fmin(255, std::fmax(0, value))));
    }
    // The window at (x, y) of size fw x fh as a 4:2:0 frame (x, y even).
    std::vector<uint8_t> Cut(int x, int top, int fw, int fh) const
    {
        std::vector<uint8_t> f(static_cast<size_t>(fw) * fh * 3 / 2);
        for (int r = 0; r < fh; ++r)
            for (int c = 0; c < fw; ++c)
                f[static_cast<size_t>(r) * fw + c] = y[static_cast<size_t>(r + top) * w + c + x];
        size_t n = static_cast<size_t>(fw) * fh;
        for (int r = 0; r < fh / 2; ++r)
            for (int c = 0; c < fw / 2; ++c) {
                f[n + static_cast<size_t>(r) * (fw / 2) + c] = u[static_cast<size_t>(r + top / 2) * (w / 2) + c + x / 2];
                f[n + n / 4 + static_cast<size_t>(r) * (fw / 2) + c] =
                    v[static_cast<size_t>(r + top / 2) * (w / 2) + c + x / 2];
            }
        return f;
    }
};

PxFrame FrameOf(std::vector<uint8_t>& f, int w, int h)
{
    size_t n = static_cast<size_t>(w) * h;
    return {1, w, h, f.data(), f.data() + n, f.data() + n + n / 4};
}

struct Library {
    HMODULE module = LoadLibraryW(L"PanoraMax.dll");
    template <typename F>
    F Get(const WCHAR* name) const
    {
        return reinterpret_cast<F>(GetProcAddressW(module, name));
    }
    ~Library()
    {
        if (module)
            FreeLibrary(module);
    }
};

}  // namespace

TEST(PanoraMax, ShotsCutFromOnePictureStitchBackToIt)
{
    Library lib;
    ASSERT_TRUE(lib.module);
    auto init = lib.Get<PFN_px_init>(L"px_init");
    auto setParams = lib.Get<PFN_px_setParams>(L"px_setParams");
    auto start = lib.Get<PFN_px_start>(L"px_start");
    auto begin = lib.Get<PFN_px_beginCapture>(L"px_beginCapture");
    auto handle = lib.Get<PFN_px_handleFrame>(L"px_handleFrame");
    auto add = lib.Get<PFN_px_addFrame>(L"px_addFrame");
    auto image = lib.Get<PFN_px_getPanoramaImage>(L"px_getPanoramaImage");
    auto release = lib.Get<PFN_px_free>(L"px_free");
    for (const WCHAR* name : {L"px_abort", L"px_createPanorama", L"px_endCapture"})
        EXPECT_TRUE(GetProcAddressW(lib.module, name)) << "missing entry point";
    ASSERT_TRUE(init && setParams && start && begin && handle && add && image && release);

    // Shots are 640 x 480 windows of a 1280 x 480 scene, previews the same
    // windows at 320 x 240: the camera pans right by half a frame per shot.
    Scene big(1280, 480), small(640, 240);
    PxAllocator allocator{std::malloc, std::free};
    PxHandle job = nullptr;
    ASSERT_EQ(init(&allocator, 0, 0, &job), PX_OK);
    PxStatus status{};
    std::vector<uint8_t> preview = small.Cut(0, 0, 320, 240);
    PxFrame frame = FrameOf(preview, 320, 240);
    EXPECT_EQ(handle(job, &frame, 0, &status), PX_ERR_SEQUENCE);  // before the capture begins
    ASSERT_EQ(setParams(job, 640, 480, 1, 320, 240, 1, 3, 15, 12.0f, 640 * 480 * 3 / 2 * 3), PX_OK);
    ASSERT_EQ(start(job), PX_OK);
    ASSERT_EQ(begin(job, 0), PX_OK);
    EXPECT_EQ(handle(job, nullptr, 0, &status), PX_ERR_PARAMETER);

    for (int shotIndex = 0; shotIndex < 3; ++shotIndex) {
        const int at = shotIndex * 160;  // preview pixels
        if (shotIndex > 0) {
            // On the way: followed, not yet there; then there, and still there.
            struct Step {
                int x;
                int32_t want;
            } steps[] = {{at - 120, PX_STATUS_VALID}, {at - 60, PX_STATUS_VALID}, {at, PX_STATUS_POSITIONED},
                         {at, PX_STATUS_STEADY}};
            for (const Step& s : steps) {
                preview = small.Cut(s.x, 0, 320, 240);
                frame = FrameOf(preview, 320, 240);
                ASSERT_EQ(handle(job, &frame, 0, &status), PX_OK);
                EXPECT_EQ(status.status, s.want) << "shot " << shotIndex << " at " << s.x;
                EXPECT_NEAR(status.x, s.x - (at - 160), 2) << "shot " << shotIndex;
                EXPECT_NEAR(status.y, 0, 2);
                EXPECT_EQ(status.direction, 1);
            }
        }
        std::vector<uint8_t> shot = big.Cut(at * 2, 0, 640, 480);
        frame = FrameOf(shot, 640, 480);
        ASSERT_EQ(add(job, &frame, 0, &status), PX_OK);
        EXPECT_EQ(status.added, shotIndex + 1);
        EXPECT_EQ(status.target, 3);
    }
    frame = FrameOf(preview, 640, 480);
    EXPECT_EQ(add(job, &frame, 0, &status), PX_ERR_SEQUENCE);  // the job is full

    PxImage picture{};
    int w = 0, h = 0;
    ASSERT_EQ(image(job, &picture, &w, &h), PX_OK);
    EXPECT_EQ(w, 1280);
    EXPECT_EQ(h, 480);
    EXPECT_EQ(picture.format, 1);
    std::vector<uint8_t> want = big.Cut(0, 0, 1280, 480);
    ASSERT_TRUE(picture.data);
    size_t differ = 0;
    for (size_t i = 0; i < want.size(); ++i)
        differ += picture.data[i] != want[i];
    EXPECT_EQ(differ, 0u);
    std::free(picture.data);
    EXPECT_EQ(release(job), PX_OK);
}

TEST(PanoraMax, MisuseGivesItsCode)
{
    Library lib;
    ASSERT_TRUE(lib.module);
    auto init = lib.Get<PFN_px_init>(L"px_init");
    auto setParams = lib.Get<PFN_px_setParams>(L"px_setParams");
    auto begin = lib.Get<PFN_px_beginCapture>(L"px_beginCapture");
    auto image = lib.Get<PFN_px_getPanoramaImage>(L"px_getPanoramaImage");
    auto release = lib.Get<PFN_px_free>(L"px_free");
    PxHandle job = nullptr;
    EXPECT_EQ(init(nullptr, 0, 0, &job), PX_ERR_PARAMETER);
    PxAllocator allocator{std::malloc, std::free};
    ASSERT_EQ(init(&allocator, 0, 0, &job), PX_OK);
    EXPECT_EQ(begin(job, 0), PX_ERR_SEQUENCE);  // not started
    EXPECT_EQ(setParams(job, 641, 480, 1, 320, 240, 1, 3, 15, 12.0f, 0), PX_ERR_PARAMETER);
    EXPECT_EQ(setParams(job, 640, 480, 1, 320, 240, 1, 0, 15, 12.0f, 0), PX_ERR_PARAMETER);
    PxImage picture{};
    EXPECT_EQ(image(job, &picture, nullptr, nullptr), PX_ERR_NO_IMAGE);
    release(job);
}
