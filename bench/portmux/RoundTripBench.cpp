// Request/reply round trips per second through the loaded libportmux.so: RequestWriteOne with a
// readConfig report, the virtual keyboard's reply (latency 0) through the CTRL callback, hand-over to the
// waiting thread. Goal: at least 20,000 per second, so one hand-over costs well under 5 % of a 1 ms USB
// frame. Two runs: the keyboard inside the process, then the keyboard of a `portmux-sim serve` daemon
// (started from the program folder on a private socket, ended by its process id), where each round trip
// goes client -> daemon -> client. Prints the figures and their ratios to the goal; not a pass/fail test.
//
// Usage: portmux_roundtrip_bench [seconds] [program folder]
#include "portmux/include/portmux.h"
#include "portmux/include/portmux_sim.h"
#include "portmux/server/ControlClient.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <dlfcn.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr double kGoal = 20000.0;

std::mutex replyLock;
std::condition_variable replyReady;
bool replied = false;
std::array<uint8_t, 64> reply{};

int onNotification(const PortmuxNotification* n) {
    if (n->kind == PORTMUX_KIND_REPORT && n->request && n->request->tag == PORTMUX_TAG_CTRL) {
        std::lock_guard lock(replyLock);
        std::memcpy(reply.data(), n->request->data, std::min<size_t>(n->request->count, reply.size()));
        replied = true;
        replyReady.notify_one();
    }
    return 1;
}

template <typename F> F resolve(void* lib, const char* name) {
    auto f = reinterpret_cast<F>(dlsym(lib, name));
    if (!f) {
        std::fprintf(stderr, "libportmux.so lacks %s\n", name);
        std::exit(2);
    }
    return f;
}

struct Lib {
    PortmuxInitFn init;
    PortmuxAsyncReadFn asyncRead;
    PortmuxWriteOneFn writeOne;
    PortmuxDeleteFn deleteRequest;
    PortmuxEndFn end;
};

// One timed run on whatever keyboard Init(0) found; false when it could not run.
bool measure(const Lib& lib, const char* label, double seconds) {
    if (lib.init(0) <= 0) {
        std::fprintf(stderr, "%s: Init failed\n", label);
        return false;
    }
    const UnitId unit = portmux::kConfigUnit;
    uint32_t handle = 0;
    if (lib.asyncRead(&unit, &onNotification, PORTMUX_TAG_CTRL,
                      portmuxCheckCall(&unit, &onNotification, PORTMUX_TAG_CTRL, nullptr, 0), &handle) <= 0) {
        std::fprintf(stderr, "%s: registration refused\n", label);
        return false;
    }
    std::array<uint8_t, 64> request{};
    request[0] = 0x04;
    request[3] = 0x03;
    request[4] = 44;
    const unsigned sum = 0x03 + 44;
    request[1] = static_cast<uint8_t>(sum & 0xFF);
    request[2] = static_cast<uint8_t>(sum >> 8);
    const uint32_t check = portmuxCheckCall(&unit, nullptr, 0, request.data(), request.size());

    auto roundTrip = [&]() -> bool {
        {
            std::lock_guard lock(replyLock);
            replied = false;
        }
        if (lib.writeOne(&unit, nullptr, 0, request.data(), 64, check, nullptr) <= 0) {
            return false;
        }
        std::unique_lock lock(replyLock);
        return replyReady.wait_for(lock, std::chrono::seconds(1), [] { return replied; }) &&
               reply[3] == 0x03 && reply[7] == 0;
    };

    for (int i = 0; i < 1000; ++i) { // warm-up
        if (!roundTrip()) {
            std::fprintf(stderr, "%s: no reply during warm-up\n", label);
            return false;
        }
    }
    std::vector<double> micros;
    micros.reserve(1 << 20);
    const auto start = std::chrono::steady_clock::now();
    const auto until = start + std::chrono::duration<double>(seconds);
    auto now = start;
    long count = 0;
    while (now < until) {
        const auto t0 = now;
        if (!roundTrip()) {
            std::fprintf(stderr, "%s: round trip %ld failed\n", label, count);
            return false;
        }
        now = std::chrono::steady_clock::now();
        micros.push_back(std::chrono::duration<double, std::micro>(now - t0).count());
        ++count;
    }
    const double elapsed = std::chrono::duration<double>(now - start).count();
    const double perSecond = static_cast<double>(count) / elapsed;
    std::sort(micros.begin(), micros.end());
    const auto pct = [&](double p) {
        return micros[static_cast<size_t>(p * static_cast<double>(micros.size() - 1))];
    };
    std::printf("portmux round trips, %s, latency 0\n", label);
    std::printf("  %ld round trips in %.2f s: %.0f per second\n", count, elapsed, perSecond);
    std::printf("  per round trip: median %.1f us, p99 %.1f us, max %.1f us\n", pct(0.5), pct(0.99),
                micros.back());
    std::printf("  goal %.0f per second: ratio %.2f (%s)\n", kGoal, perSecond / kGoal,
                perSecond >= kGoal ? "met" : "NOT met");
    std::printf("  share of a 1 ms USB frame per hand-over: %.1f %%\n", 100.0 * (1.0 / perSecond) / 1e-3);
    lib.deleteRequest(handle);
    return true;
}

// Starts `portmux-sim serve` on a socket in a private folder; its process id, or -1.
pid_t startServer(const std::string& program, const std::string& socket) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::execl(program.c_str(), program.c_str(), "serve", "--socket", socket.c_str(), "--state", "",
                static_cast<char*>(nullptr));
        ::_exit(127);
    }
    return pid;
}

// Waits until the daemon answers, or it ended, or 10 s passed.
bool serverAnswers(pid_t pid, const std::string& socket) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < until) {
        if (portmux::sim::ControlClient::connect(socket, nullptr)) {
            return true;
        }
        if (::waitpid(pid, nullptr, WNOHANG) == pid) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

} // namespace

int main(int argc, char** argv) {
    const double seconds = argc > 1 ? std::atof(argv[1]) : 3.0;
    const std::string folder = argc > 2 ? argv[2] : std::string(PORTMUX_BENCH_BIN_DIR);
    const std::string path = folder + "/libportmux.so";
    ::setenv("PORTMUX_BACKEND", "sim", 1);
    ::setenv("PORTMUX_SIM_STATE", "", 1);
    ::setenv("PORTMUX_SIM_SOCKET", "", 1); // first run: the keyboard inside this process
    void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!module) {
        std::fprintf(stderr, "cannot load %s: %s\n", path.c_str(), dlerror());
        return 2;
    }
    const Lib lib{
        resolve<PortmuxInitFn>(module, "Init"), resolve<PortmuxAsyncReadFn>(module, "RequestAsyncRead"),
        resolve<PortmuxWriteOneFn>(module, "RequestWriteOne"),
        resolve<PortmuxDeleteFn>(module, "DeleteRequestFromUnitId"), resolve<PortmuxEndFn>(module, "End")};
    auto simGet = resolve<PortmuxSimControlGetFn>(module, "PortmuxSimControlGet");

    if (lib.init(0) <= 0 || !simGet()) {
        std::fprintf(stderr, "the library did not start on the virtual keyboard\n");
        return 2;
    }
    PortmuxSimControl* sim = simGet();
    sim->reset();
    if (!measure(lib, "keyboard in the process (RequestWriteOne -> sim reply -> callback -> waiting thread)",
                 seconds)) {
        return 2;
    }
    if (sim->violationCount() != 0) {
        std::fprintf(stderr, "protocol violations: %s", sim->violationSummary().c_str());
        return 2;
    }
    lib.end();

    char dirTemplate[] = "/tmp/portmux-bench-XXXXXX";
    const char* dir = ::mkdtemp(dirTemplate);
    if (!dir) {
        std::fprintf(stderr, "cannot make a folder for the socket\n");
        return 2;
    }
    const std::string socket = std::string(dir) + "/sock/sim.sock";
    const pid_t server = startServer(folder + "/portmux-sim", socket);
    int status = 2;
    if (server > 0 && serverAnswers(server, socket)) {
        ::setenv("PORTMUX_SIM_SOCKET", socket.c_str(), 1);
        if (measure(lib, "keyboard of portmux-sim serve (client -> daemon -> client)", seconds)) {
            status = 0;
            auto control = portmux::sim::ControlClient::connect(socket, nullptr);
            auto st = control ? control->status() : std::nullopt;
            if (!st || st->violations != 0) {
                std::fprintf(stderr, "the daemon saw protocol violations or did not answer\n");
                status = 2;
            }
        }
        lib.end();
    } else {
        std::fprintf(stderr, "portmux-sim serve did not start\n");
    }
    if (server > 0) {
        ::kill(server, SIGTERM);
        ::waitpid(server, nullptr, 0);
    }
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
    return status;
}
