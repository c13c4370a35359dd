// The device link started against the virtual keyboard of the program folder's libportmux.so, as the
// program starts it, for round trips of the store through a keyboard. Each test starts from a factory
// fresh, attached keyboard whose flash is not persisted.
#pragma once

#include "device/HeadlessWindowPort.h"
#include "device/LinkSession.h"
#include "portmux/include/portmux_sim.h"
#include "tests/support/SimLibrary.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace tarvik::testing {

class QuietWindow final : public device::HeadlessWindowPort {
public:
    void showMessage(std::string_view key) override { ADD_FAILURE() << "unexpected message " << key; }
};

inline device::LinkTiming simTiming() {
    device::LinkTiming t;
    t.endWritePause = device::LinkTiming::ms{1};
    t.readyPoll = device::LinkTiming::ms{1};
    return t;
}

class SimKeyboardTest : public ::testing::Test {
protected:
    void SetUp() override {
        testsupport::useVirtualKeyboard();
        session = std::make_unique<device::LinkSession>(state, window, simTiming());
        std::string detail;
        ASSERT_EQ(session->open(testsupport::programFolder(), device::OnBindFailure::Report, &detail),
                  device::BindResult::Ok)
            << detail;
        sim = testsupport::simControlOf(session->service().module);
        ASSERT_NE(sim, nullptr) << "the program folder's libportmux.so must run the sim back end";
        ASSERT_TRUE(session->events().waitPresenceIdle(std::chrono::seconds(20)));
        sim->reset();
        ASSERT_TRUE(sim->waitIdle(5000));
        ASSERT_TRUE(session->events().waitPresenceIdle(std::chrono::seconds(20)));
        ASSERT_GT(state.macroCapacity.load(), 0u);
    }
    void TearDown() override {
        if (sim != nullptr) {
            EXPECT_EQ(sim->violationCount(), 0u) << sim->violationSummary();
        }
        session.reset();
    }
    device::Commands& commands() { return session->commands(); }

    device::AppLinkState state;
    QuietWindow window;
    std::unique_ptr<device::LinkSession> session;
    PortmuxSimControl* sim = nullptr;
};

} // namespace tarvik::testing
