// The resident program's costs beside the floor of Qt (bench/app/FloorTray.cpp: a Qt Widgets program with
// an icon in the notification area and a menu), both on the virtual keyboard's desk under Xvfb with a
// window manager and a tray host, as the whole-program tests run them:
//   - time from the process start to its icon shown in the notification area, for a hidden start
//     ("/Start"): from just before the fork to the moment the tray host has the icon mapped; the two
//     programs start in turns, so a busy machine slows both alike;
//   - resident memory of both hidden programs some seconds after the start, and of Tarvik again after its
//     window was shown once and hidden for a while, with the ratio to the floor and where it goes (the
//     largest mappings); then also beside the floor after the floor showed and closed its least window
//     (the main window's picture, a line of text, a button) at the same time, which is what Qt itself
//     keeps of a window once shown: its fonts, the code the window ran, the heap around them;
//   - the first show of the window: from a click on the icon to the window mapped;
//   - CPU time the hidden program uses in a window of seconds (nothing polls).
// Prints the figures with their ratios to the goals; not a pass/fail test.
//
// Usage: app_bench [starts (5)] [settle seconds (10)] [CPU window seconds (30)] [hidden seconds (60)]
#include "tests/e2e/Desktop.h"

#include <xcb/xcb.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <memory>
#include <optional>
#include <poll.h>
#include <sstream>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using namespace std::chrono_literals;
using tarvik::e2e::Desktop;
using tarvik::e2e::Process;
using Clock = std::chrono::steady_clock;

constexpr double kStartGoalMs = 150.0;
constexpr double kFirstShowGoalMs = 250.0;
constexpr double kMemoryGoalRatio = 1.15; // of the floor program's
constexpr double kCpuGoalPercent = 0.1;

template <typename T> using XcbReply = std::unique_ptr<T, decltype(&std::free)>;

// Watches the X server for the windows of one process: the tray host reparents the icon's window out of
// the root window and maps it, the window manager does the same with a window in its frame. Events, not
// polling, so the measurement takes no processor time from the program it measures.
class TrayWatch {
public:
    explicit TrayWatch(const std::string& display) {
        connection_ = xcb_connect(display.c_str(), nullptr);
        if (xcb_connection_has_error(connection_) != 0) {
            return;
        }
        root_ = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data->root;
        const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
        xcb_change_window_attributes(connection_, root_, XCB_CW_EVENT_MASK, &mask);
        XcbReply<xcb_intern_atom_reply_t> atom(
            xcb_intern_atom_reply(connection_, xcb_intern_atom(connection_, 0, 11, "_NET_WM_PID"), nullptr),
            &std::free);
        pidAtom_ = atom ? atom->atom : xcb_atom_t{XCB_ATOM_NONE};
        xcb_flush(connection_);
    }
    ~TrayWatch() {
        if (connection_ != nullptr) {
            xcb_disconnect(connection_);
        }
    }
    bool ok() const {
        return connection_ != nullptr && xcb_connection_has_error(connection_) == 0 && pidAtom_;
    }

    // Waits for the next window of pid to be reparented and shown (its icon in the tray host, or a window in
    // the window manager's frame); the moment it was seen.
    std::optional<Clock::time_point> waitForShown(pid_t pid, std::chrono::milliseconds timeout) {
        const auto deadline = Clock::now() + timeout;
        xcb_window_t icon = XCB_WINDOW_NONE;
        while (Clock::now() < deadline) {
            xcb_generic_event_t* raw = xcb_poll_for_event(connection_);
            if (raw == nullptr) {
                if (xcb_connection_has_error(connection_) != 0) {
                    return std::nullopt;
                }
                pollfd pfd{xcb_get_file_descriptor(connection_), POLLIN, 0};
                const auto left =
                    std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
                ::poll(&pfd, 1, static_cast<int>(std::max<long long>(left.count(), 0)));
                continue;
            }
            std::unique_ptr<xcb_generic_event_t, decltype(&std::free)> event(raw, &std::free);
            const uint8_t type = event->response_type & 0x7F;
            if (type == XCB_REPARENT_NOTIFY) {
                const auto* e = reinterpret_cast<xcb_reparent_notify_event_t*>(raw);
                if (e->parent != root_ && icon == XCB_WINDOW_NONE && pidOf(e->window) == pid) {
                    icon = e->window;
                    lastShown_ = icon;
                    const uint32_t mask = XCB_EVENT_MASK_STRUCTURE_NOTIFY;
                    xcb_change_window_attributes(connection_, icon, XCB_CW_EVENT_MASK, &mask);
                    // Mapped before the watch could ask for its map events: seen now.
                    if (viewable(icon)) {
                        return Clock::now();
                    }
                }
            } else if (type == XCB_MAP_NOTIFY) {
                const auto* e = reinterpret_cast<xcb_map_notify_event_t*>(raw);
                if (icon != XCB_WINDOW_NONE && e->window == icon && viewable(icon)) {
                    return Clock::now();
                }
            }
        }
        return std::nullopt;
    }

    // The window waitForShown saw last.
    xcb_window_t lastShown() const { return lastShown_; }

    // Asks a window to close, as the window manager's close button does.
    void askToClose(xcb_window_t window) {
        xcb_client_message_event_t message{};
        message.response_type = XCB_CLIENT_MESSAGE;
        message.format = 32;
        message.window = window;
        message.type = atom("WM_PROTOCOLS");
        message.data.data32[0] = atom("WM_DELETE_WINDOW");
        message.data.data32[1] = XCB_CURRENT_TIME;
        xcb_send_event(connection_, 0, window, XCB_EVENT_MASK_NO_EVENT,
                       reinterpret_cast<const char*>(&message));
        xcb_flush(connection_);
    }

    // Waits for a window that waitForShown saw to be unmapped.
    bool waitForHidden(xcb_window_t window, std::chrono::milliseconds timeout) {
        const auto deadline = Clock::now() + timeout;
        while (Clock::now() < deadline) {
            if (!viewable(window)) {
                return true;
            }
            xcb_generic_event_t* raw = xcb_poll_for_event(connection_);
            if (raw == nullptr) {
                pollfd pfd{xcb_get_file_descriptor(connection_), POLLIN, 0};
                ::poll(&pfd, 1, 50);
            }
            std::free(raw);
        }
        return false;
    }

private:
    xcb_atom_t atom(const char* name) {
        XcbReply<xcb_intern_atom_reply_t> reply(
            xcb_intern_atom_reply(
                connection_, xcb_intern_atom(connection_, 0, static_cast<uint16_t>(std::strlen(name)), name),
                nullptr),
            &std::free);
        return reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
    }
    pid_t pidOf(xcb_window_t window) {
        XcbReply<xcb_get_property_reply_t> reply(
            xcb_get_property_reply(
                connection_, xcb_get_property(connection_, 0, window, pidAtom_, XCB_ATOM_CARDINAL, 0, 1),
                nullptr),
            &std::free);
        if (!reply || xcb_get_property_value_length(reply.get()) != 4) {
            return -1;
        }
        uint32_t pid = 0;
        std::memcpy(&pid, xcb_get_property_value(reply.get()), 4);
        return static_cast<pid_t>(pid);
    }
    bool viewable(xcb_window_t window) {
        XcbReply<xcb_get_window_attributes_reply_t> reply(
            xcb_get_window_attributes_reply(connection_, xcb_get_window_attributes(connection_, window),
                                            nullptr),
            &std::free);
        return reply && reply->map_state == XCB_MAP_STATE_VIEWABLE;
    }

    xcb_connection_t* connection_ = nullptr;
    xcb_window_t root_ = XCB_WINDOW_NONE;
    xcb_atom_t pidAtom_ = XCB_ATOM_NONE;
    xcb_window_t lastShown_ = XCB_WINDOW_NONE;
};

std::string readAll(const std::string& path) {
    std::ifstream in(path);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

// Resident memory in MB (VmRSS).
double residentMb(pid_t pid) {
    const std::string status = readAll("/proc/" + std::to_string(pid) + "/status");
    const size_t at = status.find("VmRSS:");
    return at == std::string::npos ? -1.0 : std::atof(status.c_str() + at + 6) / 1024.0;
}

// Processor time of the whole process in ms: user + system of every thread, the ended ones included, in
// clock ticks.
double cpuMsFromTicks(pid_t pid) {
    const std::string stat = readAll("/proc/" + std::to_string(pid) + "/stat");
    const size_t close = stat.rfind(')');
    if (close == std::string::npos) {
        return -1.0;
    }
    std::stringstream fields(stat.substr(close + 2));
    std::string field;
    unsigned long long utime = 0, stime = 0;
    for (int i = 3; fields >> field; ++i) {
        if (i == 14) {
            utime = std::strtoull(field.c_str(), nullptr, 10);
        } else if (i == 15) {
            stime = std::strtoull(field.c_str(), nullptr, 10);
            break;
        }
    }
    return static_cast<double>(utime + stime) * 1000.0 / static_cast<double>(::sysconf(_SC_CLK_TCK));
}

// The same in ns precision, from the scheduler's account of the threads alive now.
double cpuMsFromScheduler(pid_t pid) {
    double ns = 0;
    std::error_code ec;
    const std::filesystem::path tasks = "/proc/" + std::to_string(pid) + "/task";
    for (const auto& task : std::filesystem::directory_iterator(tasks, ec)) {
        ns += std::atof(readAll((task.path() / "schedstat").string()).c_str());
    }
    return ns / 1e6;
}

// Resident memory per mapping (a library, the heap, anonymous memory), largest first.
std::vector<std::pair<std::string, double>> residentByMapping(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/smaps");
    std::map<std::string, double> kb;
    std::string line, name;
    while (std::getline(in, line)) {
        if (line.rfind("Rss:", 0) == 0) {
            kb[name] += std::atof(line.c_str() + 4);
        } else if (!line.empty() && std::isxdigit(static_cast<unsigned char>(line[0])) != 0 &&
                   line.find(':') > line.find('-')) {
            // "from-to perms offset dev inode [path]": the path, or anonymous memory.
            std::istringstream fields(line);
            std::string skip;
            for (int i = 0; i < 5; ++i) {
                fields >> skip;
            }
            std::getline(fields >> std::ws, name);
            name = name.empty() ? "[anonymous]" : std::filesystem::path(name).filename().string();
        }
    }
    std::vector<std::pair<std::string, double>> out(kb.begin(), kb.end());
    std::sort(out.begin(), out.end(), [](const auto& a, const auto& b) { return a.second > b.second; });
    return out;
}

bool endTarvik(Desktop& d, Process& p) {
    d.run(d.programFolder() / "tarvik", {"/Kill"}, 20s);
    return p.wait(10s) || p.end();
}

void ratioLine(const char* what, double value, const char* unit, double goal, const char* goalUnit) {
    std::printf("  %-46s %9.4g %-3s goal %7.4g %-3s ratio %.3g (%s)\n", what, value, unit, goal, goalUnit,
                value / goal, value <= goal ? "within" : "OVER");
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? 0.0 : values[values.size() / 2];
}

// Where the program's memory goes beyond the floor's: the mappings with the largest difference.
void printBeyondFloor(const char* when, pid_t pid, pid_t floorPid, size_t count) {
    std::map<std::string, double> diff;
    for (const auto& [name, kb] : residentByMapping(pid)) {
        diff[name] += kb;
    }
    for (const auto& [name, kb] : residentByMapping(floorPid)) {
        diff[name] -= kb;
    }
    std::vector<std::pair<std::string, double>> sorted(diff.begin(), diff.end());
    std::sort(sorted.begin(), sorted.end(), [](const auto& a, const auto& b) { return a.second > b.second; });
    std::printf("  beyond the floor %s (MB):", when);
    for (size_t i = 0; i < std::min(count, sorted.size()) && sorted[i].second >= 64; ++i) {
        std::printf("%s %s %+.1f", i == 0 ? "" : ",", sorted[i].first.c_str(), sorted[i].second / 1024.0);
    }
    std::printf("\n");
}

} // namespace

int main(int argc, char** argv) {
    const int starts = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    const int settleS = argc > 2 ? std::max(0, std::atoi(argv[2])) : 10;
    const int windowS = argc > 3 ? std::max(1, std::atoi(argv[3])) : 30;
    const int hiddenS = argc > 4 ? std::max(0, std::atoi(argv[4])) : 60;

    Desktop d("bench-app");
    if (!d.ok()) {
        std::fprintf(stderr, "the desktop did not come up: %s\n", d.error().c_str());
        return 2;
    }
    if (!d.simServer()) {
        std::fprintf(stderr, "portmux-sim is not in the program folder %s\n", d.programFolder().c_str());
        return 2;
    }
    TrayWatch watch(d.display());
    if (!watch.ok()) {
        std::fprintf(stderr, "cannot watch the X server %s\n", d.display().c_str());
        return 2;
    }

    std::printf("hidden starts on the virtual keyboard under Xvfb (%s), program folder %s\n",
                d.display().c_str(), d.programFolder().c_str());
    // Starts one program and waits for its icon; the time to it, or none.
    auto startOne = [&](const std::filesystem::path& program, const std::vector<std::string>& args,
                        Process*& started) -> std::optional<double> {
        const auto t0 = Clock::now();
        started = &d.start(program, args);
        const auto shown = watch.waitForShown(started->pid(), 20s);
        if (!shown) {
            return std::nullopt;
        }
        return std::chrono::duration<double, std::milli>(*shown - t0).count();
    };
    // The floor's window shows the main window's own background picture.
    const std::string floorPicture = (d.programFolder() / "Skins" / "main_bg.jpg").string();
    std::vector<double> floorMs, tarvikMs;
    Process* floor = nullptr;
    Process* app = nullptr;
    for (int i = 0; i < starts; ++i) {
        const bool last = i + 1 == starts;
        const auto f = startOne(TARVIK_FLOOR_PROGRAM, {floorPicture}, floor);
        const auto t = startOne(d.programFolder() / "tarvik", {"/Start"}, app);
        if (!f || !t) {
            std::fprintf(stderr, "start %d: no icon of the %s in the tray host within 20 s\n", i + 1,
                         f ? "program" : "floor program");
            return 1;
        }
        floorMs.push_back(*f);
        tarvikMs.push_back(*t);
        std::printf("  start %d: icon shown after %.1f ms (floor %.1f ms)\n", i + 1, *t, *f);
        if (!last && (!endTarvik(d, *app) || !floor->end())) {
            std::fprintf(stderr, "start %d: a program did not end\n", i + 1);
            return 1;
        }
    }
    const auto settled = Clock::now() + std::chrono::seconds(settleS);
    std::this_thread::sleep_until(settled);
    const double floorRss = residentMb(floor->pid());
    const double rss = residentMb(app->pid());
    printBeyondFloor("hidden", app->pid(), floor->pid(), 12);
    const double ticks0 = cpuMsFromTicks(app->pid());
    const double sched0 = cpuMsFromScheduler(app->pid());
    std::this_thread::sleep_until(settled + std::chrono::seconds(windowS));
    const double ticks1 = cpuMsFromTicks(app->pid());
    const double sched1 = cpuMsFromScheduler(app->pid());

    // The window once: a click on the icon opens it, the window manager's close hides it again. The floor
    // program's least window goes the same way, so both figures after the hide include what Qt keeps.
    struct Shown {
        double ms = -1.0;
        double rss = -1.0;
    };
    auto showAndHide = [&](pid_t pid) -> std::optional<Shown> {
        const auto icon = d.trayIconOf(pid, 5s);
        if (!icon) {
            return std::nullopt;
        }
        d.movePointer(icon->place.x + icon->place.w / 2, icon->place.y + icon->place.h / 2);
        const auto t0 = Clock::now();
        d.clickAtPoint(icon->place.x + icon->place.w / 2, icon->place.y + icon->place.h / 2);
        const auto shown = watch.waitForShown(pid, 20s);
        if (!shown) {
            return std::nullopt;
        }
        Shown out{std::chrono::duration<double, std::milli>(*shown - t0).count(), residentMb(pid)};
        const xcb_window_t window = watch.lastShown();
        watch.askToClose(window);
        if (!watch.waitForHidden(window, 10s)) {
            return std::nullopt;
        }
        return out;
    };
    const std::optional<Shown> appShown = showAndHide(app->pid());
    const std::optional<Shown> floorShown = appShown ? showAndHide(floor->pid()) : std::nullopt;
    const double firstShowMs = appShown ? appShown->ms : -1.0;
    const double rssShown = appShown ? appShown->rss : -1.0;
    double rssAfterHide = -1.0;
    double floorAfterHide = -1.0;
    if (appShown) {
        std::this_thread::sleep_for(std::chrono::seconds(hiddenS));
        rssAfterHide = residentMb(app->pid());
        if (floorShown) {
            floorAfterHide = residentMb(floor->pid());
        }
        printBeyondFloor("after the window", app->pid(), floor->pid(), 12);
    }
    const bool running = app->running();
    endTarvik(d, *app);
    floor->end();
    if (!running || rss < 0 || floorRss < 0 || ticks0 < 0 || ticks1 < 0) {
        std::fprintf(stderr, "the program ended while it was measured\n");
        return 1;
    }
    // Ticks count the threads that ended meanwhile too; the scheduler's figure is finer.
    const double cpuMs = std::max(ticks1 - ticks0, sched1 - sched0);
    const double cpuPercent = 100.0 * cpuMs / (windowS * 1000.0);

    std::printf("\n  %-14s %10s %10s %8s\n", "", "tarvik", "floor", "ratio");
    std::printf("  %-14s %7.1f ms %7.1f ms %8.2f\n", "start (median)", median(tarvikMs), median(floorMs),
                median(tarvikMs) / median(floorMs));
    std::printf("  %-14s %7.2f MB %7.2f MB %8.3f\n", ("RSS at " + std::to_string(settleS) + " s").c_str(),
                rss, floorRss, rss / floorRss);
    if (rssAfterHide > 0) {
        std::printf("  %-14s %7.2f MB %7.2f MB %8.3f (window shown: %.2f MB)\n",
                    ("hidden " + std::to_string(hiddenS) + " s").c_str(), rssAfterHide, floorRss,
                    rssAfterHide / floorRss, rssShown);
    }
    if (rssAfterHide > 0 && floorAfterHide > 0) {
        std::printf("  %-14s %7.2f MB %7.2f MB %8.3f (the floor's least window shown and hidden too)\n",
                    "  beside it", rssAfterHide, floorAfterHide, rssAfterHide / floorAfterHide);
    }
    std::printf("  CPU in %d s: %.2f ms (scheduler), %.0f ms (clock ticks)\n\n", windowS, sched1 - sched0,
                ticks1 - ticks0);
    ratioLine("start to tray icon (median)", median(tarvikMs), "ms", kStartGoalMs, "ms");
    ratioLine("first show of the window (click to mapped)", firstShowMs, "ms", kFirstShowGoalMs, "ms");
    ratioLine("resident memory hidden, times the floor", rss / floorRss, "x", kMemoryGoalRatio, "x");
    if (rssAfterHide > 0) {
        ratioLine("... after the window was shown and hidden", rssAfterHide / floorRss, "x", kMemoryGoalRatio,
                  "x");
    }
    if (rssAfterHide > 0 && floorAfterHide > 0) {
        ratioLine("... beside the floor after its own window", rssAfterHide / floorAfterHide, "x",
                  kMemoryGoalRatio, "x");
    }
    ratioLine(("CPU over " + std::to_string(windowS) + " s, % of one core").c_str(), cpuPercent, "%",
              kCpuGoalPercent, "%");
    return 0;
}
