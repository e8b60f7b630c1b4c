#include <fstream>
#include <string>

#include "services_fixture.h"
#include "utility.h"

namespace {

TEST(Utility, FileExtensionLooksOnlyAtTheFileName)
{
    struct Case {
        const wchar_t* path;
        const wchar_t* extension;
    } cases[] = {
        {L"\\My Documents\\KVIM\\B261210001.jpg", L".jpg"},
        {L"\\Storage.Card\\KVIM\\picture", L""},  // the dot is the folder's
        {L"\\Storage.Card\\clip.tar.3gp", L".3gp"},
        {L"name.", L"."},
        {L"", L""},
        {nullptr, L""},
    };
    for (const Case& c : cases)
        EXPECT_STREQ(GetFileExtension(c.path), c.extension) << (c.path ? c.path : L"(null)");
}

class UtilityFiles : public ServicesFixture {
protected:
    void TearDown() override
    {
        CUtility::ReleaseInstance();
        ServicesFixture::TearDown();
    }
};

TEST_F(UtilityFiles, FileSizes)
{
    std::ofstream(root.path() / "empty.jpg").close();
    std::ofstream(root.path() / "five.jpg") << "12345";
    CUtility* utility = CUtility::GetInstance();
    EXPECT_EQ(utility->GetFileSize(L"\\five.jpg"), 5u);
    EXPECT_EQ(utility->GetFileSize(L"\\empty.jpg"), 0u);
    EXPECT_EQ(utility->GetFileSize(L"\\missing.jpg"), 0u);
}

}  // namespace
