// A picture's size from its header, for the skin's JPEG, PNG and BMP files, without decoding it. The
// resident window checks and measures its pictures this way, so a hidden program never loads an image
// decoder it has nothing to draw with.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>

namespace tarvik::ui {

struct PixelSize {
    int width = 0;
    int height = 0;
    friend bool operator==(const PixelSize&, const PixelSize&) = default;
};

// The size a picture's header declares; nothing when the bytes are not a JPEG, PNG or BMP whose header
// is complete and declares a size above zero. A JPEG's size is in its frame header, which may follow
// other segments: head must then hold the file up to the frame.
std::optional<PixelSize> pictureSize(std::span<const uint8_t> head);

// The same, read from a file: nothing when it cannot be read. Reads only the header's segments.
std::optional<PixelSize> pictureFileSize(const std::filesystem::path& file);

} // namespace tarvik::ui
