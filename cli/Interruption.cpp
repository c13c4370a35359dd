#include "cli/Interruption.h"

#include <csignal>
#include <map>
#include <mutex>
#include <pthread.h>
#include <set>
#include <thread>
#include <unistd.h>
#include <vector>

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

void takeSignals(sigset_t set) {
    for (;;) {
        int sig = 0;
        if (sigwait(&set, &sig) != 0) {
            continue;
        }
        State& s = state();
        std::unique_lock lock(s.m);
        if (s.signal != 0) {
            // The second: no more waiting for a step to end.
            for (const auto& folder : s.temporaries) {
                std::error_code ec;
                std::filesystem::remove_all(folder, ec);
            }
            ::_exit(128 + s.signal);
        }
        s.signal = sig;
        // Under the lock: a scope that ends meanwhile waits, so no action outlives what it refers to.
        for (const auto& [id, entry] : s.actions) {
            entry.first();
            s.consumed = s.consumed || entry.second;
        }
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
    sigset_t set;
    sigemptyset(&set);
    for (int sig : {SIGINT, SIGTERM, SIGHUP}) {
        sigaddset(&set, sig);
    }
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
    std::thread(takeSignals, set).detach();
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
