// The store and the keyboard: reading the keyboard's three key blocks and its macro area into a profile
// file, reloading the working copy from the keyboard through the cache file, and importing a profile file
// (check, load, download all on-board profiles, save the cache).
#pragma once

#include "device/AppLinkState.h"
#include "device/Commands.h"
#include "macros/MacroRecord.h"
#include "platform/Prompter.h"
#include "profiles/AssignmentStore.h"
#include "profiles/DataFolder.h"
#include "profiles/Download.h"
#include "profiles/KeyboardFingerprint.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string_view>
#include <vector>

namespace tarvik::profiles {

// The macro image in the keyboard's macro area, as long as its header says (never beyond the macro
// capacity); empty when the area holds no image. firstRead bytes are read first (at least the header):
// the area is read a second time only when the image is longer than that. Nothing when a read fails.
std::optional<std::vector<uint8_t>> readMacroImage(device::Commands& commands, device::AppLinkState& state,
                                                   size_t firstRead = 0);

// The three key blocks, the macro image (readMacroImage) and the three settings records, in one frame;
// nothing when a read fails.
std::optional<KeyboardAreas> readKeyboardAreas(device::Commands& commands, device::AppLinkState& state,
                                               size_t macroReadSize = 0);

// The areas decoded as a working copy (profile 3 all zero), with the host-only records of the keyboard
// cache file kept in it when that file is valid.
WorkingCopy keyboardCopyOf(KeyboardAreas areas, const device::AppLinkState& state,
                           std::u16string_view macroPrefix = u"Macro");

// The macros in the keyboard's macro area, decoded (ids 1, 2, ... in its order). An area without the
// image's mark holds no macros; a header promising more than the area holds is read up to the area's end.
// Nothing when a read fails. withNames (when given) tells whether the image carried the macros' names.
std::optional<macros::MacroSet> readKeyboardMacros(device::Commands& commands, device::AppLinkState& state,
                                                   std::u16string_view macroPrefix = u"Macro",
                                                   bool* withNames = nullptr);

// What the keyboard holds, as the bytes of a profile file: the records of profiles 0-2 from its key
// blocks, profile 3 all zero, the macros decoded from its macro area (a block without a name is named
// macroPrefix and its number). Nothing when the current profile cannot be read or any read fails. All
// reads are one sequence (device::Commands::Frame).
std::optional<std::vector<uint8_t>> readKeyboardProfile(device::Commands& commands,
                                                        device::AppLinkState& state,
                                                        std::u16string_view macroPrefix = u"Macro");

// The same as a working copy, with the host-only records of the keyboard cache file kept in it when that
// file is valid (keepHostRecords): what reloading and any other read-modify-download of the keyboard
// start from, so that nothing only the computer keeps is lost.
std::optional<WorkingCopy> readKeyboardKeepingHostRecords(device::Commands& commands,
                                                          device::AppLinkState& state,
                                                          std::u16string_view macroPrefix = u"Macro");

// readKeyboardProfile written to path (whole or not at all); the file is touched only after every read
// succeeded.
[[nodiscard]] bool readKeyboardToFile(const std::filesystem::path& path, device::Commands& commands,
                                      device::AppLinkState& state,
                                      std::u16string_view macroPrefix = u"Macro");

// On keyboard arrival and from the profile manager: makes sure the data folder exists, reads the keyboard
// (readKeyboardKeepingHostRecords) into the cache file and loads it into the working copy; when the
// keyboard cannot be read the working copy becomes a new default store. True when it came from the
// keyboard; the applied copy and the store's fingerprint then hold what was read, the base against which
// later writes are checked. The caller refreshes the key buttons and disables Apply either way.
bool reloadFromKeyboard(AssignmentStore& store, device::Commands& commands, device::AppLinkState& state,
                        const FirstRunHook& firstRun = {}, std::u16string_view macroPrefix = u"Macro");

// What an import did; it shows nothing itself (showImportMessages).
struct ImportOutcome {
    // 1 when the keyboard took the file; 0 when the file was refused or nothing was sent; otherwise the
    // download's result.
    int result = 0;
    bool formatError = false; // PROFILE_FORMAT_ERROR: the file's contents are bad (shown with its path)
    bool refused = false;     // MAIN_PROMPT_INPORT: the file was refused
    DownloadOutcome download; // its messages follow
    bool saved = false;       // the cache file now holds the imported file
    bool succeeded() const { return result == device::kOk; }
};

// Import without its dialog. A file the header check or the loader refuses, or whose macros do not fit
// the keyboard's macro capacity even without names, is refused before anything changes. Otherwise the
// working copy becomes the file, all on-board profiles and the macros are downloaded, and only when the
// keyboard took all of it is the file saved as the cache file (when there is one); when the download
// fails the working copy, the cache file and the keyboard are left as they were. Holds the keyboard and
// then the key-data lock.
ImportOutcome importProfileFile(AssignmentStore& store, const std::filesystem::path& path,
                                device::Commands& commands, device::AppLinkState& state);

// The messages of an import in the order the user has always seen them: PROFILE_FORMAT_ERROR,
// MAIN_PROMPT_INPORT, then those of the download. Call it with no lock of the store held.
void showImportMessages(const ImportOutcome& outcome, Prompter& prompter);

} // namespace tarvik::profiles
