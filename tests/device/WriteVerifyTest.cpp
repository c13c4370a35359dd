// The plan of a read-back check: which reads cover what a sequence wrote, how many, and what a read that
// differs from the bytes sent says.
#include "device/WriteVerify.h"

#include <gtest/gtest.h>

#include <numeric>
#include <vector>

namespace tarvik::device {
namespace {

struct Write {
    WriteArea area;
    uint32_t address;
    size_t length;
    uint8_t first = 1; // bytes first, first + 1, ...
};

std::vector<uint8_t> bytesOf(const Write& w) {
    std::vector<uint8_t> b(w.length);
    std::iota(b.begin(), b.end(), w.first);
    return b;
}

// The writes of a chunked command: 56-byte pieces of length bytes from address.
std::vector<Write> chunked(WriteArea area, uint32_t address, size_t length, size_t chunk = 56) {
    std::vector<Write> out;
    for (size_t at = 0; at < length; at += chunk) {
        out.push_back({area, static_cast<uint32_t>(address + at), std::min(chunk, length - at)});
    }
    return out;
}

WriteLog logOf(const std::vector<Write>& writes) {
    WriteLog log;
    for (const Write& w : writes) {
        const auto b = bytesOf(w);
        log.note(w.area, w.address, b);
    }
    return log;
}

TEST(WriteVerify, ReadsCoverEveryWrittenByteWithNoMoreReadsThanChunks) {
    using A = WriteArea;
    auto concat = [](std::vector<Write> a, const std::vector<Write>& b) {
        a.insert(a.end(), b.begin(), b.end());
        return a;
    };
    struct Case {
        const char* name;
        std::vector<Write> writes;
        std::vector<ReadWindow> reads;
    } cases[] = {
        {"key block 1: the seven chunks it was written in",
         chunked(A::KeyBlocks, 378, 378),
         {{A::KeyBlocks, 378, 56},
          {A::KeyBlocks, 434, 56},
          {A::KeyBlocks, 490, 56},
          {A::KeyBlocks, 546, 56},
          {A::KeyBlocks, 602, 56},
          {A::KeyBlocks, 658, 56},
          {A::KeyBlocks, 714, 42}}},
        {"100 bytes of macro area", chunked(A::Macros, 0, 100), {{A::Macros, 0, 56}, {A::Macros, 56, 44}}},
        {"the random flag and the colour of profile 1 in one read",
         {{A::Settings, 46, 1}, {A::Settings, 47, 3}},
         {{A::Settings, 46, 4}}},
        {"the default block of profile 2", {{A::Settings, 84, 35}}, {{A::Settings, 84, 35}}},
        {"two settings writes too far apart for one read",
         {{A::Settings, 1, 1}, {A::Settings, 85, 1}},
         {{A::Settings, 1, 1}, {A::Settings, 85, 1}}},
        {"one key's colour", {{A::Colours, 512 + 330, 3}}, {{A::Colours, 512 + 330, 3}}},
        {"macros first, then the key blocks, as they were written",
         concat(chunked(A::Macros, 0, 20), {{A::KeyBlocks, 0, 2}}),
         {{A::Macros, 0, 20}, {A::KeyBlocks, 0, 2}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(logOf(c.writes).windows(), c.reads);
    }
}

TEST(WriteVerify, ReadsStayInsideOneKeyBlockAndOneColourTable) {
    struct Case {
        WriteArea area;
        size_t written; // from address 0, block by block (table by table) in 56-byte chunks
        uint32_t part;  // the size of a block or table
    } cases[] = {{WriteArea::KeyBlocks, 3 * 378, 378}, {WriteArea::Colours, 3 * 512, 512}};
    for (const auto& c : cases) {
        std::vector<Write> writes;
        for (uint32_t at = 0; at < c.written; at += c.part) {
            const auto part = chunked(c.area, at, c.part);
            writes.insert(writes.end(), part.begin(), part.end());
        }
        const auto reads = logOf(writes).windows();
        EXPECT_LE(reads.size(), writes.size());
        size_t covered = 0;
        for (const ReadWindow& r : reads) {
            EXPECT_EQ(r.address / c.part, (r.address + r.length - 1) / c.part)
                << "read at " << r.address << " of " << int{r.length} << " bytes crosses a boundary";
            EXPECT_EQ(r.address, covered) << "no byte is left out or read twice";
            covered = r.address + r.length;
        }
        EXPECT_EQ(covered, c.written);
    }
    // The colour upload's 54-byte chunks: eight of them, never more reads than that.
    EXPECT_EQ(logOf(chunked(WriteArea::Colours, 512, 432, 54)).windows().size(), 8u);
}

TEST(WriteVerify, TheFirstByteNotKeptIsNamedAndLaterWritesWin) {
    WriteLog log;
    const uint8_t early[] = {1, 2, 3, 4};
    const uint8_t late[] = {9};
    log.note(WriteArea::Settings, 84, early);
    log.note(WriteArea::Settings, 86, late); // overwrites the 3
    const auto reads = log.windows();
    ASSERT_EQ(reads.size(), 1u);

    const std::vector<uint8_t> kept = {1, 2, 9, 4, 0xEE, 0xEE};
    EXPECT_FALSE(log.compare(reads[0], kept).has_value()) << "the later write is what counts";
    const std::vector<uint8_t> stale = {1, 2, 3, 4};
    EXPECT_EQ(log.compare(reads[0], stale), (WriteMismatch{WriteArea::Settings, 86, 9, 3}));
    const std::vector<uint8_t> twoWrong = {1, 7, 9, 8};
    EXPECT_EQ(log.compare(reads[0], twoWrong), (WriteMismatch{WriteArea::Settings, 85, 2, 7}));
    const std::vector<uint8_t> tooShort = {1, 2};
    EXPECT_EQ(log.compare(reads[0], tooShort), (WriteMismatch{WriteArea::Settings, 86, 9, 0}))
        << "a reply that lacks a written byte does not confirm it";

    // Bytes between two writes inside one read are not compared.
    WriteLog gaps;
    const uint8_t one[] = {5};
    gaps.note(WriteArea::Colours, 0, one);
    gaps.note(WriteArea::Colours, 6, one);
    ASSERT_EQ(gaps.windows(), (std::vector<ReadWindow>{{WriteArea::Colours, 0, 7}}));
    const std::vector<uint8_t> read = {5, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 5};
    EXPECT_FALSE(gaps.compare(gaps.windows()[0], read).has_value());

    log.clear();
    EXPECT_TRUE(log.empty());
    EXPECT_TRUE(log.windows().empty());
}

TEST(WriteVerify, AMismatchSaysWhereInWords) {
    struct Case {
        WriteMismatch mismatch;
        const char* text;
    } cases[] = {
        {{WriteArea::KeyBlocks, 378 + 56, 0x05, 0x00}, "key block 1, offset 56: sent 0x05, read 0x00"},
        {{WriteArea::Settings, 85, 0x04, 0x05}, "settings of profile 2, offset 1: sent 0x04, read 0x05"},
        {{WriteArea::Macros, 700, 0xAA, 0x12}, "macro area, offset 700: sent 0xAA, read 0x12"},
        {{WriteArea::Colours, 512 + 330, 0x12, 0xFF},
         "colours of profile 1, offset 330: sent 0x12, read 0xFF"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(describe(c.mismatch), c.text);
    }
}

} // namespace
} // namespace tarvik::device
