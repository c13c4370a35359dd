#include "profiles/ProfileFiles.h"

#include "platform/AtomicFile.h"
#include "profiles/DataFolder.h"

#include <algorithm>
#include <array>
#include <new>
#include <optional>
#include <system_error>

namespace tarvik::profiles {

namespace {

// Opens, checks the size and reads the header and then only what the header promises. result as
// validateProfileFile; the header is not checked here beyond what reading needs.
struct RawFile {
    int result = 0;
    bool exists = false;
    bool notRegular = false;
    bool tooShortForHeader = false; // the file holds fewer bytes than its header promises
    uintmax_t fileSize = 0;
    std::vector<uint8_t> bytes;
};

RawFile readProfileBytes(const std::filesystem::path& path) {
    RawFile raw;
    std::error_code ec;
    if (!std::filesystem::exists(std::filesystem::status(path, ec))) {
        return raw;
    }
    raw.exists = true;
    // Only read access is needed: a read-only backup imports like any other.
    ReadOnlyFile file(path);
    if (!file.isOpen()) {
        raw.result = kCannotOpen;
        raw.notRegular = file.notRegular();
        return raw;
    }
    raw.fileSize = file.size();
    if (raw.fileSize > kMaxProfileFileSize || raw.fileSize < kMinProfileFileSize) {
        return raw;
    }
    std::array<uint8_t, kProfileHeaderSize> header{};
    if (!file.readAt(0, header.data(), header.size())) {
        raw.result = kCannotOpen;
        return raw;
    }
    // The file as far as the header promises it; beyond that nothing is read.
    const uint64_t promised =
        std::max<uint64_t>(expectedFileSize(ProfileFileHeader::read(header)), kMinProfileFileSize);
    if (promised > raw.fileSize) {
        raw.tooShortForHeader = true;
        raw.bytes.assign(header.begin(), header.end());
        raw.result = 1;
        return raw;
    }
    try {
        raw.bytes.resize(static_cast<size_t>(promised));
    } catch (const std::bad_alloc&) {
        raw.result = kOutOfMemory;
        return raw;
    }
    if (!file.readAt(0, raw.bytes.data(), raw.bytes.size())) {
        // The file shrank since it was measured, or a read error.
        raw.bytes.clear();
        raw.result = kCannotOpen;
        return raw;
    }
    raw.result = 1;
    return raw;
}

} // namespace

bool newDefaultStoreFile(const std::filesystem::path& path) {
    WorkingCopy w;
    newDefaultStore(w);
    std::vector<uint8_t> bytes = serializeProfile(w);
    return !bytes.empty() && writeFileAtomically(path, bytes);
}

ProfileFileCheck checkProfileFile(const std::filesystem::path& path) {
    ProfileFileCheck c;
    RawFile raw = readProfileBytes(path);
    c.fileSize = raw.fileSize;
    c.notRegular = raw.notRegular;
    if (raw.result != 1) {
        c.result = raw.result;
        if (raw.result == 0 && raw.exists) {
            c.check.problems.push_back(ProfileProblem::FileTooShort);
        }
        return c;
    }
    c.check = checkProfileHeader(raw.bytes);
    if (!c.check.ok()) {
        c.result = 0;
        c.badHeader = true;
        return c;
    }
    c.result = 1;
    if (raw.tooShortForHeader) {
        c.check.problems.push_back(ProfileProblem::FileTooShort);
        return c;
    }
    c.bytes = std::move(raw.bytes);
    try {
        WorkingCopy probe;
        c.loadable = parseProfile(c.bytes, probe, &c.check);
    } catch (const std::bad_alloc&) {
        c.loadable = false;
    }
    return c;
}

int validateProfileFile(const std::filesystem::path& path, Prompter& prompter) {
    ProfileFileCheck c = checkProfileFile(path);
    if (c.badHeader) {
        prompter.show("PROFILE_FORMAT_ERROR");
    }
    return c.result;
}

int loadProfileBytes(AssignmentStore& store, std::span<const uint8_t> bytes) {
    auto lock = store.lockKeyData();
    WorkingCopy& working = store.working();
    try {
        if (parseProfile(bytes, working)) {
            return 1;
        }
    } catch (const std::bad_alloc&) {
    }
    working.release();
    newDefaultStore(working);
    return 0;
}

int loadProfileFile(AssignmentStore& store, const std::filesystem::path& path) {
    RawFile raw = readProfileBytes(path);
    if (raw.result != 1 || raw.tooShortForHeader) {
        auto lock = store.lockKeyData();
        store.working().release();
        newDefaultStore(store.working());
        return 0;
    }
    return loadProfileBytes(store, raw.bytes);
}

std::optional<WorkingCopy> readValidProfileFile(const std::filesystem::path& path) {
    ProfileFileCheck c = checkProfileFile(path);
    if (c.result != 1 || !c.loadable) {
        return std::nullopt;
    }
    try {
        WorkingCopy copy;
        if (parseProfile(c.bytes, copy)) {
            return copy;
        }
    } catch (const std::bad_alloc&) {
    }
    return std::nullopt;
}

bool saveProfileFile(AssignmentStore& store, const std::filesystem::path& path) {
    auto lock = store.lockKeyData();
    std::vector<uint8_t> bytes;
    try {
        bytes = serializeProfile(store.working());
    } catch (const std::bad_alloc&) {
        return false;
    }
    return !bytes.empty() && writeFileAtomically(path, bytes);
}

std::optional<PendingFile> stageCacheFile(AssignmentStore& store) {
    std::filesystem::path path = cacheFilePath(0);
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) {
        return std::nullopt;
    }
    auto lock = store.lockKeyData();
    std::vector<uint8_t> bytes;
    try {
        bytes = serializeProfile(store.working());
    } catch (const std::bad_alloc&) {
        return std::nullopt;
    }
    if (bytes.empty()) {
        return std::nullopt;
    }
    return PendingFile::stage(path, bytes);
}

bool saveCacheFile(AssignmentStore& store) {
    std::optional<PendingFile> pending = stageCacheFile(store);
    return pending && pending->commit();
}

bool exportProfileFile(AssignmentStore& store, const std::filesystem::path& path) {
    return saveProfileFile(store, path);
}

} // namespace tarvik::profiles
