#include "profiles/Settings.h"

#include "platform/IniFile.h"
#include "platform/Paths.h"

#include <cstdio>
#include <optional>
#include <system_error>

namespace tarvik::profiles {

namespace {
std::u16string decimal(int v) {
    char buf[16];
    int n = std::snprintf(buf, sizeof buf, "%d", v);
    return std::u16string(buf, buf + (n > 0 ? n : 0));
}

// "PROFILE" followed by the number in at least two digits.
std::u16string profileValueName(size_t n) {
    char buf[32];
    int len = std::snprintf(buf, sizeof buf, "PROFILE%02zu", n);
    return std::u16string(buf, buf + (len > 0 ? len : 0));
}

bool ensureFolder(const std::filesystem::path& file) {
    std::error_code ec;
    std::filesystem::create_directories(file.parent_path(), ec);
    return std::filesystem::is_directory(file.parent_path(), ec);
}
} // namespace

std::filesystem::path settingsFilePath(std::string_view programName) {
    return paths::configHome() / "Tarvik_Lumira" / (std::string(programName) + ".ini");
}

std::u16string settingKey(std::u16string_view name) {
    const size_t first = name.find_first_not_of(u" \t\r\v\f");
    if (IniFile::isStorableKey(name) && name[first] != u'~') {
        return std::u16string(name);
    }
    std::u16string key = u"~";
    for (char16_t unit : name) {
        char hex[8];
        std::snprintf(hex, sizeof hex, "%04X", static_cast<unsigned>(unit));
        key.append(hex, hex + 4);
    }
    return key;
}

std::u16string SettingsStore::readSetting(std::u16string_view name, std::u16string_view def) const {
    return getPrivateProfileString(kSettingsSection, settingKey(name), def, IniFile::kDefaultCapacity, file_);
}

bool SettingsStore::writeSetting(std::u16string_view name, std::u16string_view value) {
    return ensureFolder(file_) && writePrivateProfileString(kSettingsSection, settingKey(name), value, file_);
}

int SettingsStore::readNumber(std::u16string_view name) const {
    return profileStringToInt(readSetting(name, u"0"));
}

int SettingsStore::writeFlag(std::u16string_view name, int v) {
    int stored = (v == 0 || v == 1) ? v : 0;
    (void)writeSetting(name, decimal(stored));
    return stored;
}

int SettingsStore::readRecordDelay(std::u16string_view name) const {
    return readNumber(name) == 1 ? 1 : 0;
}

int SettingsStore::writeRecordDelay(int v, std::u16string_view name) {
    return writeFlag(name, v);
}

int SettingsStore::readFlip() const {
    return readNumber(kFlipName);
}

int SettingsStore::writeFlip(int v) {
    return writeFlag(kFlipName, v);
}

bool SettingsStore::readVerifyWrites() const {
    // A missing or unreadable value keeps the check: turning it off is the user's explicit choice.
    return readSetting(kVerifyWritesName, u"1") != u"0";
}

bool SettingsStore::writeVerifyWrites(bool on) {
    return writeSetting(kVerifyWritesName, on ? u"1" : u"0");
}

bool SettingsStore::writeProfileList(std::span<const std::u16string> paths) {
    if (!ensureFolder(file_)) {
        return false;
    }
    // One read and one write of the file for the whole list.
    std::optional<IniFile> ini = IniFile::tryLoad(file_);
    if (!ini) {
        return false;
    }
    for (size_t i = 0; i < paths.size(); ++i) {
        ini->set(kSettingsSection, profileValueName(i + 1), paths[i]);
    }
    ini->set(kSettingsSection, profileValueName(0), decimal(static_cast<int>(paths.size())));
    return ini->save(file_);
}

} // namespace tarvik::profiles
