#include "lumtest/tempdir.h"

#include <cstdlib>
#include <stdexcept>
#include <string>

namespace lumtest {

TempDir::TempDir()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "lumtest-XXXXXX").string();
    if (!mkdtemp(pattern.data()))
        throw std::runtime_error("cannot create a temporary folder");
    path_ = pattern;
}

TempDir::~TempDir()
{
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

std::filesystem::path TestData(const std::filesystem::path& relative)
{
#ifdef LUM_TESTDATA
    return std::filesystem::path(LUM_TESTDATA) / relative;
#else
    return std::filesystem::path("../shared/testdata") / relative;
#endif
}

}  // namespace lumtest
