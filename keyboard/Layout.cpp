#include "keyboard/Layout.h"

#include <array>
#include <cstdio>

namespace tarvik::keyboard {

namespace {

// Control id, key code and LED matrix position of each key button, in button order.
constexpr std::array<KeyButton, kKeyButtonCount> kKeyButtons = {{
    {1058, 0x01E, 64},  // A
    {1075, 0x030, 90},  // B
    {1073, 0x02E, 88},  // C
    {1060, 0x020, 66},  // D
    {1046, 0x012, 45},  // E
    {1061, 0x021, 67},  // F
    {1062, 0x022, 68},  // G
    {1063, 0x023, 69},  // H
    {1051, 0x017, 50},  // I
    {1064, 0x024, 70},  // J
    {1065, 0x025, 71},  // K
    {1066, 0x026, 72},  // L
    {1077, 0x032, 92},  // M
    {1076, 0x031, 91},  // N
    {1052, 0x018, 51},  // O
    {1053, 0x019, 52},  // P
    {1044, 0x010, 43},  // Q
    {1047, 0x013, 46},  // R
    {1059, 0x01F, 65},  // S
    {1048, 0x014, 47},  // T
    {1050, 0x016, 49},  // U
    {1074, 0x02F, 89},  // V
    {1045, 0x011, 44},  // W
    {1072, 0x02D, 87},  // X
    {1049, 0x015, 48},  // Y
    {1071, 0x02C, 86},  // Z
    {1030, 0x002, 22},  // 1
    {1031, 0x003, 23},  // 2
    {1032, 0x004, 24},  // 3
    {1033, 0x005, 25},  // 4
    {1034, 0x006, 26},  // 5
    {1035, 0x007, 27},  // 6
    {1036, 0x008, 28},  // 7
    {1037, 0x009, 29},  // 8
    {1038, 0x00A, 30},  // 9
    {1039, 0x00B, 31},  // 0
    {1070, 0x01C, 76},  // Enter
    {1022, 0x001, 0},   // Esc
    {1043, 0x00E, 34},  // Backspace
    {1056, 0x00F, 42},  // Tab
    {1090, 0x039, 108}, // Space
    {1040, 0x00C, 32},  // -
    {1041, 0x00D, 33},  // =
    {1054, 0x01A, 53},  // [
    {1055, 0x01B, 54},  // ]
    {1042, 0x02B, 55},  // backslash
    {1067, 0x027, 73},  // ;
    {1068, 0x028, 74},  // '
    {1029, 0x029, 21},  // `
    {1078, 0x033, 93},  // ,
    {1079, 0x034, 94},  // .
    {1080, 0x035, 95},  // /
    {1010, 0x03B, 1},   // F1
    {1011, 0x03C, 2},   // F2
    {1012, 0x03D, 3},   // F3
    {1013, 0x03E, 4},   // F4
    {1014, 0x03F, 5},   // F5
    {1015, 0x040, 6},   // F6
    {1023, 0x041, 7},   // F7
    {1024, 0x042, 8},   // F8
    {1025, 0x043, 9},   // F9
    {1026, 0x044, 10},  // F10
    {1027, 0x057, 11},  // F11
    {1028, 0x058, 12},  // F12
    {1091, 0x137, 14},  // Print Screen
    {1093, 0x045, 16},  // Pause
    {1094, 0x152, 35},  // Insert
    {1097, 0x153, 56},  // Delete
    {1095, 0x147, 36},  // Home
    {1098, 0x14F, 57},  // End
    {1096, 0x149, 37},  // Page Up
    {1099, 0x151, 58},  // Page Down
    {1103, 0x148, 99},  // ↑
    {1101, 0x150, 120}, // ↓
    {1100, 0x14B, 119}, // ←
    {1102, 0x14D, 121}, // →
    {1092, 0x046, 15},  // Scroll Lock
    {1069, 0x03A, 63},  // Caps Lock
    {1088, 0x15D, 111}, // App
    {1083, 0x01D, 105}, // Ctrl
    {1089, 0x11D, 113}, // Right Ctrl
    {1082, 0x02A, 84},  // Shift
    {1081, 0x036, 97},  // Right Shift
    {1085, 0x038, 107}, // Alt
    {1086, 0x138, 109}, // Right Alt
    {1084, 0x15B, 106}, // Win
    {1087, 0x15C, 112}, // Right Win
    {1115, 0x04F, 101}, // Num 1
    {1116, 0x050, 102}, // Num 2
    {1117, 0x051, 103}, // Num 3
    {1112, 0x04B, 80},  // Num 4
    {1113, 0x04C, 81},  // Num 5
    {1114, 0x04D, 82},  // Num 6
    {1108, 0x047, 59},  // Num 7
    {1109, 0x048, 60},  // Num 8
    {1110, 0x049, 61},  // Num 9
    {1120, 0x052, 123}, // Num 0
    {1104, 0x145, 38},  // Num Lock
    {1118, 0x11C, 104}, // Num Enter
    {1119, 0x053, 124}, // Num .
    {1105, 0x135, 39},  // Num /
    {1106, 0x037, 40},  // Num *
    {1107, 0x04A, 41},  // Num -
    {1111, 0x04E, 62},  // Num +
}};

constexpr std::array<GButton, kGKeyCount> kGButtons = {{
    {1000, 256, 265},
    {1001, 257, 266},
    {1002, 258, 267},
    {1003, 259, 268},
    {1004, 260, 269},
    {1140, 261, 270},
    {1141, 262, 271},
    {1142, 263, 272},
    {1143, 264, 273},
}};

} // namespace

std::span<const KeyButton, kKeyButtonCount> KeyButtons() {
    return kKeyButtons;
}

std::span<const GButton, kGKeyCount> GButtons() {
    return kGButtons;
}

int KeyButtonPosition(int controlId) {
    for (size_t p = 0; p < kKeyButtons.size(); ++p) {
        if (kKeyButtons[p].controlId == controlId) {
            return static_cast<int>(p);
        }
    }
    return -1;
}

int GButtonNumber(int controlId) {
    for (size_t n = 0; n < kGButtons.size(); ++n) {
        if (kGButtons[n].controlId == controlId) {
            return static_cast<int>(n) + 1;
        }
    }
    return 0;
}

int SlotOfButton(int controlId, int gKeyLayer) {
    if (int p = KeyButtonPosition(controlId); p >= 0) {
        return KeyIndexFromCode(kKeyButtons[p].key);
    }
    if (int n = GButtonNumber(controlId); n > 0) {
        const GButton& g = kGButtons[n - 1];
        return (gKeyLayer & 1) ? g.slotLayer1 : g.slotLayer0;
    }
    return -1;
}

GKeyTag GKeyTagOfSlot(KeySlot slot) {
    if (slot >= kFirstGSlotLayer0 && slot < kFirstGSlotLayer0 + kGKeyCount) {
        return static_cast<GKeyTag>(0x0301 + (slot - kFirstGSlotLayer0));
    }
    if (slot >= kFirstGSlotLayer1 && slot < kFirstGSlotLayer1 + kGKeyCount) {
        return static_cast<GKeyTag>(0x1301 + (slot - kFirstGSlotLayer1));
    }
    return 0;
}

int LedPositionOfButton(int controlId) {
    if (int p = KeyButtonPosition(controlId); p >= 0) {
        return kKeyButtons[p].ledPosition;
    }
    if (GButtonNumber(controlId) > 0) {
        return kGKeyLedPosition;
    }
    if (controlId == kFnButtonId) {
        return kFnLedPosition;
    }
    return 0;
}

std::string SkinNameOfButton(int controlId) {
    char name[24] = {};
    if (int p = KeyButtonPosition(controlId); p >= 0) {
        std::snprintf(name, sizeof name, "KEY_%03X",
                      static_cast<unsigned>(KeyIndexFromCode(kKeyButtons[p].key)));
    } else if (int n = GButtonNumber(controlId); n > 0) {
        std::snprintf(name, sizeof name, "FUNC_G%d", n);
    }
    return name;
}

int ColourKeyFlagRecord(int controlId, int gKeyLayer) {
    if (int p = KeyButtonPosition(controlId); p >= 0) {
        return p;
    }
    if (int n = GButtonNumber(controlId); n > 0) {
        return (gKeyLayer & 1) ? n + 8 : n - 1;
    }
    return -1;
}

} // namespace tarvik::keyboard
