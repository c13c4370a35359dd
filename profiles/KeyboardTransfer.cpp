#include "profiles/KeyboardTransfer.h"

#include "device/OnBoardProfile.h"
#include "macros/MacroImage.h"
#include "platform/AtomicFile.h"
#include "platform/Bytes.h"
#include "profiles/Download.h"
#include "profiles/ProfileFile.h"
#include "profiles/ProfileFiles.h"

#include <algorithm>
#include <array>
#include <new>

namespace tarvik::profiles {

std::optional<macros::MacroSet> readKeyboardMacros(device::Commands& commands, device::AppLinkState& state,
                                                   std::u16string_view macroPrefix) {
    std::vector<uint8_t> image(macros::kMacroImageHeaderSize);
    if (commands.readMacroArea(image) != device::kOk) {
        return std::nullopt;
    }
    if (readLe16(&image[macros::kImgOffMagic]) == macros::kMacroImageMagic) {
        // The header's size, but never more than the keyboard says its macro area holds: the decoder
        // clips whatever the header promised beyond that.
        size_t size = std::max<size_t>(readLe16(&image[macros::kImgOffSize]), macros::kMacroImageHeaderSize);
        if (size_t capacity = state.macroCapacity.load(); capacity >= macros::kMacroImageHeaderSize) {
            size = std::min(size, capacity);
        }
        image.resize(size);
        if (commands.readMacroArea(image) != device::kOk) {
            return std::nullopt;
        }
    } else {
        image.clear();
    }

    return macros::decodeMacroImage(image, macroPrefix);
}

std::optional<std::vector<uint8_t>> readKeyboardProfile(device::Commands& commands,
                                                        device::AppLinkState& state,
                                                        std::u16string_view macroPrefix) {
    int current = device::currentOnBoardProfile(commands, state);
    if (current < 0 || current > 3) {
        return std::nullopt;
    }
    std::array<std::array<uint8_t, device::kKeyBlockSize>, device::kProfileCount> blocks{};
    for (unsigned p = 0; p < device::kProfileCount; ++p) {
        if (commands.readKeyBlock(blocks[p], p) != device::kOk) {
            return std::nullopt;
        }
    }
    std::optional<macros::MacroSet> macroSet = readKeyboardMacros(commands, state, macroPrefix);
    if (!macroSet) {
        return std::nullopt;
    }

    WorkingCopy w;
    newDefaultStore(w);
    keyboard::DefaultLayout layout = keyboardLayout(state);
    for (unsigned p = 0; p < device::kProfileCount; ++p) {
        keyboard::ReadKeyBlock(blocks[p], w.block().profile(p), layout);
    }
    // Profile 3 is never on the keyboard: all zero, as in a new file.
    for (auto& r : w.block().profile(3)) {
        r = keyboard::KeyAssignment{};
    }
    w.macros() = std::move(*macroSet);
    std::vector<uint8_t> bytes = serializeProfile(w);
    if (bytes.empty()) {
        return std::nullopt;
    }
    return bytes;
}

bool readKeyboardToFile(const std::filesystem::path& path, device::Commands& commands,
                        device::AppLinkState& state, std::u16string_view macroPrefix) {
    std::optional<std::vector<uint8_t>> bytes;
    try {
        bytes = readKeyboardProfile(commands, state, macroPrefix);
    } catch (const std::bad_alloc&) {
        return false;
    }
    return bytes && writeFileAtomically(path, *bytes);
}

bool reloadFromKeyboard(AssignmentStore& store, device::Commands& commands, device::AppLinkState& state,
                        const FirstRunHook& firstRun, std::u16string_view macroPrefix) {
    ensureDataFolder(firstRun);
    std::filesystem::path cache = cacheFilePath(0);
    bool read = device::currentOnBoardProfile(commands, state) >= 0 &&
                readKeyboardToFile(cache, commands, state, macroPrefix);
    auto lock = store.lockKeyData();
    WorkingCopy& working = store.working();
    working.release();
    if (read && loadProfileFile(store, cache) == 1) {
        return true;
    }
    working.release();
    newDefaultStore(working);
    return false;
}

int importProfileFile(AssignmentStore& store, const std::filesystem::path& path, device::Commands& commands,
                      device::AppLinkState& state, Prompter& prompter) {
    ProfileFileCheck check = checkProfileFile(path);
    if (check.result <= 0 || !check.loadable) {
        if (check.badHeader || (check.result == 1 && !check.loadable)) {
            prompter.show("PROFILE_FORMAT_ERROR");
        }
        prompter.show("MAIN_PROMPT_INPORT");
        return 0;
    }
    auto lock = store.lockKeyData();
    if (loadProfileBytes(store, check.bytes) != 1) {
        // Only memory can run out here: the same bytes passed the loader's checks above.
        prompter.show("MAIN_PROMPT_INPORT");
        return 0;
    }
    (void)saveCacheFile(store);
    return makeAppliedCopy(store, commands, state, prompter, true);
}

} // namespace tarvik::profiles
