// The user mode (lighting mode 20): the per-key colour tables of the three profiles, which keys follow the
// base colour, the brushes, and the ten colour layouts of the current profile's user lighting file.
// Every change of a colour is written to the file and sent to the keyboard at once; results of uploads and
// file writes do not change what the interface shows.
#pragma once

#include "device/Commands.h"
#include "lighting/Colour.h"
#include "lighting/KeyButtons.h"
#include "lighting/KeyColorTable.h"
#include "lighting/ProfileParams.h"
#include "lighting/UserLightingFile.h"

#include <array>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tarvik::lighting {

inline constexpr int kPaintBrush = 0;
inline constexpr int kBaseBrush = 1;

// What the user-mode controls show.
struct UserModeView {
    Rgb paintColour;
    Rgb baseColour;
    int brush = 0;
    std::string_view brush0Picture; // on control 1164
    std::string_view brush1Picture; // on control 1165
    std::array<std::u16string, kSlotCount> slotNames;
    int slot = 0; // the selected entry of the slot list
};

class UserLighting {
public:
    UserLighting(device::Commands& commands, std::filesystem::path dataFolder);

    // The profile being edited (0..2); other values are ignored.
    void setProfile(int profile);
    int profile() const { return profile_; }

    // The slot list: ten entries from MODENAME of the profile's file (default "0"), the selection on the
    // file's current slot.
    void refillSlots();
    // Loads the file's current slot into the profile's table and flags; with upload, sends the table.
    void loadSlot(bool upload);
    // A selection in the slot list: the file's current slot becomes s, then loadSlot with upload.
    void selectSlot(int slot);
    // An edit of the slot list's text: the name of the current slot.
    void renameSlot(std::u16string_view text);
    // Writes tool, jcolor and color of the current slot.
    void saveSlotHeader();

    // A click on a key button (0..103) or on Fn (kFnButton) while painting. G buttons and other indexes,
    // and a brush other than 0 or 1, change nothing. Returns whether the key was painted.
    bool paint(int button);
    // A stroke across several buttons with the current brush: every button is painted as paint() does,
    // the file is written once, and the keyboard gets one upload at the end: the single key when one was
    // painted, the whole table otherwise. Buttons that cannot be painted are skipped. Returns the number
    // painted.
    int paintStroke(std::span<const int> buttons);
    // The paint brush with a colour of the caller's (tarvikctl): the key takes the colour and stops
    // following the base colour. Returns kNotPainted for a G button or an index outside the buttons,
    // otherwise the upload's result.
    // What a paintable button holds in the current profile, to take a stroke back.
    struct KeyPaint {
        int button = 0;
        Rgb colour;
        bool followsBase = false;
        friend bool operator==(const KeyPaint&, const KeyPaint&) = default;
    };
    std::vector<KeyPaint> keys(std::span<const int> buttons) const;
    // Gives the buttons these colours and flags, sends them and writes the file once, as a stroke does.
    // Returns the number set.
    int setKeys(std::span<const KeyPaint> keys);
    static constexpr int kNotPainted = -1000;
    int paintWith(int button, Rgb colour);
    // Loads one slot of another user lighting file into the profile's table and sends the table; the
    // profile's own file and slot stay as they are. Returns the upload's result (-201 for a bad slot).
    int uploadSlotOf(const UserLightingFile& file, int slot);

    // A new base colour: every button that follows it takes it; then the table and ProfileParams bytes
    // 9..11 are sent. The current base colour again changes nothing.
    void setBaseColour(Rgb colour);
    void setPaintColour(Rgb colour);
    // 0 or 1 (the two brush pictures); other values are ignored.
    void setBrush(int brush);

    // Restore defaults: file 3 is copied over the profile's file, then the slot list is refilled.
    void restoreUserFile();

    // After the keyboard was connected again: a button follows the base colour of profile q exactly when
    // its table entry equals bytes 9..11 of q's record.
    void recomputeFlags(const ParamsBlocks& blocks);

    int uploadKeyColors();

    // The first device result other than 1 since the last call (1 when all went well), and whether every
    // file write since the last call succeeded. The interface ignores both; tarvikctl reports them.
    int takeResult();
    bool takeFileSaved();

    Rgb baseColour() const { return header_.baseColour; }
    Rgb paintColour() const { return header_.paintColour; }
    int brush() const { return header_.brush; }
    int slot() const { return slot_; }
    const std::array<std::u16string, kSlotCount>& slotNames() const { return slotNames_; }
    bool followsBase(int profile, int button) const;
    // The colour a button is tinted with: its table entry in the current profile.
    Rgb tint(int button) const;
    const KeyColorTable& table() const { return table_; }
    KeyColorTable& table() { return table_; }
    UserModeView view() const;

    std::filesystem::path filePath() const;

private:
    // The profile's file read afresh, and the document a change is made in.
    UserLightingFile& loadFile();
    UserLightingFile& document();
    void saveFile();
    void track(int rc);
    // The file's current slot: its header, and its keys into the profile's table.
    void takeSlot(const UserLightingFile& file);
    void takeKeys(const UserLightingFile& file, int slot);
    int applyPaint(int button, Rgb colour, bool followsBase);
    static bool paintable(int button);
    // Table entry, flag and file key of one button; nothing is sent or saved.
    void setKey(int button, Rgb colour, bool followsBase);
    void writeKey(int button, int position);

    device::Commands& commands_;
    std::filesystem::path dataFolder_;
    int profile_ = 0;
    int slot_ = 0;
    SlotHeader header_;
    KeyColorTable table_;
    std::array<std::array<bool, kLitButtonCount>, kProfileCount> follows_{};
    std::array<std::u16string, kSlotCount> slotNames_;
    std::optional<UserLightingFile> file_;
    int result_ = device::kOk;
    bool saved_ = true;
};

} // namespace tarvik::lighting
