#include "file_finder.h"

#include <cwctype>

namespace {

bool SameLetter(WCHAR a, WCHAR b) { return a == b || std::towupper(a) == std::towupper(b); }

// Anchored glob with backtracking to the last '*': linear in practice and
// never recursive, so a hostile name cannot blow the stack.
bool Glob(const WCHAR* mask, const WCHAR* name)
{
    const WCHAR* star = nullptr;
    const WCHAR* resume = nullptr;
    while (*name) {
        if (*mask == L'*') {
            star = mask++;
            resume = name;
        } else if (*mask && (*mask == L'?' || SameLetter(*mask, *name))) {
            ++mask;
            ++name;
        } else if (star) {
            mask = star + 1;
            name = ++resume;
        } else {
            return false;
        }
    }
    while (*mask == L'*')
        ++mask;
    return *mask == 0;
}

bool IsDots(const WCHAR* name) { return name[0] == L'.' && (name[1] == 0 || (name[1] == L'.' && name[2] == 0)); }

}  // namespace

CFileFinder::CFileFinder(const FileFindSettings& settings) : m_settings(settings) {}

CFileFinder::~CFileFinder() = default;

void CFileFinder::Clear()
{
    m_entries.clear();
    m_totalSize = 0;
}

void CFileFinder::Find()
{
    Clear();
    FindRecursive(m_settings.root);
}

std::wstring CFileFinder::CombinePath(const std::wstring& folder, const std::wstring& name)
{
    std::wstring path = folder;
    if (!folder.empty() && !name.empty() && folder.back() != L'\\')
        path += L'\\';
    path += name;
    return path;
}

BOOL CFileFinder::MatchMask(LPCWSTR mask, LPCWSTR name)
{
    return Glob(mask ? mask : L"", name ? name : L"") ? TRUE : FALSE;
}

BOOL CFileFinder::MatchMaskList(const std::wstring& masks, LPCWSTR name)
{
    if (masks.empty())
        return FALSE;
    size_t start = 0;
    for (;;) {
        const size_t end = masks.find(L';', start);
        const std::wstring mask = masks.substr(start, end == std::wstring::npos ? std::wstring::npos : end - start);
        if (MatchMask(mask.c_str(), name))
            return TRUE;
        if (end == std::wstring::npos)
            return FALSE;
        start = end + 1;
    }
}

BOOL CFileFinder::FindNextMatch(HANDLE* handle, WIN32_FIND_DATAW* findData, const std::wstring& folder)
{
    for (;;) {
        BOOL found;
        if (*handle == nullptr) {
            HANDLE search = FindFirstFileW(CombinePath(folder, L"*").c_str(), findData);
            found = search != INVALID_HANDLE_VALUE;
            *handle = found ? search : nullptr;
        } else {
            found = FindNextFileW(*handle, findData);
        }
        if (!found) {
            if (*handle)
                FindClose(*handle);
            *handle = nullptr;
            return FALSE;
        }
        if (!IsDots(findData->cFileName))
            return TRUE;
    }
}

BOOL CFileFinder::Matches(const WIN32_FIND_DATAW& findData) const
{
    if (findData.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        return !MatchMaskList(m_settings.folderExcludeMasks, findData.cFileName);
    return MatchMaskList(m_settings.includeMasks, findData.cFileName) &&
           !MatchMaskList(m_settings.excludeMasks, findData.cFileName);
}

bool CFileFinder::FindRecursive(const std::wstring& folder)
{
    HANDLE handle = nullptr;
    WIN32_FIND_DATAW findData{};
    while (FindNextMatch(&handle, &findData, folder)) {
        if (Cancelled()) {
            FindClose(handle);
            return false;
        }
        if (!Matches(findData))
            continue;
        const bool isFolder = (findData.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        if (isFolder && m_settings.recurse && !FindRecursive(CombinePath(folder, findData.cFileName))) {
            FindClose(handle);
            return false;
        }
        if (isFolder && !m_settings.includeFolders)
            continue;
        m_entries.push_back({findData, folder});
        m_totalSize += (static_cast<uint64_t>(findData.nFileSizeHigh) << 32) | findData.nFileSizeLow;
    }
    return true;
}
