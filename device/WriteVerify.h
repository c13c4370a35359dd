// Checking that the keyboard stored what a write sequence sent. A keyboard may answer a write with
// success and still not keep it; only reading the bytes back after the sequence's endWrite shows that.
// WriteLog keeps what one sequence wrote (the last write to a byte wins) and plans the reads that cover
// it: at most one read per written chunk, each read inside what the keyboard answers in one report.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace tarvik::device {

// The areas a write sequence changes, in the order of the write commands' codes.
enum class WriteArea : uint8_t { Settings, KeyBlocks, Macros, Colours };
inline constexpr size_t kWriteAreaCount = 4;

// The first byte a read-back found other than what was sent.
struct WriteMismatch {
    WriteArea area = WriteArea::Settings;
    uint32_t address = 0; // within the area, as the commands address it
    uint8_t sent = 0;
    uint8_t found = 0;

    // Key blocks: the block; settings and colours: the profile whose record or table holds the byte;
    // the macro area: 0.
    unsigned part() const;
    // The byte's offset within that block, record or table (the macro area: its address).
    uint32_t offset() const;
    friend bool operator==(const WriteMismatch&, const WriteMismatch&) = default;
};

// "key block 1, offset 56: sent 0x05, read 0x00"; "settings of profile 2, offset 1: ..."; "macro area,
// offset 112: ..."; "colours of profile 0, offset 330: ...".
std::string describe(const WriteMismatch& mismatch);

// What reading back found: 1, the result of the read that failed, or kVerifyMismatch with the mismatch.
struct VerifyResult {
    int result = 1;
    std::optional<WriteMismatch> mismatch = std::nullopt;
    bool ok() const { return result == 1; }
};

// One read of the check: length bytes (1..56) from address of an area.
struct ReadWindow {
    WriteArea area;
    uint32_t address;
    uint8_t length;
    friend bool operator==(const ReadWindow&, const ReadWindow&) = default;
};

class WriteLog {
public:
    void clear();
    bool empty() const { return order_.empty(); }
    // The bytes one write command sent to address of area.
    void note(WriteArea area, uint32_t address, std::span<const uint8_t> bytes);

    // The reads that cover every written byte: areas in the order they were first written, addresses
    // rising. A read starts at the lowest written byte not yet covered and reaches to the last written
    // byte within 56 bytes of it. A read never crosses from one key block into the next, nor from one
    // profile's colour table into the next; since no write does either, each read finishes at least the
    // write it starts in, and there are never more reads than writes.
    std::vector<ReadWindow> windows() const;

    // The first written byte of the window that read (the bytes from the window's address) does not
    // hold; nothing when all agree. Bytes of the window that were not written are not compared.
    std::optional<WriteMismatch> compare(const ReadWindow& window, std::span<const uint8_t> read) const;

private:
    // Per area, indexed by address: the byte last written there, or -1.
    std::array<std::vector<int16_t>, kWriteAreaCount> sent_;
    std::vector<WriteArea> order_;
};

} // namespace tarvik::device
