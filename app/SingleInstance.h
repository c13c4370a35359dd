// One program per user. The first instance holds an advisory lock on a file in the user's runtime folder
// and listens on a Unix socket beside it; a second instance finds the lock held, hands its request
// (MSG_OPEN, MSG_KILL, or MSG_APPLY) to the first over the socket, waits for the answer and ends. A lock
// left by a process that no longer runs is free again (the kernel drops it with the process), so it is
// simply taken over.
//
// Both files live in $XDG_RUNTIME_DIR when it is a folder of this user with mode 0700; otherwise in a
// folder /tmp/Tarvik-<uid> that this function creates with mode 0700 and checks.
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

namespace tarvik::app {

struct InstancePaths {
    std::filesystem::path lock;   // Tarvik_Mutex_09A.lock
    std::filesystem::path socket; // Tarvik_Mutex_09A.sock
};

// In $XDG_RUNTIME_DIR when it is private, else in paths::privateFallbackFolder("Tarvik"). Nothing (with
// the reasons in *why) when no private folder can be had.
std::optional<InstancePaths> instancePaths(std::string* why = nullptr);
// The same inside a folder the caller names (tests).
InstancePaths instancePathsIn(const std::filesystem::path& folder);

class InstanceLock {
public:
    enum class State { Acquired, HeldElsewhere, Failed };

    explicit InstanceLock(std::filesystem::path file) : file_(std::move(file)) {}
    ~InstanceLock() { release(); }
    InstanceLock(const InstanceLock&) = delete;
    InstanceLock& operator=(const InstanceLock&) = delete;

    // Never waits. The descriptor is not inherited by programs this process starts, so a started
    // daemon or browser never keeps the lock after the program has ended.
    State tryAcquire();
    bool held() const { return fd_ >= 0; }
    int fd() const { return fd_; }
    void release();

private:
    std::filesystem::path file_;
    int fd_ = -1;
};

enum class Delivery {
    Answered,   // the first instance handled the message
    NoInstance, // nobody listens on the socket
    NoAnswer,   // connected, but no answer came in time
};

// The second instance's side: connects (retrying while the first instance is still starting, up to
// connectLimit), sends the message and waits for the first instance to have handled it (up to
// answerLimit).
Delivery deliverToFirstInstance(const std::filesystem::path& socket, uint32_t message, uint32_t wParam,
                                std::chrono::milliseconds connectLimit = std::chrono::seconds(10),
                                std::chrono::milliseconds answerLimit = std::chrono::seconds(60));

// The first instance's side: a thread that accepts one request at a time from processes of the same user
// and hands it to the handler, which returns once the message has been handled; only then is the
// request answered.
class InstanceServer {
public:
    using Handler = std::function<void(uint32_t message, uint32_t wParam)>;
    // The messages other processes may send.
    static bool accepts(uint32_t message);

    InstanceServer(std::filesystem::path socket, Handler handler);
    ~InstanceServer();
    InstanceServer(const InstanceServer&) = delete;
    InstanceServer& operator=(const InstanceServer&) = delete;

    // Binds the socket (replacing a file left there) and starts listening. False on failure.
    bool start();
    // Stops accepting and removes the socket file; returns at once, also from inside the handler.
    void close();
    // close(), then waits for the thread; bounded, since the thread only ever waits on the socket, on a
    // client for at most a second, or in the handler (which returns once the window has closed).
    void join();
    bool listening() const;

private:
    void run();
    void serve(int client);

    std::filesystem::path socket_;
    Handler handler_;
    int listenFd_ = -1;
    int wakeFds_[2] = {-1, -1};
    std::thread thread_;
    mutable std::mutex mutex_;
    bool closed_ = false;
};

} // namespace tarvik::app
