#include "tests/e2e/CachedKeyTarget.h"

#include "profiles/ProfileFile.h"
#include "tests/e2e/Process.h"

#include <span>
#include <string>

namespace tarvik::e2e {

std::optional<uint32_t> cachedKeyTarget(const std::filesystem::path& home, keyboard::KeyCode key) {
    const std::string bytes = readFile(home / "Documents" / "Velmora" / "$Profile0");
    profiles::WorkingCopy working;
    if (!profiles::parseProfile(std::span(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()),
                                working) ||
        working.records()[key].type != keyboard::ASSIGN_SINGLE_KEY) {
        return std::nullopt;
    }
    return working.records()[key].value;
}

} // namespace tarvik::e2e
