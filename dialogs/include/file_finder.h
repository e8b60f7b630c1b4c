// A walk of a folder tree that collects the files (and, on request, the
// folders) whose names pass ';'-separated mask lists, adding up their sizes.
// A mask is an anchored glob: '*' any run, '?' exactly one character,
// letters compared without regard to case, as the device finds names.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "plat/windows.h"

struct FileFindSettings {
    BYTE recurse = 0;              // descend into folders that pass the folder masks
    BYTE includeFolders = 0;       // collect those folders too
    volatile LONG* cancelFlag = nullptr;  // non-zero stops the search; may be set by another thread
    std::wstring root;
    std::wstring includeMasks;
    std::wstring excludeMasks;
    std::wstring folderExcludeMasks;
};

class CFileFinder {
public:
    struct Entry {
        WIN32_FIND_DATAW findData;
        std::wstring folder;  // where it was found
    };

    explicit CFileFinder(const FileFindSettings& settings);
    ~CFileFinder();
    CFileFinder(const CFileFinder&) = delete;
    CFileFinder& operator=(const CFileFinder&) = delete;

    // Starts from empty results; entries keep the platform's order, folders'
    // contents before the folder itself.
    void Find();
    void Clear();

    const std::vector<Entry>& Entries() const { return m_entries; }
    uint64_t TotalSize() const { return m_totalSize; }

    // folder + "\" + name, without doubling a trailing "\"; an empty folder
    // or an empty name gets no separator.
    static std::wstring CombinePath(const std::wstring& folder, const std::wstring& name);
    // An empty list matches nothing.
    static BOOL MatchMaskList(const std::wstring& masks, LPCWSTR name);
    static BOOL MatchMask(LPCWSTR mask, LPCWSTR name);

private:
    BOOL FindNextMatch(HANDLE* handle, WIN32_FIND_DATAW* findData, const std::wstring& folder);
    BOOL Matches(const WIN32_FIND_DATAW& findData) const;
    // False once the cancel word is seen, so every level stops.
    bool FindRecursive(const std::wstring& folder);
    bool Cancelled() const { return m_settings.cancelFlag && *m_settings.cancelFlag != 0; }

    FileFindSettings m_settings;
    std::vector<Entry> m_entries;
    uint64_t m_totalSize = 0;
};
