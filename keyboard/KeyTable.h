// The key code tables: one identifier for every ordinary key (the KeyCode, a set-1 scan code with 0x100
// added for E0-prefixed keys) and the constant tables that carry its name, its Windows virtual key, its
// place in the key pick list and the code the keyboard's firmware stores for it. Everything here is
// constant data and pure functions; nothing fails.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace tarvik::keyboard {

// A set-1 scan code, 0x100 | code for extended keys; 0 means no key. Valid codes are 0x001-0x07F and
// 0x100-0x17F. Pause is 0x045 and Num Lock 0x145 (the reverse of the raw set-1 codes).
using KeyCode = uint16_t;
// A key code folded onto the 256 rows of the key table.
using KeyIndex = uint8_t;

inline constexpr size_t kKeyTableSize = 256;
inline constexpr size_t kKeyNameCapacity = 260; // what callers pass as the name buffer's capacity
inline constexpr uint16_t kNoListCode = 0xFFFF;
inline constexpr uint8_t kNoVirtualKey = 0xFF;

// Usage pages of the keyboard's device codes.
inline constexpr uint16_t kPageGenericDesktop = 0x01;
inline constexpr uint16_t kPageKeyboard = 0x07;
inline constexpr uint16_t kPageConsumer = 0x0C;

// One row of the key table.
struct KeyRow {
    std::u16string_view name; // display name; empty for unnamed rows and for the media keys
    std::string_view textKey; // media keys: the UI text that names them; empty otherwise
    uint8_t vk;               // Windows virtual key, 0xFF where the key has none
    uint8_t vkNumLockOff;     // the virtual key while Num Lock is off; equals vk except on the keypad
    uint16_t listCode;        // 0x0000-0x0069 pick list, 0x8001-0x8030 named but not listed, 0xFFFF none
    uint8_t deviceCode; // keyboard-page usage, 0x81-0x83 system control, 0xC0-0xDF consumer, 0/0xFF none

    // Named rows are those with a fixed name or a UI text.
    constexpr bool named() const { return !name.empty() || !textKey.empty(); }
};

// index from code: the 0x100 range folds onto 0x80-0xFF.
constexpr KeyIndex KeyIndexFromCode(KeyCode code) {
    return code < 0x100 ? static_cast<KeyIndex>(code) : static_cast<KeyIndex>((code - 0x80) & 0xFF);
}

constexpr KeyCode KeyCodeFromIndex(KeyIndex index) {
    return index < 0x80 ? index : static_cast<KeyCode>(index + 0x80);
}

// The tables themselves.
std::span<const KeyRow, kKeyTableSize> KeyTable();
// The row of the code's KeyIndex; codes above 0x17F, which would fold onto other keys' rows, give an
// empty row.
const KeyRow& KeyRowOf(KeyCode code);
// 32 consumer-page usages indexed by device code - 0xC0 (entries 0xD2-0xDF are 0).
std::span<const uint16_t, 32> ConsumerUsageTable();
// 256 entries indexed by virtual key, each a KeyIndex (0 = no key).
std::span<const KeyIndex, 256> VkTable();
// The 106 keys of the key pick list in list order: a position is a list code.
std::span<const KeyCode, 106> KeyPickList();
// The 18 media keys (reached through the media list, never through single-key capture).
std::span<const KeyCode, 18> MediaKeyCodes();
// Sys Req, KL, KR and Print Screen, which the macro recorder treats specially.
std::span<const KeyCode, 4> SpecialRecordKeys();

// The display name, cut to capacity - 1 characters. A row without a name gives the UI text UNKNOWN_KEY
// filled in with the key code itself (0x155 gives "Unknown Key: 155").
std::u16string KeyName(KeyCode code, size_t capacity = kKeyNameCapacity);
// The name of the first row with this list code; empty when none.
std::u16string KeyNameFromListCode(uint16_t listCode);
// The key code of the first row with this list code; 0 when none.
KeyCode KeyCodeFromListCode(uint16_t listCode);
// The list code of the key's row; 0xFFFF for a code without a key.
uint16_t ListCodeFromKeyCode(KeyCode code);

struct HidUsage {
    uint16_t page = 0; // 0: the key has no device code
    uint16_t usage = 0;
    friend constexpr bool operator==(const HidUsage&, const HidUsage&) = default;
};
HidUsage KeyCodeToHidUsage(KeyCode code);
// The key of the first row (lowest index) whose device code stands for this usage; 0 when none.
KeyCode HidUsageToKeyCode(uint16_t page, uint16_t usage);

// The key of a virtual key (its low byte, through VkTable); 0 when none.
KeyCode KeyCodeFromVirtualKey(uint32_t vk);
// The key of a Windows keyboard message: lParam carries the scan code in bits 16-23 and the extended
// flag in bit 24. The scan code wins when it agrees with the virtual key; otherwise the virtual key.
KeyCode KeyCodeFromKeyMessage(uint32_t vk, uint32_t lParam);
// A low-level keyboard hook takes the Windows keys from the virtual key alone: 0x5B Win, 0x5C Right Win
// and, when withAppKey (single-key capture), 0x5D App. 0 for any other virtual key.
KeyCode WindowsKeyFromVirtualKey(uint32_t vk, bool withAppKey);

bool IsMediaKeyCode(KeyCode code);
int IsSpecialRecordKey(KeyCode code); // 1 or 0

} // namespace tarvik::keyboard
