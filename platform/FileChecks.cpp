#include "platform/FileChecks.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace tarvik {

std::string unreadableReason(const std::filesystem::path& path, uintmax_t limit) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        const int e = errno;
        if (e == ENOENT && ::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
            return "it is a link to a file that is not there";
        }
        switch (e) {
        case ENOENT:
            return "no such file";
        case ELOOP:
            return "its symbolic links go round in a loop";
        case ENOTDIR:
            return "a part of its path is not a folder";
        default:
            return std::string("it cannot be looked at: ") + std::strerror(e);
        }
    }
    if (S_ISDIR(st.st_mode)) {
        return "it is a folder, not a file";
    }
    if (S_ISFIFO(st.st_mode)) {
        return "it is a FIFO (named pipe), not a regular file";
    }
    if (S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode)) {
        return "it is a device, not a regular file";
    }
    if (!S_ISREG(st.st_mode)) {
        return "it is not a regular file";
    }
    if (limit > 0 && static_cast<uintmax_t>(st.st_size) > limit) {
        return "it is larger than " + std::to_string(limit / (1024 * 1024)) + " MiB";
    }
    if (::access(path.c_str(), R_OK) != 0) {
        return std::string("it cannot be opened for reading: ") + std::strerror(errno);
    }
    return "it cannot be read";
}

int deviceOpenError(const std::filesystem::path& node) {
    int fd = ::open(node.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        return errno;
    }
    ::close(fd);
    return 0;
}

std::string fileCreationProblem(const std::filesystem::path& pattern) {
    std::string probe = pattern.string();
    const int fd = ::mkstemp(probe.data());
    if (fd < 0) {
        return std::strerror(errno);
    }
    ::close(fd);
    ::unlink(probe.c_str());
    return {};
}

bool isExecutableFile(const std::filesystem::path& path) {
    std::error_code ec;
    return std::filesystem::is_regular_file(path, ec) && ::access(path.c_str(), X_OK) == 0;
}

bool folderTakesNewEntries(const std::filesystem::path& folder) {
    return ::access(folder.c_str(), W_OK | X_OK) == 0;
}

std::optional<FileStamp> stampOf(const std::filesystem::path& file) {
    struct stat st {};
    if (::stat(file.c_str(), &st) != 0) {
        return std::nullopt;
    }
    return FileStamp{st.st_dev, st.st_ino, st.st_size,
                     static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec,
                     static_cast<int64_t>(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec};
}

} // namespace tarvik
