// One program per user: the lock, its take-over after a crash, and the hand-over of a second start's
// request over the socket, synchronous as the first instance handles it.
#include "app/SingleInstance.h"
#include "app/MainIds.h"
#include "device/MainWindowPort.h"
#include "tests/profiles/TestHome.h"
#include "tests/support/ScopedEnv.h"

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <csignal>
#include <fcntl.h>
#include <future>
#include <mutex>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

namespace tarvik::app {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

class SingleInstance : public ::testing::Test {
protected:
    void SetUp() override {
        testing::useOwnHome();
        // A socket's path must be short; the build tree's test homes are too deep for one.
        char name[] = "/tmp/tarvik-instance-XXXXXX";
        ASSERT_NE(::mkdtemp(name), nullptr);
        folder = name;
        paths = instancePathsIn(folder);
    }
    void TearDown() override {
        if (child > 0) {
            ::kill(child, SIGKILL);
            ::waitpid(child, nullptr, 0);
        }
        std::error_code ec;
        fs::remove_all(folder, ec);
    }
    // A process that takes the lock, says so through a pipe and then waits to be killed.
    void startHolder() {
        int ready[2];
        ASSERT_EQ(::pipe(ready), 0);
        child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            InstanceLock lock(paths.lock);
            const char ok = lock.tryAcquire() == InstanceLock::State::Acquired ? 'y' : 'n';
            (void)!::write(ready[1], &ok, 1);
            for (;;) {
                ::pause();
            }
        }
        ::close(ready[1]);
        char ok = 0;
        ASSERT_EQ(::read(ready[0], &ok, 1), 1);
        ::close(ready[0]);
        ASSERT_EQ(ok, 'y');
    }
    fs::path folder;
    InstancePaths paths;
    pid_t child = -1;
};

TEST_F(SingleInstance, PathsLieInThePrivateRuntimeFolder) {
    testsupport::ScopedEnv runtime("XDG_RUNTIME_DIR", folder.string());
    auto p = instancePaths();
    ASSERT_TRUE(p);
    EXPECT_EQ(p->lock, folder / "Tarvik_Mutex_09A.lock");
    EXPECT_EQ(p->socket, folder / "Tarvik_Mutex_09A.sock");
    // A runtime folder others may enter is not used.
    ::chmod(folder.c_str(), 0755);
    p = instancePaths();
    ::chmod(folder.c_str(), 0700);
    ASSERT_TRUE(p);
    EXPECT_NE(p->lock.parent_path(), folder);
    struct stat st {};
    ASSERT_EQ(::stat(p->lock.parent_path().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    EXPECT_EQ(st.st_uid, ::getuid());
}

TEST_F(SingleInstance, TheLockIsHeldByOneAndTakenOverWhenItsHolderIsGone) {
    startHolder();
    InstanceLock second(paths.lock);
    EXPECT_EQ(second.tryAcquire(), InstanceLock::State::HeldElsewhere);
    // The holder crashes: its lock file stays, its lock does not.
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    child = -1;
    ASSERT_TRUE(fs::exists(paths.lock));
    EXPECT_EQ(second.tryAcquire(), InstanceLock::State::Acquired);
    InstanceLock third(paths.lock);
    EXPECT_EQ(third.tryAcquire(), InstanceLock::State::HeldElsewhere);
    second.release();
    EXPECT_EQ(third.tryAcquire(), InstanceLock::State::Acquired);
}

TEST_F(SingleInstance, TheLockIsNotInheritedByStartedPrograms) {
    InstanceLock lock(paths.lock);
    ASSERT_EQ(lock.tryAcquire(), InstanceLock::State::Acquired);
    EXPECT_TRUE(::fcntl(lock.fd(), F_GETFD) & FD_CLOEXEC);
}

TEST_F(SingleInstance, NoFirstInstanceMeansNoDelivery) {
    EXPECT_EQ(deliverToFirstInstance(paths.socket, device::MSG_OPEN, device::kCodeOpen, 50ms, 50ms),
              Delivery::NoInstance);
}

TEST_F(SingleInstance, TheSecondStartWaitsUntilTheFirstHasHandledItsMessage) {
    std::mutex m;
    std::condition_variable cv;
    bool release = false;
    std::vector<std::pair<uint32_t, uint32_t>> handled;
    InstanceServer server(paths.socket, [&](uint32_t message, uint32_t wParam) {
        std::unique_lock lock(m);
        handled.emplace_back(message, wParam);
        cv.notify_all();
        cv.wait_for(lock, 10s, [&] { return release; });
    });
    ASSERT_TRUE(server.start());
    auto second = std::async(std::launch::async, [&] {
        return deliverToFirstInstance(paths.socket, device::MSG_OPEN, device::kCodeOpen, 1s, 20s);
    });
    {
        std::unique_lock lock(m);
        ASSERT_TRUE(cv.wait_for(lock, 10s, [&] { return !handled.empty(); }));
    }
    // Still inside the handler: the second start has no answer yet.
    EXPECT_EQ(second.wait_for(0ms), std::future_status::timeout);
    {
        std::lock_guard lock(m);
        release = true;
        cv.notify_all();
    }
    EXPECT_EQ(second.get(), Delivery::Answered);
    EXPECT_EQ(handled, (std::vector<std::pair<uint32_t, uint32_t>>{{device::MSG_OPEN, device::kCodeOpen}}));
    server.join();
    EXPECT_FALSE(fs::exists(paths.socket));
}

TEST_F(SingleInstance, OnlyTheProgramsRequestsAreHandled) {
    std::atomic<int> calls{0};
    InstanceServer server(paths.socket, [&](uint32_t, uint32_t) { ++calls; });
    ASSERT_TRUE(server.start());
    for (uint32_t message : {device::MSG_KILL, MSG_APPLY}) {
        EXPECT_EQ(deliverToFirstInstance(paths.socket, message, 0, 1s, 5s), Delivery::Answered);
    }
    // Another message number is not answered; neither are bytes that are not a request.
    EXPECT_EQ(deliverToFirstInstance(paths.socket, device::MSG_PROFILE_SYNC, device::kCodeProf, 1s, 5s),
              Delivery::NoAnswer);
    {
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un addr{};
        addr.sun_family = AF_UNIX;
        std::snprintf(addr.sun_path, sizeof addr.sun_path, "%s", paths.socket.c_str());
        ASSERT_EQ(::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
        const char junk[] = "GET / HTTP/1.0\r\n";
        (void)!::write(fd, junk, sizeof junk);
        char answer[8];
        EXPECT_LE(::read(fd, answer, sizeof answer), 0); // closed without an answer
        ::close(fd);
    }
    // A client that says nothing does not hold the server up for long.
    const int silent = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::snprintf(addr.sun_path, sizeof addr.sun_path, "%s", paths.socket.c_str());
    ASSERT_EQ(::connect(silent, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    EXPECT_EQ(deliverToFirstInstance(paths.socket, device::MSG_OPEN, device::kCodeOpen, 1s, 10s),
              Delivery::Answered);
    ::close(silent);
    EXPECT_EQ(calls.load(), 3);
    struct stat st {};
    ASSERT_EQ(::stat(paths.socket.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 077, 0u);
}

TEST_F(SingleInstance, ASecondStartDuringTheFirstsStartWaitsForItsSocket) {
    auto second = std::async(std::launch::async, [&] {
        return deliverToFirstInstance(paths.socket, device::MSG_OPEN, device::kCodeOpen, 10s, 10s);
    });
    std::atomic<bool> handled{false};
    InstanceServer server(paths.socket, [&](uint32_t, uint32_t) { handled = true; });
    ASSERT_TRUE(server.start());
    EXPECT_EQ(second.get(), Delivery::Answered);
    EXPECT_TRUE(handled.load());
}

TEST_F(SingleInstance, ClosingFromInsideTheHandlerNeitherBlocksNorLosesTheAnswer) {
    std::unique_ptr<InstanceServer> server;
    server = std::make_unique<InstanceServer>(paths.socket, [&](uint32_t message, uint32_t) {
        if (message == device::MSG_KILL) {
            server->close(); // the exit sequence closes the instance from the handler
        }
    });
    ASSERT_TRUE(server->start());
    EXPECT_EQ(deliverToFirstInstance(paths.socket, device::MSG_KILL, device::kCodeKill, 1s, 10s),
              Delivery::Answered);
    server->join();
    EXPECT_FALSE(server->listening());
    EXPECT_EQ(deliverToFirstInstance(paths.socket, device::MSG_OPEN, device::kCodeOpen, 50ms, 50ms),
              Delivery::NoInstance);
}

TEST_F(SingleInstance, AStaleSocketFileIsReplaced) {
    {
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un addr{};
        addr.sun_family = AF_UNIX;
        std::snprintf(addr.sun_path, sizeof addr.sun_path, "%s", paths.socket.c_str());
        ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
        ::close(fd); // a crashed instance's socket: the file stays, nobody listens
    }
    EXPECT_EQ(deliverToFirstInstance(paths.socket, device::MSG_OPEN, device::kCodeOpen, 50ms, 50ms),
              Delivery::NoInstance);
    InstanceServer server(paths.socket, [](uint32_t, uint32_t) {});
    ASSERT_TRUE(server.start());
    EXPECT_EQ(deliverToFirstInstance(paths.socket, device::MSG_OPEN, device::kCodeOpen, 1s, 5s),
              Delivery::Answered);
}

} // namespace
} // namespace tarvik::app
