// Profile files on disk: create a default one, check one before import, load one into the working copy,
// save the working copy. Saving writes a temporary file beside the target and renames it, so a failed
// save never destroys the previous file.
#pragma once

#include "platform/AtomicFile.h"
#include "platform/Prompter.h"
#include "profiles/AssignmentStore.h"
#include "profiles/ProfileFile.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <vector>

namespace tarvik::profiles {

// validateProfileFile's results besides 1 (valid) and 0 (missing, too small or bad header).
inline constexpr int kCannotOpen = -2;
inline constexpr int kOutOfMemory = -3;
// Files of 4 GiB and more are refused unread.
inline constexpr uintmax_t kMaxProfileFileSize = 0xFFFFFFFFu;

// Writes a new default profile file (no macros, no texts): 32832 bytes.
[[nodiscard]] bool newDefaultStoreFile(const std::filesystem::path& path);

// Everything an import checks, without any message. A profile file is never read blindly: it is opened
// without blocking and refused unless it is a regular file, and after its 32-byte header only the bytes
// the header promises are read, and only when the file holds them.
struct ProfileFileCheck {
    int result = 0;          // as validateProfileFile: 1, 0, -2, -3
    bool badHeader = false;  // result 0 because of the header (not because missing or too small)
    bool loadable = false;   // result 1 and the loader accepts the file too
    bool notRegular = false; // result -2 because the path is a folder, a FIFO, a device...
    ProfileCheck check;      // what is wrong with the header, or with the rest when the header is fine
    uintmax_t fileSize = 0;
    std::vector<uint8_t> bytes; // the file up to what its header promises, when it was read
};
ProfileFileCheck checkProfileFile(const std::filesystem::path& path);

// The header check of an import: 1 valid; 0 missing, below 32832 bytes, 4 GiB or more, or a bad header
// (the last one shows PROFILE_FORMAT_ERROR); -2 cannot be opened for reading; -3 out of memory.
int validateProfileFile(const std::filesystem::path& path, Prompter& prompter);

// Replaces the working copy by the file's contents (takes the key-data lock). When the file is missing,
// unreadable, not a regular file or refused by the loader's checks the working copy becomes a new
// default store. 1 or 0.
int loadProfileFile(AssignmentStore& store, const std::filesystem::path& path);
// The file's contents as a working copy of its own, when the file passes every check of an import (the
// header check and the loader's); nothing otherwise.
std::optional<WorkingCopy> readValidProfileFile(const std::filesystem::path& path);
// The same, from bytes already read.
int loadProfileBytes(AssignmentStore& store, std::span<const uint8_t> bytes);

// Saves the working copy (takes the key-data lock). Packing the texts rewrites the text offsets of its
// records, as the file stores them.
[[nodiscard]] bool saveProfileFile(AssignmentStore& store, const std::filesystem::path& path);
// Saves to the keyboard cache file; fails and writes nothing when that file does not exist yet (only
// reading the keyboard creates it).
[[nodiscard]] bool saveCacheFile(AssignmentStore& store);
// The same in two steps: the working copy written beside the cache file, to replace it with
// PendingFile::commit() once the keyboard holds the same. Nothing when the cache file does not exist yet
// or the new one cannot be written. Takes the key-data lock.
std::optional<PendingFile> stageCacheFile(AssignmentStore& store);

// Export without its dialog: the working copy saved to path. No message either way.
[[nodiscard]] bool exportProfileFile(AssignmentStore& store, const std::filesystem::path& path);

} // namespace tarvik::profiles
