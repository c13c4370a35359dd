// Back end `sim`: the virtual keyboard (SimKeyboard) attached to the library, with plug/unplug, latency,
// fault injection, recording and the state file. It implements the control API of portmux_sim.h.
#pragma once

#include "portmux/include/portmux_sim.h"
#include "portmux/src/Backend.h"
#include "portmux/src/SimKeyboard.h"

#include <deque>
#include <mutex>
#include <string>
#include <vector>

namespace portmux::sim {

// The state file the environment asks for: PORTMUX_SIM_STATE when set (empty = none), otherwise
// $XDG_STATE_HOME/portmux/sim-keyboard.bin (XDG_STATE_HOME defaulting to $HOME/.local/state).
std::string stateFileFromEnvironment();
// Whole-or-nothing save: temporary file beside the target, fsync, rename, fsync of the folder.
bool saveStateFile(const std::string& path, const Flash& flash);
// Loads a state file; false (and `out` untouched) when it is missing, short or corrupt.
bool loadStateFile(const std::string& path, Flash& out);
// Whether a daemon keeps the state file at path (it holds the lock file beside it for as long as it
// serves). An in-process keyboard never writes such a file: the daemon's next save would undo it.
bool stateFileHeldByServer(const std::string& path);

// A stretch of a record (reports or violations) by sequence number: entry i of `items` is number
// first + i; `end` is the number the next entry will get. Numbers start at 0 with reset() or a clear.
template <typename T> struct RecordPage {
    uint64_t first = 0;
    uint64_t end = 0;
    std::vector<T> items;
};

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
    void setRecordLimit(size_t limit);
    size_t recordLimit();
    uint64_t reportTotal();

    // For the daemon, which serves the keyboard to many clients.
    // Up to max entries from number `from` on (from the oldest kept when `from` is older).
    RecordPage<Report> reportPage(uint64_t from, size_t max);
    RecordPage<ViolationRecord> violationPage(uint64_t from, size_t max);
    // Counts the begin-write reports that opened a frame; with frameOpen() it tells whose frame is open.
    uint64_t frameSerial();
    // Drops the open frame if it is still the one the begin of that serial opened (its sender left).
    bool dropFrameOf(uint64_t serial);
    uint32_t latencyMs();
    int32_t updateReturnDelayMs();
    // Saves the committed flash to the state file now (true without a state file).
    bool save();
    // For the daemon: holds the state file's lock from now on, so that in-process keyboards leave the file
    // alone. False (with the reason) when another daemon holds it.
    bool holdStateFile(std::string* why);

private:
    // All private helpers expect m_ to be held.
    void postCount(uint32_t count, bool lateAfterReply = false);
    void postReply(const Report& reply, uint32_t delayMs);
    void leave();
    bool persist();
    void record(const Report& report);
    void record(ViolationRecord violation);
    bool loadFromFile();
    bool claimStateLock(std::string* why);
    // Index of the first fault that takes a report with this command (AckDrop takes only writes), or
    // size().
    size_t findFault(uint8_t command) const;

    std::mutex m_;
    Dispatcher* dispatcher_ = nullptr;
    SimKeyboard keyboard_;
    std::string statePath_;
    int stateLockFd_ = -1; // held while a daemon serves this keyboard
    bool plugged_ = true;
    uint32_t latencyMs_ = 0;
    int32_t updateReturnDelayMs_ = 1000;
    uint32_t updateTriggers_ = 0;
    uint32_t commits_ = 0;
    uint64_t group_ = 1; // dispatcher group of the events in flight; a new one on reset and unplug
    std::deque<Fault> faults_;
    size_t recordLimit_ = kDefaultRecordLimit;
    std::deque<Report> reports_; // the newest reports, at most recordLimit_
    uint64_t reportTotal_ = 0;   // reports since reset or clear; reports_.back() is number total - 1
    std::deque<ViolationRecord> violations_;
    uint64_t violationTotal_ = 0;
    uint64_t frameSerial_ = 0;
    bool hasStatus_ = false;
    LinkStatusBytes status_{};
    uint32_t statusCount_ = 0;
};

} // namespace portmux::sim
