// A key block and a default layout as a keyboard may report them: any 378 bytes each. Reading the block
// back, building it again and summarising every button must stay in bounds, and building from what was
// read must reproduce every slot the read understood.
#include "keyboard/KeyAssignment.h"

#include <array>
#include <cstdint>
#include <cstdlib>
#include <cstring>

using namespace tarvik::keyboard;

namespace {

class ListMacros : public MacroLookup {
public:
    int macroPosition(uint32_t id) const override {
        return id >= 1 && id <= 256 ? static_cast<int>(id - 1) : -1;
    }
    std::u16string macroName(uint32_t id) const override { return id % 2 ? u"odd" : u""; }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The first 378 bytes are the device's block, the next 378 (when present) its default layout.
    KeyBlock block{};
    std::memcpy(block.data(), data, std::min(size, block.size()));
    DefaultLayout layout = DefaultLayout::builtIn();
    if (size >= 2 * kKeyBlockSize) {
        layout = DefaultLayout(std::span<const uint8_t, kKeyBlockSize>(data + kKeyBlockSize, kKeyBlockSize));
    }

    std::array<KeyAssignment, kSlotsPerProfile> records;
    ReadKeyBlock(block, records, layout);
    const ListMacros macros;
    const KeyBlock rebuilt = BuildKeyBlock(records, macros, layout);

    for (size_t s = 0; s < kKeyBlockSlots; ++s) {
        const KeyEntry def = layout.entry(s);
        if (KeyOfKeyEntry(def) == 0) {
            // Slots without a key keep their default entry.
            if (std::memcmp(rebuilt.data() + s * 3, def.data(), 3) != 0) {
                std::abort();
            }
        }
    }
    for (const KeyButton& b : KeyButtons()) {
        (void)AssignmentSummary(b.controlId, KeyIndexFromCode(b.key), records[KeyIndexFromCode(b.key)],
                                macros);
    }
    // Records straight from the bytes, as a profile file would hold them.
    for (size_t at = 0; at + KeyAssignment::kSize <= size; at += KeyAssignment::kSize) {
        const KeyAssignment r =
            KeyAssignment::read(std::span<const uint8_t, KeyAssignment::kSize>(data + at, 16));
        (void)EncodeKeyEntry(r, layout.entry(at / 16 % kKeyBlockSlots), macros);
        (void)AssignmentSummary(1058, 0x1E, r, macros);
    }
    return 0;
}
