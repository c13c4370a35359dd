#include "lighting/ModeNames.h"

#include <string>

namespace tarvik::lighting {

std::u16string modeName(const IniFile& mainIni, int language, uint8_t code) {
    std::u16string key;
    for (char c : std::to_string(code)) {
        key.push_back(static_cast<char16_t>(c));
    }
    return mainIni.get(language == 1 ? u"Mode1" : u"Mode", key, u"1");
}

std::vector<ModeEntry> modeEntries(const ModeList& modes, const IniFile& mainIni, int language) {
    std::vector<ModeEntry> out;
    out.reserve(modes.size());
    for (uint8_t code : modes.codes()) {
        out.push_back(ModeEntry{code, modeName(mainIni, language, code)});
    }
    return out;
}

std::filesystem::path mainSkinFile(const std::filesystem::path& skinsFolder) {
    return skinsFolder / "Main.ini";
}

} // namespace tarvik::lighting
