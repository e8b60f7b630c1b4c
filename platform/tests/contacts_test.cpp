#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "lumtest/tempdir.h"
#include "plat/device.h"
#include "plat/file.h"
#include "plat/pimstore.h"
#include "plat/registry.h"
#include "plat/utf.h"

namespace fs = std::filesystem;

namespace {

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2)
        lines.push_back(text.substr(start, end - start));
    EXPECT_EQ(start, text.size()) << "the text ends with CR LF";
    return lines;
}

// Physical lines joined again.
std::vector<std::string> Unfolded(const std::string& text)
{
    std::vector<std::string> out;
    for (const std::string& line : Lines(text)) {
        if (!line.empty() && line[0] == ' ' && !out.empty())
            out.back() += line.substr(1);
        else
            out.push_back(line);
    }
    return out;
}

bool IsUtf8Lead(unsigned char c) { return (c & 0xC0) != 0x80; }

TEST(VCardFormatTest, FieldsEscapedAndEmptyOnesLeftOut)
{
    plat::ContactFields f;
    f.fileAs = L"Jean-Luc Dupré";
    f.mobile = L"+33 6 12 34 56 78";
    f.company = L"Dupré, Fils; et \\Cie\nParis";
    f.email = L"jl@dupre.fr";
    std::string text = plat::FormatVCard(f, L"u-1", L"2026-12-11T00:00:00Z");
    EXPECT_EQ(Unfolded(text), (std::vector<std::string>{
                                  "BEGIN:VCARD",
                                  "VERSION:3.0",
                                  "FN:Jean-Luc Dupré",
                                  "N:Dupré;Jean-Luc;;;",
                                  "TEL;TYPE=CELL:+33 6 12 34 56 78",
                                  "ORG:Dupré\\, Fils\\; et \\\\Cie\\nParis",
                                  "EMAIL;TYPE=INTERNET:jl@dupre.fr",
                                  "UID:u-1",
                                  "REV:2026-12-11T00:00:00Z",
                                  "END:VCARD",
                              }));
}

TEST(VCardFormatTest, LongLinesFoldAt75OctetsWithoutPartingACharacter)
{
    struct Case {
        const char* what;
        std::wstring company;
    } cases[] = {
        {"fits exactly", std::wstring(71, L'a')},          // "ORG:" + 71 = 75 octets
        {"one over", std::wstring(72, L'a')},
        {"two-byte characters across the edge", std::wstring(70, L'a') + std::wstring(40, L'é')},
        {"three-byte characters", std::wstring(200, L'€')},
        {"a character outside the first plane", std::wstring(3, L'a') + std::wstring(60, L'\U0001F600')},
    };
    for (const Case& c : cases) {
        plat::ContactFields f;
        f.company = c.company;
        std::string text = plat::FormatVCard(f, L"u", L"r");
        for (const std::string& line : Lines(text)) {
            EXPECT_LE(line.size(), 75u) << c.what;
            ASSERT_FALSE(line.empty()) << c.what;
            size_t first = line[0] == ' ' ? 1 : 0;
            if (first < line.size()) {
                EXPECT_TRUE(IsUtf8Lead(static_cast<unsigned char>(line[first]))) << c.what;
            }
        }
        auto unfolded = Unfolded(text);
        EXPECT_NE(std::find(unfolded.begin(), unfolded.end(), "ORG:" + plat::ToUtf8(c.company)), unfolded.end())
            << c.what;
    }
    plat::ContactFields exact;
    exact.company = std::wstring(71, L'a');
    EXPECT_EQ(Lines(plat::FormatVCard(exact, L"u", L"r")).size(), 8u);  // nothing folded
}

class ContactStoreTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        plat::SetDeviceRoot(root.path());
        ASSERT_TRUE(plat::OpenRegistry(false));
    }
    void TearDown() override { plat::CloseRegistry(); }

    ComPtr<IContact> NewContact(IPOutlookApp* app)
    {
        IUnknown* item = nullptr;
        EXPECT_EQ(app->CreateItem(olContactItem, &item), S_OK);
        IContact* contact = nullptr;
        if (item) {
            item->QueryInterface(IID_IContact, reinterpret_cast<void**>(&contact));
            item->Release();
        }
        ComPtr<IContact> out(contact);
        if (contact)
            contact->Release();
        return out;
    }
    std::vector<fs::path> Files()
    {
        std::vector<fs::path> out;
        if (fs::exists(root.path() / "Contacts")) {
            for (auto& e : fs::directory_iterator(root.path() / "Contacts"))
                out.push_back(e.path());
        }
        return out;
    }
    ComPtr<IPOutlookApp> Application()
    {
        IPOutlookApp* app = nullptr;
        EXPECT_EQ(CoCreateInstance(CLSID_Application, nullptr, CLSCTX_INPROC_SERVER, IID_IPOutlookApp,
                                   reinterpret_cast<void**>(&app)),
                  S_OK);
        ComPtr<IPOutlookApp> out(app);
        if (app)
            app->Release();
        return out;
    }

    lumtest::TempDir root;
};

TEST_F(ContactStoreTest, ASavedContactIsOneFileNamedByItsUid)
{
    auto app = Application();
    ASSERT_TRUE(app);
    IUnknown* none = nullptr;
    EXPECT_EQ(app->CreateItem(olContactItem, &none), E_FAIL);  // not logged on
    ASSERT_EQ(app->Logon(0), S_OK);
    auto contact = NewContact(app.Get());
    ASSERT_TRUE(contact);
    BSTR name = SysAllocString(L"Ann Lee");
    contact->put_FileAs(name);
    SysFreeString(name);
    ASSERT_EQ(contact->Save(), S_OK);
    auto files = Files();
    ASSERT_EQ(files.size(), 1u);
    std::ifstream in(files[0], std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(in)), {});
    auto lines = Unfolded(text);
    auto uid = std::find_if(lines.begin(), lines.end(), [](auto& l) { return l.rfind("UID:", 0) == 0; });
    ASSERT_NE(uid, lines.end());
    EXPECT_EQ(files[0].filename().string(), uid->substr(4) + ".vcf");
    EXPECT_EQ(app->Logoff(), S_OK);
}

TEST_F(ContactStoreTest, AFullVolumeFailsTheSaveAndLeavesNothing)
{
    auto app = Application();
    ASSERT_EQ(app->Logon(0), S_OK);
    RegistrySetDWORD(HKEY_LOCAL_MACHINE, plat::kDiskKey, L"FreeKB", 0);
    ULARGE_INTEGER free{};
    ASSERT_TRUE(GetDiskFreeSpaceExW(L"\\Contacts", &free, nullptr, nullptr));
    EXPECT_EQ(free.QuadPart, 0u);
    auto contact = NewContact(app.Get());
    EXPECT_EQ(contact->Save(), HRESULT_FROM_WIN32(ERROR_DISK_FULL));
    EXPECT_TRUE(Files().empty());

    RegistrySetDWORD(HKEY_LOCAL_MACHINE, plat::kDiskKey, L"FreeKB", 1);
    EXPECT_EQ(contact->Save(), S_OK);
    EXPECT_EQ(Files().size(), 1u);
}

TEST_F(ContactStoreTest, LogonClearsTemporariesThatACrashLeft)
{
    fs::create_directories(root.path() / "Contacts");
    std::ofstream(root.path() / "Contacts" / ".abc.vcf.tmp") << "BEGIN:VCARD\r\nVERS";
    std::ofstream(root.path() / "Contacts" / "kept.vcf") << "x";
    auto app = Application();
    ASSERT_EQ(app->Logon(0), S_OK);
    auto files = Files();
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(files[0].filename(), "kept.vcf");
}

TEST(ContactStoreCrash, KillDuringSavesLeavesWholeFilesOrNone)
{
    lumtest::TempDir root;
    fs::path folder = root.path() / "Contacts";
    const std::string writer = std::string(LUM_BINARY_DIR) + "/bin/lum_writer_probe";
    const std::string dir = root.path().string();
    size_t whole = 0;
    for (int attempt = 0; attempt < 5; ++attempt) {
        pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            execl(writer.c_str(), writer.c_str(), dir.c_str(), "contacts", static_cast<char*>(nullptr));
            _exit(127);
        }
        // Kill it among its saves: once the first contact of this round is down.
        const size_t before = whole;
        auto saved = [&] {
            size_t n = 0;
            if (fs::exists(folder))
                for (auto& entry : fs::directory_iterator(folder))
                    n += entry.path().filename().string()[0] != '.';
            return n > before;
        };
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (!saved() && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        std::this_thread::sleep_for(std::chrono::milliseconds(15 + 23 * attempt));
        kill(pid, SIGKILL);
        int status = 0;
        waitpid(pid, &status, 0);
        ASSERT_TRUE(WIFSIGNALED(status));

        for (auto& entry : fs::directory_iterator(folder)) {
            std::string name = entry.path().filename().string();
            if (name[0] == '.')
                continue;  // a temporary: the next logon removes it
            std::ifstream in(entry.path(), std::ios::binary);
            std::string text((std::istreambuf_iterator<char>(in)), {});
            ASSERT_EQ(text.rfind("BEGIN:VCARD\r\n", 0), 0u) << name;
            ASSERT_TRUE(text.ends_with("END:VCARD\r\n")) << name;
        }
        whole = 0;
        for (auto& entry : fs::directory_iterator(folder))
            whole += entry.path().filename().string()[0] != '.';
        EXPECT_GT(whole, before) << "attempt " << attempt;
    }
}

}  // namespace
