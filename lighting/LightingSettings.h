// The two lighting settings of the user settings file "vlkb.ini" in the data folder, section KEYCOLOR:
// DengCheck (the lighting panel is on) and usermodeCheck (the user lighting files have been installed).
#pragma once

#include <filesystem>

namespace tarvik::lighting {

class LightingSettings {
public:
    explicit LightingSettings(std::filesystem::path dataFolder) : folder_(std::move(dataFolder)) {}

    std::filesystem::path file() const { return folder_ / "vlkb.ini"; }
    const std::filesystem::path& dataFolder() const { return folder_; }

    // DengCheck: on when the value is 1 (default "0").
    bool panelEnabled() const;
    // Writes "1" or "0". False when the file could not be written.
    [[nodiscard]] bool setPanelEnabled(bool on) const;

    // usermodeCheck = "1" (default "0").
    bool userFilesInstalled() const;
    [[nodiscard]] bool markUserFilesInstalled() const;

private:
    std::filesystem::path folder_;
};

} // namespace tarvik::lighting
