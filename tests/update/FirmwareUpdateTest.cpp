// The firmware update's decisions with scripted seams: which message each failure shows, what is sent
// and started and in which order, what happens to the chosen file, the automatic backup and the restore
// offer.
#include "update/FirmwareUpdate.h"

#include "profiles/ProfileFiles.h"
#include "tests/macros/RecordingPrompter.h"
#include "tests/profiles/StoreSamples.h"
#include "tests/profiles/TestHome.h"
#include "tests/support/ScopedEnv.h"
#include "tests/update/UpdateFakes.h"

#include <gtest/gtest.h>

#include <ctime>
#include <fstream>
#include <memory>

namespace tarvik::update {
namespace {

namespace fs = std::filesystem;
using testing::RecordingTrigger;
using testing::RecordingUpdatePrompter;
using testing::ScriptedChooser;
using testing::ScriptedStarter;
using testing::UpdateLog;
using Result = FirmwareUpdate::UpdateResult;

void writeFile(const fs::path& p, const std::string& text, fs::perms perms) {
    fs::create_directories(p.parent_path());
    std::ofstream(p) << text;
    fs::permissions(p, perms);
}

constexpr fs::perms kExecutable = fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec;
constexpr fs::perms kPlain = fs::perms::owner_read | fs::perms::owner_write;

class FirmwareUpdateTest : public ::testing::Test {
protected:
    void SetUp() override {
        home = testing::useOwnHome();
        settings = profiles::SettingsStore(home / ".config" / "Tarvik_Lumira" / "Tarvik.ini");
        package = home / "Package";
        program = package / "flash keyboard";
        writeFile(program, "#!/bin/sh\nexit 0\n", kExecutable);
        testing::fillSampleStore(store);
        update = make();
    }

    std::unique_ptr<FirmwareUpdate> make() {
        FirmwareUpdate::Seams seams{
            prompter, files, chooser, starter, trigger.sender(&log), [this] { return now; }};
        return std::make_unique<FirmwareUpdate>(
            store, settings, seams,
            FirmwareUpdate::Folders{package, [this](const fs::path&) { ++firstRuns; }});
    }
    void choose(const std::optional<fs::path>& answer) {
        chooser.answers.push_back(answer);
        update->chooseUpdateFile();
    }
    fs::path backups() const { return home / "Documents" / "Velmora" / "backups"; }
    size_t backupCount() const {
        std::error_code ec;
        size_t n = 0;
        for (auto it = fs::directory_iterator(backups(), ec); !ec && it != fs::directory_iterator(); ++it) {
            ++n;
        }
        return n;
    }
    // The working copy's records as a backup holds them.
    void expectHoldsTheStore(const fs::path& file) {
        profiles::AssignmentStore back;
        ASSERT_EQ(profiles::loadProfileFile(back, file), 1) << file;
        auto a = store.lockKeyData();
        auto b = back.lockKeyData();
        for (size_t i = 0; i < profiles::kRecordCount; ++i) {
            ASSERT_EQ(back.working().records()[i], store.working().records()[i]) << "record " << i;
        }
        EXPECT_EQ(back.working().macros().size(), store.working().macros().size());
    }

    fs::path home, package, program;
    profiles::AssignmentStore store;
    profiles::SettingsStore settings{fs::path{}};
    UpdateLog log;
    tarvik::testing::RecordingPrompter prompter;
    RecordingUpdatePrompter files{&log};
    ScriptedChooser chooser;
    ScriptedStarter starter{&log};
    RecordingTrigger trigger;
    std::chrono::system_clock::time_point now = std::chrono::system_clock::from_time_t(1700000000);
    int firstRuns = 0;
    std::unique_ptr<FirmwareUpdate> update;
};

TEST_F(FirmwareUpdateTest, AnUpdateFileThatCannotBeStartedStopsBeforeAnythingIsSent) {
    struct Case {
        const char* what;
        std::function<void()> arrange;
    } cases[] = {
        {"nothing chosen", [] {}},
        {"the chooser cancelled after a choice", [&] { choose(program), choose(std::nullopt); }},
        {"chosen, then Cancel", [&] { choose(program), update->cancel(); }},
        {"the file removed since", [&] { choose(package / "gone"); }},
        {"a folder", [&] { choose(package); }},
        {"a file that is not executable",
         [&] {
             writeFile(package / "notes.txt", "firmware 1.2\n", kPlain);
             choose(package / "notes.txt");
         }},
        // Every file on a FAT stick is executable: a Windows updater, or an ELF for another machine.
        {"an executable Windows program",
         [&] {
             writeFile(package / "Update.exe", std::string("MZ\x90\0\3\0\0\0", 8), kExecutable);
             choose(package / "Update.exe");
         }},
        {"an ELF of another machine",
         [&] {
             std::string elf(64, '\0');
             elf.replace(0, 6,
                         "\x7f"
                         "ELF\x01\x01");        // 32-bit, little-endian
             elf[18] = static_cast<char>(0xF3); // RISC-V
             writeFile(package / "update-riscv", elf, kExecutable);
             choose(package / "update-riscv");
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        update = make();
        prompter.shown.clear();
        c.arrange();
        const fs::path before = update->updateFile();
        EXPECT_EQ(update->startUpdate(), Result::NoFile);
        EXPECT_EQ(prompter.shown, std::vector<std::string>{"MAIN_UPDATE_ERROR_TEXT"});
        EXPECT_EQ(update->updateFile(), before) << "an error keeps the choice";
        EXPECT_TRUE(trigger.reports.empty());
        EXPECT_TRUE(starter.calls.empty());
        EXPECT_EQ(backupCount(), 0u) << "no backup for an update that cannot run";
        EXPECT_FALSE(update->pendingRestore());
    }
}

TEST_F(FirmwareUpdateTest, AProgramOfThisMachinePassesTheCheck) {
    fs::copy_file("/proc/self/exe", package / "update-native");
    choose(package / "update-native");
    EXPECT_NE(update->startUpdate(), Result::NoFile);
    EXPECT_EQ(starter.calls.size(), 1u);
}

TEST_F(FirmwareUpdateTest, UpdateBacksUpThenTriggersThenStartsTheProgramAndClears) {
    choose(program);
    ASSERT_EQ(update->updateFile(), program);
    bool backupThereAtTrigger = false;
    trigger.beforeAnswer = [&] { backupThereAtTrigger = fs::exists(update->lastAutomaticBackup()); };

    EXPECT_EQ(update->startUpdate(), Result::Started);

    EXPECT_EQ(log.steps, (std::vector<std::string>{"show UPDATE_AUTO_BACKUP_DONE", "trigger", "start"}));
    const fs::path backup = update->lastAutomaticBackup();
    EXPECT_EQ(backup.parent_path(), backups());
    EXPECT_EQ(files.entries.at(0).file, backup) << "the message says where";
    EXPECT_TRUE(backupThereAtTrigger);
    expectHoldsTheStore(backup);
    EXPECT_EQ(firstRuns, 1) << "creating the data folder runs the first-run copy";

    ASSERT_EQ(trigger.reports.size(), 1u);
    std::vector<uint8_t> expected(64, 0);
    expected[0] = 0x04;
    expected[3] = expected[4] = 0xEE;
    EXPECT_EQ(trigger.reports[0], expected);

    ASSERT_EQ(starter.calls.size(), 1u);
    EXPECT_EQ(starter.calls[0].program, program);
    EXPECT_TRUE(starter.calls[0].arguments.empty());
    EXPECT_EQ(starter.calls[0].folder, package);
    EXPECT_TRUE(prompter.shown.empty());
    EXPECT_TRUE(update->updateFile().empty());
    EXPECT_EQ(update->pendingRestore(), backup);
}

TEST_F(FirmwareUpdateTest, TriggerOrStartFailuresShowTheirMessage) {
    struct Case {
        const char* what;
        int triggerAnswer;
        bool starts;
        Result result;
        const char* message;
        bool fileKept;
        bool started;
        bool restoreOffered;
    } cases[] = {
        {"no keyboard", 0, true, Result::TriggerRefused, "MAIN_BOOT_ERROR_TEXT", true, false, false},
        {"write refused", -1, true, Result::TriggerRefused, "MAIN_BOOT_ERROR_TEXT", true, false, false},
        {"a result other than 1", 64, true, Result::TriggerRefused, "MAIN_BOOT_ERROR_TEXT", true, false,
         false},
        // The keyboard was told already: its backup is offered when it returns.
        {"program not started", 1, false, Result::NotStarted, "MAIN_SHELL_ERROR_TEXT", false, true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        update = make();
        prompter.shown.clear();
        starter.calls.clear();
        trigger.answer = c.triggerAnswer;
        starter.result = c.starts ? StartResult{true, 0, 1} : StartResult{false, ENOEXEC, 0};
        choose(program);
        EXPECT_EQ(update->startUpdate(), c.result);
        EXPECT_EQ(prompter.shown, std::vector<std::string>{c.message});
        EXPECT_EQ(update->updateFile(), c.fileKept ? program : fs::path{});
        EXPECT_EQ(starter.calls.size(), c.started ? 1u : 0u);
        EXPECT_EQ(update->pendingRestore().has_value(), c.restoreOffered);
        EXPECT_TRUE(fs::exists(update->lastAutomaticBackup())) << "written before the trigger either way";
    }
}

TEST_F(FirmwareUpdateTest, AFailedAutomaticBackupAsksBeforeGoingOn) {
    // The documents folder lies under a file, so the data folder cannot be created.
    writeFile(home / "blocker", "", kPlain);
    writeFile(home / ".config" / "user-dirs.dirs",
              "XDG_DOCUMENTS_DIR=\"" + (home / "blocker" / "Docs").string() + "\"\n", kPlain);
    for (bool goOn : {false, true}) {
        SCOPED_TRACE(goOn ? "Yes" : "No");
        update = make();
        log.steps.clear();
        files.entries.clear();
        files.answers = {goOn};
        choose(program);
        EXPECT_EQ(update->startUpdate(), goOn ? Result::Started : Result::NotBackedUp);
        ASSERT_EQ(files.entries.size(), 1u);
        EXPECT_EQ(files.entries[0].key, "UPDATE_AUTO_BACKUP_FAILED");
        EXPECT_FALSE(files.entries[0].defaultYes) << "going on without a backup is never the default";
        EXPECT_FALSE(files.entries[0].file.empty()) << "the message names where it tried";
        EXPECT_EQ(log.steps,
                  goOn ? (std::vector<std::string>{"ask UPDATE_AUTO_BACKUP_FAILED", "trigger", "start"})
                       : (std::vector<std::string>{"ask UPDATE_AUTO_BACKUP_FAILED"}));
        EXPECT_EQ(update->updateFile(), goOn ? fs::path{} : program);
        EXPECT_FALSE(update->pendingRestore()) << "nothing to restore";
    }
}

TEST_F(FirmwareUpdateTest, BackupsOfTheSameSecondGetTheirOwnNames) {
    std::vector<fs::path> seen;
    for (int i = 0; i < 3; ++i) {
        choose(program);
        ASSERT_EQ(update->startUpdate(), Result::Started);
        seen.push_back(update->lastAutomaticBackup());
    }
    EXPECT_NE(seen[0], seen[1]);
    EXPECT_NE(seen[1], seen[2]);
    EXPECT_NE(seen[0], seen[2]);
    EXPECT_EQ(backupCount(), 3u);
}

TEST_F(FirmwareUpdateTest, ChoosingStartsInThePackageFolderAndCancelEmptiesTheChoice) {
    choose(program);
    ASSERT_EQ(chooser.calls.size(), 1u);
    EXPECT_EQ(chooser.calls[0].mode, FileChooser::Mode::Open);
    EXPECT_EQ(chooser.calls[0].start, package);
    EXPECT_NE(chooser.calls[0].filter.find("*.exe"), std::string::npos) << "the old filter stays";
    EXPECT_NE(chooser.calls[0].filter.find("|*|"), std::string::npos) << "and every file is offered";
    EXPECT_EQ(update->updateFile(), program);
    choose(std::nullopt);
    EXPECT_TRUE(update->updateFile().empty());
}

TEST_F(FirmwareUpdateTest, BackupWritesWhatTheProgramHoldsOrSaysItFailed) {
    fs::create_directories(home / "Documents" / "Velmora");
    writeFile(home / "a-file", "", kPlain);
    struct Case {
        const char* what;
        std::optional<fs::path> answer;
        FirmwareUpdate::BackupResult result;
        std::vector<std::string> shown;
        std::optional<fs::path> written;
    } cases[] = {
        {"cancelled", std::nullopt, FirmwareUpdate::BackupResult::Cancelled, {}, std::nullopt},
        {"a .tvk file",
         home / "mine.tvk",
         FirmwareUpdate::BackupResult::Written,
         {"MAIN_UPDATE_BACKUP_OK"},
         home / "mine.tvk"},
        {"a name without extension",
         home / "before-update",
         FirmwareUpdate::BackupResult::Written,
         {"MAIN_UPDATE_BACKUP_OK"},
         home / "before-update.tvk"},
        {"inside a file",
         home / "a-file" / "x.tvk",
         FirmwareUpdate::BackupResult::Failed,
         {"MAIN_UPDATE_BACKUP_NG"},
         std::nullopt},
        {"a file system nobody writes",
         fs::path("/proc/tarvik-backup.tvk"),
         FirmwareUpdate::BackupResult::Failed,
         {"MAIN_UPDATE_BACKUP_NG"},
         std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        prompter.shown.clear();
        chooser.calls.clear();
        chooser.answers = {c.answer};
        EXPECT_EQ(update->backup(), c.result);
        EXPECT_EQ(prompter.shown, c.shown);
        ASSERT_EQ(chooser.calls.size(), 1u);
        EXPECT_EQ(chooser.calls[0].mode, FileChooser::Mode::Save);
        EXPECT_EQ(chooser.calls[0].filter, "(*.tvk)|*.tvk|(*.*)|*.*||");
        EXPECT_EQ(chooser.calls[0].start, home / "Documents" / "Velmora");
        if (c.written) {
            expectHoldsTheStore(*c.written);
        }
    }
    EXPECT_TRUE(trigger.reports.empty()) << "a backup never reaches the keyboard";
}

TEST_F(FirmwareUpdateTest, TheRestoreIsOfferedOnceAfterAnUpdate) {
    EXPECT_FALSE(update->offerRestore()) << "no update, no question";
    EXPECT_TRUE(files.entries.empty());

    for (bool yes : {true, false}) {
        SCOPED_TRACE(yes ? "Yes" : "No");
        files.entries.clear();
        choose(program);
        ASSERT_EQ(update->startUpdate(), Result::Started);
        const fs::path backup = update->lastAutomaticBackup();
        files.entries.clear();
        files.answers = {yes};
        EXPECT_EQ(update->offerRestore(), yes ? std::optional<fs::path>(backup) : std::nullopt);
        ASSERT_EQ(files.entries.size(), 1u);
        EXPECT_EQ(files.entries[0].key, "UPDATE_RESTORE_PROMPT");
        EXPECT_EQ(files.entries[0].file, backup) << "the question names the backup";
        EXPECT_TRUE(files.entries[0].defaultYes);
        EXPECT_FALSE(update->offerRestore()) << "asked once, whatever the answer";
        EXPECT_EQ(files.entries.size(), 1u);
        EXPECT_TRUE(fs::exists(backup)) << "the backup stays in its folder";
    }
}

TEST_F(FirmwareUpdateTest, TheOfferSurvivesARestartButNotADamagedBackup) {
    choose(program);
    ASSERT_EQ(update->startUpdate(), Result::Started);
    const fs::path backup = update->lastAutomaticBackup();

    update = make(); // the program started again
    EXPECT_EQ(update->pendingRestore(), backup);
    files.answers = {true};
    EXPECT_EQ(update->offerRestore(), backup);
    update = make();
    EXPECT_FALSE(update->pendingRestore()) << "answered, so gone from the settings too";

    choose(program);
    ASSERT_EQ(update->startUpdate(), Result::Started);
    fs::resize_file(update->lastAutomaticBackup(), 100);
    files.entries.clear();
    EXPECT_FALSE(update->offerRestore());
    EXPECT_TRUE(files.entries.empty()) << "a damaged backup is not offered";
    EXPECT_FALSE(update->pendingRestore());
}

TEST(FirmwareUpdateTexts, FillPathReplacesTheFirstPlaceholderOnly) {
    struct Case {
        std::u16string_view format;
        fs::path file;
        std::u16string_view expected;
    } cases[] = {
        {u"saved to %s", "/home/u/b.tvk", u"saved to /home/u/b.tvk"},
        {u"%s\n%s", "/x", u"/x\n%s"},
        {u"no placeholder", "/x", u"no placeholder"},
        {u"100%d %s", "/x", u"100%d /x"},
        {u"备份到：%s", "/home/用户/b %s.tvk", u"备份到：/home/用户/b %s.tvk"},
        {u"", "/x", u""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(fillPath(c.format, c.file), c.expected);
    }
}

TEST(FirmwareUpdateTexts, BackupNamesCarryTheLocalTime) {
    struct Case {
        const char* tz;
        time_t when;
        const char* expected;
    } cases[] = {
        {"UTC", 1700000000, "update-20231114-221320.tvk"},
        {"UTC", 0, "update-19700101-000000.tvk"},
        {"JST-9", 0, "update-19700101-090000.tvk"}, // nine hours east, without the time zone files
    };
    for (const Case& c : cases) {
        testsupport::ScopedEnv tz("TZ", c.tz);
        ::tzset();
        EXPECT_EQ(backupFileName(std::chrono::system_clock::from_time_t(c.when)), c.expected) << c.tz;
    }
    ::tzset();
}

} // namespace
} // namespace tarvik::update
