#include "system.h"

#include "debug_print.h"

namespace {

constexpr const WCHAR* kRotationKey = L"\\SYSTEM\\GDI\\ROTATION";
constexpr const WCHAR* kNotifyB = L"\\ControlPanel\\Notifications\\{A877D65B-239C-47a7-9304-0D347F580408}";
constexpr const WCHAR* kNotifyA = L"\\ControlPanel\\Notifications\\{A877D65A-239C-47a7-9304-0D347F580408}";

void PrepareRecord(DEVMODEW& mode)
{
    mode.dmSize = 192;
    mode.dmFields = DM_DISPLAYORIENTATION;
}

BOOL Pump(UINT first, UINT last, BOOL dispatch)
{
    BOOL any = FALSE;
    MSG msg;
    while (PeekMessageW(&msg, nullptr, first, last, PM_REMOVE)) {
        any = TRUE;
        if (dispatch)
            DispatchMessageW(&msg);
    }
    return any;
}

}  // namespace

BOOL PumpMouseMessages(BOOL dispatch, BOOL)
{
    return Pump(0x200, 0x20D, dispatch);
}

BOOL PumpKeyMessages(BOOL dispatch, BOOL)
{
    BOOL any = Pump(0x100, 0x108, dispatch);
    if (Pump(WM_HOTKEY, WM_HOTKEY, FALSE))
        any = TRUE;
    return any;
}

DWORD CSystem::GetDisplayOrientation(DEVMODEW& mode)
{
    PrepareRecord(mode);
    ChangeDisplaySettingsEx(nullptr, &mode, nullptr, CDS_TEST, nullptr);
    const DWORD orientation = mode.dmDisplayOrientation;
    const int width = GetSystemMetrics(SM_CXSCREEN);
    const int height = GetSystemMetrics(SM_CYSCREEN);
    const bool upright = orientation == DMDO_0 || orientation == DMDO_180;
    orientation_ = orientation;
    systemWidth_ = width;
    systemHeight_ = height;
    screenWidth_ = upright ? height : width;
    screenHeight_ = upright ? width : height;
    turnedWidth_ = upright ? width : height;
    turnedHeight_ = upright ? height : width;
    return orientation;
}

void CSystem::RotateScreen(DEVMODEW& mode, DWORD orientation)
{
    DebugPrint(L"[LUMOCR] ROTATION START>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>\n");
    GetDisplayOrientation(mode);
    DebugPrint(L"[LumOCR] ROTATE SCREEN TO %d\n", static_cast<int>(orientation));
    orientation_ = orientation;
    mode.dmDisplayOrientation = orientation;
    ChangeDisplaySettingsEx(nullptr, &mode, nullptr, CDS_RESET, nullptr);
    DWORD angle = orientation == DMDO_90 ? 90 : orientation == DMDO_270 ? 270 : 0;
    RegistrySetDWORD(HKEY_LOCAL_MACHINE, kRotationKey, L"Angle", angle);
    DebugPrint(L"[LUMOCR] ROTATION END>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>\n");
}

BOOL CSystem::ValidateDisplayOrientation()
{
    // What the program asked for; a restore counts only when it took effect.
    const DWORD wantedOrientation = orientation_;
    const int wantedWidth = screenWidth_;
    const int wantedHeight = screenHeight_;
    for (;;) {
        DEVMODEW mode = {};
        GetDisplayOrientation(mode);
        if (orientation_ == wantedOrientation && screenWidth_ == wantedWidth && screenHeight_ == wantedHeight)
            return TRUE;
        mode = {};
        PrepareRecord(mode);
        mode.dmDisplayOrientation = wantedOrientation;
        ChangeDisplaySettingsEx(nullptr, &mode, nullptr, CDS_RESET, nullptr);
        Sleep(200);
        plat::DebugLine(L"CSystem::ValidateDisplayOrientation failed: dwOldOrientation[%d], nOldScreenWidth[%d], "
                        L"nOldScreenHeight[%d]\t\t\t\t  \r\nm_dwDisplayOrientation[%d], m_nScreenWidth[%d], "
                        L"m_nScreenHeight[%d]",
                        static_cast<int>(wantedOrientation), wantedWidth, wantedHeight,
                        static_cast<int>(orientation_.load()), screenWidth_.load(), screenHeight_.load());
        mode = {};
        GetDisplayOrientation(mode);
        if (retryBudget_ == 0) {
            DebugPrint(L"[TRAVEK]FAIL ORIENTATION!!!!\n");
            return FALSE;
        }
        --retryBudget_;
        // The query above recorded the restored state; compare with the wish again.
        orientation_ = wantedOrientation;
        screenWidth_ = wantedWidth;
        screenHeight_ = wantedHeight;
    }
}

BOOL CSystem::IsDisplayRotated()
{
    DEVMODEW mode = {};
    return GetDisplayOrientation(mode) != DMDO_0;
}

void CSystem::ResetRotation()
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"System\\GDI\\ROTATION", 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS)
        return;
    DWORD landscape = 0, size = sizeof(landscape);
    RegQueryValueExW(key, L"LandscapeMode", nullptr, nullptr, reinterpret_cast<BYTE*>(&landscape), &size);
    DWORD angle = 0;
    if (GetSystemMetrics(SM_CXSCREEN) < GetSystemMetrics(SM_CYSCREEN))
        angle = landscape == 1 ? 90 : 270;
    if (RegSetValueExW(key, L"Angle", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&angle), sizeof(angle)) ==
        ERROR_SUCCESS) {
        DEVMODEW mode = {};
        PrepareRecord(mode);
        mode.dmDisplayOrientation = DMDO_0;
        ChangeDisplaySettingsEx(nullptr, &mode, nullptr, CDS_RESET, nullptr);
    }
    RegCloseKey(key);
}

UINT_PTR CSystem::SetInputFlushTimer(BOOL enable, UINT period)
{
    if (!enable) {
        PumpKeyMessages(FALSE, TRUE);
        PumpMouseMessages(FALSE, TRUE);
        inputFlushStopped_ = TRUE;
        return KillTimer(GetHwnd(), TM_INPUT_FLUSH);
    }
    if (!inputFlushStopped_)
        KillTimer(GetHwnd(), TM_INPUT_FLUSH);
    UINT_PTR result = SetTimer(GetHwnd(), TM_INPUT_FLUSH, period, nullptr);
    inputFlushStopped_ = FALSE;
    return result;
}

BOOL CSystem::PumpMessages(DWORD timeoutMs)
{
    const DWORD start = GetTickCount();
    MSG msg;
    for (;;) {
        if (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                PostQuitMessage(static_cast<int>(msg.wParam));
                return FALSE;
            }
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
            continue;
        }
        if (timeoutMs == 0 || GetTickCount() - start > timeoutMs)
            return TRUE;
        Sleep(1);
    }
}

void CSystem::MuteNotificationSounds(BOOL mute)
{
    if (mute) {
        RegistryGetDWORD(HKEY_CURRENT_USER, kNotifyB, L"Options", &savedNotifyOptionsB_);
        RegistryGetDWORD(HKEY_CURRENT_USER, kNotifyA, L"Options", &savedNotifyOptionsA_);
        RegistrySetDWORD(HKEY_CURRENT_USER, kNotifyB, L"Options", savedNotifyOptionsB_ & ~1u);
        RegistrySetDWORD(HKEY_CURRENT_USER, kNotifyA, L"Options", savedNotifyOptionsA_ & ~1u);
    } else {
        RegistrySetDWORD(HKEY_CURRENT_USER, kNotifyB, L"Options", savedNotifyOptionsB_);
        RegistrySetDWORD(HKEY_CURRENT_USER, kNotifyA, L"Options", savedNotifyOptionsA_);
    }
}

void CSystem::LogMemoryStatus(DWORD minIntervalMs)
{
    const DWORD now = GetTickCount();
    if (minIntervalMs != 0 && now - lastMemoryLog_ < minIntervalMs)
        return;
    lastMemoryLog_ = now;
    MEMORYSTATUS status = {};
    status.dwLength = sizeof(status);
    GlobalMemoryStatus(&status);
    DebugPrint(L"<< MEM Status >> Total = [%lu KB] Free = [%lu KB]\r\n",
               static_cast<unsigned long>(status.dwTotalPhys / 1024),
               static_cast<unsigned long>(status.dwAvailPhys / 1024));
}
