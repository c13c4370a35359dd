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
    KeyboardAreas areas;
};

// The areas decoded: the records of profiles 0-2 from the key blocks, profile 3 all zero, the macros.
KeyboardContents decodeAreas(KeyboardAreas areas, const device::AppLinkState& state,
                             std::u16string_view macroPrefix) {
    KeyboardContents kb;
    WorkingCopy& w = kb.copy;
    newDefaultStore(w);
    keyboard::DefaultLayout layout = keyboardLayout(state);
    for (unsigned p = 0; p < device::kProfileCount; ++p) {
        keyboard::ReadKeyBlock(areas.keyBlocks[p], w.block().profile(p), layout);
    }
    // Profile 3 is never on the keyboard: all zero, as in a new file.
    for (auto& r : w.block().profile(3)) {
        r = keyboard::KeyAssignment{};
    }
    const std::vector<uint8_t>& image = areas.macroImage;
    kb.macroNames =
        image.size() >= macros::kMacroImageHeaderSize && readLe16(&image[macros::kImgOffNamesFlag]) == 1;
    w.macros() = macros::decodeMacroImage(image, macroPrefix);
    kb.areas = std::move(areas);
    return kb;
}

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
    std::optional<KeyboardAreas> areas = readKeyboardAreas(commands, state);
    if (!areas) {
        return std::nullopt;
    }
    return decodeAreas(std::move(*areas), state, macroPrefix);
}

void keepCachedHostRecords(KeyboardContents& kb, const device::AppLinkState& state) {
    if (std::optional<WorkingCopy> previous = readValidProfileFile(cacheFilePath(0))) {
        keepHostRecords(kb.copy, *previous, keyboardLayout(state), kb.macroNames);
    }
}

} // namespace

std::optional<std::vector<uint8_t>> readMacroImage(device::Commands& commands, device::AppLinkState& state,
                                                   size_t firstRead) {
    device::Commands::Frame held = commands.frame();
    if (!held) {
        return std::nullopt;
    }
    const size_t capacity = state.macroCapacity.load();
    size_t first = std::max(firstRead, macros::kMacroImageHeaderSize);
    if (capacity >= macros::kMacroImageHeaderSize) {
        first = std::min(first, capacity);
    }
    std::vector<uint8_t> image(first);
    if (commands.readMacroArea(image) != device::kOk) {
        return std::nullopt;
    }
    if (readLe16(&image[macros::kImgOffMagic]) != macros::kMacroImageMagic) {
        image.clear();
        return image;
    }
    // The header's size, but never more than the keyboard says its macro area holds: the decoder clips
    // whatever the header promised beyond that.
    size_t size = std::max<size_t>(readLe16(&image[macros::kImgOffSize]), macros::kMacroImageHeaderSize);
    if (capacity >= macros::kMacroImageHeaderSize) {
        size = std::min(size, capacity);
    }
    if (size > image.size()) {
        image.resize(size);
        if (commands.readMacroArea(image) != device::kOk) {
            return std::nullopt;
        }
    }
    image.resize(size);
    return image;
}

std::optional<KeyboardAreas> readKeyboardAreas(device::Commands& commands, device::AppLinkState& state,
                                               size_t macroReadSize) {
    device::Commands::Frame held = commands.frame();
    if (!held) {
        return std::nullopt;
    }
    KeyboardAreas areas;
    for (unsigned p = 0; p < device::kProfileCount; ++p) {
        if (commands.readKeyBlock(areas.keyBlocks[p], p) != device::kOk) {
            return std::nullopt;
        }
    }
    std::optional<std::vector<uint8_t>> image = readMacroImage(commands, state, macroReadSize);
    if (!image) {
        return std::nullopt;
    }
    areas.macroImage = std::move(*image);
    for (unsigned p = 0; p < device::kProfileCount; ++p) {
        std::array<uint8_t, device::kChunkSize> chunk{};
        const auto at = static_cast<uint16_t>(p * device::kSettingsRecordSize);
        if (commands.readSettings(chunk, static_cast<uint8_t>(device::kSettingsRecordSize), at) !=
            device::kOk) {
            return std::nullopt;
        }
        std::copy_n(chunk.begin(), device::kSettingsRecordSize, areas.settings.begin() + at);
    }
    return areas;
}

WorkingCopy keyboardCopyOf(KeyboardAreas areas, const device::AppLinkState& state,
                           std::u16string_view macroPrefix) {
    KeyboardContents kb = decodeAreas(std::move(areas), state, macroPrefix);
    keepCachedHostRecords(kb, state);
    return std::move(kb.copy);
}

std::optional<macros::MacroSet> readKeyboardMacros(device::Commands& commands, device::AppLinkState& state,
                                                   std::u16string_view macroPrefix, bool* withNames) {
    std::optional<std::vector<uint8_t>> image = readMacroImage(commands, state);
    if (!image) {
        return std::nullopt;
    }
    if (withNames != nullptr) {
        *withNames = image->size() >= macros::kMacroImageHeaderSize &&
                     readLe16(&(*image)[macros::kImgOffNamesFlag]) == 1;
    }
    return macros::decodeMacroImage(*image, macroPrefix);
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
    keepCachedHostRecords(*kb, state);
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
    std::optional<KeyboardAreas> areas;
    try {
        if (std::optional<KeyboardContents> kb = readKeyboardContents(commands, state, macroPrefix)) {
            keepCachedHostRecords(*kb, state);
            std::vector<uint8_t> bytes = serializeProfile(kb->copy);
            read = !bytes.empty() && writeFileAtomically(cache, bytes);
            areas = std::move(kb->areas);
        }
    } catch (const std::bad_alloc&) {
        read = false;
    }
    AssignmentStore::AppliedLock lock = store.lockApplied();
    WorkingCopy& working = store.working();
    working.release();
    // What the keyboard holds is from now on the base every later write is checked against.
    store.fingerprint().forget();
    if (read && loadProfileFile(store, cache) == 1) {
        if (prepareAppliedCopy(store)) {
            store.fingerprint().recordRead(*areas, state.macroCapacity.load());
        }
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
    // The file's records count as the user's edits where they differ from what the keyboard was last
    // seen to hold; the keyboard's changes since are kept everywhere else.
    const KeyboardCheck seen = checkBeforeDownload(store, commands, state);
    if (!seen.ok()) {
        std::swap(store.working(), incoming);
        out.download = checkFailed(seen);
        out.result = out.download.result;
        return out;
    }
    std::optional<PendingFile> cache = stageCacheFile(store);
    out.download = downloadChecked(store, commands, state, true, seen);
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
