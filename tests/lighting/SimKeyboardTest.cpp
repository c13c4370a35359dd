// Lighting writes against the virtual keyboard, through the real service library and request channel:
// what the keyboard holds afterwards, and that it saw no protocol violation.
#include "device/AppLinkState.h"
#include "device/DeviceLink.h"
#include "device/ServiceBinding.h"
#include "lighting/LightingState.h"
#include "lighting/UserFiles.h"
#include "portmux/include/portmux_sim.h"
#include "tests/lighting/TestFolder.h"
#include "tests/support/SimLibrary.h"

#include <gtest/gtest.h>

namespace tarvik::lighting {
namespace {

using Area = portmux::sim::Area;

class NoEvents final : public device::LinkEvents {
public:
    void onConsumerCode(uint16_t) override {}
    void onDeviceCount(int) override {}
};

device::LinkTiming simTiming() {
    device::LinkTiming t;
    t.takeOver = device::LinkTiming::ms{100};
    t.replyWait = device::LinkTiming::ms{500};
    t.retryPause = device::LinkTiming::ms{1};
    t.endWritePause = device::LinkTiming::ms{1};
    return t;
}

// One binding for the whole run: the library stays loaded once bound.
struct Keyboard {
    device::ServiceTable service;
    device::AppLinkState appState;
    std::unique_ptr<device::DeviceLink> link;
    std::unique_ptr<device::Commands> commands;
    NoEvents events;
    PortmuxSimControl* sim = nullptr;
    std::string failure;

    Keyboard() {
        // Never a real keyboard, never a state file, whatever the caller's environment says.
        testsupport::useVirtualKeyboard();
        std::string detail;
        if (auto rc = device::bindService(service, testsupport::programFolder(), &detail);
            rc != device::BindResult::Ok) {
            failure = device::describeBindFailure(rc, detail);
            return;
        }
        sim = testsupport::simControlOf(service.module);
        if (sim == nullptr) {
            failure = "the service library does not run the virtual keyboard";
            return;
        }
        link = std::make_unique<device::DeviceLink>(service, appState, simTiming());
        link->startChannel(events);
        commands = std::make_unique<device::Commands>(*link, simTiming());
    }
    static Keyboard& get() {
        static Keyboard k;
        return k;
    }
};

class SimLighting : public testing::Test {
protected:
    void SetUp() override {
        kb = &Keyboard::get();
        ASSERT_TRUE(kb->failure.empty()) << kb->failure;
        kb->sim->reset();
        ASSERT_TRUE(kb->sim->waitIdle(3000));
        kb->sim->clearReports();
        folder = test::freshFolder();
    }
    void TearDown() override {
        if (kb->sim != nullptr) {
            EXPECT_EQ(kb->sim->violationCount(), 0u) << kb->sim->violationSummary();
        }
    }
    Keyboard* kb = nullptr;
    std::filesystem::path folder;
};

TEST_F(SimLighting, ReadsTheFactoryStateAndWritesParametersIntoTheRightProfile) {
    LightingState state(*kb->commands, folder);
    state.setProfile(1);
    ASSERT_EQ(state.readLighting(), 1);
    // Factory settings are the restore-defaults block: mode 1, brightness 5, speed 3, random on.
    EXPECT_EQ(state.mode(), 1);
    EXPECT_EQ(state.brightness(), 5);
    EXPECT_EQ(state.speed(), 3);
    EXPECT_TRUE(state.random());
    EXPECT_EQ(state.preset(), 0);
    EXPECT_TRUE(state.modes().supports(kUserMode));
    EXPECT_EQ(state.modes().size(), 19u);

    state.enablePanel();
    state.setBrightness(2);
    state.setSpeed(5);
    state.setEffectColour(Rgb{1, 2, 3});
    state.selectModeCode(12);
    state.setDirection(1);

    auto settings = kb->sim->area(Area::Settings);
    ASSERT_EQ(settings.size(), 126u);
    EXPECT_EQ(settings[42 + 0], 12);
    EXPECT_EQ(settings[42 + 1], 2);
    EXPECT_EQ(settings[42 + 2], 0);
    EXPECT_EQ(settings[42 + 3], 1);
    EXPECT_EQ(settings[42 + 4], 0);
    EXPECT_EQ(settings[42 + 5], 1);
    EXPECT_EQ(settings[42 + 6], 2);
    EXPECT_EQ(settings[42 + 7], 3);
    // Profiles 0 and 2 are untouched.
    EXPECT_EQ(settings[0 + 1], 5);
    EXPECT_EQ(settings[84 + 1], 5);

    // A fresh read shows what the keyboard now holds.
    LightingState again(*kb->commands, folder);
    again.setProfile(1);
    ASSERT_EQ(again.readLighting(), 1);
    EXPECT_EQ(again.mode(), 12);
    EXPECT_EQ(again.view().speedPosition, 5);
    EXPECT_EQ(again.effectColour(), (Rgb{1, 2, 3}));
}

TEST_F(SimLighting, UserModeUploadsTheSlotIntoTheProfilesColourTable) {
    test::writeText(userLightingFilePath(folder, 2), "[Mode0]\n64=10,20,30,0\n0=1,2,3,0\n");
    LightingState state(*kb->commands, folder);
    state.setProfile(2);
    ASSERT_EQ(state.readLighting(), 1);
    state.enablePanel();
    state.selectModeCode(kUserMode);

    auto colours = kb->sim->area(Area::Colours);
    ASSERT_EQ(colours.size(), 1536u);
    const size_t base = 2 * 512;
    EXPECT_EQ(colours[base + 64 * 3], 10);
    EXPECT_EQ(colours[base + 64 * 3 + 1], 20);
    EXPECT_EQ(colours[base + 64 * 3 + 2], 30);
    EXPECT_EQ(colours[base + 0], 1);
    // Positions 126..143 carry the table's zeros; what lies beyond stays as the keyboard had it.
    EXPECT_EQ(colours[base + 126 * 3], 0);
    EXPECT_EQ(colours[base + 144 * 3], 0xFF);
    // Profile 0 keeps its factory colours.
    EXPECT_EQ(colours[64 * 3], 0xFF);

    // One painted key goes out alone.
    kb->sim->clearReports();
    state.user().setPaintColour(Rgb{0, 0, 255});
    ASSERT_TRUE(state.paintKey(0));
    auto reports = kb->sim->reports();
    ASSERT_EQ(reports.size(), 3u);
    EXPECT_EQ(reports[1][3], device::CMD_WRITE_COLOURS);
    EXPECT_EQ(reports[1][4], 3);
    colours = kb->sim->area(Area::Colours);
    EXPECT_EQ(colours[base + 64 * 3 + 2], 255);
}

TEST_F(SimLighting, RestoreDefaultsPutsTheDefaultBlockBack) {
    LightingState state(*kb->commands, folder);
    state.setProfile(0);
    ASSERT_EQ(state.readLighting(), 1);
    auto factory = kb->sim->area(Area::Settings);
    state.enablePanel();
    state.selectModeCode(6);
    state.setBrightness(1);
    state.restoreDefaults();
    auto settings = kb->sim->area(Area::Settings);
    for (size_t i = 0; i < kDefaultParamsBlock.size(); ++i) {
        EXPECT_EQ(settings[i], kDefaultParamsBlock[i]) << i;
    }
    EXPECT_EQ(settings, factory);
}

} // namespace
} // namespace tarvik::lighting
