#include "profiles/ProfileFile.h"

#include "platform/Bytes.h"

#include <algorithm>
#include <limits>

namespace tarvik::profiles {

namespace {
constexpr size_t kOffMagic = 0;
constexpr size_t kOffHeaderSize = 2;
constexpr size_t kOffWord4 = 4;
constexpr size_t kOffWord6 = 6;
constexpr size_t kOffTotal = 8;
constexpr size_t kOffRecordCount = 12;
constexpr size_t kOffMacroCount = 14;
constexpr size_t kOffPoolSize = 16;
constexpr size_t kOffReserved = 20;
constexpr size_t kOffFlag = 30;
constexpr size_t kOffChecksum = 31;

std::span<const uint8_t, kProfileHeaderSize> headerOf(std::span<const uint8_t> bytes) {
    return std::span<const uint8_t, kProfileHeaderSize>(bytes.data(), kProfileHeaderSize);
}

} // namespace

bool textAt(std::span<const uint8_t> pool, uint32_t value, std::u16string& text, ProfileProblem& problem) {
    size_t at = value & ~uint32_t{1};
    if (at >= pool.size()) {
        problem = ProfileProblem::TextOutsidePool;
        return false;
    }
    size_t end = at;
    while (end + 1 < pool.size() && readLe16(&pool[end]) != 0) {
        end += 2;
    }
    if (end + 1 < pool.size()) {
        text.resize((end - at) / 2);
        for (size_t i = 0; i < text.size(); ++i) {
            text[i] = static_cast<char16_t>(readLe16(&pool[at + 2 * i]));
        }
        return true;
    }
    problem = ProfileProblem::TextNotTerminated;
    return false;
}

ProfileFileHeader ProfileFileHeader::forContents(uint16_t macroCount, uint32_t poolSize) {
    ProfileFileHeader h;
    h.macroCount = macroCount;
    h.poolSize = poolSize;
    h.totalSize = static_cast<uint32_t>(expectedFileSize(h));
    std::array<uint8_t, kProfileHeaderSize> bytes{};
    h.write(bytes);
    h.checksum = profileHeaderChecksum(bytes);
    return h;
}

ProfileFileHeader ProfileFileHeader::read(std::span<const uint8_t, kProfileHeaderSize> b) {
    ProfileFileHeader h;
    h.magic = readLe16(&b[kOffMagic]);
    h.headerSize = readLe16(&b[kOffHeaderSize]);
    h.word4 = readLe16(&b[kOffWord4]);
    h.word6 = readLe16(&b[kOffWord6]);
    h.totalSize = readLe32(&b[kOffTotal]);
    h.recordCount = readLe16(&b[kOffRecordCount]);
    h.macroCount = readLe16(&b[kOffMacroCount]);
    h.poolSize = readLe32(&b[kOffPoolSize]);
    std::copy_n(b.begin() + kOffReserved, h.reserved.size(), h.reserved.begin());
    h.flag = b[kOffFlag];
    h.checksum = b[kOffChecksum];
    return h;
}

void ProfileFileHeader::write(std::span<uint8_t, kProfileHeaderSize> b) const {
    writeLe16(&b[kOffMagic], magic);
    writeLe16(&b[kOffHeaderSize], headerSize);
    writeLe16(&b[kOffWord4], word4);
    writeLe16(&b[kOffWord6], word6);
    writeLe32(&b[kOffTotal], totalSize);
    writeLe16(&b[kOffRecordCount], recordCount);
    writeLe16(&b[kOffMacroCount], macroCount);
    writeLe32(&b[kOffPoolSize], poolSize);
    std::copy(reserved.begin(), reserved.end(), b.begin() + kOffReserved);
    b[kOffFlag] = flag;
    b[kOffChecksum] = checksum;
}

uint8_t profileHeaderChecksum(std::span<const uint8_t, kProfileHeaderSize> bytes) {
    unsigned sum = 0;
    for (size_t i = 0; i < kOffChecksum; ++i) {
        sum += bytes[i];
    }
    return static_cast<uint8_t>(sum & 0xFF);
}

uint64_t expectedFileSize(const ProfileFileHeader& header) {
    return uint64_t{kMinProfileFileSize} + uint64_t{header.macroCount} * macros::kMacroRecordSize +
           uint64_t{header.poolSize};
}

std::string_view describe(ProfileProblem problem) {
    switch (problem) {
    case ProfileProblem::BadMagic:
        return "the file does not start with the profile file mark \"FD\"";
    case ProfileProblem::BadHeaderSize:
        return "the header size is not 32";
    case ProfileProblem::BadHeaderWords:
        return "the header words at offsets 4 and 6 are not 3 and 1";
    case ProfileProblem::TotalTooSmall:
        return "the header's total size is below 32832 bytes";
    case ProfileProblem::BadRecordCount:
        return "the header's record count is not 2048";
    case ProfileProblem::TooManyMacros:
        return "the header announces more than 100 macros";
    case ProfileProblem::BadFlag:
        return "the header's flag is neither 0 nor 1";
    case ProfileProblem::TotalMismatch:
        return "the header's total size does not match its macro count and pool size";
    case ProfileProblem::BadChecksum:
        return "the header checksum does not match";
    case ProfileProblem::FileTooShort:
        return "the file holds fewer bytes than its header promises";
    case ProfileProblem::TextOutsidePool:
        return "a text offset points outside the string pool";
    case ProfileProblem::TextNotTerminated:
        return "a text in the string pool has no terminator";
    }
    return "unknown problem";
}

ProfileCheck checkProfileHeader(std::span<const uint8_t> bytes) {
    ProfileCheck c;
    if (bytes.size() < kProfileHeaderSize) {
        c.problems.push_back(ProfileProblem::FileTooShort);
        return c;
    }
    ProfileFileHeader h = ProfileFileHeader::read(headerOf(bytes));
    auto fail = [&c](bool bad, ProfileProblem p) {
        if (bad) {
            c.problems.push_back(p);
        }
    };
    fail(h.magic != kProfileMagic, ProfileProblem::BadMagic);
    fail(h.headerSize != kProfileHeaderSize, ProfileProblem::BadHeaderSize);
    fail(h.word4 != kProfileWord4 || h.word6 != kProfileWord6, ProfileProblem::BadHeaderWords);
    fail(h.totalSize < kMinProfileFileSize, ProfileProblem::TotalTooSmall);
    fail(h.recordCount != kRecordCount, ProfileProblem::BadRecordCount);
    fail(h.macroCount > macros::kMaxMacros, ProfileProblem::TooManyMacros);
    fail(h.flag > 1, ProfileProblem::BadFlag);
    fail(uint64_t{h.totalSize} != expectedFileSize(h), ProfileProblem::TotalMismatch);
    fail(h.checksum != profileHeaderChecksum(headerOf(bytes)), ProfileProblem::BadChecksum);
    return c;
}

std::vector<uint8_t> serializeProfile(WorkingCopy& working) {
    size_t count = working.macros().size();
    uint64_t total = kMinProfileFileSize + uint64_t{count} * macros::kMacroRecordSize + working.textSum();
    if (count > macros::kMaxMacros || total > std::numeric_limits<uint32_t>::max()) {
        return {};
    }
    std::vector<uint8_t> pool = packTexts(working);
    RecordBlock& block = working.block();
    ProfileFileHeader::forContents(static_cast<uint16_t>(count), static_cast<uint32_t>(pool.size()))
        .write(std::span<uint8_t, kProfileHeaderSize>(block.headerArea.data(), kProfileHeaderSize));

    std::vector<uint8_t> out(static_cast<size_t>(total));
    uint8_t* p = out.data();
    p = std::copy(block.headerArea.begin(), block.headerArea.end(), p);
    for (const auto& r : block.records) {
        r.write(std::span<uint8_t, keyboard::KeyAssignment::kSize>(p, keyboard::KeyAssignment::kSize));
        p += keyboard::KeyAssignment::kSize;
    }
    for (const auto& m : working.macros()) {
        p = std::copy(m.bytes().begin(), m.bytes().end(), p);
    }
    std::copy(pool.begin(), pool.end(), p);
    return out;
}

bool parseProfile(std::span<const uint8_t> bytes, WorkingCopy& out, ProfileCheck* check) {
    ProfileCheck local;
    ProfileCheck& c = check != nullptr ? *check : local;
    if (bytes.size() < kMinProfileFileSize) {
        c.problems.push_back(ProfileProblem::FileTooShort);
        return false;
    }
    ProfileFileHeader h = ProfileFileHeader::read(headerOf(bytes));
    if (h.macroCount > macros::kMaxMacros) {
        c.problems.push_back(ProfileProblem::TooManyMacros);
        return false;
    }
    if (expectedFileSize(h) > bytes.size()) {
        c.problems.push_back(ProfileProblem::FileTooShort);
        return false;
    }

    WorkingCopy w;
    RecordBlock& block = w.block();
    std::copy_n(bytes.begin(), kHeaderAreaSize, block.headerArea.begin());
    size_t at = kHeaderAreaSize;
    for (auto& r : block.records) {
        r = keyboard::KeyAssignment::read(std::span<const uint8_t, keyboard::KeyAssignment::kSize>(
            &bytes[at], keyboard::KeyAssignment::kSize));
        at += keyboard::KeyAssignment::kSize;
    }
    w.macros().reserve(h.macroCount);
    for (size_t i = 0; i < h.macroCount; ++i) {
        w.macros().emplace_back(
            std::span<const uint8_t, macros::kMacroRecordSize>(&bytes[at], macros::kMacroRecordSize));
        at += macros::kMacroRecordSize;
    }
    std::span<const uint8_t> pool = bytes.subspan(at, h.poolSize);

    std::u16string text;
    for (size_t i = 0; i < kRecordCount; ++i) {
        if (!carriesText(block.records[i].type)) {
            continue;
        }
        ProfileProblem problem{};
        if (!textAt(pool, block.records[i].value, text, problem)) {
            c.problems.push_back(problem);
            c.firstBadRecord = i;
            return false;
        }
        w.attachText(i, text);
    }
    out = std::move(w);
    return true;
}

} // namespace tarvik::profiles
