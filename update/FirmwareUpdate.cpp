#include "update/FirmwareUpdate.h"

#include "platform/AtomicFile.h"
#include "platform/FileChecks.h"
#include "platform/IniFile.h"
#include "platform/LocalTime.h"
#include "platform/Paths.h"
#include "platform/Utf.h"
#include "profiles/ProfileFiles.h"

#include <cstdint>
#include <ctime>
#include <optional>
#include <system_error>
#include <utility>

namespace tarvik::update {

namespace fs = std::filesystem;

namespace {

// Longest value the settings file keeps whole; a longer path is only remembered for this run.
constexpr size_t kLongestStoredPath = IniFile::kDefaultCapacity - 1;
// Backups started within the same second get "-2", "-3", ... ; past this many something else is wrong.
constexpr int kMaxSameSecondBackups = 100;

// The part of an ELF header that says which machine runs it: class (32/64 bit), byte order, and the
// machine number at 18 (in that byte order).
struct ElfMachine {
    uint8_t elfClass = 0;
    uint8_t byteOrder = 0;
    uint16_t machine = 0;
    bool operator==(const ElfMachine&) const = default;
};

std::optional<ElfMachine> elfMachine(const uint8_t* h, size_t size) {
    if (size < 20 || h[0] != 0x7F || h[1] != 'E' || h[2] != 'L' || h[3] != 'F') {
        return std::nullopt;
    }
    ElfMachine m;
    m.elfClass = h[4];
    m.byteOrder = h[5];
    m.machine = m.byteOrder == 2 ? static_cast<uint16_t>(h[18] << 8 | h[19])
                                 : static_cast<uint16_t>(h[19] << 8 | h[18]);
    return m;
}

std::optional<ElfMachine> elfMachineOf(const fs::path& file) {
    ReadOnlyFile f(file);
    uint8_t head[20] = {};
    if (!f.isOpen() || f.size() < sizeof head || !f.readAt(0, head, sizeof head)) {
        return std::nullopt;
    }
    return elfMachine(head, sizeof head);
}

// A file the update can start: there, a regular file (after links), executable by us, and a program this
// machine runs: an ELF for the machine this program itself is built for, or a script ("#!"). Every file on
// a FAT stick is executable, a Windows updater too. Checked before the keyboard is told anything, since a
// keyboard in its boot mode with no program to flash it is the one outcome worse than an error message.
bool isStartable(const fs::path& file) {
    if (file.empty() || !isExecutableFile(file)) {
        return false;
    }
    ReadOnlyFile f(file);
    uint8_t head[2] = {};
    if (!f.isOpen() || f.size() < sizeof head || !f.readAt(0, head, sizeof head)) {
        return false;
    }
    if (head[0] == '#' && head[1] == '!') {
        return true;
    }
    const std::optional<ElfMachine> theirs = elfMachineOf(file);
    static const std::optional<ElfMachine> ours = elfMachineOf("/proc/self/exe");
    return theirs && ours && *theirs == *ours;
}

} // namespace

std::u16string fillPath(std::u16string_view format, const fs::path& file) {
    std::u16string out(format);
    if (const size_t at = out.find(u"%s"); at != std::u16string::npos) {
        out.replace(at, 2, toUtf16(file.string()));
    }
    return out;
}

std::string backupFileName(std::chrono::system_clock::time_point when) {
    const std::time_t t = std::chrono::system_clock::to_time_t(when);
    const std::tm local = localTime(t);
    char buf[64];
    const size_t n = std::strftime(buf, sizeof buf, "update-%Y%m%d-%H%M%S.tvk", &local);
    return n > 0 ? std::string(buf, n) : std::string("update.tvk");
}

FirmwareUpdate::FirmwareUpdate(profiles::AssignmentStore& store, profiles::SettingsStore& settings,
                               Seams seams, Folders folders)
    : store_(store), settings_(settings), seams_(std::move(seams)), folders_(std::move(folders)) {
    const std::u16string stored = settings_.readSetting(kPendingRestoreSetting, u"");
    if (!stored.empty()) {
        pendingRestore_ = fs::path(toUtf8(stored));
    }
}

void FirmwareUpdate::chooseUpdateFile() {
    const std::optional<fs::path> chosen =
        seams_.chooser.choose(FileChooser::Mode::Open, std::string(kUpdateProgramFilter), folders_.package);
    updateFile_ = chosen.value_or(fs::path{});
}

FirmwareUpdate::UpdateResult FirmwareUpdate::startUpdate() {
    if (!isStartable(updateFile_)) {
        seams_.prompter.show("MAIN_UPDATE_ERROR_TEXT");
        return UpdateResult::NoFile;
    }

    fs::path attempted;
    const fs::path backup = writeAutomaticBackup(attempted);
    if (backup.empty()) {
        if (!seams_.files.askYesNo("UPDATE_AUTO_BACKUP_FAILED", attempted, false)) {
            return UpdateResult::NotBackedUp;
        }
    } else {
        lastAutomaticBackup_ = backup;
        seams_.files.show("UPDATE_AUTO_BACKUP_DONE", backup);
    }

    const int sent = seams_.sendRaw ? seams_.sendRaw(kUpdateTriggerReport) : 0;
    if (sent != 1) {
        seams_.prompter.show("MAIN_BOOT_ERROR_TEXT");
        return UpdateResult::TriggerRefused;
    }
    // From here on the keyboard may lose what it held: offer the backup when it comes back, whether or
    // not the program starts.
    if (!backup.empty()) {
        rememberRestore(backup);
    }

    const fs::path program = std::exchange(updateFile_, fs::path{});
    const StartResult started = seams_.starter.start(program, {}, folders_.package);
    if (!started.started) {
        seams_.prompter.show("MAIN_SHELL_ERROR_TEXT");
        return UpdateResult::NotStarted;
    }
    return UpdateResult::Started;
}

void FirmwareUpdate::cancel() {
    updateFile_.clear();
}

FirmwareUpdate::BackupResult FirmwareUpdate::backup() {
    std::error_code ec;
    fs::path start = paths::dataFolder();
    if (!fs::is_directory(start, ec)) {
        start = paths::documentsFolder();
    }
    std::optional<fs::path> chosen =
        seams_.chooser.choose(FileChooser::Mode::Save, std::string(kProfileFileFilter), start,
                              std::string(kProfileFileDefaultName));
    if (!chosen || chosen->empty()) {
        return BackupResult::Cancelled;
    }
    fs::path target = *chosen;
    // The save dialog's default extension: a name typed without one gets ".tvk".
    if (!target.has_extension()) {
        target += ".tvk";
    }
    // Takes the key-data lock itself; the message is shown after it is released.
    if (!profiles::exportProfileFile(store_, target)) {
        seams_.prompter.show("MAIN_UPDATE_BACKUP_NG");
        return BackupResult::Failed;
    }
    seams_.prompter.show("MAIN_UPDATE_BACKUP_OK");
    return BackupResult::Written;
}

fs::path FirmwareUpdate::writeAutomaticBackup(fs::path& attempted) {
    const fs::path data = profiles::ensureDataFolder(folders_.firstRun);
    if (data.empty()) {
        attempted = paths::dataFolder() / kBackupFolderName;
        return {};
    }
    const fs::path folder = data / kBackupFolderName;
    std::error_code ec;
    fs::create_directories(folder, ec);
    const std::string name = backupFileName(seams_.clock());
    const std::string stem = name.substr(0, name.size() - 4);
    attempted = folder / name;
    for (int n = 2; fs::exists(attempted, ec) && n <= kMaxSameSecondBackups; ++n) {
        attempted = folder / (stem + "-" + std::to_string(n) + ".tvk");
    }
    if (fs::exists(attempted, ec) || !fs::is_directory(folder, ec)) {
        return {};
    }
    return profiles::exportProfileFile(store_, attempted) ? attempted : fs::path{};
}

std::optional<fs::path> FirmwareUpdate::pendingRestore() const {
    return pendingRestore_;
}

void FirmwareUpdate::rememberRestore(const fs::path& backup) {
    pendingRestore_ = backup;
    const std::u16string value = toUtf16(backup.string());
    (void)settings_.writeSetting(kPendingRestoreSetting, value.size() <= kLongestStoredPath ? value : u"");
}

void FirmwareUpdate::forgetRestore() {
    pendingRestore_.reset();
    if (!settings_.readSetting(kPendingRestoreSetting, u"").empty()) {
        (void)settings_.writeSetting(kPendingRestoreSetting, u"");
    }
}

FirmwareUpdate::RawSender sendRawThrough(device::LinkSession& session) {
    return [&session](std::span<const uint8_t> report) {
        if (!session.isOpen()) {
            return device::kNoKeyboard;
        }
        // No command exchange, but it sends the keyboard away: it must not land inside a write sequence of
        // another thread (a lighting write on the device worker) or of another process.
        const device::Commands::Frame held = session.commands().frame();
        if (!held) {
            return held.result();
        }
        return session.link().sendRaw(report);
    };
}

std::optional<fs::path> FirmwareUpdate::offerRestore() {
    if (!pendingRestore_) {
        return std::nullopt;
    }
    const fs::path backup = *pendingRestore_;
    forgetRestore();
    // A backup removed or damaged since is not worth a question.
    const profiles::ProfileFileCheck check = profiles::checkProfileFile(backup);
    if (check.result != 1 || !check.loadable) {
        return std::nullopt;
    }
    if (!seams_.files.askYesNo("UPDATE_RESTORE_PROMPT", backup, true)) {
        return std::nullopt;
    }
    return backup;
}

} // namespace tarvik::update
