// The main window as the device link reaches it from any thread (MainWindowPort): on the user-interface
// thread a call is made directly; from another thread, sendMessage is queued to the user-interface thread
// and waits until it has been handled, everything else is queued and returns at once. After close() every
// call returns at once and a sender still waiting is let go, so closing never waits for the
// user-interface thread from the user-interface thread. No Qt here: the window supplies the queue.
#pragma once

#include "device/MainWindowPort.h"

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

namespace tarvik::app {

class WindowPortBridge final : public device::MainWindowPort {
public:
    // The window's side, called on the user-interface thread only.
    class Target {
    public:
        virtual ~Target() = default;
        virtual intptr_t onMessage(uint32_t message, uint32_t wParam, bool posted) = 0;
        virtual void onHide() = 0;
        virtual void onSetIcon(int iconId) = 0;
        virtual void onStartTimer(int timerId, int periodMs) = 0;
        virtual void onShowMessage(const std::string& languageKey) = 0;
        // Any thread.
        virtual bool ready() const = 0;
    };
    using Queue = std::function<void(std::function<void()>)>;

    // toUi queues a task for the user-interface thread (it runs while the event loop runs, and never
    // after the window is gone); onUiThread tells whether the caller is that thread.
    WindowPortBridge(Target& target, Queue toUi, std::function<bool()> onUiThread);
    ~WindowPortBridge() override;

    intptr_t sendMessage(uint32_t message, uint32_t wParam) override;
    void postMessage(uint32_t message, uint32_t wParam) override;
    void hide() override;
    bool isReady() const override;
    void setIcon(int iconId) override;
    void startTimer(int timerId, int periodMs) override;
    void showMessage(std::string_view languageKey) override;
    // LinkSession::close() calls it on the user-interface thread: a sender waiting there is let go.
    void closePort() override { close(); }

    void close();
    bool closed() const;

private:
    struct Shared {
        std::mutex mutex;
        std::condition_variable changed;
        bool closed = false;
        Target* target = nullptr;
    };
    // Runs fn on the user-interface thread unless closed by then.
    void queue(std::function<void(Target&)> fn);

    std::shared_ptr<Shared> shared_;
    Queue toUi_;
    std::function<bool()> onUiThread_;
};

} // namespace tarvik::app
