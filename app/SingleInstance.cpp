#include "app/SingleInstance.h"

#include "app/MainIds.h"
#include "device/MainWindowPort.h"
#include "platform/Bytes.h"
#include "platform/Paths.h"
#include "platform/PrivateFolder.h"

#include <array>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <system_error>
#include <unistd.h>

namespace tarvik::app {

namespace {

constexpr const char* kBaseName = "Tarvik_Mutex_09A";
// A request: "TVK1", message, wParam (little-endian); the answer: "TVK1", result.
constexpr std::array<uint8_t, 4> kMagic = {'T', 'V', 'K', '1'};
constexpr size_t kRequestSize = 12;
constexpr size_t kAnswerSize = 8;
constexpr int kClientReadLimitMs = 1000;

// The socket's whole path must fit into a socket address.
bool shortEnough(const std::filesystem::path& folder) {
    return (folder / (std::string(kBaseName) + ".sock")).string().size() < sizeof(sockaddr_un::sun_path);
}

int pollOne(int fd, short events, int timeoutMs) {
    pollfd p{fd, events, 0};
    for (;;) {
        const int r = ::poll(&p, 1, timeoutMs);
        if (r < 0 && errno == EINTR) {
            continue; // a signal is not the end of the wait; the limits are generous
        }
        return r;
    }
}

// Reads exactly n bytes before the deadline; false on end of stream, error or time out.
bool readAll(int fd, uint8_t* out, size_t n, std::chrono::steady_clock::time_point deadline) {
    size_t got = 0;
    while (got < n) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0 || pollOne(fd, POLLIN, static_cast<int>(left.count())) <= 0) {
            return false;
        }
        const ssize_t r = ::recv(fd, out + got, n - got, 0);
        if (r < 0 && errno == EINTR) {
            continue;
        }
        if (r <= 0) {
            return false;
        }
        got += static_cast<size_t>(r);
    }
    return true;
}

bool writeAll(int fd, const uint8_t* data, size_t n) {
    size_t sent = 0;
    while (sent < n) {
        const ssize_t r = ::send(fd, data + sent, n - sent, MSG_NOSIGNAL);
        if (r < 0 && errno == EINTR) {
            continue;
        }
        if (r <= 0) {
            return false;
        }
        sent += static_cast<size_t>(r);
    }
    return true;
}

bool socketAddress(const std::filesystem::path& path, sockaddr_un& addr) {
    std::memset(&addr, 0, sizeof addr);
    addr.sun_family = AF_UNIX;
    const std::string s = path.string();
    if (s.size() >= sizeof addr.sun_path) {
        return false;
    }
    std::memcpy(addr.sun_path, s.c_str(), s.size() + 1);
    return true;
}

} // namespace

InstancePaths instancePathsIn(const std::filesystem::path& folder) {
    return InstancePaths{folder / (std::string(kBaseName) + ".lock"),
                         folder / (std::string(kBaseName) + ".sock")};
}

std::optional<InstancePaths> instancePaths(std::string* why) {
    if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime != nullptr && runtime[0] != '\0') {
        if (paths::isPrivateFolder(runtime) && shortEnough(runtime)) {
            return instancePathsIn(runtime);
        }
    }
    // Someone else's folder, or one others may enter, is never used: /tmp/Tarvik-UID if it is ours, else
    // one in the user's cache folder.
    const std::filesystem::path folder = paths::privateFallbackFolder("Tarvik", why);
    if (folder.empty() || !shortEnough(folder)) {
        return std::nullopt;
    }
    return instancePathsIn(folder);
}

InstanceLock::State InstanceLock::tryAcquire() {
    if (fd_ >= 0) {
        return State::Acquired;
    }
    const int fd = ::open(file_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) {
        return State::Failed;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const bool held = errno == EWOULDBLOCK;
        ::close(fd);
        return held ? State::HeldElsewhere : State::Failed;
    }
    fd_ = fd;
    return State::Acquired;
}

void InstanceLock::release() {
    if (fd_ >= 0) {
        ::close(fd_); // also drops the lock
        fd_ = -1;
    }
}

Delivery deliverToFirstInstance(const std::filesystem::path& socket, uint32_t message, uint32_t wParam,
                                std::chrono::milliseconds connectLimit,
                                std::chrono::milliseconds answerLimit) {
    sockaddr_un addr{};
    if (!socketAddress(socket, addr)) {
        return Delivery::NoInstance;
    }
    const auto connectDeadline = std::chrono::steady_clock::now() + connectLimit;
    int fd = -1;
    for (auto pause = std::chrono::milliseconds(5);;
         pause = std::min(pause * 2, std::chrono::milliseconds(100))) {
        fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (fd < 0) {
            return Delivery::NoInstance;
        }
        if (::connect(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) == 0) {
            break;
        }
        ::close(fd);
        fd = -1;
        // The first instance listens once its main window is ready; until then, try again.
        if (std::chrono::steady_clock::now() + pause >= connectDeadline) {
            return Delivery::NoInstance;
        }
        std::this_thread::sleep_for(pause);
    }
    std::array<uint8_t, kRequestSize> request{};
    std::copy(kMagic.begin(), kMagic.end(), request.begin());
    writeLe32(&request[4], message);
    writeLe32(&request[8], wParam);
    std::array<uint8_t, kAnswerSize> answer{};
    const bool answered =
        writeAll(fd, request.data(), request.size()) &&
        readAll(fd, answer.data(), answer.size(), std::chrono::steady_clock::now() + answerLimit) &&
        std::equal(kMagic.begin(), kMagic.end(), answer.begin());
    ::close(fd);
    return answered ? Delivery::Answered : Delivery::NoAnswer;
}

bool InstanceServer::accepts(uint32_t message) {
    return message == device::MSG_OPEN || message == device::MSG_KILL || message == MSG_APPLY;
}

InstanceServer::InstanceServer(std::filesystem::path socket, Handler handler)
    : socket_(std::move(socket)), handler_(std::move(handler)) {}

InstanceServer::~InstanceServer() {
    join();
}

bool InstanceServer::start() {
    sockaddr_un addr{};
    if (thread_.joinable() || !socketAddress(socket_, addr)) {
        return false;
    }
    // Whoever left a socket here is gone: this process holds the lock.
    ::unlink(socket_.c_str());
    listenFd_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (listenFd_ < 0) {
        return false;
    }
    // The folder is private (0700), so the socket's own mode is a second fence only: set after bind, as
    // the umask is the whole process's and other threads run.
    const bool bound = ::bind(listenFd_, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) == 0 &&
                       ::chmod(socket_.c_str(), 0600) == 0;
    if (!bound || ::listen(listenFd_, 8) != 0 || ::pipe2(wakeFds_, O_CLOEXEC | O_NONBLOCK) != 0) {
        ::close(listenFd_);
        listenFd_ = -1;
        return false;
    }
    closed_ = false;
    thread_ = std::thread([this] { run(); });
    return true;
}

bool InstanceServer::listening() const {
    std::lock_guard lock(mutex_);
    return thread_.joinable() && !closed_;
}

void InstanceServer::close() {
    std::lock_guard lock(mutex_);
    if (closed_ || listenFd_ < 0) {
        return;
    }
    closed_ = true;
    ::unlink(socket_.c_str());
    const uint8_t wake = 1;
    (void)!::write(wakeFds_[1], &wake, 1);
}

void InstanceServer::join() {
    close();
    if (thread_.joinable()) {
        thread_.join();
    }
    for (int* fd : {&listenFd_, &wakeFds_[0], &wakeFds_[1]}) {
        if (*fd >= 0) {
            ::close(*fd);
            *fd = -1;
        }
    }
}

void InstanceServer::run() {
    for (;;) {
        pollfd fds[2] = {{listenFd_, POLLIN, 0}, {wakeFds_[0], POLLIN, 0}};
        const int r = ::poll(fds, 2, -1);
        if (r < 0 && errno == EINTR) {
            continue;
        }
        {
            std::lock_guard lock(mutex_);
            if (closed_ || r < 0) {
                return;
            }
        }
        if ((fds[0].revents & POLLIN) == 0) {
            continue;
        }
        const int client = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (client >= 0) {
            serve(client);
            ::close(client);
        }
    }
}

void InstanceServer::serve(int client) {
    // Only this user's processes may drive the program.
    ucred peer{};
    socklen_t len = sizeof peer;
    if (::getsockopt(client, SOL_SOCKET, SO_PEERCRED, &peer, &len) != 0 || peer.uid != ::getuid()) {
        return;
    }
    std::array<uint8_t, kRequestSize> request{};
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kClientReadLimitMs);
    if (!readAll(client, request.data(), request.size(), deadline) ||
        !std::equal(kMagic.begin(), kMagic.end(), request.begin())) {
        return;
    }
    const uint32_t message = readLe32(&request[4]);
    const uint32_t wParam = readLe32(&request[8]);
    if (!accepts(message)) {
        return;
    }
    handler_(message, wParam);
    std::array<uint8_t, kAnswerSize> answer{};
    std::copy(kMagic.begin(), kMagic.end(), answer.begin());
    writeAll(client, answer.data(), answer.size());
}

} // namespace tarvik::app
