// The worker thread: stopped from its own task, and stopped while a task will not come back in time.
#include "device/SerialWorker.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <memory>

namespace tarvik::device {
namespace {

constexpr auto kBound = std::chrono::seconds(10);

TEST(SerialWorker, ATaskMayStopAndDestroyItsOwnWorker) {
    auto worker = std::make_unique<SerialWorker>();
    std::promise<void> done;
    // After the task returns, the thread must not touch the destroyed worker (the sanitizer builds see
    // any such touch).
    worker->post([&] {
        worker.reset();
        done.set_value();
    });
    ASSERT_EQ(done.get_future().wait_for(kBound), std::future_status::ready);
    EXPECT_EQ(worker, nullptr);
}

TEST(SerialWorker, ABoundedStopLetsGoOfATaskThatDoesNotComeBack) {
    auto worker = std::make_unique<SerialWorker>();
    std::promise<void> started;
    std::promise<void> release;
    std::promise<void> finished;
    std::shared_future<void> go = release.get_future().share();
    worker->post([&, go] {
        started.set_value();
        go.wait();
        finished.set_value();
    });
    worker->post([] { ADD_FAILURE() << "a queued task runs after stop"; });
    started.get_future().wait();
    EXPECT_FALSE(worker->stop(std::chrono::milliseconds(1)));
    worker.reset(); // the running task still runs, on a thread that no longer belongs to anyone
    release.set_value();
    EXPECT_EQ(finished.get_future().wait_for(kBound), std::future_status::ready);

    SerialWorker idle;
    EXPECT_TRUE(idle.stop(kBound));
    bool ran = false;
    idle.post([&] { ran = true; });
    EXPECT_TRUE(idle.waitIdle(kBound));
    EXPECT_FALSE(ran) << "nothing is taken after stop";
}

} // namespace
} // namespace tarvik::device
