#include "ui/PictureSize.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

namespace tarvik::ui {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes cat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& p : parts) {
        out.insert(out.end(), p.begin(), p.end());
    }
    return out;
}

const Bytes kSoi = {0xFF, 0xD8};
// APP0 with a body of 14 bytes, then a table (DHT, 0xC4, which is not a frame header though in its range).
const Bytes kApp0 = {0xFF, 0xE0, 0x00, 0x10, 'J', 'F', 'I', 'F', 0, 1, 1, 0, 0, 1, 0, 1, 0, 0};
const Bytes kDht = {0xFF, 0xC4, 0x00, 0x04, 0x00, 0x00};
Bytes sof(uint8_t marker, int width, int height) {
    return {0xFF,
            marker,
            0x00,
            0x11,
            8,
            static_cast<uint8_t>(height >> 8),
            static_cast<uint8_t>(height),
            static_cast<uint8_t>(width >> 8),
            static_cast<uint8_t>(width),
            3};
}
Bytes png(uint32_t width, uint32_t height, const char* chunk = "IHDR") {
    Bytes b = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A, 0, 0, 0, 13};
    b.insert(b.end(), chunk, chunk + 4);
    for (const uint32_t v : {width, height}) {
        for (int shift = 24; shift >= 0; shift -= 8) {
            b.push_back(static_cast<uint8_t>(v >> shift));
        }
    }
    return b;
}
Bytes bmp(uint32_t infoSize, int32_t width, int32_t height) {
    Bytes b = {'B', 'M', 0, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0};
    auto le = [&b](uint32_t v, int bytes) {
        for (int i = 0; i < bytes; ++i) {
            b.push_back(static_cast<uint8_t>(v >> (8 * i)));
        }
    };
    le(infoSize, 4);
    const int sizeBytes = infoSize == 12 ? 2 : 4;
    le(static_cast<uint32_t>(width), sizeBytes);
    le(static_cast<uint32_t>(height), sizeBytes);
    return b;
}

TEST(PictureSize, ReadsTheSizeEachHeaderDeclaresAndNothingFromABrokenOne) {
    struct Case {
        const char* what;
        Bytes bytes;
        std::optional<PixelSize> size;
    };
    const Bytes baseline = cat({kSoi, kApp0, kDht, sof(0xC0, 800, 450)});
    const Bytes plainPng = png(120, 80);
    const std::vector<Case> cases = {
        {"baseline JPEG after an APP0 and a table", baseline, PixelSize{800, 450}},
        {"progressive JPEG with fill bytes before its frame", cat({kSoi, {0xFF, 0xFF}, sof(0xC2, 1600, 900)}),
         PixelSize{1600, 900}},
        {"JPEG cut inside its frame header", Bytes(baseline.begin(), baseline.end() - 4), std::nullopt},
        {"JPEG whose scan comes before a frame", cat({kSoi, {0xFF, 0xDA, 0x00, 0x02}}), std::nullopt},
        {"JPEG with a height left to a later marker", cat({kSoi, sof(0xC0, 800, 0)}), std::nullopt},
        {"JPEG segment length below its own two bytes", cat({kSoi, {0xFF, 0xE1, 0x00, 0x01}}), std::nullopt},
        {"JPEG with garbage where a marker belongs", cat({kSoi, {0x12, 0x34}}), std::nullopt},
        {"PNG", plainPng, PixelSize{120, 80}},
        {"PNG whose first chunk is not IHDR", png(120, 80, "IDAT"), std::nullopt},
        {"PNG wider than any picture", png(0x80000000u, 80), std::nullopt},
        {"PNG cut inside IHDR", Bytes(plainPng.begin(), plainPng.end() - 1), std::nullopt},
        {"BMP stored bottom-up", bmp(40, 64, 32), PixelSize{64, 32}},
        {"BMP stored top-down", bmp(40, 64, -32), PixelSize{64, 32}},
        {"BMP with the OS/2 header", bmp(12, 17, 9), PixelSize{17, 9}},
        {"BMP with the lowest height there is", bmp(40, 64, INT32_MIN), std::nullopt},
        {"BMP of no width", bmp(124, 0, 32), std::nullopt},
        {"BMP with an unknown header", bmp(20, 64, 32), std::nullopt},
        {"nothing", {}, std::nullopt},
        {"a text file", {'h', 'e', 'l', 'l', 'o'}, std::nullopt},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(pictureSize(c.bytes), c.size) << c.what;
    }
}

TEST(PictureSize, ReadsAFileOnlyAsFarAsItsFrameHeader) {
    const std::filesystem::path file = std::filesystem::path(::testing::TempDir()) / "picture-size.jpg";
    // A frame behind 200 KB of other segments, then a body no header reader needs.
    Bytes bytes = kSoi;
    for (int i = 0; i < 4; ++i) {
        const Bytes comment = {0xFF, 0xFE, 0xFF, 0xFF};
        bytes.insert(bytes.end(), comment.begin(), comment.end());
        bytes.resize(bytes.size() + 0xFFFF - 2, 'x');
    }
    const Bytes frame = sof(0xC1, 1024, 600);
    bytes.insert(bytes.end(), frame.begin(), frame.end());
    {
        std::ofstream out(file, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }
    EXPECT_EQ(pictureFileSize(file), (PixelSize{1024, 600}));
    EXPECT_EQ(pictureFileSize(file.string() + ".missing"), std::nullopt);
    std::filesystem::remove(file);
}

} // namespace
} // namespace tarvik::ui
