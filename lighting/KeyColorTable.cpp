#include "lighting/KeyColorTable.h"

#include "lighting/ParamsIo.h"

namespace tarvik::lighting {

static_assert(kUploadChunkSize * kUploadChunks == kColourEntries * 3u);
static_assert(kColourEntries * 3u <= kColourTableSize);

Rgb KeyColorTable::entry(int profile, int position) const {
    if (!valid(profile, position)) {
        return {};
    }
    const auto& t = tables_[static_cast<size_t>(profile)];
    size_t i = static_cast<size_t>(position) * 3u;
    return Rgb{t[i], t[i + 1], t[i + 2]};
}

bool KeyColorTable::setEntry(int profile, int position, Rgb colour) {
    if (!valid(profile, position)) {
        return false;
    }
    auto& t = tables_[static_cast<size_t>(profile)];
    size_t i = static_cast<size_t>(position) * 3u;
    t[i] = colour.r;
    t[i + 1] = colour.g;
    t[i + 2] = colour.b;
    return true;
}

std::span<const uint8_t, kColourTableSize> KeyColorTable::bytes(int profile) const {
    return tables_[static_cast<size_t>(profile < 0 || profile > 2 ? 0 : profile)];
}

std::span<const uint8_t, kUploadChunkSize> KeyColorTable::chunk(int profile, int k) const {
    size_t index = static_cast<size_t>(k < 0 || k >= kUploadChunks ? 0 : k);
    return bytes(profile).subspan(index * kUploadChunkSize).first<kUploadChunkSize>();
}

void KeyColorTable::clear() {
    for (auto& t : tables_) {
        t.fill(0);
    }
}

int uploadKeyColors(device::Commands& commands, const KeyColorTable& table, int profile) {
    if (profile < 0 || profile > 2) {
        return device::kBadBlock;
    }
    return writeFramed(commands, [&] {
        // A chunk the keyboard did not take ends the upload: a vanished or busy keyboard would only make
        // every further chunk wait out its attempts.
        for (int k = 0; k < kUploadChunks; ++k) {
            int rc = commands.writeColours(table.chunk(profile, k), static_cast<unsigned>(18 * k),
                                           static_cast<unsigned>(profile));
            if (rc != device::kOk) {
                return rc;
            }
        }
        return device::kOk;
    });
}

int uploadKeyColour(device::Commands& commands, const KeyColorTable& table, int profile, int position) {
    if (profile < 0 || profile > 2 || position < 0 || position >= kColourEntries) {
        return device::kBadBlock;
    }
    auto bytes = table.bytes(profile).subspan(static_cast<size_t>(position) * 3u, 3);
    return writeFramed(commands, [&] {
        return commands.writeColours(bytes, static_cast<unsigned>(position), static_cast<unsigned>(profile));
    });
}

} // namespace tarvik::lighting
