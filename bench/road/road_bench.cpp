// The main road timed from outside, lumocr run as a process on a fresh device
// root the way ./run.sh runs it:
//   shutter  the shutter key to the business-card view (capture, JPEG, save,
//            recognition, view) against the `tesseract` command reading the
//            still that run saved, alternating; ours is a warm program (the
//            camera open, as the user has it), the peer a process from start
//            to exit, as its users run it; the first card of a run (the
//            engine loads its models) and the next one apart, with the time
//            of each stage read from the log as it is written;
//   startup  process start to the preview's "start-up time" line on an
//            existing device root, against a goal of 300 ms, with the part
//            spent in the display's fixed settle wait before it takes the
//            screen;
//   preview  CPU share of the whole program while the camera preview runs
//            idle on a device whose sensor makes 30 frames a second, with
//            the rate of frames shown read from its frame-count lines and
//            the CPU per frame shown.
// Each figure is a median of alternating runs with its spread (min-max);
// CPU time (all threads) is given beside wall time.
//   road_bench [runs [startup|preview|shutter]]   default 5 runs, all three
//   LUMROAD_BIN=DIR road_bench ...                 lumocr and lumreg of DIR
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

extern char** environ;

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// LUMROAD_BIN names another build's bin folder, to time it the same way.
const std::string kBin = std::getenv("LUMROAD_BIN") ? std::string(std::getenv("LUMROAD_BIN")) + "/"
                                                     : std::string(LUM_BINARY_DIR) + "/bin/";
constexpr double kStartupGoalMs = 300;

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

// CPU time of a running process (all its threads), in ms.
double ProcessCpuMs(pid_t pid)
{
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const auto close = text.rfind(')');
    if (close == std::string::npos)
        return 0;
    std::istringstream fields(text.substr(close + 2));
    std::string field;
    unsigned long long utime = 0, stime = 0;
    // Fields 3.. after the name; utime and stime are the 14th and 15th.
    for (int i = 3; i <= 15 && fields >> field; ++i) {
        if (i == 14)
            utime = std::stoull(field);
        if (i == 15)
            stime = std::stoull(field);
    }
    return 1000.0 * static_cast<double>(utime + stime) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

struct Mark {
    double wallMs;  // since the process was started
    double cpuMs;
};

// Runs a program, its output and errors read line by line; `watch` sees each
// line with the moment it came and may note marks. Returns the exit status.
int RunWatched(const std::vector<std::string>& args, const std::function<void(const std::string&, pid_t)>& watch,
               Clock::time_point* started = nullptr)
{
    int out[2];
    if (pipe(out) != 0)
        return -1;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_adddup2(&actions, out[1], 2);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    std::vector<char*> argv;
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    pid_t pid = 0;
    const auto start = Clock::now();
    if (started)
        *started = start;
    const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    if (spawned != 0) {
        close(out[0]);
        return -1;
    }
    std::string pending;
    char buffer[4096];
    for (;;) {
        const ssize_t n = read(out[0], buffer, sizeof buffer);
        if (n <= 0)
            break;
        pending.append(buffer, static_cast<size_t>(n));
        for (size_t end; (end = pending.find('\n')) != std::string::npos;) {
            watch(pending.substr(0, end), pid);
            pending.erase(0, end + 1);
        }
    }
    if (!pending.empty())
        watch(pending, pid);
    close(out[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// A fresh device root that keeps its pictures, and its scenario.
struct Device {
    fs::path dir;
    explicit Device(const std::string& steps, int cameraFps = 0)
    {
        char name[] = "/tmp/lumroad-XXXXXX";
        dir = mkdtemp(name);
        Set("HKCU\\SOFTWARE\\Quarlo\\LumOCR", "EnableAutoSave", 1);
        if (cameraFps > 0)
            Set("HKLM\\Platform\\Camera", "FrameRate", cameraFps);
        std::ofstream(dir / "steps.scn") << steps;
    }
    void Set(const std::string& key, const std::string& name, int value) const
    {
        std::system(("'" + kBin + "lumreg' --root '" + (dir / "device").string() + "' set '" + key + "' " + name +
                     " dword " + std::to_string(value) + " > /dev/null")
                        .c_str());
    }
    ~Device() { fs::remove_all(dir); }
    std::vector<std::string> Command() const
    {
        return {kBin + "lumocr", "--root", (dir / "device").string(), "--scenario", (dir / "steps.scn").string()};
    }
};

struct Stats {
    double median, low, high;
};

Stats Of(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    if (v.empty())
        return {0, 0, 0};
    const size_t n = v.size();
    const double median = n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
    return {median, v.front(), v.back()};
}

void Print(const char* what, const std::vector<double>& v)
{
    const Stats s = Of(v);
    std::printf("  %-34s %8.0f ms  (%.0f-%.0f, %zu runs)\n", what, s.median, s.low, s.high, v.size());
}

// The stills the run saved, in the order they were taken.
std::vector<fs::path> SavedStills(const Device& device)
{
    std::vector<fs::path> found;
    const fs::path folder = device.dir / "device" / "My Documents" / "KVIM";
    if (fs::is_directory(folder))
        for (const auto& entry : fs::directory_iterator(folder))
            if (entry.path().extension() == ".jpg" && entry.path().filename().string()[0] == 'B')
                found.push_back(entry.path());
    std::sort(found.begin(), found.end());
    return found;
}

// The tesseract command on the still: wall and CPU time of the process.
bool RunTesseract(const fs::path& still, double* wallMs, double* cpuMs)
{
    const auto start = Clock::now();
    pid_t pid = fork();
    if (pid == 0) {
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, 1);
        dup2(null, 2);
        // One thread, as our recognition has: a loaded machine makes the
        // peer's idle worker threads spin, which is not its work.
        setenv("OMP_THREAD_LIMIT", "1", 1);
        execlp("tesseract", "tesseract", still.c_str(), "stdout", static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    if (pid < 0 || wait4(pid, &status, 0, &usage) != pid)
        return false;
    *wallMs = Ms(Clock::now() - start);
    *cpuMs = 1000.0 * (static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)) +
             (static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec)) / 1000.0;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// Every line holding one of the texts, with its mark, in order.
std::map<std::string, std::vector<Mark>> RunMarkedAll(const Device& device, const std::vector<std::string>& texts,
                                                      int* status)
{
    std::map<std::string, std::vector<Mark>> marks;
    Clock::time_point start;
    *status = RunWatched(
        device.Command(),
        [&](const std::string& line, pid_t pid) {
            const double wall = Ms(Clock::now() - start);
            for (const std::string& t : texts)
                if (line.find(t) != std::string::npos)
                    marks[t].push_back(Mark{wall, ProcessCpuMs(pid)});
        },
        &start);
    return marks;
}

// Marks at the first line holding each text.
std::map<std::string, Mark> RunMarked(const Device& device, const std::vector<std::string>& texts, int* status)
{
    std::map<std::string, Mark> first;
    for (const auto& [text, marks] : RunMarkedAll(device, texts, status))
        first[text] = marks.front();
    return first;
}

struct ShotFigures {
    std::vector<double> oursWall, oursCpu, peerWall, peerCpu, ratios;
    std::map<std::string, std::vector<double>> stages;  // wall from the previous mark

    void Report(const char* title) const
    {
        std::printf("%s\n", title);
        Print("lumocr wall", oursWall);
        Print("lumocr CPU (all threads)", oursCpu);
        Print("tesseract wall", peerWall);
        Print("tesseract CPU", peerCpu);
        const Stats r = Of(ratios);
        std::printf("  %-34s %8.2f     (%.2f-%.2f)\n", "ratio of wall times, per pair", r.median, r.low, r.high);
        std::printf("  %-34s %8.2f\n", "ratio of CPU medians", Of(oursCpu).median / Of(peerCpu).median);
    }
};

// Where a shot's time goes, each stage from the mark before it; the log's
// lines are read as they are written.
const std::vector<std::pair<std::string, std::string>> kStages = {
    {"StillCallbackFromStillPin", "capture: the still arrives"},
    {"<<< CShot::Save", "saved with EXIF and thumbnail"},
    {"LumOCR_Initialize start", "read back, engine called"},
    {"LumOCR_RecognizeBizCard_EUR end", "engine: initialise and read"},
    {"bench: card view", "to the card view shown"},
};

int Shutter(int runs)
{
    // Two cards in one run: the first of the process, whose engine loads its
    // models, and the next, after the first was saved as a contact.
    const std::string shot =
        "say \"bench: shutter\"\n"
        "key APP3\n"
        "wait-window Textiva 120000\n"
        "say \"bench: card view\"\n";
    const std::string steps = "wait-log \"start-up time\" 60000\n"
                              "wait-log \"PREVIEW_CAMERA - ready for input\" 60000\n" +
                              shot +
                              "wait-log \"card view laid out\" 20000\n"
                              "tap 100 227\n"
                              "wait-window Textiva 20000 gone\n"
                              "wait-log \"PREVIEW_CAMERA - ready for input\" 60000\n" +
                              shot;
    std::vector<std::string> texts = {"bench: shutter"};
    for (const auto& stage : kStages)
        texts.push_back(stage.first);
    ShotFigures figures[2];
    for (int i = 0; i < runs; ++i) {
        Device device(steps);
        int status = 0;
        auto marks = RunMarkedAll(device, texts, &status);
        const auto stills = SavedStills(device);
        bool whole = status == 0 && stills.size() == 2;
        for (const std::string& t : texts)
            whole = whole && marks[t].size() == 2;
        if (!whole) {
            std::fprintf(stderr, "road_bench: the shutter run failed (exit %d)\n", status);
            return 1;
        }
        for (size_t k = 0; k < 2; ++k) {
            ShotFigures& f = figures[k];
            const Mark a = marks["bench: shutter"][k], b = marks["bench: card view"][k];
            double wall = 0, cpu = 0;
            if (!RunTesseract(stills[k], &wall, &cpu)) {
                std::fprintf(stderr, "road_bench: the tesseract command failed\n");
                return 1;
            }
            f.oursWall.push_back(b.wallMs - a.wallMs);
            f.oursCpu.push_back(b.cpuMs - a.cpuMs);
            f.peerWall.push_back(wall);
            f.peerCpu.push_back(cpu);
            f.ratios.push_back((b.wallMs - a.wallMs) / wall);
            double from = a.wallMs;
            for (const auto& [text, name] : kStages) {
                f.stages[name].push_back(marks[text][k].wallMs - from);
                from = marks[text][k].wallMs;
            }
        }
    }
    figures[0].Report("shutter to card view, the first card of the process, against tesseract on the same still "
                      "(goal: ratio at most 1.2)");
    figures[1].Report("shutter to card view, the next card (the engine's models loaded), against tesseract");
    std::printf("where the time goes (wall, first card / next card)\n");
    for (const auto& stage : kStages)
        std::printf("  %-34s %8.0f / %.0f ms\n", stage.second.c_str(), Of(figures[0].stages[stage.second]).median,
                    Of(figures[1].stages[stage.second]).median);
    return 0;
}

int Startup(int runs)
{
    // Starts on one device root, as on the handset: the first run makes the
    // root (the stand-in's work, not the program's) and is not counted.
    Device device("wait-log \"start-up time\" 60000\n");
    std::vector<double> wall, cpu, preview, settle;
    for (int i = 0; i <= runs; ++i) {
        int status = 0;
        auto marks = RunMarked(
            device, {"start-up time", "CMD_PREVIEW_STARTED", "<<< DirectDrawCreate", ">>> SetCooperativeLevel"},
            &status);
        if (status != 0 || !marks.count("start-up time")) {
            std::fprintf(stderr, "road_bench: the start-up run failed (exit %d)\n", status);
            return 1;
        }
        if (i == 0)
            continue;
        wall.push_back(marks["start-up time"].wallMs);
        cpu.push_back(marks["start-up time"].cpuMs);
        if (marks.count("CMD_PREVIEW_STARTED"))
            preview.push_back(marks["CMD_PREVIEW_STARTED"].wallMs);
        if (marks.count("<<< DirectDrawCreate") && marks.count(">>> SetCooperativeLevel"))
            settle.push_back(marks[">>> SetCooperativeLevel"].wallMs - marks["<<< DirectDrawCreate"].wallMs);
    }
    std::printf("start-up on an existing device root, process start to the preview (goal: under %.0f ms)\n",
                kStartupGoalMs);
    Print("to the preview's stream started", preview);
    Print("to \"start-up time\" (wall)", wall);
    Print("to \"start-up time\" (CPU)", cpu);
    Print("of it, the display's settle wait", settle);
    std::printf("  %-34s %8.2f\n", "ratio to the goal", Of(wall).median / kStartupGoalMs);
    return 0;
}

// Frames and CPU between the first two frame-count lines after `after`.
int PreviewRuns(int runs, const char* what, const std::string& steps, const std::string& after, int cameraFps)
{
    std::vector<double> share, fps, perFrame;
    for (int i = 0; i < runs; ++i) {
        Device device(steps, cameraFps);
        std::vector<Mark> lines;
        bool started = false;
        Clock::time_point start;
        const int status = RunWatched(
            device.Command(),
            [&](const std::string& line, pid_t pid) {
                started = started || line.find(after) != std::string::npos;
                if (started && line.find("preview frames shown:") != std::string::npos)
                    lines.push_back(Mark{Ms(Clock::now() - start), ProcessCpuMs(pid)});
            },
            &start);
        if (status != 0 || lines.size() < 2) {
            std::fprintf(stderr, "road_bench: %s: the run failed (exit %d)\n", what, status);
            return 1;
        }
        const double wall = lines[1].wallMs - lines[0].wallMs;
        const double cpu = lines[1].cpuMs - lines[0].cpuMs;
        share.push_back(100.0 * cpu / wall);
        fps.push_back(150.0 * 1000.0 / wall);
        perFrame.push_back(cpu / 150.0);
    }
    const Stats s = Of(share), f = Of(fps), c = Of(perFrame);
    std::printf("%s, idle, 150 frames\n", what);
    std::printf("  %-34s %8.1f %%   (%.1f-%.1f, %zu runs)\n", "CPU of one core (whole program)", s.median, s.low,
                s.high, share.size());
    std::printf("  %-34s %8.2f ms  (%.2f-%.2f)\n", "CPU per frame shown", c.median, c.low, c.high);
    std::printf("  %-34s %8.1f fps (%.1f-%.1f)\n", "frames shown", f.median, f.low, f.high);
    return 0;
}

int Preview(int runs)
{
    // The camera's preview takes the sensor's own rate (the program asks for
    // one only in the camcorder): a device whose sensor makes 30 a second.
    return PreviewRuns(runs, "the camera preview, sensor at 30 fps",
                       "wait-log \"start-up time\" 60000\nwait-log \"preview frames shown: 300\" 60000\n",
                       "start-up time", 30);
}

}  // namespace

int main(int argc, char** argv)
{
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    if (std::system("command -v tesseract > /dev/null") != 0) {
        std::fprintf(stderr, "road_bench: the tesseract command is not installed\n");
        return 1;
    }
    const std::string only = argc > 2 ? argv[2] : "";
    int failed = 0;
    if (only.empty() || only == "startup")
        failed |= Startup(runs);
    if (only.empty() || only == "preview")
        failed |= Preview(runs);
    if (only.empty() || only == "shutter")
        failed |= Shutter(runs);
    return failed;
}
