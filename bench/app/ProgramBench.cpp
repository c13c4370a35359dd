// The resident program's costs, on the virtual keyboard (portmux-sim serve) under Xvfb with a window
// manager and a tray host, as the whole-program tests run it:
//   - time from the process start to its icon shown in the notification area, for a hidden start
//     ("/Start"): from just before the fork to the moment the tray host has the icon mapped (goal 300 ms);
//   - resident memory of the hidden program 10 s after its start (goal 40 MB);
//   - CPU time the hidden program uses in the 30 s after that (goal 0.1 % of one core: nothing polls).
// Prints the figures with their ratios to the goals; not a pass/fail test.
//
// Usage: app_bench [starts (5)] [settle seconds (10)] [CPU window seconds (30)]
#include "tests/e2e/Desktop.h"

#include <xcb/xcb.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
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

constexpr double kStartGoalMs = 300.0;
constexpr double kMemoryGoalMb = 40.0;
constexpr double kCpuGoalPercent = 0.1;

template <typename T> using XcbReply = std::unique_ptr<T, decltype(&std::free)>;

// Watches the X server for the icon of one process arriving in the tray host: the host reparents the
// icon's window out of the root window and maps it. Events, not polling, so the measurement takes no
// processor time from the program it measures.
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

    // Waits for pid's icon to be shown; the moment it was seen.
    std::optional<Clock::time_point> waitForIcon(pid_t pid, std::chrono::milliseconds timeout) {
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

private:
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

bool endProgram(Desktop& d, Process& p) {
    d.run(d.programFolder() / "tarvik", {"/Kill"}, 20s);
    return p.wait(10s) || p.end();
}

void ratioLine(const char* what, double value, const char* unit, double goal) {
    std::printf("  %-44s %9.4g %-3s goal %7.4g %-3s ratio %.3g (%s)\n", what, value, unit, goal, unit,
                value / goal, value <= goal ? "within" : "OVER");
}

} // namespace

int main(int argc, char** argv) {
    const int starts = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    const int settleS = argc > 2 ? std::max(0, std::atoi(argv[2])) : 10;
    const int windowS = argc > 3 ? std::max(1, std::atoi(argv[3])) : 30;

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

    std::printf("tarvik, hidden start (/Start) on the virtual keyboard under Xvfb (%s), program folder %s\n",
                d.display().c_str(), d.programFolder().c_str());
    std::vector<double> startMs;
    for (int i = 0; i < starts; ++i) {
        const bool last = i + 1 == starts;
        const auto t0 = Clock::now();
        Process& app = d.startProgram("tarvik", {"/Start"});
        const auto shown = watch.waitForIcon(app.pid(), 20s);
        if (!shown) {
            std::fprintf(stderr, "start %d: no icon in the tray host within 20 s\n", i + 1);
            endProgram(d, app);
            return 1;
        }
        startMs.push_back(std::chrono::duration<double, std::milli>(*shown - t0).count());
        std::printf("  start %d: icon shown after %.1f ms\n", i + 1, startMs.back());
        if (!last) {
            if (!endProgram(d, app)) {
                std::fprintf(stderr, "start %d: the program did not end\n", i + 1);
                return 1;
            }
            continue;
        }
        // The last start stays: what the resident program costs while it waits.
        std::this_thread::sleep_until(t0 + std::chrono::seconds(settleS));
        const double rss = residentMb(app.pid());
        const double ticks0 = cpuMsFromTicks(app.pid());
        const double sched0 = cpuMsFromScheduler(app.pid());
        std::this_thread::sleep_until(t0 + std::chrono::seconds(settleS + windowS));
        const double ticks1 = cpuMsFromTicks(app.pid());
        const double sched1 = cpuMsFromScheduler(app.pid());
        const bool running = app.running();
        endProgram(d, app);
        if (!running || rss < 0 || ticks0 < 0 || ticks1 < 0) {
            std::fprintf(stderr, "the program ended while it was measured\n");
            return 1;
        }
        // Ticks count the threads that ended meanwhile too; the scheduler's figure is finer.
        const double cpuMs = std::max(ticks1 - ticks0, sched1 - sched0);
        const double cpuPercent = 100.0 * cpuMs / (windowS * 1000.0);

        std::vector<double> sorted = startMs;
        std::sort(sorted.begin(), sorted.end());
        const double median = sorted[sorted.size() / 2];
        std::printf("\n  starts: %d, min %.1f ms, median %.1f ms, max %.1f ms\n", starts, sorted.front(),
                    median, sorted.back());
        std::printf("  CPU in %d s: %.2f ms (scheduler), %.0f ms (clock ticks)\n\n", windowS, sched1 - sched0,
                    ticks1 - ticks0);
        ratioLine("start to tray icon (median)", median, "ms", kStartGoalMs);
        ratioLine(("resident memory after " + std::to_string(settleS) + " s").c_str(), rss, "MB",
                  kMemoryGoalMb);
        ratioLine(("CPU over " + std::to_string(windowS) + " s, % of one core").c_str(), cpuPercent, "%",
                  kCpuGoalPercent);
    }
    return 0;
}
