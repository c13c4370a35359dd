// The virtual keyboard's firmware: its flash and its handling of one 64-byte report. Pure: no threads,
// no clock, no files; SimBackend wraps it for the library, the unit tests and the fuzz target use it
// directly. The protocol rules are described in portmux/include/portmux_sim.h.
#pragma once

#include "portmux/include/portmux_sim.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace portmux::sim {

// The built-in DefaultLayout (126 three-byte key entries): the factory default key block.
extern const std::array<uint8_t, kKeyBlockSize> kDefaultLayout;
// The 35-byte restore-defaults block: the factory start of each settings record.
extern const std::array<uint8_t, 35> kRestoreDefaults;

struct Flash {
    std::array<uint8_t, kConfigSize> config{};
    std::array<uint8_t, kSettingsSize> settings{};
    std::array<uint8_t, kKeyBlocksSize> keys{};
    std::array<uint8_t, kKeyBlockSize> defaultKeys{};
    std::vector<uint8_t> macros;
    std::array<uint8_t, kColoursSize> colours{};

    bool operator==(const Flash&) const = default;
};

// The factory state of the keyboard.
Flash factoryFlash();

// The state file format: magic "PMUXSIM1", u32 format version, u32 macro area size, the areas in the
// order config, settings, keys, default keys, colours, macros, then a CRC-32 of everything before.
std::vector<uint8_t> serializeFlash(const Flash& flash);
// Fills `out` and answers true only for a complete, consistent file; `out` is untouched otherwise.
bool deserializeFlash(std::span<const uint8_t> bytes, Flash& out);

// The 16-bit checksum of a report: the sum of bytes 3..63.
uint16_t reportChecksum(const Report& report);
// Sets bytes 1-2 of a report to its checksum.
void sealReport(Report& report);

class SimKeyboard {
public:
    struct Outcome {
        bool reply = false;     // a reply is to be delivered
        Report replyBytes{};    // the reply (valid when reply)
        bool executed = false;  // the command was carried out
        bool committed = false; // the committed flash changed: save it
        bool updateTrigger = false;
        std::optional<ViolationRecord> violation;
    };

    SimKeyboard();
    explicit SimKeyboard(Flash flash);

    // Handles one report as received (any length; shorter than 64 is padded with zeros, longer or empty
    // is a BadLength violation without reply).
    Outcome handle(std::span<const uint8_t> report);
    // The same checks and the same answer, but nothing the report carries is kept: the flash and an open
    // frame stay as they were (a keyboard that acknowledges a write and drops it).
    Outcome handleDropping(std::span<const uint8_t> report);

    // Answers a report without executing it: a busy status, or another command code in byte 3.
    static Report statusReply(const Report& request, uint8_t status);
    static Report commandReply(const Report& request, uint8_t command);

    const Flash& flash() const { return flash_; }
    // Replaces the committed flash (drops an open frame); the macro area is resized to byte 11 x 128.
    void setFlash(Flash flash);
    bool frameOpen() const { return staging_.has_value(); }
    void dropFrame() { staging_.reset(); }

    std::vector<uint8_t> area(Area area) const;
    bool setArea(Area area, size_t offset, std::span<const uint8_t> bytes);

    static size_t macroSizeOf(const Flash& flash) { return size_t{flash.config[11]} * 128u; }
    static void fitMacroArea(Flash& flash);

private:
    Outcome violate(const Report& request, Violation reason, const char* text);
    // The flash that reads see and writes change: the staged copy inside a frame.
    Flash& working() { return staging_ ? *staging_ : flash_; }

    Flash flash_;
    std::optional<Flash> staging_;
};

} // namespace portmux::sim
