#include "keyboard/KeyAssignment.h"

#include "platform/Bytes.h"

#include <algorithm>
#include <array>

namespace tarvik::keyboard {

namespace {

constexpr std::array<MediaKey, kMediaKeyCount> kMediaKeyList = {{
    {"MEDIA_PALYER_1", 0x16D, 0x0183},
    {"MEDIA_PALY_PAUSE_2", 0x122, 0x00CD},
    {"MEDIA_STOP_PALY_3", 0x124, 0x00B7},
    {"MEDIA_PREV_TRACK_4", 0x110, 0x00B6},
    {"MEDIA_Next_TRACK_5", 0x119, 0x00B5},
    {"MEDIA_V_LOW_6", 0x12E, 0x00EA},
    {"MEDIA_V_ADD_7", 0x130, 0x00E9},
    {"MEDIA_MUTE_8", 0x120, 0x00E2},
    {"MEDIA_WWW_HOME_9", 0x132, 0x0223},
    {"MEDIA_WWW_REFRESH_10", 0x167, 0x0227},
    {"MEDIA_WWW_STOP_11", 0x168, 0x0226},
    {"MEDIA_WWW_BACK_12", 0x16A, 0x0224},
    {"MEDIA_WWW_FORWARD_13", 0x169, 0x0225},
    {"MEDIA_WWW_FAVORITE_14", 0x166, 0x022A},
    {"MEDIA_WWW_SEARCH_15", 0x165, 0x0221},
    {"MEDIA_MY_PC_16", 0x16B, 0x0194},
    {"MEDIA_CALC_17", 0x121, 0x0192},
    {"MEDIA_MAIL_18", 0x16C, 0x018A},
}};

constexpr std::array<FunctionKey, kFunctionKeyCount> kFunctionKeyList = {{
    {"FUNC_KEY_DESC1"},
    {"FUNC_KEY_DESC2"},
    {"FUNC_KEY_DESC3"},
    {"FUNC_KEY_DESC4"},
    {"FUNC_KEY_DESC5"},
    {"FUNC_KEY_DESC6"},
    {"FUNC_KEY_DESC7"},
    {"FUNC_KEY_DESC8"},
    {"FUNC_KEY_DESC9"},
    {"FUNC_KEY_DESC10"},
    {"FUNC_KEY_DESC11"},
}};

// The eight modifier keys in the bit order of the HID modifier byte.
constexpr std::array<KeyCode, 8> kModifierKeys = {0x01D, 0x02A, 0x038, 0x15B, 0x11D, 0x036, 0x138, 0x15C};

// 0 when the key is not a modifier.
uint8_t modifierBit(uint32_t key) {
    for (size_t bit = 0; bit < kModifierKeys.size(); ++bit) {
        if (kModifierKeys[bit] == key) {
            return static_cast<uint8_t>(1u << bit);
        }
    }
    return 0;
}

KeyCode modifierKeyOfBits(uint8_t bits) {
    for (size_t bit = 0; bit < kModifierKeys.size(); ++bit) {
        if (bits & (1u << bit)) {
            return kModifierKeys[bit];
        }
    }
    return 0;
}

} // namespace

KeyAssignment KeyAssignment::read(std::span<const uint8_t, kSize> bytes) {
    KeyAssignment a;
    a.type = readLe16(bytes.data());
    a.aux = readLe16(bytes.data() + 2);
    a.value = readLe32(bytes.data() + 4);
    a.flag = readLe32(bytes.data() + 8);
    a.reserved = readLe32(bytes.data() + 12);
    return a;
}

void KeyAssignment::write(std::span<uint8_t, kSize> bytes) const {
    writeLe16(bytes.data(), type);
    writeLe16(bytes.data() + 2, aux);
    writeLe32(bytes.data() + 4, value);
    writeLe32(bytes.data() + 8, flag);
    writeLe32(bytes.data() + 12, reserved);
}

std::span<const MediaKey, kMediaKeyCount> MediaKeyList() {
    return kMediaKeyList;
}

std::span<const FunctionKey, kFunctionKeyCount> FunctionKeyList() {
    return kFunctionKeyList;
}

KeyCode KeyOfKeyEntry(const KeyEntry& entry) {
    switch (entry[0]) {
    case 0x02:
        return entry[1] == 0x02 ? HidUsageToKeyCode(kPageKeyboard, entry[2]) : modifierKeyOfBits(entry[2]);
    case 0x03:
        return HidUsageToKeyCode(kPageConsumer, static_cast<uint16_t>(entry[1] | entry[2] << 8));
    case 0x04:
        return HidUsageToKeyCode(kPageGenericDesktop, static_cast<uint16_t>(entry[1] | entry[2] << 8));
    default:
        return 0;
    }
}

KeyEntry EncodeKeyEntry(const KeyAssignment& record, const KeyEntry& defaultEntry,
                        const MacroLookup& macros) {
    switch (record.type) {
    case ASSIGN_DEFAULT:
    case ASSIGN_LAUNCH:
        return defaultEntry;
    case ASSIGN_NO_FUNCTION:
    case ASSIGN_TEXT_BLOCK:
        return {0x00, 0x00, 0x00};
    case ASSIGN_SINGLE_KEY: {
        if (uint8_t bit = modifierBit(record.value); bit != 0) {
            return {0x02, 0x01, bit};
        }
        // A value beyond the key codes (from a file) is no key, not the key its low bits would fold onto.
        const HidUsage hid =
            record.value <= 0xFFFF ? KeyCodeToHidUsage(static_cast<KeyCode>(record.value)) : HidUsage{};
        const uint8_t usage = hid.page == kPageKeyboard ? static_cast<uint8_t>(hid.usage) : 0;
        return {0x02, 0x02, usage};
    }
    case ASSIGN_MACRO: {
        const int position = macros.macroPosition(record.value);
        const uint8_t n = position >= 0 && position <= 0xFF ? static_cast<uint8_t>(position) : 0;
        return {0x05, 0x01, n};
    }
    case ASSIGN_STOP_MACRO:
        return {0x05, 0x02, 0x00};
    case ASSIGN_MEDIA:
        // An index out of range (only a file can hold one) keeps the key's own function.
        if (record.value >= kMediaKeyCount) {
            return defaultEntry;
        }
        return {0x03, static_cast<uint8_t>(kMediaKeyList[record.value].usage),
                static_cast<uint8_t>(kMediaKeyList[record.value].usage >> 8)};
    case ASSIGN_FUNCTION_KEY:
        if (record.value >= kFunctionKeyCount) {
            return defaultEntry;
        }
        return {0x05, 0x05, static_cast<uint8_t>(record.value)};
    default:
        // Unknown types come only from files; the key keeps its own function.
        return defaultEntry;
    }
}

void ResetProfileRecords(ProfileRecords records) {
    std::fill(records.begin(), records.end(), KeyAssignment{});
    for (KeySlot slot = kFirstGSlotLayer0; slot < kFirstGSlotLayer1 + kGKeyCount; ++slot) {
        records[slot].aux = GKeyTagOfSlot(slot);
    }
}

void ResetCurrentKeyboardKeys(ProfileRecords records, int gKeyLayer) {
    const KeySlot firstG = (gKeyLayer & 1) ? kFirstGSlotLayer1 : kFirstGSlotLayer0;
    for (size_t n = 0; n < kGKeyCount; ++n) {
        records[firstG + n] = KeyAssignment{};
    }
    for (const KeyButton& button : KeyButtons()) {
        records[KeyIndexFromCode(button.key)] = KeyAssignment{};
    }
}

long AssignToSlot(AssignmentRecordSink& store, unsigned profile, KeySlot slot, const KeyAssignment& record,
                  std::optional<std::u16string_view> text) {
    if (profile >= kProfileCount || slot >= kSlotsPerProfile) {
        return -1;
    }
    const size_t index = profile * kSlotsPerProfile + slot;
    store.releaseText(index);
    KeyAssignment written = record;
    written.flag = 0;
    written.reserved = 0;
    store.setRecord(index, written);
    if (text) {
        store.attachText(index, *text);
    }
    return static_cast<long>(index);
}

} // namespace tarvik::keyboard
