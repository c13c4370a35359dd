// The names of the mode list's entries: from the main skin file, section "Mode" for interface language 0
// and "Mode1" for language 1, key = the mode code in decimal, "1" when missing.
#pragma once

#include "lighting/LightingModes.h"
#include "platform/IniFile.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace tarvik::lighting {

struct ModeEntry {
    uint8_t code = 0;
    std::u16string name;
};

std::u16string modeName(const IniFile& mainIni, int language, uint8_t code);
// One entry per listed mode, in list order.
std::vector<ModeEntry> modeEntries(const ModeList& modes, const IniFile& mainIni, int language);
// <skinsFolder>/Main.ini
std::filesystem::path mainSkinFile(const std::filesystem::path& skinsFolder);

} // namespace tarvik::lighting
