#include "tests/e2e/CachedKeyTarget.h"

#include "profiles/ProfileFile.h"
#include "tests/e2e/Process.h"

#include <nlohmann/json.hpp>

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

int simKeyboardProfile(const RunOutcome& flashConfig) {
    const nlohmann::json j = nlohmann::json::parse(flashConfig.output, nullptr, false);
    if (flashConfig.exitCode != 0 || j.is_discarded() || !j.contains("bytes") || j["bytes"].size() <= 10) {
        return -1;
    }
    return j["bytes"][10].get<int>();
}

} // namespace tarvik::e2e
