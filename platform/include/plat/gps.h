// The GPS intermediate driver, configured per device root:
//
//     HKEY_LOCAL_MACHINE\Platform\GPS
//         "Source"   = sz "none" (default: the open fails, ERROR_FILE_NOT_FOUND)
//                      | "nofix" | "fixed" | "track"
//         "Position" = sz "lat,lon,alt"          ("fixed")
//         "Path"     = sz device path of a text file of "lat,lon,alt" lines,
//                      one a second, cycled; bad lines skipped ("track")
//
// A new position is signalled at open and then once a second on the platform
// clock; the device state once, at open.
#pragma once

#include "plat/types.h"

inline constexpr DWORD GPS_VERSION_1 = 1;
inline constexpr DWORD GPS_MAX_SATELLITES = 12;
inline constexpr DWORD GPS_VALID_UTC_TIME = 0x1;
inline constexpr DWORD GPS_VALID_LATITUDE = 0x2;
inline constexpr DWORD GPS_VALID_LONGITUDE = 0x4;
inline constexpr DWORD GPS_VALID_ALTITUDE_WRT_SEA_LEVEL = 0x40;
inline constexpr DWORD GPS_VALID_FIX_TYPE = 0x200;

enum GPS_FIX_TYPE { GPS_FIX_UNKNOWN = 0, GPS_FIX_2D = 1, GPS_FIX_3D = 2 };
enum GPS_FIX_QUALITY { GPS_FIX_QUALITY_UNKNOWN = 0, GPS_FIX_QUALITY_GPS = 1 };
enum GPS_FIX_SELECTION { GPS_FIX_SELECTION_UNKNOWN = 0, GPS_FIX_SELECTION_AUTO = 1 };

struct GPS_POSITION {
    DWORD dwVersion;
    DWORD dwSize;
    DWORD dwValidFields;
    DWORD dwFlags;
    SYSTEMTIME stUTCTime;
    double dblLatitude;
    double dblLongitude;
    float flSpeed;
    float flHeading;
    double dblMagneticVariation;
    float flAltitudeWRTSeaLevel;
    float flAltitudeWRTEllipsoid;
    GPS_FIX_QUALITY FixQuality;
    GPS_FIX_TYPE FixType;
    GPS_FIX_SELECTION SelectionType;
    float flPositionDilutionOfPrecision;
    float flHorizontalDilutionOfPrecision;
    float flVerticalDilutionOfPrecision;
    DWORD dwSatelliteCount;
    DWORD rgdwSatellitesUsedPRNs[GPS_MAX_SATELLITES];
    DWORD dwSatellitesInView;
    DWORD rgdwSatellitesInViewPRNs[GPS_MAX_SATELLITES];
    DWORD rgdwSatellitesInViewElevation[GPS_MAX_SATELLITES];
    DWORD rgdwSatellitesInViewAzimuth[GPS_MAX_SATELLITES];
    DWORD rgdwSatellitesInViewSignalToNoiseRatio[GPS_MAX_SATELLITES];
};
static_assert(sizeof(GPS_POSITION) == 344);

// The names are UTF-16 units, as the driver hands them out.
struct GPS_DEVICE {
    DWORD dwVersion;
    DWORD dwSize;
    DWORD dwServiceState;
    DWORD dwDeviceState;
    FILETIME ftLastDataReceived;
    WORD szGPSDriverPrefix[16];
    WORD szGPSMultiplexPrefix[16];
    WORD szGPSFriendlyName[64];
};
static_assert(sizeof(GPS_DEVICE) == 216);

inline constexpr DWORD SERVICE_STATE_ON = 1;

// NULL with the last error set when there is no device.
HANDLE GPSOpenDevice(HANDLE newLocationData, HANDLE deviceStateChange, const WCHAR* deviceName, DWORD flags);
// ERROR_INVALID_PARAMETER for a wrong version or size; ERROR_NO_DATA when the
// last position is older than maximumAgeMs.
DWORD GPSGetPosition(HANDLE device, GPS_POSITION* position, DWORD maximumAgeMs, DWORD flags);
DWORD GPSGetDeviceState(GPS_DEVICE* device);
DWORD GPSCloseDevice(HANDLE device);
