#include "tools/skingen/KeyboardGeometry.h"

#include <array>
#include <cmath>

namespace tarvik::skingen {

namespace {

// Rows start at y 0 (function row), 1.5, 2.5, ... : the half-unit gap under the function row of a real
// board. The navigation cluster starts at 15.25 and the number pad at 18.5.
constexpr double kRow[] = {0.0, 1.5, 2.5, 3.5, 4.5, 5.5};

constexpr std::array<KeyGeometry, 104> kKeys = {{
    // Function row.
    {"KEY_001", 0, 0, kRow[0], 1, 1, "Esc", nullptr},
    {"KEY_03B", 1, 2, kRow[0], 1, 1, "F1", nullptr},
    {"KEY_03C", 2, 3, kRow[0], 1, 1, "F2", nullptr},
    {"KEY_03D", 3, 4, kRow[0], 1, 1, "F3", nullptr},
    {"KEY_03E", 4, 5, kRow[0], 1, 1, "F4", nullptr},
    {"KEY_03F", 5, 6.5, kRow[0], 1, 1, "F5", nullptr},
    {"KEY_040", 6, 7.5, kRow[0], 1, 1, "F6", nullptr},
    {"KEY_041", 7, 8.5, kRow[0], 1, 1, "F7", nullptr},
    {"KEY_042", 8, 9.5, kRow[0], 1, 1, "F8", nullptr},
    {"KEY_043", 9, 11, kRow[0], 1, 1, "F9", nullptr},
    {"KEY_044", 10, 12, kRow[0], 1, 1, "F10", nullptr},
    {"KEY_057", 11, 13, kRow[0], 1, 1, "F11", nullptr},
    {"KEY_058", 12, 14, kRow[0], 1, 1, "F12", nullptr},
    {"KEY_0B7", 14, 15.25, kRow[0], 1, 1, "Prt\nSc", nullptr},
    {"KEY_046", 15, 16.25, kRow[0], 1, 1, "Scroll\nLock", nullptr},
    {"KEY_045", 16, 17.25, kRow[0], 1, 1, "Pause", nullptr},
    // Number row.
    {"KEY_029", 21, 0, kRow[1], 1, 1, "`", "~"},
    {"KEY_002", 22, 1, kRow[1], 1, 1, "1", "!"},
    {"KEY_003", 23, 2, kRow[1], 1, 1, "2", "@"},
    {"KEY_004", 24, 3, kRow[1], 1, 1, "3", "#"},
    {"KEY_005", 25, 4, kRow[1], 1, 1, "4", "$"},
    {"KEY_006", 26, 5, kRow[1], 1, 1, "5", "%"},
    {"KEY_007", 27, 6, kRow[1], 1, 1, "6", "^"},
    {"KEY_008", 28, 7, kRow[1], 1, 1, "7", "&"},
    {"KEY_009", 29, 8, kRow[1], 1, 1, "8", "*"},
    {"KEY_00A", 30, 9, kRow[1], 1, 1, "9", "("},
    {"KEY_00B", 31, 10, kRow[1], 1, 1, "0", ")"},
    {"KEY_00C", 32, 11, kRow[1], 1, 1, "-", "_"},
    {"KEY_00D", 33, 12, kRow[1], 1, 1, "=", "+"},
    {"KEY_00E", 34, 13, kRow[1], 2, 1, "Backspace", nullptr},
    {"KEY_0D2", 35, 15.25, kRow[1], 1, 1, "Insert", nullptr},
    {"KEY_0C7", 36, 16.25, kRow[1], 1, 1, "Home", nullptr},
    {"KEY_0C9", 37, 17.25, kRow[1], 1, 1, "Page\nUp", nullptr},
    {"KEY_0C5", 38, 18.5, kRow[1], 1, 1, "Num\nLock", nullptr},
    {"KEY_0B5", 39, 19.5, kRow[1], 1, 1, "/", nullptr},
    {"KEY_037", 40, 20.5, kRow[1], 1, 1, "*", nullptr},
    {"KEY_04A", 41, 21.5, kRow[1], 1, 1, "-", nullptr},
    // Top letter row.
    {"KEY_00F", 42, 0, kRow[2], 1.5, 1, "Tab", nullptr},
    {"KEY_010", 43, 1.5, kRow[2], 1, 1, "Q", nullptr},
    {"KEY_011", 44, 2.5, kRow[2], 1, 1, "W", nullptr},
    {"KEY_012", 45, 3.5, kRow[2], 1, 1, "E", nullptr},
    {"KEY_013", 46, 4.5, kRow[2], 1, 1, "R", nullptr},
    {"KEY_014", 47, 5.5, kRow[2], 1, 1, "T", nullptr},
    {"KEY_015", 48, 6.5, kRow[2], 1, 1, "Y", nullptr},
    {"KEY_016", 49, 7.5, kRow[2], 1, 1, "U", nullptr},
    {"KEY_017", 50, 8.5, kRow[2], 1, 1, "I", nullptr},
    {"KEY_018", 51, 9.5, kRow[2], 1, 1, "O", nullptr},
    {"KEY_019", 52, 10.5, kRow[2], 1, 1, "P", nullptr},
    {"KEY_01A", 53, 11.5, kRow[2], 1, 1, "[", "{"},
    {"KEY_01B", 54, 12.5, kRow[2], 1, 1, "]", "}"},
    {"KEY_02B", 55, 13.5, kRow[2], 1.5, 1, "\\", "|"},
    {"KEY_0D3", 56, 15.25, kRow[2], 1, 1, "Delete", nullptr},
    {"KEY_0CF", 57, 16.25, kRow[2], 1, 1, "End", nullptr},
    {"KEY_0D1", 58, 17.25, kRow[2], 1, 1, "Page\nDown", nullptr},
    {"KEY_047", 59, 18.5, kRow[2], 1, 1, "7", nullptr},
    {"KEY_048", 60, 19.5, kRow[2], 1, 1, "8", nullptr},
    {"KEY_049", 61, 20.5, kRow[2], 1, 1, "9", nullptr},
    {"KEY_04E", 62, 21.5, kRow[2], 1, 2, "+", nullptr},
    // Home row.
    {"KEY_03A", 63, 0, kRow[3], 1.75, 1, "Caps Lock", nullptr},
    {"KEY_01E", 64, 1.75, kRow[3], 1, 1, "A", nullptr},
    {"KEY_01F", 65, 2.75, kRow[3], 1, 1, "S", nullptr},
    {"KEY_020", 66, 3.75, kRow[3], 1, 1, "D", nullptr},
    {"KEY_021", 67, 4.75, kRow[3], 1, 1, "F", nullptr},
    {"KEY_022", 68, 5.75, kRow[3], 1, 1, "G", nullptr},
    {"KEY_023", 69, 6.75, kRow[3], 1, 1, "H", nullptr},
    {"KEY_024", 70, 7.75, kRow[3], 1, 1, "J", nullptr},
    {"KEY_025", 71, 8.75, kRow[3], 1, 1, "K", nullptr},
    {"KEY_026", 72, 9.75, kRow[3], 1, 1, "L", nullptr},
    {"KEY_027", 73, 10.75, kRow[3], 1, 1, ";", ":"},
    {"KEY_028", 74, 11.75, kRow[3], 1, 1, "'", "\""},
    {"KEY_01C", 76, 12.75, kRow[3], 2.25, 1, "Enter", nullptr},
    {"KEY_04B", 80, 18.5, kRow[3], 1, 1, "4", nullptr},
    {"KEY_04C", 81, 19.5, kRow[3], 1, 1, "5", nullptr},
    {"KEY_04D", 82, 20.5, kRow[3], 1, 1, "6", nullptr},
    // Bottom letter row.
    {"KEY_02A", 84, 0, kRow[4], 2.25, 1, "Shift", nullptr},
    {"KEY_02C", 86, 2.25, kRow[4], 1, 1, "Z", nullptr},
    {"KEY_02D", 87, 3.25, kRow[4], 1, 1, "X", nullptr},
    {"KEY_02E", 88, 4.25, kRow[4], 1, 1, "C", nullptr},
    {"KEY_02F", 89, 5.25, kRow[4], 1, 1, "V", nullptr},
    {"KEY_030", 90, 6.25, kRow[4], 1, 1, "B", nullptr},
    {"KEY_031", 91, 7.25, kRow[4], 1, 1, "N", nullptr},
    {"KEY_032", 92, 8.25, kRow[4], 1, 1, "M", nullptr},
    {"KEY_033", 93, 9.25, kRow[4], 1, 1, ",", "<"},
    {"KEY_034", 94, 10.25, kRow[4], 1, 1, ".", ">"},
    {"KEY_035", 95, 11.25, kRow[4], 1, 1, "/", "?"},
    {"KEY_036", 97, 12.25, kRow[4], 2.75, 1, "Shift", nullptr},
    {"KEY_0C8", 99, 16.25, kRow[4], 1, 1, "\u2191", nullptr},
    {"KEY_04F", 101, 18.5, kRow[4], 1, 1, "1", nullptr},
    {"KEY_050", 102, 19.5, kRow[4], 1, 1, "2", nullptr},
    {"KEY_051", 103, 20.5, kRow[4], 1, 1, "3", nullptr},
    {"KEY_09C", 104, 21.5, kRow[4], 1, 2, "Enter", nullptr},
    // Space row: Right Alt, Fn, App, Right Win, Right Ctrl in the order of their LED columns.
    {"KEY_01D", 105, 0, kRow[5], 1.25, 1, "Ctrl", nullptr},
    {"KEY_0DB", 106, 1.25, kRow[5], 1.25, 1, "Win", nullptr},
    {"KEY_038", 107, 2.5, kRow[5], 1.25, 1, "Alt", nullptr},
    {"KEY_039", 108, 3.75, kRow[5], 6.25, 1, "", nullptr},
    {"KEY_0B8", 109, 10, kRow[5], 1, 1, "Alt", nullptr},
    {"KEY_0DD", 111, 12, kRow[5], 1, 1, "Menu", nullptr},
    {"KEY_0DC", 112, 13, kRow[5], 1, 1, "Win", nullptr},
    {"KEY_09D", 113, 14, kRow[5], 1, 1, "Ctrl", nullptr},
    {"KEY_0CB", 119, 15.25, kRow[5], 1, 1, "\u2190", nullptr},
    {"KEY_0D0", 120, 16.25, kRow[5], 1, 1, "\u2193", nullptr},
    {"KEY_0CD", 121, 17.25, kRow[5], 1, 1, "\u2192", nullptr},
    {"KEY_052", 123, 18.5, kRow[5], 2, 1, "0", nullptr},
    {"KEY_053", 124, 20.5, kRow[5], 1, 1, ".", nullptr},
}};

constexpr KeyGeometry kFn = {"KEY_FN", 110, 11, kRow[5], 1, 1, "Fn", nullptr};

// Nine G keys share the height of the six rows.
constexpr double kGPitch = kMainBlockHeight / 9.0;
constexpr double kGx = -(kGColumnGap + kGColumnWidth);
constexpr std::array<KeyGeometry, 9> kGKeys = {{
    {"FUNC_G1", 125, kGx, 0 * kGPitch, kGColumnWidth, kGPitch, "G1", nullptr},
    {"FUNC_G2", 125, kGx, 1 * kGPitch, kGColumnWidth, kGPitch, "G2", nullptr},
    {"FUNC_G3", 125, kGx, 2 * kGPitch, kGColumnWidth, kGPitch, "G3", nullptr},
    {"FUNC_G4", 125, kGx, 3 * kGPitch, kGColumnWidth, kGPitch, "G4", nullptr},
    {"FUNC_G5", 125, kGx, 4 * kGPitch, kGColumnWidth, kGPitch, "G5", nullptr},
    {"FUNC_G6", 125, kGx, 5 * kGPitch, kGColumnWidth, kGPitch, "G6", nullptr},
    {"FUNC_G7", 125, kGx, 6 * kGPitch, kGColumnWidth, kGPitch, "G7", nullptr},
    {"FUNC_G8", 125, kGx, 7 * kGPitch, kGColumnWidth, kGPitch, "G8", nullptr},
    {"FUNC_G9", 125, kGx, 8 * kGPitch, kGColumnWidth, kGPitch, "G9", nullptr},
}};

int px(double units, int unit) {
    return static_cast<int>(std::lround(units * unit));
}

} // namespace

std::span<const KeyGeometry> keyButtons() {
    return kKeys;
}
std::span<const KeyGeometry> gButtons() {
    return kGKeys;
}
const KeyGeometry& fnButton() {
    return kFn;
}

PixelRect toPixels(const KeyGeometry& key, int originX, int originY, int unit, int gap) {
    // Both edges are rounded from the unit grid, so neighbours keep exactly one gap between them.
    const int left = px(key.x, unit), right = px(key.x + key.w, unit);
    const int top = px(key.y, unit), bottom = px(key.y + key.h, unit);
    return {originX + left + gap / 2, originY + top + gap / 2, right - left - gap, bottom - top - gap};
}

} // namespace tarvik::skingen
