// The scenario driver: parses a scenario file whole, then replays its steps
// through the handset's input path, the registry and the device's files.
#include "plat/scenario.h"

#include <malloc.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <thread>
#include <fstream>
#include <map>
#include <sstream>
#include <vector>

#include "plat/clock.h"
#include "plat/debug.h"
#include "plat/file.h"
#include "plat/handle.h"
#include "plat/input.h"
#include "plat/message.h"
#include "plat/registry.h"
#include "plat/screen.h"
#include "plat/shell.h"
#include "plat/thread.h"
#include "plat/utf.h"
#include "plat/window.h"

#include "gdi_internal.h"
#include "wm_internal.h"

namespace plat {

namespace {

using Kind = ScenarioStep::Kind;

// Longest wait or drag of one step: a day.
constexpr long long kMaxMs = 24LL * 3600 * 1000;
// Coordinates of the panel, in either orientation, with room for touches just off it.
constexpr long long kMaxCoordinate = 4096;
// How often a wait-file or wait-window step looks again.
constexpr DWORD kPollMs = 20;
// Pen moves of a drag, one per this many milliseconds.
constexpr long long kDragStepMs = 20;

bool Tokenize(const std::string& line, std::vector<std::string>& out, std::string& error)
{
    size_t i = 0;
    while (i < line.size()) {
        if (line[i] == ' ' || line[i] == '\t' || line[i] == '\r') {
            ++i;
            continue;
        }
        std::string token;
        if (line[i] == '"') {
            ++i;
            bool closed = false;
            while (i < line.size()) {
                char c = line[i++];
                if (c == '"') {
                    closed = true;
                    break;
                }
                if (c == '\\' && i < line.size() && line[i] == '"') {
                    // Only a quote is escaped: paths keep their backslashes.
                    token.push_back(line[i++]);
                } else {
                    token.push_back(c);
                }
            }
            if (!closed) {
                error = "unclosed quote";
                return false;
            }
        } else {
            while (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r')
                token.push_back(line[i++]);
        }
        out.push_back(token);
    }
    return true;
}

bool Number(const std::string& text, long long low, long long high, long long& out)
{
    if (text.empty())
        return false;
    errno = 0;
    char* end = nullptr;
    bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    long long v = std::strtoll(text.c_str() + (hex ? 2 : 0), &end, hex ? 16 : 10);
    if (errno || *end || end == text.c_str() + (hex ? 2 : 0) || v < low || v > high)
        return false;
    out = v;
    return true;
}

std::string Upper(std::string s)
{
    for (char& c : s)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

// Virtual keys by name (with or without "VK_"), a single letter or digit, or a number.
bool KeyCode(const std::string& text, long long& vk)
{
    static const std::map<std::string, int> names = {
        {"BACK", VK_BACK},      {"TAB", VK_TAB},         {"RETURN", VK_RETURN},    {"ENTER", VK_RETURN},
        {"SHIFT", VK_SHIFT},    {"CONTROL", VK_CONTROL}, {"MENU", VK_MENU},        {"ESCAPE", VK_ESCAPE},
        {"SPACE", VK_SPACE},    {"PRIOR", VK_PRIOR},     {"NEXT", VK_NEXT},        {"END", VK_END},
        {"HOME", VK_HOME},      {"LEFT", VK_LEFT},       {"UP", VK_UP},            {"RIGHT", VK_RIGHT},
        {"DOWN", VK_DOWN},      {"DELETE", VK_DELETE},   {"LWIN", VK_LWIN},        {"RWIN", VK_RWIN},
        {"F1", VK_F1},          {"F2", VK_F2},           {"F3", VK_F3},            {"F4", VK_F4},
        {"F5", VK_F5},          {"F6", VK_F6},           {"F7", VK_F7},            {"F8", VK_F8},
        {"ACTION", VK_ACTION},  {"APP1", VK_APP1},       {"APP2", VK_APP2},        {"APP3", VK_APP3},
        {"APP4", VK_APP4},      {"APP5", VK_APP5},       {"APP6", VK_APP6},        {"TTALK", VK_TTALK},
        {"TEND", VK_TEND},      {"TVOLUMEUP", VK_TVOLUMEUP}, {"TVOLUMEDOWN", VK_TVOLUMEDOWN},
    };
    std::string name = Upper(text);
    if (name.rfind("VK_", 0) == 0)
        name = name.substr(3);
    if (auto it = names.find(name); it != names.end()) {
        vk = it->second;
        return true;
    }
    if (name.size() == 1 && std::isalnum(static_cast<unsigned char>(name[0]))) {
        vk = name[0];
        return true;
    }
    return Number(text, 1, 254, vk);
}

bool ParseStep(const std::vector<std::string>& t, ScenarioStep& step, std::string& error)
{
    const std::string& verb = t[0];
    auto args = [&](size_t low, size_t high) {
        if (t.size() - 1 < low || t.size() - 1 > high) {
            error = verb + " takes " + (low == high ? std::to_string(low) : std::to_string(low) + " or " + std::to_string(high)) +
                    " argument" + (high == 1 ? "" : "s");
            return false;
        }
        return true;
    };
    auto numbers = [&](size_t from, size_t count, long long low, long long high, const char* what) {
        for (size_t i = from; i < from + count; ++i) {
            long long v;
            if (!Number(t[i], low, high, v)) {
                error = std::string("bad ") + what + " \"" + t[i] + "\"";
                return false;
            }
            step.numbers.push_back(v);
        }
        return true;
    };
    auto words = [&](size_t from, size_t count) {
        for (size_t i = from; i < from + count; ++i)
            step.words.push_back(FromUtf8(t[i]));
    };
    if (verb == "key") {
        step.kind = Kind::Key;
        if (!args(1, 2))
            return false;
        long long vk;
        if (!KeyCode(t[1], vk)) {
            error = "unknown key \"" + t[1] + "\"";
            return false;
        }
        step.numbers = {vk, 0};
        if (t.size() == 3) {
            if (t[2] != "down" && t[2] != "up") {
                error = "key takes down or up, not \"" + t[2] + "\"";
                return false;
            }
            step.numbers[1] = t[2] == "down" ? 1 : 2;
        }
        return true;
    }
    if (verb == "tap") {
        step.kind = Kind::Tap;
        return args(2, 2) && numbers(1, 2, 0, kMaxCoordinate, "coordinate");
    }
    if (verb == "drag") {
        step.kind = Kind::Drag;
        return args(5, 5) && numbers(1, 4, 0, kMaxCoordinate, "coordinate") && numbers(5, 1, 0, kMaxMs, "time");
    }
    if (verb == "text") {
        step.kind = Kind::Text;
        if (!args(1, 1))
            return false;
        words(1, 1);
        return true;
    }
    if (verb == "wait") {
        step.kind = Kind::Wait;
        return args(1, 1) && numbers(1, 1, 0, kMaxMs, "time");
    }
    if (verb == "reg") {
        step.kind = Kind::Reg;
        if (!args(4, 4))
            return false;
        HKEY root;
        std::wstring sub;
        if (!SplitRegistryPath(FromUtf8(t[1]), root, sub)) {
            error = "bad registry key \"" + t[1] + "\"";
            return false;
        }
        if (t[3] == "dword") {
            words(1, 3);
            return numbers(4, 1, 0, 0xFFFFFFFFLL, "dword");
        }
        if (t[3] == "sz") {
            words(1, 4);
            return true;
        }
        error = "reg takes dword or sz, not \"" + t[3] + "\"";
        return false;
    }
    if (verb == "card") {
        step.kind = Kind::Card;
        if (!args(2, 2))
            return false;
        if (t[1] != "insert" && t[1] != "remove") {
            error = "card takes insert or remove, not \"" + t[1] + "\"";
            return false;
        }
        if (t[2].empty() || t[2].find_first_of("\\/") != std::string::npos) {
            error = "bad card name \"" + t[2] + "\"";
            return false;
        }
        step.numbers = {t[1] == "insert" ? 1 : 0};
        words(2, 1);
        return true;
    }
    if (verb == "turn") {
        step.kind = Kind::Turn;
        if (!args(1, 1))
            return false;
        long long code;
        // The user holds the handset upright (0) or on its side (4).
        if (!Number(t[1], 0, 4, code) || (code != DMDO_0 && code != DMDO_270)) {
            error = "turn takes 0 or 4, not \"" + t[1] + "\"";
            return false;
        }
        step.numbers = {code};
        return true;
    }
    if (verb == "expect-file") {
        step.kind = Kind::ExpectFile;
        if (!args(1, 1))
            return false;
        words(1, 1);
        return true;
    }
    if (verb == "copy") {
        step.kind = Kind::Copy;
        if (!args(2, 2))
            return false;
        words(1, 2);
        return true;
    }
    if (verb == "wait-file") {
        step.kind = Kind::WaitFile;
        if (!args(2, 2))
            return false;
        words(1, 1);
        return numbers(2, 1, 0, kMaxMs, "time");
    }
    if (verb == "wait-log") {
        step.kind = Kind::WaitLog;
        if (!args(2, 2))
            return false;
        words(1, 1);
        if (step.words[0].empty()) {
            error = "wait-log takes a text that is not empty";
            return false;
        }
        return numbers(2, 1, 0, kMaxMs, "time");
    }
    if (verb == "wait-window") {
        // numbers: the time, then 1 when the step waits for the window to go.
        step.kind = Kind::WaitWindow;
        if (!args(2, 3))
            return false;
        words(1, 1);
        if (t.size() == 4 && t[3] != "gone") {
            error = "wait-window takes gone, not \"" + t[3] + "\"";
            return false;
        }
        if (!numbers(2, 1, 0, kMaxMs, "time"))
            return false;
        step.numbers.push_back(t.size() == 4 ? 1 : 0);
        return true;
    }
    if (verb == "expect-reg" || verb == "wait-reg") {
        // numbers: a wait-reg step's time.
        const bool wait = verb == "wait-reg";
        step.kind = wait ? Kind::WaitReg : Kind::ExpectReg;
        if (!args(wait ? 4 : 3, wait ? 4 : 3))
            return false;
        if (wait && !numbers(4, 1, 0, kMaxMs, "time"))
            return false;
        HKEY root;
        std::wstring sub;
        if (!SplitRegistryPath(FromUtf8(t[1]), root, sub)) {
            error = "bad registry key \"" + t[1] + "\"";
            return false;
        }
        words(1, 3);
        return true;
    }
    if (verb == "screenshot") {
        step.kind = Kind::Screenshot;
        if (!args(1, 1))
            return false;
        words(1, 1);
        return true;
    }
    if (verb == "say") {
        step.kind = Kind::Say;
        if (!args(1, 1))
            return false;
        words(1, 1);
        return true;
    }
    if (verb == "post") {
        // numbers: the message, wParam, lParam; words: the class.
        step.kind = Kind::Post;
        if (!args(4, 4))
            return false;
        if (t[1].empty()) {
            error = "post takes a window class";
            return false;
        }
        words(1, 1);
        return numbers(2, 1, 0, 0xFFFFFFFFLL, "message") && numbers(3, 1, 0, 0xFFFFFFFFLL, "wparam") &&
               numbers(4, 1, INT32_MIN, 0xFFFFFFFFLL, "lparam");
    }
    if (verb == "counts") {
        step.kind = Kind::Counts;
        return args(0, 0);
    }
    if (verb == "end") {
        step.kind = Kind::End;
        return args(0, 0);
    }
    error = "unknown step \"" + verb + "\"";
    return false;
}

// Waits on the platform clock in slices, so that a stop request is seen.
void Wait(long long ms, const std::atomic<bool>* stop)
{
    std::uint64_t end = NowMs() + static_cast<std::uint64_t>(ms);
    while (!(stop && *stop)) {
        std::uint64_t now = NowMs();
        if (now >= end)
            return;
        Sleep(static_cast<DWORD>(std::min<std::uint64_t>(end - now, 100)));
    }
}

std::string Narrow(const std::wstring& s) { return ToUtf8(s); }

bool WriteValue(const ScenarioStep& step, std::string& failure)
{
    HKEY root;
    std::wstring sub;
    SplitRegistryPath(step.words[0], root, sub);
    HKEY key = nullptr;
    LONG r = RegCreateKeyExW(root, sub.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr);
    if (r == ERROR_SUCCESS) {
        if (step.words[2] == L"dword") {
            auto value = static_cast<DWORD>(step.numbers[0]);
            r = RegSetValueExW(key, step.words[1].c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                               sizeof value);
        } else {
            const std::wstring& text = step.words[3];
            r = RegSetValueExW(key, step.words[1].c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                               static_cast<DWORD>((text.size() + 1) * sizeof(WCHAR)));
        }
        RegCloseKey(key);
    }
    if (r != ERROR_SUCCESS)
        failure = "the value could not be written (error " + std::to_string(r) + ")";
    return r == ERROR_SUCCESS;
}

bool CheckValue(const ScenarioStep& step, std::string& failure)
{
    HKEY root;
    std::wstring sub;
    SplitRegistryPath(step.words[0], root, sub);
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, sub.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
        failure = "no such key";
        return false;
    }
    DWORD type = 0, size = 0;
    LONG r = RegQueryValueExW(key, step.words[1].c_str(), nullptr, &type, nullptr, &size);
    std::vector<BYTE> data(size + sizeof(WCHAR));
    if (r == ERROR_SUCCESS)
        r = RegQueryValueExW(key, step.words[1].c_str(), nullptr, &type, data.data(), &size);
    RegCloseKey(key);
    if (r != ERROR_SUCCESS) {
        failure = "no such value";
        return false;
    }
    const std::wstring& want = step.words[2];
    std::wstring found;
    bool same = false;
    if (type == REG_DWORD && size == sizeof(DWORD)) {
        DWORD v;
        std::memcpy(&v, data.data(), sizeof v);
        long long expected;
        same = Number(Narrow(want), 0, 0xFFFFFFFFLL, expected) && expected == v;
        found = std::to_wstring(v);
    } else if (type == REG_SZ) {
        found.assign(reinterpret_cast<const WCHAR*>(data.data()), size / sizeof(WCHAR));
        while (!found.empty() && found.back() == 0)
            found.pop_back();
        same = found == want;
    } else {
        found = L"(a value of type " + std::to_wstring(type) + L")";
    }
    if (!same)
        failure = "found \"" + Narrow(found) + "\"";
    return same;
}

bool FileExists(const std::wstring& path)
{
    WIN32_FIND_DATAW found{};
    HANDLE h = FindFirstFileW(path.c_str(), &found);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    FindClose(h);
    return true;
}

// The program's live handles and threads and its resident memory, for a
// test that watches them over a long run.
std::string CountsLine()
{
    long pages = 0, resident = 0;
    if (FILE* f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2)
            resident = 0;
        std::fclose(f);
    }
    const long kb = resident * (sysconf(_SC_PAGESIZE) / 1024);
    // Every thread of the process, the libraries' own included.
    long all = 0;
    if (FILE* f = std::fopen("/proc/self/status", "r")) {
        char line[256];
        while (std::fgets(line, sizeof line, f))
            if (std::sscanf(line, "Threads: %ld", &all) == 1)
                break;
        std::fclose(f);
    }
    std::size_t windows = 0;
    {
        std::lock_guard lock(wm::S().mu);
        windows = wm::S().windows.size();
    }
    return "counts: handles " + std::to_string(LiveHandleCount()) + " gdi " + std::to_string(gdi::LiveObjectCount()) +
           " windows " + std::to_string(windows) +
           " threads " + std::to_string(LiveThreadCount()) + " process-threads " + std::to_string(all) + " resident " + std::to_string(kb) + " kB heap " +
           std::to_string(mallinfo2().uordblks / 1024) + " kB\n";
}

// A file put on the device as the user would copy it there; an existing one
// is replaced.
bool CopyDeviceFile(const std::wstring& from, const std::wstring& to, std::string& failure)
{
    HANDLE in = CreateFileW(from.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (in == INVALID_HANDLE_VALUE) {
        failure = "no such file to copy";
        return false;
    }
    std::vector<char> bytes;
    char buffer[65536];
    DWORD got = 0;
    while (ReadFile(in, buffer, sizeof buffer, &got, nullptr) && got > 0)
        bytes.insert(bytes.end(), buffer, buffer + got);
    CloseHandle(in);
    HANDLE out = CreateFileW(to.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD put = 0;
    const bool ok = out != INVALID_HANDLE_VALUE &&
                    WriteFile(out, bytes.data(), static_cast<DWORD>(bytes.size()), &put, nullptr) &&
                    put == bytes.size();
    if (out != INVALID_HANDLE_VALUE)
        CloseHandle(out);
    if (!ok)
        failure = "the copy could not be written";
    return ok;
}

// The shown top-level window of the program highest in the z-order whose
// title (or class) is `name`.
HWND ShownWindow(const std::wstring& name, bool byClass)
{
    struct Search {
        const std::wstring* name;
        bool byClass;
        HWND found;
    } search{&name, byClass, nullptr};
    EnumWindows(
        [](HWND hwnd, LPARAM data) -> BOOL {
            auto* s = reinterpret_cast<Search*>(data);
            WCHAR text[256];
            if (s->byClass)
                GetClassNameW(hwnd, text, 256);
            else
                GetWindowTextW(hwnd, text, 256);
            if (IsWindowVisible(hwnd) && *s->name == text)
                s->found = hwnd;
            return s->found == nullptr;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// Waits on the platform clock until `ready` holds, at most `ms`.
template <class Ready>
bool WaitUntil(long long ms, const std::atomic<bool>* stop, Ready ready)
{
    std::uint64_t end = NowMs() + static_cast<std::uint64_t>(ms);
    for (;;) {
        if (ready())
            return true;
        if (stop && *stop)
            return true;  // the replay is over; nothing failed
        if (NowMs() >= end)
            return false;
        Sleep(kPollMs);
    }
}

}  // namespace

std::optional<Scenario> Scenario::Load(const std::filesystem::path& file, std::string* error)
{
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        if (error)
            *error = file.string() + ": cannot be read";
        return std::nullopt;
    }
    std::ostringstream text;
    text << in.rdbuf();
    return Parse(text.str(), file.string(), error);
}

std::optional<Scenario> Scenario::Parse(const std::string& text, const std::string& name, std::string* error)
{
    Scenario scenario;
    scenario.name_ = name;
    std::istringstream lines(text);
    std::string line;
    int number = 0;
    while (std::getline(lines, line)) {
        ++number;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        size_t first = line.find_first_not_of(" \t");
        if (first == std::string::npos || line[first] == '#')
            continue;
        std::vector<std::string> tokens;
        std::string problem;
        ScenarioStep step{};
        step.line = number;
        step.source = line.substr(first);
        if (!Tokenize(line, tokens, problem) || !ParseStep(tokens, step, problem)) {
            if (error)
                *error = name + ":" + std::to_string(number) + ": " + problem;
            return std::nullopt;
        }
        scenario.steps_.push_back(std::move(step));
    }
    return scenario;
}

int Scenario::Run(std::string* failureOut, const std::atomic<bool>* stop) const
{
    WatchDebugText();
    std::size_t logFrom = 0;  // a wait-log step looks only past what an earlier one found
    for (const ScenarioStep& step : steps_) {
        if (stop && *stop)
            return 0;
        std::string failure;
        bool ok = true;
        const auto& n = step.numbers;
        switch (step.kind) {
        case Kind::Key:
            if (n[1] != 2)
                HardwareKey(static_cast<BYTE>(n[0]), true);
            if (n[1] != 1)
                HardwareKey(static_cast<BYTE>(n[0]), false);
            break;
        case Kind::Tap:
            PenInput(Pen::Down, static_cast<int>(n[0]), static_cast<int>(n[1]));
            PenInput(Pen::Up, static_cast<int>(n[0]), static_cast<int>(n[1]));
            break;
        case Kind::Drag: {
            PenInput(Pen::Down, static_cast<int>(n[0]), static_cast<int>(n[1]));
            long long moves = std::max<long long>(1, n[4] / kDragStepMs);
            for (long long i = 1; i <= moves && !(stop && *stop); ++i) {
                Wait(n[4] / moves, stop);
                PenInput(Pen::Move, static_cast<int>(n[0] + (n[2] - n[0]) * i / moves),
                         static_cast<int>(n[1] + (n[3] - n[1]) * i / moves));
            }
            PenInput(Pen::Up, static_cast<int>(n[2]), static_cast<int>(n[3]));
            break;
        }
        case Kind::Text:
            TypeText(step.words[0]);
            break;
        case Kind::Wait:
            Wait(n[0], stop);
            break;
        case Kind::Reg:
            ok = WriteValue(step, failure);
            break;
        case Kind::Card: {
            HRESULT hr = RegistrySetDWORD(HKEY_LOCAL_MACHINE, kStorageCardsKey, step.words[0].c_str(),
                                          static_cast<DWORD>(n[0]));
            ok = SUCCEEDED(hr);
            if (!ok)
                failure = "the card could not be changed";
            break;
        }
        case Kind::Turn: {
            DEVMODEW mode{};
            mode.dmSize = sizeof mode;
            mode.dmFields = DM_DISPLAYORIENTATION;
            mode.dmDisplayOrientation = static_cast<DWORD>(n[0]);
            ok = ChangeDisplaySettingsEx(nullptr, &mode, nullptr, CDS_RESET, nullptr) == DISP_CHANGE_SUCCESSFUL;
            if (!ok)
                failure = "the screen could not be turned";
            break;
        }
        case Kind::Copy:
            ok = CopyDeviceFile(step.words[0], step.words[1], failure);
            break;
        case Kind::ExpectFile:
            ok = FileExists(step.words[0]);
            if (!ok)
                failure = "no such file";
            break;
        case Kind::ExpectReg:
            ok = CheckValue(step, failure);
            break;
        case Kind::WaitFile:
        case Kind::WaitWindow: {
            const std::wstring& what = step.words[0];
            const bool gone = step.kind == Kind::WaitWindow && n[1] == 1;
            ok = step.kind == Kind::WaitFile ? WaitUntil(n[0], stop, [&] { return FileExists(what); })
                                             : WaitUntil(n[0], stop, [&] { return (ShownWindow(what, false) != nullptr) != gone; });
            if (!ok)
                failure = (gone ? "still there after " : "not there after ") + std::to_string(n[0]) + " ms";
            break;
        }
        case Kind::WaitReg: {
            // The last look's finding names what was there when the time ran out.
            std::string found;
            ok = WaitUntil(n[0], stop, [&] { return CheckValue(step, found); });
            if (!ok)
                failure = found + " after " + std::to_string(n[0]) + " ms";
            break;
        }
        case Kind::WaitLog:
            ok = WaitUntil(n[0], stop, [&] { return FindDebugText(&logFrom, step.words[0]); });
            if (!ok)
                failure = "not printed after " + std::to_string(n[0]) + " ms";
            break;
        case Kind::Post: {
            // As another program of the handset would: to whoever shows that class now.
            HWND target = ShownWindow(step.words[0], true);
            ok = target && PostMessageW(target, static_cast<UINT>(n[0]), static_cast<WPARAM>(n[1]),
                                        static_cast<LPARAM>(n[2]));
            if (!ok)
                failure = target ? "the message could not be posted" : "no shown window of that class";
            break;
        }
        case Kind::Screenshot:
            ok = SaveScreenshot(step.words[0]);
            if (!ok)
                failure = "the screenshot could not be written";
            break;
        case Kind::Say:
        case Kind::Counts: {
            // The running commentary of a replay, on standard output.
            std::string line = step.kind == Kind::Say ? ToUtf8(step.words[0]) + "\n" : CountsLine();
            std::fwrite(line.data(), 1, line.size(), stdout);
            std::fflush(stdout);
            break;
        }
        case Kind::End:
            return 0;
        }
        if (!ok) {
            if (failureOut)
                *failureOut = name_ + ":" + std::to_string(step.line) + ": " + step.source + ": " + failure;
            return step.line;
        }
    }
    return 0;
}

void CloseProgramWindows()
{
    std::vector<HWND> windows;
    EnumWindows(
        [](HWND hwnd, LPARAM list) -> BOOL {
            WCHAR name[64];
            GetClassNameW(hwnd, name, 64);
            bool shell = std::wstring_view(name) == kTaskBarClass || std::wstring_view(name) == L"menu_worker";
            if (!shell && !GetWindow(hwnd, GW_OWNER))
                reinterpret_cast<std::vector<HWND>*>(list)->push_back(hwnd);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&windows));
    for (HWND hwnd : windows)
        PostMessageW(hwnd, WM_CLOSE, 0, 0);
}

int RunProgramWithScenario(const Scenario& scenario, const std::function<int()>& program, unsigned graceMs)
{
    std::mutex lock;
    std::condition_variable changed;
    bool replayOver = false;
    bool programOver = false;
    std::string failure;
    int failedLine = 0;
    WatchDebugText();  // from the program's first line: a wait-log step may look for it
    std::thread driver([&] {
        int line = scenario.Run(&failure);
        bool ended;
        {
            std::lock_guard guard(lock);
            failedLine = line;
            replayOver = true;
            ended = programOver;
        }
        changed.notify_all();
        // A program still starting has no window to close yet: ask again
        // until it has ended (the watchdog bounds the wait).
        std::unique_lock guard(lock);
        while (!ended) {
            guard.unlock();
            CloseProgramWindows();
            guard.lock();
            ended = changed.wait_for(guard, std::chrono::milliseconds(200), [&] { return programOver; });
        }
    });
    // Real time: the program may have stopped its own clock.
    std::thread watchdog([&] {
        std::unique_lock guard(lock);
        changed.wait(guard, [&] { return replayOver || programOver; });
        if (changed.wait_for(guard, std::chrono::milliseconds(graceMs), [&] { return programOver; }))
            return;
        if (failedLine)
            std::fprintf(stderr, "lumocr: %s\n", failure.c_str());
        std::fprintf(stderr, "lumocr: the program did not end %u ms after the scenario\n", graceMs);
        std::fflush(stderr);
        std::_Exit(3);
    });
    int result = program();
    {
        std::lock_guard guard(lock);
        programOver = true;
    }
    changed.notify_all();
    driver.join();
    watchdog.join();
    if (failedLine) {
        std::fprintf(stderr, "lumocr: %s\n", failure.c_str());
        return 1;
    }
    return result;
}

}  // namespace plat
