// Questions to the file system that the program answers in words: why a file cannot be read, whether a
// device node opens, whether a folder takes a new file.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

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

// A regular file this user may execute.
bool isExecutableFile(const std::filesystem::path& path);

// Whether this user may make new entries in the folder (write and search permission).
bool folderTakesNewEntries(const std::filesystem::path& folder);

} // namespace tarvik
