// One worker thread that runs the tasks handed to it one after another, in the order they came.
#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace tarvik::device {

class SerialWorker {
public:
    SerialWorker();
    // Finishes the running task, drops the queued ones and joins the thread.
    ~SerialWorker();
    SerialWorker(const SerialWorker&) = delete;
    SerialWorker& operator=(const SerialWorker&) = delete;

    // Queues a task; ignored once stop() has been called.
    void post(std::function<void()> task);
    // Waits until every task posted so far has run; false when limit passed first.
    bool waitIdle(std::chrono::milliseconds limit);
    // Lets no new task in and ends the thread after the running one.
    void stop();
    bool stopping() const;

private:
    void run();

    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::function<void()>> queue_;
    bool busy_ = false;
    bool stop_ = false;
    std::thread thread_;
};

} // namespace tarvik::device
