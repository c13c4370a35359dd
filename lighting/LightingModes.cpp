#include "lighting/LightingModes.h"

namespace tarvik::lighting {

namespace {
using D = DirectionSet;
using C = ColourControls;
using W = SelectionWrite;
using P = PreviewKind;

constexpr std::array<ModeInfo, 19> kModes{{
    {1, D::LeftRight, true, C::Effect, W::ModeAndRandom, P::ColumnWave},
    {2, D::LeftRight, true, C::Effect, W::ModeAndRandom, P::FineWave},
    {3, D::LeftRight, true, C::Effect, W::ModeAndRandom, P::Sweep},
    {4, D::None, true, C::None, W::ModeOnly, P::WholeCycle},
    {5, D::None, true, C::Effect, W::ModeAndRandom, P::Breathing},
    {6, D::None, false, C::Fixed, W::ModeOnly, P::Static},
    {7, D::None, true, C::Effect, W::ModeAndRandom, P::None},
    {8, D::None, true, C::Effect, W::ModeAndRandom, P::None},
    {9, D::None, true, C::Effect, W::ModeAndRandom, P::None},
    {10, D::None, true, C::Effect, W::ModeAndRandom, P::Twinkle},
    {11, D::None, true, C::Effect, W::ModeAndRandom, P::PerKeyCycle},
    {12, D::UpDown, true, C::Effect, W::ModeAndRandom, P::RowWave},
    {13, D::None, true, C::Effect, W::ModeAndRandom, P::FadeFill},
    {14, D::None, true, C::Effect, W::ModeAndRandom, P::Presses},
    {15, D::None, true, C::Effect, W::ModeAndRandom, P::Raindrops},
    {16, D::None, false, C::Fixed, W::ModeOnly, P::RingFade},
    {17, D::None, false, C::Presets, W::ModeOnly, P::None},
    {18, D::OutIn, false, C::Effect, W::ModeAndRandom, P::Rings},
    {20, D::None, false, C::User, W::ModeThenUserColours, P::StoredColours},
}};

const ModeInfo* find(uint8_t code) {
    for (const auto& m : kModes) {
        if (m.code == code) {
            return &m;
        }
    }
    return nullptr;
}
} // namespace

ModeInfo modeInfo(uint8_t code) {
    if (const ModeInfo* m = find(code)) {
        return *m;
    }
    ModeInfo unknown;
    unknown.code = code;
    return unknown;
}

bool isKnownMode(uint8_t code) {
    return find(code) != nullptr;
}

void ModeList::fill(std::span<const uint8_t, 44> config) {
    count_ = 0;
    for (size_t i = kConfigOffset; i < config.size() && count_ < kCapacity; ++i) {
        // An empty place is skipped; it does not end the list.
        if (config[i] != 0) {
            codes_[count_++] = config[i];
        }
    }
}

uint8_t ModeList::codeAt(int index) const {
    if (index < 0 || static_cast<size_t>(index) >= count_) {
        return 0;
    }
    return codes_[static_cast<size_t>(index)];
}

int ModeList::indexOf(uint8_t code) const {
    for (size_t i = 0; i < count_; ++i) {
        if (codes_[i] == code) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

} // namespace tarvik::lighting
