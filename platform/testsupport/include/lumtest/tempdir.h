// A fresh temporary folder for one test, removed with everything in it.
#pragma once

#include <filesystem>

namespace lumtest {

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

// The read-only files of ../shared/testdata.
std::filesystem::path TestData(const std::filesystem::path& relative);

}  // namespace lumtest
