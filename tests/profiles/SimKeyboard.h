// The device link started against the virtual keyboard of the program folder's libportmux.so, as the
// program starts it, for round trips of the store through a keyboard. Each test starts from a factory
// fresh, attached keyboard whose flash is not persisted.
#pragma once

#include "device/LinkSession.h"
#include "portmux/include/portmux_sim.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <dlfcn.h>
#include <memory>
#include <string>

namespace tarvik::testing {

inline std::string programFolder() {
    const char* dir = std::getenv("TARVIK_BIN_DIR");
    return dir != nullptr && dir[0] != '\0' ? dir : PROFILES_TEST_BIN_DIR;
}

class QuietWindow final : public device::MainWindowPort {
public:
    intptr_t sendMessage(uint32_t, uint32_t) override { return 0; }
    void postMessage(uint32_t, uint32_t) override {}
    void hide() override {}
    bool isReady() const override { return true; }
    void setIcon(int) override {}
    void startTimer(int, int) override {}
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
        ::setenv("PORTMUX_BACKEND", "sim", 1);
        ::setenv("PORTMUX_SIM_STATE", "", 1);
        session = std::make_unique<device::LinkSession>(state, window, simTiming());
        std::string detail;
        ASSERT_EQ(session->open(programFolder(), device::OnBindFailure::Report, &detail),
                  device::BindResult::Ok)
            << detail;
        auto get = reinterpret_cast<PortmuxSimControlGetFn>(
            ::dlsym(session->service().module, "PortmuxSimControlGet"));
        ASSERT_NE(get, nullptr);
        sim = get();
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
