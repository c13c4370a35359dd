// A keyboard behind the Exchanger seam that answers both what the assignment store asks (configuration,
// key blocks, macro area) and what the lighting asks (supported modes, settings area, colours): the two
// fakes of those tests side by side, with one configuration block. Selecting an on-board profile is kept.
// Used by the main window's tests and by the skin gallery, which show the whole window.
#pragma once

#include "tests/lighting/FakeKeyboard.h"
#include "tests/profiles/FakeKeyboard.h"

#include <algorithm>

namespace tarvik::testing {

class WholeKeyboard final : public device::Exchanger {
public:
    int transact(std::span<const uint8_t> request, std::span<uint8_t, device::kReportSize> reply,
                 size_t& delivered) override {
        const uint8_t command = request.size() > 3 ? request[3] : 0;
        switch (command) {
        case device::CMD_READ_SETTINGS:
        case device::CMD_WRITE_SETTINGS:
        case device::CMD_WRITE_COLOURS:
            if (store.gone) {
                return device::kNoKeyboard;
            }
            return lighting.transact(request, reply, delivered);
        case device::CMD_READ_CONFIG: {
            // Bytes 0..11 are the store's (current profile, macro capacity), the mode list the lighting's.
            if (const int rc = store.transact(request, reply, delivered); rc != device::kOk) {
                return rc;
            }
            std::copy_n(store.config.begin(), 12, lighting.config.begin());
            return lighting.transact(request, reply, delivered);
        }
        case device::CMD_WRITE_CONFIG: {
            const int rc = store.transact(request, reply, delivered);
            const size_t length = request.size() > 4 ? request[4] : 0;
            const size_t address =
                request.size() > 6 ? static_cast<size_t>(request[5] | (request[6] << 8)) : 0;
            for (size_t i = 0; i < length && 8 + i < request.size() && address + i < 12; ++i) {
                store.config[address + i] = request[8 + i];
            }
            return rc;
        }
        default:
            return store.transact(request, reply, delivered);
        }
    }

    FakeKeyboard store;
    lighting::test::FakeKeyboard lighting;
};

} // namespace tarvik::testing
