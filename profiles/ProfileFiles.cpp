#include "profiles/ProfileFiles.h"

#include "platform/AtomicFile.h"
#include "profiles/DataFolder.h"

#include <fcntl.h>
#include <new>
#include <optional>
#include <system_error>
#include <unistd.h>

namespace tarvik::profiles {

namespace {
bool canOpenForReading(const std::filesystem::path& path) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    ::close(fd);
    return true;
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
    std::error_code ec;
    auto status = std::filesystem::status(path, ec);
    if (ec || !std::filesystem::exists(status)) {
        c.result = 0;
        return c;
    }
    // Only read access is needed: a read-only backup imports like any other.
    if (std::filesystem::is_directory(status) || !canOpenForReading(path)) {
        c.result = kCannotOpen;
        return c;
    }
    c.fileSize = std::filesystem::file_size(path, ec);
    if (ec) {
        c.result = kCannotOpen;
        return c;
    }
    if (c.fileSize > kMaxProfileFileSize || c.fileSize < kMinProfileFileSize) {
        c.result = 0;
        c.check.problems.push_back(ProfileProblem::FileTooShort);
        return c;
    }
    try {
        auto bytes = readWholeFile(path, kMaxProfileFileSize);
        if (!bytes) {
            c.result = kCannotOpen;
            return c;
        }
        c.bytes = std::move(*bytes);
    } catch (const std::bad_alloc&) {
        c.result = kOutOfMemory;
        return c;
    }
    // The file may have shrunk since it was measured.
    if (c.bytes.size() < kMinProfileFileSize) {
        c.result = 0;
        c.check.problems.push_back(ProfileProblem::FileTooShort);
        return c;
    }
    c.check = checkProfileHeader(c.bytes);
    if (!c.check.ok()) {
        c.result = 0;
        c.badHeader = true;
        return c;
    }
    c.result = 1;
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
    std::optional<std::vector<uint8_t>> bytes;
    try {
        bytes = readWholeFile(path, kMaxProfileFileSize);
    } catch (const std::bad_alloc&) {
        bytes.reset();
    }
    if (!bytes) {
        auto lock = store.lockKeyData();
        store.working().release();
        newDefaultStore(store.working());
        return 0;
    }
    return loadProfileBytes(store, *bytes);
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

bool saveCacheFile(AssignmentStore& store) {
    std::filesystem::path path = cacheFilePath(0);
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) {
        return false;
    }
    return saveProfileFile(store, path);
}

bool exportProfileFile(AssignmentStore& store, const std::filesystem::path& path) {
    return saveProfileFile(store, path);
}

} // namespace tarvik::profiles
