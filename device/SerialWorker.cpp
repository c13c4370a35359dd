#include "device/SerialWorker.h"

namespace tarvik::device {

SerialWorker::SerialWorker() : thread_([this] { run(); }) {}

SerialWorker::~SerialWorker() {
    stop();
}

void SerialWorker::post(std::function<void()> task) {
    std::lock_guard lock(mutex_);
    if (stop_) {
        return;
    }
    queue_.push_back(std::move(task));
    changed_.notify_all();
}

bool SerialWorker::waitIdle(std::chrono::milliseconds limit) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, limit, [this] { return queue_.empty() && !busy_; });
}

void SerialWorker::stop() {
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
        queue_.clear();
        changed_.notify_all();
    }
    if (!thread_.joinable()) {
        return;
    }
    if (thread_.get_id() == std::this_thread::get_id()) {
        thread_.detach(); // stopped from its own task: the loop ends when the task returns
    } else {
        thread_.join();
    }
}

bool SerialWorker::stopping() const {
    std::lock_guard lock(mutex_);
    return stop_;
}

void SerialWorker::run() {
    std::unique_lock lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] { return stop_ || !queue_.empty(); });
        if (stop_) {
            return;
        }
        auto task = std::move(queue_.front());
        queue_.pop_front();
        busy_ = true;
        lock.unlock();
        task();
        lock.lock();
        busy_ = false;
        changed_.notify_all();
    }
}

} // namespace tarvik::device
