// The camera screens in lumocr: the repository's camera scenarios replayed on
// fresh device roots, their screenshots read back with libpng and probed
// against the program's own images.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "lumocr_run.h"
#include "plat/screen.h"
#include "png_read.h"

namespace {

namespace fs = std::filesystem;

struct Rgb {
    int r = 0, g = 0, b = 0;
};

// A PNG as RGB pixels; images keep their key colour, read as it is.
struct Picture {
    PngFile png;
    int channels = 0;
    bool Read(const fs::path& path)
    {
        if (!ReadPng(path, &png))
            return false;
        channels = png.colourType == PNG_COLOR_TYPE_RGB_ALPHA ? 4 : png.colourType == PNG_COLOR_TYPE_RGB ? 3 : 0;
        return channels != 0;
    }
    int Width() const { return static_cast<int>(png.width); }
    int Height() const { return static_cast<int>(png.height); }
    Rgb At(int x, int y) const
    {
        const png_byte* p = &png.rows[static_cast<size_t>(y)][static_cast<size_t>(x * channels)];
        return {p[0], p[1], p[2]};
    }
};

// The screen's 16-bit surfaces round each channel to 5 or 6 bits.
bool Near(Rgb a, Rgb b)
{
    return std::abs(a.r - b.r) <= 8 && std::abs(a.g - b.g) <= 8 && std::abs(a.b - b.b) <= 8;
}
bool IsKey(Rgb c) { return Near(c, {255, 0, 255}); }

// The share of an image's drawn (not key) pixels that the screen shows at
// (left, top); text drawn over an image lowers it a little.
double Shown(const Picture& screen, int id, int left, int top)
{
    Picture image;
    if (!image.Read(fs::path(LUM_SOURCE_DIR) / "resources" / "images" / (std::to_string(id) + ".png")))
        return -1;
    int drawn = 0, same = 0;
    for (int y = 0; y < image.Height(); ++y)
        for (int x = 0; x < image.Width(); ++x) {
            const Rgb c = image.At(x, y);
            if (IsKey(c) || left + x >= screen.Width() || top + y >= screen.Height())
                continue;
            ++drawn;
            same += Near(c, screen.At(left + x, top + y));
        }
    return drawn ? static_cast<double>(same) / drawn : -1;
}

// The mean grey of a region, with the weights of the program's own table.
int MeanLuma(const Picture& screen, RECT r)
{
    long sum = 0, n = 0;
    for (int y = r.top; y < r.bottom; ++y)
        for (int x = r.left; x < r.right; ++x, ++n) {
            const Rgb c = screen.At(x, y);
            sum += (306 * c.r + 601 * c.g + 117 * c.b) / 1024;
        }
    return n ? static_cast<int>(sum / n) : -1;
}

int KeyPixels(const Picture& screen)
{
    int n = 0;
    for (int y = 0; y < screen.Height(); ++y)
        for (int x = 0; x < screen.Width(); ++x)
            n += IsKey(screen.At(x, y));
    return n;
}

class CameraScreensE2E : public ::testing::Test {
protected:
    lumrun::Outcome Replay(const std::string& scenario)
    {
        return lumrun::Run(std::string(LUM_BINARY_DIR) + "/bin/lumocr --root '" + lumrun::Device(dir) +
                           "' --scenario '" + LUM_SOURCE_DIR + "/resources/scenarios/" + scenario + "'");
    }
    fs::path Device() const { return lumrun::Device(dir); }
    Picture Shot(const std::string& name)
    {
        Picture p;
        EXPECT_TRUE(p.Read(Device() / "Screenshots" / (name + ".png"))) << name;
        return p;
    }
    // Popups last seconds and the program runs on the real clock: a row of
    // screenshots catches one; the first that shows the popup's frame.
    int FirstWithPopup(const std::string& stem, int count)
    {
        for (int i = 1; i <= count; ++i) {
            Picture p = Shot(stem + "-" + std::to_string(i));
            if (p.Width() == 400 && Shown(p, 10301, 90, 45) > 0.7) {
                EXPECT_GT(Shown(p, 10304, 98, 157), 0.7) << "the popup's one button";
                EXPECT_EQ(KeyPixels(p), 0) << stem << "-" << i;
                return i;
            }
        }
        return 0;
    }
    // The first of a row of screenshots with the mode notice: an even dark
    // box over the picture with the notice's yellow text in it.
    int FirstWithNotice(const std::string& stem, int count)
    {
        for (int i = 1; i <= count; ++i) {
            const Picture p = Shot(stem + "-" + std::to_string(i));
            if (p.Width() != 400)
                continue;
            EXPECT_EQ(KeyPixels(p), 0) << stem << "-" << i;
            const Rgb box = p.At(42, 58);
            if (!Near(p.At(305, 182), box) || !Near(p.At(60, 170), box) || box.r + box.g + box.b > 3 * 80)
                continue;
            int text = 0;
            for (int y = 55; y < 185; ++y)
                for (int x = 39; x < 309; ++x)
                    text += Near(p.At(x, y), {250, 245, 10});
            if (text > 100)
                return i;
        }
        return 0;
    }
    int Pictures() const
    {
        int n = 0;
        for (const auto& e : fs::directory_iterator(Device() / "My Documents" / "KVIM"))
            n += e.path().extension() == ".jpg";
        return n;
    }

    lumtest::TempDir dir;
};

TEST_F(CameraScreensE2E, PreviewGuideNoticeAndSeriesBar)
{
    const lumrun::Outcome r = Replay("camera-preview.txt");
    ASSERT_EQ(r.exitCode, 0) << r.output;

    const Picture guide = Shot("preview-guide");
    ASSERT_EQ(guide.Width(), 400);
    EXPECT_EQ(KeyPixels(guide), 0);
    // Card mode, single shot: leave, card, single, gallery, settings.
    const int bar[] = {10000, 10003, 10009, 10015, 10018};
    for (int i = 0; i < 5; ++i)
        EXPECT_GT(Shown(guide, bar[i], 348, 48 * i), 0.99) << "button " << i + 1;
    // Each corner marker is grey (no edge) or green (edge found).
    const struct {
        int x, y;
    } markers[] = {{26, 60}, {60, 37}, {321, 60}, {60, 202}};
    for (const auto& m : markers) {
        const Rgb c = guide.At(m.x, m.y);
        EXPECT_TRUE(Near(c, {0xA5, 0xA5, 0xA5}) || Near(c, {0, 255, 0})) << m.x << "," << m.y;
    }

    // The notice at start-up and again after the card/document switch.
    EXPECT_GT(FirstWithNotice("start", 16), 0) << "no notice box after start-up";
    EXPECT_GT(FirstWithNotice("switch", 6), 0) << "no notice box after the switch";

    const Picture series = Shot("preview-series");
    ASSERT_EQ(series.Width(), 400);
    EXPECT_EQ(KeyPixels(series), 0);
    // Buttons 1 and 2 normal, 3 and 4 disabled while the set holds no picture.
    const int seriesBar[] = {10100, 10104, 10111, 10116};
    for (int i = 0; i < 4; ++i)
        EXPECT_GT(Shown(series, seriesBar[i], 348, 60 * i), 0.99) << "series button " << i + 1;
    // The counter "1/20" at the top left changes the picture there.
    int changed = 0;
    for (int y = 4; y < 26; ++y)
        for (int x = 20; x < 72; ++x)
            changed += !Near(series.At(x, y), guide.At(x, y));
    EXPECT_GT(changed, 60) << "no counter over the series preview";
}

TEST_F(CameraScreensE2E, DarkBlankAndCardShots)
{
    const lumrun::Outcome r = Replay("camera-shots.txt");
    ASSERT_EQ(r.exitCode, 0) << r.output;

    // The preview shows the scene the registry names, and a reg step changes
    // it: the dark scene, then the blank paper (left of the popups, inside the guide).
    const RECT scene{45, 100, 85, 140};
    EXPECT_LT(MeanLuma(Shot("dark-1"), scene), 60) << "the dark scene";
    EXPECT_GT(MeanLuma(Shot("blank-20"), scene), 200) << "the blank paper";
    // Too dark: popup 6 over the preview and no picture.
    EXPECT_NE(r.output.find("POPUP MAKE START [6]"), std::string::npos);
    EXPECT_GT(FirstWithPopup("dark", 6), 0) << "popup 6 in none of the screenshots";
    // Blank: the engine reads nothing, popup 7, the picture deleted.
    EXPECT_NE(r.output.find("POPUP MAKE START [7]"), std::string::npos);
    EXPECT_GT(FirstWithPopup("blank", 20), 0) << "popup 7 in none of the screenshots";
    // Back in the preview the bar is drawn again: the single-picture screen
    // had let the preview's images go.
    EXPECT_GT(Shown(Shot("blank-20"), 10000, 348, 0), 0.99) << "the bar after the single-picture screen";
    // The card goes to the card view and its picture stays: the only one left.
    EXPECT_NE(r.output.find("OnResult"), std::string::npos);
    EXPECT_EQ(Pictures(), 1);
}

// A card shot: the single-picture screen shows the shot under the progress
// panel with its cancel button, only the exit button of its bar enabled,
// then the card view takes over and the picture is kept.
TEST_F(CameraScreensE2E, CardShotShowsTheProgressPanelThenTheCardView)
{
    const lumrun::Outcome r = Replay("single-picture.txt");
    ASSERT_EQ(r.exitCode, 0) << r.output;

    const Picture panel = Shot("single-progress");
    ASSERT_EQ(panel.Width(), 400);
    EXPECT_EQ(KeyPixels(panel), 0);
    // Texts lie over the panel and the cancel button.
    EXPECT_GT(Shown(panel, 10200, 91, 45), 0.7) << "progress panel";
    EXPECT_GT(Shown(panel, 10201, 102, 130), 0.5) << "progress track";
    EXPECT_GT(Shown(panel, 10203, 98, 157), 0.7) << "cancel button";
    // Leave normal; card, single, gallery and settings in their finger-off look.
    const int bar[] = {10000, 10004, 10010, 10016, 10019};
    for (int i = 0; i < 5; ++i)
        EXPECT_GT(Shown(panel, bar[i], 348, 48 * i), 0.99) << "button " << i + 1;

    EXPECT_NE(r.output.find("OnResult"), std::string::npos);
    EXPECT_EQ(Pictures(), 1);
}

// A call rings while a shot is recognised: the run stops and the call popup
// with its icon and two buttons shows over the preview, whose bar is back.
TEST_F(CameraScreensE2E, CallPopupOverThePreview)
{
    const lumrun::Outcome r = Replay("call-during-recognition.txt");
    ASSERT_EQ(r.exitCode, 0) << r.output;

    const Picture call = Shot("call-during-recognition");
    ASSERT_EQ(call.Width(), 400);
    EXPECT_EQ(KeyPixels(call), 0);
    EXPECT_GT(Shown(call, 10301, 90, 45), 0.7) << "popup frame";
    EXPECT_GT(Shown(call, 10308, 105, 51), 0.9) << "call icon";
    EXPECT_GT(Shown(call, 10302, 98, 157), 0.7) << "answer";
    EXPECT_GT(Shown(call, 10306, 200, 157), 0.7) << "ignore";
    EXPECT_GT(Shown(call, 10000, 348, 0), 0.99) << "the preview's bar";
}

// Three seconds recorded in the camcorder: the movie review opens on the
// new video and plays it; the played frame is the recorded scene, the sample
// card: a light card with dark print.
TEST_F(CameraScreensE2E, ARecordingOpensTheMovieReviewThatPlaysIt)
{
    const lumrun::Outcome r = Replay("camcorder-record.txt");
    ASSERT_EQ(r.exitCode, 0) << r.output;

    const Picture movie = Shot("movie-review");
    ASSERT_EQ(movie.Width(), 400);
    EXPECT_EQ(KeyPixels(movie), 0);
    int light = 0, dark = 0, all = 0;
    for (int y = 50; y < 190; ++y)
        for (int x = 70; x < 330; ++x) {
            const Rgb c = movie.At(x, y);
            const int luma = (306 * c.r + 601 * c.g + 117 * c.b) / 1024;
            light += luma > 180;
            dark += luma < 90;
            ++all;
        }
    EXPECT_GT(light, all / 2) << "the card's face";
    EXPECT_GT(dark, 300) << "the card's print";
}

// WM_MAIN_COMMAND 0x10035 posted to "LUMOCR" as another program would: the
// settings menu over the live preview, then its general tab.
TEST_F(CameraScreensE2E, SettingsMenuOverThePreview)
{
    const lumrun::Outcome r = Replay("settings-menu.txt");
    ASSERT_EQ(r.exitCode, 0) << r.output;
    int first = 0;
    for (int i = 1; i <= 10 && !first; ++i) {
        const Picture p = Shot("menu-" + std::to_string(i));
        if (p.Width() == 400 && Shown(p, 11061, 40, 0) > 0.9)
            first = i;
    }
    ASSERT_GT(first, 0) << "the menu in none of the screenshots";
    const Picture menu = Shot("menu-" + std::to_string(first));
    EXPECT_EQ(KeyPixels(menu), 0) << "the preview shows wherever the menu is not";
    EXPECT_GT(Shown(menu, 11062, 147, 0), 0.9) << "camcorder tab";
    EXPECT_GT(Shown(menu, 11064, 254, 0), 0.9) << "general tab";
    EXPECT_GT(Shown(menu, 11068, 40, 56), 0.6) << "the list under its titles";

    const Picture general = Shot("menu-general");
    EXPECT_EQ(KeyPixels(general), 0);
    EXPECT_GT(Shown(general, 11060, 40, 0), 0.9) << "camera tab, not chosen";
    EXPECT_GT(Shown(general, 11065, 254, 0), 0.9) << "general tab, chosen";
}

// A flat 640 x 480 picture (a PNG under a .jpg name: pictures are read by content).
void WritePicture(const fs::path& path, Rgb c)
{
    plat::ScreenImage image{640, 480, std::vector<COLORREF>(640 * 480, RGB(c.r, c.g, c.b))};
    ASSERT_TRUE(plat::WritePng(path, image)) << path;
}

// Touches newer until its change time is past older's, however coarse the
// file system's clock: the picture list orders by that time.
void MakeNewer(const fs::path& newer, const fs::path& older)
{
    struct stat a {}, b {};
    ASSERT_EQ(stat(older.c_str(), &a), 0);
    for (int i = 0; i < 10000000; ++i) {
        ASSERT_EQ(chmod(newer.c_str(), i % 2 ? 0644 : 0640), 0);
        ASSERT_EQ(stat(newer.c_str(), &b), 0);
        if (b.st_ctim.tv_sec > a.st_ctim.tv_sec ||
            (b.st_ctim.tv_sec == a.st_ctim.tv_sec && b.st_ctim.tv_nsec > a.st_ctim.tv_nsec))
            return;
    }
    FAIL() << "the change time never moved on";
}

Rgb Mid(Rgb a, Rgb b) { return {(a.r + b.r) / 2, (a.g + b.g) / 2, (a.b + b.b) / 2}; }

// A message posted to the main window, as another program of the handset
// may post it, opens the viewer over the preview on the newest of two
// pictures; its details come as a half-transparent panel; it leaves back to
// the preview.
TEST_F(CameraScreensE2E, ViewerOpenedByAPostedCommand)
{
    const fs::path folder = Device() / "My Documents" / "KVIM" / "100QZPIX";
    fs::create_directories(folder);
    const Rgb older{40, 200, 40}, newest{200, 40, 40};
    WritePicture(folder / "PIC0001.jpg", older);
    WritePicture(folder / "PIC0002.jpg", newest);
    MakeNewer(folder / "PIC0002.jpg", folder / "PIC0001.jpg");

    const lumrun::Outcome r = lumrun::Run(std::string(LUM_BINARY_DIR) + "/bin/lumocr --root '" + lumrun::Device(dir) +
                                          "' --scenario '" + LUM_SOURCE_DIR + "/screens/tests/scenarios/viewer.txt'");
    ASSERT_EQ(r.exitCode, 0) << r.output;

    const Picture viewer = Shot("viewer");
    ASSERT_EQ(viewer.Width(), 400);
    EXPECT_EQ(KeyPixels(viewer), 0);
    // 640 x 480 fitted into the screen: 320 x 240 from x = 40, black beside.
    for (const auto& [x, y] : {std::pair{60, 20}, {200, 120}, {340, 220}})
        EXPECT_TRUE(Near(viewer.At(x, y), newest)) << x << "," << y;
    EXPECT_TRUE(Near(viewer.At(20, 120), {0, 0, 0}));
    EXPECT_GT(Shown(viewer, 11010, 360, 0), 0.9) << "leave";
    EXPECT_GT(Shown(viewer, 11012, 360, 48), 0.9) << "details";
    EXPECT_GT(Shown(viewer, 11018, 360, 144), 0.9) << "previous: two pictures";
    EXPECT_GT(Shown(viewer, 11020, 360, 192), 0.9) << "next";

    const Picture details = Shot("viewer-details");
    ASSERT_EQ(details.Width(), 400);
    EXPECT_EQ(KeyPixels(details), 0);
    Picture panel;
    ASSERT_TRUE(panel.Read(fs::path(LUM_SOURCE_DIR) / "resources" / "images" / "11022.png"));
    const Rgb face = panel.At(0, 0);
    EXPECT_TRUE(Near(details.At(330, 220), Mid(face, newest)));
    EXPECT_TRUE(Near(details.At(20, 220), Mid(face, {0, 0, 0})));

    // Back in the preview: the camera's picture is asked for again.
    const size_t left = r.output.find("VIEWER PAINTED: details");
    ASSERT_NE(left, std::string::npos);
    EXPECT_NE(r.output.find("PREVIEW_CAMERA - CMD_PREVIEW_STARTED", left), std::string::npos);
}

}  // namespace

TEST_F(CameraScreensE2E, ATurnedPreviewIsMadeAgainAndItsDialogShowsInFront)
{
    const lumrun::Outcome r = Replay("camera-turn.txt");
    ASSERT_EQ(r.exitCode, 0) << r.output;
    const Picture upright = Shot("preview-upright");
    ASSERT_EQ(upright.Width(), 240);
    ASSERT_EQ(upright.Height(), 400);
    EXPECT_EQ(KeyPixels(upright), 0);
    // The dialog turns the screen back; its white rows are not hidden under
    // a display made again for the program's own turn.
    const Picture settings = Shot("settings-after-turn");
    ASSERT_EQ(settings.Width(), 400);
    EXPECT_GT(MeanLuma(settings, RECT{0, 30, 400, 210}), 150);
}

// A series of three cards, read as a set and saved at once. The preview lets
// go of pending input each time it starts: once at start-up, once after each
// shot and once after the card view, so that input sent after it says it
// takes input again is never let go by a second start.
TEST_F(CameraScreensE2E, ASeriesIsShotReadAndEveryCardSavedAsAContact)
{
    const lumrun::Outcome r = Replay("series.txt");
    ASSERT_EQ(r.exitCode, 0) << r.output;
    int contacts = 0;
    for (const auto& e : fs::directory_iterator(Device() / "Contacts"))
        contacts += e.path().extension() == ".vcf";
    EXPECT_EQ(contacts, 3);
    int starts = 0;
    for (size_t at = 0; (at = r.output.find("PREVIEW_CAMERA - CMD_PREVIEW_STARTED", at)) != std::string::npos; ++at)
        ++starts;
    EXPECT_EQ(starts, 5);
}
