// Where the program's files live on Linux: the program folder, the XDG base folders and the user's
// documents folder. Every function reads the environment afresh, so tests can point them elsewhere.
#pragma once

#include <filesystem>
#include <string>

namespace tarvik::paths {

// The folder of the running executable (from /proc/self/exe).
std::filesystem::path programFolder();
// $HOME, or the password database's home when HOME is unset.
std::filesystem::path homeFolder();
// $XDG_CONFIG_HOME, else ~/.config.
std::filesystem::path configHome();
// $XDG_STATE_HOME, else ~/.local/state.
std::filesystem::path stateHome();
// $XDG_RUNTIME_DIR when it is set and exists, else /tmp.
std::filesystem::path runtimeFolder();
// XDG_DOCUMENTS_DIR from $XDG_CONFIG_HOME/user-dirs.dirs, else ~/Documents.
std::filesystem::path documentsFolder();
// The data folder "Velmora" inside the documents folder (not created here).
std::filesystem::path dataFolder();
// The per-user advisory lock file that makes one keyboard write sequence at a time across processes:
// device.lock in privateRuntimeFolder("tarvik"). When no private folder can be had, a path LockFile
// refuses (with the reasons in *why), so that sequences fail loudly rather than run unlocked.
std::filesystem::path deviceLockFile(std::string* why = nullptr);

} // namespace tarvik::paths
