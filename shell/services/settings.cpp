#include "settings.h"

#include <cstdio>
#include <cwchar>

#include "camcorder_control.h"
#include "camera_control.h"
#include "common_control.h"
#include "debug_print.h"
#include "file_control.h"
#include "gps_control.h"
#include "gui_screens.h"
#include "registry_key.h"
#include "sound_control.h"

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

// Camera size index of a picture width: 2560 x 1920 down to 640 x 480, else
// 320 x 240.
int CameraSizeIndexOfWidth(int width)
{
    switch (width) {
    case 2560: return 0;
    case 2048: return 1;
    case 1600: return 2;
    case 1280: return 3;
    case 640: return 4;
    default: return 6;
    }
}

// Video size index: 640 x 480, 320 x 240 or 176 x 144; 320 x 240 for others.
int VideoSizeIndexOfWidth(int width)
{
    switch (width) {
    case 640: return 4;
    case 176: return 7;
    default: return 6;
    }
}

// The calling program's quality 3 (best) to 1 as the camera's 0 (best) to 2.
int QualityOfSetting(int setting)
{
    switch (setting) {
    case 2: return 1;
    case 1: return 2;
    default: return 0;
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

std::atomic<int>& CSettings::AutoOffSeconds()
{
    static std::atomic<int> seconds{0};
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

CBaseGUI* CSettings::GetActiveGUI() const
{
    switch (GetActiveGUIStatus()) {
    case GUI_STATUS_SETTING: return CPreviewSettingGUI::GetInstance();
    case GUI_STATUS_CAMERA: return CPreviewCameraGUI::GetInstance();
    case GUI_STATUS_CAMCORDER: return CPreviewCamcorderGUI::GetInstance();
    case GUI_STATUS_REVIEW_SINGLE: return CReviewSingleGUI::GetInstance();
    case GUI_STATUS_REVIEW_MOVIE: return CReviewMovieGUI::GetInstance();
    case GUI_STATUS_THUMBNAIL_FROM_CAMERA | GUI_STATUS_THUMBNAIL: return CThumbnailGUI::GetInstance();
    case GUI_STATUS_VIEWER: return CViewerGUI::GetInstance();
    case GUI_STATUS_REVIEW_MULTI: return CReviewMultiCapturedGUI::GetInstance();
    default: return nullptr;
    }
}

void CSettings::SetNoticeStatus(BOOL on)
{
    if (on) {
        AddGUIStatus(GUI_STATUS_NOTICE);
        SetTimer(GetHwnd(), TM_CLEAR_GUI_STATUS, kNoticeMilliseconds, nullptr);
    } else {
        KillTimer(GetHwnd(), TM_CLEAR_GUI_STATUS);
    }
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

int CSettings::GetScreenSetting(int number) const
{
    return number >= 1 && number <= 10 ? screenSettings_[number] : 0;
}

void CSettings::SetScreenSetting(int number, int value)
{
    if (number >= 1 && number <= 10)
        screenSettings_[number] = value;
}

void CSettings::SetCurrentCommand(DWORD command)
{
    currentCommand_ = command;
    currentCommandFamily_ = command >> 16;
}

void CSettings::SetAutoOffMode(int mode)
{
    autoOffMode_ = mode;
    AutoOffSeconds() = SecondsOfAutoOffMode(mode, AutoOffSeconds().load());
}

void CSettings::SetUseGPS(BOOL on)
{
    if (on) {
        CGPSControl::GetInstance()->Init();
        gpsState_ = 2;
        gpsOn_ = static_cast<BYTE>(on);
    } else {
        CGPSControl::GetInstance()->Uninit();
        gpsState_ = 0;
        gpsOn_ = 0;
    }
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
    const int quality = QualityOfSetting(launch_.qualitySetting);
    if (launch_.mode != 0) {
        DebugPrint(L"VOR Mode is Camcorder !!!\r\n");
        mode_ = 1;
        CCamcorderControl* camcorder = CCamcorderControl::GetInstance();
        const bool mms = launch_.videoType == 2;
        camcorder->SelectSizeMode(mms ? 1 : 0);
        const int size = VideoSizeIndexOfWidth(launch_.width);
        camcorder->SetVideoSize(0, mms ? 6 : size, 0);
        camcorder->SetVideoSize(1, mms ? size : 7, 0);
        camcorder->SetStreamOption(static_cast<DWORD>(quality));
        recordWithoutSound_ = launch_.audioEnabled == 0 ? 1 : 0;
    } else {
        DebugPrint(L"VOR Mode is Camera !!!\r\n");
        mode_ = 0;
        CCameraControl* camera = CCameraControl::GetInstance();
        camera->SetShotMode(0, 1);
        camera->SetShotModeSize(0, CameraSizeIndexOfWidth(launch_.width), 0);
        camera->SetCaptureOption(quality, 0);
    }
}

void CSettings::Load(LPCWSTR commandLine)
{
    DebugPrint(L"\r\n[LumOCR] ");
    plat::DebugLine(L"CSettings::Load");
    if (commandLine && std::wcscmp(commandLine, L"VOR") == 0)
        LoadLaunchParameters();
    mode_ = 0;

    CCameraControl* camera = CCameraControl::GetInstance();
    camera->SetShotMode(0, 0);
    camera->SetShotModeSize(4, 0x6660, 0);  // size 0 for shot mode 0, size 6 for modes 1 to 3
    camera->SetCaptureOption(0, 0);
    CCamcorderControl* camcorder = CCamcorderControl::GetInstance();
    camcorder->SelectSizeMode(0);
    camcorder->SetVideoSize(2, 0x76, 0);  // normal 320 x 240, MMS 176 x 144
    camcorder->SetStreamOption(0);
    CCommonControl* common = CCommonControl::GetInstance();
    common->SetISO(0, 0);
    common->SetMetering(2, 0);
    common->SetContrast(3, 0);
    common->SetSaturation(0, 0);
    common->SetSharpness(3, 0);
    common->SetUseWDR(0, 0);
    CSoundControl::GetInstance()->SetShutterIndex(0);

    SetAutoOffMode(2);
    reviewSwitch_ = TRUE;
    SetScreenSetting(1, 1);
    noticeAtStart_ = 1;
    SetScreenSetting(3, 0);
    SetScreenSetting(4, 0);

    CFileControl* files = CFileControl::GetInstance();
    files->SetStorageType(1);
    if (!files->IsDirectory(files->GetStoragePath()))
        files->SetStorageType(0);

    gpsOn_ = 0;
    SetScreenSetting(5, 1);
    SetScreenSetting(6, 0);
    common->SetWidePreview(0, 0);
    gpsState_ = gpsOn_ && mode_ == 0 ? 2 : 0;
    if (noticeAtStart_)
        AddGUIStatus(GUI_STATUS_NOTICE);
    recordWithoutSound_ = 0;
    AddGUIStatus(mode_ == 0 ? GUI_STATUS_CAMERA : GUI_STATUS_CAMCORDER);
    SetScreenSetting(10, -1);

    common->WriteSensorID(0);
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
