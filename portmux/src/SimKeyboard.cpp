#include "portmux/src/SimKeyboard.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <type_traits>

namespace portmux::sim {

const std::array<uint8_t, kKeyBlockSize> kDefaultLayout = {
    0x05, 0x00, 0x00, 0x05, 0x00, 0x00, 0x05, 0x00, 0x00, 0x05, 0x00, 0x00, 0x05, 0x00, 0x00, 0x05, 0x00,
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x02, 0x02, 0x29, 0x02, 0x02, 0x35, 0x02, 0x02, 0x2B, 0x02,
    0x02, 0x39, 0x02, 0x01, 0x02, 0x02, 0x01, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x02, 0x02, 0x3A,
    0x02, 0x02, 0x1E, 0x02, 0x02, 0x14, 0x02, 0x02, 0x04, 0x02, 0x02, 0x1D, 0x02, 0x01, 0x08, 0x00, 0x00,
    0x00, 0x00, 0x00, 0x00, 0x02, 0x02, 0x3B, 0x02, 0x02, 0x1F, 0x02, 0x02, 0x1A, 0x02, 0x02, 0x16, 0x02,
    0x02, 0x1B, 0x02, 0x01, 0x04, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x02, 0x02, 0x3C, 0x02, 0x02, 0x20,
    0x02, 0x02, 0x08, 0x02, 0x02, 0x07, 0x02, 0x02, 0x06, 0x02, 0x02, 0x2C, 0x02, 0x02, 0x46, 0x00, 0x00,
    0x00, 0x02, 0x02, 0x3D, 0x02, 0x02, 0x21, 0x02, 0x02, 0x15, 0x02, 0x02, 0x09, 0x02, 0x02, 0x19, 0x02,
    0x01, 0x40, 0x02, 0x02, 0x47, 0x00, 0x00, 0x00, 0x02, 0x02, 0x3E, 0x02, 0x02, 0x22, 0x02, 0x02, 0x17,
    0x02, 0x02, 0x0A, 0x02, 0x02, 0x05, 0x05, 0x02, 0x02, 0x02, 0x02, 0x2E, 0x00, 0x00, 0x00, 0x02, 0x02,
    0x3F, 0x02, 0x02, 0x23, 0x02, 0x02, 0x1C, 0x02, 0x02, 0x0B, 0x02, 0x02, 0x11, 0x02, 0x02, 0x65, 0x02,
    0x02, 0x48, 0x00, 0x00, 0x00, 0x02, 0x02, 0x40, 0x02, 0x02, 0x24, 0x02, 0x02, 0x18, 0x02, 0x02, 0x0D,
    0x02, 0x02, 0x10, 0x02, 0x01, 0x10, 0x02, 0x02, 0x49, 0x00, 0x00, 0x00, 0x02, 0x02, 0x41, 0x02, 0x02,
    0x25, 0x02, 0x02, 0x0C, 0x02, 0x02, 0x0E, 0x02, 0x02, 0x36, 0x02, 0x02, 0x50, 0x02, 0x02, 0x4A, 0x00,
    0x00, 0x00, 0x02, 0x02, 0x42, 0x02, 0x02, 0x26, 0x02, 0x02, 0x12, 0x02, 0x02, 0x0F, 0x02, 0x02, 0x37,
    0x02, 0x02, 0x51, 0x02, 0x02, 0x4B, 0x00, 0x00, 0x00, 0x02, 0x02, 0x43, 0x02, 0x02, 0x27, 0x02, 0x02,
    0x13, 0x02, 0x02, 0x33, 0x02, 0x02, 0x38, 0x02, 0x02, 0x52, 0x02, 0x02, 0x4C, 0x00, 0x00, 0x00, 0x02,
    0x02, 0x44, 0x02, 0x02, 0x2D, 0x02, 0x02, 0x2F, 0x02, 0x02, 0x34, 0x02, 0x01, 0x20, 0x02, 0x02, 0x4F,
    0x02, 0x02, 0x4D, 0x00, 0x00, 0x00, 0x02, 0x02, 0x45, 0x02, 0x02, 0x2E, 0x02, 0x02, 0x30, 0x02, 0x02,
    0x31, 0x02, 0x02, 0x28, 0x02, 0x02, 0x2A, 0x02, 0x02, 0x4E, 0x00, 0x00, 0x00, 0x03, 0xB6, 0x00, 0x02,
    0x02, 0x53, 0x02, 0x02, 0x5F, 0x02, 0x02, 0x5C, 0x02, 0x02, 0x59, 0x02, 0x02, 0x62, 0x02, 0x02, 0x56,
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
    0x00, 0x00, 0x00, 0x00,
};

const std::array<uint8_t, 35> kRestoreDefaults = {
    0x01, 0x05, 0x03, 0xFF, 0x01, 0xFF, 0x00, 0x00, 0x08, 0xFF, 0xFF, 0xFF,
    0xFF, 0x00, 0x00, 0x00, 0xFF, 0x00, 0x00, 0x00, 0x00, 0xFF, 0xFF, 0x00,
    0x00, 0xFF, 0xFF, 0xFF, 0x00, 0x00, 0xFF, 0xFF, 0xFF, 0x00, 0x00,
};

namespace {

constexpr std::array<uint8_t, 8> kMagic = {'P', 'M', 'U', 'X', 'S', 'I', 'M', '1'};
constexpr uint32_t kFormatVersion = 1;

const std::array<uint32_t, 256>& crcTable() {
    static const std::array<uint32_t, 256> table = [] {
        std::array<uint32_t, 256> t{};
        for (uint32_t i = 0; i < 256; ++i) {
            uint32_t c = i;
            for (int k = 0; k < 8; ++k) {
                c = (c >> 1) ^ (0xEDB88320u & (0u - (c & 1u)));
            }
            t[i] = c;
        }
        return t;
    }();
    return table;
}

// CRC-32 (the polynomial of zip and PNG).
uint32_t crc32(std::span<const uint8_t> bytes) {
    const auto& table = crcTable();
    uint32_t crc = 0xFFFFFFFFu;
    for (uint8_t b : bytes) {
        crc = table[(crc ^ b) & 0xFFu] ^ (crc >> 8);
    }
    return ~crc;
}

void putU32(std::vector<uint8_t>& out, uint32_t v) {
    for (int i = 0; i < 4; ++i) {
        out.push_back(static_cast<uint8_t>(v >> (8 * i)));
    }
}

uint32_t getU32(std::span<const uint8_t> in, size_t at) {
    uint32_t v = 0;
    for (size_t i = 0; i < 4; ++i) {
        v |= uint32_t{in[at + i]} << (8 * i);
    }
    return v;
}

template <size_t N> void putArray(std::vector<uint8_t>& out, const std::array<uint8_t, N>& a) {
    out.insert(out.end(), a.begin(), a.end());
}

// The span of one area inside a flash image, or an empty span for an unknown area.
template <typename F>
auto areaSpan(F& f, Area area) -> std::span<std::remove_reference_t<decltype(f.config[0])>> {
    switch (area) {
    case Area::Config:
        return f.config;
    case Area::Settings:
        return f.settings;
    case Area::KeyBlocks:
        return f.keys;
    case Area::DefaultKeyBlock:
        return f.defaultKeys;
    case Area::Macros:
        return f.macros;
    case Area::Colours:
        return f.colours;
    }
    return {};
}

bool isWriteCommand(uint8_t cmd) {
    return cmd == kWriteSettings || cmd == kWriteKeys || cmd == kWriteMacros || cmd == kWriteColours;
}

} // namespace

Flash factoryFlash() {
    Flash f;
    f.config.fill(0);
    f.config[10] = 0;
    f.config[11] = kFactoryMacroUnits;
    // Supported lighting modes 1..18 and 20 (there is no 19), the remaining places empty.
    size_t at = 12;
    for (uint8_t m = 1; m <= 18; ++m) {
        f.config[at++] = m;
    }
    f.config[at] = 20;
    for (size_t p = 0; p < kProfileCount; ++p) {
        std::copy(kRestoreDefaults.begin(), kRestoreDefaults.end(),
                  f.settings.begin() + p * kSettingsRecordSize);
        std::copy(kDefaultLayout.begin(), kDefaultLayout.end(), f.keys.begin() + p * kKeyBlockSize);
    }
    f.defaultKeys = kDefaultLayout;
    f.macros.assign(kFactoryMacroSize, 0);
    // The empty macro image: magic 0x55AA, size 16, no macros, names flag 1.
    const uint8_t header[8] = {0xAA, 0x55, 0x10, 0x00, 0x00, 0x00, 0x01, 0x00};
    std::copy(std::begin(header), std::end(header), f.macros.begin());
    f.colours.fill(0xFF);
    return f;
}

std::vector<uint8_t> serializeFlash(const Flash& flash) {
    std::vector<uint8_t> out;
    out.reserve(64 + kConfigSize + kSettingsSize + kKeyBlocksSize + kKeyBlockSize + kColoursSize +
                flash.macros.size());
    out.insert(out.end(), kMagic.begin(), kMagic.end());
    putU32(out, kFormatVersion);
    putU32(out, static_cast<uint32_t>(flash.macros.size()));
    putArray(out, flash.config);
    putArray(out, flash.settings);
    putArray(out, flash.keys);
    putArray(out, flash.defaultKeys);
    putArray(out, flash.colours);
    out.insert(out.end(), flash.macros.begin(), flash.macros.end());
    putU32(out, crc32(out));
    return out;
}

bool deserializeFlash(std::span<const uint8_t> bytes, Flash& out) {
    constexpr size_t fixed =
        8 + 4 + 4 + kConfigSize + kSettingsSize + kKeyBlocksSize + kKeyBlockSize + kColoursSize;
    if (bytes.size() < fixed + 4) {
        return false;
    }
    if (!std::equal(kMagic.begin(), kMagic.end(), bytes.begin()) || getU32(bytes, 8) != kFormatVersion) {
        return false;
    }
    const size_t macroSize = getU32(bytes, 12);
    if (macroSize > 255u * 128u || bytes.size() != fixed + macroSize + 4) {
        return false;
    }
    if (crc32(bytes.first(bytes.size() - 4)) != getU32(bytes, bytes.size() - 4)) {
        return false;
    }
    Flash f;
    size_t at = 16;
    auto take = [&](std::span<uint8_t> dst) {
        std::copy_n(bytes.begin() + static_cast<std::ptrdiff_t>(at), dst.size(), dst.begin());
        at += dst.size();
    };
    take(f.config);
    take(f.settings);
    take(f.keys);
    take(f.defaultKeys);
    take(f.colours);
    f.macros.resize(macroSize);
    take(f.macros);
    if (SimKeyboard::macroSizeOf(f) != macroSize) {
        return false;
    }
    out = std::move(f);
    return true;
}

uint16_t reportChecksum(const Report& report) {
    uint32_t sum = 0;
    for (size_t i = 3; i < report.size(); ++i) {
        sum += report[i];
    }
    return static_cast<uint16_t>(sum & 0xFFFFu);
}

void sealReport(Report& report) {
    const uint16_t sum = reportChecksum(report);
    report[1] = static_cast<uint8_t>(sum & 0xFFu);
    report[2] = static_cast<uint8_t>(sum >> 8);
}

SimKeyboard::SimKeyboard() : flash_(factoryFlash()) {}

SimKeyboard::SimKeyboard(Flash flash) : flash_(std::move(flash)) {
    fitMacroArea(flash_);
}

void SimKeyboard::fitMacroArea(Flash& flash) {
    flash.macros.resize(macroSizeOf(flash), 0);
}

void SimKeyboard::setFlash(Flash flash) {
    flash_ = std::move(flash);
    fitMacroArea(flash_);
    staging_.reset();
}

std::vector<uint8_t> SimKeyboard::area(Area area) const {
    auto s = areaSpan(flash_, area);
    return {s.begin(), s.end()};
}

bool SimKeyboard::setArea(Area area, size_t offset, std::span<const uint8_t> bytes) {
    auto s = areaSpan(flash_, area);
    if (offset > s.size() || bytes.size() > s.size() - offset) {
        return false;
    }
    std::copy(bytes.begin(), bytes.end(), s.begin() + static_cast<std::ptrdiff_t>(offset));
    if (area == Area::Config) {
        fitMacroArea(flash_);
    }
    staging_.reset();
    return true;
}

SimKeyboard::Outcome SimKeyboard::handleDropping(std::span<const uint8_t> report) {
    const Flash flash = flash_;
    const std::optional<Flash> staged = staging_;
    Outcome o = handle(report);
    flash_ = flash;
    staging_ = staged;
    o.committed = false;
    return o;
}

Report SimKeyboard::statusReply(const Report& request, uint8_t status) {
    Report r{};
    r[0] = 0x04;
    r[3] = request[3];
    r[4] = request[4];
    r[5] = request[5];
    r[6] = request[6];
    r[7] = status;
    sealReport(r);
    return r;
}

Report SimKeyboard::commandReply(const Report& request, uint8_t command) {
    Report r = statusReply(request, 0);
    r[3] = command;
    sealReport(r);
    return r;
}

SimKeyboard::Outcome SimKeyboard::violate(const Report& request, Violation reason, const char* text) {
    Outcome o;
    ViolationRecord v;
    v.reason = reason;
    v.command = request[3];
    v.length = request[4];
    v.address = static_cast<uint16_t>(request[5] | (request[6] << 8));
    char line[160];
    std::snprintf(line, sizeof line, "%s (command 0x%02X, length %u, address %u)", text, v.command,
                  unsigned{v.length}, unsigned{v.address});
    v.text = line;
    o.violation = std::move(v);
    o.reply = true;
    o.replyBytes = statusReply(request, static_cast<uint8_t>(reason));
    return o;
}

SimKeyboard::Outcome SimKeyboard::handle(std::span<const uint8_t> input) {
    Report req{};
    if (input.empty() || input.size() > req.size()) {
        Outcome o;
        ViolationRecord v{Violation::BadLength, 0, 0, 0,
                          "report of " + std::to_string(input.size()) + " bytes"};
        o.violation = std::move(v);
        return o;
    }
    std::copy(input.begin(), input.end(), req.begin());

    // The update trigger carries no checksum and gets no reply.
    if (req[0] == 0x04 && req[3] == kUpdateTrigger && req[4] == kUpdateTrigger) {
        Outcome o;
        o.executed = true;
        o.updateTrigger = true;
        staging_.reset();
        return o;
    }
    if (req[0] != 0x04) {
        return violate(req, Violation::BadReportId, "report id is not 0x04");
    }
    const uint16_t sum = static_cast<uint16_t>(req[1] | (req[2] << 8));
    if (sum != reportChecksum(req)) {
        return violate(req, Violation::BadChecksum, "bad checksum");
    }
    const uint8_t cmd = req[3];
    const size_t len = req[4];
    const size_t addr = static_cast<size_t>(req[5] | (req[6] << 8));
    if (cmd < kBeginWrite || cmd > kWriteColours) {
        return violate(req, Violation::UnknownCommand, "unknown command");
    }
    if (isWriteCommand(cmd) && !staging_) {
        return violate(req, Violation::WriteOutsideFrame, "write outside a begin/end frame");
    }

    Outcome o;
    Report reply = statusReply(req, 0);
    uint8_t* data = reply.data() + 8;
    const uint8_t* payload = req.data() + 8;

    // Chunk reads and writes: 1..56 bytes, wholly inside the area.
    auto chunkFits = [&](size_t areaSize) { return len >= 1 && len <= kChunkSize && addr + len <= areaSize; };
    // Window reads: address inside the area, up to 56 bytes answered, zero past the end.
    auto windowRead = [&](std::span<const uint8_t> area) {
        const size_t n = std::min(kChunkSize, area.size() - addr);
        std::copy_n(area.begin() + static_cast<std::ptrdiff_t>(addr), n, data);
    };

    switch (cmd) {
    case kBeginWrite:
        staging_ = flash_;
        break;
    case kEndWrite:
        if (staging_) {
            if (!(*staging_ == flash_)) {
                flash_ = std::move(*staging_);
                o.committed = true;
            }
            staging_.reset();
        }
        break;
    case kReadConfig:
        if (addr != 0 || len > kConfigSize) {
            return violate(req, Violation::OutOfArea, "readConfig: address must be 0 and length <= 44");
        }
        std::copy(working().config.begin(), working().config.end(), data);
        break;
    case kWriteConfig: {
        if (len < 1 || addr + len > kConfigSize) {
            return violate(req, Violation::OutOfArea, "writeConfig outside the 44-byte block");
        }
        std::array<uint8_t, kConfigSize> next = working().config;
        std::copy_n(payload, len, next.begin() + static_cast<std::ptrdiff_t>(addr));
        if (next[10] > 2) {
            return violate(req, Violation::BadValue, "writeConfig: current profile above 2");
        }
        // Bytes 11..43 (macro capacity, supported modes) belong to the hardware.
        std::copy(working().config.begin() + 11, working().config.end(), next.begin() + 11);
        if (staging_) {
            staging_->config = next;
        } else if (next != flash_.config) {
            flash_.config = next;
            o.committed = true;
        }
        break;
    }
    case kReadSettings:
        if (addr >= kSettingsSize || len > kChunkSize) {
            return violate(req, Violation::OutOfArea, "readSettings outside the settings area");
        }
        windowRead(working().settings);
        break;
    case kWriteSettings:
        if (!chunkFits(kSettingsSize)) {
            return violate(req, Violation::OutOfArea, "writeSettings outside the settings area");
        }
        std::copy_n(payload, len, staging_->settings.begin() + static_cast<std::ptrdiff_t>(addr));
        break;
    case kReadKeys:
        if (!chunkFits(kKeyBlocksSize)) {
            return violate(req, Violation::OutOfArea, "readKeys outside the key blocks");
        }
        std::copy_n(working().keys.begin() + static_cast<std::ptrdiff_t>(addr), len, data);
        break;
    case kWriteKeys:
        if (!chunkFits(kKeyBlocksSize)) {
            return violate(req, Violation::OutOfArea, "writeKeys outside the key blocks");
        }
        std::copy_n(payload, len, staging_->keys.begin() + static_cast<std::ptrdiff_t>(addr));
        break;
    case kReadMacros:
        if (!chunkFits(working().macros.size())) {
            return violate(req, Violation::OutOfArea, "readMacros outside the macro area");
        }
        std::copy_n(working().macros.begin() + static_cast<std::ptrdiff_t>(addr), len, data);
        break;
    case kWriteMacros:
        if (!chunkFits(staging_->macros.size())) {
            return violate(req, Violation::OutOfArea, "writeMacros outside the macro area");
        }
        std::copy_n(payload, len, staging_->macros.begin() + static_cast<std::ptrdiff_t>(addr));
        break;
    case kUnsent0B:
    case kUnsentPaused0C:
    case kTestButton0D:
    case kUnsent0E:
        break;
    case kReadDefaultKeys:
        if (!chunkFits(kKeyBlockSize)) {
            return violate(req, Violation::OutOfArea, "readDefaultKeys outside the default key block");
        }
        std::copy_n(working().defaultKeys.begin() + static_cast<std::ptrdiff_t>(addr), len, data);
        break;
    case kReadColours:
        if (addr >= kColoursSize || len > kChunkSize) {
            return violate(req, Violation::OutOfArea, "readColours outside the colour table");
        }
        windowRead(working().colours);
        break;
    case kWriteColours:
        if (!chunkFits(kColoursSize)) {
            return violate(req, Violation::OutOfArea, "writeColours outside the colour table");
        }
        std::copy_n(payload, len, staging_->colours.begin() + static_cast<std::ptrdiff_t>(addr));
        break;
    default:
        return violate(req, Violation::UnknownCommand, "unknown command");
    }
    sealReport(reply);
    o.reply = true;
    o.replyBytes = reply;
    o.executed = true;
    return o;
}

} // namespace portmux::sim
