#include "platform/AtomicFile.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace tarvik {

namespace {
bool writeAll(int fd, const uint8_t* data, size_t size) {
    while (size > 0) {
        ssize_t n = ::write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}
} // namespace

bool writeFileAtomically(const std::filesystem::path& path, std::span<const uint8_t> bytes) {
    std::string tmpl = path.string() + ".XXXXXX";
    int fd = ::mkstemp(tmpl.data());
    if (fd < 0) {
        return false;
    }
    bool ok = writeAll(fd, bytes.data(), bytes.size()) && ::fsync(fd) == 0;
    // Keep the permissions a plain create would have given, not mkstemp's 0600.
    mode_t mask = ::umask(0);
    ::umask(mask);
    ok = ::fchmod(fd, 0666 & ~mask) == 0 && ok;
    ok = ::close(fd) == 0 && ok;
    if (ok && ::rename(tmpl.c_str(), path.c_str()) == 0) {
        return true;
    }
    ::unlink(tmpl.c_str());
    return false;
}

std::optional<std::vector<uint8_t>> readWholeFile(const std::filesystem::path& path, uintmax_t maxBytes) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return std::nullopt;
    }
    std::vector<uint8_t> out;
    uint8_t buf[65536];
    for (;;) {
        ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            ::close(fd);
            return std::nullopt;
        }
        if (n == 0) {
            break;
        }
        if (out.size() + static_cast<size_t>(n) > maxBytes) {
            ::close(fd);
            return std::nullopt;
        }
        out.insert(out.end(), buf, buf + n);
    }
    ::close(fd);
    return out;
}

} // namespace tarvik
