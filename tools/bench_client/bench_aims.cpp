#include "bench_aims.h"

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QTimer>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <poll.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "AppConstants.h"
#include "AppContext.h"
#include "ContextPaths.h"
#include "IPCSqlite.h"
#include "KorvaResourcePaths.h"
#include "RealVpnServers.h"
#include "SeedProfiles.h"
#include "SettingManager.h"
#include "SystemContext.h"
#include "ZRVPNClient.h"
#include "bench_phases.h"

namespace benchaims {

LoopMeter::LoopMeter() {
    clock.start();
    qApp->installEventFilter(this);
    connect(QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::aboutToBlock, this, [this] {
        if (!waiting) {
            longest = std::max(longest, (clock.nsecsElapsed() - busySince) / 1e6);
            waiting = true;
        }
    });
}

LoopMeter::~LoopMeter() {
    qApp->removeEventFilter(this);
}

bool LoopMeter::eventFilter(QObject*, QEvent*) {
    if (waiting) {
        waiting = false;
        busySince = clock.nsecsElapsed();
    }
    return false;
}

std::vector<Phase>& Phases() {
    static std::vector<Phase> phases;
    return phases;
}

PhaseRegistrar::PhaseRegistrar(int order, const char* name, PhaseRun run) {
    Phases().push_back({order, name, run});
}

double MsSince(const QElapsedTimer& clock) {
    return clock.nsecsElapsed() / 1e6;
}

double Median(std::vector<double> values) {
    if (values.empty()) {
        return 0;
    }
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

void Spin(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

bool SpinUntil(const std::function<bool()>& condition, int limitMs) {
    QElapsedTimer waited;
    waited.start();
    while (!condition() && waited.elapsed() < limitMs) {
        Spin(20);
    }
    return condition();
}

double CpuSeconds() {
    rusage self{};
    rusage children{};
    getrusage(RUSAGE_SELF, &self);
    getrusage(RUSAGE_CHILDREN, &children);
    auto seconds = [](const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; };
    return seconds(self.ru_utime) + seconds(self.ru_stime) + seconds(children.ru_utime) +
           seconds(children.ru_stime);
}

double ChildrenCpuSeconds() {
    rusage children{};
    getrusage(RUSAGE_CHILDREN, &children);
    return children.ru_utime.tv_sec + children.ru_utime.tv_usec / 1e6 + children.ru_stime.tv_sec +
           children.ru_stime.tv_usec / 1e6;
}

double ProcessCpuSeconds(int pid) {
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (pid <= 0 || !stat.open(QIODevice::ReadOnly)) {
        return 0;
    }
    // The fields after the command's closing parenthesis; utime and stime are the 12th and
    // 13th of them.
    const QByteArray text = stat.readAll();
    const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
    if (fields.size() < 13) {
        return 0;
    }
    const double ticks = static_cast<double>(sysconf(_SC_CLK_TCK));
    return (fields[11].toLongLong() + fields[12].toLongLong()) / ticks;
}

Timing Time(int runs, const std::function<void()>& before, const std::function<void()>& step) {
    std::vector<double> times;
    for (int run = 0; run < runs; ++run) {
        if (before) {
            before();
        }
        QElapsedTimer clock;
        clock.start();
        step();
        times.push_back(MsSince(clock));
    }
    Timing timing;
    timing.median = Median(times);
    timing.max = *std::max_element(times.begin(), times.end());
    return timing;
}

void PrintTiming(const char* what, const Timing& timing) {
    std::printf("  %-56s median %8.2f ms   max %8.2f ms\n", what, timing.median, timing.max);
    std::fflush(stdout);
}

std::string LoadAverage() {
    double load[3] = {-1, -1, -1};
    FILE* file = std::fopen("/proc/loadavg", "r");
    if (file != nullptr) {
        if (std::fscanf(file, "%lf %lf %lf", &load[0], &load[1], &load[2]) != 3) {
            load[0] = -1;
        }
        std::fclose(file);
    }
    if (load[0] < 0) {
        return "load unknown";
    }
    char text[64];
    std::snprintf(text, sizeof text, "load %.2f %.2f %.2f", load[0], load[1], load[2]);
    return text;
}

int Status() {
    return SystemContext::Instance()->GetAppContext()->GetConnectStatus();
}

} // namespace benchaims

namespace {

using namespace benchaims;

constexpr int kStartRuns = 7;
constexpr int kStartLimitMs = 30000;
// The profiles of the client's store at its starts: one of each kind, the newest selected,
// as a user who has set up a few connections has them.
constexpr int kStartProfiles = 4;
constexpr double kStartRatioAim = 2.0;
// 35 MB (decimal megabytes), in the MiB that the figures are given in: 33.4 MiB.
constexpr double kRssAimMiB = 35e6 / (1024.0 * 1024.0);

using Clock = std::chrono::steady_clock;

double MsSinceStart(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// The environment of one start: a scratch home, the platform, the notice.
struct StartEnvironment {
    std::string home;
    std::string display; // empty: offscreen
};

// One start: the time from the fork to the program's notice of its first painted frame,
// and the peak RSS of its whole run (it ends by itself after the notice).
bool StartOnce(const std::string& program, const std::string& workDir, const StartEnvironment& environment,
               double* ms, double* rssMiB, std::string* error) {
    int ends[2];
    if (pipe2(ends, O_CLOEXEC) != 0) {
        *error = "no pipe";
        return false;
    }
    const Clock::time_point start = Clock::now();
    const pid_t child = fork();
    if (child == 0) {
        dup2(ends[1], STDOUT_FILENO);
        const int null = open("/dev/null", O_WRONLY);
        if (null >= 0) {
            dup2(null, STDERR_FILENO);
        }
        if (chdir(workDir.c_str()) != 0) {
            _exit(127);
        }
        const std::string& home = environment.home;
        setenv("HOME", home.c_str(), 1);
        setenv("XDG_CONFIG_HOME", (home + "/config").c_str(), 1);
        setenv("XDG_DATA_HOME", (home + "/data").c_str(), 1);
        setenv("XDG_CACHE_HOME", (home + "/cache").c_str(), 1);
        setenv("XDG_RUNTIME_DIR", home.c_str(), 1);
        setenv("KORVA_RUN_DIR", (home + "/run").c_str(), 1);
        // Both programs choose their platform settings themselves, as the client does.
        unsetenv("QT_XCB_GL_INTEGRATION");
        if (environment.display.empty()) {
            setenv("QT_QPA_PLATFORM", "offscreen", 1);
            unsetenv("DISPLAY");
        } else {
            setenv("QT_QPA_PLATFORM", "xcb", 1);
            setenv("DISPLAY", environment.display.c_str(), 1);
        }
        setenv(AppConstants::kShownNoticeVariable, "1", 1);
        execl(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    close(ends[1]);
    if (child < 0) {
        close(ends[0]);
        *error = "fork failed";
        return false;
    }
    std::string output;
    bool shown = false;
    while (!shown) {
        const double left = kStartLimitMs - MsSinceStart(start);
        pollfd wait{ends[0], POLLIN, 0};
        if (left <= 0 || poll(&wait, 1, static_cast<int>(left)) <= 0) {
            break;
        }
        char buffer[256];
        const ssize_t n = read(ends[0], buffer, sizeof(buffer));
        if (n <= 0) {
            break;
        }
        output.append(buffer, static_cast<size_t>(n));
        shown = output.find("shown\n") != std::string::npos;
    }
    *ms = MsSinceStart(start);
    close(ends[0]);
    if (!shown) {
        kill(child, SIGKILL);
    }
    int status = 0;
    rusage usage{};
    wait4(child, &status, 0, &usage);
    *rssMiB = usage.ru_maxrss / 1024.0;
    if (!shown) {
        *error =
            program + " gave no notice of its window within " + std::to_string(kStartLimitMs / 1000) + " s";
    }
    return shown;
}

// The client's store as its first start would make it, with its profiles: made here, so
// that the client's first start is timed as a user's start with profiles is.
bool MakeClientStore(const std::string& home, std::string* error) {
    const std::string folder = home + "/config/Halvex/Korva VPN";
    const std::string path = folder + "/vpn.db";
    if (!QDir().mkpath(QString::fromStdString(folder))) {
        *error = "no folder for the client's store";
        return false;
    }
    IPCSqlite store;
    SETTINGINFO fresh;
    std::snprintf(fresh.DatabaseVersion, sizeof(fresh.DatabaseVersion), "%s", ContextPaths::kDatabaseVersion);
    const bool made = store.Init(path.c_str()) == 0 && store.InsertSettingInfo(&fresh) == 0;
    store.DeInit();
    if (!made || !seedprofiles::SeedProfilesWithRecords(path, kStartProfiles, true)) {
        *error = "the client's store could not be made with its profiles";
        return false;
    }
    return true;
}

// The client and the bare window started in turn: the first round is each program's first
// start (cold), the later ones give the steady medians.
StartFigures MeasurePlatform(const std::string& platform, const std::string& display,
                             const std::string& clientProgram, const std::string& clientDir,
                             const std::string& bareProgram) {
    StartFigures figures;
    figures.platform = platform;
    const std::string here = QDir::currentPath().toStdString();
    const std::string tag = display.empty() ? "offscreen" : "x";
    StartEnvironment client{here + "/start-client-" + tag, display};
    StartEnvironment bare{here + "/start-bare-" + tag, display};
    for (const StartEnvironment* environment : {&client, &bare}) {
        mkdir(environment->home.c_str(), 0700);
    }
    if (!MakeClientStore(client.home, &figures.error)) {
        return figures;
    }
    std::vector<double> clientMs, bareMs, clientRss, bareRss;
    for (int run = 0; run <= kStartRuns; ++run) {
        double ms = 0;
        double rss = 0;
        if (!StartOnce(clientProgram, clientDir, client, &ms, &rss, &figures.error)) {
            return figures;
        }
        if (run == 0) {
            figures.clientFirstMs = ms;
        } else {
            clientMs.push_back(ms);
            clientRss.push_back(rss);
        }
        if (!StartOnce(bareProgram, here, bare, &ms, &rss, &figures.error)) {
            return figures;
        }
        if (run == 0) {
            figures.bareFirstMs = ms;
        } else {
            bareMs.push_back(ms);
            bareRss.push_back(rss);
        }
    }
    figures.clientMs = Median(clientMs);
    figures.bareMs = Median(bareMs);
    figures.clientRssMiB = Median(clientRss);
    figures.bareRssMiB = Median(bareRss);
    figures.load = LoadAverage();
    return figures;
}

// An X server of its own (Xvfb on the first free display, which it reports itself), ended
// by its process id.
class VirtualDisplay {
public:
    VirtualDisplay() {
        int ends[2];
        if (pipe2(ends, O_CLOEXEC) != 0) {
            failure = "no pipe";
            return;
        }
        pid = fork();
        if (pid == 0) {
            dup2(ends[1], 3);
            const int null = open("/dev/null", O_RDWR);
            if (null >= 0) {
                dup2(null, STDOUT_FILENO);
                dup2(null, STDERR_FILENO);
            }
            execlp("Xvfb", "Xvfb", "-displayfd", "3", "-screen", "0", "1280x800x24", "-nolisten", "tcp",
                   static_cast<char*>(nullptr));
            _exit(127);
        }
        close(ends[1]);
        if (pid < 0) {
            close(ends[0]);
            failure = "fork failed";
            return;
        }
        std::string number;
        pollfd wait{ends[0], POLLIN, 0};
        char buffer[32];
        while (number.find('\n') == std::string::npos && poll(&wait, 1, 10000) > 0) {
            const ssize_t n = read(ends[0], buffer, sizeof buffer);
            if (n <= 0) {
                break;
            }
            number.append(buffer, static_cast<size_t>(n));
        }
        close(ends[0]);
        if (number.empty()) {
            failure = "Xvfb did not start (package xvfb)";
            return;
        }
        display = ":" + number.substr(0, number.find('\n'));
    }
    ~VirtualDisplay() {
        if (pid > 0) {
            kill(pid, SIGTERM);
            waitpid(pid, nullptr, 0);
        }
    }
    std::string display;
    std::string failure;

private:
    pid_t pid = -1;
};

void PrintStarts(const StartFigures& figures) {
    if (!figures.error.empty()) {
        std::printf("start on %s: not measured (%s)\n", figures.platform.c_str(), figures.error.c_str());
        return;
    }
    std::printf("start to the main window's first frame in the stored colour mode, %s, beside a bare Qt "
                "window with the client's platform settings\n",
                figures.platform.c_str());
    std::printf("  first start (cold)   korva-vpn %8.1f ms   bare window %8.1f ms   ratio %.2f   (%s)\n",
                figures.clientFirstMs, figures.bareFirstMs, figures.clientFirstMs / figures.bareFirstMs,
                figures.load.c_str());
    std::printf("  steady, median of %d korva-vpn %8.1f ms   bare window %8.1f ms   ratio %.2f   (%s)\n",
                kStartRuns, figures.clientMs, figures.bareMs, figures.clientMs / figures.bareMs,
                figures.load.c_str());
    std::printf("  peak RSS             korva-vpn %8.1f MiB  bare window %8.1f MiB\n", figures.clientRssMiB,
                figures.bareRssMiB);
    std::fflush(stdout);
}

// The start's aims: cold and steady within 2.0x the bare window; peak RSS within 35 MB
// offscreen (on X the platform's own libraries and image put a bare window near it).
void AddStartAims(const StartFigures& figures, bool rssAim, std::vector<Aim>& aims) {
    Aim first{"first start within 2.0x the bare window, " + figures.platform, -1, kStartRatioAim, "x",
              figures.error};
    Aim steady{"steady start within 2.0x the bare window, " + figures.platform, -1, kStartRatioAim, "x",
               figures.error};
    Aim rss{"peak RSS within 35 MB, " + figures.platform, -1, kRssAimMiB, "MiB", figures.error};
    if (figures.error.empty()) {
        first.figure = figures.clientFirstMs / figures.bareFirstMs;
        steady.figure = figures.clientMs / figures.bareMs;
        rss.figure = figures.clientRssMiB;
    }
    aims.push_back(first);
    aims.push_back(steady);
    if (rssAim) {
        aims.push_back(rss);
    }
}

} // namespace

Starts MeasureStarts(const std::string& clientProgram, const std::string& clientDir,
                     const std::string& bareProgram) {
    Starts starts;
    starts.offscreen = MeasurePlatform("offscreen", std::string(), clientProgram, clientDir, bareProgram);
    VirtualDisplay display;
    if (!display.failure.empty()) {
        starts.xDisplay.platform = "X display (Xvfb, xcb)";
        starts.xDisplay.error = display.failure;
    } else {
        starts.xDisplay =
            MeasurePlatform("X display (Xvfb, xcb)", display.display, clientProgram, clientDir, bareProgram);
    }
    return starts;
}

int RunAims(const Starts& starts, int seconds, const std::string& only) {
    qApp->setStyleSheet(QString());
    QFile sheet(QStringLiteral(KORVA_STYLESHEET_NORMAL));
    if (sheet.open(QIODevice::ReadOnly)) {
        qApp->setStyleSheet(QString::fromUtf8(sheet.readAll()));
    }
    if (!realvpn::CopyBundle(KORVA_APP_DIR)) {
        std::printf("the bundle in %s could not be copied\n", KORVA_APP_DIR);
        return 1;
    }
    qputenv("KORVA_WG_RUNDIR", (QDir::currentPath() + QStringLiteral("/korva-wireguard")).toUtf8());

    std::printf("Korva VPN client benchmark against its aims\n\n");
    if (!starts.offscreen.platform.empty()) {
        PrintStarts(starts.offscreen);
        PrintStarts(starts.xDisplay);
        std::printf("\n");
    }

    auto window = std::make_unique<ZRVPNClient>();
    window->show();
    SETTINGINFO settings;
    SystemContext::Instance()->GetAppContext()->GetSettingInfo(&settings);
    SystemContext::GetSettingManager()->notifyRestoreSystemInfo(&settings);
    Spin(1000);
    LoopMeter meter;
    Context context{window.get(), &meter, seconds};

    std::vector<Aim> aims;
    if (!starts.offscreen.platform.empty()) {
        AddStartAims(starts.offscreen, true, aims);
        AddStartAims(starts.xDisplay, false, aims);
    }
    double stall = -1;
    std::vector<Phase> phases = Phases();
    std::stable_sort(phases.begin(), phases.end(),
                     [](const Phase& a, const Phase& b) { return a.order < b.order; });
    for (const Phase& phase : phases) {
        if (!only.empty() && std::string(phase.name).find(only) == std::string::npos) {
            continue;
        }
        std::printf("%s\n", phase.name);
        std::fflush(stdout);
        PhaseReport report;
        phase.run(context, report);
        aims.insert(aims.end(), report.aims.begin(), report.aims.end());
        stall = std::max(stall, report.longestStallMs);
        std::printf("\n");
    }
    aims.push_back({"no event-loop stall over 50 ms where a user acts", stall, 50, "ms",
                    stall < 0 ? "no phase measured one" : ""});

    std::printf("aims (%s now; a start's ratio with the load of its starts above)\n", LoadAverage().c_str());
    for (const Aim& aim : aims) {
        if (aim.figure < 0) {
            std::printf("  %-66s not measured (%s)\n", aim.what.c_str(), aim.note.c_str());
            continue;
        }
        std::printf("  %-66s %9.3f %-3s (%.2f of the aim)  %s\n", aim.what.c_str(), aim.figure,
                    aim.unit.c_str(), aim.figure / aim.limit, aim.figure <= aim.limit ? "holds" : "MISSED");
    }
    std::fflush(stdout);
    window.reset();
    return 0;
}
