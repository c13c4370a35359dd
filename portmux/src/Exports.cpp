// The exported C entry points of libportmux.so (the twelve of portmux.h and PortmuxSimControlGet).
// Everything else of the library is hidden (-fvisibility=hidden and the version script portmux.map).
#pragma GCC visibility push(default)
#include "portmux/include/portmux.h"
#include "portmux/include/portmux_sim.h"
#pragma GCC visibility pop

#include "portmux/src/Core.h"
#include "portmux/src/HidBackend.h"
#include "portmux/src/RemoteSimBackend.h"
#include "portmux/src/SimBackend.h"
#include "portmux/src/SimSocket.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace {

using portmux::Core;
using portmux::sim::SimBackend;

// Never destroyed: the library's threads may still run while the process exits (the program never
// calls End), and a destructor at unload would have to join them.
Core& core() {
    static Core* instance = new Core;
    return *instance;
}

std::atomic<int> debugLevel{0};

std::shared_ptr<SimBackend> currentSim() {
    return std::dynamic_pointer_cast<SimBackend>(core().backend());
}

// Forwards the control API to the sim back end of the moment; without one every call does nothing.
class SimControl final : public PortmuxSimControl {
public:
    void reset() override {
        if (auto s = currentSim()) {
            s->reset();
        }
    }
    bool plug() override {
        auto s = currentSim();
        return s && s->plug();
    }
    bool unplug() override {
        auto s = currentSim();
        return s && s->unplug();
    }
    int keyboardCount() override {
        auto s = currentSim();
        return s ? static_cast<int>(s->deviceCount()) : 0;
    }
    bool sendConsumer(uint16_t usage) override {
        auto s = currentSim();
        return s && s->sendConsumer(usage);
    }
    void setLatencyMs(uint32_t ms) override {
        if (auto s = currentSim()) {
            s->setLatencyMs(ms);
        }
    }
    void setUpdateReturnDelayMs(int32_t ms) override {
        if (auto s = currentSim()) {
            s->setUpdateReturnDelayMs(ms);
        }
    }
    uint32_t updateTriggerCount() override {
        auto s = currentSim();
        return s ? s->updateTriggerCount() : 0;
    }
    void injectFault(const portmux::sim::Fault& fault) override {
        if (auto s = currentSim()) {
            s->injectFault(fault);
        }
    }
    void clearFaults() override {
        if (auto s = currentSim()) {
            s->clearFaults();
        }
    }
    size_t pendingFaults() override {
        auto s = currentSim();
        return s ? s->pendingFaults() : 0;
    }
    std::vector<uint8_t> area(Area area) override {
        auto s = currentSim();
        return s ? s->area(area) : std::vector<uint8_t>{};
    }
    bool setArea(Area area, size_t offset, const std::vector<uint8_t>& bytes) override {
        auto s = currentSim();
        return s && s->setArea(area, offset, bytes);
    }
    bool frameOpen() override {
        auto s = currentSim();
        return s && s->frameOpen();
    }
    uint32_t commitCount() override {
        auto s = currentSim();
        return s ? s->commitCount() : 0;
    }
    std::string statePath() override {
        auto s = currentSim();
        return s ? s->statePath() : std::string{};
    }
    bool setStatePath(const std::string& path) override {
        auto s = currentSim();
        return s && s->setStatePath(path);
    }
    bool reloadState() override {
        auto s = currentSim();
        return s && s->reloadState();
    }
    std::vector<portmux::sim::Report> reports() override {
        auto s = currentSim();
        return s ? s->reports() : std::vector<portmux::sim::Report>{};
    }
    size_t reportCount() override {
        auto s = currentSim();
        return s ? s->reportCount() : 0;
    }
    void clearReports() override {
        if (auto s = currentSim()) {
            s->clearReports();
        }
    }
    bool hasLinkStatus() override {
        auto s = currentSim();
        return s && s->hasLinkStatus();
    }
    portmux::sim::LinkStatusBytes lastLinkStatus() override {
        auto s = currentSim();
        return s ? s->lastLinkStatus() : portmux::sim::LinkStatusBytes{};
    }
    uint32_t linkStatusCount() override {
        auto s = currentSim();
        return s ? s->linkStatusCount() : 0;
    }
    uint32_t violationCount() override {
        auto s = currentSim();
        return s ? s->violationCount() : 0;
    }
    std::vector<portmux::sim::ViolationRecord> violations() override {
        auto s = currentSim();
        return s ? s->violations() : std::vector<portmux::sim::ViolationRecord>{};
    }
    std::string violationSummary() override {
        auto s = currentSim();
        return s ? s->violationSummary() : std::string{};
    }
    bool waitIdle(uint32_t timeoutMs) override {
        auto s = currentSim();
        return s && s->waitIdle(timeoutMs);
    }
    void setRecordLimit(size_t limit) override {
        if (auto s = currentSim()) {
            s->setRecordLimit(limit);
        }
    }
    size_t recordLimit() override {
        auto s = currentSim();
        return s ? s->recordLimit() : 0;
    }
    uint64_t reportTotal() override {
        auto s = currentSim();
        return s ? s->reportTotal() : 0;
    }
};

SimControl& simControl() {
    static SimControl* instance = new SimControl;
    return *instance;
}

std::unique_ptr<portmux::Backend> backendFromEnvironment() {
    const char* choice = std::getenv("PORTMUX_BACKEND");
    if (!choice || !*choice || std::strcmp(choice, "hid") == 0) {
        return portmux::hid::makeHidapiBackend();
    }
    if (std::strcmp(choice, "sim") == 0) {
        // The keyboard every process shares when its daemon answers; a private one only when nothing
        // listens. A daemon that is busy, stopped or full is not absent: a private keyboard beside it
        // would take writes that the daemon never sees and later overwrites.
        const std::string socket = portmux::sim::socketPathFromEnvironment();
        const std::string state = portmux::sim::stateFileFromEnvironment();
        if (!socket.empty()) {
            std::string why;
            if (auto remote = portmux::sim::RemoteSimBackend::connect(socket, {}, &why)) {
                return remote;
            }
            // Nor can a daemon listen at a default path too long for a socket (a deep XDG_RUNTIME_DIR).
            const char* chosen = std::getenv("PORTMUX_SIM_SOCKET");
            const bool absent = why.rfind("no server", 0) == 0 ||
                                (why.rfind("socket path too long", 0) == 0 && !(chosen && *chosen));
            if (!absent) {
                std::fprintf(stderr, "portmux: the virtual keyboard server cannot be used: %s\n",
                             why.c_str());
                return nullptr;
            }
            if (debugLevel.load() > 0) {
                std::fprintf(stderr, "portmux: not using the virtual keyboard server: %s\n", why.c_str());
            }
        }
        if (portmux::sim::stateFileHeldByServer(state)) {
            std::fprintf(stderr,
                         "portmux: the virtual keyboard's state file %s is kept by a portmux-sim serve "
                         "that does not answer at %s\n",
                         state.c_str(), socket.empty() ? "(no socket)" : socket.c_str());
            return nullptr;
        }
        return std::make_unique<SimBackend>(state);
    }
    std::fprintf(stderr, "portmux: unknown PORTMUX_BACKEND \"%s\" (hid or sim)\n", choice);
    return nullptr;
}

} // namespace

extern "C" {

int Init(int zero) {
    (void)zero;
    if (core().initialised()) {
        return 1;
    }
    auto backend = backendFromEnvironment();
    if (!backend) {
        return 0;
    }
    const char* name = backend->name();
    const int result = core().init(std::move(backend));
    if (debugLevel.load() > 0) {
        std::fprintf(stderr, "portmux: Init with back end %s: %d\n", name, result);
    }
    return result;
}

int Debug(int level) {
    debugLevel.store(level);
    return 1;
}

int End(void) {
    return core().end();
}

int RequestGetDeviceCount(const UnitId* u, PortmuxCallback cb, uint32_t tag, uint32_t check,
                          uint32_t* handle) {
    return core().getDeviceCount(u, cb, tag, check, handle);
}

int RequestAsyncRead(const UnitId* u, PortmuxCallback cb, uint32_t tag, uint32_t check, uint32_t* handle) {
    return core().asyncRead(u, cb, tag, check, handle);
}

int RequestStatusWrite(const UnitId* u, PortmuxCallback cb, uint32_t tag, const uint8_t* status,
                       uint32_t length, uint32_t check, uint32_t* handle) {
    return core().statusWrite(u, cb, tag, status, length, check, handle);
}

int RequestWriteOne(const UnitId* u, PortmuxCallback cb, uint32_t tag, const uint8_t* report, uint32_t length,
                    uint32_t check, uint32_t* handle) {
    return core().writeOne(u, cb, tag, report, length, check, handle);
}

// Not used by the program: feature reports and multi-report writes are not offered.
int RequestWrite(const UnitId*, PortmuxCallback, uint32_t, const uint8_t*, uint32_t, uint32_t,
                 uint32_t* handle) {
    if (handle) {
        *handle = 0;
    }
    return 0;
}

int RequestStatusGet(const UnitId*, PortmuxCallback, uint32_t, uint32_t, uint32_t* handle) {
    if (handle) {
        *handle = 0;
    }
    return 0;
}

int RequestStatusSetFeature(const UnitId*, PortmuxCallback, uint32_t, const uint8_t*, uint32_t, uint32_t,
                            uint32_t* handle) {
    if (handle) {
        *handle = 0;
    }
    return 0;
}

int DeleteRequestFromUnitId(uint32_t handle) {
    return core().deleteRequest(handle);
}

int DeleteRequestFromHandle(uint32_t handle) {
    return core().deleteRequest(handle);
}

PortmuxSimControl* PortmuxSimControlGet(void) {
    return currentSim() ? &simControl() : nullptr;
}

} // extern "C"
