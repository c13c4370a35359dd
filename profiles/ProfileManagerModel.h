// The profile manager's state and decisions: the list of profile files (the three on-board profiles first,
// then the files added or loaded), the one ticked row, and the dialog's Apply. Apply records the list in
// the settings and tells the device worker what to do; the window only draws the rows.
//
// Rows beyond the three on-board profiles stand for profile files, not for profiles the keyboard has:
// ticking one and applying imports that file into the keyboard's current profile, with the import's
// checks, instead of asking the keyboard for a profile number it does not have.
#pragma once

#include "device/AppLinkState.h"
#include "device/Commands.h"
#include "platform/FileChooser.h"
#include "profiles/AssignmentStore.h"
#include "profiles/DataFolder.h"
#include "profiles/Settings.h"

#include <array>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tarvik::profiles {

inline constexpr std::string_view kProfileFileFilter = "(*.tvk)|*.tvk|(*.*)|*.*||";
inline constexpr std::string_view kProfileFileExtension = ".tvk";

// The list's columns: the tick box, the file name, the folder. Their captions are texts of the language
// file (ui/TextKeys.h); a file without them shows the list's own captions.
inline constexpr std::array<std::u16string_view, 3> kManagerColumnCaptions{u"激活", u"名称", u"路径"};
inline constexpr std::array<int, 3> kManagerColumnWidths{60, 120, 230};

struct ManagerRow {
    std::filesystem::path file;

    // The file name without folder and extension.
    std::u16string name() const { return file.stem().u16string(); }
    // The folder with its closing separator, so that folder + name + ".tvk" names the file again.
    std::u16string folder() const;
    // What Apply records for the row: folder + name + ".tvk".
    std::u16string recordedPath() const;
};

// What Apply asks of the device worker.
struct ManagerApply {
    int selectProfile = -1;                      // the ticked on-board profile, -1 when none is ticked
    std::optional<std::filesystem::path> import; // the ticked row is a profile file beyond the three
    bool listRecorded = true;                    // the settings file took the list
};

class ProfileManagerModel {
public:
    static constexpr int kOnBoardRows = 3;

    // The dialog opens: three rows for the on-board profiles (each the keyboard cache file), the row of
    // the keyboard's current profile ticked when it is known, Apply disabled.
    void open(int keyboardProfile);
    // Closing disables Apply and counts the dialog as closed.
    void close();
    bool isOpen() const { return open_; }

    const std::vector<ManagerRow>& rows() const { return rows_; }
    int ticked() const { return ticked_; }
    bool modified() const { return modified_; }
    int selected() const { return selected_; }

    // Single choice: ticking a row unticks the others, unticking the ticked row leaves none. Any change
    // enables Apply; a row outside the list changes nothing.
    void setTicked(int row, bool on);
    void select(int row);

    enum class FileStep {
        Cancelled, // the user cancelled the file dialog: nothing changed
        Added,     // a row was appended and Apply enabled
        Failed,    // the data folder or the new file could not be made: nothing changed
    };
    // Add: a save dialog in the data folder proposing newName (PROFILE_NEW without its leading
    // separator); a new default profile file is written there and appended.
    FileStep add(FileChooser& files, std::u16string_view newName);
    // Load: an open dialog in the data folder; the chosen file is appended unread.
    FileStep load(FileChooser& files);
    // Delete: the selected row leaves the list (nothing on disk changes); Apply enabled. False without a
    // selection.
    bool removeSelected();

    // Apply, the part that stays on this thread: PROFILE01... and PROFILE00 are recorded and the worker
    // is told what to do.
    ManagerApply apply(SettingsStore& settings) const;
    // The worker is done (or the import was refused): the dialog's Apply is disabled when it succeeded.
    void applied(bool succeeded);
    // A profile switch made while the dialog is open: row p is ticked and Apply disabled.
    void switched(int profile);

private:
    void changed() { modified_ = true; }

    bool open_ = false;
    std::vector<ManagerRow> rows_;
    int ticked_ = -1;
    int selected_ = -1;
    bool modified_ = false;
};

// What the worker did for Apply.
struct ManagerApplyResult {
    int selectResult = device::kOk;
    bool reloaded = false;             // the working copy came from the keyboard (else the default store)
    std::optional<int> importResult;   // importProfileFile's result: 0 refused, else the download's
    std::vector<std::string> messages; // language keys the import asked to show, in order
    // The keyboard and the working copy now agree: the window disables both Apply buttons.
    bool succeeded() const { return !importResult || *importResult > 0; }
};

// Runs on the device worker. An on-board row: select it, then reload the working copy from the keyboard.
// A file row: import the file into the current profile; a refused file leaves everything as it was.
ManagerApplyResult runManagerApply(const ManagerApply& plan, AssignmentStore& store,
                                   device::Commands& commands, device::AppLinkState& state,
                                   const FirstRunHook& firstRun = {});

} // namespace tarvik::profiles
