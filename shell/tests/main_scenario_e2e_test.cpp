// The scenarios of the repository replayed by lumocr on fresh device roots,
// as ./run.sh and CI run them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "lumocr_run.h"
#include "png_read.h"

namespace {

namespace fs = std::filesystem;
using lumrun::Device;
using lumrun::Outcome;
using lumrun::Value;

Outcome Replay(const lumtest::TempDir& dir, const fs::path& scenario)
{
    return lumrun::Run(std::string(LUM_BINARY_DIR) + "/bin/lumocr --root '" + Device(dir) + "' --scenario '" +
                       scenario.string() + "'");
}

// Every scenario of the folder but the default road's two (main*.txt), which
// have tests of their own below; one test each, so that they run side by side.
std::vector<fs::path> RepositoryScenarios()
{
    std::vector<fs::path> found;
    for (const auto& entry : fs::directory_iterator(fs::path(LUM_SOURCE_DIR) / "resources" / "scenarios"))
        if (entry.path().extension() == ".txt" && entry.path().filename().string().rfind("main", 0) != 0)
            found.push_back(entry.path());
    std::sort(found.begin(), found.end());
    return found;
}

// The screenshots of a run that show the overlay's key colour (255, 0, 255),
// each with its count of such pixels. The screen is composed as the handset
// shows it: the key is where the camera's picture shows through, so a key
// pixel on a screenshot is a hole in the overlay's keying.
std::string KeyedScreenshots(const lumtest::TempDir& dir)
{
    std::string found;
    const fs::path folder = fs::path(Device(dir)) / "Screenshots";
    if (!fs::is_directory(folder))
        return found;
    for (const auto& entry : fs::directory_iterator(folder)) {
        PngFile png;
        if (entry.path().extension() != ".png" || !ReadPng(entry.path(), &png)) {
            found += entry.path().filename().string() + ": unreadable\n";
            continue;
        }
        const int channels = png.colourType == PNG_COLOR_TYPE_RGB_ALPHA ? 4 : 3;
        int keyed = 0;
        for (const auto& row : png.rows)
            for (size_t x = 0; x + 2 < row.size(); x += static_cast<size_t>(channels))
                keyed += row[x] >= 247 && row[x + 1] <= 8 && row[x + 2] >= 247;
        if (keyed)
            found += entry.path().filename().string() + ": " + std::to_string(keyed) + "\n";
    }
    return found;
}

class RepositoryScenarioE2E : public testing::TestWithParam<fs::path> {};

TEST_P(RepositoryScenarioE2E, Passes)
{
    lumtest::TempDir dir;
    Outcome r = Replay(dir, GetParam());
    EXPECT_EQ(r.exitCode, 0) << r.output;
    EXPECT_EQ(KeyedScreenshots(dir), "");
}

INSTANTIATE_TEST_SUITE_P(Repository, RepositoryScenarioE2E, testing::ValuesIn(RepositoryScenarios()),
                         [](const testing::TestParamInfo<fs::path>& info) {
                             std::string name;
                             for (char c : info.param.stem().string())
                                 name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
                             return name;
                         });

// The default road as ./run.sh replays it: a fresh root that keeps its
// pictures, so the still is there to be read afterwards; then the second
// start on the same root. The two runs' output is joined.
Outcome ReplayTheRoad(const lumtest::TempDir& dir)
{
    lumrun::Lumreg(dir, "set 'HKCU\\SOFTWARE\\Quarlo\\LumOCR' EnableAutoSave dword 1");
    const fs::path folder = fs::path(LUM_SOURCE_DIR) / "resources" / "scenarios";
    Outcome first = Replay(dir, folder / "main.txt");
    if (first.exitCode != 0)
        return first;
    Outcome again = Replay(dir, folder / "main-restart.txt");
    again.output = first.output + again.output;
    return again;
}

std::string Contents(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

std::vector<fs::path> FilesIn(const fs::path& folder, const std::string& extension)
{
    std::vector<fs::path> found;
    if (fs::is_directory(folder))
        for (const auto& entry : fs::directory_iterator(folder))
            if (entry.path().extension() == extension)
                found.push_back(entry.path());
    return found;
}

TEST(MainScenarioE2E, TheDefaultRoadLeavesItsResults)
{
    lumtest::TempDir dir;
    Outcome r = ReplayTheRoad(dir);
    ASSERT_EQ(r.exitCode, 0) << r.output;
    // The commentary comes in the scenario's order.
    std::size_t last = 0;
    for (const char* step : {"start-up to the camera preview", "the shutter key", "the business-card result view",
                              "the name corrected", "Save: the contact", "document mode", "the document result view",
                              "Save: the page's text", "the gallery", "the two pages read", "the OCR settings", "and Send",
                              "a second start", "the end key"}) {
        const auto at = r.output.find(step, last);
        ASSERT_NE(at, std::string::npos) << step << "\n" << r.output;
        last = at;
    }
    EXPECT_NE(r.output.find("[LumOCRCLOSE] lastend"), std::string::npos) << "an orderly shutdown";

    const fs::path device = Device(dir);
    const fs::path shots = device / "Screenshots";
    for (const char* shot : {"preview", "recognition-progress", "card-landscape", "card-portrait", "card-corrected", "back-to-preview",
                             "document-preview", "document", "gallery", "gallery-one-failed", "gallery-documents",
                             "settings", "document-menu", "settings-again"})
        EXPECT_TRUE(fs::exists(shots / (std::string(shot) + ".png"))) << shot;
    EXPECT_EQ(KeyedScreenshots(dir), "");
    // The second start shows the settings as the first one left them.
    EXPECT_EQ(Contents(shots / "settings-again.png"), Contents(shots / "settings-focus-off.png"));
    EXPECT_NE(Contents(shots / "settings-again.png"), Contents(shots / "settings.png"));
    // The card's still, the page's three and the file that is no picture,
    // kept; the texts of the two pages read in the gallery saved, nothing
    // for the unreadable file.
    const fs::path pictures = device / "My Documents" / "KVIM";
    EXPECT_EQ(FilesIn(pictures, ".jpg").size(), 5u);
    EXPECT_EQ(FilesIn(pictures, ".txt").size(), 2u);
    EXPECT_FALSE(fs::exists(pictures / "D000000000.txt"));
    EXPECT_NE(r.output.find("[RECOGNIZE SUCCESS]"), std::string::npos) << "the gallery kept the two it read";
    EXPECT_EQ(FilesIn(device / "Contacts", ".vcf").size(), 1u);
    EXPECT_EQ(FilesIn(device / "Outbox", ".eml").size(), 1u);
    EXPECT_EQ(Value(dir, "HKLM\\System\\State\\Velmora\\Keypad", "LumOCRWorking"), "0");
}

// The program killed while the card view stores its contact, then started
// again: whatever the kill interrupted, no file is left half written.
TEST(MainScenarioE2E, AKillDuringTheSaveLeavesEveryFileWholeAndTheNextStartRuns)
{
    lumtest::TempDir dir;
    lumrun::Lumreg(dir, "set 'HKCU\\SOFTWARE\\Quarlo\\LumOCR' EnableAutoSave dword 1");
    const fs::path steps = dir.path() / "save.scn";
    std::ofstream(steps) << lumrun::kStarted
                         << "key APP3\n"
                            "wait-file \"\\My Documents\\KVIM\\B*.jpg\" 20000\n"
                            "wait-window Textiva 120000\n"
                            "wait 1000\n"
                            "say \"saving\"\n"
                            "tap 100 227\n"
                            "wait 10000\n";
    // The kill follows the moment the save is asked for: grep ends at that line.
    const std::string pidFile = (dir.path() / "pid").string();
    Outcome killed = lumrun::Run("( '" + std::string(LUM_BINARY_DIR) + "/bin/lumocr' --root '" + Device(dir) +
                                 "' --scenario '" + steps.string() + "' & echo $! > '" + pidFile +
                                 "'; wait ) | { grep -m1 -q saving; kill -9 $(cat '" + pidFile + "'); }");
    ASSERT_EQ(killed.exitCode, 0) << killed.output;

    Outcome again = lumrun::Lumocr(dir, std::string(lumrun::kStarted) + "key TEND\nwait 1000\n");
    EXPECT_EQ(again.exitCode, 0) << again.output;
    EXPECT_EQ(Value(dir, "HKCU\\SOFTWARE\\Quarlo\\LumOCR", "EnableAutoSave"), "1") << "the registry is whole";
    EXPECT_EQ(Value(dir, "HKLM\\System\\State\\Velmora\\Keypad", "LumOCRWorking"), "0");
    const fs::path device = Device(dir);
    for (const fs::path& contact : FilesIn(device / "Contacts", ".vcf")) {
        std::ifstream in(contact);
        const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        EXPECT_EQ(text.rfind("BEGIN:VCARD\r\n", 0), 0u) << contact;
        EXPECT_NE(text.find("END:VCARD\r\n"), std::string::npos) << contact;
    }
    const auto stills = FilesIn(device / "My Documents" / "KVIM", ".jpg");
    ASSERT_EQ(stills.size(), 1u);
    if (lumrun::Run("command -v djpeg").exitCode == 0) {
        EXPECT_EQ(lumrun::Run("djpeg '" + stills[0].string() + "' > /dev/null").exitCode, 0) << "the still is whole";
    }
}

// The contact, the still, the page's text file and the message sent on the
// default road, read by programs of their own: python3-vobject, exiftool and
// python3's UTF-16 codec and e-mail parser.
TEST(MainRoadPeer, TheRoadsFilesReadByIndependentReaders)
{
    if (lumrun::Run("/usr/bin/python3 -c 'import vobject'").exitCode != 0)
        GTEST_SKIP() << "python3-vobject is not installed";
    if (lumrun::Run("command -v exiftool").exitCode != 0)
        GTEST_SKIP() << "exiftool is not installed";
    lumtest::TempDir dir;
    Outcome r = ReplayTheRoad(dir);
    ASSERT_EQ(r.exitCode, 0) << r.output;
    const fs::path device = Device(dir);

    const auto contacts = FilesIn(device / "Contacts", ".vcf");
    ASSERT_EQ(contacts.size(), 1u);
    const std::string script =
        "import sys, vobject\n"
        "card = vobject.readOne(open(sys.argv[1], encoding='utf-8').read())\n"
        "print('fn=' + card.fn.value)\n"
        "print('family=' + card.n.value.family + ';given=' + card.n.value.given)\n"
        "print('org=' + ';'.join(card.org.value))\n"
        "print('email=' + card.email.value)\n"
        "print('url=' + card.url.value)\n"
        "for tel in card.contents.get('tel', []):\n"
        "    print('tel ' + ','.join(tel.params.get('TYPE', [])) + '=' + tel.value)\n";
    std::ofstream(dir.path() / "read_card.py") << script;
    Outcome card = lumrun::Run("/usr/bin/python3 '" + (dir.path() / "read_card.py").string() + "' '" +
                               contacts[0].string() + "'");
    ASSERT_EQ(card.exitCode, 0) << card.output;
    // The drawn card's fields; the name as it was typed over.
    for (const char* line : {"fn=Julia Hartmann-Reyes\n", "family=Hartmann-Reyes;given=Julia\n",
                             "org=Nordwind Logistics Ltd\n", "email=julia.hartmann@nordwind.co.uk\n",
                             "url=www.nordwind.co.uk\n", "tel CELL=+44 7700 900123\n",
                             "tel WORK,VOICE=+44 20 7946 0321\n"})
        EXPECT_NE(card.output.find(line), std::string::npos) << line << card.output;

    const fs::path pictures = device / "My Documents" / "KVIM";
    std::vector<fs::path> stills;
    for (const fs::path& still : FilesIn(pictures, ".jpg"))
        if (still.filename().string()[0] == 'B')
            stills.push_back(still);
    ASSERT_EQ(stills.size(), 1u) << "the card's picture";
    Outcome exif = lumrun::Run("exiftool -s -s -ImageWidth -ImageHeight -Orientation -ThumbnailLength '" +
                               stills[0].string() + "'");
    ASSERT_EQ(exif.exitCode, 0) << exif.output;
    std::map<std::string, std::string> tags;
    std::istringstream lines(exif.output);
    for (std::string line; std::getline(lines, line);)
        if (const auto colon = line.find(": "); colon != std::string::npos)
            tags[line.substr(0, colon)] = line.substr(colon + 2);
    EXPECT_EQ(tags["ImageWidth"], "1280") << exif.output;
    EXPECT_EQ(tags["ImageHeight"], "960") << exif.output;
    EXPECT_FALSE(tags["Orientation"].empty()) << exif.output;
    EXPECT_GT(std::atoi(tags["ThumbnailLength"].c_str()), 0) << "an embedded thumbnail\n" << exif.output;

    // The page's text file: a byte-order mark, UTF-16LE, the drawn words
    // (word accuracy by edit distance over words); the message sent holds
    // the same words.
    auto texts = FilesIn(pictures, ".txt");
    std::sort(texts.begin(), texts.end());
    const auto messages = FilesIn(device / "Outbox", ".eml");
    ASSERT_EQ(texts.size(), 2u) << "the texts of the two pages saved";
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_TRUE(fs::exists(fs::path(texts[0]).replace_extension(".jpg"))) << "named after its picture";
    const std::string pageScript =
        "import sys, email\n"
        "raw = open(sys.argv[1], 'rb').read()\n"
        "print('bom=' + raw[:2].hex())\n"
        "text = raw[2:].decode('utf-16-le')\n"
        "truth = open(sys.argv[2], encoding='utf-8').read().split()\n"
        "got = text.split()\n"
        "row = list(range(len(got) + 1))\n"
        "for i, word in enumerate(truth, 1):\n"
        "    last, row[0] = row[0], i\n"
        "    for j, seen in enumerate(got, 1):\n"
        "        last, row[j] = row[j], min(row[j] + 1, row[j - 1] + 1, last + (word != seen))\n"
        "print('accuracy=%.3f' % (1 - row[-1] / len(truth)))\n"
        "message = email.message_from_binary_file(open(sys.argv[3], 'rb'))\n"
        "print('account=' + message['X-Account'])\n"
        "body = message.get_payload(decode=True).decode(message.get_content_charset())\n"
        "print('same words=' + str(body.split() == got))\n";
    std::ofstream(dir.path() / "read_page.py") << pageScript;
    const fs::path truth = fs::path(LUM_BINARY_DIR) / "tools" / "cardgen" / "cards" / "page.truth.txt";
    Outcome page = lumrun::Run("/usr/bin/python3 '" + (dir.path() / "read_page.py").string() + "' '" +
                               texts[0].string() + "' '" + truth.string() + "' '" + messages[0].string() + "'");
    ASSERT_EQ(page.exitCode, 0) << page.output;
    EXPECT_NE(page.output.find("bom=fffe\n"), std::string::npos) << page.output;
    const auto at = page.output.find("accuracy=");
    ASSERT_NE(at, std::string::npos) << page.output;
    EXPECT_GE(std::atof(page.output.c_str() + at + 9), 0.95) << page.output;
    EXPECT_NE(page.output.find("account=SMS\n"), std::string::npos) << page.output;
    EXPECT_NE(page.output.find("same words=True\n"), std::string::npos) << page.output;
}

}  // namespace
