// The preview's tables against the values they must hold, the mode list of the configuration block, and
// the reading of a settings record.
#include "lighting/ColourTables.h"
#include "lighting/LightingModes.h"
#include "lighting/ProfileParams.h"

#include <gtest/gtest.h>

namespace tarvik::lighting {
namespace {

// Channel of the wheel entry: 0 red, 1 green, 2 blue.
int channelOf(const Rgb& c, int ch) {
    return ch == 0 ? c.r : ch == 1 ? c.g : c.b;
}

TEST(ColourWheel, EveryThirdRisesAndFallsThroughTheGivenValues) {
    // In each third the next channel rises while the leading one is full, then the leading one falls.
    for (int third = 0; third < 3; ++third) {
        const int lead = third;
        const int next = (third + 1) % 3;
        const int off = (third + 2) % 3;
        const int base = 64 * third;
        const std::pair<int, int> rising[] = {{0, 1}, {8, 26}, {16, 81}, {24, 164}, {32, 255}};
        for (auto [entry, value] : rising) {
            EXPECT_EQ(channelOf(kColourWheel[base + entry], next), value)
                << "third " << third << " entry " << entry;
        }
        const std::pair<int, int> falling[] = {{32, 248}, {40, 146}, {48, 69}, {56, 20}};
        for (auto [entry, value] : falling) {
            EXPECT_EQ(channelOf(kColourWheel[base + entry], lead), value)
                << "third " << third << " entry " << entry;
        }
        // The falling channel has reached 0 where the next third starts.
        EXPECT_EQ(channelOf(kColourWheel[(base + 64) % 192], lead), 0);
        for (int j = 0; j < 64; ++j) {
            const Rgb& c = kColourWheel[base + j];
            EXPECT_EQ(channelOf(c, off), 0) << "entry " << base + j;
            EXPECT_EQ(channelOf(c, j < 32 ? lead : next), 255) << "entry " << base + j;
            if (j > 0 && j < 32) {
                EXPECT_GT(channelOf(c, next), channelOf(kColourWheel[base + j - 1], next));
            }
            if (j > 32) {
                EXPECT_LT(channelOf(c, lead), channelOf(kColourWheel[base + j - 1], lead));
            }
        }
    }
    EXPECT_EQ(kColourWheel[0], (Rgb{255, 1, 0}));
    EXPECT_EQ(kColourWheel[64], (Rgb{0, 255, 1}));
    EXPECT_EQ(kColourWheel[128], (Rgb{1, 0, 255}));
}

template <size_t N> void expectRamp(const std::array<uint8_t, N>& ramp) {
    constexpr size_t half = N / 2;
    EXPECT_EQ(ramp.front(), 22);
    EXPECT_EQ(ramp.back(), 22);
    EXPECT_EQ(ramp[half - 1], 255);
    EXPECT_EQ(ramp[half], 255);
    for (size_t i = 0; i < half; ++i) {
        EXPECT_EQ(ramp[i], ramp[N - 1 - i]) << "mirror at " << i;
        if (i > 0) {
            EXPECT_GT(ramp[i], ramp[i - 1]) << "rising at " << i;
        }
    }
}

TEST(IntensityRamps, RiseFrom22To255AndBack) {
    const uint8_t start[] = {22, 24, 27, 30, 33, 36, 39, 42, 45, 49};
    for (size_t i = 0; i < std::size(start); ++i) {
        EXPECT_EQ(kRamp96[i], start[i]) << i;
        EXPECT_EQ(kRamp96[95 - i], start[i]) << 95 - i;
    }
    EXPECT_EQ(kRamp96[46], 248);
    EXPECT_EQ(kRamp96[49], 248);
    expectRamp(kRamp96);
    expectRamp(kRamp128);
    expectRamp(kCurve192);
}

TEST(ModeList, EmptyPlacesAreSkippedWithoutEndingTheList) {
    std::array<uint8_t, 44> config{};
    config[12] = 0x01;
    config[13] = 0x00;
    config[14] = 0x04;
    ModeList list;
    list.fill(config);
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list.codeAt(0), 1);
    EXPECT_EQ(list.codeAt(1), 4);
    EXPECT_EQ(list.indexOf(4), 1);
    EXPECT_EQ(list.indexOf(2), -1);
    EXPECT_EQ(list.codeAt(2), 0);
    EXPECT_EQ(list.codeAt(-1), 0);

    // A code at the very last byte is listed; bytes before 12 never are.
    config.fill(0);
    config[11] = 7;
    config[43] = 20;
    list.fill(config);
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list.codeAt(0), 20);
}

TEST(ModeList, CodesOutsideTheTableAreListedButSelectNothingElse) {
    std::array<uint8_t, 44> config{};
    config[12] = 19;
    config[13] = 200;
    ModeList list;
    list.fill(config);
    EXPECT_EQ(list.size(), 2u);
    EXPECT_FALSE(isKnownMode(19));
    EXPECT_FALSE(isKnownMode(0));
    ModeInfo info = modeInfo(200);
    EXPECT_EQ(info.write, SelectionWrite::ModeOnly);
    EXPECT_EQ(info.preview, PreviewKind::None);
    EXPECT_FALSE(info.speed);
    for (uint8_t m : {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 20}) {
        EXPECT_TRUE(isKnownMode(m)) << int(m);
    }
}

TEST(ProfileParams, ReadsEveryFieldAndNormalisesPresetAndReportRate) {
    ParamsBlock block{};
    const uint8_t head[] = {18, 4, 2, 1, 9, 10, 20, 30, 8, 40, 50, 60, 70, 80, 90, 7};
    std::copy(std::begin(head), std::end(head), block.begin());
    ProfileParams p = decodeParams(block);
    EXPECT_EQ(p.mode, 18);
    EXPECT_EQ(p.brightness, 4);
    EXPECT_EQ(p.speed, 2);
    EXPECT_EQ(p.direction, 1);
    EXPECT_TRUE(p.random);
    EXPECT_EQ(p.effectColour, (Rgb{10, 20, 30}));
    EXPECT_EQ(p.baseColour, (Rgb{40, 50, 60}));
    EXPECT_EQ(p.paintColour, (Rgb{70, 80, 90}));
    EXPECT_EQ(presetShown(p.preset), 0); // 8 shows red
    EXPECT_EQ(reportRateIndex(p.reportRate), 3);
    EXPECT_EQ(presetShown(3), 3);
    EXPECT_EQ(reportRateIndex(2), 2);
    EXPECT_EQ(paramAddress(2, kParamBrightness), 85);
}

TEST(Colour, ColorRefKeepsRedInTheLowByte) {
    EXPECT_EQ(toColorRef(Rgb{0x12, 0x34, 0x56}), 0x563412u);
    EXPECT_EQ(fromColorRef(0x563412u), (Rgb{0x12, 0x34, 0x56}));
    EXPECT_EQ(resolveButtonColour(kAutomaticColour, Rgb{1, 2, 3}), (Rgb{1, 2, 3}));
    EXPECT_EQ(resolveButtonColour(0x0000FF, Rgb{1, 2, 3}), (Rgb{255, 0, 0}));
    EXPECT_EQ(scaled(Rgb{255, 128, 10}, 128), (Rgb{128, 64, 5}));
}

} // namespace
} // namespace tarvik::lighting
