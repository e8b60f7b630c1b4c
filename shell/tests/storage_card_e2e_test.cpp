// lumocr keeping its pictures on a storage card that is taken out: before the
// shutter, and while a recognised page waits in the document view. Nothing
// is lost and the user is told.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "lumocr_run.h"

namespace {

namespace fs = std::filesystem;
using lumrun::Outcome;

bool Has(const Outcome& r, const std::string& text) { return r.output.find(text) != std::string::npos; }

// A device whose pictures go to the card "Storage Card" (inserted), in
// document mode, with the camera on the drawn page.
void PrepareCardDevice(const lumtest::TempDir& dir)
{
    for (const char* value : {"'HKLM\\System\\State\\Velmora\\SDCARD' InStorageFolder sz 'Storage Card'",
                              "'HKLM\\Platform\\StorageCards' 'Storage Card' dword 1",
                              "'HKCU\\SOFTWARE\\Quarlo\\LumOCR' EnableAutoSave dword 1",
                              "'HKCU\\SOFTWARE\\Quarlo\\LumOCR' BCROCR_MODE dword 0",
                              "'HKLM\\Platform\\Camera' Source sz picture",
                              "'HKLM\\Platform\\Camera' Path sz '\\Windows\\Camera\\SamplePage.pgm'"})
        ASSERT_EQ(lumrun::Lumreg(dir, std::string("set ") + value).exitCode, 0) << value;
}

std::vector<fs::path> PicturesAnywhere(const fs::path& device)
{
    std::vector<fs::path> found;
    for (const auto& entry : fs::recursive_directory_iterator(device))
        if (entry.path().extension() == ".jpg" && entry.path().filename().string()[0] == 'D')
            found.push_back(entry.path());
    return found;
}

// With the card gone the picture folder has no free space to offer: the
// shutter gives the low-storage notice and writes nothing.
TEST(StorageCardE2E, TakenOutBeforeTheShutterGivesTheLowStorageNoticeAndNoPicture)
{
    lumtest::TempDir dir;
    PrepareCardDevice(dir);
    Outcome r = lumrun::Lumocr(dir, std::string(lumrun::kStarted) +
                                        "card remove \"Storage Card\"\n"
                                        "wait-log \"SHCNE_DRIVEREMOVED\" 20000\n"
                                        "key APP3\n"
                                        "wait-log \"POPUP MAKE END\" 20000\n"
                                        "expect-reg \"HKLM\\System\\State\\Velmora\\Keypad\" CameraWorking 1\n"
                                        "key TEND\n"
                                        "wait 1000\n");
    EXPECT_EQ(r.exitCode, 0) << r.output;
    EXPECT_TRUE(Has(r, "POPUP MAKE START [5]")) << r.output;
    EXPECT_TRUE(PicturesAnywhere(lumrun::Device(dir)).empty());
}

// The page is recognised from the card and corrected; the card goes before
// Save: the save-failed notice, the page and its correction stay in the view;
// with the card back, Save writes them.
TEST(StorageCardE2E, TakenOutBeforeSaveKeepsThePageUntilItCanBeWritten)
{
    lumtest::TempDir dir;
    PrepareCardDevice(dir);
    Outcome r = lumrun::Lumocr(dir, std::string(lumrun::kStarted) +
                                        "key APP3\n"
                                        "wait-file \"\\Storage Card\\KVIM\\D*.jpg\" 20000\n"
                                        "wait-window Textiva 120000\n"
                                        "wait 1000\n"
                                        // The first line's start, then typed text.
                                        "tap 200 80\n"
                                        "key HOME\n"
                                        "text \"Checked: \"\n"
                                        "wait 500\n"
                                        "card remove \"Storage Card\"\n"
                                        "wait 300\n"
                                        "tap 100 227\n"
                                        // The notice goes after two seconds; the view stays.
                                        "wait-log \"OCR view notice closed\" 20000\n"
                                        "wait-window Textiva 1000\n"
                                        "card insert \"Storage Card\"\n"
                                        "wait 500\n"
                                        "tap 100 227\n"
                                        "wait-file \"\\Storage Card\\KVIM\\D*.txt\" 20000\n"
                                        "wait-window Textiva 20000 gone\n"
                                        "key TEND\n"
                                        "wait 1000\n");
    ASSERT_EQ(r.exitCode, 0) << r.output;
    EXPECT_TRUE(Has(r, "not written (error 3)")) << "the first Save failed\n" << r.output;

    const fs::path folder = fs::path(lumrun::Device(dir)) / "Storage Card" / "KVIM";
    const auto pictures = PicturesAnywhere(lumrun::Device(dir));
    ASSERT_EQ(pictures.size(), 1u);
    EXPECT_EQ(pictures[0].parent_path(), folder);
    const fs::path text = fs::path(pictures[0]).replace_extension(".txt");
    ASSERT_TRUE(fs::exists(text));
    // Read back by iconv: the byte-order mark tells it the byte order.
    Outcome read = lumrun::Run("iconv -f UTF-16 -t UTF-8 '" + text.string() + "'");
    ASSERT_EQ(read.exitCode, 0) << read.output;
    EXPECT_EQ(read.output.rfind("Checked: Delivery report for the northern depot", 0), 0u) << read.output;
    EXPECT_NE(read.output.find("Thank you for your help with this shipment."), std::string::npos) << read.output;
    if (lumrun::Run("command -v djpeg").exitCode == 0) {
        EXPECT_EQ(lumrun::Run("djpeg '" + pictures[0].string() + "' > /dev/null").exitCode, 0) << "the picture is whole";
    }
}

}  // namespace
