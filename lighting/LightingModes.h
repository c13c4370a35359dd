// The lighting modes the program knows (codes 1..18 and 20): which controls each shows, what selecting it
// writes and how the preview animates it; and the list of modes a keyboard supports, as the mode list of
// the lighting panel holds it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace tarvik::lighting {

inline constexpr uint8_t kUserMode = 20;
inline constexpr uint8_t kDefaultMode = 1;

// Which pair of direction pictures a mode shows, and where (the skin key set of the three direction
// controls).
enum class DirectionSet {
    None,
    LeftRight, // modes 1..3: the "2" set of skin keys
    UpDown,    // mode 12: the "3" set
    OutIn,     // mode 18: the plain set
};

enum class ColourControls {
    None,
    Effect,  // colour button 1155 with its caption, the random toggle and the colour-area caption
    Fixed,   // colour button 1152 with its caption, the random toggle and the colour-area caption
    Presets, // the four preset pictures of mode 17
    User,    // the user-mode controls
};

// What selecting the mode writes besides the mode byte.
enum class SelectionWrite {
    ModeOnly,
    ModeAndRandom,
    ModeThenUserColours, // then the current user slot is loaded and the key colours uploaded
};

enum class PreviewKind {
    None,          // the key buttons keep their plain images
    ColumnWave,    // 1
    FineWave,      // 2
    Sweep,         // 3
    WholeCycle,    // 4
    Breathing,     // 5
    Static,        // 6
    Twinkle,       // 10
    PerKeyCycle,   // 11
    RowWave,       // 12
    FadeFill,      // 13
    Presses,       // 14
    Raindrops,     // 15
    RingFade,      // 16
    Rings,         // 18
    StoredColours, // 20
};

struct ModeInfo {
    uint8_t code = 0;
    DirectionSet direction = DirectionSet::None;
    bool speed = false;
    ColourControls colours = ColourControls::None;
    SelectionWrite write = SelectionWrite::ModeOnly;
    PreviewKind preview = PreviewKind::None;
};

// The table entry of a code. A code outside the table (0, 19, 21..255) shows only the brightness slider,
// writes only its mode byte and has no preview: the keyboard lists it, so it may select it, but nothing
// else is known about it.
ModeInfo modeInfo(uint8_t code);
// True for the codes of the table.
bool isKnownMode(uint8_t code);

// The supported-mode list of the configuration block (bytes 12..43) in display order, without the empty
// places, with the lookup from code to list index.
class ModeList {
public:
    static constexpr size_t kCapacity = 32;
    static constexpr size_t kConfigOffset = 12;

    void clear() { count_ = 0; }
    // Refills from a configuration block of 44 bytes.
    void fill(std::span<const uint8_t, 44> config);

    size_t size() const { return count_; }
    bool empty() const { return count_ == 0; }
    // The code at list index i; 0 when i is outside the list.
    uint8_t codeAt(int index) const;
    // The list index of a code, -1 when the code is not listed.
    int indexOf(uint8_t code) const;
    bool supports(uint8_t code) const { return indexOf(code) >= 0; }
    std::span<const uint8_t> codes() const { return {codes_.data(), count_}; }

private:
    std::array<uint8_t, kCapacity> codes_{};
    size_t count_ = 0;
};

} // namespace tarvik::lighting
