#include "app/TrayClicks.h"

#include <gtest/gtest.h>

#include <vector>

namespace tarvik::app {
namespace {

using A = TrayActivation;

struct Gesture {
    const char* what;
    std::vector<A> reasons;
    int opens;
};

TEST(TrayClicksTest, EachGestureOpensTheWindowAtMostOnce) {
    const std::vector<Gesture> gestures = {
        {"StatusNotifier left click", {A::Trigger}, 1},
        {"two StatusNotifier clicks", {A::Trigger, A::Trigger}, 2},
        {"XEmbed double click", {A::Trigger, A::DoubleClick}, 1},
        {"two XEmbed double clicks", {A::Trigger, A::DoubleClick, A::Trigger, A::DoubleClick}, 2},
        {"double click from a host without a trigger", {A::DoubleClick}, 1},
        {"double click after the menu", {A::Trigger, A::Context, A::DoubleClick}, 2},
        {"middle click", {A::MiddleClick}, 0},
        {"context menu", {A::Context}, 0},
        {"unknown", {A::Unknown}, 0},
    };
    for (const Gesture& g : gestures) {
        TrayClicks clicks;
        int opened = 0;
        for (A reason : g.reasons) {
            opened += clicks.opens(reason) ? 1 : 0;
        }
        EXPECT_EQ(opened, g.opens) << g.what;
    }
}

} // namespace
} // namespace tarvik::app
