#include "settings.h"

#include <cstdio>
#include <cwchar>

#include "debug_print.h"
#include "file_control.h"
#include "registry_key.h"

namespace {

int SecondsOfAutoOffMode(int mode, int current)
{
    switch (mode) {
    case 0: return -1;
    case 1: return 60;
    case 2: return 120;
    case 3: return 180;
    default: return current;
    }
}

void WriteDword(HKEY root, LPCWSTR subKey, LPCWSTR name, DWORD value)
{
    CRegistryKey key;
    if (key.Create(root, subKey)) {
        key.SetDWORD(name, value);
        CRegistryKey::Flush(root);
    }
    key.Close();
}

// Creates the named event, sets it once and lets it go again.
void SignalNamedEvent(LPCWSTR name)
{
    HANDLE event = CreateEventW(nullptr, FALSE, FALSE, name);
    if (event) {
        SetEvent(event);
        CloseHandle(event);
    }
}

int LanguageIndexOfPrimary(DWORD primary)
{
    switch (primary) {
    case 9: return 0;   // English
    case 7: return 1;   // German
    case 12: return 2;  // French
    case 16: return 3;  // Italian
    case 10: return 4;  // Spanish
    case 22: return 5;  // Portuguese
    case 25: return 6;  // Russian
    case 34: return 7;  // Ukrainian
    default: return 0;
    }
}

// Reads a DWORD option; a missing one gets its default written back.
void LoadOption(CRegistryKey& key, LPCWSTR name, DWORD& field, DWORD fallback)
{
    if (!key.QueryDWORD(name, field))
        key.SetDWORD(name, fallback);
}

}  // namespace

CSettings::CSettings() = default;

int& CSettings::AutoOffSeconds()
{
    static int seconds = 0;
    return seconds;
}

void CSettings::AddGUIStatus(DWORD bits)
{
    DebugPrint(L"[TRAVEK] [AddGUIStatus] [%d] [%d]\n", static_cast<int>(guiStatus_), static_cast<int>(bits));
    guiStatus_ |= bits;
}

void CSettings::RemoveGUIStatus(DWORD bits)
{
    DebugPrint(L"[TRAVEK] [RemoveGUIStatus] [%d] [%d]\n", static_cast<int>(guiStatus_), static_cast<int>(bits));
    guiStatus_ &= ~bits;
}

void CSettings::ChangeGUIStatus(DWORD add, DWORD remove)
{
    AddGUIStatus(add);
    RemoveGUIStatus(remove);
}

DWORD CSettings::GetActiveGUIStatus() const
{
    static constexpr DWORD kOrder[] = {
        GUI_STATUS_SETTING,       GUI_STATUS_CAMERA,       GUI_STATUS_CAMCORDER,
        GUI_STATUS_REVIEW_SINGLE, GUI_STATUS_REVIEW_MOVIE, GUI_STATUS_THUMBNAIL_FROM_CAMERA | GUI_STATUS_THUMBNAIL,
        GUI_STATUS_VIEWER,        GUI_STATUS_REVIEW_MULTI,
    };
    for (DWORD bits : kOrder) {
        if (guiStatus_ & bits)
            return bits;
    }
    return 0;
}

void CSettings::SetCurrentCommand(DWORD command)
{
    currentCommand_ = command;
    currentCommandFamily_ = command >> 16;
}

void CSettings::SetAutoOffMode(int mode)
{
    autoOffMode_ = mode;
    AutoOffSeconds() = SecondsOfAutoOffMode(mode, AutoOffSeconds());
}

void CSettings::SignalStart(DWORD run)
{
    WriteDword(HKEY_CURRENT_USER, kCameraStateKey, L"Run", run);
    ClearSleepSoon();
    SignalNamedEvent(kStartEventName);
}

void CSettings::SignalEnd()
{
    ClearSleepSoon();
    SignalNamedEvent(kEndEventName);
}

void CSettings::ClearSleepSoon() { WriteDword(HKEY_LOCAL_MACHINE, kKeypadStateKey, L"SleepSoon", 0); }

void CSettings::SetVolumeMute(BOOL restore)
{
    static constexpr const WCHAR* kVolumeKey = L"\\ControlPanel\\Volume";
    if (restore) {
        if (savedKeyVolume_)
            RegistrySetDWORD(HKEY_CURRENT_USER, kVolumeKey, L"Key", savedKeyVolume_);
        if (savedScreenVolume_)
            RegistrySetDWORD(HKEY_CURRENT_USER, kVolumeKey, L"Screen", savedScreenVolume_);
        return;
    }
    savedKeyVolume_ = 0;
    savedScreenVolume_ = 0;
    RegistryGetDWORD(HKEY_CURRENT_USER, kVolumeKey, L"Key", &savedKeyVolume_);
    RegistryGetDWORD(HKEY_CURRENT_USER, kVolumeKey, L"Screen", &savedScreenVolume_);
    if (savedKeyVolume_)
        RegistrySetDWORD(HKEY_CURRENT_USER, kVolumeKey, L"Key", 0);
    if (savedScreenVolume_)
        RegistrySetDWORD(HKEY_CURRENT_USER, kVolumeKey, L"Screen", 0);
}

LPCWSTR CSettings::FindMuiFile()
{
    // The system language's library first, in the Windows folder; else the
    // first library there.
    muiFile_[0] = 0;
    WCHAR windows[MAX_PATH] = {};
    if (!SHGetSpecialFolderPath(nullptr, windows, CSIDL_WINDOWS, FALSE))
        return muiFile_;
    WCHAR name[MAX_PATH];
    std::swprintf(name, MAX_PATH, L"LumOCR.exe.%04x.mui", static_cast<unsigned>(GetSystemDefaultLCID() & 0xFFFF));
    WCHAR path[MAX_PATH];
    std::swprintf(path, MAX_PATH, L"%ls\\%ls", windows, name);
    DWORD attributes = GetFileAttributesW(path);
    if (attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        std::wcscpy(muiFile_, name);
        return muiFile_;
    }
    std::swprintf(path, MAX_PATH, L"%ls\\LumOCR.exe.*.mui", windows);
    WIN32_FIND_DATAW found;
    HANDLE find = FindFirstFileW(path, &found);
    if (find != INVALID_HANDLE_VALUE) {
        std::wcscpy(muiFile_, found.cFileName);
        FindClose(find);
    }
    return muiFile_;
}

int CSettings::GetDefaultOcrLanguage()
{
    LPCWSTR file = FindMuiFile();
    static constexpr WCHAR kPrefix[] = L"LumOCR.exe.";
    const std::size_t prefix = std::wcslen(kPrefix);
    if (std::wcslen(file) <= prefix)
        return 0;
    unsigned lcid = 0;
    if (std::swscanf(file + prefix, L"%x", &lcid) != 1)
        return 0;
    return LanguageIndexOfPrimary(lcid & 0x1FF);
}

void CSettings::LoadLaunchParameters()
{
    launch_ = {};
    CRegistryKey key;
    if (key.Create(HKEY_CURRENT_USER, kLaunchParametersKey)) {
        key.QueryDWORD(L"Mode", launch_.mode);
        key.QueryString(L"FileName", launch_.fileName, sizeof(launch_.fileName));
        key.QueryString(L"DefaultDir", launch_.defaultDir, sizeof(launch_.defaultDir));
        key.QueryDWORD(L"UserVideoTime", launch_.userVideoTime);
        key.QueryDWORD(L"Width", launch_.width);
        key.QueryDWORD(L"Height", launch_.height);
        key.QueryDWORD(L"QualitySetting", launch_.qualitySetting);
        key.QueryDWORD(L"VideoType", launch_.videoType);
        key.QueryDWORD(L"AudioEnabled", launch_.audioEnabled);
    }
    key.Close();
    if (launch_.mode == 1)
        launch_.audioEnabled = 0;
    launchedByOther_ = TRUE;
    if (launch_.mode != 0) {
        DebugPrint(L"VOR Mode is Camcorder !!!\r\n");
        mode_ = 1;
        recordWithoutSound_ = launch_.audioEnabled == 0 ? 1 : 0;
    } else {
        DebugPrint(L"VOR Mode is Camera !!!\r\n");
        mode_ = 0;
    }
}

void CSettings::Load(LPCWSTR commandLine)
{
    plat::DebugLine(L"CSettings::Load");
    if (commandLine && std::wcscmp(commandLine, L"VOR") == 0)
        LoadLaunchParameters();
    mode_ = 0;

    SetAutoOffMode(2);
    noticeAtStart_ = 1;

    CFileControl* files = CFileControl::GetInstance();
    files->SetStorageType(1);
    if (!files->IsDirectory(files->GetStoragePath()))
        files->SetStorageType(0);

    gpsOn_ = 0;
    gpsState_ = gpsOn_ && mode_ == 0 ? 2 : 0;
    if (noticeAtStart_)
        AddGUIStatus(GUI_STATUS_NOTICE);
    recordWithoutSound_ = 0;
    AddGUIStatus(mode_ == 0 ? GUI_STATUS_CAMERA : GUI_STATUS_CAMCORDER);

    SignalStart(1);
    ClearSleepSoon();
    plat::DebugLine(L"CSettings::Load end");
}

void CSettings::LoadOcrOptions(OcrOptions& options)
{
    CRegistryKey::SharedUse key;
    key->Create(HKEY_CURRENT_USER, kOcrOptionsKey);
    LoadOption(*key, L"EnableAutoFocus", options.enableAutoFocus, 1);
    LoadOption(*key, L"SelectedLanguage", options.selectedLanguage, static_cast<DWORD>(GetDefaultOcrLanguage()));
    LoadOption(*key, L"EnableAutoSave", options.enableAutoSave, 1);
    key->QueryDWORD(L"EnableAutoFocus", options.enableAutoFocus);
    key->QueryDWORD(L"SelectedLanguage", options.selectedLanguage);
    key->QueryDWORD(L"EnableAutoSave", options.enableAutoSave);
    if (!key->QueryDWORD(L"BCROCR_MODE", options.bcrOcrMode)) {
        key->SetDWORD(L"BCROCR_MODE", DWORD{1});
        key->QueryDWORD(L"BCROCR_MODE", options.bcrOcrMode);
    }
    CRegistryKey::Flush(HKEY_CURRENT_USER);
    options.singleMultiMode = 1;
}
