#include "cli/Interruption.h"

#include "platform/TerminationSignals.h"
#include "platform/ThisProcess.h"

#include <map>
#include <mutex>
#include <set>

namespace tarvik::cli::interruption {

namespace {

struct State {
    std::mutex m;
    bool installed = false;
    int signal = 0;
    bool consumed = false;
    int nextId = 1;
    std::map<int, std::pair<std::function<void()>, bool>> actions; // id -> action, consumes
    std::set<std::filesystem::path> temporaries;
};

State& state() {
    static State* s = new State; // the signal thread may use it while the process exits
    return *s;
}

void takeSignal(int sig) {
    State& s = state();
    std::unique_lock lock(s.m);
    if (s.signal != 0) {
        // The second: no more waiting for a step to end.
        for (const auto& folder : s.temporaries) {
            std::error_code ec;
            std::filesystem::remove_all(folder, ec);
        }
        exitAtOnce(128 + s.signal);
    }
    s.signal = sig;
    // Under the lock: a scope that ends meanwhile waits, so no action outlives what it refers to.
    for (const auto& [id, entry] : s.actions) {
        entry.first();
        s.consumed = s.consumed || entry.second;
    }
}

} // namespace

void install() {
    State& s = state();
    std::lock_guard lock(s.m);
    if (s.installed) {
        return;
    }
    s.installed = true;
    takeTerminationSignalsOnThread(takeSignal);
}

bool requested() {
    State& s = state();
    std::lock_guard lock(s.m);
    return s.signal != 0 && !s.consumed;
}

int exitCode(int rc) {
    State& s = state();
    std::lock_guard lock(s.m);
    return s.signal != 0 && !s.consumed ? 128 + s.signal : rc;
}

OnInterrupt::OnInterrupt(std::function<void()> action, bool consumes) {
    State& s = state();
    std::unique_lock lock(s.m);
    id_ = s.nextId++;
    if (s.signal != 0) {
        s.consumed = s.consumed || consumes;
        action();
    }
    s.actions.emplace(id_, std::make_pair(std::move(action), consumes));
}

OnInterrupt::~OnInterrupt() {
    State& s = state();
    std::lock_guard lock(s.m);
    s.actions.erase(id_);
}

void addTemporary(const std::filesystem::path& folder) {
    State& s = state();
    std::lock_guard lock(s.m);
    s.temporaries.insert(folder);
}

void removeTemporary(const std::filesystem::path& folder) {
    State& s = state();
    std::lock_guard lock(s.m);
    s.temporaries.erase(folder);
}

} // namespace tarvik::cli::interruption
