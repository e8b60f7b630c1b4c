// The accelerometer and camera stream drivers.
#include <atomic>
#include <cwctype>
#include <mutex>
#include <set>
#include <string>
#include <utility>

#include "camera_scene.h"
#include "plat/debug.h"
#include "plat/device_io.h"
#include "plat/error.h"
#include "plat/handle.h"
#include "plat/registry.h"

namespace {

constexpr DWORD kRegister = 1300;
constexpr DWORD kSensorOn = 1102;
constexpr DWORD kSensorOff = 1103;
constexpr DWORD kReadAxes = 1014;
constexpr DWORD kRelease = 1200;
constexpr DWORD kCameraPower = 777;
constexpr DWORD kRegistrationWord = 0x4C554D31;  // any non-zero word will do
constexpr DWORD kGenFailure = 31;                // ERROR_GEN_FAILURE

std::mutex g_lock;
std::set<std::pair<std::wstring, DWORD>> g_failing;
std::atomic<int> g_cameraPower{-1};
std::atomic<bool> g_registered{false};

struct Driver : plat::KernelObject {
    explicit Driver(std::wstring n) : name(std::move(n)) {}
    std::wstring name;
};

std::wstring Upper(std::wstring s)
{
    for (auto& c : s) c = static_cast<WCHAR>(std::towupper(c));
    return s;
}

bool Failing(const std::wstring& driver, DWORD code)
{
    std::lock_guard lock(g_lock);
    return g_failing.count({driver, code}) != 0;
}

std::wstring AxesText()
{
    WCHAR text[64] = {};
    if (FAILED(RegistryGetString(HKEY_LOCAL_MACHINE, plat::kAccelerometerKey, L"Axes", text, 64))) return L"0,0,0";
    return text;
}

// "x,y,z" with each in -128..127; anything else reads as 0, 0, 0 with a log line.
void ReadAxes(LONG axes[3])
{
    const std::wstring text = AxesText();
    axes[0] = axes[1] = axes[2] = 0;
    long v[3];
    wchar_t extra = 0;
    if (std::swscanf(text.c_str(), L"%ld,%ld,%ld%lc", &v[0], &v[1], &v[2], &extra) != 3 || v[0] < -128 ||
        v[0] > 127 || v[1] < -128 || v[1] > 127 || v[2] < -128 || v[2] > 127) {
        plat::DebugLine(L"Accelerometer: \"Axes\" = \"%ls\" cannot be read, 0,0,0", text.c_str());
        return;
    }
    for (int i = 0; i < 3; ++i) axes[i] = static_cast<LONG>(v[i]);
}

BOOL Fail(DWORD error)
{
    SetLastError(error);
    return FALSE;
}

bool WordIn(LPVOID in, DWORD inSize, DWORD* word)
{
    if (!in || inSize < sizeof(DWORD)) return false;
    *word = *static_cast<DWORD*>(in);
    return true;
}

}  // namespace

namespace plat {

void FailDeviceControl(const WCHAR* driver, DWORD code, bool fail)
{
    std::lock_guard lock(g_lock);
    if (fail)
        g_failing.insert({Upper(driver), code});
    else
        g_failing.erase({Upper(driver), code});
}

int CameraDriverPower() { return g_cameraPower; }

bool OpenStreamDriver(LPCWSTR name, HANDLE* handle)
{
    if (!name) return false;
    std::wstring n = Upper(name);
    if (!n.empty() && (n[0] == L'\\' || n[0] == L'/')) n.erase(0, 1);
    if (n.size() != 5 || n[4] != L':' || !std::iswdigit(n[3]) || !std::iswalpha(n[0]) || !std::iswalpha(n[1]) ||
        !std::iswalpha(n[2]))
        return false;
    bool present = false;
    if (n == L"ACS1:")
        present = Upper(AxesText()) != L"NONE";
    else if (n == L"CAM1:")
        present = cam::CameraConfigured();
    if (!present) {
        *handle = INVALID_HANDLE_VALUE;
        SetLastError(ERROR_FILE_NOT_FOUND);
        return true;
    }
    *handle = InsertHandle(std::make_shared<Driver>(n));
    return true;
}

}  // namespace plat

BOOL DeviceIoControl(HANDLE device, DWORD code, LPVOID in, DWORD inSize, LPVOID out, DWORD outSize,
                     LPDWORD bytesReturned, LPOVERLAPPED)
{
    auto driver = plat::LookupHandleAs<Driver>(device);
    if (!driver) return Fail(ERROR_INVALID_HANDLE);
    if (bytesReturned) *bytesReturned = 0;
    if (Failing(driver->name, code)) return Fail(kGenFailure);
    DWORD word = 0;
    if (driver->name == L"CAM1:") {
        if (code != kCameraPower) return Fail(ERROR_NOT_SUPPORTED);
        if (!in || inSize < 1) return Fail(ERROR_INVALID_PARAMETER);
        g_cameraPower = *static_cast<BYTE*>(in) ? 1 : 0;
        return TRUE;
    }
    switch (code) {
    case kRegister:
        if (!WordIn(in, inSize, &word) || word != 5 || !out || outSize < sizeof(DWORD))
            return Fail(ERROR_INVALID_PARAMETER);
        *static_cast<DWORD*>(out) = kRegistrationWord;
        g_registered = true;
        if (bytesReturned) *bytesReturned = sizeof(DWORD);
        return TRUE;
    case kSensorOn:
    case kSensorOff:
    case kRelease:
        if (!WordIn(in, inSize, &word) || word != kRegistrationWord) return Fail(ERROR_INVALID_PARAMETER);
        if (code == kRelease) g_registered = false;
        return TRUE;
    case kReadAxes: {
        if (!out || outSize < 3 * sizeof(DWORD)) return Fail(ERROR_INVALID_PARAMETER);
        LONG axes[3];
        ReadAxes(axes);
        auto* words = static_cast<LONG*>(out);
        for (int i = 0; i < 3; ++i) words[i] = axes[i];
        if (bytesReturned) *bytesReturned = 3 * sizeof(DWORD);
        return TRUE;
    }
    default:
        return Fail(ERROR_NOT_SUPPORTED);
    }
}
