// A test that talks to the virtual keyboard through the real exported entry points.
#pragma once

#include "tests/portmux/PortmuxLib.h"

#include <gtest/gtest.h>

namespace portmux::test {

class SimLibTest : public ::testing::Test {
protected:
    void SetUp() override {
        lib = &Lib::get();
        ASSERT_GT(lib->initResult, 0);
        sim = lib->sim();
        ASSERT_NE(sim, nullptr) << "PORTMUX_BACKEND=sim expected";
        sim->reset();
        ASSERT_TRUE(sim->waitIdle(3000));
        Recorder::get().setHook(nullptr);
        Recorder::get().clear();
        ctrl = registerRead(kConfigUnit, PORTMUX_TAG_CTRL);
        cons = registerRead(kConsumerUnit, PORTMUX_TAG_CONS);
        ASSERT_NE(ctrl, 0u);
        ASSERT_NE(cons, 0u);
    }
    void TearDown() override {
        Recorder::get().setHook(nullptr);
        lib->DeleteRequestFromUnitId(ctrl);
        lib->DeleteRequestFromUnitId(cons);
    }
    void expectNoViolations() { EXPECT_EQ(sim->violationCount(), 0u) << sim->violationSummary(); }

    // Exchanges a report and asserts a reply with the same command and status 0.
    Report ok(const Report& r) {
        auto reply = exchange(r);
        EXPECT_TRUE(reply.has_value()) << "no reply to command " << int(r[3]);
        if (!reply) {
            return Report{};
        }
        EXPECT_EQ((*reply)[3], r[3]);
        EXPECT_EQ((*reply)[7], 0) << "status of command " << int(r[3]);
        return *reply;
    }
    // Writes bytes in 56-byte chunks with `command` at base + offset (inside a frame of its own).
    void writeChunked(uint8_t command, uint16_t base, const std::vector<uint8_t>& bytes, bool frame = true) {
        if (frame) {
            ok(request(sim::kBeginWrite));
        }
        for (size_t off = 0; off < bytes.size(); off += sim::kChunkSize) {
            const size_t n = std::min(sim::kChunkSize, bytes.size() - off);
            std::vector<uint8_t> chunk(bytes.begin() + static_cast<std::ptrdiff_t>(off),
                                       bytes.begin() + static_cast<std::ptrdiff_t>(off + n));
            ok(request(command, static_cast<uint8_t>(n), static_cast<uint16_t>(base + off), chunk));
        }
        if (frame) {
            ok(request(sim::kEndWrite));
        }
    }
    std::vector<uint8_t> readChunked(uint8_t command, uint16_t base, size_t size) {
        std::vector<uint8_t> out;
        for (size_t off = 0; off < size; off += sim::kChunkSize) {
            const size_t n = std::min(sim::kChunkSize, size - off);
            Report reply = ok(request(command, static_cast<uint8_t>(n), static_cast<uint16_t>(base + off)));
            out.insert(out.end(), reply.begin() + 8, reply.begin() + 8 + static_cast<std::ptrdiff_t>(n));
        }
        return out;
    }

    Lib* lib = nullptr;
    PortmuxSimControl* sim = nullptr;
    uint32_t ctrl = 0;
    uint32_t cons = 0;
};

inline std::vector<uint8_t> pattern(size_t n, uint8_t seed) {
    std::vector<uint8_t> v(n);
    for (size_t i = 0; i < n; ++i) {
        v[i] = static_cast<uint8_t>(seed + i * 7);
    }
    return v;
}

} // namespace portmux::test
