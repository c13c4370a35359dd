// What a node's HID report descriptor says about its input reports, so that the consumer-control node's
// other reports (a keyboard interface often carries typing or system-control reports beside the consumer
// codes) are never taken for consumer codes: ordinary typing must not fire a layer switch.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace portmux::hid {

// One input report of a top-level collection.
struct InputReport {
    uint16_t usagePage = 0; // of the top-level collection
    uint16_t usage = 0;
    uint8_t reportId = 0; // 0: the descriptor uses no report ids
    uint32_t bits = 0;    // the report's data, without the id
    bool operator==(const InputReport&) const = default;
};

// The input reports a descriptor declares; nullopt when it is malformed (an item running past the end,
// unbalanced collections or push/pop, report id 0, absurd sizes) or longer than the 4096 bytes HID allows.
std::optional<std::vector<InputReport>> inputReportsOf(std::span<const uint8_t> descriptor);

// How the input reports of the consumer-control collection (usage page 0x000C, usage 0x0001) look on a
// node, and their usage codes.
class ConsumerReports {
public:
    // From the node's report descriptor. Without a readable one (or one that declares no consumer-control
    // input): the usual layout, 3 bytes {report id, usage low, usage high}.
    static ConsumerReports fromDescriptor(std::span<const uint8_t> descriptor);

    // The usage code of one input report of the collection; nullopt for any other report (another
    // collection's report id, or a length the collection does not have).
    std::optional<uint16_t> usageOf(const uint8_t* report, size_t length) const;
    bool described() const { return described_; }

private:
    bool described_ = false;
    bool ids_ = true;
    std::vector<InputReport> reports_;
};

} // namespace portmux::hid
