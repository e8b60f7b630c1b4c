#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "lumtest/tempdir.h"
#include "plat/device.h"
#include "plat/file.h"
#include "plat/mail.h"
#include "plat/registry.h"
#include "plat/utf.h"

namespace fs = std::filesystem;

namespace {

MAILCOMPOSEMESSAGE Sms(LPCWSTR body)
{
    MAILCOMPOSEMESSAGE m{};
    m.cbSize = sizeof m;
    m.dwFlags = MCMF_SENDNOW;
    m.pszBody = body;
    m.pszAccount = L"SMS";
    m.pszMsgClass = L"IPM.MMS";
    return m;
}

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2)
        lines.push_back(text.substr(start, end - start));
    EXPECT_EQ(start, text.size()) << "every line ends with CR LF";
    return lines;
}

std::string ReadAll(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), {});
}

TEST(MailFormat, HeadersAndAPlainBody)
{
    MAILCOMPOSEMESSAGE m = Sms(L"Total: 100%\nline two\r\nline three");
    auto lines = Lines(plat::FormatMailMessage(m, L"id-1", "Fri, 11 Dec 2026 06:10:53 +0000"));
    EXPECT_EQ(lines, (std::vector<std::string>{
                         "Date: Fri, 11 Dec 2026 06:10:53 +0000",
                         "Message-ID: <id-1@outbox.lumocr>",
                         "X-Account: SMS",
                         "X-Message-Class: IPM.MMS",
                         "MIME-Version: 1.0",
                         "Content-Type: text/plain; charset=utf-8",
                         "Content-Transfer-Encoding: 8bit",
                         "",
                         "Total: 100%",
                         "line two",
                         "line three",
                     }));
}

TEST(MailFormat, HeaderValuesCannotStartHeadersAndLongLinesAreEncoded)
{
    MAILCOMPOSEMESSAGE m = Sms(nullptr);
    m.pszTo = L"a@b.c\r\nBcc: evil@x.y";
    m.pszSubject = L"Grüße aus Köln, ein recht langer Betreff mit Umlauten äöü";
    std::wstring body(3000, L'é');
    m.pszBody = body.c_str();
    auto lines = Lines(plat::FormatMailMessage(m, L"id", "d"));
    size_t bcc = 0, longest = 0;
    bool quoted = false, encodedSubject = false;
    for (const std::string& l : lines) {
        bcc += l.rfind("Bcc:", 0) == 0;
        longest = std::max(longest, l.size());
        quoted = quoted || l == "Content-Transfer-Encoding: quoted-printable";
        encodedSubject = encodedSubject || l.rfind("Subject: =?utf-8?B?", 0) == 0;
    }
    EXPECT_EQ(bcc, 0u) << "a line break in a value stays inside its header";
    EXPECT_TRUE(encodedSubject);
    EXPECT_TRUE(quoted) << "a line past 998 octets";
    EXPECT_LE(longest, 78u);
}

class OutboxTest : public ::testing::Test {
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
        if (fs::exists(outbox))
            for (auto& e : fs::directory_iterator(outbox))
                out.push_back(e.path());
        return out;
    }
    lumtest::TempDir root;
    fs::path outbox = root.path() / "Outbox";
};

TEST_F(OutboxTest, EachMessageIsOneFileAndAFailureLeavesNone)
{
    MAILCOMPOSEMESSAGE m = Sms(L"hello");
    ASSERT_EQ(MailComposeMessage(&m), S_OK);
    ASSERT_EQ(MailComposeMessage(&m), S_OK);
    auto files = Files();
    ASSERT_EQ(files.size(), 2u);
    for (const fs::path& f : files) {
        EXPECT_EQ(f.extension(), ".eml");
        std::string text = ReadAll(f);
        EXPECT_NE(text.find("Message-ID: <" + f.stem().string() + "@"), std::string::npos) << "named by its id";
        EXPECT_EQ(text.substr(text.size() - 7), "hello\r\n");
    }

    RegistrySetDWORD(HKEY_LOCAL_MACHINE, plat::kDiskKey, L"FreeKB", 0);
    EXPECT_EQ(MailComposeMessage(&m), HRESULT_FROM_WIN32(ERROR_DISK_FULL));
    EXPECT_EQ(Files().size(), 2u) << "no message and no temporary";

    MAILCOMPOSEMESSAGE bad = m;
    bad.cbSize = 44;
    MAILCOMPOSEMESSAGE attached = Sms(L"x");
    attached.pszAttachments = L"\\My Documents\\a.jpg";
    for (MAILCOMPOSEMESSAGE* r : {static_cast<MAILCOMPOSEMESSAGE*>(nullptr), &bad, &attached})
        EXPECT_EQ(MailComposeMessage(r), E_INVALIDARG);
}

// Python's own e-mail parser reads back what the outbox wrote.
class OutboxPeer : public OutboxTest {};

TEST_F(OutboxPeer, MessagesReadBackThroughPythonsEmailParser)
{
    if (std::system("/usr/bin/python3 -c 'import email' 2>/dev/null") != 0)
        GTEST_SKIP() << "python3 is not installed";
    struct Case {
        std::wstring subject, body, expected;
    } cases[] = {
        {L"", L"Rechnung 100% bezahlt\r\nÄnderung: ß", L"Rechnung 100% bezahlt\nÄnderung: ß\n"},
        {L"Grüße aus Köln", std::wstring(1500, L'ж') + L"\nend", std::wstring(1500, L'ж') + L"\nend\n"},
        {L"", L"", L"\n"},
    };
    for (const Case& c : cases) {
        fs::remove_all(outbox);
        MAILCOMPOSEMESSAGE m = Sms(c.body.c_str());
        m.pszSubject = c.subject.empty() ? nullptr : c.subject.c_str();
        ASSERT_EQ(MailComposeMessage(&m), S_OK);
        auto files = Files();
        ASSERT_EQ(files.size(), 1u);
        fs::path out = root.path() / "parsed.txt";
        std::string script = "/usr/bin/python3 -c '"
                             "import sys, email, email.policy\n"
                             "m = email.message_from_binary_file(open(sys.argv[1], \"rb\"), policy=email.policy.default)\n"
                             "assert not m.defects, m.defects\n"
                             "open(sys.argv[2], \"w\", encoding=\"utf-8\").write("
                             "m[\"X-Account\"] + \"|\" + m[\"X-Message-Class\"] + \"|\" + (m[\"Subject\"] or \"\") + \"|\" + "
                             "m.get_content())' " +
                             files[0].string() + " " + out.string();
        ASSERT_EQ(std::system(script.c_str()), 0);
        EXPECT_EQ(plat::FromUtf8(ReadAll(out)), L"SMS|IPM.MMS|" + c.subject + L"|" + c.expected);
    }
}

}  // namespace
