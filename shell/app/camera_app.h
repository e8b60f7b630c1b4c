// The application object: the start-up sequence up to the message loop and
// back out, the values saved at start and given back at the end, the black
// window, and the two ways of ending the program.
#pragma once

#include <atomic>

#include "frame_application.h"
#include "plat/windows.h"

class BlankDialog;

// Keypad state values the program keeps while it runs.
inline constexpr const WCHAR* kKeypadKey = L"System\\State\\Velmora\\Keypad";
inline constexpr const WCHAR* kNotifyOptionsKey =
    L"\\ControlPanel\\Notifications\\{0D3132C4-1298-469c-B2B8-F28CE2D649D0}";
inline constexpr const WCHAR* kMotionSensorKey = L"ControlPanel\\MotionSensor";
inline constexpr const WCHAR* kMouseKey = L"System\\State\\Velmora\\Mouse";

class CCameraApp : public CFrameApplication {
public:
    static CCameraApp* GetInstance();
    static void ReleaseInstance();

    int Run(HINSTANCE instance, LPCWSTR commandLine);
    void LoadMui();
    BOOL AppInit(HINSTANCE instance);
    void Term();
    BOOL IsRunnable(HINSTANCE instance);
    BOOL IsRunnable2(HINSTANCE instance);

    // CFrameApplication
    void FillBlackClose() override;
    void FillBlackClose2() override;
    void ResetAutoOff(int mode) override;
    void SaveNotifyOptions(BOOL save) override;
    void SaveActionMethod(BOOL restore) override;
    void ShowBlackWnd() override;
    void HideBlackWnd() override;
    void LockMotionSensor(BOOL lock) override;

    void RestoreOrientation();
    void HideShellWindows();
    void DrawLoadingText(int stringId, HDC dc);

    // Set while the key filter runs: an end asked from there is posted.
    static std::atomic<int>& InKeyFilter();

    HINSTANCE m_hInstance = nullptr;
    HMODULE m_hMuiModule = nullptr;
    HWND m_hWndAtStart = nullptr;
    DWORD m_dwStartTick = 0;
    DWORD m_dwNotifyOptions = 0;
    BYTE m_bPowerOffAtExit = 0;
    DWORD m_dwActionMethod = 0;
    DWORD m_dwAutoOrientation = 0;
    DWORD m_dwShutterKeyTick = 0;
    DWORD m_dwLastFocusTick = 0;
    std::atomic<BYTE> m_bClosing{0};
    CAppModule m_AppModule;
    BlankDialog* m_pBlankDialog = nullptr;

    virtual ~CCameraApp();

private:
    CCameraApp() = default;
    // The message box of the run checks: caption 241, text from the language library.
    void ShowRunMessage(UINT textId);
    // Ends by posting on the GUI thread what cannot be done here.
    bool MustDefer() const;
};

// The hardware key filter installed through the hook library.
LRESULT HardwareKeyFilter(int code, WPARAM wParam, LPARAM lParam);

// The program's entry.
int LumWinMain(HINSTANCE instance, LPWSTR commandLine);
