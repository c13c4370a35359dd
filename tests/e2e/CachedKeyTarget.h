// What the program's cache file says a key does, for desks whose window cannot be asked: the target key
// of an ordinary key's record in profile 0.
#pragma once

#include "keyboard/KeyAssignment.h"

#include <cstdint>
#include <filesystem>
#include <optional>

namespace tarvik::e2e {

// Nothing when the file cannot be read or the key does not send a single key.
std::optional<uint32_t> cachedKeyTarget(const std::filesystem::path& home, keyboard::KeyCode key);

} // namespace tarvik::e2e
