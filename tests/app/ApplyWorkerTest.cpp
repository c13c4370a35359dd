// Apply on a real device worker while the user-interface thread keeps drawing the buttons from the same
// store and the device link's threads send their messages: the ThreadSanitizer build runs this.
#include "app/WindowPortBridge.h"
#include "device/SerialWorker.h"
#include "tests/app/HubFixture.h"

#include <condition_variable>
#include <mutex>
#include <thread>

namespace tarvik::app::test {
namespace {

using namespace std::chrono_literals;

class UiThreadQueue {
public:
    void post(std::function<void()> task) {
        std::lock_guard lock(mutex_);
        tasks_.push_back(std::move(task));
        changed_.notify_all();
    }
    // Runs what arrives until done() holds or the limit passes; false on the limit.
    bool runUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        while (!done()) {
            std::function<void()> task;
            {
                std::unique_lock lock(mutex_);
                if (!changed_.wait_until(lock, deadline, [&] { return !tasks_.empty(); })) {
                    return done();
                }
                task = std::move(tasks_.front());
                tasks_.pop_front();
            }
            task();
        }
        return true;
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::function<void()>> tasks_;
};

class HubTarget final : public WindowPortBridge::Target {
public:
    explicit HubTarget(MainHub*& hub) : hub_(hub) {}
    intptr_t onMessage(uint32_t m, uint32_t w, bool posted) override {
        return hub_->handleMessage(m, w, posted);
    }
    void onHide() override {}
    void onSetIcon(int id) override { hub_->setTrayIcon(id); }
    void onStartTimer(int, int) override {}
    void onShowMessage(const std::string&) override {}
    bool ready() const override { return hub_->isReady(); }

private:
    MainHub*& hub_;
};

TEST_F(HubTest, ApplyOnTheDeviceWorkerWhileTheWindowDrawsAndTheLinkSends) {
    UiThreadQueue uiQueue;
    device::SerialWorker deviceWorker;
    const std::thread::id uiThread = std::this_thread::get_id();
    hub = std::make_unique<MainHub>(
        MainHubParts{state, store, commands, *settings, prompter, files, view, texts, languageFile, home,
                     home, [&](std::function<void()> t) { deviceWorker.post(std::move(t)); },
                     [&](std::function<void()> t) { uiQueue.post(std::move(t)); }});
    MainHub* raw = hub.get();
    HubTarget target(raw);
    WindowPortBridge bridge(
        target, [&](std::function<void()> t) { uiQueue.post(std::move(t)); },
        [&] { return std::this_thread::get_id() == uiThread; });
    startWithKeyboard();
    hub->handleMessage(device::MSG_PROFILE_SYNC, device::kCodeProf, false);

    for (int round = 0; round < 5; ++round) {
        {
            auto lock = store.lockKeyData();
            store.working().block().profile(0)[0x1E].type = keyboard::ASSIGN_SINGLE_KEY;
            store.working().block().profile(0)[0x1E].value = static_cast<uint32_t>(0x10 + round);
        }
        hub->assignmentsChanged();
        hub->onControl(control::kApply);
        // The library's threads: layer switches and icon changes arrive during the download.
        std::atomic<bool> linkDone{false};
        std::thread link([&] {
            for (int i = 0; i < 20; ++i) {
                bridge.sendMessage(device::MSG_KEYMODE_CHANGED, device::kCodeLed);
                bridge.setIcon(i % 2 == 0 ? 142 : 141);
            }
            linkDone = true;
        });
        // The user-interface thread draws from the store meanwhile.
        const bool finished = uiQueue.runUntil(
            [&] {
                (void)hub->buttonLook(1010);
                return !hub->busy() && linkDone.load();
            },
            30s);
        if (!finished) {
            bridge.close(); // lets the link thread go
        }
        link.join();
        ASSERT_TRUE(finished);
        EXPECT_FALSE(hub->modified()) << round;
    }
    bridge.close();
    deviceWorker.stop();
}

} // namespace
} // namespace tarvik::app::test
