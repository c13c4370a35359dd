#include "ui/SkinScale.h"

#include <gtest/gtest.h>

namespace tarvik::ui {
namespace {

TEST(SkinScale, FitsTheWindowIntoTheAvailableArea) {
    struct Case {
        int w, h, aw, ah;
        double expected;
    };
    const Case cases[] = {
        {1300, 716, 1920, 1040, 1.0},          // fits
        {1300, 716, 1300, 716, 1.0},           // exactly
        {1300, 716, 1280, 720, 1280.0 / 1300}, // 1920 x 1080 at 150 %: too wide
        {1300, 716, 1280, 680, 680.0 / 716},   // ... and a panel takes height
        {1300, 716, 0, 0, 1.0},                // no screen known
        {0, 0, 800, 600, 1.0},                 // no skin
    };
    for (const Case& c : cases) {
        EXPECT_DOUBLE_EQ(fitScale(c.w, c.h, c.aw, c.ah), c.expected) << c.aw << "x" << c.ah;
    }
}

TEST(SkinScale, AdjoiningRectanglesStayAdjoining) {
    // Keys 44 wide with a 4-pixel gap, as the main window lays them out.
    const double s = 1280.0 / 1300;
    for (int x = 150; x < 1200; x += 48) {
        const SkinRect a = scaleRect({x, 153, 44, 44}, s);
        const SkinRect gap = scaleRect({x + 44, 153, 4, 44}, s);
        const SkinRect b = scaleRect({x + 48, 153, 44, 44}, s);
        EXPECT_EQ(a.x + a.w, gap.x);
        EXPECT_EQ(gap.x + gap.w, b.x);
    }
    EXPECT_EQ(scaleRect({10, 20, 30, 40}, 1.0), (SkinRect{10, 20, 30, 40}));
    EXPECT_EQ(scaleRect({10, 20, 30, 40}, 0.5), (SkinRect{5, 10, 15, 20}));
    EXPECT_EQ(scaleRect({10, 10, 1, 1}, 0.1).w, 1); // never vanishes
}

} // namespace
} // namespace tarvik::ui
