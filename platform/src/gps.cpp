// The GPS intermediate driver over the device root's registry.
#include "plat/gps.h"

#include <condition_variable>
#include <cstring>
#include <cwctype>
#include <fstream>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "plat/clock.h"
#include "plat/debug.h"
#include "plat/device.h"
#include "plat/error.h"
#include "plat/handle.h"
#include "plat/registry.h"
#include "plat/sync.h"
#include "plat/utf.h"

namespace {

constexpr const WCHAR* kGpsKey = L"Platform\\GPS";
constexpr DWORD kErrorNoData = 232;  // ERROR_NO_DATA

struct Fix {
    double lat = 0, lon = 0;
    float alt = 0;
};

std::wstring ReadString(const WCHAR* name)
{
    WCHAR text[MAX_PATH + 1] = {};
    if (FAILED(RegistryGetString(HKEY_LOCAL_MACHINE, kGpsKey, name, text, MAX_PATH + 1))) return {};
    return text;
}

bool ParseFix(const std::string& text, Fix* fix)
{
    double lat = 0, lon = 0, alt = 0;
    char extra = 0;
    if (std::sscanf(text.c_str(), " %lf , %lf , %lf %c", &lat, &lon, &alt, &extra) != 3) return false;
    if (lat < -90 || lat > 90 || lon < -180 || lon > 180) return false;
    *fix = {lat, lon, static_cast<float>(alt)};
    return true;
}

class GpsDevice : public plat::KernelObject {
public:
    bool fixes = false;
    std::vector<Fix> track;
    HANDLE newData = nullptr;
    HANDLE stateChange = nullptr;

    void Start()
    {
        thread_ = std::thread([this] { Run(); });
    }
    void Stop()
    {
        {
            std::lock_guard lock(lock_);
            exit_ = true;
        }
        cv_.notify_all();
        if (thread_.joinable()) thread_.join();
    }
    void OnClose() override { Stop(); }

    DWORD Position(GPS_POSITION* out, DWORD maximumAgeMs)
    {
        std::lock_guard lock(lock_);
        if (!have_) return kErrorNoData;
        if (plat::NowMs() - stampMs_ > maximumAgeMs) return kErrorNoData;
        *out = position_;
        return ERROR_SUCCESS;
    }

private:
    void Run()
    {
        std::unique_lock lock(lock_);
        std::size_t index = 0;
        std::uint64_t next = plat::NowMs();
        bool first = true;
        while (!exit_) {
            if (plat::NowMs() < next) {
                plat::WaitUntil(lock, cv_, next, [&] { return exit_; });
                continue;
            }
            Fix fix;
            if (fixes) fix = track.empty() ? fixed_ : track[index++ % track.size()];
            Fill(fix);
            stampMs_ = plat::NowMs();
            have_ = true;
            lock.unlock();
            SetEvent(newData);
            if (first) SetEvent(stateChange);
            first = false;
            lock.lock();
            next += 1000;
        }
    }

    void Fill(const Fix& fix)
    {
        std::memset(&position_, 0, sizeof position_);
        position_.dwVersion = GPS_VERSION_1;
        position_.dwSize = sizeof(GPS_POSITION);
        GetSystemTime(&position_.stUTCTime);
        position_.dwValidFields = GPS_VALID_UTC_TIME;
        if (fixes) {
            position_.dwValidFields |=
                GPS_VALID_LATITUDE | GPS_VALID_LONGITUDE | GPS_VALID_ALTITUDE_WRT_SEA_LEVEL | GPS_VALID_FIX_TYPE;
            position_.dblLatitude = fix.lat;
            position_.dblLongitude = fix.lon;
            position_.flAltitudeWRTSeaLevel = fix.alt;
            position_.FixType = GPS_FIX_3D;
            position_.FixQuality = GPS_FIX_QUALITY_GPS;
            position_.dwSatelliteCount = 6;
        }
    }

public:
    Fix fixed_;

private:
    std::mutex lock_;
    std::condition_variable cv_;
    bool exit_ = false;
    bool have_ = false;
    std::uint64_t stampMs_ = 0;
    GPS_POSITION position_{};
    std::thread thread_;
};

}  // namespace

HANDLE GPSOpenDevice(HANDLE newLocationData, HANDLE deviceStateChange, const WCHAR*, DWORD)
{
    std::wstring source = ReadString(L"Source");
    for (auto& c : source) c = static_cast<WCHAR>(std::towlower(c));
    auto device = std::make_shared<GpsDevice>();
    device->newData = newLocationData;
    device->stateChange = deviceStateChange;
    if (source == L"nofix") {
        device->fixes = false;
    } else if (source == L"fixed") {
        device->fixes = true;
        const std::wstring text = ReadString(L"Position");
        if (!ParseFix(plat::ToUtf8(text), &device->fixed_)) {
            plat::DebugLine(L"GPS: \"Position\" = \"%ls\" cannot be read, no fix", text.c_str());
            device->fixes = false;
        }
    } else if (source == L"track") {
        device->fixes = true;
        const std::wstring path = ReadString(L"Path");
        if (auto host = plat::MapDevicePath(path.c_str())) {
            std::ifstream in(*host);
            std::string line;
            Fix fix;
            while (std::getline(in, line))
                if (ParseFix(line, &fix)) device->track.push_back(fix);
        }
        if (device->track.empty()) {
            plat::DebugLine(L"GPS: no position in the track \"%ls\", no fix", path.c_str());
            device->fixes = false;
        }
    } else {
        if (!source.empty() && source != L"none") plat::DebugLine(L"GPS: unknown source \"%ls\", no device", source.c_str());
        SetLastError(ERROR_FILE_NOT_FOUND);
        return nullptr;
    }
    HANDLE handle = plat::InsertHandle(device);
    device->Start();
    return handle;
}

DWORD GPSGetPosition(HANDLE device, GPS_POSITION* position, DWORD maximumAgeMs, DWORD)
{
    auto gps = plat::LookupHandleAs<GpsDevice>(device);
    if (!gps) return ERROR_INVALID_HANDLE;
    if (!position || position->dwVersion != GPS_VERSION_1 || position->dwSize != sizeof(GPS_POSITION))
        return ERROR_INVALID_PARAMETER;
    return gps->Position(position, maximumAgeMs);
}

DWORD GPSGetDeviceState(GPS_DEVICE* device)
{
    if (!device || device->dwVersion != GPS_VERSION_1 || device->dwSize != sizeof(GPS_DEVICE))
        return ERROR_INVALID_PARAMETER;
    std::memset(reinterpret_cast<BYTE*>(device) + 8, 0, sizeof(GPS_DEVICE) - 8);
    device->dwServiceState = SERVICE_STATE_ON;
    device->dwDeviceState = SERVICE_STATE_ON;
    const char16_t name[] = u"GPS1:";
    for (std::size_t i = 0; name[i]; ++i) device->szGPSDriverPrefix[i] = name[i];
    return ERROR_SUCCESS;
}

DWORD GPSCloseDevice(HANDLE device)
{
    if (!plat::LookupHandleAs<GpsDevice>(device)) return ERROR_INVALID_HANDLE;
    CloseHandle(device);
    return ERROR_SUCCESS;
}
