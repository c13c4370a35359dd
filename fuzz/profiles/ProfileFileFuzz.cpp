// Profile files as a user may hand them to import: any bytes. The header check, the loader and the path
// functions built on them must stay inside the file and the pool, and a file the loader accepts must save
// back to a file it accepts again, byte for byte the same on the second round.
//
// Input: byte 0 chooses how the rest becomes a file.
//   even: the rest is the file as it stands.
//   odd:  a compact description, so that small inputs reach the records, macros and pool: 32 header bytes,
//         a count c, c records as (16-bit index, 16 bytes), then the bytes after the record block. When
//         bit 1 of byte 0 is set the header's sizes and checksum are made to agree with that tail.
#include "profiles/ProfileFile.h"
#include "profiles/ProfileFiles.h"

#include "platform/Bytes.h"
#include "platform/Prompter.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>
#include <unistd.h>

using namespace tarvik;
using namespace tarvik::profiles;

namespace {

class SilentPrompter final : public Prompter {
public:
    void show(std::string_view) override {}
    bool askYesNo(std::string_view, bool) override { return false; }
};

std::vector<uint8_t> expand(const uint8_t* data, size_t size, bool fixHeader) {
    std::vector<uint8_t> file(kMinProfileFileSize, 0);
    size_t at = 0;
    size_t h = std::min<size_t>(size, kProfileHeaderSize);
    std::copy_n(data, h, file.begin());
    at += h;
    std::copy(kDeviceIdentityBlock.begin(), kDeviceIdentityBlock.end(), file.begin() + kProfileHeaderSize);
    size_t count = at < size ? data[at++] : 0;
    for (size_t i = 0; i < count && at + 18 <= size; ++i, at += 18) {
        size_t index = readLe16(data + at) % kRecordCount;
        std::copy_n(data + at + 2, 16,
                    file.begin() + static_cast<std::ptrdiff_t>(kHeaderAreaSize + 16 * index));
    }
    file.insert(file.end(), data + std::min(at, size), data + size);
    if (fixHeader) {
        size_t tail = file.size() - kMinProfileFileSize;
        uint16_t macros = static_cast<uint16_t>(std::min<size_t>(readLe16(&file[14]) % 4, tail / 16512));
        writeLe16(&file[14], macros);
        writeLe32(&file[16], static_cast<uint32_t>(tail - size_t{macros} * 16512));
        writeLe32(&file[8], static_cast<uint32_t>(file.size()));
        file[31] = profileHeaderChecksum(std::span<const uint8_t, 32>(file.data(), 32));
    }
    return file;
}

void checkBytes(const std::vector<uint8_t>& bytes) {
    ProfileCheck header = checkProfileHeader(bytes);
    (void)header;
    WorkingCopy w;
    if (!parseProfile(bytes, w)) {
        return;
    }
    std::vector<uint8_t> saved = serializeProfile(w);
    if (saved.empty()) {
        std::abort();
    }
    WorkingCopy again;
    if (!parseProfile(saved, again) || !checkProfileHeader(saved).ok()) {
        std::abort();
    }
    if (serializeProfile(again) != saved) {
        std::abort();
    }
}

void checkThroughAFile(const std::vector<uint8_t>& bytes) {
    static const std::string path = "/tmp/profile-file-fuzz-" + std::to_string(::getpid()) + ".tvk";
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }
    SilentPrompter prompter;
    int valid = validateProfileFile(path, prompter);
    AssignmentStore store;
    int loaded = loadProfileFile(store, path);
    if (valid < -3 || valid > 1 || (loaded != 0 && loaded != 1)) {
        std::abort();
    }
    ::unlink(path.c_str());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) {
        checkBytes({});
        return 0;
    }
    std::vector<uint8_t> file = (data[0] & 1) != 0 ? expand(data + 1, size - 1, (data[0] & 2) != 0)
                                                   : std::vector<uint8_t>(data + 1, data + size);
    checkBytes(file);
    // The path functions read and write files: only for a share of the inputs, to keep the run fast.
    if ((data[0] & 4) != 0) {
        checkThroughAFile(file);
    }
    return 0;
}
