// What the keyboard sends unasked, end to end: the virtual keyboard's plug, unplug and consumer codes
// through the link to the presence and icon workers and the recording main window.
#include "device/KeyboardEvents.h"
#include "tests/device/SimHarness.h"

#include <thread>

namespace tarvik::device::test {
namespace {

using portmux::sim::Area;
using portmux::sim::FaultKind;

class KeyboardEventsSim : public SimTest {
protected:
    bool settle() {
        return sim->waitIdle(5000) && session->events().waitPresenceIdle(std::chrono::seconds(10)) &&
               session->events().waitIconsIdle(std::chrono::seconds(10));
    }
    size_t reloads() const { return window.count(WindowEvent::Send, MSG_PROFILE_SYNC); }
};

TEST_F(KeyboardEventsSim, ArrivalAtStartReadsTheKeyboardAndOpensTheWindow) {
    std::vector<uint8_t> handedOver;
    session = std::make_unique<LinkSession>(state, window, testTiming());
    session->setDefaultKeyBlockSink(
        [&](std::span<const uint8_t, kKeyBlockSize> b) { handedOver.assign(b.begin(), b.end()); });
    ASSERT_EQ(session->open(programFolder(), OnBindFailure::Report), BindResult::Ok);
    ASSERT_TRUE(settle());

    auto block = state.defaultKeyBlock.get();
    ASSERT_TRUE(block.has_value());
    auto factory = sim->area(Area::DefaultKeyBlock);
    EXPECT_TRUE(std::equal(block->begin(), block->end(), factory.begin()));
    EXPECT_TRUE(std::equal(handedOver.begin(), handedOver.end(), factory.begin()));
    EXPECT_EQ(handedOver.size(), kKeyBlockSize);
    EXPECT_EQ(state.macroCapacity.load(), 8192u);
    EXPECT_EQ(state.devicePresence.load(), 1);

    const std::vector<WindowEvent> expected = {
        {WindowEvent::Send, MSG_PROFILE_SYNC, kCodeProf, {}},
        {WindowEvent::Icon, kIconKeyboard, 0, {}},
        {WindowEvent::Post, MSG_OPEN, kCodeOpen, {}},
    };
    EXPECT_EQ(window.events(), expected);
    EXPECT_TRUE(state.suppressAutoOpen.load());
}

TEST_F(KeyboardEventsSim, NoKeyboardAtStartMeansTheWindowNeverOpensByItself) {
    ASSERT_TRUE(sim->unplug());
    ASSERT_TRUE(sim->waitIdle(5000));
    open();
    EXPECT_TRUE(state.suppressAutoOpen.load());
    EXPECT_TRUE(window.events().empty()); // count 0 as before: nothing changed

    ASSERT_TRUE(sim->plug());
    ASSERT_TRUE(settle());
    EXPECT_EQ(reloads(), 1u);
    EXPECT_EQ(window.icons(), std::vector<uint32_t>{kIconKeyboard});
    EXPECT_EQ(window.count(WindowEvent::Post, MSG_OPEN), 0u);
}

TEST_F(KeyboardEventsSim, UnplugAndPlugAgain) {
    open();
    window.clear();
    state.currentProfile = 1;
    ASSERT_TRUE(sim->unplug());
    ASSERT_TRUE(settle());
    const std::vector<WindowEvent> lost = {
        {WindowEvent::Send, MSG_DEVICE_LOST, 0, {}},
        {WindowEvent::Hide, 0, 0, {}},
        {WindowEvent::Icon, kIconNoKeyboard, 0, {}},
    };
    EXPECT_EQ(window.events(), lost);
    EXPECT_EQ(state.currentProfile.load(), -1);
    EXPECT_EQ(state.devicePresence.load(), 0);

    window.clear();
    ASSERT_TRUE(sim->plug());
    ASSERT_TRUE(settle());
    const std::vector<WindowEvent> back = {
        {WindowEvent::Send, MSG_PROFILE_SYNC, kCodeProf, {}},
        {WindowEvent::Icon, kIconKeyboard, 0, {}},
    };
    EXPECT_EQ(window.events(), back); // reloaded, but not opened again
}

TEST_F(KeyboardEventsSim, ReportsOfTheSameCountGiveOneReload) {
    ASSERT_TRUE(sim->unplug());
    ASSERT_TRUE(sim->waitIdle(5000));
    open();
    ASSERT_TRUE(sim->plug());
    // Two more reports of the same count, arriving while the first is still being handled.
    session->events().onDeviceCount(1);
    session->events().onDeviceCount(1);
    ASSERT_TRUE(settle());
    EXPECT_EQ(reloads(), 1u);
    EXPECT_EQ(reportsWithCommand(CMD_READ_DEFAULT_KEYS), 7u);
}

TEST_F(KeyboardEventsSim, QuickUnplugPlugEndsInTheStateOfTheLastReport) {
    open();
    window.clear();
    session->events().onDeviceCount(0);
    session->events().onDeviceCount(1);
    session->events().onDeviceCount(0);
    ASSERT_TRUE(settle());
    EXPECT_EQ(state.devicePresence.load(), 0);
    EXPECT_EQ(window.icons().back(), static_cast<uint32_t>(kIconNoKeyboard));
}

TEST_F(KeyboardEventsSim, AnUnreadableDefaultBlockIsReportedAndTheArrivalGoesOn) {
    ASSERT_TRUE(sim->unplug());
    ASSERT_TRUE(sim->waitIdle(5000));
    open();
    sim->injectFault(fault(FaultKind::NoReply, 3, CMD_READ_DEFAULT_KEYS));
    ASSERT_TRUE(sim->plug());
    ASSERT_TRUE(settle());
    EXPECT_FALSE(state.defaultKeyBlock.get().has_value()); // the previous (none) is kept
    EXPECT_EQ(window.count(WindowEvent::Message, 0), 1u);
    EXPECT_EQ(window.events().front().key, kDefaultMatrixPrompt);
    EXPECT_EQ(state.macroCapacity.load(), 8192u);
    EXPECT_EQ(reloads(), 1u);
}

TEST_F(KeyboardEventsSim, AnUnreadableConfigurationKeepsTheCapacity) {
    ASSERT_TRUE(sim->unplug());
    ASSERT_TRUE(sim->waitIdle(5000));
    open();
    state.macroCapacity = 1234;
    sim->injectFault(fault(FaultKind::BusyFF, 3, CMD_READ_CONFIG));
    ASSERT_TRUE(sim->plug());
    ASSERT_TRUE(settle());
    EXPECT_EQ(state.macroCapacity.load(), 1234u);
    EXPECT_TRUE(state.defaultKeyBlock.get().has_value());
    EXPECT_EQ(reloads(), 1u);
}

TEST_F(KeyboardEventsSim, TheIconWaitsForTheReadyWindow) {
    ASSERT_TRUE(sim->unplug());
    ASSERT_TRUE(sim->waitIdle(5000));
    open();
    window.ready = false;
    std::atomic<bool> synced{false};
    window.setSendHook([&](uint32_t message) { synced = synced || message == MSG_PROFILE_SYNC; });
    ASSERT_TRUE(sim->plug());
    while (!synced) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_TRUE(window.icons().empty());
    EXPECT_EQ(state.devicePresence.load(), 0);
    window.ready = true;
    ASSERT_TRUE(settle());
    EXPECT_EQ(window.icons(), std::vector<uint32_t>{kIconKeyboard});
    EXPECT_EQ(state.devicePresence.load(), 1);
}

TEST_F(KeyboardEventsSim, LayerSwitchTwiceRestoresTheFirstState) {
    open();
    window.clear();
    ASSERT_TRUE(sim->sendConsumer(kCodeLayerSwitch));
    ASSERT_TRUE(settle());
    EXPECT_EQ(sim->lastLinkStatus(), (portmux::sim::LinkStatusBytes{0x05, 0x03}));
    EXPECT_EQ(state.linkStatusMode.load() & 1, 1);
    ASSERT_TRUE(sim->sendConsumer(kCodeLayerSwitch));
    ASSERT_TRUE(settle());
    EXPECT_EQ(sim->lastLinkStatus(), (portmux::sim::LinkStatusBytes{0x05, 0x02}));
    EXPECT_EQ(state.linkStatusMode.load(), kInitialLinkStatusMode);
    const std::vector<WindowEvent> expected(
        2, WindowEvent{WindowEvent::Send, MSG_KEYMODE_CHANGED, kCodeLed, {}});
    EXPECT_EQ(window.events(), expected);
}

TEST_F(KeyboardEventsSim, TheLayerMessageDoesNotHoldUpRepliesToTheWindowsOwnExchange) {
    // The window handles the message on its thread, which may be waiting for a reply right then; here
    // the handler itself exchanges with the keyboard.
    open();
    std::atomic<int> handlerResult{99};
    window.setSendHook([&](uint32_t message) {
        if (message == MSG_KEYMODE_CHANGED) {
            std::array<uint8_t, kConfigSize> config{};
            handlerResult = session->commands().readConfig(config);
        }
    });
    ASSERT_TRUE(sim->sendConsumer(kCodeLayerSwitch));
    ASSERT_TRUE(settle());
    EXPECT_EQ(handlerResult.load(), kOk);
}

TEST_F(KeyboardEventsSim, LightingChangeOnTheKeyboardStartsTheReloadTimer) {
    open();
    window.clear();
    ASSERT_TRUE(sim->sendConsumer(kCodeLightingChanged));
    ASSERT_TRUE(settle());
    const std::vector<WindowEvent> expected = {{WindowEvent::Timer, kTimerLightingReload, 0, {}}};
    EXPECT_EQ(window.events(), expected);
}

TEST_F(KeyboardEventsSim, ActivityIconsFollowTheCodesInOrder) {
    open();
    window.clear();
    for (int i = 0; i < 5; ++i) {
        ASSERT_TRUE(sim->sendConsumer(kCodeActivityStart));
        ASSERT_TRUE(sim->sendConsumer(kCodeActivityEnd));
    }
    ASSERT_TRUE(settle());
    std::vector<uint32_t> expected;
    for (int i = 0; i < 5; ++i) {
        expected.push_back(kIconActivity);
        expected.push_back(kIconKeyboard);
    }
    EXPECT_EQ(window.icons(), expected);

    // Without a keyboard the end of the activity goes back to the no-keyboard icon.
    ASSERT_TRUE(sim->unplug());
    ASSERT_TRUE(settle());
    window.clear();
    session->events().onConsumerCode(kCodeActivityStart);
    session->events().onConsumerCode(kCodeActivityEnd);
    ASSERT_TRUE(settle());
    EXPECT_EQ(window.icons(), (std::vector<uint32_t>{kIconActivity, kIconNoKeyboard}));
}

TEST_F(KeyboardEventsSim, OtherCodesChangeNothing) {
    open();
    window.clear();
    const uint32_t statusBefore = sim->linkStatusCount();
    for (uint16_t code : {0x1801, 0x1802, 0x1803, 0x1804, 0x0000, 0x02FE, 0x1812, 0xFFFF}) {
        ASSERT_TRUE(sim->sendConsumer(code));
    }
    ASSERT_TRUE(settle());
    EXPECT_TRUE(window.events().empty());
    EXPECT_EQ(sim->linkStatusCount(), statusBefore);
    EXPECT_EQ(sim->reportCount(), 0u);
    EXPECT_EQ(state.linkStatusMode.load(), kInitialLinkStatusMode);
}

} // namespace
} // namespace tarvik::device::test
