// A main window for the device tests: records what the link asks of it, in order, from any thread.
#pragma once

#include "device/MainWindowPort.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace tarvik::device::test {

struct WindowEvent {
    enum Kind { Send, Post, Hide, Icon, Timer, Message } kind;
    uint32_t a = 0; // message, icon id or timer id
    uint32_t b = 0; // wParam or timer period
    std::string key;
    bool operator==(const WindowEvent&) const = default;
};

class RecordingWindow final : public MainWindowPort {
public:
    intptr_t sendMessage(uint32_t message, uint32_t wParam) override {
        add({WindowEvent::Send, message, wParam, {}});
        std::function<void(uint32_t)> hook;
        {
            std::lock_guard lock(mutex_);
            hook = onSend;
        }
        if (hook) {
            hook(message);
        }
        // As a window whose user-interface thread is busy: the call waits until the port is closed.
        std::unique_lock lock(mutex_);
        if (blockSends_) {
            ++blocked_;
            changed_.notify_all();
            changed_.wait(lock, [this] { return closed_; });
            --blocked_;
            changed_.notify_all();
        }
        return 0;
    }
    void closePort() override {
        std::lock_guard lock(mutex_);
        closed_ = true;
        changed_.notify_all();
    }
    // From now on sendMessage waits until closePort().
    void blockSends() {
        std::lock_guard lock(mutex_);
        blockSends_ = true;
    }
    // Waits (at most limit) until a sendMessage is waiting.
    bool waitForBlockedSend(std::chrono::milliseconds limit) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, limit, [this] { return blocked_ > 0; });
    }
    // Waits (at most limit) until no sendMessage is waiting any more.
    bool waitNoBlockedSend(std::chrono::milliseconds limit) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, limit, [this] { return blocked_ == 0; });
    }
    bool portClosed() const {
        std::lock_guard lock(mutex_);
        return closed_;
    }
    void postMessage(uint32_t message, uint32_t wParam) override {
        add({WindowEvent::Post, message, wParam, {}});
    }
    void hide() override { add({WindowEvent::Hide, 0, 0, {}}); }
    bool isReady() const override { return ready.load(); }
    void setIcon(int iconId) override { add({WindowEvent::Icon, static_cast<uint32_t>(iconId), 0, {}}); }
    void startTimer(int timerId, int periodMs) override {
        add({WindowEvent::Timer, static_cast<uint32_t>(timerId), static_cast<uint32_t>(periodMs), {}});
    }
    void showMessage(std::string_view languageKey) override {
        add({WindowEvent::Message, 0, 0, std::string(languageKey)});
    }

    std::vector<WindowEvent> events() const {
        std::lock_guard lock(mutex_);
        return events_;
    }
    void clear() {
        std::lock_guard lock(mutex_);
        events_.clear();
    }
    size_t count(WindowEvent::Kind kind, uint32_t a) const {
        std::lock_guard lock(mutex_);
        size_t n = 0;
        for (const auto& e : events_) {
            n += e.kind == kind && e.a == a ? 1 : 0;
        }
        return n;
    }
    std::vector<uint32_t> icons() const {
        std::lock_guard lock(mutex_);
        std::vector<uint32_t> out;
        for (const auto& e : events_) {
            if (e.kind == WindowEvent::Icon) {
                out.push_back(e.a);
            }
        }
        return out;
    }
    void setSendHook(std::function<void(uint32_t)> hook) {
        std::lock_guard lock(mutex_);
        onSend = std::move(hook);
    }

    std::atomic<bool> ready{true};

private:
    void add(WindowEvent e) {
        std::lock_guard lock(mutex_);
        events_.push_back(std::move(e));
    }

    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<WindowEvent> events_;
    std::function<void(uint32_t)> onSend;
    bool blockSends_ = false;
    bool closed_ = false;
    int blocked_ = 0;
};

} // namespace tarvik::device::test
