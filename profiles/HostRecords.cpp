#include "profiles/HostRecords.h"

#include "keyboard/KeyAssignment.h"
#include "keyboard/Layout.h"
#include "macros/MacroImage.h"
#include "macros/MacroSetLookup.h"

#include <array>

namespace tarvik::profiles {

namespace {

constexpr unsigned kOnBoardProfiles = 3;

void copyRecord(WorkingCopy& to, const WorkingCopy& from, size_t index) {
    to.setRecord(index, from.records()[index]);
    to.releaseText(index);
    if (const TextSlot& t = from.text(index); t.size != 0 && carriesText(from.records()[index].type)) {
        to.attachText(index, t.text);
    }
}

bool isGKeySlot(size_t slot) {
    return slot >= keyboard::kFirstGSlotLayer0 && slot < keyboard::kFirstGSlotLayer1 + keyboard::kGKeyCount;
}

// The names of previous's macros for the macros the keyboard holds without names.
void keepMacroNames(macros::MacroSet& fromKeyboard, const macros::MacroSet& previous) {
    const macros::MacroImageSizes sizes = macros::macroImageSizes(previous);
    // previous as the keyboard holds it: delays in whole 10 ms, no names.
    const std::vector<uint8_t> image = macros::buildMacroImage(previous, sizes.withoutNames, false);
    if (image.empty()) {
        return;
    }
    const macros::MacroSet asStored = macros::decodeMacroImage(image);
    for (size_t i = 0; i < fromKeyboard.size() && i < asStored.size(); ++i) {
        if (fromKeyboard[i].cycles() == asStored[i].cycles() &&
            fromKeyboard[i].actions() == asStored[i].actions()) {
            fromKeyboard[i].setName(previous[i].name());
        }
    }
}

} // namespace

void keepHostRecords(WorkingCopy& fromKeyboard, const WorkingCopy& previous,
                     const keyboard::DefaultLayout& layout, bool keyboardHadNames) {
    const macros::MacroSetLookup lookup(previous.macros());
    for (unsigned p = 0; p < keyboard::kProfileCount; ++p) {
        const size_t base = p * keyboard::kSlotsPerProfile;
        if (p >= kOnBoardProfiles) {
            for (size_t slot = 0; slot < keyboard::kSlotsPerProfile; ++slot) {
                copyRecord(fromKeyboard, previous, base + slot);
            }
            continue;
        }
        // What the keyboard would hold for previous's records of this profile, read back.
        std::array<keyboard::KeyAssignment, keyboard::kSlotsPerProfile> sent{};
        keyboard::ReadKeyBlock(keyboard::BuildKeyBlock(previous.block().profile(p), lookup, layout), sent,
                               layout);
        for (size_t slot = 0; slot < keyboard::kSlotsPerProfile; ++slot) {
            const keyboard::KeyAssignment& old = previous.records()[base + slot];
            // A G-key record that was never set (not even its tag) is no better than the keyboard's.
            const bool keptGKey = isGKeySlot(slot) && !(old == keyboard::KeyAssignment{});
            if (keptGKey || (carriesText(old.type) && fromKeyboard.records()[base + slot] == sent[slot])) {
                copyRecord(fromKeyboard, previous, base + slot);
            }
        }
    }
    if (!keyboardHadNames) {
        keepMacroNames(fromKeyboard.macros(), previous.macros());
    }
}

} // namespace tarvik::profiles
