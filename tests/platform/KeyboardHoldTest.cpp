#include "platform/KeyboardHold.h"

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace tarvik {
namespace {

struct FakeGrabber final : KeyboardGrabber {
    bool grants = true;
    int grabs = 0;
    int releases = 0;
    bool held() const { return grabs - releases == 1; }
    bool grab() override {
        EXPECT_FALSE(held()) << "grabbed twice";
        grabs += grants ? 1 : 0;
        return grants;
    }
    void release() override {
        EXPECT_TRUE(held()) << "released without a grab";
        ++releases;
    }
};

// Every way out of a capture gives the keyboard back, whatever happened before it.
TEST(KeyboardHoldTest, EveryWayOutOfACaptureReleasesTheGrab) {
    struct WayOut {
        std::string what;
        std::function<void(std::optional<KeyboardHold>&)> leave;
    };
    const std::vector<WayOut> ways = {
        {"OK, Cancel, another tab or an unplug ends the capture",
         [](std::optional<KeyboardHold>& h) { h->setCapturing(false); }},
        {"focus lost", [](std::optional<KeyboardHold>& h) { h->setWindowActive(false); }},
        {"window closed or program ended", [](std::optional<KeyboardHold>& h) { h.reset(); }},
    };
    for (const WayOut& way : ways) {
        FakeGrabber grabber;
        std::optional<KeyboardHold> hold(std::in_place, grabber);
        hold->setCapturing(true);
        EXPECT_EQ(grabber.grabs, 0) << way.what << ": no grab before the window is active";
        hold->setWindowActive(true);
        EXPECT_TRUE(grabber.held()) << way.what;
        hold->setWindowActive(true); // a repeated activation grabs no second time
        way.leave(hold);
        EXPECT_EQ(grabber.grabs, 1) << way.what;
        EXPECT_EQ(grabber.releases, 1) << way.what;
        hold.reset();
        EXPECT_EQ(grabber.releases, 1) << way.what << ": released once";
    }
}

TEST(KeyboardHoldTest, FocusComingBackDuringACaptureGrabsAgain) {
    FakeGrabber grabber;
    KeyboardHold hold(grabber);
    hold.setWindowActive(true);
    hold.setCapturing(true);
    hold.setWindowActive(false);
    hold.setWindowActive(true);
    EXPECT_EQ(grabber.grabs, 2);
    EXPECT_TRUE(hold.held());
}

TEST(KeyboardHoldTest, ARefusedGrabIsToldAndAskedAgainOnlyOnTheNextActivationOrCapture) {
    FakeGrabber grabber;
    grabber.grants = false;
    KeyboardHold hold(grabber);
    EXPECT_FALSE(hold.desktopMayKeepKeys());
    hold.setWindowActive(true);
    hold.setCapturing(true);
    EXPECT_FALSE(hold.held());
    EXPECT_TRUE(hold.desktopMayKeepKeys());

    grabber.grants = true;
    hold.setWindowActive(false);
    EXPECT_TRUE(hold.desktopMayKeepKeys()) << "the hint stays while the capture goes on";
    hold.setWindowActive(true);
    EXPECT_TRUE(hold.held());
    EXPECT_FALSE(hold.desktopMayKeepKeys());

    hold.setCapturing(false);
    EXPECT_FALSE(hold.desktopMayKeepKeys());
    EXPECT_EQ(grabber.releases, 1);
}

} // namespace
} // namespace tarvik
