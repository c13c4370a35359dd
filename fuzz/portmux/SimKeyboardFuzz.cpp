// The virtual keyboard's report handling and its state file parser on any input: no crash, no access out
// of bounds, and the keyboard's invariants hold afterwards.
//
// The input is used three ways: as one report of any length; as a series of 64-byte reports that get a
// valid report id and checksum (so the fuzzer reaches the commands behind the checksum test); and as a
// state file.
#include "portmux/src/SimKeyboard.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

namespace {

using namespace portmux::sim;

void check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

void checkInvariants(const SimKeyboard& kb) {
    const Flash& f = kb.flash();
    check(f.macros.size() == SimKeyboard::macroSizeOf(f));
    check(f.config[10] <= 2);
    // The hardware part of the configuration block never changes over the protocol.
    static const Flash factory = factoryFlash();
    for (size_t i = 11; i < kConfigSize; ++i) {
        check(f.config[i] == factory.config[i]);
    }
    check(f.defaultKeys == factory.defaultKeys);
}

void checkOutcome(const Report& request, const SimKeyboard::Outcome& o) {
    if (o.reply) {
        check(o.replyBytes[0] == 0x04);
        check(o.replyBytes[3] == request[3]);
        check((o.replyBytes[1] | (o.replyBytes[2] << 8)) == reportChecksum(o.replyBytes));
        check(o.violation.has_value() == (o.replyBytes[7] >= 0xE1 && o.replyBytes[7] <= 0xE7));
    }
    check(!(o.executed && o.violation.has_value()));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::span<const uint8_t> input(data, size);

    // One report, as received.
    {
        SimKeyboard kb;
        const auto o = kb.handle(input);
        if (size >= 1 && size <= 64) {
            Report r{};
            std::copy(input.begin(), input.end(), r.begin());
            checkOutcome(r, o);
        } else {
            check(o.violation.has_value() && !o.reply);
        }
        checkInvariants(kb);
    }

    // A series of sealed reports; the last one may be short (padded with zeros).
    {
        SimKeyboard kb;
        bool committed = false;
        for (size_t at = 0; at < size; at += 64) {
            Report r{};
            const size_t n = std::min<size_t>(64, size - at);
            std::copy_n(data + at, n, r.begin());
            r[0] = 0x04;
            if (!(r[3] == kUpdateTrigger && r[4] == kUpdateTrigger)) {
                sealReport(r);
            }
            const auto o = kb.handle(r);
            checkOutcome(r, o);
            committed |= o.committed;
            if (o.violation) {
                check(o.violation->reason != Violation::BadChecksum &&
                      o.violation->reason != Violation::BadReportId);
            }
            checkInvariants(kb);
        }
        // Whatever the keyboard holds survives its state file.
        if (committed) {
            Flash back;
            check(deserializeFlash(serializeFlash(kb.flash()), back));
            check(back == kb.flash());
        }
    }

    // A state file.
    {
        Flash f;
        if (deserializeFlash(input, f)) {
            check(f.macros.size() == SimKeyboard::macroSizeOf(f));
            SimKeyboard kb(f);
            const Report read = [] {
                Report r{};
                r[0] = 0x04;
                r[3] = kReadMacros;
                r[4] = 56;
                sealReport(r);
                return r;
            }();
            checkOutcome(read, kb.handle(read));
        }
    }
    return 0;
}
