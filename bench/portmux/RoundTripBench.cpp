// Request/reply round trips per second through the loaded libportmux.so: RequestWriteOne with a
// readConfig report, the virtual keyboard's reply (latency 0) through the CTRL callback, hand-over to the
// waiting thread. Goal: at least 20,000 per second, so one hand-over costs well under 5 % of a 1 ms USB
// frame. Prints the figure and its ratio to the goal; the result is not a pass/fail test.
//
// Usage: portmux_roundtrip_bench [seconds] [path of libportmux.so]
#include "portmux/include/portmux.h"
#include "portmux/include/portmux_sim.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include <dlfcn.h>

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

} // namespace

int main(int argc, char** argv) {
    const double seconds = argc > 1 ? std::atof(argv[1]) : 3.0;
    const std::string path = argc > 2 ? argv[2] : std::string(PORTMUX_BENCH_BIN_DIR) + "/libportmux.so";
    ::setenv("PORTMUX_BACKEND", "sim", 1);
    ::setenv("PORTMUX_SIM_STATE", "", 1);
    void* lib = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!lib) {
        std::fprintf(stderr, "cannot load %s: %s\n", path.c_str(), dlerror());
        return 2;
    }
    auto init = resolve<PortmuxInitFn>(lib, "Init");
    auto asyncRead = resolve<PortmuxAsyncReadFn>(lib, "RequestAsyncRead");
    auto writeOne = resolve<PortmuxWriteOneFn>(lib, "RequestWriteOne");
    auto end = resolve<PortmuxEndFn>(lib, "End");
    auto simGet = resolve<PortmuxSimControlGetFn>(lib, "PortmuxSimControlGet");
    if (init(0) <= 0 || !simGet()) {
        std::fprintf(stderr, "the library did not start on the virtual keyboard\n");
        return 2;
    }
    PortmuxSimControl* sim = simGet();
    sim->reset();
    sim->setLatencyMs(0);

    const UnitId unit = portmux::kConfigUnit;
    uint32_t handle = 0;
    if (asyncRead(&unit, &onNotification, PORTMUX_TAG_CTRL,
                  portmuxCheckCall(&unit, &onNotification, PORTMUX_TAG_CTRL, nullptr, 0), &handle) <= 0) {
        std::fprintf(stderr, "registration refused\n");
        return 2;
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
        if (writeOne(&unit, nullptr, 0, request.data(), 64, check, nullptr) <= 0) {
            return false;
        }
        std::unique_lock lock(replyLock);
        return replyReady.wait_for(lock, std::chrono::seconds(1), [] { return replied; }) &&
               reply[3] == 0x03 && reply[7] == 0;
    };

    for (int i = 0; i < 1000; ++i) { // warm-up
        if (!roundTrip()) {
            std::fprintf(stderr, "no reply during warm-up\n");
            return 2;
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
            std::fprintf(stderr, "round trip %ld failed\n", count);
            return 2;
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
    std::printf(
        "portmux round trips (RequestWriteOne -> sim reply -> callback -> waiting thread), latency 0\n");
    std::printf("  %ld round trips in %.2f s: %.0f per second\n", count, elapsed, perSecond);
    std::printf("  per round trip: median %.1f us, p99 %.1f us, max %.1f us\n", pct(0.5), pct(0.99),
                micros.back());
    std::printf("  goal %.0f per second: ratio %.2f (%s)\n", kGoal, perSecond / kGoal,
                perSecond >= kGoal ? "met" : "NOT met");
    std::printf("  share of a 1 ms USB frame per hand-over: %.1f %%\n", 100.0 * (1.0 / perSecond) / 1e-3);
    if (sim->violationCount() != 0) {
        std::fprintf(stderr, "protocol violations: %s", sim->violationSummary().c_str());
        return 2;
    }
    end();
    return 0;
}
