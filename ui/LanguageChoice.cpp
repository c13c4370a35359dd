#include "ui/LanguageChoice.h"

#include "platform/IniFile.h"

#include <string>
#include <system_error>

namespace tarvik::ui {

namespace {

constexpr std::u16string_view kSection = u"LANGUAGE";
constexpr std::u16string_view kKey = u"language";

std::u16string decimal(int v) {
    const std::string s = std::to_string(v);
    return std::u16string(s.begin(), s.end());
}

} // namespace

std::optional<int> userLanguage(const LanguageFiles& files) {
    if (files.user.empty()) {
        return std::nullopt;
    }
    const IniFile ini = IniFile::load(files.user);
    if (!ini.contains(kSection, kKey)) {
        return std::nullopt;
    }
    return profileStringToInt(ini.get(kSection, kKey));
}

int storedLanguage(const LanguageFiles& files) {
    if (auto own = userLanguage(files)) {
        return *own;
    }
    // Read past the shared read cache: the program's language file is large, and a resident program would
    // hold its document all day for this one value.
    return profileStringToInt(IniFile::load(files.program).get(kSection, kKey, u" "));
}

int loadUiTexts(TextTable& table, const LanguageFiles& files) {
    const int language = storedLanguage(files);
    table.loadLanguage(files.program, language);
    return language;
}

ChoiceKept switchUiLanguage(TextTable& table, const LanguageFiles& files, int language) {
    const std::u16string value = decimal(language);
    // A value that is already there counts as written.
    const bool inProgramFolder = writePrivateProfileString(kSection, kKey, value, files.program);
    ChoiceKept kept = inProgramFolder ? ChoiceKept::ProgramFolder : ChoiceKept::ThisRunOnly;
    if (!files.user.empty() && (!inProgramFolder || userLanguage(files).has_value())) {
        std::error_code ec;
        std::filesystem::create_directories(files.user.parent_path(), ec);
        const bool inUserFile = writePrivateProfileString(kSection, kKey, value, files.user);
        if (!inProgramFolder && inUserFile) {
            kept = ChoiceKept::PerUser;
        }
    }
    table.loadLanguage(files.program, language);
    return kept;
}

} // namespace tarvik::ui
