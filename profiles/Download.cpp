#include "profiles/Download.h"

#include "device/OnBoardProfile.h"
#include "macros/MacroImage.h"
#include "macros/MacroSetLookup.h"
#include "profiles/ProfileFile.h"

#include <new>
#include <vector>

namespace tarvik::profiles {

keyboard::DefaultLayout keyboardLayout(const device::AppLinkState& state) {
    if (auto block = state.defaultKeyBlock.get()) {
        return keyboard::DefaultLayout(*block);
    }
    return keyboard::CurrentDefaultLayout();
}

bool prepareAppliedCopy(AssignmentStore& store) {
    AssignmentStore::AppliedLock lock = store.lockApplied();
    AppliedCopy& applied = store.applied();
    WorkingCopy& working = store.working();
    applied.release();
    try {
        applied.pool = packTexts(working);
        *applied.block = working.block();
        ProfileFileHeader::forContents(static_cast<uint16_t>(working.macros().size()),
                                       static_cast<uint32_t>(applied.pool.size()))
            .write(
                std::span<uint8_t, kProfileHeaderSize>(applied.block->headerArea.data(), kProfileHeaderSize));
        applied.macros = working.macros();
    } catch (const std::bad_alloc&) {
        applied.release();
        return false;
    }
    return true;
}

int download(AssignmentStore& store, device::Commands& commands, device::AppLinkState& state,
             Prompter& prompter, bool allProfiles) {
    AssignmentStore::AppliedLock lock = store.lockApplied();
    if (!prepareAppliedCopy(store)) {
        return 0;
    }
    const AppliedCopy& applied = store.applied();

    macros::MacroImageSizes sizes = macros::macroImageSizes(applied.macros);
    size_t capacity = state.macroCapacity.load();
    if (sizes.withoutNames > capacity) {
        prompter.show("EXTRA_MACRO_TOO_LONG");
        return 0;
    }
    bool withNames = sizes.withNames <= capacity;
    std::vector<uint8_t> image;
    std::vector<std::pair<unsigned, keyboard::KeyBlock>> blocks;
    try {
        image = macros::buildMacroImage(applied.macros, withNames ? sizes.withNames : sizes.withoutNames,
                                        withNames);
        if (image.empty()) {
            return 0;
        }
        macros::MacroSetLookup lookup(applied.macros);
        keyboard::DefaultLayout layout = keyboardLayout(state);
        if (allProfiles) {
            for (unsigned p = 0; p < device::kProfileCount; ++p) {
                blocks.emplace_back(p, keyboard::BuildKeyBlock(applied.block->profile(p), lookup, layout));
            }
        } else if (int p = device::currentOnBoardProfile(commands, state); p >= 0) {
            blocks.emplace_back(
                static_cast<unsigned>(p),
                keyboard::BuildKeyBlock(applied.block->profile(static_cast<unsigned>(p)), lookup, layout));
        }
    } catch (const std::bad_alloc&) {
        return 0;
    }

    // The framing commands' results do not decide anything, except that a keyboard that is gone ends the
    // sequence at once.
    if (commands.beginWrite() == device::kNoKeyboard) {
        return device::kNoKeyboard;
    }
    int result = commands.writeMacroArea(image);
    if (result == device::kNoKeyboard) {
        return result;
    }
    if (blocks.empty()) {
        // No current profile could be read: nothing to write the blocks to.
        result = result == device::kOk ? device::kBadBlock : result;
    }
    for (const auto& [profile, block] : blocks) {
        int rc = commands.writeKeyBlock(block, profile);
        if (rc == device::kNoKeyboard) {
            return rc;
        }
        if (result == device::kOk) {
            result = rc;
        }
    }
    if (commands.endWrite() == device::kNoKeyboard) {
        return device::kNoKeyboard;
    }
    if (!withNames) {
        prompter.show("EXTRA_PROFILE_SPACE_TIGHT");
    }
    return result;
}

int makeAppliedCopy(AssignmentStore& store, device::Commands& commands, device::AppLinkState& state,
                    Prompter& prompter, bool allProfiles) {
    return download(store, commands, state, prompter, allProfiles);
}

} // namespace tarvik::profiles
