// The control API of the virtual keyboard (back end `sim` of libportmux.so), for tests only.
//
// The program never calls this. A test that has loaded the library and called Init(0) with
// PORTMUX_BACKEND=sim resolves the one extra exported function:
//
//     auto get = reinterpret_cast<PortmuxSimControlGetFn>(dlsym(lib, "PortmuxSimControlGet"));
//     PortmuxSimControl* sim = get();   // nullptr unless the active back end is `sim`
//     sim->reset();                     // factory flash, plugged in, no faults, empty records
//
// The object lives as long as the library stays loaded; after End() its functions do nothing and
// answer false / 0 / empty until the next Init(0) with the sim back end. When Init(0) found a
// `portmux-sim serve` daemon and connected to its keyboard, there is no control object here (nullptr):
// that keyboard is driven from outside with the `portmux-sim` verbs. Every function is thread-safe
// and may be called from any thread, including from a notification callback (waitIdle excepted).
//
// The virtual keyboard in short:
// - One keyboard, attached at start. Collections: configuration (0xFF1C/0x0092), consumer control
//   (0x000C/0x0001), status output (0x0008/0x0089).
// - Each 64-byte report sent with RequestWriteOne is checked (report id 0x04 in byte 0, checksum in
//   bytes 1-2 = low 16 bits of the sum of bytes 3..63, a known command, length and address inside the
//   command's area, writes only inside a begin/end frame) and executed; then the reply (byte 0 = 0x04,
//   bytes 1-2 its checksum, byte 3 = the command code, bytes 4-6 echo the request, byte 7 = status
//   0 success, data from byte 8) is delivered on the CTRL registration after the per-report latency.
// - A report that breaks a rule is not executed; it is counted as a protocol violation (see
//   violations()) and answered with byte 3 echoed and status 0xE1..0xE7 (the Violation code below).
// - Storage areas (Area below). Writes between 0x01 (begin) and 0x02 (end) are staged on a copy of the
//   flash; reads inside a frame see the staged copy; 0x02 commits the copy to flash and saves it to
//   PORTMUX_SIM_STATE (write temp file, fsync, rename). A second 0x01 restarts the frame from flash;
//   0x02 without an open frame does nothing and answers success. Unplugging drops an open frame.
// - 0x04 (writeConfig) is also allowed outside a frame (profile selection sends it
//   without begin/end); then it is committed at once. Only bytes 0..10 of the configuration block are
//   writable (byte 10 must be 0..2); bytes 11..43 (macro capacity, mode list) are fixed by the hardware
//   and a write leaves them unchanged.
// - Reads: 0x03 answers the whole 44-byte block in bytes 8..51 (address must be 0, length <= 44).
//   0x05 and 0x10 always answer 56 bytes from the address (address inside the area, length <= 56;
//   bytes past the end of the area read as 0). 0x07, 0x09, 0x0F answer exactly the chunk (length
//   1..56, address + length inside the area), the rest of bytes 8..63 being 0.
// - 0x0B..0x0E do nothing and answer success.
// - The update trigger {0x04, 0, 0, 0xEE, 0xEE, 0...} (checksum bytes left 0) is not answered: the
//   keyboard leaves (count 0 on CTRL) and comes back (count 1) after setUpdateReturnDelayMs.
// - RequestStatusWrite's 2-byte report {0x05, mode} is kept as lastLinkStatus().
// - Faults (Fault below) are consumed in the order they were injected, one report at a time.
// - isFlashWrite() tells the write commands (the reports an AckDrop fault takes).
#ifndef PORTMUX_SIM_H
#define PORTMUX_SIM_H

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace portmux::sim {

// Sizes of the storage areas.
inline constexpr size_t kConfigSize = 44;
inline constexpr size_t kProfileCount = 3;
inline constexpr size_t kSettingsRecordSize = 42;
inline constexpr size_t kSettingsSize = kProfileCount * kSettingsRecordSize; // 126
inline constexpr size_t kKeyBlockSize = 378;
inline constexpr size_t kKeyBlocksSize = kProfileCount * kKeyBlockSize; // 1134
inline constexpr size_t kColourProfileSize = 512;
inline constexpr size_t kColoursSize = kProfileCount * kColourProfileSize; // 1536
inline constexpr size_t kChunkSize = 56;
inline constexpr uint8_t kFactoryMacroUnits = 64; // configuration byte 11: 64 x 128 = 8192 bytes
inline constexpr size_t kFactoryMacroSize = kFactoryMacroUnits * 128u;

// Command codes of the 64-byte protocol.
enum Command : uint8_t {
    kBeginWrite = 0x01,
    kEndWrite = 0x02,
    kReadConfig = 0x03,
    kWriteConfig = 0x04,
    kReadSettings = 0x05,
    kWriteSettings = 0x06,
    kReadKeys = 0x07,
    kWriteKeys = 0x08,
    kReadMacros = 0x09,
    kWriteMacros = 0x0A,
    // Accepted without data, answered without data; the program sends none of them but a hidden test
    // button's 0x0D. The bare numbered names stay usable.
    kUnsent0B = 0x0B,
    kUnsentPaused0C = 0x0C,
    kTestButton0D = 0x0D,
    kUnsent0E = 0x0E,
    kCmd0B = kUnsent0B,
    kCmd0C = kUnsentPaused0C,
    kCmd0D = kTestButton0D,
    kCmd0E = kUnsent0E,
    kReadDefaultKeys = 0x0F,
    kReadColours = 0x10,
    kWriteColours = 0x11,
    kUpdateTrigger = 0xEE,
};

// The keyboard's storage areas (committed flash).
enum class Area : uint32_t {
    Config,    // 44 bytes: byte 10 current profile, byte 11 macro capacity / 128, 12..43 modes
    Settings,  // 3 x 42 bytes, profile p at p * 42 (factory: the 35-byte restore-defaults block + 7 zeros)
    KeyBlocks, // 3 x 378 bytes, block n at n * 378 (factory: the DefaultLayout each)
    DefaultKeyBlock, // 378 bytes, read only over the protocol (factory: the built-in DefaultLayout)
    Macros,  // configuration byte 11 x 128 bytes (factory: empty image AA 55 10 00 00 00 01 00, rest 0)
    Colours, // 3 x 512 bytes, key k of profile p at p * 512 + k * 3 (factory: all 0xFF)
};

// Why a report was not executed. The value is also the status byte of the reply (0xE1..0xE7).
enum class Violation : uint8_t {
    BadChecksum = 0xE1,       // bytes 1-2 differ from the sum of bytes 3..63
    UnknownCommand = 0xE2,    // byte 3 is not 0x01..0x11 (and not the update trigger)
    OutOfArea = 0xE3,         // length or address outside the command's area, or a bad length field
    WriteOutsideFrame = 0xE4, // a write command (0x06, 0x08, 0x0A, 0x11) without an open begin/end frame
    BadReportId = 0xE5,       // byte 0 is not 0x04
    BadValue = 0xE6,          // writeConfig with a current profile above 2
    BadLength = 0xE7,         // a report longer than 64 bytes or empty (only reachable by SimKeyboard)
};

struct ViolationRecord {
    Violation reason;
    uint8_t command;  // byte 3 of the report
    uint8_t length;   // byte 4
    uint16_t address; // bytes 5-6
    std::string text; // a readable explanation, for test failure messages
};

enum class FaultKind : uint32_t {
    Pass,         // serve the next `count` matching reports normally (to place a later fault)
    BusyFF,       // answer with status 0xFF in byte 7, not executed
    BusyFE,       // answer with status 0xFE in byte 7, not executed
    WrongCommand, // answer with byte 3 = replyCommand (0: the request's code XOR 0x80), not executed
    NoReply,      // received (and recorded) but neither executed nor answered
    DropReply,    // executed, the reply is lost
    LateReply,    // executed, answered after delayMs instead of the latency
    RefuseWrite,  // RequestWriteOne returns 0; the report never reaches the keyboard (not recorded)
    Unplug,       // answer the next `count` matching reports, then leave (count 0 on CTRL) right after the
                  // last reply; with count 0 the next matching report is refused and the keyboard leaves.
                  // It comes back only with plug().
    AckDrop,      // "ack but drop": the next `count` matching write reports (0x04, 0x06, 0x08, 0x0A, 0x11)
                  // are checked and answered with success as usual, but what they carry is not stored.
                  // Other reports pass it by without using it up.
};

struct Fault {
    FaultKind kind = FaultKind::Pass;
    uint32_t count = 1;       // number of matching reports it affects
    uint8_t command = 0;      // only reports with this command code match; 0 = every report
    uint8_t replyCommand = 0; // WrongCommand: the code put into byte 3 of the reply
    uint32_t delayMs = 0;     // LateReply: delay of the reply
};

// The commands that change the flash: writeConfig and the four data writes.
constexpr bool isFlashWrite(uint8_t command) {
    return command == kWriteConfig || command == kWriteSettings || command == kWriteKeys ||
           command == kWriteMacros || command == kWriteColours;
}

using Report = std::array<uint8_t, 64>;
using LinkStatusBytes = std::array<uint8_t, 2>;

// How many reports and how many violation records the keyboard keeps by default (the newest; older ones
// are dropped, so a program that runs for hours on the virtual keyboard does not grow with every report).
inline constexpr size_t kDefaultRecordLimit = 4096;

} // namespace portmux::sim

// The control interface, returned by PortmuxSimControlGet().
class PortmuxSimControl {
public:
    using Area = portmux::sim::Area;

    // Back to a clean start: factory flash (saved to the state file when there is one), keyboard attached
    // (a count change 0 -> 1 is notified), latency 0, update return delay 1000 ms, no faults, no open
    // frame, records and violations cleared, last LinkStatus forgotten, notifications still queued
    // from before are dropped. The state file path stays as it is.
    virtual void reset() = 0;

    // Attach / detach the keyboard. A change of the count is notified on the CTRL registrations as
    // kind 0. unplug() drops an open frame and replies still in flight. Both answer whether the count
    // changed.
    virtual bool plug() = 0;
    virtual bool unplug() = 0;
    virtual int keyboardCount() = 0;

    // The keyboard sends a consumer-control code (kind 1 on the CONS registrations; the report record's
    // usage pointer leads to the code; the received bytes are {0x03, low, high}). False when detached.
    virtual bool sendConsumer(uint16_t usage) = 0;

    // Delay between a report and its reply (default 0).
    virtual void setLatencyMs(uint32_t ms) = 0;

    // The update trigger makes the keyboard leave and come back after this delay (default 1000 ms);
    // a negative value keeps it away until plug().
    virtual void setUpdateReturnDelayMs(int32_t ms) = 0;
    virtual uint32_t updateTriggerCount() = 0;

    // Faults for the next reports (FIFO; each report is taken by the first queued fault that matches it).
    virtual void injectFault(const portmux::sim::Fault& fault) = 0;
    virtual void clearFaults() = 0;
    virtual size_t pendingFaults() = 0; // queued faults not used up yet

    // The committed flash. area() copies an area; setArea() overwrites bytes of it (false when the
    // range does not fit) and saves the state file. Changing configuration byte 11 resizes the macro
    // area (kept prefix, zero filled).
    virtual std::vector<uint8_t> area(Area area) = 0;
    virtual bool setArea(Area area, size_t offset, const std::vector<uint8_t>& bytes) = 0;
    virtual bool frameOpen() = 0;
    virtual uint32_t commitCount() = 0; // 0x02 commits and writeConfig commits since reset()

    // The state file. statePath() is PORTMUX_SIM_STATE as read at Init (or the default); empty = not
    // persisted. setStatePath() switches the file and loads it (factory state when it is missing, short
    // or corrupt; answers whether a valid file was loaded). reloadState() loads the current file again,
    // like a power cycle (an open frame is dropped).
    virtual std::string statePath() = 0;
    virtual bool setStatePath(const std::string& path) = 0;
    virtual bool reloadState() = 0;

    // The reports that reached the keyboard (RequestWriteOne answered > 0), oldest first, padded to 64:
    // the newest recordLimit() of them. reportCount() is the number kept.
    virtual std::vector<portmux::sim::Report> reports() = 0;
    virtual size_t reportCount() = 0;
    virtual void clearReports() = 0;

    // Status reports received with RequestStatusWrite.
    virtual bool hasLinkStatus() = 0;
    virtual portmux::sim::LinkStatusBytes lastLinkStatus() = 0;
    virtual uint32_t linkStatusCount() = 0;

    // Protocol violations since reset() (tests assert there are none). violationCount() counts every one;
    // violations() and violationSummary() hold the newest recordLimit() of them.
    virtual uint32_t violationCount() = 0;
    virtual std::vector<portmux::sim::ViolationRecord> violations() = 0;
    virtual std::string violationSummary() = 0; // one line per violation, empty when none

    // Waits until every notification due by now has been delivered (false on timeout or when called on
    // the library's notification thread).
    virtual bool waitIdle(uint32_t timeoutMs) = 0;

    // The size of the report and violation records (at least 1; default kDefaultRecordLimit). A smaller
    // limit drops the oldest entries at once. reset() keeps the limit.
    virtual void setRecordLimit(size_t limit) = 0;
    virtual size_t recordLimit() = 0;
    // Reports received since reset() or clearReports(), including those the record no longer holds.
    virtual uint64_t reportTotal() = 0;

protected:
    ~PortmuxSimControl() = default;
};

extern "C" {
// The one exported function besides the twelve entry points: the control interface, or nullptr when
// the library is not initialised with the sim back end.
PortmuxSimControl* PortmuxSimControlGet(void);
typedef PortmuxSimControl* (*PortmuxSimControlGetFn)(void);
}

#endif // PORTMUX_SIM_H
