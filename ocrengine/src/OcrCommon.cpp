#include "OcrCommon.h"

#include <cstdarg>
#include <cstdio>
#include <filesystem>
#include <string>

#include "plat/device.h"
#include "plat/utf.h"

namespace lumocr {
namespace {

std::FILE* OpenForReading(const char* path) {
    if (!path || !*path) return nullptr;
    if (path[0] != '\\') return std::fopen(path, "rb");
    const std::wstring device = plat::FromUtf8(path);
    const auto host = plat::MapDevicePath(device.c_str());
    return host ? std::fopen(host->c_str(), "rb") : nullptr;
}

}  // namespace

void LogLine(const char* text) {
    std::fputs(text, stderr);
}

void LogFormat(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::vfprintf(stderr, format, args);
    va_end(args);
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

const char* DllReasonName(DWORD reason) {
    static constexpr const char* kNames[] = {
        "DLL_PROCESS_DETACH\n", "DLL_PROCESS_ATTACH\n", "DLL_THREAD_ATTACH\n", "DLL_THREAD_DETACH\n",
        "DLL_PROCESS_EXITING\n", "DLL_SYSTEM_STARTED\n", "DLL_MEMORY_LOW\n"};
    return reason < std::size(kNames) ? kNames[reason] : "DLL_DEFAULT\n";
}

BOOL DllMain(HINSTANCE, DWORD reason, LPVOID) {
    LogLine(DllReasonName(reason));
    return TRUE;
}

}  // namespace lumocr
