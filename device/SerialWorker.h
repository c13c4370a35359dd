// One worker thread that runs the tasks handed to it one after another, in the order they came.
#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
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
    // Lets no new task in and ends the thread after the running one, waiting for it.
    void stop();
    // The same, but waits for the running task at most limit. True when the thread has ended (or, when
    // called from the worker's own task, will end as soon as that task returns). False when the task is
    // still running after limit: the thread is then let go and finishes on its own, touching nothing of
    // this object but the state it shares with it, so destroying the worker is safe; what the task itself
    // uses must outlive it.
    bool stop(std::chrono::milliseconds limit);
    bool stopping() const;

private:
    // What the thread and the object share; the thread keeps it alive after it has been let go.
    struct Shared {
        std::mutex mutex;
        std::condition_variable changed;
        std::deque<std::function<void()>> queue;
        bool busy = false;
        bool stop = false;
        bool finished = false;
    };
    static void run(const std::shared_ptr<Shared>& shared);

    std::shared_ptr<Shared> shared_;
    std::thread thread_;
};

} // namespace tarvik::device
