// The wire between the `sim` back end of libportmux.so and the `portmux-sim serve` daemon, which runs one
// virtual keyboard for every process of the user.
//
// A stream socket carries frames: a 4-byte little-endian body length, then the body, whose first byte is
// the message type. Every body is read field by field with bounds checks; a body that is empty, longer
// than its direction allows, of an unknown type, shorter or longer than its fields, or with a field out
// of range is malformed, and the daemon closes the connection of a client that sends one.
//
// A client opens with Hello (magic, version, role); the daemon answers Welcome (its version and the
// keyboard count) or Refused (a reason) and closes. A keyboard client (the library) then sends Write and
// StatusWrite, each answered by a WriteResult with the same sequence number, and receives every Reply,
// Consumer and Count event of the keyboard, whoever caused it, as hidraw hands every input report to
// every open handle. A control client (the `portmux-sim` verbs) sends Control requests, each answered by
// a ControlResult, and receives no events.
#pragma once

#include "portmux/include/portmux_sim.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <variant>
#include <vector>

namespace portmux::wire {

inline constexpr uint16_t kVersion = 1;
inline constexpr std::array<uint8_t, 4> kMagic = {'P', 'M', 'X', 'W'};
inline constexpr size_t kLengthSize = 4;
// Largest body a client may send (the biggest request is a 68-byte Write) and the daemon may send (a
// page of the record or the macro area, the largest flash area).
inline constexpr size_t kMaxClientBody = 512;
inline constexpr size_t kMaxServerBody = 64 * 1024;
// Entries per page of the report and violation records (a page of reports is 32 KiB).
inline constexpr uint16_t kMaxPage = 512;
inline constexpr size_t kMaxReasonLength = 200;
inline constexpr size_t kMaxPathLength = 4096;
inline constexpr size_t kMaxViolationText = 255;
inline constexpr size_t kMaxAreaSize = 255u * 128u; // the macro area at its largest

enum class Role : uint8_t { Keyboard = 1, Control = 2 };

enum class Op : uint8_t {
    Reset = 1,
    Plug = 2,
    Unplug = 3,
    Consumer = 4,     // value = the usage code
    Latency = 5,      // value = milliseconds
    Fault = 6,        // fault
    UpdateReturn = 7, // delayMs (negative: stays away until plug)
    Reports = 8,      // from, max
    Violations = 9,   // from, max
    Flash = 10,       // area
    Status = 11,
    ClearReports = 12,
};

// Client to daemon.
struct Hello {
    uint16_t version = kVersion;
    Role role = Role::Keyboard;
    bool operator==(const Hello&) const = default;
};
struct Write {
    uint32_t seq = 0;
    sim::Report report{};
    bool operator==(const Write&) const = default;
};
struct StatusWrite {
    uint32_t seq = 0;
    std::vector<uint8_t> bytes; // 1..64
    bool operator==(const StatusWrite&) const = default;
};
struct Control {
    uint32_t seq = 0;
    Op op = Op::Status;
    uint32_t value = 0;                 // Consumer (16 bits), Latency
    int32_t delayMs = 0;                // UpdateReturn
    sim::Fault fault{};                 // Fault
    uint64_t from = 0;                  // Reports, Violations
    uint16_t max = 0;                   // Reports, Violations: 1..kMaxPage
    sim::Area area = sim::Area::Config; // Flash
    bool operator==(const Control&) const;
};
using ClientMessage = std::variant<Hello, Write, StatusWrite, Control>;

// Daemon to client.
struct Welcome {
    uint16_t version = kVersion;
    uint32_t count = 0; // keyboards attached now
    bool operator==(const Welcome&) const = default;
};
struct WriteResult {
    uint32_t seq = 0;
    bool accepted = false;
    bool operator==(const WriteResult&) const = default;
};

struct ReportsPage {
    uint64_t first = 0;
    uint64_t end = 0;
    std::vector<sim::Report> reports;
    bool operator==(const ReportsPage&) const = default;
};
struct ViolationsPage {
    uint64_t first = 0;
    uint64_t end = 0;
    std::vector<sim::ViolationRecord> violations;
    bool operator==(const ViolationsPage&) const;
};
struct FlashArea {
    std::vector<uint8_t> bytes;
    bool operator==(const FlashArea&) const = default;
};
struct Changed {
    bool changed = false;
    bool operator==(const Changed&) const = default;
};
struct StatusInfo {
    bool plugged = false;
    uint32_t clients = 0; // keyboard clients connected
    uint32_t latencyMs = 0;
    int32_t updateReturnMs = 0;
    uint32_t faultsPending = 0;
    bool frameOpen = false;
    uint32_t commits = 0;
    uint64_t reportTotal = 0;
    uint32_t violations = 0;
    uint32_t recordLimit = 0;
    bool hasLinkStatus = false;
    sim::LinkStatusBytes linkStatus{};
    uint32_t updateTriggers = 0;
    std::string statePath;
    bool operator==(const StatusInfo&) const = default;
};
struct Nothing {
    bool operator==(const Nothing&) const = default;
};
using ControlPayload = std::variant<Nothing, Changed, ReportsPage, ViolationsPage, FlashArea, StatusInfo>;

struct ControlResult {
    uint32_t seq = 0;
    Op op = Op::Status;
    bool ok = false;
    ControlPayload payload; // what op answers when ok; Nothing when not
    bool operator==(const ControlResult&) const = default;
};
struct Reply {
    std::vector<uint8_t> bytes; // 1..64
    bool operator==(const Reply&) const = default;
};
struct ConsumerEvent {
    uint16_t usage = 0;
    std::vector<uint8_t> bytes; // 0..64
    bool operator==(const ConsumerEvent&) const = default;
};
struct CountEvent {
    uint32_t count = 0;
    bool operator==(const CountEvent&) const = default;
};
struct Refused {
    std::string reason; // up to kMaxReasonLength
    bool operator==(const Refused&) const = default;
};
using ServerMessage =
    std::variant<Welcome, WriteResult, ControlResult, Reply, ConsumerEvent, CountEvent, Refused>;

// Whole frames (length and body).
std::vector<uint8_t> encode(const ClientMessage& message);
std::vector<uint8_t> encode(const ServerMessage& message);

// One body (without the length); nullopt when it is malformed, with the reason in *why.
std::optional<ClientMessage> decodeClient(std::span<const uint8_t> body, std::string* why = nullptr);
std::optional<ServerMessage> decodeServer(std::span<const uint8_t> body, std::string* why = nullptr);

// The payload type each operation answers with when it succeeds.
ControlPayload emptyPayloadOf(Op op);

// Cuts a received byte stream into frame bodies. It never holds more than one partial frame plus what was
// fed last; a length of 0 or above the limit fails it for good.
class FrameReader {
public:
    explicit FrameReader(size_t maxBody) : maxBody_(maxBody) {}
    void feed(std::span<const uint8_t> bytes);
    // The next complete body; nullopt when none is complete yet or the stream failed.
    std::optional<std::vector<uint8_t>> next();
    bool failed() const { return failed_; }
    // Whether next() would give a body (or fail) without more bytes.
    bool hasFrame() const;
    const std::string& why() const { return why_; }
    size_t buffered() const { return buffer_.size() - start_; }

private:
    size_t maxBody_;
    std::vector<uint8_t> buffer_;
    size_t start_ = 0;
    bool failed_ = false;
    std::string why_;
};

} // namespace portmux::wire
