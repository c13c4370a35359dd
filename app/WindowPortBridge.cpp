#include "app/WindowPortBridge.h"

namespace tarvik::app {

WindowPortBridge::WindowPortBridge(Target& target, Queue toUi, std::function<bool()> onUiThread)
    : shared_(std::make_shared<Shared>()), toUi_(std::move(toUi)), onUiThread_(std::move(onUiThread)) {
    shared_->target = &target;
}

WindowPortBridge::~WindowPortBridge() {
    close();
}

void WindowPortBridge::close() {
    std::lock_guard lock(shared_->mutex);
    shared_->closed = true;
    shared_->changed.notify_all();
}

bool WindowPortBridge::closed() const {
    std::lock_guard lock(shared_->mutex);
    return shared_->closed;
}

void WindowPortBridge::queue(std::function<void(Target&)> fn) {
    if (closed()) {
        return;
    }
    std::shared_ptr<Shared> shared = shared_;
    toUi_([shared, fn = std::move(fn)] {
        Target* target = nullptr;
        {
            std::lock_guard lock(shared->mutex);
            if (shared->closed) {
                return;
            }
            target = shared->target;
        }
        fn(*target);
    });
}

intptr_t WindowPortBridge::sendMessage(uint32_t message, uint32_t wParam) {
    if (onUiThread_()) {
        Target* target = nullptr;
        {
            std::lock_guard lock(shared_->mutex);
            if (shared_->closed) {
                return 0;
            }
            target = shared_->target;
        }
        return target->onMessage(message, wParam, false);
    }
    struct Call {
        bool done = false;
        intptr_t result = 0;
    };
    auto call = std::make_shared<Call>();
    std::shared_ptr<Shared> shared = shared_;
    {
        std::lock_guard lock(shared->mutex);
        if (shared->closed) {
            return 0;
        }
    }
    toUi_([shared, call, message, wParam] {
        Target* target = nullptr;
        {
            std::lock_guard lock(shared->mutex);
            if (!shared->closed) {
                target = shared->target;
            }
        }
        const intptr_t result = target != nullptr ? target->onMessage(message, wParam, false) : 0;
        std::lock_guard lock(shared->mutex);
        call->done = true;
        call->result = result;
        shared->changed.notify_all();
    });
    std::unique_lock lock(shared->mutex);
    shared->changed.wait(lock, [&] { return call->done || shared->closed; });
    return call->done ? call->result : 0;
}

void WindowPortBridge::postMessage(uint32_t message, uint32_t wParam) {
    queue([message, wParam](Target& t) { t.onMessage(message, wParam, true); });
}

void WindowPortBridge::hide() {
    queue([](Target& t) { t.onHide(); });
}

bool WindowPortBridge::isReady() const {
    std::lock_guard lock(shared_->mutex);
    return !shared_->closed && shared_->target->ready();
}

void WindowPortBridge::setIcon(int iconId) {
    queue([iconId](Target& t) { t.onSetIcon(iconId); });
}

void WindowPortBridge::startTimer(int timerId, int periodMs) {
    queue([timerId, periodMs](Target& t) { t.onStartTimer(timerId, periodMs); });
}

void WindowPortBridge::showMessage(std::string_view languageKey) {
    queue([key = std::string(languageKey)](Target& t) { t.onShowMessage(key); });
}

} // namespace tarvik::app
