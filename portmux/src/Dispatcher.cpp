#include "portmux/src/Dispatcher.h"

#include <sys/prctl.h>

namespace portmux {

Dispatcher::Dispatcher(Deliver deliver) : deliver_(std::move(deliver)) {}

Dispatcher::Dispatcher(Deliver deliver, std::function<void()> wake)
    : deliver_(std::move(deliver)), wakeOwner_(std::move(wake)) {}

Dispatcher::~Dispatcher() {
    stop();
}

void Dispatcher::start() {
    std::lock_guard lock(m_);
    if (running_) {
        return;
    }
    running_ = true;
    stopping_ = false;
    if (!wakeOwner_) {
        thread_ = std::thread([this] { run(); });
        threadId_ = thread_.get_id();
    }
}

void Dispatcher::stop() {
    std::thread t;
    {
        std::lock_guard lock(m_);
        if (!running_) {
            return;
        }
        stopping_ = true;
        t = std::move(thread_);
    }
    wake_.notify_all();
    if (t.joinable()) {
        t.join();
    }
    std::lock_guard lock(m_);
    queue_.clear();
    running_ = false;
    stopping_ = false;
    delivering_ = false;
    threadId_ = {};
    idle_.notify_all();
}

void Dispatcher::post(Event event, Clock::duration delay, uint64_t group) {
    {
        std::lock_guard lock(m_);
        if (!running_ || stopping_) {
            return;
        }
        const auto due = Clock::now() + delay;
        queue_.emplace(std::make_pair(due, seq_++), Item{group, std::move(event)});
        posted_.fetch_add(1, std::memory_order_release);
    }
    if (wakeOwner_) {
        wakeOwner_();
    } else {
        wake_.notify_one();
    }
}

void Dispatcher::cancelGroup(uint64_t group, bool notYetDue) {
    if (group == 0) {
        return;
    }
    std::lock_guard lock(m_);
    const auto now = Clock::now();
    for (auto it = queue_.begin(); it != queue_.end();) {
        const bool drop = it->second.group == group && (!notYetDue || it->first.first > now);
        it = drop ? queue_.erase(it) : std::next(it);
    }
    idle_.notify_all();
}

bool Dispatcher::waitIdle(std::chrono::milliseconds timeout) {
    if (onDispatchThread()) {
        return false;
    }
    std::unique_lock lock(m_);
    return idle_.wait_for(lock, timeout, [this] {
        if (!running_) {
            return true;
        }
        return !delivering_ && (queue_.empty() || queue_.begin()->first.first > Clock::now());
    });
}

std::optional<Dispatcher::Clock::time_point> Dispatcher::deliverDue() {
    std::unique_lock lock(m_);
    if (!running_ || !wakeOwner_) {
        return std::nullopt;
    }
    threadId_ = std::this_thread::get_id();
    while (!stopping_ && !queue_.empty() && queue_.begin()->first.first <= Clock::now()) {
        Item item = std::move(queue_.begin()->second);
        queue_.erase(queue_.begin());
        delivering_ = true;
        lock.unlock();
        deliver_(item.event);
        lock.lock();
        delivering_ = false;
    }
    threadId_ = {};
    idle_.notify_all();
    if (queue_.empty()) {
        return std::nullopt;
    }
    return queue_.begin()->first.first;
}

bool Dispatcher::onDispatchThread() const {
    std::lock_guard lock(m_);
    return running_ && std::this_thread::get_id() == threadId_;
}

void Dispatcher::run() {
    // After an event the thread looks for the next one for a short while before it sleeps: a request and
    // its reply usually follow each other within microseconds, and waking a sleeping thread costs more
    // than that on a virtual machine whose processors go idle.
    constexpr auto kSpin = std::chrono::microseconds(200);
    // A reply due in 1 ms should arrive after 1 ms, not after 1 ms plus the kernel's default 50 us of
    // timer slack: the latency the tests and benchmarks set is meant as the keyboard's own.
    ::prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
    std::unique_lock lock(m_);
    while (!stopping_) {
        if (queue_.empty()) {
            idle_.notify_all();
            const uint64_t seen = posted_.load(std::memory_order_acquire);
            lock.unlock();
            const auto until = Clock::now() + kSpin;
            while (posted_.load(std::memory_order_acquire) == seen && Clock::now() < until) {
                std::this_thread::yield();
            }
            lock.lock();
            if (queue_.empty() && !stopping_) {
                wake_.wait(lock);
            }
            continue;
        }
        const auto due = queue_.begin()->first.first;
        if (due > Clock::now()) {
            idle_.notify_all();
            wake_.wait_until(lock, due);
            continue;
        }
        Item item = std::move(queue_.begin()->second);
        queue_.erase(queue_.begin());
        delivering_ = true;
        lock.unlock();
        deliver_(item.event);
        lock.lock();
        delivering_ = false;
    }
}

} // namespace portmux
