#include "device/SerialWorker.h"

namespace tarvik::device {

SerialWorker::SerialWorker() : shared_(std::make_shared<Shared>()) {
    thread_ = std::thread([shared = shared_] { run(shared); });
}

SerialWorker::~SerialWorker() {
    stop();
}

void SerialWorker::post(std::function<void()> task) {
    std::lock_guard lock(shared_->mutex);
    if (shared_->stop) {
        return;
    }
    shared_->queue.push_back(std::move(task));
    shared_->changed.notify_all();
}

bool SerialWorker::waitIdle(std::chrono::milliseconds limit) {
    std::unique_lock lock(shared_->mutex);
    return shared_->changed.wait_for(lock, limit,
                                     [this] { return shared_->queue.empty() && !shared_->busy; });
}

void SerialWorker::stop() {
    (void)stop(std::chrono::milliseconds::max());
}

bool SerialWorker::stop(std::chrono::milliseconds limit) {
    std::unique_lock lock(shared_->mutex);
    shared_->stop = true;
    shared_->queue.clear();
    shared_->changed.notify_all();
    if (!thread_.joinable()) {
        return shared_->finished || !shared_->busy;
    }
    if (thread_.get_id() == std::this_thread::get_id()) {
        // Stopped from its own task: the loop ends when the task returns.
        thread_.detach();
        return true;
    }
    const bool finished = limit == std::chrono::milliseconds::max()
                              ? (shared_->changed.wait(lock, [this] { return shared_->finished; }), true)
                              : shared_->changed.wait_for(lock, limit, [this] { return shared_->finished; });
    lock.unlock();
    if (finished) {
        thread_.join();
    } else {
        thread_.detach();
    }
    return finished;
}

bool SerialWorker::stopping() const {
    std::lock_guard lock(shared_->mutex);
    return shared_->stop;
}

void SerialWorker::run(const std::shared_ptr<Shared>& shared) {
    std::unique_lock lock(shared->mutex);
    for (;;) {
        shared->changed.wait(lock, [&] { return shared->stop || !shared->queue.empty(); });
        if (shared->stop) {
            break;
        }
        auto task = std::move(shared->queue.front());
        shared->queue.pop_front();
        shared->busy = true;
        lock.unlock();
        task();
        task = nullptr; // whatever the task holds goes before the worker says it is done
        lock.lock();
        shared->busy = false;
        shared->changed.notify_all();
    }
    shared->finished = true;
    shared->changed.notify_all();
}

} // namespace tarvik::device
