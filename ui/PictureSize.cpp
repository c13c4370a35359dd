#include "ui/PictureSize.h"

#include "platform/AtomicFile.h"

#include <algorithm>
#include <array>
#include <climits>
#include <functional>

namespace tarvik::ui {

namespace {

// Reads up to out.size() bytes at offset; returns how many it read.
using ReadAt = std::function<size_t(uint64_t offset, std::span<uint8_t> out)>;

bool readExactly(const ReadAt& read, uint64_t offset, std::span<uint8_t> out) {
    return read(offset, out) == out.size();
}

uint32_t bigEndian(const uint8_t* b, int bytes) {
    uint32_t v = 0;
    for (int i = 0; i < bytes; ++i) {
        v = (v << 8) | b[i];
    }
    return v;
}

uint32_t littleEndian(const uint8_t* b, int bytes) {
    uint32_t v = 0;
    for (int i = bytes - 1; i >= 0; --i) {
        v = (v << 8) | b[i];
    }
    return v;
}

std::optional<PixelSize> positive(int64_t width, int64_t height) {
    if (width <= 0 || height <= 0 || width > INT_MAX || height > INT_MAX) {
        return std::nullopt;
    }
    return PixelSize{static_cast<int>(width), static_cast<int>(height)};
}

// The frame header (SOF0..SOF15 but DHT, JPG and DAC, which share the range) holds height then width.
bool isFrameHeader(uint8_t marker) {
    return marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
}

std::optional<PixelSize> jpegSize(const ReadAt& read) {
    uint64_t at = 2; // after the start-of-image marker
    std::array<uint8_t, 2> b{};
    for (;;) {
        if (!readExactly(read, at, b) || b[0] != 0xFF) {
            return std::nullopt;
        }
        uint8_t marker = b[1];
        ++at;
        while (marker == 0xFF) { // fill bytes before a marker
            if (!readExactly(read, ++at, std::span(b).first(1))) {
                return std::nullopt;
            }
            marker = b[0];
        }
        ++at;
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD8)) {
            continue; // markers without a segment
        }
        if (marker == 0xD9 || marker == 0xDA) {
            return std::nullopt; // the end, or the scan, before any frame header
        }
        std::array<uint8_t, 7> segment{};
        if (!readExactly(read, at, std::span(segment).first(2))) {
            return std::nullopt;
        }
        const uint32_t length = bigEndian(segment.data(), 2);
        if (length < 2) {
            return std::nullopt;
        }
        if (isFrameHeader(marker)) {
            if (length < 7 || !readExactly(read, at, segment)) {
                return std::nullopt;
            }
            return positive(bigEndian(segment.data() + 5, 2), bigEndian(segment.data() + 3, 2));
        }
        at += length;
    }
}

std::optional<PixelSize> pngSize(const ReadAt& read) {
    std::array<uint8_t, 24> h{};
    if (!readExactly(read, 0, h) || bigEndian(h.data() + 12, 4) != 0x49484452) { // "IHDR" first
        return std::nullopt;
    }
    return positive(bigEndian(h.data() + 16, 4), bigEndian(h.data() + 20, 4));
}

std::optional<PixelSize> bmpSize(const ReadAt& read) {
    std::array<uint8_t, 26> h{};
    if (!readExactly(read, 0, std::span(h).first(22))) {
        return std::nullopt;
    }
    const uint32_t infoSize = littleEndian(h.data() + 14, 4);
    if (infoSize == 12) { // the OS/2 header: 16-bit sizes
        return positive(littleEndian(h.data() + 18, 2), littleEndian(h.data() + 20, 2));
    }
    if (infoSize < 40 || !readExactly(read, 0, h)) {
        return std::nullopt;
    }
    // A negative height is a picture stored top-down.
    const auto height = static_cast<int32_t>(littleEndian(h.data() + 22, 4));
    return positive(static_cast<int32_t>(littleEndian(h.data() + 18, 4)),
                    height < 0 ? -static_cast<int64_t>(height) : height);
}

std::optional<PixelSize> sizeOf(const ReadAt& read) {
    std::array<uint8_t, 8> magic{};
    const size_t got = read(0, magic);
    if (got >= 3 && magic[0] == 0xFF && magic[1] == 0xD8 && magic[2] == 0xFF) {
        return jpegSize(read);
    }
    constexpr std::array<uint8_t, 8> kPng = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    if (got == magic.size() && magic == kPng) {
        return pngSize(read);
    }
    if (got >= 2 && magic[0] == 'B' && magic[1] == 'M') {
        return bmpSize(read);
    }
    return std::nullopt;
}

} // namespace

std::optional<PixelSize> pictureSize(std::span<const uint8_t> head) {
    return sizeOf([head](uint64_t offset, std::span<uint8_t> out) -> size_t {
        if (offset >= head.size()) {
            return 0;
        }
        const std::span<const uint8_t> rest = head.subspan(static_cast<size_t>(offset));
        const size_t n = std::min(rest.size(), out.size());
        std::copy_n(rest.begin(), n, out.begin());
        return n;
    });
}

std::optional<PixelSize> pictureFileSize(const std::filesystem::path& file) {
    // Plain reads, not a stream: the first stream of a process builds the whole C++ locale, which the
    // resident program would then keep mapped for one header.
    const ReadOnlyFile in(file);
    if (!in.isOpen()) {
        return std::nullopt;
    }
    return sizeOf([&in](uint64_t offset, std::span<uint8_t> out) -> size_t {
        if (offset >= in.size()) {
            return 0;
        }
        const size_t n = static_cast<size_t>(std::min<uintmax_t>(out.size(), in.size() - offset));
        return in.readAt(offset, out.data(), n) ? n : 0;
    });
}

} // namespace tarvik::ui
