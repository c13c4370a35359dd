#include "platform/LocalSocket.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace tarvik {

namespace {

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

} // namespace

size_t localSocketPathLimit() {
    return sizeof(sockaddr_un::sun_path) - 1;
}

int connectLocalSocket(const std::filesystem::path& path) {
    sockaddr_un addr{};
    if (!socketAddress(path, addr)) {
        return -1;
    }
    int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd >= 0 && ::connect(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0) {
        closeDescriptor(fd);
    }
    return fd;
}

int listenLocalSocket(const std::filesystem::path& path) {
    sockaddr_un addr{};
    if (!socketAddress(path, addr)) {
        return -1;
    }
    // Whoever left a socket here is gone: the caller has made sure of it.
    removeLocalSocket(path);
    int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return -1;
    }
    // The socket's own mode is set after bind, as the umask is the whole process's and other threads run.
    const bool bound = ::bind(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) == 0 &&
                       ::chmod(path.c_str(), 0600) == 0;
    if (!bound || ::listen(fd, 8) != 0) {
        closeDescriptor(fd);
    }
    return fd;
}

void removeLocalSocket(const std::filesystem::path& path) {
    ::unlink(path.c_str());
}

int acceptLocalClient(int listenFd) {
    return ::accept4(listenFd, nullptr, nullptr, SOCK_CLOEXEC);
}

bool peerIsThisUser(int fd) {
    ucred peer{};
    socklen_t len = sizeof peer;
    return ::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &len) == 0 && peer.uid == ::getuid();
}

bool receiveAll(int fd, uint8_t* out, size_t n, std::chrono::steady_clock::time_point deadline) {
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

bool sendAll(int fd, const uint8_t* data, size_t n) {
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

bool openWakePipe(int fds[2]) {
    return ::pipe2(fds, O_CLOEXEC | O_NONBLOCK) == 0;
}

void wake(int writeFd) {
    const uint8_t one = 1;
    (void)!::write(writeFd, &one, 1);
}

WaitResult waitReadableOrWoken(int fd, int wakeFd) {
    for (;;) {
        pollfd fds[2] = {{fd, POLLIN, 0}, {wakeFd, POLLIN, 0}};
        const int r = ::poll(fds, 2, -1);
        if (r < 0 && errno == EINTR) {
            continue;
        }
        if (r < 0) {
            return WaitResult::Failed;
        }
        if ((fds[0].revents & POLLIN) != 0) {
            return WaitResult::Readable;
        }
        if (fds[1].revents != 0) {
            return WaitResult::Woken;
        }
    }
}

void closeDescriptor(int& fd) {
    if (fd >= 0) {
        ::close(fd);
        fd = -1;
    }
}

int tryLockFileNow(const std::filesystem::path& file, bool& heldElsewhere) {
    heldElsewhere = false;
    int fd = ::open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        heldElsewhere = errno == EWOULDBLOCK;
        closeDescriptor(fd);
    }
    return fd;
}

} // namespace tarvik
