#include "platform/AtomicFile.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <system_error>
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

// Whether a link in folder may be followed: in a sticky folder that everyone may write to (/tmp), only a
// link of this user or of the folder's owner, as the kernel's protected-symlinks rule has it. Links are
// followed by hand here, so that rule would otherwise never apply.
bool mayFollow(const struct stat& link, const std::filesystem::path& folder) {
    struct stat dir {};
    if (::stat(folder.empty() ? "." : folder.c_str(), &dir) != 0) {
        return false;
    }
    const bool sharedSticky = (dir.st_mode & S_ISVTX) != 0 && (dir.st_mode & S_IWOTH) != 0;
    return !sharedSticky || link.st_uid == ::geteuid() || link.st_uid == dir.st_uid;
}

// The file a path finally names: symbolic links followed (a bounded number of times, as the kernel does),
// even when the last one points at a file that does not exist yet. Nothing (with the reason) for a link
// another user put in a shared sticky folder, a loop, or a final target that exists but is not a regular
// file: renaming over a device node or a FIFO would turn it into a plain file.
std::optional<std::filesystem::path> finalTarget(std::filesystem::path path, std::string* why) {
    auto refuse = [&](std::string text) -> std::optional<std::filesystem::path> {
        if (why) {
            *why = std::move(text);
        }
        return std::nullopt;
    };
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st {};
        if (::lstat(path.c_str(), &st) != 0) {
            return path; // not there yet: it is created
        }
        if (!S_ISLNK(st.st_mode)) {
            if (!S_ISREG(st.st_mode)) {
                return refuse(path.string() + " is not a regular file");
            }
            return path;
        }
        if (!mayFollow(st, path.parent_path())) {
            return refuse(path.string() + " is another user's link in a shared folder");
        }
        std::error_code ec;
        std::filesystem::path next = std::filesystem::read_symlink(path, ec);
        if (ec) {
            return refuse("cannot read the link " + path.string() + ": " + ec.message());
        }
        path = next.is_absolute() ? next : path.parent_path() / next;
    }
    return refuse(path.string() + ": too many levels of symbolic links");
}

// A name beside target that nothing uses yet, created exclusively. The mode 0666 goes through the
// process umask in the kernel, as a plain create would.
int createTemporary(const std::filesystem::path& target, std::filesystem::path& name) {
    static std::atomic<uint64_t> counter{0};
    const uint64_t seed = static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
    for (int attempt = 0; attempt < 100; ++attempt) {
        const uint64_t n = (seed ^ (static_cast<uint64_t>(::getpid()) << 32)) + counter.fetch_add(1) * 7919u;
        char suffix[24];
        std::snprintf(suffix, sizeof suffix, ".%08llx", static_cast<unsigned long long>(n & 0xFFFFFFFFu));
        name = target;
        name += suffix;
        int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666);
        if (fd >= 0 || errno != EEXIST) {
            return fd;
        }
    }
    return -1;
}

void syncFolder(const std::filesystem::path& folder) {
    // Some file systems cannot flush a folder; the file itself is already on disk then.
    int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        (void)::fsync(fd);
        ::close(fd);
    }
}

} // namespace

std::optional<PendingFile> PendingFile::stage(const std::filesystem::path& path,
                                              std::span<const uint8_t> bytes, std::string* why) {
    std::optional<std::filesystem::path> found = finalTarget(path, why);
    if (!found) {
        return std::nullopt;
    }
    std::filesystem::path target = std::move(*found);
    std::filesystem::path temporary;
    int fd = createTemporary(target, temporary);
    if (fd < 0) {
        if (why) {
            *why = "cannot create a file beside " + target.string() + ": " + std::strerror(errno);
        }
        return std::nullopt;
    }
    bool ok = writeAll(fd, bytes.data(), bytes.size());
    // A file being replaced keeps its permissions (an export the user made private stays private).
    struct stat old {};
    if (ok && ::stat(target.c_str(), &old) == 0 && S_ISREG(old.st_mode)) {
        ok = ::fchmod(fd, old.st_mode & 07777) == 0;
    }
    ok = ok && ::fsync(fd) == 0;
    ok = ::close(fd) == 0 && ok;
    if (!ok) {
        if (why) {
            *why = "cannot write " + temporary.string() + ": " + std::strerror(errno);
        }
        ::unlink(temporary.c_str());
        return std::nullopt;
    }
    return PendingFile(std::move(target), std::move(temporary));
}

PendingFile::PendingFile(PendingFile&& other) noexcept
    : target_(std::move(other.target_)), temporary_(std::move(other.temporary_)) {
    other.temporary_.clear();
}

PendingFile& PendingFile::operator=(PendingFile&& other) noexcept {
    if (this != &other) {
        discard();
        target_ = std::move(other.target_);
        temporary_ = std::move(other.temporary_);
        other.temporary_.clear();
    }
    return *this;
}

PendingFile::~PendingFile() {
    discard();
}

void PendingFile::discard() {
    if (!temporary_.empty()) {
        ::unlink(temporary_.c_str());
        temporary_.clear();
    }
}

bool PendingFile::commit() {
    if (temporary_.empty()) {
        return false;
    }
    if (::rename(temporary_.c_str(), target_.c_str()) != 0) {
        discard();
        return false;
    }
    temporary_.clear();
    syncFolder(target_.parent_path());
    return true;
}

bool writeFileAtomically(const std::filesystem::path& path, std::span<const uint8_t> bytes,
                         std::string* why) {
    std::optional<PendingFile> pending = PendingFile::stage(path, bytes, why);
    if (pending && !pending->commit()) {
        if (why) {
            *why = "cannot put the new file in place of " + pending->target().string() + ": " +
                   std::strerror(errno);
        }
        return false;
    }
    return pending.has_value();
}

ReadOnlyFile::ReadOnlyFile(const std::filesystem::path& path) {
    fd_ = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd_ < 0) {
        return;
    }
    struct stat st {};
    if (::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode)) {
        notRegular_ = true;
        ::close(fd_);
        fd_ = -1;
        return;
    }
    size_ = static_cast<uintmax_t>(st.st_size);
}

ReadOnlyFile::~ReadOnlyFile() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

bool ReadOnlyFile::readAt(uintmax_t offset, uint8_t* out, size_t count) const {
    if (fd_ < 0) {
        return false;
    }
    while (count > 0) {
        ssize_t n = ::pread(fd_, out, count, static_cast<off_t>(offset));
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        if (n == 0) {
            return false; // the file ended first
        }
        out += n;
        offset += static_cast<uintmax_t>(n);
        count -= static_cast<size_t>(n);
    }
    return true;
}

std::optional<std::vector<uint8_t>> readWholeFile(const std::filesystem::path& path, uintmax_t maxBytes) {
    ReadOnlyFile file(path);
    if (!file.isOpen() || file.size() > maxBytes) {
        return std::nullopt;
    }
    std::vector<uint8_t> out(static_cast<size_t>(file.size()));
    if (!file.readAt(0, out.data(), out.size())) {
        return std::nullopt; // an error, or the file shrank meanwhile
    }
    // A file that grew since fstat: read the rest, within the limit.
    uint8_t buf[4096];
    for (;;) {
        ssize_t n = ::pread(file.fd(), buf, sizeof buf, static_cast<off_t>(out.size()));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            return std::nullopt;
        }
        if (n == 0) {
            return out;
        }
        if (out.size() + static_cast<size_t>(n) > maxBytes) {
            return std::nullopt;
        }
        out.insert(out.end(), buf, buf + n);
    }
}

} // namespace tarvik
