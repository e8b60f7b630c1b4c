#include "file_control.h"

#include <algorithm>
#include <cstdarg>
#include <climits>
#include <cstdio>
#include <cwchar>

#include "debug_print.h"
#include "registry_key.h"
#include "settings.h"

namespace {

constexpr const WCHAR* kCounterKey = L"SOFTWARE\\Quarlo\\LumOCR";

template <std::size_t N>
void Format(WCHAR (&out)[N], LPCWSTR format, ...)
{
    va_list args;
    va_start(args, format);
    if (std::vswprintf(out, N, format, args) < 0)
        out[N - 1] = 0;  // cut, still terminated
    va_end(args);
}

// "\" + folder, or nothing for an empty folder: the names below it then start
// at the device root with one backslash, not two.
template <std::size_t N>
void RootFolder(WCHAR (&out)[N], LPCWSTR folder)
{
    if (folder[0])
        Format(out, L"\\%ls", folder);
    else
        out[0] = 0;
}

void CreateFolderIfMissing(LPCWSTR path)
{
    if (!CFileControl::IsDirectory(path))
        CreateDirectoryW(path, nullptr);
}

}  // namespace

CFileControl::CFileControl()
{
    FindExternalStorage();

    WCHAR pictures[MAX_PATH] = {};
    if (SHGetSpecialFolderPath(nullptr, pictures, CSIDL_MYPICTURES, TRUE)) {
        if (WCHAR* last = std::wcsrchr(pictures, L'\\')) {
            std::wcscpy(picturesFolderName_, last + 1);
            *last = 0;
            WCHAR* before = std::wcsrchr(pictures, L'\\');
            std::wcscpy(documentsFolderName_, before ? before + 1 : pictures);
        }
    }
    Format(deviceFolder_, L"%ls\\KVIM", documentsFolderName_);
    CreateFolderIfMissing(deviceFolder_);

    if (internalFolder_[0] && IsDirectory(internalFolder_)) {
        std::size_t length = std::wcslen(internalFolder_);
        if (length + 5 < MAX_PATH) {
            std::wcscat(internalFolder_, L"\\KVIM");
            CreateFolderIfMissing(internalFolder_);
        }
    }
    DebugPrint(L"MyDevice Path : %ls\r\n", deviceFolder_);
    DebugPrint(L"MyStorage Path : %ls\r\n", internalFolder_);

    // The number lives on from the last run.
    DWORD number = 0;
    if (SUCCEEDED(RegistryGetDWORD(HKEY_CURRENT_USER, kCameraStateKey, L"DCFNumber", &number)) && number > 0 &&
        number < INT_MAX)
        fileNumber_ = static_cast<int>(number);
}

CFileControl::~CFileControl()
{
    RegistrySetDWORD(HKEY_CURRENT_USER, kCameraStateKey, L"DCFNumber", static_cast<DWORD>(fileNumber_));
}

void CFileControl::FindExternalStorage()
{
    internalPresent_ = FALSE;
    externalPresent_ = FALSE;
    RegistryGetString(HKEY_LOCAL_MACHINE, kStorageStateKey, L"InStorageFolder", internalFolder_, MAX_PATH);
    RegistryGetString(HKEY_LOCAL_MACHINE, kStorageStateKey, L"ExStorageFolder", externalFolder_, MAX_PATH);

    WIN32_FIND_DATAW card;
    HANDLE find = FindFirstFlashCard(&card);
    if (find == INVALID_HANDLE_VALUE) {
        DebugPrint(L"Error:%d-line(%ls||%ls)\r\n    -> ", 461, L"CFileControl::FindExternalStorage",
                   L".\\FileControl.cpp");
        DebugPrint(L"Failed to FindFirstFlashCard\r\n");
        return;
    }
    do {
        if (internalFolder_[0] && std::wcscmp(card.cFileName, internalFolder_) == 0)
            internalPresent_ = TRUE;
        else if (externalFolder_[0] && std::wcscmp(card.cFileName, externalFolder_) == 0)
            externalPresent_ = TRUE;
    } while (FindNextFlashCard(find, &card));
    DebugPrint(L"%ls is %lsexist", internalFolder_, internalPresent_ ? L"" : L"not ");
    DebugPrint(L"%ls is %lsexist", externalFolder_, externalPresent_ ? L"" : L"not ");
    FindClose(find);
}

LPCWSTR CFileControl::GetStoragePath() const
{
    switch (storageType_) {
    case 1: return internalFolder_;
    case 2: return externalFolder_;
    default: return deviceFolder_;
    }
}

DWORD CFileControl::GetFreeSpace(LPCWSTR path, BOOL memory) const
{
    DWORD free = 0;
    if (memory) {
        MEMORYSTATUS status = {};
        status.dwLength = sizeof(status);
        GlobalMemoryStatus(&status);
        free = status.dwAvailPhys / 1024;
    } else {
        ULARGE_INTEGER available = {}, total = {}, totalFree = {};
        if (GetDiskFreeSpaceExW(path, &available, &total, &totalFree)) {
            unsigned long long kb = totalFree.QuadPart / 1024;
            free = static_cast<DWORD>(std::min<unsigned long long>(kb, 0xFFFFFFFFull));
        }
    }
    DebugPrint(L"[TRAVEK] dwFree[%d]\n", static_cast<int>(free));
    return free;
}

BOOL CFileControl::IsLowSpace() const
{
    return GetFreeSpace(nullptr, TRUE) <= 20 || GetStorageFreeSpace() < 11;
}

BOOL CFileControl::IsDirectory(LPCWSTR path)
{
    if (!path || !path[0])
        return FALSE;
    DWORD attributes = GetFileAttributesW(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

int CFileControl::GetMMSAttachmentMaxSize() const
{
    DWORD limit = 295 * 1024;
    if (CSettings::GetInstance()->IsLaunchedByOther())
        RegistryGetDWORD(HKEY_LOCAL_MACHINE, L"Software\\Velmora\\MMS", L"FileSize", &limit);
    else
        RegistryGetDWORD(HKEY_LOCAL_MACHINE, L"Software\\Velmora\\MMS\\Settings", L"Max Size", &limit);
    int size = std::max(0, static_cast<int>(limit / 1024) - 10);
    DebugPrint(L"GetMMSAttachmentMaxSize : %d KB", size);
    return size;
}

BOOL CFileControl::MakeOcrPictureName(LPWSTR name, LPWSTR path)
{
    SYSTEMTIME now = {};
    GetLocalTime(&now);
    const int yy = now.wYear >= 2000 ? now.wYear - 2000 : now.wYear - 1900;
    const bool businessCard = !owner_ || owner_->GetBcrOcrMode() == 1;
    LPCWSTR counterName = businessCard ? L"BCRPictureCount" : L"DOCPictureCount";

    WCHAR root[MAX_PATH];
    RootFolder(root, GetStoragePath());
    WCHAR folder[MAX_PATH];
    Format(folder, L"%ls\\", root);

    WCHAR file[MAX_PATH];
    WCHAR full[MAX_PATH];
    {
        CRegistryKey::SharedUse key;
        key->Create(HKEY_CURRENT_USER, kCounterKey);
        int counter = 0;
        key->QueryDWORD(counterName, counter);
        const int stamp = ((yy * 100 + now.wMonth) * 100 + now.wDay) * 1000;
        DebugPrint(L"[LumOCR] Local System[%d], num[%d]\n", stamp, counter);
        if (counter <= stamp)
            counter = stamp + 1;
        // A lost counter must never overwrite an earlier picture of the day.
        for (;;) {
            Format(file, businessCard ? L"B%09d.jpg" : L"D%09d.jpg", counter);
            Format(full, L"%ls%ls", folder, file);
            if (GetFileAttributesW(full) == INVALID_FILE_ATTRIBUTES || counter == INT_MAX)
                break;
            ++counter;
        }
        DebugPrint(L"[LumOCR] Last num[%d]\n", counter);
        key->SetDWORD(counterName, counter == INT_MAX ? counter : counter + 1);
        CRegistryKey::Flush(HKEY_CURRENT_USER);
    }

    if (owner_)
        owner_->SetOcrPicture(folder, file);
    std::wcscpy(name, file);
    std::wcscpy(path, full);
    DebugPrint(L"FilePath : %ls", path);
    return TRUE;
}

LPCWSTR CFileControl::PrepareOcrPicturePath()
{
    MakeOcrPictureName(name2_, path2_);
    CSettings* settings = CSettings::GetInstance();
    std::wcscpy(settings->CurrentOcrPictureName(), name2_);
    std::wcscpy(settings->CurrentOcrPicturePath(), path2_);
    return path2_;
}

void CFileControl::MintPair()
{
    // The first of the pair mints; the second takes the same picture.
    if (pairPending_) {
        pairPending_ = false;
        return;
    }
    MakeOcrPictureName(name1_, path1_);
    pairPending_ = true;
}

LPCWSTR CFileControl::GetOcrPictureName()
{
    MintPair();
    return name1_;
}

LPCWSTR CFileControl::GetOcrPicturePath()
{
    MintPair();
    return path1_;
}

LPCWSTR CFileControl::PrepareVideoPath()
{
    // A recording never replaces a file: a name already taken is skipped.
    // A name the launching program gave stays as it is.
    WCHAR previous[MAX_PATH] = {};
    for (int tries = 0; tries < 10000; ++tries) {
        MakeCameraFileName(1, name2_, path2_);
        if (GetFileAttributesW(path2_) == INVALID_FILE_ATTRIBUTES || std::wcscmp(previous, path2_) == 0)
            break;
        std::wcscpy(previous, path2_);
    }
    CSettings* settings = CSettings::GetInstance();
    std::wcscpy(settings->CurrentOcrPictureName(), name2_);
    std::wcscpy(settings->CurrentOcrPicturePath(), path2_);
    return path2_;
}

LPCWSTR CFileControl::MakeDCFFolder(int number)
{
    WCHAR name[16];
    Format(name, L"%03dQZPIX", 100 + (number - 1) / 100);
    WCHAR root[MAX_PATH];
    RootFolder(root, GetStoragePath());
    Format(dcfFolder_, L"%ls\\%ls", root, name);
    CreateFolderIfMissing(dcfFolder_);
    return dcfFolder_;
}

BOOL CFileControl::MakeCameraFileName(int kind, LPWSTR name, LPWSTR path)
{
    const int n = fileNumber_++;
    CSettings* settings = CSettings::GetInstance();
    const LaunchParameters& launch = settings->GetLaunchParameters();
    const bool byOther = settings->IsLaunchedByOther();
    WCHAR file[MAX_PATH];
    if (byOther && launch.fileName[0])
        Format(file, L"%ls", launch.fileName);
    else
        Format(file, kind == 0 ? L"%ls%04d.jpg" : L"%ls%04d.3gp", L"QVT", n % 10000);
    WCHAR full[MAX_PATH];
    if (byOther && launch.defaultDir[0])
        Format(full, L"%ls\\%ls", launch.defaultDir, file);
    else
        Format(full, L"%ls\\%ls", MakeDCFFolder(n), file);
    std::wcscpy(name, file);
    std::wcscpy(path, full);
    return TRUE;
}

void CFileControl::ListFiles(int kind, std::vector<WIN32_FIND_DATAW>& files) const
{
    WCHAR pattern[MAX_PATH];
    Format(pattern, kind == 0 ? L"%ls\\MOV*.3gp" : L"%ls\\PIC*.jpg", GetStoragePath());
    WIN32_FIND_DATAW found;
    HANDLE find = FindFirstFileW(pattern, &found);
    if (find == INVALID_HANDLE_VALUE)
        return;
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_HIDDEN))
            files.push_back(found);
    } while (FindNextFileW(find, &found));
    FindClose(find);
}
