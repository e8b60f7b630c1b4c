// The registry the services leave behind, read by the registry tool.
#include <cstdio>
#include <sstream>
#include <string>

#include "services_fixture.h"

namespace {

std::string Dump(const std::filesystem::path& root)
{
    std::string command = std::string(LUM_BINARY_DIR) + "/bin/lumreg --root '" + root.string() + "' dump";
    std::string out;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[4096];
        std::size_t n;
        while ((n = std::fread(buffer, 1, sizeof(buffer), pipe)) > 0)
            out.append(buffer, n);
        pclose(pipe);
    }
    return out;
}

// The value lines of one key, in the dump's order (by name).
std::string Section(const std::string& dump, const std::string& key)
{
    std::istringstream in(dump);
    std::string line, out;
    bool inside = false;
    while (std::getline(in, line)) {
        if (!line.empty() && line[0] == '[') {
            inside = line == "[" + key + "]";
            continue;
        }
        if (inside && !line.empty() && line[0] != ';')
            out += line + "\n";
    }
    return out;
}

class RegistryState : public ServicesFixture {};

TEST_F(RegistryState, StartUpAndTwoPicturesLeaveTheseValues)
{
    SetDate(2026, 12, 10);
    CSettings* settings = CSettings::GetInstance();
    settings->Load(L"");
    OcrOptions options;
    settings->LoadOcrOptions(options);
    WCHAR name[MAX_PATH], path[MAX_PATH];
    CFileControl::GetInstance()->MakeOcrPictureName(name, path);
    CFileControl::GetInstance()->MakeOcrPictureName(name, path);
    settings->SignalStart(0);
    settings->SignalEnd();
    CFileControl::ReleaseInstance();
    ASSERT_TRUE(plat::FlushRegistry());

    std::string dump = Dump(root.path());
    ASSERT_FALSE(dump.empty()) << "lumreg dump gave nothing";
    EXPECT_EQ(Section(dump, "HKEY_CURRENT_USER\\SOFTWARE\\Quarlo\\LumOCR"),
              "\"BCROCR_MODE\"=dword:00000001\n"
              "\"BCRPictureCount\"=dword:0f91bf93\n"  // 261210003
              "\"EnableAutoFocus\"=dword:00000001\n"
              "\"EnableAutoSave\"=dword:00000001\n"
              "\"SelectedLanguage\"=dword:00000000\n");
    EXPECT_EQ(Section(dump, "HKEY_CURRENT_USER\\SOFTWARE\\Velmora\\Camera"),
              "\"DCFNumber\"=dword:00000001\n"
              "\"Run\"=dword:00000000\n");
    EXPECT_EQ(Section(dump, "HKEY_LOCAL_MACHINE\\System\\State\\Velmora\\Keypad"),
              "\"SleepSoon\"=dword:00000000\n");
}

}  // namespace
