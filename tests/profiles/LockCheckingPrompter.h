// A Prompter that records what it shows and asks, and notes every time it is called while some thread
// holds the store's key-data lock: a message box runs its own event loop, which could enter the store.
#pragma once

#include "profiles/AssignmentStore.h"
#include "tests/macros/RecordingPrompter.h"

#include <string>
#include <thread>
#include <vector>

namespace tarvik::testing {

class LockCheckingPrompter final : public Prompter {
public:
    explicit LockCheckingPrompter(profiles::AssignmentStore& store) : store_(store) {}
    void show(std::string_view key) override {
        check(key);
        recorder.show(key);
    }
    bool askYesNo(std::string_view key, bool defaultYes) override {
        check(key);
        return recorder.askYesNo(key, defaultYes);
    }

    RecordingPrompter recorder;
    std::vector<std::string> underLock; // keys shown or asked while the key-data lock was held

private:
    void check(std::string_view key) {
        // From another thread: the lock is re-entrant, so this thread would always get it.
        bool free = false;
        std::thread([&] { free = store_.tryLockKeyData().owns_lock(); }).join();
        if (!free) {
            underLock.emplace_back(key);
        }
    }
    profiles::AssignmentStore& store_;
};

} // namespace tarvik::testing
