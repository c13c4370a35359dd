// The preview engine: every mode for thousands of frames in both directions, the motions, and the busy
// flag of a re-entered frame.
#include "lighting/Preview.h"
#include "keyboard/Layout.h"
#include "lighting/ColourTables.h"
#include "lighting/LightingModes.h"

#include <gtest/gtest.h>

#include <set>

namespace tarvik::lighting {
namespace {

const PreviewGeometry& geometry() {
    return PreviewGeometry::standard();
}

PreviewParams params(uint8_t mode, uint8_t direction, bool random, Rgb effect = Rgb{200, 100, 50}) {
    PreviewParams p;
    p.mode = mode;
    p.direction = direction;
    p.random = random;
    p.effectColour = effect;
    return p;
}

bool withinEffect(const Rgb& c, const Rgb& effect) {
    return c.r <= effect.r && c.g <= effect.g && c.b <= effect.b;
}

TEST(Preview, EveryModeRunsThousandsOfFramesInBothDirections) {
    const Rgb effect{200, 100, 50};
    std::array<uint8_t, 512> table{};
    for (size_t i = 0; i < table.size(); ++i) {
        table[i] = static_cast<uint8_t>(i * 7);
    }
    for (int mode = 0; mode <= 21; ++mode) {
        const ModeInfo info = modeInfo(static_cast<uint8_t>(mode));
        for (uint8_t direction : {uint8_t{0}, uint8_t{1}, uint8_t{0xFF}}) {
            for (bool random : {false, true}) {
                SCOPED_TRACE("mode " + std::to_string(mode) + " direction " + std::to_string(direction) +
                             (random ? " random" : ""));
                PreviewState state;
                PreviewFrame frame;
                PreviewParams p = params(static_cast<uint8_t>(mode), direction, random, effect);
                p.keyColours = table;
                std::set<uint32_t> seen;
                for (int f = 0; f < 3000; ++f) {
                    computeFrame(geometry(), p, state, frame);
                    ASSERT_EQ(frame.tinted, info.preview != PreviewKind::None) << "frame " << f;
                    if (!frame.tinted) {
                        continue;
                    }
                    for (const Rgb& c : frame.colours) {
                        seen.insert(toColorRef(c));
                        // Without random colours every tint is the effect colour at some intensity.
                        if (!random && info.preview != PreviewKind::WholeCycle &&
                            info.preview != PreviewKind::PerKeyCycle &&
                            info.preview != PreviewKind::StoredColours) {
                            ASSERT_TRUE(withinEffect(c, effect)) << "frame " << f;
                        }
                    }
                }
                // Animated modes actually animate; the static ones hold still.
                if (info.preview == PreviewKind::Static) {
                    EXPECT_LE(seen.size(), random ? 21u : 1u);
                } else if (info.preview != PreviewKind::None && info.preview != PreviewKind::StoredColours) {
                    EXPECT_GT(seen.size(), 10u);
                }
            }
        }
    }
}

TEST(Preview, WholeKeyboardCycleGivesEveryKeyOneWheelColourTwoEntriesPerFrame) {
    PreviewState state;
    PreviewFrame frame;
    for (int f = 0; f < 200; ++f) {
        computeFrame(geometry(), params(4, 1, false), state, frame);
        for (const Rgb& c : frame.colours) {
            ASSERT_EQ(c, frame.colours[0]);
        }
        ASSERT_EQ(frame.colours[0], kColourWheel[(2 * f) % 192]) << f;
    }
    resetPreview(state, 4);
    computeFrame(geometry(), params(4, 0, false), state, frame);
    computeFrame(geometry(), params(4, 0, false), state, frame);
    EXPECT_EQ(frame.colours[0], kColourWheel[190]);
}

// The column of each key button, from its LED position.
int columnOf(int key) {
    return keyboard::KeyButtons()[static_cast<size_t>(key)].ledPosition % 21;
}
int rowOf(int key) {
    return keyboard::KeyButtons()[static_cast<size_t>(key)].ledPosition / 21;
}

// In a wave that moves by one column per frame, the colour a key shows next frame is the colour its
// neighbour in the direction of motion shows now (keys of the same column share their colour).
void expectShift(uint8_t mode, uint8_t direction, bool random, int columnStep, int rowStep) {
    PreviewState state;
    PreviewFrame now;
    PreviewFrame next;
    PreviewParams p = params(mode, direction, random);
    computeFrame(geometry(), p, state, now);
    for (int f = 0; f < 50; ++f) {
        computeFrame(geometry(), p, state, next);
        int checked = 0;
        for (int a = 0; a < kPreviewKeys; ++a) {
            for (int b = 0; b < kPreviewKeys; ++b) {
                bool neighbour = columnStep != 0 ? columnOf(b) == columnOf(a) + columnStep
                                                 : rowOf(b) == rowOf(a) + rowStep;
                if (neighbour) {
                    ASSERT_EQ(next.colours[static_cast<size_t>(a)], now.colours[static_cast<size_t>(b)])
                        << "frame " << f << " key " << a << " from key " << b;
                    ++checked;
                }
            }
        }
        ASSERT_GT(checked, 50);
        now = next;
    }
}

TEST(Preview, ColumnWaveMovesLeftForDirectionOneAndRightForZero) {
    // Mode 1 with random colours: 9 wheel entries per frame and between columns.
    expectShift(1, 1, true, +1, 0);
    expectShift(1, 0, true, -1, 0);
    // With the effect colour: 7 ramp steps per frame and between columns.
    expectShift(1, 1, false, +1, 0);
    expectShift(1, 0, false, -1, 0);
}

TEST(Preview, RowWaveSpacesRows32ApartAndMovesThreeEntriesAFrame) {
    const Rgb white{255, 255, 255};
    for (uint8_t direction : {uint8_t{0}, uint8_t{1}}) {
        for (bool random : {false, true}) {
            PreviewState state;
            PreviewFrame frame;
            for (int f = 0; f < 300; ++f) {
                computeFrame(geometry(), params(12, direction, random, white), state, frame);
                int phase = direction ? 3 * f : -3 * f;
                for (int k = 0; k < kPreviewKeys; ++k) {
                    size_t at = static_cast<size_t>(((phase + 32 * rowOf(k)) % 192 + 192) % 192);
                    Rgb expected =
                        random ? kColourWheel[at] : Rgb{kCurve192[at], kCurve192[at], kCurve192[at]};
                    ASSERT_EQ(frame.colours[static_cast<size_t>(k)], expected)
                        << "frame " << f << " key " << k;
                }
            }
        }
    }
}

TEST(Preview, FineWaveRampAlwaysRunsForwardWhileTheSpacingFollowsTheDirection) {
    for (uint8_t direction : {uint8_t{0}, uint8_t{1}}) {
        PreviewState state;
        PreviewFrame frame;
        Rgb white{255, 255, 255};
        computeFrame(geometry(), params(2, direction, false, white), state, frame);
        computeFrame(geometry(), params(2, direction, false, white), state, frame);
        // Second frame: phase 4 in either direction; column c sits 5c steps ahead or behind.
        for (int k = 0; k < kPreviewKeys; ++k) {
            int c = columnOf(k);
            int at = ((4 + (direction ? 5 : -5) * c) % 128 + 128) % 128;
            ASSERT_EQ(frame.colours[static_cast<size_t>(k)].r, kRamp128[static_cast<size_t>(at)]) << k;
        }
    }
}

TEST(Preview, RingsMoveOutwardForDirectionOne) {
    PreviewState state;
    PreviewFrame a;
    PreviewFrame b;
    computeFrame(geometry(), params(18, 1, true), state, a);
    computeFrame(geometry(), params(18, 1, true), state, b);
    // 21 wheel entries between rings and 2 per frame: ring r now shows what ring r - 1 showed 21/2 frames
    // ago; over one frame every key advances two entries of the wheel.
    for (int k = 0; k < kPreviewKeys; ++k) {
        int ring = geometry().ring(k);
        ASSERT_EQ(a.colours[static_cast<size_t>(k)],
                  kColourWheel[static_cast<size_t>(((0 - 21 * ring) % 192 + 192) % 192)]);
        ASSERT_EQ(b.colours[static_cast<size_t>(k)],
                  kColourWheel[static_cast<size_t>(((2 - 21 * ring) % 192 + 192) % 192)]);
    }
}

TEST(Preview, RingsAreTwelveGroupsOfAtMostTwelveKeys) {
    std::array<int, kPreviewRings> count{};
    for (int k = 0; k < kPreviewKeys; ++k) {
        int r = geometry().ring(k);
        ASSERT_GE(r, 0);
        ASSERT_LT(r, kPreviewRings);
        ++count[static_cast<size_t>(r)];
    }
    for (int c : count) {
        EXPECT_GE(c, 1);
        EXPECT_LE(c, 12);
    }
    // The centre ring is nearer the middle of the matrix than the outer one.
    auto spread = [&](int ring) {
        int far = 0;
        for (int k = 0; k < kPreviewKeys; ++k) {
            if (geometry().ring(k) == ring) {
                far = std::max(far, std::abs(2 * columnOf(k) - 20));
            }
        }
        return far;
    };
    EXPECT_LT(spread(0), spread(kPreviewRings - 1));
}

TEST(Preview, ScrambledOrderVisitsEveryKeyOnce) {
    std::set<int> keys;
    for (int k = 0; k < kPreviewKeys; ++k) {
        keys.insert(geometry().scrambled(k));
    }
    EXPECT_EQ(keys.size(), static_cast<size_t>(kPreviewKeys));
    EXPECT_EQ(*keys.begin(), 0);
    EXPECT_EQ(*keys.rbegin(), kPreviewKeys - 1);
}

TEST(Preview, TwinkleLightsThreeKeysAFrameAtFullIntensity) {
    PreviewState state;
    PreviewFrame frame;
    const Rgb white{255, 255, 255};
    computeFrame(geometry(), params(10, 1, false, white), state, frame);
    int full = 0;
    int dim = 0;
    for (const Rgb& c : frame.colours) {
        full += c == white;
        dim += c == Rgb{22, 22, 22};
    }
    EXPECT_EQ(full, 3);
    EXPECT_EQ(dim, kPreviewKeys - 3);
    computeFrame(geometry(), params(10, 1, false, white), state, frame);
    full = 0;
    for (const Rgb& c : frame.colours) {
        full += c == white;
    }
    EXPECT_EQ(full, 3); // the first three have started to fade
}

TEST(Preview, PerKeyCycleSpacesKeys33EntriesApart) {
    PreviewState state;
    PreviewFrame frame;
    computeFrame(geometry(), params(11, 1, false), state, frame);
    computeFrame(geometry(), params(11, 1, false), state, frame);
    for (int k = 0; k < kPreviewKeys; ++k) {
        ASSERT_EQ(frame.colours[static_cast<size_t>(k)],
                  kColourWheel[static_cast<size_t>((3 + 33 * k) % 192)]);
    }
}

TEST(Preview, UserModeShowsTheStoredColoursAndShortTablesReadAsBlack) {
    std::array<uint8_t, 512> table{};
    table[64 * 3] = 1; // A
    table[64 * 3 + 1] = 2;
    table[64 * 3 + 2] = 3;
    table[110 * 3] = 9; // no key button: Fn is not among the 104
    PreviewState state;
    PreviewFrame frame;
    PreviewParams p = params(20, 0, false);
    p.keyColours = table;
    computeFrame(geometry(), p, state, frame);
    EXPECT_TRUE(frame.tinted);
    EXPECT_EQ(frame.colours[0], (Rgb{1, 2, 3}));
    EXPECT_EQ(frame.colours[1], (Rgb{}));

    p.keyColours = std::span<const uint8_t>(table).first(64 * 3 + 2); // ends inside entry 64
    computeFrame(geometry(), p, state, frame);
    EXPECT_EQ(frame.colours[0], (Rgb{}));
}

TEST(Preview, AModeChangeStartsTheAnimationAfresh) {
    PreviewState state;
    PreviewFrame first;
    PreviewFrame frame;
    computeFrame(geometry(), params(3, 1, true), state, first);
    for (int f = 0; f < 17; ++f) {
        computeFrame(geometry(), params(3, 1, true), state, frame);
    }
    computeFrame(geometry(), params(5, 1, true), state, frame);
    computeFrame(geometry(), params(3, 1, true), state, frame);
    EXPECT_EQ(frame.colours, first.colours);
    EXPECT_EQ(state.frame, 1u);
}

TEST(Preview, AReenteredFrameReturnsAtOnce) {
    PreviewEngine engine;
    int sinkCalls = 0;
    PreviewEngine::FrameResult inner = PreviewEngine::FrameResult::Drawn;
    PreviewParams p = params(1, 1, true);
    auto result = engine.frame(p, [&](const PreviewFrame&) {
        ++sinkCalls;
        inner = engine.frame(p, [&](const PreviewFrame&) { ++sinkCalls; });
    });
    EXPECT_EQ(result, PreviewEngine::FrameResult::Drawn);
    EXPECT_EQ(inner, PreviewEngine::FrameResult::Reentered);
    EXPECT_EQ(sinkCalls, 1);
    EXPECT_EQ(engine.state().frame, 1u);
    // Once the frame is done, the next one runs.
    EXPECT_EQ(engine.frame(p, {}), PreviewEngine::FrameResult::Drawn);
    EXPECT_EQ(engine.state().frame, 2u);
}

TEST(Preview, OutOfMatrixPositionsAreTakenAsPositionZero) {
    std::array<uint8_t, kPreviewKeys> leds{};
    leds.fill(255);
    leds[5] = 125;
    PreviewGeometry g(leds);
    EXPECT_EQ(g.led(0), 0);
    EXPECT_EQ(g.column(5), 20);
    EXPECT_EQ(g.row(5), 5);
    PreviewState state;
    PreviewFrame frame;
    for (int mode = 1; mode <= 20; ++mode) {
        for (int f = 0; f < 100; ++f) {
            computeFrame(g, params(static_cast<uint8_t>(mode), 1, true), state, frame);
        }
    }
}

} // namespace
} // namespace tarvik::lighting
