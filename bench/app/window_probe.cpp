// Starts a program on the X display and reports, from the outside, when its window titled
// TITLE was mapped and when the program first drew into it (X DAMAGE), then its memory
// once it has gone idle. Run without a window manager, so that the program's own
// top-level window is a child of the root window.
//
//   pw_window_probe TITLE PROGRAM [ARGS...]
//
// Prints "map_ms=... paint_ms=... main_cpu_ms=... main_cpu_wait_ms=... rss_at_paint_kb=...
// rss_idle_kb=... hwm_kb=...": times from the fork, the main thread's CPU time and
// run-queue wait up to the first paint, resident memory in kB. PW_PROBE_SMAPS_AT_PAINT and
// PW_PROBE_SMAPS_IDLE name files to copy the program's /proc/PID/smaps to at those moments.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/Xdamage.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <string>
#include <sys/select.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <utility>

namespace {

using Clock = std::chrono::steady_clock;

// Windows vanish while we look at them; that is not an error here.
int IgnoreErrors(Display*, XErrorEvent*)
{
    return 0;
}

long StatusKb(pid_t pid, const char* field)
{
    std::ifstream in("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    const size_t n = std::strlen(field);
    while (std::getline(in, line))
        if (line.compare(0, n, field) == 0 && line.size() > n && line[n] == ':')
            return std::stol(line.substr(n + 1));
    return -1;
}

long CpuTicks(pid_t pid)
{
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const size_t close = all.rfind(')');
    if (close == std::string::npos)
        return -1;
    // Fields after the command name: state is field 3; utime and stime are 14 and 15.
    const char* p = all.c_str() + close + 2;
    long utime = 0;
    long stime = 0;
    int field = 3;
    while (*p && field < 14) {
        if (*p++ == ' ')
            ++field;
    }
    if (std::sscanf(p, "%ld %ld", &utime, &stime) != 2)
        return -1;
    return utime + stime;
}

// The main thread's time on a CPU and waiting for one, in ms (the machine is shared).
std::pair<double, double> SchedMs(pid_t pid)
{
    std::ifstream in("/proc/" + std::to_string(pid) + "/schedstat");
    double cpuNs = -1e6;
    double waitNs = -1e6;
    in >> cpuNs >> waitNs;
    return {cpuNs / 1e6, waitNs / 1e6};
}

// The program's own title on a real window: Qt also names its 1x1 helper windows so.
bool TitleIs(Display* dpy, Window w, const std::string& title)
{
    XWindowAttributes attributes;
    if (!XGetWindowAttributes(dpy, w, &attributes) || attributes.width < 100 || attributes.height < 100)
        return false;
    char* name = nullptr;
    if (!XFetchName(dpy, w, &name) || !name)
        return false;
    const bool same = title == name;
    XFree(name);
    return same;
}

// With the environment variable NAME set to a file name, /proc/PID/smaps is copied there:
// where the resident memory lies, mapping by mapping.
void CopySmaps(pid_t pid, const char* name)
{
    const char* to = std::getenv(name);
    if (!to || !*to)
        return;
    std::ifstream in("/proc/" + std::to_string(pid) + "/smaps");
    std::ofstream out(to);
    out << in.rdbuf();
}

double Ms(Clock::time_point from, Clock::time_point to)
{
    return std::chrono::duration<double, std::milli>(to - from).count();
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s TITLE PROGRAM [ARGS...]\n", argv[0]);
        return 2;
    }
    const std::string title = argv[1];
    Display* dpy = XOpenDisplay(nullptr);
    if (!dpy) {
        std::fprintf(stderr, "cannot open the X display\n");
        return 2;
    }
    int damageEvent = 0;
    int damageError = 0;
    if (!XDamageQueryExtension(dpy, &damageEvent, &damageError)) {
        std::fprintf(stderr, "the X server has no DAMAGE extension\n");
        return 2;
    }
    XSetErrorHandler(IgnoreErrors);
    const Window root = DefaultRootWindow(dpy);
    XSelectInput(dpy, root, SubstructureNotifyMask);
    XSync(dpy, False);

    const auto t0 = Clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        execvp(argv[2], argv + 2);
        _exit(127);
    }
    if (pid < 0)
        return 2;

    // Every new top-level window gets a damage watch at once, before the program can draw.
    std::map<Window, Damage> damages;
    Window target = 0;
    Clock::time_point mapped{};
    Clock::time_point painted{};
    long rssAtPaint = -1;
    std::pair<double, double> schedAtPaint{-1, -1};
    const int fd = ConnectionNumber(dpy);
    while (painted == Clock::time_point{}) {
        if (Ms(t0, Clock::now()) > 30000) {
            std::fprintf(stderr, "no painted window titled \"%s\" within 30 s\n", title.c_str());
            kill(pid, SIGTERM);
            waitpid(pid, nullptr, 0);
            return 1;
        }
        int status = 0;
        if (waitpid(pid, &status, WNOHANG) == pid) {
            std::fprintf(stderr, "the program ended before its window was painted\n");
            return 1;
        }
        if (!XPending(dpy)) {
            fd_set set;
            FD_ZERO(&set);
            FD_SET(fd, &set);
            timeval tv{0, 100000};
            select(fd + 1, &set, nullptr, nullptr, &tv);
            continue;
        }
        XEvent ev;
        XNextEvent(dpy, &ev);
        if (ev.type == CreateNotify && ev.xcreatewindow.parent == root) {
            damages[ev.xcreatewindow.window] =
                XDamageCreate(dpy, ev.xcreatewindow.window, XDamageReportNonEmpty);
        } else if (ev.type == MapNotify && !target && TitleIs(dpy, ev.xmap.window, title)) {
            target = ev.xmap.window;
            mapped = Clock::now();
        } else if (ev.type == damageEvent + XDamageNotify) {
            const auto* d = reinterpret_cast<const XDamageNotifyEvent*>(&ev);
            XDamageSubtract(dpy, d->damage, None, None);
            if (target && d->drawable == target) {
                painted = Clock::now();
                rssAtPaint = StatusKb(pid, "VmRSS");
                schedAtPaint = SchedMs(pid);
                CopySmaps(pid, "PW_PROBE_SMAPS_AT_PAINT");
            }
        }
    }

    // Idle: no CPU time used for half a second (at most 10 s of waiting).
    long last = CpuTicks(pid);
    int quiet = 0;
    for (int i = 0; i < 100 && quiet < 5; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        const long now = CpuTicks(pid);
        quiet = now == last ? quiet + 1 : 0;
        last = now;
    }
    const long rssIdle = StatusKb(pid, "VmRSS");
    CopySmaps(pid, "PW_PROBE_SMAPS_IDLE");
    const long hwm = StatusKb(pid, "VmHWM");
    std::printf("map_ms=%.1f paint_ms=%.1f main_cpu_ms=%.1f main_cpu_wait_ms=%.1f rss_at_paint_kb=%ld "
                "rss_idle_kb=%ld hwm_kb=%ld\n",
                Ms(t0, mapped), Ms(t0, painted), schedAtPaint.first, schedAtPaint.second, rssAtPaint, rssIdle,
                hwm);
    for (const auto& [w, d] : damages)
        XDamageDestroy(dpy, d);
    XCloseDisplay(dpy);
    kill(pid, SIGTERM);
    waitpid(pid, nullptr, 0);
    return 0;
}
