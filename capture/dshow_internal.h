// Helpers the parts of the capture graph control share: the failure and
// result log lines, graph filter names and the stream-control states.
#pragma once

#include <cstdio>
#include <cwchar>

#include "dshow_control.h"
#include "plat/dshow.h"
#include "plat/windows.h"

namespace dshow {
constexpr const WCHAR* kSourceFile = L"DShowControl";
constexpr HRESULT kNoCamera = static_cast<HRESULT>(0x80070006u);
constexpr HRESULT kWrongMode = static_cast<HRESULT>(0x80070005u);
constexpr HRESULT kNoCameraFilter = -2;

// Filter and pin names in the graph.
constexpr const WCHAR* kCameraName = L"Video Capture Source";
constexpr const WCHAR* kRendererName = L"Video Renderer";
constexpr const WCHAR* kStillName = L"Still Frame";
constexpr const WCHAR* kPreviewPin = L"Preview";
constexpr const WCHAR* kStillPin = L"Still";
constexpr const WCHAR* kSmartTeeName = L"Smart Tee";
constexpr const WCHAR* kTeePreviewPin = L"Smart Tee Preview pin";

// Stream-control states.
enum : DWORD {
    CS_NONE = 0,
    CS_PREVIEW_CAMERA_START = 1,
    CS_PREVIEW_CAMERA_STOP = 2,
    CS_PREVIEW_CAMCORDER_START = 3,
    CS_UNCHANGED = 4,
    CONTROL_STREAM_SET_START = 5,
    CS_RECORDING_PAUSE = 6,
    CS_RECORDING_RESUME = 7,
    CS_RECORDING_STOP = 8,
};

// Graph events the camera driver and the capture components raise.
constexpr long kEventVideoChanged = 0x49;
constexpr long kEventLimitReached = 0x101;
constexpr long kEventQuiet = 0x102;
constexpr long kEventBufferFull = 0x103;
constexpr long kEventWriteError = 0x104;

inline void LogFailure(int line, const WCHAR* function, HRESULT hr)
{
    plat::DebugLine(L"Error:%d-line(%ls||%ls)\r\n    ->", line, function, kSourceFile);
    wchar_t text[48];
    std::swprintf(text, 48, L"Failed(err=0x%08x)\r\n", static_cast<unsigned>(hr));
    OutputDebugStringW(text);
}

inline HRESULT Result(const WCHAR* name, HRESULT hr)
{
    plat::DebugLine(L"%ls <hr = '0x%X'>", name, static_cast<unsigned>(hr));
    return hr;
}

#define CHECK(expr, function)                   \
    do {                                        \
        hr = (expr);                            \
        if (FAILED(hr)) {                       \
            LogFailure(__LINE__, function, hr); \
            return hr;                          \
        }                                       \
    } while (0)

template <typename T>
void ReleaseAndClear(T*& p)
{
    if (p) {
        p->Release();
        p = nullptr;
    }
}

inline const WCHAR* ResolutionText(DWORD index)
{
    static constexpr const WCHAR* texts[] = {L"2560 * 1920", L"2048 * 1536", L"1600 * 1200", L"1280 * 960",
                                             L"640 * 480",   L"400 * 240",   L"320 * 240",   L"176 * 144"};
    return index < 8 ? texts[index] : texts[0];
}

}  // namespace dshow
