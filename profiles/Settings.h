// The persisted user settings of section PROFILES: the macro recorder's record-delays flag, the key
// picture's Flip flag, the profile manager's list of profile files and whether writes to the keyboard are
// read back (VerifyWrites). They live in
// $XDG_CONFIG_HOME/Tarvik_Lumira/tarvik.ini (the program's file name; tarvikctl uses the same file);
// every value is a string holding a decimal number or a path, written the moment it changes.
#pragma once

#include <filesystem>
#include <span>
#include <string>
#include <string_view>

namespace tarvik::profiles {

inline constexpr std::u16string_view kSettingsSection = u"PROFILES";
inline constexpr std::string_view kProgramName = "tarvik";
// The value name of the record-delays setting is the UI text MACRO_ACTION_RECORD_DELAY; this is its
// initial text.
inline constexpr std::u16string_view kRecordDelayDefaultName = u"RecordDelay";
inline constexpr std::u16string_view kFlipName = u"Flip";
inline constexpr std::u16string_view kVerifyWritesName = u"VerifyWrites";

// $XDG_CONFIG_HOME/Tarvik_Lumira/<programName>.ini
std::filesystem::path settingsFilePath(std::string_view programName = kProgramName);

// The key a value name is stored under. A value name comes from the language file (the record-delays
// name is a UI text) and may be one no INI key can hold: blank when the text is missing, or with '=' or
// a line break in it. Such a name, and any name starting with '~', is stored as '~' followed by its
// UTF-16 units in hexadecimal, so every name reads back and no two names share a key.
std::u16string settingKey(std::u16string_view name);

class SettingsStore {
public:
    explicit SettingsStore(std::filesystem::path file = settingsFilePath()) : file_(std::move(file)) {}

    const std::filesystem::path& file() const { return file_; }

    std::u16string readSetting(std::u16string_view name, std::u16string_view def) const;
    // Creates the folder and the file when missing. False when the file could not be written.
    [[nodiscard]] bool writeSetting(std::u16string_view name, std::u16string_view value);

    // 1 only for a stored 1; a missing or any other value gives 0.
    int readRecordDelay(std::u16string_view name = kRecordDelayDefaultName) const;
    // Writes v when it is 0 or 1, otherwise 0, and returns what was written.
    int writeRecordDelay(int v, std::u16string_view name = kRecordDelayDefaultName);
    // The stored number (0 when missing).
    int readFlip() const;
    int writeFlip(int v);
    // Read-back verify of every write to the keyboard: on unless the stored value is 0.
    bool readVerifyWrites() const;
    [[nodiscard]] bool writeVerifyWrites(bool on);

    // PROFILE01, PROFILE02, ... with the paths in order, then PROFILE00 with their count. Values of an
    // earlier, longer list stay.
    [[nodiscard]] bool writeProfileList(std::span<const std::u16string> paths);

private:
    int readNumber(std::u16string_view name) const;
    int writeFlag(std::u16string_view name, int v);

    std::filesystem::path file_;
};

} // namespace tarvik::profiles
