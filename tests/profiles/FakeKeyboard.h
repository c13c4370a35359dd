// A keyboard behind the Exchanger seam for unit tests: it keeps a configuration block, three key blocks,
// the default key block and a macro area, answers the commands the store uses, records every request and
// can be told to fail chosen commands.
#pragma once

#include "device/Commands.h"
#include "keyboard/DefaultLayout.h"
#include "platform/Bytes.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <map>
#include <vector>

namespace tarvik::testing {

struct FakeRequest {
    uint8_t command;
    uint8_t length;
    uint16_t address;
    std::vector<uint8_t> data;
};

class FakeKeyboard final : public device::Exchanger {
public:
    FakeKeyboard() {
        config[10] = 0;
        config[11] = 64; // 8192 bytes of macro area
        const auto& layout = keyboard::DefaultLayout::builtIn().bytes();
        for (size_t n = 0; n < 3; ++n) {
            std::copy(layout.begin(), layout.end(), keyBlocks.begin() + static_cast<std::ptrdiff_t>(n * 378));
        }
        macroArea.assign(8192, 0);
        const uint8_t empty[] = {0xAA, 0x55, 0x10, 0x00, 0x00, 0x00, 0x01, 0x00};
        std::copy(std::begin(empty), std::end(empty), macroArea.begin());
    }

    int transact(std::span<const uint8_t> request, std::span<uint8_t, device::kReportSize> reply,
                 size_t& delivered) override {
        std::array<uint8_t, 64> r{};
        std::copy_n(request.begin(), std::min<size_t>(request.size(), 64), r.begin());
        FakeRequest q{r[3], r[4], readLe16(&r[5]),
                      std::vector<uint8_t>(r.begin() + 8, r.begin() + 8 + std::min<size_t>(r[4], 56))};
        requests.push_back(q);
        if (gone) {
            return device::kNoKeyboard;
        }
        if (auto f = transactFailures.find(q.command); f != transactFailures.end()) {
            return f->second;
        }
        std::fill(reply.begin(), reply.end(), uint8_t{0});
        reply[3] = q.command;
        delivered = 64;
        if (auto f = busy.find(q.command); f != busy.end()) {
            reply[7] = f->second;
            return 1;
        }
        switch (q.command) {
        case device::CMD_READ_CONFIG:
            std::copy(config.begin(), config.end(), reply.begin() + 8);
            break;
        case device::CMD_READ_KEYS:
            copyOut(keyBlocks, q, reply);
            break;
        case device::CMD_WRITE_KEYS:
            copyIn(keyBlocks, q);
            break;
        case device::CMD_READ_MACROS:
            copyOut(macroArea, q, reply);
            break;
        case device::CMD_WRITE_MACROS:
            copyIn(macroArea, q);
            break;
        case device::CMD_READ_DEFAULT_KEYS:
            copyOut(defaultBlock, q, reply);
            break;
        case device::CMD_READ_SETTINGS:
            copyOut(settings, q, reply);
            break;
        case device::CMD_WRITE_SETTINGS:
            copyIn(settings, q);
            break;
        default:
            break;
        }
        return 1;
    }

    // The commands in the order they were sent, one entry per request.
    std::vector<uint8_t> commandSequence() const {
        std::vector<uint8_t> out;
        for (const auto& q : requests) {
            out.push_back(q.command);
        }
        return out;
    }
    // The same with runs of one command folded into one entry.
    std::vector<uint8_t> commandRuns() const {
        std::vector<uint8_t> out;
        for (const auto& q : requests) {
            if (out.empty() || out.back() != q.command) {
                out.push_back(q.command);
            }
        }
        return out;
    }
    // The addresses of the requests with this command.
    std::vector<uint16_t> addresses(uint8_t command) const {
        std::vector<uint16_t> out;
        for (const auto& q : requests) {
            if (q.command == command) {
                out.push_back(q.address);
            }
        }
        return out;
    }
    std::array<uint8_t, 378> keyBlock(size_t n) const {
        std::array<uint8_t, 378> b{};
        std::copy_n(keyBlocks.begin() + static_cast<std::ptrdiff_t>(n * 378), 378, b.begin());
        return b;
    }

    std::array<uint8_t, 44> config{};
    std::vector<uint8_t> keyBlocks = std::vector<uint8_t>(3 * 378);
    std::vector<uint8_t> defaultBlock = std::vector<uint8_t>(
        keyboard::DefaultLayout::builtIn().bytes().begin(), keyboard::DefaultLayout::builtIn().bytes().end());
    std::vector<uint8_t> macroArea;
    std::vector<uint8_t> settings = std::vector<uint8_t>(126);
    std::vector<FakeRequest> requests;
    std::map<uint8_t, int> transactFailures; // command -> transact result
    std::map<uint8_t, uint8_t> busy;         // command -> status byte
    bool gone = false;

private:
    static void copyOut(const std::vector<uint8_t>& area, const FakeRequest& q,
                        std::span<uint8_t, 64> reply) {
        for (size_t i = 0; i < q.length && q.address + i < area.size(); ++i) {
            reply[8 + i] = area[q.address + i];
        }
    }
    static void copyIn(std::vector<uint8_t>& area, const FakeRequest& q) {
        for (size_t i = 0; i < q.data.size() && q.address + i < area.size(); ++i) {
            area[q.address + i] = q.data[i];
        }
    }
};

} // namespace tarvik::testing
