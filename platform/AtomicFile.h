// Whole-or-nothing file writes: the bytes go to a temporary file beside the target, are flushed to disk,
// and only then replace the target by rename, so a failed write never destroys the previous file.
//
// The temporary file is created with the permissions a plain create would give (the kernel applies the
// process umask, which is never changed here); a file being replaced keeps its own permissions. A path
// that is a symbolic link is written through: its final target is replaced and the link stays, except a
// link another user put in a shared sticky folder (/tmp), which is refused. Only a regular file is ever
// replaced: a device node, a FIFO or a folder at the target is refused and stays as it is. After the
// rename the folder is flushed too, so the new name survives a crash.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace tarvik {

// New contents already on disk beside their target, not yet in its place. Committing renames them over
// the target; dropping the object without committing removes them and leaves the target as it was. Used
// where a file may only change once something else (a download to the keyboard) has succeeded.
class PendingFile {
public:
    // Writes bytes into a temporary file beside path (or beside the final target when path is a symbolic
    // link) and flushes it. Nothing (with the reason in *why) when that fails or the target is refused.
    static std::optional<PendingFile> stage(const std::filesystem::path& path, std::span<const uint8_t> bytes,
                                            std::string* why = nullptr);

    PendingFile(PendingFile&& other) noexcept;
    PendingFile& operator=(PendingFile&& other) noexcept;
    PendingFile(const PendingFile&) = delete;
    PendingFile& operator=(const PendingFile&) = delete;
    ~PendingFile();

    // Puts the new contents in place. False (and the target unchanged) when the rename fails; a second
    // commit does nothing and answers false.
    [[nodiscard]] bool commit();
    // Where the contents go: the final target of the path given to stage().
    const std::filesystem::path& target() const { return target_; }

private:
    PendingFile(std::filesystem::path target, std::filesystem::path temporary)
        : target_(std::move(target)), temporary_(std::move(temporary)) {}
    void discard();

    std::filesystem::path target_;
    std::filesystem::path temporary_; // empty once committed or discarded
};

// Returns true when the whole file was written and renamed into place; otherwise the reason in *why.
[[nodiscard]] bool writeFileAtomically(const std::filesystem::path& path, std::span<const uint8_t> bytes,
                                       std::string* why = nullptr);

// The whole file, or nothing when it cannot be read. Only regular files are read: a FIFO, a device or a
// folder is refused at once, never waited on. Files larger than maxBytes are refused without being read.
std::optional<std::vector<uint8_t>> readWholeFile(const std::filesystem::path& path,
                                                  uintmax_t maxBytes = 64u * 1024u * 1024u);

// A regular file opened for reading without blocking (O_NONBLOCK, so a FIFO or a device never holds the
// caller), closed with the object. fd() is -1 when the path cannot be opened or is not a regular file.
class ReadOnlyFile {
public:
    explicit ReadOnlyFile(const std::filesystem::path& path);
    ~ReadOnlyFile();
    ReadOnlyFile(const ReadOnlyFile&) = delete;
    ReadOnlyFile& operator=(const ReadOnlyFile&) = delete;

    int fd() const { return fd_; }
    bool isOpen() const { return fd_ >= 0; }
    // The size fstat gave when it was opened.
    uintmax_t size() const { return size_; }
    // Opened, but not a regular file (and closed again).
    bool notRegular() const { return notRegular_; }
    // Reads exactly count bytes from offset; false on an error or when the file ends first.
    bool readAt(uintmax_t offset, uint8_t* out, size_t count) const;

private:
    int fd_ = -1;
    uintmax_t size_ = 0;
    bool notRegular_ = false;
};

} // namespace tarvik
