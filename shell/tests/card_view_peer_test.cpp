// The card view's full-disk road replayed by lumocr: the failed Save leaves
// nothing in \Contacts, the next Save stores the card, and python3-vobject
// reads the contact with the company as it was typed over.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "lumocr_run.h"

namespace {

namespace fs = std::filesystem;

TEST(CardViewPeer, AFailedSaveLeavesNothingAndTheNextOneIsReadByVobject)
{
    if (lumrun::Run("/usr/bin/python3 -c 'import vobject'").exitCode != 0)
        GTEST_SKIP() << "python3-vobject is not installed";
    lumtest::TempDir dir;
    const fs::path scenario = fs::path(LUM_SOURCE_DIR) / "resources" / "scenarios" / "card-full-disk.txt";
    lumrun::Outcome r = lumrun::Run(std::string(LUM_BINARY_DIR) + "/bin/lumocr --root '" + lumrun::Device(dir) +
                                    "' --scenario '" + scenario.string() + "'");
    ASSERT_EQ(r.exitCode, 0) << r.output;
    const auto failed = r.output.find("card view notice 2");
    ASSERT_NE(failed, std::string::npos) << "the failure notice";
    EXPECT_NE(r.output.find("card view notice 0", failed), std::string::npos) << "then the saved notice";

    // One contact and nothing else: the failed store left no file behind.
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(fs::path(lumrun::Device(dir)) / "Contacts"))
        files.push_back(entry.path());
    ASSERT_EQ(files.size(), 1u);
    ASSERT_EQ(files[0].extension(), ".vcf");

    const fs::path reader = dir.path() / "read_card.py";
    std::ofstream(reader) << "import sys, vobject\n"
                             "card = vobject.readOne(open(sys.argv[1], encoding='utf-8').read())\n"
                             "print('fn=' + card.fn.value)\n"
                             "print('org=' + ';'.join(card.org.value))\n"
                             "print('email=' + card.email.value)\n"
                             "for tel in card.contents.get('tel', []):\n"
                             "    print('tel ' + ','.join(tel.params.get('TYPE', [])) + '=' + tel.value)\n";
    lumrun::Outcome card = lumrun::Run("/usr/bin/python3 '" + reader.string() + "' '" + files[0].string() + "'");
    ASSERT_EQ(card.exitCode, 0) << card.output;
    for (const char* line : {"fn=Julia Hartmann\n", "org=Nordwind & Partners Ltd\n",
                             "email=julia.hartmann@nordwind.co.uk\n", "tel CELL=+44 7700 900123\n"})
        EXPECT_NE(card.output.find(line), std::string::npos) << line << card.output;
}

}  // namespace
