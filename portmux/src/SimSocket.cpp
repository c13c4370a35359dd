#include "portmux/src/SimSocket.h"

#include "platform/PrivateFolder.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace portmux::sim {

namespace {

using Clock = std::chrono::steady_clock;

int remainingMs(Clock::time_point until) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now()).count();
    return left > 0 ? static_cast<int>(std::min<long long>(left, 60000)) : 0;
}

} // namespace

std::string socketPathFromEnvironment() {
    if (const char* s = std::getenv("PORTMUX_SIM_SOCKET")) {
        return s;
    }
    const std::filesystem::path folder = tarvik::paths::privateRuntimeFolder("portmux");
    if (!folder.empty()) {
        return (folder / "sim.sock").string();
    }
    // Nowhere private: a place that prepareSocketFolder refuses, so a daemon does not start and a client
    // finds no daemon of ours there.
    return "/tmp/portmux-" + std::to_string(::getuid()) + "/sim.sock";
}

bool socketPathFits(const std::string& path) {
    return !path.empty() && path.size() < sizeof(sockaddr_un{}.sun_path);
}

bool prepareSocketFolder(const std::string& socketPath, std::string* why) {
    namespace fs = std::filesystem;
    const fs::path folder = fs::path(socketPath).parent_path();
    if (folder.empty()) {
        return true;
    }
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
        // A missing parent (XDG_RUNTIME_DIR itself exists; a custom path may not): create the chain.
        std::error_code ec;
        fs::create_directories(folder.parent_path(), ec);
        if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
            if (why) {
                *why = "cannot create " + folder.string() + ": " + std::strerror(errno);
            }
            return false;
        }
    }
    struct stat st {};
    if (::lstat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        if (why) {
            *why = folder.string() + " is not a folder";
        }
        return false;
    }
    if (st.st_uid != ::getuid()) {
        if (why) {
            *why = folder.string() + " belongs to another user";
        }
        return false;
    }
    if ((st.st_mode & 077) != 0) {
        if (why) {
            *why = "others may enter " + folder.string() + " (its mode must be 0700)";
        }
        return false;
    }
    return true;
}

WireSocket::WireSocket(int fd) : fd_(fd), buffer_(64 * 1024) {}

WireSocket::~WireSocket() {
    ::close(fd_);
}

std::unique_ptr<WireSocket> WireSocket::connect(const std::string& path, wire::Role role,
                                                std::chrono::milliseconds timeout, wire::Welcome* welcome,
                                                std::string* why) {
    auto fail = [&](std::string text) -> std::unique_ptr<WireSocket> {
        if (why) {
            *why = std::move(text);
        }
        return nullptr;
    };
    if (!socketPathFits(path)) {
        return fail("socket path too long or empty: " + path);
    }
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return fail(std::string("socket: ") + std::strerror(errno));
    }
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::memcpy(addr.sun_path, path.c_str(), path.size() + 1);
    // A server that stops taking connections fills its queue, and a connect would then wait for ever; the
    // send time limit bounds that wait as well as every later send.
    const auto limit = std::max(timeout, std::chrono::milliseconds(1));
    timeval connectLimit{static_cast<time_t>(limit.count() / 1000),
                         static_cast<suseconds_t>(limit.count() % 1000 * 1000)};
    ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &connectLimit, sizeof connectLimit);
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0) {
        const int e = errno;
        ::close(fd);
        if (e == ENOENT || e == ECONNREFUSED || e == ENOTDIR) {
            return fail("no server at " + path + ": " + std::strerror(e));
        }
        if (e == EAGAIN || e == EINPROGRESS) {
            return fail("the server at " + path + " does not take connections (busy or stopped)");
        }
        return fail("cannot connect to the server at " + path + ": " + std::strerror(e));
    }
    // Only the user's own daemon: a socket someone else put in the way is not our keyboard.
    ucred cred{};
    socklen_t credLength = sizeof cred;
    if (::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &cred, &credLength) != 0 || cred.uid != ::getuid()) {
        ::close(fd);
        return fail("refused: the server at " + path + " belongs to another user");
    }
    // A daemon that stops reading must not hold a sender for ever.
    timeval tv{2, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
    std::unique_ptr<WireSocket> s(new WireSocket(fd));
    // A full server may have sent its refusal and closed before the greeting went out: read it anyway.
    const bool greeted = s->send(wire::Hello{wire::kVersion, role});
    bool timedOut = false;
    auto answer = s->receive(greeted ? timeout : std::chrono::milliseconds(0), &timedOut);
    if (!answer && !greeted) {
        return fail("the server at " + path + " closed the connection");
    }
    if (!answer) {
        return fail(timedOut ? "the server at " + path + " does not answer"
                             : "the server at " + path + " closed the connection");
    }
    if (const auto* refused = std::get_if<wire::Refused>(&*answer)) {
        return fail("refused: " + refused->reason);
    }
    const auto* w = std::get_if<wire::Welcome>(&*answer);
    if (!w) {
        return fail("the server at " + path + " answered out of turn");
    }
    if (w->version != wire::kVersion) {
        return fail("refused: the server speaks version " + std::to_string(w->version) +
                    ", this is version " + std::to_string(wire::kVersion));
    }
    if (welcome) {
        *welcome = *w;
    }
    return s;
}

bool WireSocket::send(const wire::ClientMessage& message) {
    const std::vector<uint8_t> frame = wire::encode(message);
    std::lock_guard lock(sendLock_);
    size_t at = 0;
    while (at < frame.size()) {
        const ssize_t n = ::send(fd_, frame.data() + at, frame.size() - at, MSG_NOSIGNAL);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        at += static_cast<size_t>(n);
    }
    return true;
}

std::optional<wire::ServerMessage> WireSocket::receive(std::chrono::milliseconds timeout, bool* timedOut) {
    if (timedOut) {
        *timedOut = false;
    }
    const bool forever = timeout.count() < 0;
    const auto until = Clock::now() + (forever ? std::chrono::milliseconds(0) : timeout);
    for (;;) {
        if (auto body = reader_.next()) {
            return wire::decodeServer(*body);
        }
        if (reader_.failed()) {
            return std::nullopt;
        }
        // Without a time limit recv() itself waits (shutdown() ends it): one system call per read.
        pollfd p{fd_, POLLIN, 0};
        const int ready = forever ? 1 : ::poll(&p, 1, remainingMs(until));
        if (ready < 0) {
            if (errno == EINTR) {
                continue;
            }
            return std::nullopt;
        }
        if (ready == 0) {
            if (timedOut) {
                *timedOut = true;
            }
            return std::nullopt;
        }
        const ssize_t n = ::recv(fd_, buffer_.data(), buffer_.size(), 0);
        if (n < 0 && (errno == EINTR || errno == EAGAIN)) {
            continue;
        }
        if (n <= 0) {
            return std::nullopt;
        }
        reader_.feed({buffer_.data(), static_cast<size_t>(n)});
    }
}

void WireSocket::shutdown() {
    ::shutdown(fd_, SHUT_RDWR);
}

} // namespace portmux::sim
