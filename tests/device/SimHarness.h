// The device link started against the virtual keyboard of the program folder's libportmux.so, with a
// recording main window and short timing. Each test starts from a factory-fresh, attached keyboard.
#pragma once

#include "device/LinkSession.h"
#include "portmux/include/portmux_sim.h"
#include "tests/device/RecordingWindow.h"
#include "tests/device/TestTiming.h"
#include "tests/support/ScopedEnv.h"
#include "tests/support/SimLibrary.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

namespace tarvik::device::test {

using testsupport::programFolder;
using testsupport::useVirtualKeyboard;

// The virtual keyboard's control interface; loads and initialises the library on first use.
inline PortmuxSimControl* simControl() {
    static PortmuxSimControl* control = [] {
        useVirtualKeyboard();
        ServiceTable table;
        std::string detail;
        if (bindService(table, programFolder(), &detail) != BindResult::Ok) {
            ADD_FAILURE() << describeBindFailure(BindResult::NoLibrary, detail) << " " << detail;
            return static_cast<PortmuxSimControl*>(nullptr);
        }
        return testsupport::simControlOf(table.module);
    }();
    return control;
}

class SimTest : public testing::Test {
protected:
    void SetUp() override {
        // A runtime folder of its own, so the keyboard lock file of tests that run side by side (each on
        // its own virtual keyboard) does not make them wait for each other.
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        const char* base = std::getenv("XDG_RUNTIME_DIR");
        runtime = std::filesystem::path(base != nullptr ? base : "/tmp") /
                  (std::string(info->test_suite_name()) + "." + info->name());
        std::filesystem::create_directories(runtime);
        std::filesystem::permissions(runtime, std::filesystem::perms::owner_all);
        runtimeEnv = std::make_unique<testsupport::ScopedEnv>("XDG_RUNTIME_DIR", runtime.string());
        sim = simControl();
        ASSERT_NE(sim, nullptr) << "PORTMUX_BACKEND=sim and the program folder's libportmux.so are needed";
        sim->reset();
        ASSERT_TRUE(sim->waitIdle(5000));
    }
    void TearDown() override {
        session.reset();
        if (sim != nullptr) {
            EXPECT_EQ(sim->violationCount(), 0u) << sim->violationSummary();
            sim->clearFaults();
            sim->setLatencyMs(0);
        }
        runtimeEnv.reset();
    }
    // Starts the link as the program does; waits until the arrival at start has been handled.
    void open(const LinkTiming& timing = testTiming()) {
        session = std::make_unique<LinkSession>(state, window, timing);
        ASSERT_EQ(session->open(programFolder(), OnBindFailure::Report), BindResult::Ok);
        ASSERT_TRUE(session->events().waitPresenceIdle(std::chrono::seconds(10)));
        ASSERT_TRUE(sim->waitIdle(5000));
        sim->clearReports();
    }
    DeviceLink& link() { return session->link(); }
    Commands& commands() { return session->commands(); }
    int rawTransact(uint8_t command, std::array<uint8_t, kReportSize>& reply, size_t& delivered) {
        std::array<uint8_t, kReportSize> request{};
        request[0] = kReportId;
        request[kOffCommand] = command;
        request[kOffLength] = command == CMD_READ_CONFIG ? kConfigSize : 0;
        setChecksum(request);
        return link().transact(request, reply, delivered);
    }
    size_t reportsWithCommand(uint8_t command) {
        size_t n = 0;
        for (const auto& r : sim->reports()) {
            n += r[kOffCommand] == command ? 1 : 0;
        }
        return n;
    }
    static portmux::sim::Fault fault(portmux::sim::FaultKind kind, uint32_t count, uint8_t command = 0,
                                     uint32_t delayMs = 0) {
        portmux::sim::Fault f;
        f.kind = kind;
        f.count = count;
        f.command = command;
        f.delayMs = delayMs;
        return f;
    }

    PortmuxSimControl* sim = nullptr;
    std::filesystem::path runtime;
    std::unique_ptr<testsupport::ScopedEnv> runtimeEnv;
    AppLinkState state;
    RecordingWindow window;
    std::unique_ptr<LinkSession> session;
};

} // namespace tarvik::device::test
