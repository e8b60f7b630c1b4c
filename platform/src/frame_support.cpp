// Accelerator tables, the time format, drive-change records and wave-out
// handles (plat/frame_support.h).
#include "plat/frame_support.h"

#include <atomic>
#include <cstring>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "plat/clock.h"
#include "plat/error.h"
#include "plat/file.h"
#include "plat/message.h"
#include "plat/registry.h"
#include "plat/window.h"

namespace {

struct AcceleratorTables {
    std::mutex mu;
    std::map<UINT, std::vector<ACCEL>> byId;
    // One handle per table id, alive for the process.
    std::map<UINT, HACCEL__*> handles;
};

AcceleratorTables& Accelerators()
{
    static AcceleratorTables* const tables = new AcceleratorTables;
    return *tables;
}

std::atomic<long> outstandingRecords{0};

void AppendNumber(std::wstring& out, int value, bool twoDigits)
{
    if (twoDigits && value < 10)
        out += L'0';
    out += std::to_wstring(value);
}

// Walks a time or date picture: quoted text is copied as it is, each run
// of one character goes to field(out, character, run length).
template <class Field>
std::wstring ExpandPicture(const std::wstring& fmt, Field field)
{
    std::wstring out;
    for (std::size_t i = 0; i < fmt.size();) {
        const WCHAR c = fmt[i];
        std::size_t run = 1;
        while (i + run < fmt.size() && fmt[i + run] == c)
            ++run;
        if (c == L'\'') {
            std::size_t end = fmt.find(L'\'', i + 1);
            if (end == std::wstring::npos)
                end = fmt.size();
            out.append(fmt, i + 1, end - i - 1);
            i = end + 1;
            continue;
        }
        field(out, c, run);
        i += run;
    }
    return out;
}

// The characters written with the zero; the size needed for size 0.
int CopyFormatted(const std::wstring& out, LPWSTR buffer, int size)
{
    const int needed = static_cast<int>(out.size()) + 1;
    if (size == 0)
        return needed;
    if (size < needed) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    out.copy(buffer, out.size());
    buffer[out.size()] = 0;
    return needed;
}

}  // namespace

HACCEL LoadAcceleratorsW(HINSTANCE, LPCWSTR tableName)
{
    auto id = static_cast<UINT>(reinterpret_cast<ULONG_PTR>(tableName));
    AcceleratorTables& t = Accelerators();
    std::lock_guard lock(t.mu);
    if (!t.byId.count(id)) {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return nullptr;
    }
    auto& handle = t.handles[id];
    if (!handle)
        handle = new HACCEL__{static_cast<int>(id)};
    return handle;
}

int TranslateAcceleratorW(HWND hwnd, HACCEL table, LPMSG msg)
{
    if (!table || !msg || msg->message != WM_KEYDOWN)
        return 0;
    WORD command = 0;
    bool found = false;
    {
        AcceleratorTables& t = Accelerators();
        std::lock_guard lock(t.mu);
        auto it = t.byId.find(static_cast<UINT>(table->unused));
        if (it == t.byId.end())
            return 0;
        // The handset's keypad has no shift, control or alt: entries that
        // ask for one never match.
        for (const ACCEL& a : it->second) {
            if (!(a.fVirt & FVIRTKEY) || (a.fVirt & (FSHIFT | FCONTROL | FALT)) || a.key != msg->wParam)
                continue;
            command = a.cmd;
            found = true;
            break;
        }
    }
    if (!found)
        return 0;
    SendMessageW(hwnd, WM_COMMAND, (static_cast<WPARAM>(1) << 16) | command, 0);
    return 1;
}

namespace plat {

void RegisterAcceleratorTable(UINT id, const ACCEL* entries, std::size_t count)
{
    AcceleratorTables& t = Accelerators();
    std::lock_guard lock(t.mu);
    t.byId[id] = std::vector<ACCEL>(entries, entries + count);
}

}  // namespace plat

int GetTimeFormatW(LCID, DWORD flags, const SYSTEMTIME* time, LPCWSTR format, LPWSTR buffer, int size)
{
    if (size < 0 || (size > 0 && !buffer)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    SYSTEMTIME now{};
    if (!time) {
        GetLocalTime(&now);
        time = &now;
    }
    if (time->wHour > 23 || time->wMinute > 59 || time->wSecond > 59) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    std::wstring fmt = format ? format : L"h':'mm':'ss tt";
    const std::wstring out = ExpandPicture(fmt, [&](std::wstring& text, WCHAR c, std::size_t run) {
        const bool two = run >= 2;
        switch (c) {
        case L'h': AppendNumber(text, time->wHour % 12 == 0 ? 12 : time->wHour % 12, two); break;
        case L'H': AppendNumber(text, time->wHour, two); break;
        case L'm': AppendNumber(text, time->wMinute, two); break;
        case L's':
            if (!(flags & TIME_NOSECONDS))
                AppendNumber(text, time->wSecond, two);
            break;
        case L't':
            text += time->wHour < 12 ? (two ? L"AM" : L"A") : (two ? L"PM" : L"P");
            break;
        default: text.append(run, c); break;
        }
    });
    return CopyFormatted(out, buffer, size);
}

int GetDateFormatW(LCID, DWORD, const SYSTEMTIME* date, LPCWSTR format, LPWSTR buffer, int size)
{
    static const wchar_t* const kMonths[12] = {L"January", L"February", L"March",     L"April",   L"May",      L"June",
                                               L"July",    L"August",   L"September", L"October", L"November", L"December"};
    static const wchar_t* const kDays[7] = {L"Sunday",   L"Monday", L"Tuesday", L"Wednesday",
                                            L"Thursday", L"Friday", L"Saturday"};
    if (size < 0 || (size > 0 && !buffer)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    SYSTEMTIME now{};
    if (!date) {
        GetLocalTime(&now);
        date = &now;
    }
    if (date->wMonth < 1 || date->wMonth > 12 || date->wDay < 1 || date->wDay > 31 || date->wDayOfWeek > 6) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    std::wstring fmt = format ? format : L"M/d/yyyy";
    const std::wstring out = ExpandPicture(fmt, [&](std::wstring& text, WCHAR c, std::size_t run) {
        switch (c) {
        case L'd':
            if (run >= 3)
                text += run == 3 ? std::wstring(kDays[date->wDayOfWeek], 3) : kDays[date->wDayOfWeek];
            else
                AppendNumber(text, date->wDay, run == 2);
            break;
        case L'M':
            if (run >= 3)
                text += run == 3 ? std::wstring(kMonths[date->wMonth - 1], 3) : kMonths[date->wMonth - 1];
            else
                AppendNumber(text, date->wMonth, run == 2);
            break;
        case L'y':
            if (run <= 2)
                AppendNumber(text, date->wYear % 100, run == 2);
            else
                text += std::to_wstring(date->wYear);
            break;
        default: text.append(run, c); break;
        }
    });
    return CopyFormatted(out, buffer, size);
}

BOOL SHChangeNotifyRegister(HWND hwnd, const SHCHANGENOTIFYENTRY* entry)
{
    constexpr LONG kDriveEvents = SHCNE_DRIVEADD | SHCNE_DRIVEREMOVED;
    if (!entry || !IsWindow(hwnd) || !(entry->dwEventMask & kDriveEvents)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    LONG mask = entry->dwEventMask;
    HREGNOTIFY watch = plat::NotifyKeyValueChanges(
        HKEY_LOCAL_MACHINE, plat::kStorageCardsKey, [hwnd, mask](const std::wstring&, const BYTE* data, UINT size) {
            DWORD inserted = 0;
            if (data && size == sizeof inserted)
                std::memcpy(&inserted, data, sizeof inserted);
            LONG event = inserted ? SHCNE_DRIVEADD : SHCNE_DRIVEREMOVED;
            if (!(mask & event) || !IsWindow(hwnd))
                return;
            LPFILECHANGENOTIFY record = plat::NewFileChangeRecord(event);
            if (!PostMessageW(hwnd, WM_FILECHANGEINFO, 0, reinterpret_cast<LPARAM>(record)))
                SHChangeNotifyFree(record);
        });
    return watch != nullptr;
}

void SHChangeNotifyFree(LPFILECHANGENOTIFY record)
{
    if (!record)
        return;
    delete record;
    --outstandingRecords;
}

namespace plat {

LPFILECHANGENOTIFY NewFileChangeRecord(LONG eventId)
{
    auto* record = new FILECHANGENOTIFY{};
    record->dwRefCount = 1;
    record->fci.cbSize = sizeof(FILECHANGEINFO);
    record->fci.wEventId = eventId;
    ++outstandingRecords;
    return record;
}

long OutstandingFileChangeRecords() { return outstandingRecords.load(); }

}  // namespace plat

