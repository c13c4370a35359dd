#include "profiles/KeyboardGuard.h"

#include "profiles/KeyboardTransfer.h"
#include "profiles/ProfileFile.h"

#include <new>
#include <utility>

namespace tarvik::profiles {

bool fillAppliedCopy(AppliedCopy& applied, WorkingCopy& copy) {
    applied.release();
    try {
        applied.pool = packTexts(copy);
        *applied.block = copy.block();
        ProfileFileHeader::forContents(static_cast<uint16_t>(copy.macros().size()),
                                       static_cast<uint32_t>(applied.pool.size()))
            .write(
                std::span<uint8_t, kProfileHeaderSize>(applied.block->headerArea.data(), kProfileHeaderSize));
        applied.macros = copy.macros();
    } catch (const std::bad_alloc&) {
        applied.release();
        return false;
    }
    return true;
}

namespace {

KeyboardCheck readAndMerge(AssignmentStore& store, device::Commands& commands, device::AppLinkState& state,
                           std::u16string_view macroPrefix, std::optional<WorkingCopy>* keyboardCopy) {
    KeyboardCheck check;
    AssignmentStore::AppliedLock lock = store.lockApplied();
    KeyboardFingerprint& seen = store.fingerprint();
    if (!seen.known()) {
        return check;
    }
    const device::SettingsShadow settingsSeen = commands.settingsSeen();
    check.areas = readKeyboardAreas(commands, state, seen.macroImageSize());
    if (!check.areas) {
        check.result = device::kNoReply;
        return check;
    }
    check.settingsChanged = settingsSeen.differsFrom(check.areas->settings);
    if (!seen.changedIn(*check.areas, state.macroCapacity.load())) {
        return check;
    }
    try {
        WorkingCopy now = keyboardCopyOf(*check.areas, state, macroPrefix);
        check.merge = mergeKeyboardChanges(store.working(), store.applied(), now);
        check.merged = check.merge.changed();
        if (keyboardCopy != nullptr) {
            *keyboardCopy = std::move(now);
        }
    } catch (const std::bad_alloc&) {
        check.result = 0;
    }
    return check;
}

} // namespace

KeyboardCheck checkKeyboard(AssignmentStore& store, device::Commands& commands, device::AppLinkState& state,
                            std::u16string_view macroPrefix) {
    return readAndMerge(store, commands, state, macroPrefix, nullptr);
}

KeyboardCheck takeKeyboardChanges(AssignmentStore& store, device::Commands& commands,
                                  device::AppLinkState& state, std::u16string_view macroPrefix) {
    device::Commands::Frame held = commands.frame();
    if (!held) {
        KeyboardCheck check;
        check.result = held.result();
        return check;
    }
    AssignmentStore::AppliedLock lock = store.lockApplied();
    std::optional<WorkingCopy> now;
    KeyboardCheck check = readAndMerge(store, commands, state, macroPrefix, &now);
    if (check.ok() && now) {
        if (fillAppliedCopy(store.applied(), *now)) {
            store.fingerprint().recordRead(*check.areas, state.macroCapacity.load());
        } else {
            store.fingerprint().forget();
        }
    }
    return check;
}

} // namespace tarvik::profiles
