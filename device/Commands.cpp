#include "device/Commands.h"

#include "platform/Bytes.h"

#include <algorithm>
#include <array>
#include <optional>
#include <thread>
#include <vector>

namespace tarvik::device {

namespace {
constexpr uint32_t kAddressLimit = 0x10000;

uint64_t colourAddress(unsigned key, unsigned profile) {
    return uint64_t{profile} * kColourProfileSize + uint64_t{key} * 3u;
}

// The area a data write changes, and the command that reads it back.
std::optional<WriteArea> areaWrittenBy(uint8_t command) {
    switch (command) {
    case CMD_WRITE_SETTINGS:
        return WriteArea::Settings;
    case CMD_WRITE_KEYS:
        return WriteArea::KeyBlocks;
    case CMD_WRITE_MACROS:
        return WriteArea::Macros;
    case CMD_WRITE_COLOURS:
        return WriteArea::Colours;
    default:
        return std::nullopt;
    }
}

uint8_t readCommandOf(WriteArea area) {
    switch (area) {
    case WriteArea::Settings:
        return CMD_READ_SETTINGS;
    case WriteArea::KeyBlocks:
        return CMD_READ_KEYS;
    case WriteArea::Macros:
        return CMD_READ_MACROS;
    case WriteArea::Colours:
        break;
    }
    return CMD_READ_COLOURS;
}
} // namespace

std::string describeResult(int result) {
    const char* meaning = nullptr;
    switch (result) {
    case kOk:
        meaning = "done";
        break;
    case kNoKeyboard:
        meaning =
            "no keyboard any more: it was unplugged, or its service or virtual keyboard server went away";
        break;
    case kWriteRefused:
        meaning = "the keyboard refused the report";
        break;
    case kNoReply:
        meaning = "the keyboard did not answer in time";
        break;
    case kBusyFF:
    case kBusyFE:
        meaning = "the keyboard stayed busy";
        break;
    case kBadBlock:
        meaning = "no such key block";
        break;
    case kBadLength:
        meaning = "a length or address no report can carry";
        break;
    case kLinkBusy:
        meaning = "another program held the keyboard for too long";
        break;
    case kShortReply:
        meaning = "the keyboard's answer was too short";
        break;
    case kVerifyMismatch:
        meaning = "the keyboard did not keep what was written";
        break;
    case kLockUnavailable:
        meaning = "the per-user keyboard lock cannot be had: its folder is another user's or open to others";
        break;
    default:
        meaning = "an unknown result";
        break;
    }
    return "result " + std::to_string(result) + ", " + meaning;
}

Commands::Frame Commands::frame() {
    switch (sequence_.enter(SequenceLock::Clock::now() + sequenceWait_)) {
    case SequenceLock::Entry::Held:
        return Frame(&sequence_, kOk);
    case SequenceLock::Entry::TimedOut:
        return Frame(nullptr, kLinkBusy);
    case SequenceLock::Entry::Unavailable:
        return Frame(nullptr, kLockUnavailable);
    case SequenceLock::Entry::Closed:
        break;
    }
    return Frame(nullptr, kNoKeyboard);
}

void Commands::discardWrites(int failure) {
    if (failure == kNoKeyboard || failure == kLinkBusy || failure == kLockUnavailable) {
        return;
    }
    Frame held = frame();
    if (held && beginWrite() == kOk) {
        (void)endWrite();
    }
}

void setChecksum(std::span<uint8_t, kReportSize> report) {
    uint32_t sum = 0;
    for (size_t i = kOffCommand; i < kReportSize; ++i) {
        sum += report[i];
    }
    writeLe16(&report[1], static_cast<uint16_t>(sum));
}

int Commands::exchange(uint8_t command, uint8_t length, uint16_t address, std::span<const uint8_t> data,
                       std::span<uint8_t, kReportSize> reply, size_t replyBytes) {
    std::array<uint8_t, kReportSize> report{};
    report[0] = kReportId;
    report[kOffCommand] = command;
    report[kOffLength] = length;
    writeLe16(&report[kOffAddress], address);
    std::copy_n(data.begin(), std::min(data.size(), kChunkSize), report.begin() + kOffData);
    setChecksum(report);

    // A short reply leaves zeros behind, never the bytes of an earlier one.
    std::fill(reply.begin(), reply.end(), uint8_t{0});
    size_t delivered = 0;
    int rc = ex_.transact(report, reply, delivered);
    if (rc != kOk) {
        return rc;
    }
    // Zeros in place of what did not arrive would pass for data (a configuration block saying profile 0
    // and no macro space).
    if (delivered < replyBytes) {
        return kShortReply;
    }
    switch (reply[kOffStatus]) {
    case kStatusBusyFF:
        return kBusyFF;
    case kStatusBusyFE:
        return kBusyFE;
    default:
        return kOk;
    }
}

int Commands::readChunked(uint8_t command, uint32_t base, std::span<uint8_t> out) {
    if (base + out.size() > kAddressLimit) {
        return kBadLength;
    }
    std::array<uint8_t, kReportSize> reply{};
    for (size_t offset = 0; offset < out.size(); offset += kChunkSize) {
        size_t n = std::min(kChunkSize, out.size() - offset);
        int rc = exchange(command, static_cast<uint8_t>(n), static_cast<uint16_t>(base + offset), {}, reply,
                          kOffData + n);
        if (rc != kOk) {
            return rc;
        }
        std::copy_n(reply.begin() + kOffData, n, out.begin() + static_cast<std::ptrdiff_t>(offset));
    }
    return kOk;
}

int Commands::writeChunked(uint8_t command, uint32_t base, std::span<const uint8_t> data) {
    if (base + data.size() > kAddressLimit) {
        return kBadLength;
    }
    std::array<uint8_t, kReportSize> reply{};
    for (size_t offset = 0; offset < data.size(); offset += kChunkSize) {
        size_t n = std::min(kChunkSize, data.size() - offset);
        int rc = exchange(command, static_cast<uint8_t>(n), static_cast<uint16_t>(base + offset),
                          data.subspan(offset, n), reply);
        if (rc != kOk) {
            return rc;
        }
        noteWritten(command, static_cast<uint32_t>(base + offset), data.subspan(offset, n));
    }
    return kOk;
}

void Commands::noteWritten(uint8_t command, uint32_t address, std::span<const uint8_t> data) {
    if (!verifyWrites()) {
        return;
    }
    if (std::optional<WriteArea> area = areaWrittenBy(command)) {
        written_.note(*area, address, data);
    }
}

VerifyResult Commands::verifyWritten() {
    Frame held = frame();
    if (!held) {
        return {held.result(), std::nullopt};
    }
    VerifyResult out;
    if (verifyWrites()) {
        std::array<uint8_t, kReportSize> reply{};
        for (const ReadWindow& w : written_.windows()) {
            // Settings and colour reads always answer 56 bytes; the others exactly the chunk asked for.
            const bool whole = w.area == WriteArea::Settings || w.area == WriteArea::Colours;
            const int rc = exchange(readCommandOf(w.area), w.length, static_cast<uint16_t>(w.address), {},
                                    reply, whole ? kReportSize : kOffData + w.length);
            if (rc != kOk) {
                out.result = rc;
                break;
            }
            const auto read = std::span<const uint8_t>(reply).subspan(kOffData, w.length);
            if (auto mismatch = written_.compare(w, read)) {
                out = {kVerifyMismatch, mismatch};
                break;
            }
        }
    }
    written_.clear();
    std::lock_guard lock(mismatchMutex_);
    lastMismatch_ = out.mismatch;
    return out;
}

std::optional<WriteMismatch> Commands::lastMismatch() const {
    std::lock_guard lock(mismatchMutex_);
    return lastMismatch_;
}

int Commands::beginWrite() {
    Frame held = frame();
    if (!held) {
        return held.result();
    }
    // The keyboard restarts its frame from flash: what an earlier frame wrote is no longer this one's.
    written_.clear();
    settings_.frameBegun();
    std::array<uint8_t, kReportSize> reply{};
    return exchange(CMD_BEGIN_WRITE, 0, 0, {}, reply);
}

int Commands::endWrite() {
    Frame held = frame();
    if (!held) {
        return held.result();
    }
    std::this_thread::sleep_for(endWritePause_);
    std::array<uint8_t, kReportSize> reply{};
    const int rc = exchange(CMD_END_WRITE, 0, 0, {}, reply);
    if (rc == kOk) {
        settings_.frameCommitted();
    }
    return rc;
}

int Commands::readConfig(std::span<uint8_t, kConfigSize> out) {
    Frame held = frame();
    if (!held) {
        return held.result();
    }
    std::array<uint8_t, kReportSize> reply{};
    int rc = exchange(CMD_READ_CONFIG, kConfigSize, 0, {}, reply, kOffData + kConfigSize);
    if (rc == kOk) {
        std::copy_n(reply.begin() + kOffData, kConfigSize, out.begin());
    }
    return rc;
}

int Commands::writeConfig(std::span<const uint8_t, kConfigSize> config) {
    Frame held = frame();
    if (!held) {
        return held.result();
    }
    std::array<uint8_t, kReportSize> reply{};
    return exchange(CMD_WRITE_CONFIG, kConfigSize, 0, config, reply);
}

int Commands::readSettings(std::span<uint8_t, kChunkSize> out, uint8_t length, uint16_t address) {
    Frame held = frame();
    if (!held) {
        return held.result();
    }
    std::array<uint8_t, kReportSize> reply{};
    int rc = exchange(CMD_READ_SETTINGS, length, address, {}, reply, kReportSize);
    if (rc == kOk) {
        std::copy_n(reply.begin() + kOffData, kChunkSize, out.begin());
        settings_.read(address, std::span<const uint8_t>(out.data(), std::min<size_t>(length, kChunkSize)));
    }
    return rc;
}

int Commands::writeSettings(std::span<const uint8_t> data, uint16_t address) {
    Frame held = frame();
    if (!held) {
        return held.result();
    }
    if (data.size() > kChunkSize) {
        return kBadLength;
    }
    std::array<uint8_t, kReportSize> reply{};
    const int rc = exchange(CMD_WRITE_SETTINGS, static_cast<uint8_t>(data.size()), address, data, reply);
    if (rc == kOk) {
        noteWritten(CMD_WRITE_SETTINGS, address, data);
        settings_.staged(address, data);
    }
    return rc;
}

int Commands::readKeyBlock(std::span<uint8_t, kKeyBlockSize> out, unsigned block) {
    Frame held = frame();
    if (!held) {
        return held.result();
    }
    if (block >= kProfileCount) {
        return kBadBlock;
    }
    return readChunked(CMD_READ_KEYS, block * static_cast<uint32_t>(kKeyBlockSize), out);
}

int Commands::writeKeyBlock(std::span<const uint8_t, kKeyBlockSize> data, unsigned block) {
    Frame held = frame();
    if (!held) {
        return held.result();
    }
    if (block >= kProfileCount) {
        return kBadBlock;
    }
    return writeChunked(CMD_WRITE_KEYS, block * static_cast<uint32_t>(kKeyBlockSize), data);
}

int Commands::readMacroArea(std::span<uint8_t> out) {
    Frame held = frame();
    if (!held) {
        return held.result();
    }
    return readChunked(CMD_READ_MACROS, 0, out);
}

int Commands::writeMacroArea(std::span<const uint8_t> data) {
    Frame held = frame();
    if (!held) {
        return held.result();
    }
    return writeChunked(CMD_WRITE_MACROS, 0, data);
}

int Commands::readDefaultKeyBlock(std::span<uint8_t, kKeyBlockSize> out) {
    Frame held = frame();
    if (!held) {
        return held.result();
    }
    return readChunked(CMD_READ_DEFAULT_KEYS, 0, out);
}

int Commands::readColours(std::span<uint8_t, kChunkSize> out, uint8_t length, unsigned key,
                          unsigned profile) {
    Frame held = frame();
    if (!held) {
        return held.result();
    }
    uint64_t address = colourAddress(key, profile);
    if (address >= kAddressLimit) {
        return kBadLength;
    }
    std::array<uint8_t, kReportSize> reply{};
    int rc = exchange(CMD_READ_COLOURS, length, static_cast<uint16_t>(address), {}, reply, kReportSize);
    if (rc == kOk) {
        std::copy_n(reply.begin() + kOffData, kChunkSize, out.begin());
    }
    return rc;
}

int Commands::writeColours(std::span<const uint8_t> data, unsigned key, unsigned profile) {
    Frame held = frame();
    if (!held) {
        return held.result();
    }
    uint64_t address = colourAddress(key, profile);
    if (data.size() > kChunkSize || address >= kAddressLimit) {
        return kBadLength;
    }
    std::array<uint8_t, kReportSize> reply{};
    const int rc = exchange(CMD_WRITE_COLOURS, static_cast<uint8_t>(data.size()),
                            static_cast<uint16_t>(address), data, reply);
    if (rc == kOk) {
        noteWritten(CMD_WRITE_COLOURS, static_cast<uint32_t>(address), data);
    }
    return rc;
}

} // namespace tarvik::device
