#include "macros/MacroImage.h"

#include "keyboard/KeyAssignment.h"
#include "keyboard/KeyTable.h"
#include "platform/Bytes.h"

#include <algorithm>
#include <string>

namespace tarvik::macros {

namespace {
constexpr uint16_t kDelayMask = 0x0FFF;
constexpr uint16_t kPressBit = 0x8000;
constexpr unsigned kKindShift = 12;
constexpr uint16_t kKindMask = 0x7;

size_t blockSize(const MacroRecord& m, bool withNames) {
    return kMacroBlockHeaderSize + kEncodedActionSize * m.actionCount() +
           (withNames ? 2 * m.nameLength() : 0);
}
} // namespace

std::array<uint8_t, kEncodedActionSize> encodeMacroAction(const MacroAction& action) {
    std::array<uint8_t, kEncodedActionSize> out{};
    auto control = static_cast<uint16_t>((action.delayMs / 10) & kDelayMask);
    keyboard::HidUsage u = keyboard::KeyCodeToHidUsage(action.key);
    switch (u.page) {
    case keyboard::kPageKeyboard: {
        // The same two bytes a single-key assignment gives: {1, modifier bit} or {2, usage}.
        keyboard::KeyAssignment asKey;
        asKey.type = keyboard::ASSIGN_SINGLE_KEY;
        asKey.value = action.key;
        keyboard::KeyEntry e = keyboard::EncodeKeyEntry(asKey, keyboard::KeyEntry{}, keyboard::NoMacros{});
        control |= kKindKeyboard << kKindShift;
        out[2] = e[1];
        out[3] = e[2];
        break;
    }
    case keyboard::kPageConsumer:
        control |= kKindConsumer << kKindShift;
        writeLe16(&out[2], u.usage);
        break;
    case keyboard::kPageGenericDesktop:
        control |= kKindSystem << kKindShift;
        writeLe16(&out[2], u.usage);
        break;
    default:
        break;
    }
    if (action.direction != kRelease) {
        control |= kPressBit;
    }
    writeLe16(&out[0], control);
    return out;
}

MacroAction decodeMacroAction(std::span<const uint8_t, kEncodedActionSize> b) {
    uint16_t control = readLe16(&b[0]);
    MacroAction a;
    a.delayMs = static_cast<uint32_t>(control & kDelayMask) * 10u;
    a.direction = (control & kPressBit) != 0 ? kPress : kRelease;
    switch ((control >> kKindShift) & kKindMask) {
    case kKindKeyboard:
        // Byte 2 says usage (2) or modifier bit (1); any other form carries no key.
        if (b[2] == 1 || b[2] == 2) {
            a.key = keyboard::KeyOfKeyEntry(keyboard::KeyEntry{0x02, b[2], b[3]});
        }
        break;
    case kKindConsumer:
        a.key = keyboard::HidUsageToKeyCode(keyboard::kPageConsumer, readLe16(&b[2]));
        break;
    case kKindSystem:
        a.key = keyboard::HidUsageToKeyCode(keyboard::kPageGenericDesktop, readLe16(&b[2]));
        break;
    default:
        break;
    }
    return a;
}

MacroImageSizes macroImageSizes(std::span<const MacroRecord> set) {
    MacroImageSizes s{kMacroImageHeaderSize + 2 * set.size(), kMacroImageHeaderSize + 2 * set.size()};
    for (const auto& m : set) {
        s.withNames += blockSize(m, true);
        s.withoutNames += blockSize(m, false);
    }
    return s;
}

std::vector<uint8_t> buildMacroImage(std::span<const MacroRecord> set, size_t size, bool withNames) {
    size_t needed = kMacroImageHeaderSize + 2 * set.size();
    for (const auto& m : set) {
        needed += blockSize(m, withNames);
    }
    if (size > kMaxMacroImageSize || needed > size) {
        return {};
    }
    std::vector<uint8_t> image(size, 0);
    writeLe16(&image[kImgOffMagic], kMacroImageMagic);
    writeLe16(&image[kImgOffSize], static_cast<uint16_t>(size));
    writeLe16(&image[kImgOffCount], static_cast<uint16_t>(set.size()));
    writeLe16(&image[kImgOffNamesFlag], withNames ? 1 : 0);
    size_t pos = kImgOffTable + 2 * set.size();
    for (size_t i = 0; i < set.size(); ++i) {
        const MacroRecord& m = set[i];
        writeLe16(&image[kImgOffTable + 2 * i], static_cast<uint16_t>(pos));
        size_t count = m.actionCount();
        size_t nameLength = withNames ? m.nameLength() : 0;
        writeLe16(&image[pos], static_cast<uint16_t>(count));
        image[pos + 2] = m.cycles();
        image[pos + 3] = static_cast<uint8_t>(nameLength);
        pos += kMacroBlockHeaderSize;
        for (size_t a = 0; a < count; ++a) {
            auto e = encodeMacroAction(m.action(a));
            std::copy(e.begin(), e.end(), image.begin() + static_cast<std::ptrdiff_t>(pos));
            pos += kEncodedActionSize;
        }
        std::u16string name = m.name();
        for (size_t u = 0; u < nameLength; ++u) {
            writeLe16(&image[pos], static_cast<uint16_t>(name[u]));
            pos += 2;
        }
    }
    return image;
}

MacroSet decodeMacroImage(std::span<const uint8_t> image, std::u16string_view newPrefix) {
    MacroSet set;
    if (image.size() < kMacroImageHeaderSize || readLe16(&image[kImgOffMagic]) != kMacroImageMagic) {
        return set;
    }
    // The image ends where the bytes end or where its header says it does, whichever comes first.
    size_t end = std::min<size_t>(image.size(), readLe16(&image[kImgOffSize]));
    size_t count = readLe16(&image[kImgOffCount]);
    size_t tableRoom = end > kImgOffTable ? (end - kImgOffTable) / 2 : 0;
    count = std::min({count, kMaxMacros, tableRoom});
    set.reserve(count);

    std::vector<MacroAction> actions;
    for (size_t i = 0; i < count; ++i) {
        MacroRecord m;
        m.setId(static_cast<uint16_t>(i + 1));
        size_t nameLength = 0;
        size_t namePos = 0;
        size_t block = readLe16(&image[kImgOffTable + 2 * i]);
        actions.clear();
        if (block + kMacroBlockHeaderSize <= end) {
            size_t stored = readLe16(&image[block]);
            m.setCycles(image[block + 2]);
            size_t pos = block + kMacroBlockHeaderSize;
            size_t fit = (end - pos) / kEncodedActionSize;
            size_t n = std::min({stored, kMaxActions, fit});
            actions.reserve(n);
            for (size_t a = 0; a < n; ++a) {
                actions.push_back(decodeMacroAction(std::span<const uint8_t, kEncodedActionSize>(
                    &image[pos + a * kEncodedActionSize], kEncodedActionSize)));
            }
            // The name follows all stored actions; when they ran past the end there is no name.
            if (stored <= fit) {
                namePos = pos + stored * kEncodedActionSize;
                nameLength = std::min({size_t{image[block + 3]}, kMaxNameUnits, (end - namePos) / 2});
            }
        }
        m.setActions(actions);
        if (nameLength > 0) {
            std::u16string name(nameLength, u'\0');
            for (size_t u = 0; u < nameLength; ++u) {
                name[u] = static_cast<char16_t>(readLe16(&image[namePos + 2 * u]));
            }
            m.setName(name);
        } else {
            std::u16string name(newPrefix);
            for (char c : std::to_string(i + 1)) {
                name.push_back(static_cast<char16_t>(c));
            }
            m.setName(name);
        }
        set.push_back(std::move(m));
    }
    return set;
}

} // namespace tarvik::macros
