#include "poom_contact.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <set>

#include "lumtest/tempdir.h"
#include "plat/device.h"
#include "plat/utf.h"
#include "plat/windows.h"

namespace fs = std::filesystem;

namespace {

void Put(WCHAR (&out)[kResultTextChars], const std::wstring& text)
{
    std::fill(std::begin(out), std::end(out), 0);
    std::copy_n(text.begin(), std::min<size_t>(text.size(), kResultTextChars), out);
}

// A card of seven items in category order.
std::array<ResultItem, 7> Card(const std::array<std::wstring, 7>& texts)
{
    std::array<ResultItem, 7> card{};
    for (int i = 0; i < 7; ++i) {
        card[i].type = i;
        Put(card[i].text, texts[i]);
    }
    return card;
}

std::string ReadAll(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), {});
}

class ContactExportTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        plat::SetDeviceRoot(root.path());
        ASSERT_TRUE(plat::OpenRegistry(false));
    }
    void TearDown() override { plat::CloseRegistry(); }

    std::vector<fs::path> Files()
    {
        std::vector<fs::path> out;
        if (fs::exists(contacts)) {
            for (auto& e : fs::directory_iterator(contacts))
                out.push_back(e.path());
        }
        return out;
    }
    // Every file's text, one string.
    std::string AllText()
    {
        std::string all;
        for (const fs::path& f : Files())
            all += ReadAll(f);
        return all;
    }

    lumtest::TempDir root;
    fs::path contacts = root.path() / "Contacts";
    CPoomContact poom;
};

TEST_F(ContactExportTest, TheCardOnScreenSetsEveryCategory)
{
    ResultText texts[7]{};
    const wchar_t* values[7] = {L"Ann Lee", L"0171 555", L"030 111", L"Lee GmbH", L"ann@lee.de", L"030 112",
                                L"www.lee.de"};
    for (int i = 0; i < 7; ++i)
        Put(texts[i].text, values[i]);
    ASSERT_EQ(poom.SaveCurrentContact(nullptr, texts), S_OK);
    ASSERT_EQ(Files().size(), 1u);
    std::string text = AllText();
    for (const char* line : {"FN:Ann Lee\r\n", "TEL;TYPE=CELL:0171 555\r\n", "TEL;TYPE=WORK,VOICE:030 111\r\n",
                             "ORG:Lee GmbH\r\n", "EMAIL;TYPE=INTERNET:ann@lee.de\r\n", "TEL;TYPE=WORK,FAX:030 112\r\n",
                             "URL:www.lee.de\r\n"})
        EXPECT_NE(text.find(line), std::string::npos) << line;
}

TEST_F(ContactExportTest, ItemsAreTakenByTypeUpToTheEndMarker)
{
    // Out of category order, a repeated type (the later wins), an unknown type
    // skipped; the second card ends at once and is still saved, empty.
    std::array<ResultItem, 7> mixed{};
    int types[7] = {4, 0, 9, 0, 3, kResultEndType, 1};
    const wchar_t* values[7] = {L"a@b.c", L"First", L"skipped", L"Second", L"Firm", L"", L"never"};
    for (int i = 0; i < 7; ++i) {
        mixed[i].type = types[i];
        Put(mixed[i].text, values[i]);
    }
    std::array<ResultItem, 7> empty{};
    empty[0].type = kResultEndType;
    ResultItem* cards[2] = {mixed.data(), empty.data()};
    int stored = -1;
    ASSERT_EQ(poom.SaveAllContacts(nullptr, cards, 2, &stored), S_OK);
    EXPECT_EQ(stored, 2);
    ASSERT_EQ(Files().size(), 2u);
    std::string text = AllText();
    EXPECT_NE(text.find("FN:Second\r\n"), std::string::npos);
    EXPECT_NE(text.find("EMAIL;TYPE=INTERNET:a@b.c\r\n"), std::string::npos);
    EXPECT_NE(text.find("ORG:Firm\r\n"), std::string::npos);
    EXPECT_EQ(text.find("skipped"), std::string::npos);
    EXPECT_EQ(text.find("never"), std::string::npos);
    EXPECT_NE(text.find("FN:\r\n"), std::string::npos);  // the empty contact
}

TEST_F(ContactExportTest, ATextOfAWholeArrayIsCutTo255Characters)
{
    ResultText texts[7]{};
    std::fill(std::begin(texts[3].text), std::end(texts[3].text), L'x');  // no terminator
    ASSERT_EQ(poom.SaveCurrentContact(nullptr, texts), S_OK);
    std::string text = AllText();
    std::string unfolded;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text.compare(i, 3, "\r\n ") == 0)
            i += 2;
        else
            unfolded.push_back(text[i]);
    }
    EXPECT_NE(unfolded.find("ORG:" + std::string(255, 'x') + "\r\n"), std::string::npos);
}

TEST_F(ContactExportTest, SaveAllStopsAtTheFirstCardNotStored)
{
    // Room for a small card, not for one with every field full.
    RegistrySetDWORD(HKEY_LOCAL_MACHINE, plat::kDiskKey, L"FreeKB", 1);
    std::wstring full(256, L'w');
    auto small1 = Card({L"One", L"", L"", L"", L"", L"", L""});
    auto big = Card({full, full, full, full, full, full, full});
    auto small2 = Card({L"Three", L"", L"", L"", L"", L"", L""});
    ResultItem* cards[3] = {small1.data(), big.data(), small2.data()};
    int stored = -1;
    EXPECT_EQ(poom.SaveAllContacts(nullptr, cards, 3, &stored), HRESULT_FROM_WIN32(ERROR_DISK_FULL));
    EXPECT_EQ(stored, 1);
    ASSERT_EQ(Files().size(), 1u);
    EXPECT_NE(AllText().find("FN:One\r\n"), std::string::npos);

    RegistrySetDWORD(HKEY_LOCAL_MACHINE, plat::kDiskKey, L"FreeKB", 0);
    ResultText texts[7]{};
    EXPECT_TRUE(FAILED(poom.SaveCurrentContact(nullptr, texts)));
    EXPECT_EQ(Files().size(), 1u);
}

// Debian's vCard reader reads back every file of a Save All.
class ContactExportPeer : public ContactExportTest {};

TEST_F(ContactExportPeer, AnIndependentReaderReadsEveryFieldBack)
{
    if (std::system("/usr/bin/python3 -c 'import vobject' 2>/dev/null") != 0)
        GTEST_SKIP() << "python3-vobject is not installed (tools/scripts/deps.sh installs it)";
    std::wstring company200;
    for (int i = 0; company200.size() < 200; ++i)
        company200 += L"Société Générale, Œuvres; ";
    company200.resize(200);
    std::array<std::array<std::wstring, 7>, 3> values = {{
        {L"José Müller-Lüdenscheidt", L"+49 171 555 0101", L"+49 30 555 0100", L"Müller & Söhne, Berlin",
         L"jose@mueller.de", L"+49 30 555 0199", L"http://mueller.de/kontakt"},
        {L"Smith, John; Jr.", L"", L"(212) 555-0142", company200, L"", L"", L""},
        {L"Ирина Петрова", L"+7 495 555 01 23", L"", L"ООО «Ромашка»", L"irina@romashka.ru", L"", L"romashka.ru"},
    }};
    std::array<std::array<ResultItem, 7>, 3> cards;
    ResultItem* slots[3];
    for (int k = 0; k < 3; ++k) {
        cards[k] = Card(values[k]);
        slots[k] = cards[k].data();
    }
    int stored = 0;
    ASSERT_EQ(poom.SaveAllContacts(nullptr, slots, 3, &stored), S_OK);
    ASSERT_EQ(stored, 3);

    fs::path script = root.path() / "read.py";
    std::ofstream(script) << R"PY(
import os, sys, vobject
folder = sys.argv[1]
for name in sorted(os.listdir(folder)):
    with open(os.path.join(folder, name), encoding="utf-8", newline="") as f:
        for card in vobject.readComponents(f.read()):
            tels = {}
            for tel in card.contents.get("tel", []):
                tels[",".join(sorted(t.upper() for t in tel.params.get("TYPE", [])))] = tel.value
            def one(key):
                return card.contents[key][0].value if key in card.contents else ""
            org = one("org")
            if isinstance(org, list):
                org = ";".join(org)
            fields = [card.fn.value, tels.get("CELL", ""), tels.get("VOICE,WORK", ""), org, one("email"),
                      tels.get("FAX,WORK", ""), one("url"), card.n.value.family, name[:-4] == one("uid") and "uid" or "?"]
            print("\t".join(fields))
)PY";
    fs::path out = root.path() / "out.txt";
    std::string command = "/usr/bin/python3 " + script.string() + " " + contacts.string() + " > " + out.string();
    ASSERT_EQ(std::system(command.c_str()), 0);
    std::multiset<std::string> read;
    std::ifstream in(out);
    for (std::string line; std::getline(in, line);)
        read.insert(line);
    std::multiset<std::string> expected;
    const char* families[3] = {"Müller-Lüdenscheidt", "Jr.", "Петрова"};
    for (int k = 0; k < 3; ++k) {
        std::string line;
        for (const std::wstring& v : values[k])
            line += plat::ToUtf8(v) + "\t";
        expected.insert(line + families[k] + "\tuid");
    }
    EXPECT_EQ(read, expected);
}

}  // namespace
