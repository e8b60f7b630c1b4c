// Top-level windows seen across the processes of one device root: each
// process lists its own under the root's ".lum/windows" folder, beside a file
// it keeps locked while it lives, so FindWindowW finds another process's
// window and SetForegroundWindow asks that process to bring it forward.
// Entries of a process that died (even by kill -9) lose their lock and are
// ignored and cleaned up.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <thread>

#include "plat/debug.h"
#include "plat/device.h"
#include "plat/utf.h"
#include "window_publish.h"
#include "wm_internal.h"

namespace plat::wm {

namespace {

namespace fs = std::filesystem;

// Handles of other processes' windows: far above this process's own.
constexpr std::uintptr_t kRemoteBase = std::uintptr_t{0x7E} << 40;

struct Remote {
    std::string owner;  // the owning process's token
    std::uintptr_t hwnd;
};

struct Entry {
    fs::path file;
    std::wstring cls;
    std::wstring title;
};

bool LockByte(int fd, int command, short type)
{
    struct flock range{};
    range.l_type = type;
    range.l_whence = SEEK_SET;
    range.l_start = 0;
    range.l_len = 1;
    int rc;
    do {
        rc = ::fcntl(fd, command, &range);
    } while (rc < 0 && errno == EINTR);
    return rc == 0;
}

// True while the process of that token lives: its life file is locked.
bool OwnerAlive(const fs::path& folder, const std::string& token)
{
    int fd = ::open((folder / (token + ".alive")).c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct flock probe{};
    probe.l_type = F_WRLCK;
    probe.l_whence = SEEK_SET;
    probe.l_start = 0;
    probe.l_len = 1;
    bool alive = ::fcntl(fd, F_OFD_GETLK, &probe) == 0 && probe.l_type != F_UNLCK;
    ::close(fd);
    return alive;
}

void WriteAtomically(const fs::path& file, const std::string& bytes)
{
    fs::path temporary = file;
    temporary += ".tmp";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out << bytes;
        if (!out)
            return;
    }
    std::error_code ec;
    fs::rename(temporary, file, ec);
    if (ec)
        fs::remove(temporary, ec);
}

std::string Hex(std::uintptr_t value)
{
    char text[24];
    std::snprintf(text, sizeof text, "%llx", static_cast<unsigned long long>(value));
    return text;
}

class Publisher {
public:
    ~Publisher()
    {
        {
            std::lock_guard lock(mu_);
            stop_ = true;
        }
        cv_.notify_all();
        if (watcher_.joinable())
            watcher_.join();
        std::error_code ec;
        for (auto& [hwnd, entry] : entries_)
            fs::remove(entry.file, ec);
        for (auto& [folder, fd] : lifeFiles_) {
            fs::remove(folder / (token_ + ".alive"), ec);
            ::close(fd);
        }
    }

    void Publish(HWND hwnd, const std::wstring& cls, const std::wstring& title)
    {
        auto root = ChosenDeviceRoot();
        if (!root)
            return;  // no device yet: nothing to share
        std::lock_guard lock(mu_);
        fs::path folder = *root / ".lum" / "windows";
        if (!Alive(folder))
            return;
        Entry entry{folder / (token_ + "." + Hex(reinterpret_cast<std::uintptr_t>(hwnd)) + ".win"), cls, title};
        WriteAtomically(entry.file, ToUtf8(cls) + "\n" + ToUtf8(title) + "\n");
        entries_[hwnd] = std::move(entry);
    }

    void Retitle(HWND hwnd, const std::wstring& title)
    {
        std::lock_guard lock(mu_);
        auto it = entries_.find(hwnd);
        if (it == entries_.end() || it->second.title == title)
            return;
        it->second.title = title;
        WriteAtomically(it->second.file, ToUtf8(it->second.cls) + "\n" + ToUtf8(title) + "\n");
    }

    void Withdraw(HWND hwnd)
    {
        std::lock_guard lock(mu_);
        auto it = entries_.find(hwnd);
        if (it == entries_.end())
            return;
        std::error_code ec;
        fs::remove(it->second.file, ec);
        entries_.erase(it);
    }

    HWND Find(LPCWSTR className, LPCWSTR windowName)
    {
        auto root = ChosenDeviceRoot();
        if (!root)
            return nullptr;
        fs::path folder = *root / ".lum" / "windows";
        std::error_code ec;
        if (!fs::is_directory(folder, ec))
            return nullptr;
        const std::wstring cls = className ? Lower(className) : L"";
        const std::wstring title = windowName ? Lower(windowName) : L"";
        std::map<std::string, bool> alive;
        std::vector<fs::path> files;
        for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
            if (it->path().extension() == ".win")
                files.push_back(it->path());
        std::sort(files.begin(), files.end());
        std::lock_guard lock(mu_);
        for (const fs::path& file : files) {
            std::string name = file.stem().string();  // token.hwnd
            auto dot = name.rfind('.');
            if (dot == std::string::npos)
                continue;
            std::string owner = name.substr(0, dot);
            if (owner == token_)
                continue;  // ours are found in the window list itself
            auto known = alive.find(owner);
            if (known == alive.end())
                known = alive.emplace(owner, OwnerAlive(folder, owner)).first;
            if (!known->second) {
                std::error_code ignored;
                fs::remove(file, ignored);
                fs::remove(folder / (owner + ".alive"), ignored);
                continue;
            }
            std::ifstream in(file, std::ios::binary);
            std::string entryClass, entryTitle;
            std::getline(in, entryClass);
            std::getline(in, entryTitle);
            if (className && Lower(FromUtf8(entryClass.c_str())) != cls)
                continue;
            if (windowName && Lower(FromUtf8(entryTitle.c_str())) != title)
                continue;
            std::uintptr_t remote = std::strtoull(name.c_str() + dot + 1, nullptr, 16);
            return Handle(owner, remote);
        }
        return nullptr;
    }

    bool IsRemote(HWND hwnd)
    {
        auto value = reinterpret_cast<std::uintptr_t>(hwnd);
        std::lock_guard lock(mu_);
        return value >= kRemoteBase && value < kRemoteBase + 4 * remotes_.size();
    }

    BOOL BringForward(HWND hwnd)
    {
        auto root = ChosenDeviceRoot();
        auto value = reinterpret_cast<std::uintptr_t>(hwnd);
        std::lock_guard lock(mu_);
        if (!root || value < kRemoteBase || value >= kRemoteBase + 4 * remotes_.size())
            return FALSE;
        const Remote& remote = remotes_[(value - kRemoteBase) / 4];
        fs::path folder = *root / ".lum" / "windows";
        if (!OwnerAlive(folder, remote.owner))
            return FALSE;
        static std::atomic<unsigned> serial{0};
        WriteAtomically(folder / (remote.owner + "." + Hex(remote.hwnd) + "." + std::to_string(::getpid()) + "-" +
                                  std::to_string(serial++) + ".activate"),
                        "");
        return TRUE;
    }

private:
    // This process's life file in that folder, locked from now to its end;
    // the watcher of requests starts with the first one.
    bool Alive(const fs::path& folder)
    {
        if (lifeFiles_.count(folder))
            return true;
        std::error_code ec;
        fs::create_directories(folder, ec);
        if (token_.empty()) {
            auto started = std::chrono::steady_clock::now().time_since_epoch();
            token_ = std::to_string(::getpid()) + "-" +
                     std::to_string(std::chrono::duration_cast<std::chrono::microseconds>(started).count());
        }
        int fd = ::open((folder / (token_ + ".alive")).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
        if (fd < 0)
            return false;
        if (!LockByte(fd, F_OFD_SETLK, F_WRLCK)) {
            ::close(fd);
            return false;
        }
        lifeFiles_[folder] = fd;
        if (!watcher_.joinable())
            watcher_ = std::thread([this] { Watch(); });
        return true;
    }

    HWND Handle(const std::string& owner, std::uintptr_t remote)
    {
        for (std::size_t i = 0; i < remotes_.size(); ++i)
            if (remotes_[i].owner == owner && remotes_[i].hwnd == remote)
                return reinterpret_cast<HWND>(kRemoteBase + 4 * i);
        remotes_.push_back({owner, remote});
        return reinterpret_cast<HWND>(kRemoteBase + 4 * (remotes_.size() - 1));
    }

    // Requests of other processes to bring one of ours forward, taken on the
    // real clock: another process does not wait for a test's virtual time.
    void Watch()
    {
        std::unique_lock lock(mu_);
        while (!stop_) {
            cv_.wait_for(lock, std::chrono::milliseconds(50));
            if (stop_)
                break;
            std::vector<std::pair<HWND, std::string>> asked;
            for (auto& [folder, fd] : lifeFiles_) {
                std::error_code ec;
                for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
                    std::string name = it->path().filename().string();
                    if (it->path().extension() != ".activate" || name.rfind(token_ + ".", 0) != 0)
                        continue;
                    std::string rest = name.substr(token_.size() + 1);
                    auto dot = rest.find('.');
                    std::uintptr_t value = std::strtoull(rest.c_str(), nullptr, 16);
                    std::string from = dot == std::string::npos ? "" : rest.substr(dot + 1, rest.find('-', dot) - dot - 1);
                    std::error_code ignored;
                    fs::remove(it->path(), ignored);
                    asked.emplace_back(reinterpret_cast<HWND>(value), from);
                }
            }
            lock.unlock();
            for (auto& [hwnd, from] : asked) {
                plat::DebugLine(L"[platform] window %p brought forward at the request of process %ls",
                                static_cast<void*>(hwnd), FromUtf8(from.c_str()).c_str());
                ActivateOnItsThread(hwnd);
            }
            lock.lock();
        }
    }

    // The window's own thread activates it when it next looks at its queue;
    // the watcher never waits for it.
    static void ActivateOnItsThread(HWND hwnd)
    {
        Lock lock(S().mu);
        Window* w = wm::Find(hwnd);
        if (!w || w->destroying)
            return;
        auto queue = QueueOf(w->thread);
        if (!queue)
            return;
        auto item = std::make_shared<SentItem>();
        item->call = [hwnd] {
            Activate(hwnd);
            return LRESULT{0};
        };
        queue->sent.push_back(item);
        Wake(*queue);
    }

    std::mutex mu_;
    std::condition_variable cv_;
    bool stop_ = false;
    std::thread watcher_;
    std::string token_;  // "<pid>-<start>": a reused pid is another token
    std::map<fs::path, int> lifeFiles_;
    std::map<HWND, Entry> entries_;
    std::vector<Remote> remotes_;
};

Publisher& P()
{
    static Publisher publisher;
    return publisher;
}

}  // namespace

void PublishWindow(HWND hwnd, const std::wstring& cls, const std::wstring& title) { P().Publish(hwnd, cls, title); }
void RetitleWindow(HWND hwnd, const std::wstring& title) { P().Retitle(hwnd, title); }
void WithdrawWindow(HWND hwnd) { P().Withdraw(hwnd); }
HWND FindOtherProcessWindow(LPCWSTR className, LPCWSTR windowName) { return P().Find(className, windowName); }
bool IsOtherProcessWindow(HWND hwnd) { return P().IsRemote(hwnd); }
BOOL BringOtherProcessWindowForward(HWND hwnd) { return P().BringForward(hwnd); }

}  // namespace plat::wm
