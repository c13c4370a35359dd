// Questions to the file system that the program answers in words: why a file cannot be read, whether a
// device node opens, whether a folder takes a new file.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <sys/types.h>

namespace tarvik {

// Why a file cannot be read, in words, from what the file system says of it: missing, a link loop, a
// folder, FIFO or device, larger than limit bytes (0: no limit), no permission.
std::string unreadableReason(const std::filesystem::path& path, uintmax_t limit);
// The errno of opening a device node for reading and writing (without waiting, without making it the
// controlling terminal); 0 when it opens. It is closed again at once.
int deviceOpenError(const std::filesystem::path& node);
// Makes and removes a file named after pattern (its last six characters XXXXXX are replaced); empty when
// that worked, else the system's reason.
std::string fileCreationProblem(const std::filesystem::path& pattern);

// What stat says of a file: when any of it differs, the file was changed (a whole-file write renames a new
// file into place, so even a change within one clock tick gives another inode).
struct FileStamp {
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    int64_t modified = 0;
    int64_t changed = 0;
    bool operator==(const FileStamp&) const = default;
};
// None when the file does not exist or cannot be asked about.
std::optional<FileStamp> stampOf(const std::filesystem::path& file);

// A regular file this user may execute.
bool isExecutableFile(const std::filesystem::path& path);

// Whether this user may make new entries in the folder (write and search permission).
bool folderTakesNewEntries(const std::filesystem::path& folder);

} // namespace tarvik
