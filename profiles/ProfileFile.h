// The profile file: a 32-byte header with its checksum, the 32-byte device identity block, the 2048 key
// assignment records, the macro records and the string pool of the attached texts. Every file the
// system writes (exported backups, profile manager files, the keyboard cache file) has this layout.
#pragma once

#include "profiles/AssignmentStore.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tarvik::profiles {

inline constexpr size_t kProfileHeaderSize = 32;
inline constexpr size_t kDeviceIdentitySize = 32;
inline constexpr uint16_t kProfileMagic = 0x4446; // "FD"
inline constexpr uint16_t kProfileWord4 = 3;
inline constexpr uint16_t kProfileWord6 = 1;
inline constexpr size_t kMinProfileFileSize = kRecordBlockSize;
static_assert(kProfileHeaderSize + kDeviceIdentitySize == kHeaderAreaSize);

// Always the same; bytes 16-19 hold the keyboard's USB vendor and product ids. No reader checks it.
inline constexpr std::array<uint8_t, kDeviceIdentitySize> kDeviceIdentityBlock = {
    0x4B, 0x48, 0x20, 0x00, 0x20, 0x80, 0x00, 0x00, 0x04, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00, 0x00,
    0x45, 0x0C, 0x08, 0x85, 0x4F, 0x1C, 0x0E, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00};

struct ProfileFileHeader {
    uint16_t magic = kProfileMagic;
    uint16_t headerSize = kProfileHeaderSize;
    uint16_t word4 = kProfileWord4;
    uint16_t word6 = kProfileWord6;
    uint32_t totalSize = kMinProfileFileSize;
    uint16_t recordCount = kRecordCount;
    uint16_t macroCount = 0;
    uint32_t poolSize = 0;
    std::array<uint8_t, 10> reserved{};
    uint8_t flag = 0;
    uint8_t checksum = 0;

    // The header every writer writes: flag 0, the checksum filled in.
    static ProfileFileHeader forContents(uint16_t macroCount, uint32_t poolSize);
    static ProfileFileHeader read(std::span<const uint8_t, kProfileHeaderSize> bytes);
    void write(std::span<uint8_t, kProfileHeaderSize> bytes) const;

    friend bool operator==(const ProfileFileHeader&, const ProfileFileHeader&) = default;
};

// The sum of bytes 0-30 modulo 256.
uint8_t profileHeaderChecksum(std::span<const uint8_t, kProfileHeaderSize> bytes);
// The file size the header's own fields give: 32832 + count x 16512 + pool size.
uint64_t expectedFileSize(const ProfileFileHeader& header);

// What can be wrong with a file. The header checks are those of validateProfileFile; the rest are the
// loader's, so that it never reads past the end of the file or of the pool.
enum class ProfileProblem {
    BadMagic,
    BadHeaderSize,
    BadHeaderWords,
    TotalTooSmall,
    BadRecordCount,
    TooManyMacros,
    BadFlag,
    TotalMismatch,
    BadChecksum,
    FileTooShort,      // the file holds fewer bytes than its header promises
    TextOutsidePool,   // a text offset of a type 3 or 6 record lies outside the pool
    TextNotTerminated, // a text runs to the end of the pool without its terminator
};
// A plain description for command-line output.
std::string_view describe(ProfileProblem problem);

struct ProfileCheck {
    std::vector<ProfileProblem> problems;
    size_t firstBadRecord = 0; // TextOutsidePool / TextNotTerminated: the record index
    bool ok() const { return problems.empty(); }
};

// The text at a pool offset (a type 3 or 6 record's value): its units up to the terminator. False, with
// the problem, when the offset lies outside the pool or no terminator follows inside it.
bool textAt(std::span<const uint8_t> pool, uint32_t value, std::u16string& text, ProfileProblem& problem);

// The header check of an import. bytes is the whole file (at least 32 bytes).
ProfileCheck checkProfileHeader(std::span<const uint8_t> bytes);

// The file's bytes for the working copy: rewrites its header for its macro count and text sum (flag 0),
// packs the texts (which sets the text offsets in its records) and lays out the parts. Empty when the
// contents cannot be described by the file's fields (more than 100 macros, a file of 4 GiB or more).
std::vector<uint8_t> serializeProfile(WorkingCopy& working);

// Loads a whole file into a fresh working copy. Refused (false, out untouched) when the file is shorter
// than 32832 bytes or than its header promises, announces more than 100 macros, or has a text offset
// outside the pool or a text without its terminator. The header's other fields are not checked here.
bool parseProfile(std::span<const uint8_t> bytes, WorkingCopy& out, ProfileCheck* check = nullptr);

} // namespace tarvik::profiles
