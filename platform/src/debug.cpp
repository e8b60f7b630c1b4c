#include "plat/debug.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <mutex>
#include <vector>

#include "plat/utf.h"

namespace {

// Recursive: what a sink does may print again on the same thread (a test's
// sink that turns the screen, say), and that line goes to the sink too.
std::recursive_mutex g_sinkLock;
std::function<void(const std::wstring&)> g_sink;

void WriteDefault(const std::wstring& text)
{
    static FILE* const out = [] {
        const char* path = std::getenv("LUMOCR_LOG");
        FILE* f = (path && *path) ? std::fopen(path, "a") : nullptr;
        return f ? f : stderr;
    }();
    std::string bytes = plat::ToUtf8(text);
    std::fwrite(bytes.data(), 1, bytes.size(), out);
    std::fflush(out);
}

std::mutex g_watchLock;
bool g_watching = false;
std::wstring g_watched;
std::size_t g_watchedBase = 0;  // where g_watched begins in all the text printed since watching began

void Emit(const std::wstring& text)
{
    {
        std::lock_guard lock(g_watchLock);
        if (g_watching)
            g_watched += text;
    }
    std::lock_guard lock(g_sinkLock);
    if (g_sink)
        g_sink(text);
    else
        WriteDefault(text);
}

// Shared state of captures: the sink writes here while a capture is alive.
std::mutex g_captureLock;
std::wstring g_captured;

}  // namespace

void OutputDebugStringW(LPCWSTR text)
{
    if (text)
        Emit(text);
}

void OutputDebugStringA(LPCSTR text)
{
    if (text)
        Emit(plat::FromUtf8(text));
}

namespace plat {

void DebugLine(LPCWSTR format, ...)
{
    if (!format)
        return;
    std::vector<wchar_t> buffer(512);
    for (;;) {
        va_list args;
        va_start(args, format);
        int n = std::vswprintf(buffer.data(), buffer.size(), format, args);
        va_end(args);
        if (n >= 0)
            break;
        if (buffer.size() >= (1u << 20)) {
            buffer.back() = L'\0';  // keep what fitted of an absurdly long line
            break;
        }
        buffer.resize(buffer.size() * 2);
    }
    OutputDebugStringW(kDebugLinePrefix);
    OutputDebugStringW(buffer.data());
}

std::function<void(const std::wstring&)> SetDebugSink(std::function<void(const std::wstring&)> sink)
{
    std::lock_guard lock(g_sinkLock);
    auto previous = std::move(g_sink);
    g_sink = std::move(sink);
    return previous;
}

DebugCapture::DebugCapture()
{
    Clear();
    previous_ = SetDebugSink([](const std::wstring& text) {
        std::lock_guard lock(g_captureLock);
        g_captured += text;
    });
}

DebugCapture::~DebugCapture() { SetDebugSink(std::move(previous_)); }

std::wstring DebugCapture::Text() const
{
    std::lock_guard lock(g_captureLock);
    return g_captured;
}

void DebugCapture::Clear()
{
    std::lock_guard lock(g_captureLock);
    g_captured.clear();
}

void WatchDebugText()
{
    std::lock_guard lock(g_watchLock);
    g_watching = true;
}

bool FindDebugText(std::size_t* from, std::wstring_view needle)
{
    std::lock_guard lock(g_watchLock);
    const std::size_t start = *from > g_watchedBase ? *from - g_watchedBase : 0;
    const std::size_t at = g_watched.find(needle, start);
    if (at == std::wstring::npos)
        return false;
    const std::size_t end = at + needle.size();
    *from = g_watchedBase + end;
    // Nothing before a find is looked at again: a long replay keeps only the
    // text since its last find, not everything the program printed.
    g_watched.erase(0, end);
    g_watchedBase += end;
    return true;
}

}  // namespace plat
