#include "keyboard/KeyTable.h"

#include "keyboard/UiTexts.h"

#include <algorithm>
#include <array>

namespace tarvik::keyboard {

namespace {

constexpr KeyCode kLastKeyCode = 0x17F;

constexpr KeyRow kEmptyRow{{}, {}, kNoVirtualKey, kNoVirtualKey, kNoListCode, 0};

} // namespace

const KeyRow& KeyRowOf(KeyCode code) {
    // Codes above the last key would fold onto the rows of other keys; they name no key.
    if (code > kLastKeyCode) {
        return kEmptyRow;
    }
    return KeyTable()[KeyIndexFromCode(code)];
}

std::u16string KeyName(KeyCode code, size_t capacity) {
    if (capacity == 0) {
        return {};
    }
    const KeyRow& row = KeyRowOf(code);
    std::u16string name(row.name);
    if (name.empty() && !row.textKey.empty()) {
        name = detail::uiText(row.textKey);
    }
    if (name.empty()) {
        name = detail::formatNumber(detail::uiText("UNKNOWN_KEY"), code);
    }
    if (name.size() > capacity - 1) {
        name.resize(capacity - 1);
    }
    return name;
}

std::u16string KeyNameFromListCode(uint16_t listCode) {
    const auto table = KeyTable();
    for (size_t i = 0; i < table.size(); ++i) {
        if (table[i].named() && table[i].listCode == listCode) {
            return KeyName(KeyCodeFromIndex(static_cast<KeyIndex>(i)));
        }
    }
    return {};
}

KeyCode KeyCodeFromListCode(uint16_t listCode) {
    const auto table = KeyTable();
    for (size_t i = 0; i < table.size(); ++i) {
        if (table[i].named() && table[i].listCode == listCode) {
            return KeyCodeFromIndex(static_cast<KeyIndex>(i));
        }
    }
    return 0;
}

uint16_t ListCodeFromKeyCode(KeyCode code) {
    return KeyRowOf(code).listCode;
}

HidUsage KeyCodeToHidUsage(KeyCode code) {
    const uint8_t d = KeyRowOf(code).deviceCode;
    if (d == 0x00 || d == 0xFF) {
        return {0, 0};
    }
    if (d >= 0x81 && d <= 0x83) {
        return {kPageGenericDesktop, d};
    }
    if (d >= 0xC0 && d <= 0xDF) {
        return {kPageConsumer, ConsumerUsageTable()[d - 0xC0]};
    }
    return {kPageKeyboard, d};
}

KeyCode HidUsageToKeyCode(uint16_t page, uint16_t usage) {
    unsigned d = 0;
    if (page == kPageKeyboard) {
        // A device code is one byte; a larger usage stands for no key rather than its low byte.
        d = usage <= 0xFF ? usage : 0;
    } else if (page == kPageGenericDesktop) {
        d = (usage >= 0x81 && usage <= 0x83) ? usage : 0;
    } else if (page == kPageConsumer) {
        const auto consumer = ConsumerUsageTable();
        const auto it = std::find(consumer.begin(), consumer.end(), usage);
        d = it != consumer.end() ? 0xC0 + static_cast<unsigned>(it - consumer.begin()) : 0;
    }
    if (d == 0) {
        return 0;
    }
    // The first (lowest) row of each device code, so Pause wins over Break and 0x036 over 0x136.
    static const std::array<KeyIndex, 256> firstRowOfDeviceCode = [] {
        std::array<KeyIndex, 256> first{};
        const auto table = KeyTable();
        for (size_t i = table.size(); i-- > 1;) {
            first[table[i].deviceCode] = static_cast<KeyIndex>(i);
        }
        return first;
    }();
    const KeyIndex index = firstRowOfDeviceCode[d];
    return index == 0 ? 0 : KeyCodeFromIndex(index);
}

KeyCode KeyCodeFromVirtualKey(uint32_t vk) {
    const KeyIndex index = VkTable()[vk & 0xFF];
    return index == 0 ? 0 : KeyCodeFromIndex(index);
}

KeyCode KeyCodeFromKeyMessage(uint32_t vk, uint32_t lParam) {
    const KeyCode r = KeyCodeFromVirtualKey(vk);
    const KeyCode s = static_cast<KeyCode>((lParam >> 16) & 0x1FF);
    const uint8_t vkLow = static_cast<uint8_t>(vk & 0xFF);
    // Windows reports the right Shift with the generic VK of the left one; its scan code tells them apart.
    if (s == 0x036) {
        return 0x036;
    }
    if (vkLow == 0xFF) {
        return s;
    }
    if ((s & 0xFF) == 0) {
        return r;
    }
    const KeyRow& row = KeyTable()[KeyIndexFromCode(s)];
    if (row.vk == vkLow || row.vkNumLockOff == vkLow) {
        return s;
    }
    if ((s & 0xFF) == VkTable()[vkLow]) {
        return s;
    }
    return r;
}

KeyCode WindowsKeyFromVirtualKey(uint32_t vk, bool withAppKey) {
    switch (vk) {
    case 0x5B:
        return 0x15B;
    case 0x5C:
        return 0x15C;
    case 0x5D:
        return withAppKey ? 0x15D : 0;
    default:
        return 0;
    }
}

bool IsMediaKeyCode(KeyCode code) {
    const auto media = MediaKeyCodes();
    return std::find(media.begin(), media.end(), code) != media.end();
}

int IsSpecialRecordKey(KeyCode code) {
    const auto special = SpecialRecordKeys();
    return std::find(special.begin(), special.end(), code) != special.end() ? 1 : 0;
}

} // namespace tarvik::keyboard
