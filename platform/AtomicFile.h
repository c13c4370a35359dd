// Whole-or-nothing file writes: the bytes go to a temporary file beside the target, are flushed to disk,
// and only then replace the target by rename, so a failed write never destroys the previous file.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <vector>

namespace tarvik {

// Returns true when the whole file was written and renamed into place.
[[nodiscard]] bool writeFileAtomically(const std::filesystem::path& path, std::span<const uint8_t> bytes);

// The whole file, or nothing when it cannot be read. Files larger than maxBytes are refused.
std::optional<std::vector<uint8_t>> readWholeFile(const std::filesystem::path& path,
                                                  uintmax_t maxBytes = 64u * 1024u * 1024u);

} // namespace tarvik
