// Dealings with other applications (media players, the radio, the alarm and
// the photo-frame application), the Today screen's watermark, and file sizes
// and extensions.
#pragma once

#include <array>
#include <cstddef>

#include "draw_event.h"
#include "plat/windows.h"
#include "singleton.h"

// The last "." of the file name and what follows, or an empty string; a dot
// in a folder name is no extension.
LPCWSTR GetFileExtension(LPCWSTR path);

// The other applications, by their executables and windows.
inline constexpr const WCHAR* kMediaPlayerClass = L"WMPclass";
inline constexpr const WCHAR* kQuodeckPath = L"\\Windows\\Quodeck.exe";
inline constexpr const WCHAR* kMevolinPath = L"\\Windows\\Mevolin.exe";
inline constexpr const WCHAR* kRadioPath = L"\\Windows\\Wexlar.exe";
inline constexpr const WCHAR* kAlarmPath = L"\\Windows\\Chimvar.exe";
inline constexpr const WCHAR* kFrameAppClass = L"TARNQUIVELLE";

// What those applications understand.
inline constexpr UINT kMediaPlayerStop = 0x812E;
inline constexpr UINT kRadioPlay = 0x8066;
inline constexpr UINT kRadioStop = 0x8067;
inline constexpr UINT kAlarmRadioStop = 0x80C9;

inline constexpr const WCHAR* kRadioStateKey = L"System\\State\\Velmora\\Wexlar";
inline constexpr const WCHAR* kAlarmStateKey = L"System\\State\\Velmora\\Wexlar\\Alarm";
inline constexpr const WCHAR* kRadioPreferenceKey = L"System\\State\\Velmora\\Wexlar\\Preference";
inline constexpr const WCHAR* kTodayKey = L"Software\\Microsoft\\Today";
inline constexpr const WCHAR* kWatermarkKey = L"Software\\Microsoft\\Today\\Watermark";

// Text for another program: UTF-16LE with its terminator.
template <std::size_t N>
constexpr std::array<BYTE, 2 * N> Utf16Le(const char16_t (&text)[N])
{
    std::array<BYTE, 2 * N> bytes{};
    for (std::size_t i = 0; i < N; ++i) {
        bytes[2 * i] = static_cast<BYTE>(text[i] & 0xFF);
        bytes[2 * i + 1] = static_cast<BYTE>(text[i] >> 8);
    }
    return bytes;
}
// What the maker's media players take as WM_COPYDATA: 12 bytes.
inline constexpr auto kPauseCommand = Utf16Le(u"Pause");

// The radio's "RadioOn" as the camera found it at its start (0 until then).
extern DWORD dwAlarmRadioOnBefore;

// What the application object offers: the orderly end of the program (the
// black screen, then WM_CLOSE to the main window).
class CProgramCloser {
public:
    virtual void FillBlackClose() = 0;

protected:
    ~CProgramCloser() = default;
};

class CUtility : public CDrawEvent, public CSingleton<CUtility> {
public:
    using CSingleton<CUtility>::GetInstance;

    // Filled by EnumWindowsProc: the top-level window of a process that runs `path`.
    struct WindowSearch {
        HWND window = nullptr;
        DWORD process = 0;  // 0: none found
        WCHAR path[MAX_PATH] = {};
    };

    CUtility() = default;
    ~CUtility() override = default;

    void SetProgramCloser(CProgramCloser* closer) { closer_ = closer; }

    // Bytes; 0 when the file cannot be opened or its size cannot be read.
    DWORD GetFileSize(LPCWSTR path) const;
    // Whether a running process has that executable file name (case ignored).
    BOOL IsProcessRunning(LPCWSTR fileName) const;
    // EnumWindows callback; lParam is a WindowSearch.
    static BOOL EnumWindowsProc(HWND hwnd, LPARAM lParam);

    // The message's result, 0 when no player runs.
    LRESULT StopMediaPlayer();
    void PauseMediaPlayers();
    void StopRadioPlayback();
    void ResumeRadioPlayback();
    // Ends this program's windows and waits up to 5 s for the photo-frame application to end.
    void CloseFrameApp();

    void ClearTodayWatermarks();
    // 1 when Brevox.dll applied the picture; the first word is not used.
    BOOL ApplyTodayWatermark(DWORD unused, LPCWSTR imagePath, int enable, const DWORD* transparency);

    int ShowMessageBox(HWND hwnd, LPCWSTR text, LPCWSTR caption, UINT style) const;

private:
    // The top-level window of a process running that executable, or null.
    static HWND FindProcessWindow(LPCWSTR path);

    CProgramCloser* closer_ = nullptr;
};
