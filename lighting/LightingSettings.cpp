#include "lighting/LightingSettings.h"

#include "platform/IniFile.h"

namespace tarvik::lighting {

namespace {
constexpr std::u16string_view kSection = u"KEYCOLOR";
constexpr std::u16string_view kPanelKey = u"DengCheck";
constexpr std::u16string_view kInstalledKey = u"usermodeCheck";
} // namespace

bool LightingSettings::panelEnabled() const {
    auto v = getPrivateProfileString(kSection, kPanelKey, u"0", IniFile::kDefaultCapacity, file());
    return profileStringToInt(v) == 1;
}

bool LightingSettings::setPanelEnabled(bool on) const {
    return writePrivateProfileString(kSection, kPanelKey, on ? u"1" : u"0", file());
}

bool LightingSettings::userFilesInstalled() const {
    return getPrivateProfileString(kSection, kInstalledKey, u"0", IniFile::kDefaultCapacity, file()) == u"1";
}

bool LightingSettings::markUserFilesInstalled() const {
    return writePrivateProfileString(kSection, kInstalledKey, u"1", file());
}

} // namespace tarvik::lighting
