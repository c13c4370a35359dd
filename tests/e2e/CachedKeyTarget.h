// What the program's cache file says a key does, for desks whose window cannot be asked: the target key
// of an ordinary key's record in profile 0; and which on-board profile the virtual keyboard runs.
#pragma once

#include "keyboard/KeyAssignment.h"

#include "tests/e2e/Process.h"

#include <cstdint>
#include <filesystem>
#include <optional>

namespace tarvik::e2e {

// Nothing when the file cannot be read or the key does not send a single key.
std::optional<uint32_t> cachedKeyTarget(const std::filesystem::path& home, keyboard::KeyCode key);
// From the answer of `portmux-sim flash config --json` (byte 10 of the configuration block); -1 when the
// keyboard did not answer.
int simKeyboardProfile(const RunOutcome& flashConfig);

} // namespace tarvik::e2e
