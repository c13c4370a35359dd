// The main window as the device link's threads reach it: direct on the user-interface thread, a waiting
// send from other threads, queued everything else, and nothing after close.
#include "app/WindowPortBridge.h"
#include "app/MainIds.h"
#include "device/MainWindowPort.h"

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <future>
#include <mutex>
#include <thread>

namespace tarvik::app {
namespace {

using namespace std::chrono_literals;

// The user-interface thread's queue: other threads add, the test's thread runs.
class UiQueue {
public:
    void post(std::function<void()> task) {
        std::lock_guard lock(mutex_);
        tasks_.push_back(std::move(task));
        changed_.notify_all();
    }
    // Waits (bounded) for a task and runs it; false when none came.
    bool runOne(std::chrono::milliseconds limit = 10s) {
        std::function<void()> task;
        {
            std::unique_lock lock(mutex_);
            if (!changed_.wait_for(lock, limit, [&] { return !tasks_.empty(); })) {
                return false;
            }
            task = std::move(tasks_.front());
            tasks_.pop_front();
        }
        task();
        return true;
    }
    size_t size() const {
        std::lock_guard lock(mutex_);
        return tasks_.size();
    }

private:
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::function<void()>> tasks_;
};

class Window final : public WindowPortBridge::Target {
public:
    std::vector<std::string> log; // user-interface thread only
    std::thread::id uiThread = std::this_thread::get_id();
    std::atomic<bool> isReady{false};
    bool wrongThread = false;

    intptr_t onMessage(uint32_t message, uint32_t wParam, bool posted) override {
        check();
        log.push_back((posted ? "post " : "send ") + std::to_string(message) + " " + std::to_string(wParam));
        return static_cast<intptr_t>(message + 1);
    }
    void onHide() override { check(), log.push_back("hide"); }
    void onSetIcon(int id) override { check(), log.push_back("icon " + std::to_string(id)); }
    void onStartTimer(int id, int ms) override {
        check(), log.push_back("timer " + std::to_string(id) + " " + std::to_string(ms));
    }
    void onShowMessage(const std::string& key) override { check(), log.push_back("message " + key); }
    bool ready() const override { return isReady.load(); }

private:
    void check() { wrongThread = wrongThread || std::this_thread::get_id() != uiThread; }
};

class Bridge : public ::testing::Test {
protected:
    UiQueue queue;
    Window window;
    WindowPortBridge bridge{window, [this](std::function<void()> t) { queue.post(std::move(t)); },
                            [this] { return std::this_thread::get_id() == window.uiThread; }};
};

TEST_F(Bridge, OnTheUserInterfaceThreadASendIsADirectCall) {
    EXPECT_EQ(bridge.sendMessage(device::MSG_OPEN, device::kCodeOpen), device::MSG_OPEN + 1);
    EXPECT_EQ(window.log, std::vector<std::string>{"send 21328 1330660686"});
    EXPECT_EQ(queue.size(), 0u);
}

TEST_F(Bridge, AWorkersSendWaitsForTheUserInterfaceThreadAndGetsTheResult) {
    auto worker =
        std::async(std::launch::async, [&] { return bridge.sendMessage(device::MSG_PROFILE_SYNC, 7); });
    EXPECT_EQ(worker.wait_for(0ms), std::future_status::timeout);
    ASSERT_TRUE(queue.runOne());
    EXPECT_EQ(worker.get(), device::MSG_PROFILE_SYNC + 1);
    EXPECT_EQ(window.log, std::vector<std::string>{"send 21586 7"});
    EXPECT_FALSE(window.wrongThread);
}

TEST_F(Bridge, EverythingElseIsQueuedInOrderAndNeverWaits) {
    std::thread library([&] {
        bridge.postMessage(MSG_APPLY, 0);
        bridge.hide();
        bridge.setIcon(141);
        bridge.startTimer(1051, 0);
        bridge.showMessage("MAIN_DEFAULT_MATRIX_PROMPT");
    });
    library.join(); // returned without the user-interface thread running anything
    while (queue.runOne(0ms)) {
    }
    EXPECT_EQ(window.log, (std::vector<std::string>{"post 30 0", "hide", "icon 141", "timer 1051 0",
                                                    "message MAIN_DEFAULT_MATRIX_PROMPT"}));
    EXPECT_FALSE(window.wrongThread);
}

TEST_F(Bridge, CloseLetsAWaitingSenderGoAndMakesEveryCallANoOp) {
    window.isReady = true;
    EXPECT_TRUE(bridge.isReady());
    auto worker =
        std::async(std::launch::async, [&] { return bridge.sendMessage(device::MSG_PROFILE_SYNC, 1); });
    // The user-interface thread is busy closing and never runs the queued send.
    while (queue.size() == 0) {
        std::this_thread::yield();
    }
    bridge.close();
    EXPECT_EQ(worker.wait_for(10s), std::future_status::ready);
    EXPECT_EQ(worker.get(), 0);
    EXPECT_FALSE(bridge.isReady());
    bridge.hide();
    bridge.setIcon(128);
    EXPECT_EQ(bridge.sendMessage(device::MSG_OPEN, device::kCodeOpen), 0);
    // A task queued before the close finds the window closed when it runs.
    while (queue.runOne(0ms)) {
    }
    EXPECT_TRUE(window.log.empty());
}

TEST_F(Bridge, ManyThreadsSendingAtOnceAreHandledOneAtATime) {
    constexpr int kThreads = 4, kEach = 25;
    std::vector<std::future<void>> senders;
    std::atomic<int> answered{0};
    for (int t = 0; t < kThreads; ++t) {
        senders.push_back(std::async(std::launch::async, [&, t] {
            for (int i = 0; i < kEach; ++i) {
                if (bridge.sendMessage(static_cast<uint32_t>(t), static_cast<uint32_t>(i)) == t + 1) {
                    ++answered;
                }
            }
        }));
    }
    for (int n = 0; n < kThreads * kEach; ++n) {
        ASSERT_TRUE(queue.runOne());
    }
    for (auto& s : senders) {
        s.get();
    }
    EXPECT_EQ(answered.load(), kThreads * kEach);
    EXPECT_EQ(window.log.size(), static_cast<size_t>(kThreads * kEach));
}

} // namespace
} // namespace tarvik::app
