// A user lighting file ("UserDengColor_<n>.userd"): ten named colour layouts (slots) of one profile, each
// with its brush, base colour, paint colour and one "R,G,B,flag" value per LED matrix position. The file
// is an INI file; it is read once into memory, changed key by key and written back whole in the encoding
// it was read in (the template's, since every user file starts as a copy of it).
#pragma once

#include "lighting/Colour.h"
#include "platform/IniFile.h"

#include <filesystem>
#include <string>
#include <string_view>

namespace tarvik::lighting {

inline constexpr int kSlotCount = 10;

// The colour of one key in a slot, and whether the key follows the base colour.
struct KeyValue {
    Rgb colour;
    bool followsBase = false;
    friend bool operator==(const KeyValue&, const KeyValue&) = default;
};

struct SlotHeader {
    int brush = 0; // 0 = paint-colour brush, 1 = base-colour brush; other values paint nothing
    Rgb baseColour;
    Rgb paintColour;
    friend bool operator==(const SlotHeader&, const SlotHeader&) = default;
};

// "%d,%d,%d" and "%d,%d,%d,%d" as the file holds them.
std::u16string formatRgb(Rgb c);
std::u16string formatKeyValue(const KeyValue& v);
// Reads up to three (or four) decimal numbers separated by commas, the way a scanf of the same format
// does: blanks before a number are skipped, reading stops at the first field that is not a number and
// the missing fields are 0. Channels are clamped to 0..255; any non-zero flag reads as 1.
Rgb parseRgb(std::u16string_view text);
KeyValue parseKeyValue(std::u16string_view text);

class UserLightingFile {
public:
    UserLightingFile() = default;
    // A missing file reads as empty (every value its default). A file that exists but cannot be read is
    // loaded empty and never written, so that a failed read cannot lead to overwriting it.
    static UserLightingFile load(const std::filesystem::path& path);
    static UserLightingFile fromIni(IniFile ini) {
        UserLightingFile f;
        f.ini_ = std::move(ini);
        return f;
    }

    // PRESENTMODE/mode: the current slot; values outside 0..9 are taken as 0.
    int presentSlot() const;
    void setPresentSlot(int slot);

    // MODENAME/<slot>: the slot's display name, "0" when missing.
    std::u16string slotName(int slot) const;
    void setSlotName(int slot, std::u16string_view name);

    // Mode<slot>/tool, jcolor, color.
    SlotHeader header(int slot) const;
    void setHeader(int slot, const SlotHeader& header);

    // Mode<slot>/<LED position>: "255,0,0,1" (red, follows the base colour) when missing.
    KeyValue key(int slot, int position) const;
    void setKey(int slot, int position, const KeyValue& value);

    // Writes the whole file back (temporary file and rename). False when it was not written, also when it
    // was loaded from a file that could not be read.
    [[nodiscard]] bool save() const;

    const IniFile& ini() const { return ini_; }
    const std::filesystem::path& path() const { return path_; }

private:
    IniFile ini_;
    std::filesystem::path path_;
    bool writable_ = false;
};

} // namespace tarvik::lighting
