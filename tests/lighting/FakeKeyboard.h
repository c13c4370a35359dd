// A keyboard behind the Exchanger seam: it keeps the configuration block, the settings area and the colour
// table, records every request, and can be told to fail a command. Writes land at once (no staging), so a
// test sees the bytes of each report and the resulting memory.
#pragma once

#include "device/Commands.h"
#include "platform/Bytes.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <map>
#include <span>
#include <vector>

namespace tarvik::lighting::test {

struct Request {
    uint8_t command = 0;
    uint8_t length = 0;
    uint16_t address = 0;
    std::vector<uint8_t> data; // write commands: the `length` bytes from byte 8
    std::array<uint8_t, 64> report{};
};

class FakeKeyboard final : public device::Exchanger {
public:
    FakeKeyboard() {
        // Modes 1..18 and 20 as a complete keyboard lists them.
        for (uint8_t m = 1; m <= 18; ++m) {
            config[11 + m] = m;
        }
        config[30] = 20;
    }

    int transact(std::span<const uint8_t> request, std::span<uint8_t, device::kReportSize> reply,
                 size_t& delivered) override {
        Request r;
        std::copy_n(request.begin(), std::min(request.size(), r.report.size()), r.report.begin());
        r.command = r.report[3];
        r.length = r.report[4];
        r.address = readLe16(&r.report[5]);
        if (r.command == device::CMD_WRITE_SETTINGS || r.command == device::CMD_WRITE_COLOURS) {
            r.data.assign(r.report.begin() + 8, r.report.begin() + 8 + std::min<size_t>(r.length, 56));
        }
        requests.push_back(r);

        if (auto it = failures.find(r.command); it != failures.end()) {
            delivered = 0;
            return it->second;
        }
        std::fill(reply.begin(), reply.end(), uint8_t{0});
        reply[0] = 0x04;
        reply[3] = r.command;
        switch (r.command) {
        case device::CMD_READ_CONFIG:
            std::copy(config.begin(), config.end(), reply.begin() + 8);
            break;
        case device::CMD_READ_SETTINGS:
            for (size_t i = 0; i < 56; ++i) {
                size_t a = r.address + i;
                reply[8 + i] = a < settings.size() ? settings[a] : 0;
            }
            break;
        case device::CMD_WRITE_SETTINGS:
            for (size_t i = 0; i < r.data.size() && r.address + i < settings.size(); ++i) {
                settings[r.address + i] = r.data[i];
            }
            break;
        case device::CMD_WRITE_COLOURS:
            for (size_t i = 0; i < r.data.size() && r.address + i < colours.size(); ++i) {
                colours[r.address + i] = r.data[i];
            }
            break;
        default:
            break;
        }
        delivered = device::kReportSize;
        return device::kOk;
    }

    // The requests with a command code, in order.
    std::vector<Request> of(uint8_t command) const {
        std::vector<Request> out;
        for (const auto& r : requests) {
            if (r.command == command) {
                out.push_back(r);
            }
        }
        return out;
    }
    std::vector<uint8_t> commands() const {
        std::vector<uint8_t> out;
        for (const auto& r : requests) {
            out.push_back(r.command);
        }
        return out;
    }
    void setBlock(int profile, std::span<const uint8_t> bytes) {
        std::copy(bytes.begin(), bytes.end(), settings.begin() + profile * 42);
    }

    std::array<uint8_t, 44> config{};
    std::array<uint8_t, 126> settings{};
    std::array<uint8_t, 1536> colours{};
    std::vector<Request> requests;
    std::map<uint8_t, int> failures; // command -> transact result
};

inline device::LinkTiming noPauses() {
    device::LinkTiming t;
    t.endWritePause = device::LinkTiming::ms{0};
    return t;
}

} // namespace tarvik::lighting::test
