// How the preview looks (the blend that keeps a light's hue) and when its timer may stop.
#include "lighting/LightBlend.h"
#include "lighting/PreviewPacer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace tarvik::lighting {
namespace {

// Hue in degrees 0..360, -1 for a grey.
double hue(Rgb c) {
    const double r = c.r / 255.0, g = c.g / 255.0, b = c.b / 255.0;
    const double hi = std::max({r, g, b}), lo = std::min({r, g, b}), d = hi - lo;
    if (d < 1e-9) {
        return -1;
    }
    double h = hi == r ? std::fmod((g - b) / d, 6.0) : hi == g ? (b - r) / d + 2 : (r - g) / d + 4;
    h *= 60;
    return h < 0 ? h + 360 : h;
}

double hueDistance(double a, double b) {
    double d = std::fabs(a - b);
    return std::min(d, 360 - d);
}

// The old tint: the colour mixed in with alpha 50.
Rgb alphaMix(Rgb base, Rgb over, int alpha) {
    auto m = [alpha](uint8_t b, uint8_t o) {
        return static_cast<uint8_t>((o * alpha + b * (255 - alpha)) / 255);
    };
    return Rgb{m(base.r, over.r), m(base.g, over.g), m(base.b, over.b)};
}

TEST(LightBlend, ALitDarkCapKeepsTheLightsHueWhereTheAlphaMixLostIt) {
    // A key cap of the generated skin: dark, slightly blue-grey.
    const Rgb cap{42, 45, 52};
    const Rgb lights[] = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 128, 0}, {128, 0, 255}, {0, 200, 200}};
    for (Rgb light : lights) {
        const Rgb lit = litPixel(cap, light);
        EXPECT_LT(hueDistance(hue(lit), hue(light)), 6.0)
            << int(light.r) << "," << int(light.g) << "," << int(light.b);
        // And it reads as light: its strongest channel is near the light's.
        EXPECT_GE(std::max({lit.r, lit.g, lit.b}), 0.9 * std::max({light.r, light.g, light.b}));
        // The old mix was both far dimmer and, for these, far off the hue or washed out.
        const Rgb mixed = alphaMix(cap, light, 50);
        EXPECT_LT(std::max({mixed.r, mixed.g, mixed.b}), 100);
    }
}

TEST(LightBlend, AddingIsNeutralForBlackAndHeldAtWhite) {
    const Rgb samples[] = {{0, 0, 0}, {42, 45, 52}, {230, 230, 230}, {255, 255, 255}, {12, 200, 99}};
    for (Rgb base : samples) {
        EXPECT_EQ(addBlend(base, Rgb{0, 0, 0}), base);
        EXPECT_EQ(addBlend(base, Rgb{255, 255, 255}), (Rgb{255, 255, 255}));
        EXPECT_EQ(addBlend(base, Rgb{90, 10, 200}), addBlend(Rgb{90, 10, 200}, base)); // symmetric
    }
    // A white legend stays white whatever the light; a sum past white is held there, never wrapped.
    EXPECT_EQ(litPixel(Rgb{255, 255, 255}, Rgb{255, 0, 0}), (Rgb{255, 255, 255}));
    EXPECT_EQ(addChannel(200, 100), 255);
    EXPECT_EQ(addChannel(100, 100), 200);
}

TEST(PreviewPacer, StillModesDrawOnceAnimatedOnesStopAfterAnIdleStretch) {
    for (PreviewKind still : {PreviewKind::None, PreviewKind::Static, PreviewKind::StoredColours}) {
        PreviewPacer p;
        EXPECT_FALSE(p.keepRunning(still, true));
    }
    PreviewPacer p;
    for (int i = 0; i < 500; ++i) {
        ASSERT_TRUE(p.keepRunning(PreviewKind::ColumnWave, true));
    }
    // A black effect colour: nothing changes any more.
    int frames = 0;
    while (p.keepRunning(PreviewKind::ColumnWave, false)) {
        ASSERT_LT(++frames, 1000);
    }
    EXPECT_EQ(frames + 1, PreviewPacer::kIdleFrames);
    // A pause shorter than that (the typing mode between presses) does not stop it.
    p.restart();
    for (int i = 0; i < PreviewPacer::kIdleFrames - 1; ++i) {
        ASSERT_TRUE(p.keepRunning(PreviewKind::Presses, false));
    }
    EXPECT_TRUE(p.keepRunning(PreviewKind::Presses, true));
    EXPECT_TRUE(p.keepRunning(PreviewKind::Presses, false));
}

} // namespace
} // namespace tarvik::lighting
