// Key blocks: a profile's records as the keyboard's 126 key entries, and back.
#include "keyboard/KeyAssignment.h"

namespace tarvik::keyboard {

KeyBlock BuildKeyBlock(ConstProfileRecords records, const MacroLookup& macros, const DefaultLayout& layout) {
    KeyBlock block = layout.bytes();
    for (size_t s = 0; s < kKeyBlockSlots; ++s) {
        const KeyEntry defaultEntry = layout.entry(s);
        const KeyCode key = KeyOfKeyEntry(defaultEntry);
        if (key == 0) {
            continue;
        }
        const KeyEntry entry = EncodeKeyEntry(records[KeyIndexFromCode(key)], defaultEntry, macros);
        std::copy(entry.begin(), entry.end(), block.begin() + static_cast<long>(s * kKeyEntrySize));
    }
    return block;
}

KeyBlock BuildKeyBlock(ConstProfileRecords records, const MacroLookup& macros) {
    return BuildKeyBlock(records, macros, CurrentDefaultLayout());
}

void ReadKeyBlock(std::span<const uint8_t, kKeyBlockSize> block, ProfileRecords records,
                  const DefaultLayout& layout) {
    ResetProfileRecords(records);
    for (size_t s = 0; s < kKeyBlockSlots; ++s) {
        const size_t at = s * kKeyEntrySize;
        const KeyEntry d = {block[at], block[at + 1], block[at + 2]};
        const KeyEntry t = layout.entry(s);
        if (d == t) {
            continue;
        }
        const KeyCode key = KeyOfKeyEntry(t);
        if (key == 0) {
            continue;
        }
        KeyAssignment& record = records[KeyIndexFromCode(key)];
        record.type = ASSIGN_NO_FUNCTION;
        if (d[0] == 0x05 && d[1] == 0x01) {
            record.type = ASSIGN_MACRO;
            record.value = d[2] + 1u;
        } else if (d[0] == 0x05 && d[1] == 0x02) {
            record.type = ASSIGN_STOP_MACRO;
        } else if (d[0] == 0x05 && d[1] == 0x05) {
            record.type = ASSIGN_FUNCTION_KEY;
            record.value = d[2];
        } else if (d[0] == 0x03) {
            const uint16_t usage = static_cast<uint16_t>(d[1] | d[2] << 8);
            const auto media = MediaKeyList();
            for (size_t i = 0; i < media.size(); ++i) {
                if (media[i].usage == usage) {
                    record.type = ASSIGN_MEDIA;
                    record.value = static_cast<uint32_t>(i);
                    break;
                }
            }
        } else if (d[0] == 0x02 && d[1] == 0x02) {
            if (const KeyCode target = HidUsageToKeyCode(kPageKeyboard, d[2]); target != 0) {
                record.type = ASSIGN_SINGLE_KEY;
                record.value = target;
            }
        } else if (d[0] == 0x02 && d[1] == 0x01) {
            // KeyOfKeyEntry decodes the modifier byte (lowest set bit).
            if (const KeyCode target = KeyOfKeyEntry(d); target != 0) {
                record.type = ASSIGN_SINGLE_KEY;
                record.value = target;
            }
        }
    }
}

void ReadKeyBlock(std::span<const uint8_t, kKeyBlockSize> block, ProfileRecords records) {
    ReadKeyBlock(block, records, CurrentDefaultLayout());
}

} // namespace tarvik::keyboard
