#include "profiles/KeyboardTransfer.h"

#include "device/OnBoardProfile.h"
#include "macros/MacroImage.h"
#include "platform/AtomicFile.h"
#include "platform/Bytes.h"
#include "profiles/HostRecords.h"
#include "profiles/ProfileFile.h"
#include "profiles/ProfileFiles.h"

#include <algorithm>
#include <array>
#include <new>
#include <utility>

namespace tarvik::profiles {

namespace {

struct KeyboardContents {
    WorkingCopy copy;
    bool macroNames = true;
};

std::optional<KeyboardContents> readKeyboardContents(device::Commands& commands, device::AppLinkState& state,
                                                     std::u16string_view macroPrefix) {
    device::Commands::Frame held = commands.frame();
    if (!held) {
        return std::nullopt;
    }
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
    KeyboardContents kb;
    std::optional<macros::MacroSet> macroSet =
        readKeyboardMacros(commands, state, macroPrefix, &kb.macroNames);
    if (!macroSet) {
        return std::nullopt;
    }

    WorkingCopy& w = kb.copy;
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
    return kb;
}

} // namespace

std::optional<macros::MacroSet> readKeyboardMacros(device::Commands& commands, device::AppLinkState& state,
                                                   std::u16string_view macroPrefix, bool* withNames) {
    device::Commands::Frame held = commands.frame();
    if (!held) {
        return std::nullopt;
    }
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
    if (withNames != nullptr) {
        *withNames =
            image.size() >= macros::kMacroImageHeaderSize && readLe16(&image[macros::kImgOffNamesFlag]) == 1;
    }
    return macros::decodeMacroImage(image, macroPrefix);
}

std::optional<std::vector<uint8_t>> readKeyboardProfile(device::Commands& commands,
                                                        device::AppLinkState& state,
                                                        std::u16string_view macroPrefix) {
    std::optional<KeyboardContents> kb = readKeyboardContents(commands, state, macroPrefix);
    if (!kb) {
        return std::nullopt;
    }
    std::vector<uint8_t> bytes = serializeProfile(kb->copy);
    if (bytes.empty()) {
        return std::nullopt;
    }
    return bytes;
}

std::optional<WorkingCopy> readKeyboardKeepingHostRecords(device::Commands& commands,
                                                          device::AppLinkState& state,
                                                          std::u16string_view macroPrefix) {
    std::optional<KeyboardContents> kb = readKeyboardContents(commands, state, macroPrefix);
    if (!kb) {
        return std::nullopt;
    }
    if (std::optional<WorkingCopy> previous = readValidProfileFile(cacheFilePath(0))) {
        keepHostRecords(kb->copy, *previous, keyboardLayout(state), kb->macroNames);
    }
    return std::move(kb->copy);
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
    bool read = false;
    try {
        if (std::optional<WorkingCopy> kb = readKeyboardKeepingHostRecords(commands, state, macroPrefix)) {
            std::vector<uint8_t> bytes = serializeProfile(*kb);
            read = !bytes.empty() && writeFileAtomically(cache, bytes);
        }
    } catch (const std::bad_alloc&) {
        read = false;
    }
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

ImportOutcome importProfileFile(AssignmentStore& store, const std::filesystem::path& path,
                                device::Commands& commands, device::AppLinkState& state) {
    ImportOutcome out;
    ProfileFileCheck check = checkProfileFile(path);
    if (check.result <= 0 || !check.loadable) {
        out.formatError = check.badHeader || (check.result == 1 && !check.loadable);
        out.refused = true;
        return out;
    }
    WorkingCopy incoming;
    try {
        if (!parseProfile(check.bytes, incoming)) {
            out.formatError = true;
            out.refused = true;
            return out;
        }
    } catch (const std::bad_alloc&) {
        out.refused = true;
        return out;
    }
    // A file the keyboard cannot hold changes nothing, not even the working copy.
    if (!fitMacroImage(incoming.macros(), state.macroCapacity.load()).fits) {
        out.download.tooLong = true;
        out.download.failedStep = DownloadStep::Fit;
        return out;
    }

    device::Commands::Frame held = commands.frame();
    if (!held) {
        out.result = held.result();
        out.download.result = held.result();
        out.download.failedStep = DownloadStep::Keyboard;
        return out;
    }
    auto lock = store.lockKeyData();
    std::swap(store.working(), incoming); // incoming now holds the working copy as it was
    std::optional<PendingFile> cache = stageCacheFile(store);
    out.download = makeAppliedCopy(store, commands, state, true);
    out.result = out.download.result;
    if (!out.download.succeeded()) {
        std::swap(store.working(), incoming);
        return out;
    }
    out.saved = cache && cache->commit();
    return out;
}

void showImportMessages(const ImportOutcome& outcome, Prompter& prompter) {
    if (outcome.formatError) {
        prompter.show("PROFILE_FORMAT_ERROR");
    }
    if (outcome.refused) {
        prompter.show("MAIN_PROMPT_INPORT");
    }
    showDownloadMessages(outcome.download, prompter);
}

} // namespace tarvik::profiles
