// The firmware update dialog's state and decisions, without a window: the update program the user chose,
// Update (check the file, back the settings up, switch the keyboard into its boot mode, start the
// program), Cancel, Backup, and the offer to restore the automatic backup when the keyboard comes back.
// The program itself sends no firmware: flashing is the update program's business.
#pragma once

#include "device/Commands.h"
#include "device/LinkSession.h"
#include "platform/FileChooser.h"
#include "platform/Prompter.h"
#include "profiles/AssignmentStore.h"
#include "profiles/DataFolder.h"
#include "profiles/Settings.h"
#include "update/ProgramStarter.h"

#include <array>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace tarvik::update {

// Not a command exchange: the keyboard answers it by leaving for its boot mode. Checksum bytes stay 0.
inline constexpr std::array<uint8_t, device::kReportSize> kUpdateTriggerReport = {0x04, 0x00, 0x00, 0xEE,
                                                                                  0xEE};

// Update programs for Linux have no extension, so every file comes first; "*.exe" is kept for the
// packages that still ship one.
inline constexpr std::string_view kUpdateProgramFilter = "All files (*)|*|MyType Files (*.exe)|*.exe||";
inline constexpr std::string_view kProfileFileFilter = "(*.tvk)|*.tvk|(*.*)|*.*||";
inline constexpr std::string_view kProfileFileDefaultName = "*.tvk";
// The automatic backups' folder inside the data folder.
inline constexpr std::string_view kBackupFolderName = "backups";
// Section PROFILES of the settings: the automatic backup still to be offered, so that the offer
// survives a restart of the program (or of the computer) while the keyboard is being flashed.
inline constexpr std::u16string_view kPendingRestoreSetting = u"UpdateBackup";

// The messages of the update that name a file. The text of languageKey has "%s" where the path goes
// (see fillPath); the window shows it in a message box, tests record it.
class UpdatePrompter {
public:
    virtual ~UpdatePrompter() = default;
    virtual void show(std::string_view languageKey, const std::filesystem::path& file) = 0;
    virtual bool askYesNo(std::string_view languageKey, const std::filesystem::path& file,
                          bool defaultYes) = 0;
};

// format with its first "%s" replaced by the path; nothing else of it is interpreted.
std::u16string fillPath(std::u16string_view format, const std::filesystem::path& file);

// The automatic backup's name for a moment, in local time: "update-YYYYMMDD-HHMMSS.tvk".
std::string backupFileName(std::chrono::system_clock::time_point when);

class FirmwareUpdate {
public:
    // sendRaw of the device link: the service's write result, 1 when the report went out.
    using RawSender = std::function<int(std::span<const uint8_t> report)>;
    using Clock = std::function<std::chrono::system_clock::time_point()>;

    struct Seams {
        Prompter& prompter;
        UpdatePrompter& files;
        FileChooser& chooser;
        ProgramStarter& starter;
        RawSender sendRaw;
        Clock clock = [] { return std::chrono::system_clock::now(); };
    };
    struct Folders {
        // Where the file dialog starts and the update program runs: the program folder's "Package".
        std::filesystem::path package;
        // Run when the first backup creates the data folder (the main window's first-run copy).
        profiles::FirstRunHook firstRun;
    };

    FirmwareUpdate(profiles::AssignmentStore& store, profiles::SettingsStore& settings, Seams seams,
                   Folders folders);

    // The chosen update program; empty at start, after every attempt that reached the keyboard, and
    // after Cancel.
    const std::filesystem::path& updateFile() const { return updateFile_; }

    // Choose (button 1181): the file dialog; OK makes the choice the update file, Cancel empties it.
    void chooseUpdateFile();

    enum class UpdateResult {
        NoFile,         // MAIN_UPDATE_ERROR_TEXT shown, nothing sent, the file kept
        NotBackedUp,    // the automatic backup failed and the user chose not to go on; nothing sent
        TriggerRefused, // MAIN_BOOT_ERROR_TEXT shown, nothing started, the file kept
        NotStarted,     // the keyboard was told; MAIN_SHELL_ERROR_TEXT shown, the file cleared
        Started,        // the update program runs; the dialog closes
    };
    // Update (button 1147).
    UpdateResult startUpdate();

    // Cancel (button 1180): the update file is forgotten; the dialog closes.
    void cancel();

    enum class BackupResult { Cancelled, Written, Failed };
    // Backup (button 1182): the settings the program holds, saved where the user says, then
    // MAIN_UPDATE_BACKUP_OK or MAIN_UPDATE_BACKUP_NG.
    BackupResult backup();

    // The automatic backup of the last Update, empty when none was written in this run.
    const std::filesystem::path& lastAutomaticBackup() const { return lastAutomaticBackup_; }

    // The backup still to be offered once the keyboard is back, if any.
    std::optional<std::filesystem::path> pendingRestore() const;
    // Called when a keyboard has arrived and been read (the main window's MSG_PROFILE_SYNC handling),
    // with no lock held. When an Update left a backup that is still a valid profile file, asks
    // UPDATE_RESTORE_PROMPT naming it (Yes by default) and forgets it whatever the answer. Returns the
    // file to import on Yes; the caller imports it (profiles::importProfileFile) on its device worker.
    std::optional<std::filesystem::path> offerRestore();

private:
    // The automatic backup of Update: a new time-stamped file in the data folder's backups folder.
    // Empty when it could not be written; attempted is where it was meant to go.
    std::filesystem::path writeAutomaticBackup(std::filesystem::path& attempted);
    void rememberRestore(const std::filesystem::path& backup);
    void forgetRestore();

    profiles::AssignmentStore& store_;
    profiles::SettingsStore& settings_;
    Seams seams_;
    Folders folders_;
    std::filesystem::path updateFile_;
    std::filesystem::path lastAutomaticBackup_;
    std::optional<std::filesystem::path> pendingRestore_;
};

// The device link's sendRaw as FirmwareUpdate wants it: 0 (no keyboard) while the session is not open. The
// report goes out under the commands' frame, between sequences; when the frame cannot be had in time the
// result is the frame's (kLinkBusy) and nothing is sent.
FirmwareUpdate::RawSender sendRawThrough(device::LinkSession& session);

} // namespace tarvik::update
