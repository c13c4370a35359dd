#include "lighting/Preview.h"

#include "keyboard/Layout.h"
#include "lighting/ColourTables.h"
#include "lighting/LightingModes.h"

#include <algorithm>
#include <cstdlib>
#include <numeric>

namespace tarvik::lighting {

namespace {
constexpr int kColumns = 21;
constexpr int kRows = 6;
constexpr int kPhaseCycle = 384; // 96, 128 and 192 all divide it, so no mode's phase jumps on a wrap
static_assert(kPhaseCycle % kWheelSize == 0 && kPhaseCycle % kRamp96Size == 0 &&
              kPhaseCycle % kRamp128Size == 0 && kPhaseCycle % kCurve192Size == 0);

// The falling half of the 96-step ramp: index 48 is full intensity, 95 the dimmest step.
constexpr uint8_t kLit = 48;
constexpr uint8_t kDim = 95;

// Fade fill (mode 13): four keys start to fade in per frame, all are lit after kFillFrames, then the
// whole keyboard fades out.
constexpr int kFillPerFrame = 4;
constexpr int kFillFrames = (kPreviewKeys + kFillPerFrame - 1) / kFillPerFrame + 24;
constexpr int kFadeFillCycle = kFillFrames + 24;

// Simulated typing (mode 14): key button positions, -1 a pause of one beat; one beat every 3 frames.
constexpr std::array<int8_t, 32> kPressScript{22, 22, 0,  18, 3, 40, -1, 4,  17, 26, 27, 16, 81, 5,  3,  0,
                                              22, -1, -1, 7,  4, 11, 11, 14, -1, 36, -1, 39, 28, 79, -1, -1};
constexpr int kPressBeat = 3;
constexpr int kPressFade = 3;
constexpr uint8_t kNeighbourLevel = 66;

// Raindrops (mode 15): a drop every 5 frames spreads one column per frame along its row.
constexpr int kDropEvery = 5;
constexpr int kDropFade = 4;
constexpr int kDropReach = 7;

constexpr int wrap(int v, int n) {
    int r = v % n;
    return r < 0 ? r + n : r;
}

Rgb wheel(int i) {
    return kColourWheel[static_cast<size_t>(wrap(i, static_cast<int>(kWheelSize)))];
}
uint8_t ramp96(int i) {
    return kRamp96[static_cast<size_t>(wrap(i, static_cast<int>(kRamp96Size)))];
}
uint8_t ramp128(int i) {
    return kRamp128[static_cast<size_t>(wrap(i, static_cast<int>(kRamp128Size)))];
}
uint8_t curve192(int i) {
    return kCurve192[static_cast<size_t>(wrap(i, static_cast<int>(kCurve192Size)))];
}

void advance(PreviewState& s, int step, bool forward) {
    s.phase = wrap(s.phase + (forward ? step : -step), kPhaseCycle);
}

uint32_t nextRandom(PreviewState& s) {
    // xorshift32: deterministic, so a preview can be replayed in tests.
    uint32_t x = s.random;
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    s.random = x;
    return x;
}

Rgb randomWheel(PreviewState& s) {
    return wheel(static_cast<int>(nextRandom(s) % kWheelSize));
}

void fade(PreviewState& s, int step) {
    for (auto& l : s.level) {
        l = static_cast<uint8_t>(std::min<int>(l + step, kDim));
    }
}

// Lights a key at a level unless it is already brighter.
void light(PreviewState& s, int key, uint8_t level, Rgb colour) {
    auto k = static_cast<size_t>(key);
    if (level <= s.level[k]) {
        s.level[k] = level;
        s.colour[k] = colour;
    }
}

void showLevels(const PreviewParams& p, const PreviewState& s, PreviewFrame& out) {
    for (size_t i = 0; i < out.colours.size(); ++i) {
        out.colours[i] = scaled(p.random ? s.colour[i] : p.effectColour, ramp96(s.level[i]));
    }
}

Rgb storedColour(std::span<const uint8_t> table, int position) {
    size_t i = static_cast<size_t>(position) * 3u;
    if (i + 2 >= table.size()) {
        return {};
    }
    return Rgb{table[i], table[i + 1], table[i + 2]};
}

template <typename F> void forEachKey(PreviewFrame& out, F&& colourOf) {
    for (int i = 0; i < kPreviewKeys; ++i) {
        out.colours[static_cast<size_t>(i)] = colourOf(i);
    }
}

} // namespace

PreviewGeometry::PreviewGeometry(std::span<const uint8_t, kPreviewKeys> ledPositions) {
    std::array<int, kPreviewKeys> led{};
    for (int i = 0; i < kPreviewKeys; ++i) {
        int p = ledPositions[static_cast<size_t>(i)];
        led[static_cast<size_t>(i)] = p < kColumns * kRows ? p : 0;
        led_[static_cast<size_t>(i)] = static_cast<uint8_t>(led[static_cast<size_t>(i)]);
        column_[static_cast<size_t>(i)] = static_cast<int8_t>(led[static_cast<size_t>(i)] % kColumns);
        row_[static_cast<size_t>(i)] = static_cast<int8_t>(led[static_cast<size_t>(i)] / kColumns);
    }

    std::array<int, kPreviewKeys> order{};
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(),
                     [&](int a, int b) { return led[static_cast<size_t>(a)] < led[static_cast<size_t>(b)]; });
    for (int r = 0; r < kPreviewKeys; ++r) {
        sweepRank_[static_cast<size_t>(order[static_cast<size_t>(r)])] = static_cast<int8_t>(r);
    }

    // Rings: keys by their distance from the centre of the matrix, rows weighted so that the rings are
    // ellipses as wide and as flat as the keyboard; then cut into twelve groups of eight or nine.
    auto distance = [&](int k) {
        int dx = 2 * column_[static_cast<size_t>(k)] - (kColumns - 1);
        int dy = 3 * (2 * row_[static_cast<size_t>(k)] - (kRows - 1));
        return dx * dx + dy * dy;
    };
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) { return distance(a) < distance(b); });
    for (int r = 0; r < kPreviewKeys; ++r) {
        ring_[static_cast<size_t>(order[static_cast<size_t>(r)])] =
            static_cast<int8_t>(r * kPreviewRings / kPreviewKeys);
    }

    // 37 and 104 have no common factor, so this visits every key once.
    for (int k = 0; k < kPreviewKeys; ++k) {
        scramble_[static_cast<size_t>(k)] = static_cast<int8_t>((k * 37 + 11) % kPreviewKeys);
    }

    for (int i = 0; i < kPreviewKeys; ++i) {
        auto& n = neighbours_[static_cast<size_t>(i)];
        n.fill(kNoNeighbour);
        size_t count = 0;
        for (int j = 0; j < kPreviewKeys && count < n.size(); ++j) {
            if (j != i && std::abs(column(j) - column(i)) <= 1 && std::abs(row(j) - row(i)) <= 1) {
                n[count++] = static_cast<int8_t>(j);
            }
        }
    }
}

const PreviewGeometry& PreviewGeometry::standard() {
    static const PreviewGeometry geometry = [] {
        std::array<uint8_t, kPreviewKeys> leds{};
        auto buttons = keyboard::KeyButtons();
        for (size_t i = 0; i < leds.size(); ++i) {
            leds[i] = buttons[i].ledPosition;
        }
        return PreviewGeometry(leds);
    }();
    return geometry;
}

void resetPreview(PreviewState& state, uint8_t mode) {
    state = PreviewState{};
    state.mode = mode;
    state.started = true;
    state.level.fill(kDim);
}

void computeFrame(const PreviewGeometry& g, const PreviewParams& p, PreviewState& s, PreviewFrame& out) {
    if (!s.started || s.mode != p.mode) {
        resetPreview(s, p.mode);
    }
    const bool forward = p.direction != 0;
    const int P = s.phase;
    const Rgb effect = p.effectColour;
    out.tinted = true;

    switch (modeInfo(p.mode).preview) {
    case PreviewKind::None:
        out.tinted = false;
        break;
    case PreviewKind::ColumnWave:
        if (p.random) {
            forEachKey(out, [&](int i) { return wheel(P + 9 * g.column(i)); });
            advance(s, 9, forward);
        } else {
            forEachKey(out, [&](int i) { return scaled(effect, ramp96(P + 7 * g.column(i))); });
            advance(s, 7, forward);
        }
        break;
    case PreviewKind::FineWave:
        if (p.random) {
            forEachKey(out, [&](int i) { return wheel(P + 5 * g.column(i)); });
            advance(s, 4, forward);
        } else {
            // The ramp always runs forward; the direction only turns the spacing between columns.
            int spacing = forward ? 5 : -5;
            forEachKey(out, [&](int i) { return scaled(effect, ramp128(P + spacing * g.column(i))); });
            advance(s, 4, true);
        }
        break;
    case PreviewKind::Sweep:
        forEachKey(out, [&](int i) {
            int at = P + 5 * g.sweepRank(i);
            return p.random ? wheel(at) : scaled(effect, ramp96(at));
        });
        advance(s, 4, forward);
        break;
    case PreviewKind::WholeCycle:
        out.colours.fill(wheel(P));
        advance(s, 2, forward);
        break;
    case PreviewKind::Breathing: {
        uint8_t intensity = ramp128(P);
        forEachKey(out, [&](int i) { return scaled(p.random ? wheel(7 * g.column(i)) : effect, intensity); });
        advance(s, 2, true);
        break;
    }
    case PreviewKind::Static:
        forEachKey(out, [&](int i) { return p.random ? wheel(9 * g.column(i)) : effect; });
        break;
    case PreviewKind::Twinkle:
        fade(s, 2);
        for (int n = 0; n < 3; ++n) {
            int key = g.scrambled(s.cursor);
            light(s, key, kLit, randomWheel(s));
            s.cursor = wrap(s.cursor + (forward ? 1 : -1), kPreviewKeys);
        }
        showLevels(p, s, out);
        break;
    case PreviewKind::PerKeyCycle:
        forEachKey(out, [&](int i) { return wheel(P + 33 * i); });
        advance(s, 3, forward);
        break;
    case PreviewKind::RowWave:
        forEachKey(out, [&](int i) {
            int at = P + 32 * g.row(i);
            return p.random ? wheel(at) : scaled(effect, curve192(at));
        });
        advance(s, 3, forward);
        break;
    case PreviewKind::FadeFill: {
        int t = static_cast<int>(s.frame % kFadeFillCycle);
        int cycle = static_cast<int>((s.frame / kFadeFillCycle) % kWheelSize);
        for (int k = 0; k < kPreviewKeys; ++k) {
            int key = g.scrambled(forward ? k : kPreviewKeys - 1 - k);
            int start = k / kFillPerFrame;
            int step = 0; // index into the 96-step ramp: 0..47 rising, 48..95 falling
            if (t < kFillFrames) {
                step = t < start ? 0 : std::min((t - start) * 2, 47);
            } else {
                step = std::min(47 + (t - kFillFrames) * 2, 95);
            }
            Rgb base = p.random ? wheel(k * 7 + cycle * 37) : effect;
            out.colours[static_cast<size_t>(key)] = scaled(base, ramp96(step));
        }
        break;
    }
    case PreviewKind::Presses:
        fade(s, kPressFade);
        if (s.frame % kPressBeat == 0) {
            int key = kPressScript[static_cast<size_t>(s.cursor)];
            s.cursor = (s.cursor + 1) % static_cast<int>(kPressScript.size());
            if (key >= 0) {
                Rgb c = randomWheel(s);
                light(s, key, kLit, c);
                for (int8_t n : g.neighbours(key)) {
                    if (n != PreviewGeometry::kNoNeighbour) {
                        light(s, n, kNeighbourLevel, c);
                    }
                }
            }
        }
        showLevels(p, s, out);
        break;
    case PreviewKind::Raindrops:
        fade(s, kDropFade);
        if (s.frame % kDropEvery == 0) {
            int key = g.scrambled(s.cursor);
            s.cursor = wrap(s.cursor + (forward ? 1 : -1), kPreviewKeys);
            auto slot =
                std::find_if(s.ripples.begin(), s.ripples.end(), [](const auto& r) { return !r.active; });
            if (slot == s.ripples.end()) {
                slot = std::max_element(s.ripples.begin(), s.ripples.end(),
                                        [](const auto& a, const auto& b) { return a.age < b.age; });
            }
            *slot = PreviewState::Ripple{static_cast<int8_t>(g.row(key)), static_cast<int8_t>(g.column(key)),
                                         0, true, randomWheel(s)};
        }
        for (auto& r : s.ripples) {
            if (!r.active) {
                continue;
            }
            for (int i = 0; i < kPreviewKeys; ++i) {
                if (g.row(i) == r.row && std::abs(g.column(i) - r.column) == r.age) {
                    light(s, i, kLit, r.colour);
                }
            }
            if (++r.age > kDropReach) {
                r.active = false;
            }
        }
        showLevels(p, s, out);
        break;
    case PreviewKind::RingFade:
        forEachKey(out, [&](int i) {
            Rgb base = p.random ? wheel(16 * g.ring(i)) : effect;
            return scaled(base, ramp96(P - 8 * g.ring(i)));
        });
        advance(s, 2, forward);
        break;
    case PreviewKind::Rings:
        forEachKey(out, [&](int i) {
            int at = P - 21 * g.ring(i);
            return p.random ? wheel(at) : scaled(effect, curve192(at));
        });
        advance(s, 2, forward);
        break;
    case PreviewKind::StoredColours:
        forEachKey(out, [&](int i) { return storedColour(p.keyColours, g.led(i)); });
        break;
    }
    ++s.frame;
}

PreviewEngine::FrameResult PreviewEngine::frame(const PreviewParams& params, const Sink& sink) {
    if (busy_) {
        return FrameResult::Reentered;
    }
    struct Busy {
        bool& flag;
        explicit Busy(bool& f) : flag(f) { flag = true; }
        ~Busy() { flag = false; }
    } busy(busy_);
    computeFrame(geometry_, params, state_, frame_);
    if (sink) {
        sink(frame_);
    }
    return FrameResult::Drawn;
}

} // namespace tarvik::lighting
