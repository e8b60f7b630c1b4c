#include "OcrCommon.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <filesystem>
#include <string>

#include "ocrchecks/CheckLog.h"
#include "plat/debug.h"
#include "plat/device.h"
#include "plat/utf.h"

namespace lumocr {
namespace {

std::FILE* OpenForReading(const char* path) {
    if (!path || !*path) return nullptr;
    if (path[0] != '\\') {
        // A host folder: the engines' file names use the device's separator.
        std::string host(path);
        std::replace(host.begin(), host.end(), '\\', '/');
        return std::fopen(host.c_str(), "rb");
    }
    const std::wstring device = plat::FromUtf8(path);
    const auto host = plat::MapDevicePath(device.c_str());
    return host ? std::fopen(host->c_str(), "rb") : nullptr;
}

}  // namespace

void LogLine(const char* text) { OutputDebugStringA(text); }

void LogFormat(const char* format, ...) {
    char text[1024];
    va_list args;
    va_start(args, format);
    if (std::vsnprintf(text, sizeof text, format, args) < 0) text[0] = '\0';
    va_end(args);
    OutputDebugStringA(text);
}

long QueryFileLength(const char* path) {
    std::FILE* file = OpenForReading(path);
    if (!file) return -1;
    long length = -1;
    if (std::fseek(file, 0, SEEK_END) == 0) length = std::ftell(file);
    std::fclose(file);
    return length;
}

std::unique_ptr<BYTE[]> LoadWholeFile(const char* path) {
    const long length = QueryFileLength(path);
    if (length <= 0) return nullptr;
    std::unique_ptr<BYTE[]> buffer(new (std::nothrow) BYTE[static_cast<std::size_t>(length)]);
    if (!buffer) return nullptr;
    std::FILE* file = OpenForReading(path);
    if (!file) return nullptr;
    const std::size_t read = std::fread(buffer.get(), static_cast<std::size_t>(length), 1, file);
    std::fclose(file);
    return read == 1 ? std::move(buffer) : nullptr;
}

constexpr DWORD kProcessAttach = 1;

const char* DllReasonName(DWORD reason) {
    static constexpr const char* kNames[] = {
        "DLL_PROCESS_DETACH\n", "DLL_PROCESS_ATTACH\n", "DLL_THREAD_ATTACH\n", "DLL_THREAD_DETACH\n",
        "DLL_PROCESS_EXITING\n", "DLL_SYSTEM_STARTED\n", "DLL_MEMORY_LOW\n"};
    return reason < std::size(kNames) ? kNames[reason] : "DLL_DEFAULT\n";
}

BOOL DllMain(HINSTANCE, DWORD reason, LPVOID) {
    // The image checks know only the standard library: their lines reach
    // the debug output through the sink handed to them here.
    if (reason == kProcessAttach) ocrchecks::SetLogSink(&OutputDebugStringA);
    LogLine(DllReasonName(reason));
    return TRUE;
}

}  // namespace lumocr
