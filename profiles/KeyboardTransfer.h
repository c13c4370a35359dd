// The store and the keyboard: reading the keyboard's three key blocks and its macro area into a profile
// file, reloading the working copy from the keyboard through the cache file, and importing a profile file
// (check, load, save the cache, download all on-board profiles).
#pragma once

#include "device/AppLinkState.h"
#include "device/Commands.h"
#include "macros/MacroRecord.h"
#include "platform/Prompter.h"
#include "profiles/AssignmentStore.h"
#include "profiles/DataFolder.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string_view>
#include <vector>

namespace tarvik::profiles {

// The macros in the keyboard's macro area, decoded (ids 1, 2, ... in its order). An area without the
// image's mark holds no macros; a header promising more than the area holds is read up to the area's end.
// Nothing when a read fails.
std::optional<macros::MacroSet> readKeyboardMacros(device::Commands& commands, device::AppLinkState& state,
                                                   std::u16string_view macroPrefix = u"Macro");

// What the keyboard holds, as the bytes of a profile file: the records of profiles 0-2 from its key
// blocks, profile 3 all zero, the macros decoded from its macro area (a block without a name is named
// macroPrefix and its number). Nothing when the current profile cannot be read or any read fails.
std::optional<std::vector<uint8_t>> readKeyboardProfile(device::Commands& commands,
                                                        device::AppLinkState& state,
                                                        std::u16string_view macroPrefix = u"Macro");

// The same written to path (whole or not at all); the file is touched only after every read succeeded.
[[nodiscard]] bool readKeyboardToFile(const std::filesystem::path& path, device::Commands& commands,
                                      device::AppLinkState& state,
                                      std::u16string_view macroPrefix = u"Macro");

// On keyboard arrival and from the profile manager: makes sure the data folder exists, reads the keyboard
// into the cache file and loads it into the working copy; when the keyboard cannot be read the working
// copy becomes a new default store. True when it came from the keyboard. The caller refreshes the key
// buttons and disables Apply either way.
bool reloadFromKeyboard(AssignmentStore& store, device::Commands& commands, device::AppLinkState& state,
                        const FirstRunHook& firstRun = {}, std::u16string_view macroPrefix = u"Macro");

// Import without its dialog. A file the header check or the loader refuses shows PROFILE_FORMAT_ERROR (bad
// contents) and MAIN_PROMPT_INPORT, and leaves the working copy untouched; returns 0. Otherwise the working
// copy is replaced by the file, saved to the cache file (when there is one) and downloaded with all
// on-board profiles; returns the download's result.
int importProfileFile(AssignmentStore& store, const std::filesystem::path& path, device::Commands& commands,
                      device::AppLinkState& state, Prompter& prompter);

} // namespace tarvik::profiles
