// A HID report descriptor as a keyboard node may present it, on any input: no crash, no read out of
// bounds, and the consumer-control reports it yields never take a report of another length.
#include "portmux/src/HidReportDescriptor.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <vector>

namespace {

void check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace portmux::hid;
    const std::span<const uint8_t> input(data, size);
    if (auto reports = inputReportsOf(input)) {
        check(size <= 4096);
        for (const InputReport& r : *reports) {
            check(r.bits <= 8u * 4096u);
        }
    }
    const ConsumerReports consumer = ConsumerReports::fromDescriptor(input);
    // Input reports of every short length, taken from the end of the input (a copy of exactly that
    // length, so a read past it is caught by the sanitizer).
    for (size_t n = 0; n <= 8 && n <= size; ++n) {
        const std::vector<uint8_t> report(input.end() - static_cast<std::ptrdiff_t>(n), input.end());
        const auto usage = consumer.usageOf(report.data(), report.size());
        if (!consumer.described()) {
            check(usage.has_value() == (n == 3));
        }
    }
    return 0;
}
