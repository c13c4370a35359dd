// The on-screen preview of the lighting effect: for one 50 ms frame, the tint of each of the 104 key
// buttons. The keyboard shows the real effect; the preview only has to resemble it. computeFrame is a pure
// function of the mode, its parameters and the frame state it advances; PreviewEngine adds the busy flag
// that makes a re-entered frame return at once.
#pragma once

#include "lighting/Colour.h"
#include "lighting/KeyButtons.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>

namespace tarvik::lighting {

inline constexpr int kPreviewKeys = kKeyButtonCount;
inline constexpr int kPreviewRings = 12;

// Where the key buttons sit, derived once from their LED matrix positions (row x 21 + column).
class PreviewGeometry {
public:
    static constexpr int kNoNeighbour = -1;
    static constexpr int kMaxNeighbours = 8;

    // Positions outside the 6 x 21 matrix are taken as position 0.
    explicit PreviewGeometry(std::span<const uint8_t, kPreviewKeys> ledPositions);
    // The geometry of the keyboard's own layout.
    static const PreviewGeometry& standard();

    int led(int key) const { return led_[static_cast<size_t>(key)]; }
    int column(int key) const { return column_[static_cast<size_t>(key)]; }
    int row(int key) const { return row_[static_cast<size_t>(key)]; }
    // Rank of the key when all keys are taken row by row, left to right (the sweep order).
    int sweepRank(int key) const { return sweepRank_[static_cast<size_t>(key)]; }
    // 0 (centre) .. 11 (outermost): twelve rings of at most nine keys around the keyboard's centre.
    int ring(int key) const { return ring_[static_cast<size_t>(key)]; }
    // The keys in a fixed scrambled order (twinkle, fade fill, raindrops).
    int scrambled(int k) const { return scramble_[static_cast<size_t>(k)]; }
    // Keys at most one row and one column away; kNoNeighbour fills the rest.
    const std::array<int8_t, kMaxNeighbours>& neighbours(int key) const {
        return neighbours_[static_cast<size_t>(key)];
    }

private:
    std::array<uint8_t, kPreviewKeys> led_{};
    std::array<int8_t, kPreviewKeys> column_{};
    std::array<int8_t, kPreviewKeys> row_{};
    std::array<int8_t, kPreviewKeys> sweepRank_{};
    std::array<int8_t, kPreviewKeys> ring_{};
    std::array<int8_t, kPreviewKeys> scramble_{};
    std::array<std::array<int8_t, kMaxNeighbours>, kPreviewKeys> neighbours_{};
};

struct PreviewParams {
    uint8_t mode = 0;
    uint8_t direction = 0; // non-zero: phases move forward (left / up / outward)
    bool random = false;   // wheel colours instead of the effect colour
    Rgb effectColour;
    // Mode 20: the current profile's key colour table (entry i at bytes 3i..3i+2). Entries beyond its
    // size read as black.
    std::span<const uint8_t> keyColours;
};

struct PreviewFrame {
    bool tinted = false; // false: the key buttons keep their plain images
    std::array<Rgb, kPreviewKeys> colours{};
};

// What one mode's animation carries from frame to frame.
struct PreviewState {
    static constexpr int kMaxRipples = 4;
    struct Ripple {
        int8_t row = 0;
        int8_t column = 0;
        uint8_t age = 0;
        bool active = false;
        Rgb colour;
    };

    uint8_t mode = 0;
    bool started = false;
    uint32_t frame = 0; // frames drawn since the reset
    int phase = 0;      // 0..383, a multiple of every table length
    int cursor = 0;     // next place in the scrambled order or the press script
    uint32_t random = 0x2545F491u;
    std::array<uint8_t, kPreviewKeys> level{}; // per key: index into the falling half of the 96-step ramp
    std::array<Rgb, kPreviewKeys> colour{};    // per key: the colour it was lit with
    std::array<Ripple, kMaxRipples> ripples{};
};

// Resets the frame state for a mode, as selecting the mode does before its first frame.
void resetPreview(PreviewState& state, uint8_t mode);

// One frame: fills out and advances state. A state that belongs to another mode is reset first.
void computeFrame(const PreviewGeometry& geometry, const PreviewParams& params, PreviewState& state,
                  PreviewFrame& out);

class PreviewEngine {
public:
    enum class FrameResult { Drawn, Reentered };
    using Sink = std::function<void(const PreviewFrame&)>;

    explicit PreviewEngine(const PreviewGeometry& geometry = PreviewGeometry::standard())
        : geometry_(geometry) {}

    void reset(uint8_t mode) { resetPreview(state_, mode); }
    // Computes the frame and hands it to sink (which tints the key buttons). A call made while a frame is
    // being drawn, from the sink or from whatever the sink runs, returns Reentered at once.
    FrameResult frame(const PreviewParams& params, const Sink& sink);
    const PreviewState& state() const { return state_; }

private:
    const PreviewGeometry& geometry_;
    PreviewState state_;
    PreviewFrame frame_;
    bool busy_ = false;
};

} // namespace tarvik::lighting
