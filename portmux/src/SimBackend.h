// Back end `sim`: the virtual keyboard (SimKeyboard) attached to the library, with plug/unplug, latency,
// fault injection, recording and the state file. It implements the control API of portmux_sim.h.
#pragma once

#include "portmux/include/portmux_sim.h"
#include "portmux/src/Backend.h"
#include "portmux/src/SimKeyboard.h"

#include <deque>
#include <mutex>
#include <string>

namespace portmux::sim {

// The state file the environment asks for: PORTMUX_SIM_STATE when set (empty = none), otherwise
// $XDG_STATE_HOME/portmux/sim-keyboard.bin (XDG_STATE_HOME defaulting to $HOME/.local/state).
std::string stateFileFromEnvironment();
// Whole-or-nothing save: temporary file beside the target, fsync, rename, fsync of the folder.
bool saveStateFile(const std::string& path, const Flash& flash);
// Loads a state file; false (and `out` untouched) when it is missing, short or corrupt.
bool loadStateFile(const std::string& path, Flash& out);

class SimBackend final : public Backend {
public:
    explicit SimBackend(std::string statePath);
    ~SimBackend() override;

    const char* name() const override { return "sim"; }
    bool start(Dispatcher& dispatcher) override;
    void stop() override;
    uint32_t deviceCount() override;
    bool writeReport(std::span<const uint8_t, 64> report) override;
    bool writeStatus(std::span<const uint8_t> status) override;

    // The control API (PortmuxSimControl forwards here).
    void reset();
    bool plug();
    bool unplug();
    bool sendConsumer(uint16_t usage);
    void setLatencyMs(uint32_t ms);
    void setUpdateReturnDelayMs(int32_t ms);
    uint32_t updateTriggerCount();
    void injectFault(const Fault& fault);
    void clearFaults();
    size_t pendingFaults();
    std::vector<uint8_t> area(Area area);
    bool setArea(Area area, size_t offset, const std::vector<uint8_t>& bytes);
    bool frameOpen();
    uint32_t commitCount();
    std::string statePath();
    bool setStatePath(const std::string& path);
    bool reloadState();
    std::vector<Report> reports();
    size_t reportCount();
    void clearReports();
    bool hasLinkStatus();
    LinkStatusBytes lastLinkStatus();
    uint32_t linkStatusCount();
    uint32_t violationCount();
    std::vector<ViolationRecord> violations();
    std::string violationSummary();
    bool waitIdle(uint32_t timeoutMs);

private:
    // All private helpers expect m_ to be held.
    void postCount(uint32_t count, bool lateAfterReply = false);
    void postReply(const Report& reply, uint32_t delayMs);
    void leave();
    void persist();
    bool loadFromFile();
    size_t findFault(uint8_t command) const; // index of the first matching fault, or size()

    std::mutex m_;
    Dispatcher* dispatcher_ = nullptr;
    SimKeyboard keyboard_;
    std::string statePath_;
    bool plugged_ = true;
    uint32_t latencyMs_ = 0;
    int32_t updateReturnDelayMs_ = 1000;
    uint32_t updateTriggers_ = 0;
    uint32_t commits_ = 0;
    uint64_t group_ = 1; // dispatcher group of the events in flight; a new one on reset and unplug
    std::deque<Fault> faults_;
    std::vector<Report> reports_;
    std::vector<ViolationRecord> violations_;
    bool hasStatus_ = false;
    LinkStatusBytes status_{};
    uint32_t statusCount_ = 0;
};

} // namespace portmux::sim
