// Folders for sockets and lock files that no other user can reach. Such files in a folder another user
// made (a shared /tmp, a shared XDG_RUNTIME_DIR) could be replaced or held by that user: a lock that is
// never free, a socket that poses as ours. Plain POSIX: the library (libportmux.so) uses it as well.
#pragma once

#include <filesystem>
#include <string>

namespace tarvik::paths {

// Whether folder is a folder (not a link to one) of this user that nobody else may enter. *why says what
// is wrong when it is not.
bool isPrivateFolder(const std::filesystem::path& folder, std::string* why = nullptr);

// Creates folder with mode 0700 when it is missing (not its parents) and checks that it is private.
bool ensurePrivateFolder(const std::filesystem::path& folder, std::string* why = nullptr);

// The private folder `name` for run-time files: inside $XDG_RUNTIME_DIR when that is set, the user's
// and not writable by others;
// otherwise /tmp/NAME-UID; when another user holds that name, NAME-UID-runtime in the user's cache folder
// ($XDG_CACHE_HOME, else ~/.cache). Every process of the user finds the same one. Empty (with the reason
// of each refused place in *why) when none can be had: the caller must then fail, not go on unlocked.
std::filesystem::path privateRuntimeFolder(const std::string& name, std::string* why = nullptr);

// The same places without the runtime folder: for files that live directly in $XDG_RUNTIME_DIR when it
// is private and need a folder of their own only without it.
std::filesystem::path privateFallbackFolder(const std::string& name, std::string* why = nullptr);

} // namespace tarvik::paths
