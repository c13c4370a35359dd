// The profile manager's list, its tick boxes and Apply, without a window.
#include "profiles/ProfileManagerModel.h"

#include "platform/IniFile.h"
#include "platform/Paths.h"
#include "profiles/ProfileFiles.h"
#include "tests/profiles/FakeKeyboard.h"
#include "tests/profiles/TestHome.h"
#include "tests/profilesui/ScriptedFileChooser.h"

#include <gtest/gtest.h>

#include <fstream>

namespace tarvik::profiles {
namespace {

namespace fs = std::filesystem;

class ProfileManagerModelTest : public ::testing::Test {
protected:
    ProfileManagerModelTest() {
        data = ensureDataFolder();
        device::LinkTiming t;
        t.endWritePause = std::chrono::milliseconds(0);
        commands = std::make_unique<device::Commands>(kb, t);
        state.macroCapacity = 8192;
    }
    std::u16string setting(std::u16string_view name) const {
        return IniFile::load(settings.file()).get(kSettingsSection, name, u"<missing>");
    }
    size_t count(uint8_t command) const {
        size_t n = 0;
        for (const auto& r : kb.requests) {
            n += r.command == command ? 1 : 0;
        }
        return n;
    }

    // First: the members after it (the settings file's path) are made in this test's own home.
    fs::path home = testing::useOwnHome();
    fs::path data;
    ProfileManagerModel model;
    testing::ScriptedFileChooser files;
    SettingsStore settings{settingsFilePath()};
    testing::FakeKeyboard kb;
    std::unique_ptr<device::Commands> commands;
    device::AppLinkState state;
    AssignmentStore store;
};

TEST_F(ProfileManagerModelTest, OpenedInProfileOneShowsThreeCacheRowsAndTicksTheSecond) {
    model.open(1);
    ASSERT_EQ(model.rows().size(), 3u);
    for (const ManagerRow& r : model.rows()) {
        EXPECT_EQ(r.name(), u"$Profile0");
        EXPECT_EQ(r.folder(), data.u16string() + u"/");
    }
    EXPECT_EQ(model.ticked(), 1);
    EXPECT_FALSE(model.modified());
    EXPECT_TRUE(model.isOpen());

    model.open(-1);
    EXPECT_EQ(model.ticked(), -1);
}

TEST_F(ProfileManagerModelTest, TicksAreSingleChoiceAndEveryChangeEnablesApply) {
    model.open(0);
    model.setTicked(0, true); // already ticked: no change
    EXPECT_FALSE(model.modified());
    model.setTicked(2, true);
    EXPECT_EQ(model.ticked(), 2);
    EXPECT_TRUE(model.modified());
    model.applied(true);
    model.setTicked(1, false); // not the ticked row
    EXPECT_FALSE(model.modified());
    model.setTicked(2, false);
    EXPECT_EQ(model.ticked(), -1);
    EXPECT_TRUE(model.modified());
    model.setTicked(9, true);
    EXPECT_EQ(model.ticked(), -1);

    // A switch made while the dialog is open ticks its row and disables Apply.
    model.switched(1);
    EXPECT_EQ(model.ticked(), 1);
    EXPECT_FALSE(model.modified());
    model.close();
    EXPECT_FALSE(model.isOpen());
}

TEST_F(ProfileManagerModelTest, AddWritesANewDefaultFileWhereTheSaveDialogSays) {
    model.open(0);
    files.answers = {std::nullopt, data / "Raid", data / "Work.tvk"};
    EXPECT_EQ(model.add(files, u"\\The new contextual  mode"), ProfileManagerModel::FileStep::Cancelled);
    EXPECT_EQ(model.rows().size(), 3u);
    EXPECT_FALSE(model.modified());
    ASSERT_EQ(files.requests.size(), 1u);
    EXPECT_EQ(files.requests[0].mode, FileChooser::Mode::Save);
    EXPECT_EQ(files.requests[0].filter, "(*.tvk)|*.tvk|(*.*)|*.*||");
    EXPECT_EQ(files.requests[0].startFolder, data);
    EXPECT_EQ(files.requests[0].defaultName, "The new contextual  mode.tvk");

    // A name typed without extension gets the dialog's default one.
    EXPECT_EQ(model.add(files, u"\\x"), ProfileManagerModel::FileStep::Added);
    EXPECT_EQ(model.add(files, u"\\x"), ProfileManagerModel::FileStep::Added);
    ASSERT_EQ(model.rows().size(), 5u);
    EXPECT_EQ(model.rows()[3].file, data / "Raid.tvk");
    EXPECT_EQ(model.rows()[3].name(), u"Raid");
    EXPECT_EQ(fs::file_size(data / "Raid.tvk"), kRecordBlockSize);
    EXPECT_EQ(checkProfileFile(data / "Work.tvk").result, 1);
    EXPECT_TRUE(model.modified());

    // A file that cannot be written adds no row.
    files.answers = {home / "no such folder" / "p.tvk"};
    EXPECT_EQ(model.add(files, u"p"), ProfileManagerModel::FileStep::Failed);
    EXPECT_EQ(model.rows().size(), 5u);
}

TEST_F(ProfileManagerModelTest, LoadAppendsTheChosenFileUnreadAndDeleteRemovesTheSelectedRow) {
    ASSERT_TRUE(newDefaultStoreFile(cacheFilePath(0)));
    model.open(2);
    files.answers = {home / "elsewhere" / "missing.tvk"};
    EXPECT_EQ(model.load(files), ProfileManagerModel::FileStep::Added);
    EXPECT_EQ(files.requests.back().mode, FileChooser::Mode::Open);
    EXPECT_EQ(files.requests.back().startFolder, data);
    ASSERT_EQ(model.rows().size(), 4u);
    EXPECT_EQ(model.rows()[3].folder(), (home / "elsewhere").u16string() + u"/");

    model.applied(true);
    EXPECT_FALSE(model.removeSelected()); // nothing selected
    EXPECT_FALSE(model.modified());
    model.select(0);
    EXPECT_TRUE(model.removeSelected());
    EXPECT_EQ(model.rows().size(), 3u);
    EXPECT_EQ(model.ticked(), 1); // the ticked row moved up with the list
    EXPECT_TRUE(model.modified());
    model.select(1);
    EXPECT_TRUE(model.removeSelected());
    EXPECT_EQ(model.ticked(), -1);
    EXPECT_TRUE(fs::exists(cacheFilePath(0))) << "nothing on disk changes";
}

TEST_F(ProfileManagerModelTest, ApplyWithTwoRowsAfterFiveLeavesTheLongerListsTail) {
    model.open(0);
    files.answers = {data / "a.tvk", data / "b.tvk"};
    model.add(files, u"a");
    model.add(files, u"b");
    ASSERT_TRUE(model.apply(settings).listRecorded);
    EXPECT_EQ(setting(u"PROFILE00"), u"5");
    EXPECT_EQ(setting(u"PROFILE04"), (data / "a.tvk").u16string());
    // The cache file has no extension; its row is recorded the way every row is: folder, name, ".tvk".
    EXPECT_EQ(setting(u"PROFILE01"), (data / "$Profile0.tvk").u16string());

    model.open(0);
    model.select(2);
    model.removeSelected();
    ManagerApply plan = model.apply(settings);
    EXPECT_EQ(plan.selectProfile, 0);
    EXPECT_FALSE(plan.import.has_value());
    EXPECT_EQ(setting(u"PROFILE00"), u"2");
    EXPECT_EQ(setting(u"PROFILE03"), (data / "$Profile0.tvk").u16string());
    EXPECT_EQ(setting(u"PROFILE04"), (data / "a.tvk").u16string());
    EXPECT_EQ(setting(u"PROFILE05"), (data / "b.tvk").u16string());
}

TEST_F(ProfileManagerModelTest, OkWithoutChangeStillSelectsTheTickedProfileAndReloads) {
    model.open(1);
    ManagerApply plan = model.apply(settings);
    EXPECT_EQ(plan.selectProfile, 1);
    ManagerApplyResult r = runManagerApply(plan, store, *commands, state);
    EXPECT_EQ(r.selectResult, device::kOk);
    EXPECT_TRUE(r.reloaded);
    EXPECT_TRUE(r.succeeded());
    EXPECT_EQ(count(device::CMD_WRITE_CONFIG), 1u);
    EXPECT_EQ(count(device::CMD_READ_KEYS) > 0, true);
    EXPECT_TRUE(fs::exists(cacheFilePath(0)));

    // Nothing ticked: nothing selected, the reload still runs.
    kb.requests.clear();
    model.setTicked(1, false);
    r = runManagerApply(model.apply(settings), store, *commands, state);
    EXPECT_EQ(count(device::CMD_WRITE_CONFIG), 0u);
    EXPECT_TRUE(r.reloaded);
}

TEST_F(ProfileManagerModelTest, ATickedFileRowImportsItAndARefusedFileChangesNothing) {
    // A good file with key A blocked in profile 0.
    {
        AssignmentStore other;
        {
            auto lock = other.lockKeyData();
            other.working().records()[0x1E].type = keyboard::ASSIGN_NO_FUNCTION;
        }
        ASSERT_TRUE(saveProfileFile(other, data / "good.tvk"));
    }
    {
        std::ofstream bad(data / "bad.tvk", std::ios::binary);
        bad << std::string(kRecordBlockSize, '\x5A');
    }
    model.open(0);
    files.answers = {data / "good.tvk", data / "bad.tvk"};
    model.load(files);
    model.load(files);

    model.setTicked(4, true);
    ManagerApply refused = model.apply(settings);
    ASSERT_TRUE(refused.import.has_value());
    EXPECT_EQ(refused.selectProfile, -1);
    ManagerApplyResult r = runManagerApply(refused, store, *commands, state);
    EXPECT_EQ(r.importResult, 0);
    EXPECT_FALSE(r.succeeded());
    EXPECT_EQ(r.messages.back(), "MAIN_PROMPT_INPORT");
    EXPECT_TRUE(kb.requests.empty());
    model.applied(r.succeeded());
    EXPECT_TRUE(model.modified());
    {
        auto lock = store.lockKeyData();
        EXPECT_EQ(store.working().records()[0x1E].type, keyboard::ASSIGN_DEFAULT);
    }

    model.setTicked(3, true);
    r = runManagerApply(model.apply(settings), store, *commands, state);
    EXPECT_EQ(r.importResult, device::kOk);
    EXPECT_TRUE(r.succeeded());
    EXPECT_EQ(count(device::CMD_WRITE_CONFIG), 0u) << "no profile beyond the three is asked for";
    EXPECT_GT(count(device::CMD_WRITE_KEYS), 0u);
    auto lock = store.lockKeyData();
    EXPECT_EQ(store.working().records()[0x1E].type, keyboard::ASSIGN_NO_FUNCTION);
}

} // namespace
} // namespace tarvik::profiles
