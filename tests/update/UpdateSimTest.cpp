// The update against the virtual keyboard: the trigger as the keyboard receives it, the automatic backup
// on disk before it, the keyboard leaving and coming back, and the restore bringing back what a flash
// wiped.
#include "update/FirmwareUpdate.h"

#include "profiles/Download.h"
#include "profiles/KeyboardTransfer.h"
#include "tests/device/SimHarness.h"
#include "tests/macros/RecordingPrompter.h"
#include "tests/profiles/StoreSamples.h"
#include "tests/profiles/TestHome.h"
#include "tests/update/UpdateFakes.h"

#include <chrono>
#include <fstream>
#include <future>
#include <thread>

namespace tarvik::device {
namespace {

namespace fs = std::filesystem;
using Area = PortmuxSimControl::Area;

// Polls a condition at most limit, for the presence worker and the keyboard's return.
template <typename Condition> bool waitFor(Condition condition, std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

class UpdateSim : public test::SimTest {
protected:
    void SetUp() override {
        home = tarvik::testing::useOwnHome();
        test::SimTest::SetUp();
        if (HasFatalFailure()) {
            return;
        }
        open();
        const fs::path package = home / "Package";
        fs::create_directories(package);
        program = package / "flash";
        std::ofstream(program) << "#!/bin/sh\nexit 0\n";
        fs::permissions(program, fs::perms::owner_all);
        settings = profiles::SettingsStore(home / "tarvik.ini");
        update::FirmwareUpdate::Seams seams{
            prompter, files, chooser, starter,
            [this, raw = update::sendRawThrough(*session)](std::span<const uint8_t> r) {
                triggerSentAt = fs::file_time_type::clock::now();
                backupBeforeTrigger = fs::exists(update->lastAutomaticBackup());
                return raw(r);
            }};
        update = std::make_unique<update::FirmwareUpdate>(store, settings, seams,
                                                          update::FirmwareUpdate::Folders{package, {}});
    }
    void TearDown() override {
        update.reset();
        test::SimTest::TearDown();
    }
    void choose() {
        chooser.answers = {program};
        update->chooseUpdateFile();
    }
    size_t triggersReceived() {
        size_t n = 0;
        for (const auto& r : sim->reports()) {
            n += r[3] == 0xEE && r[4] == 0xEE ? 1 : 0;
        }
        return n;
    }

    fs::path home, program;
    profiles::AssignmentStore store;
    profiles::SettingsStore settings{fs::path{}};
    tarvik::testing::RecordingPrompter prompter;
    tarvik::testing::RecordingUpdatePrompter files;
    tarvik::testing::ScriptedChooser chooser;
    tarvik::testing::ScriptedStarter starter;
    std::unique_ptr<update::FirmwareUpdate> update;
    fs::file_time_type triggerSentAt{};
    bool backupBeforeTrigger = false;
};

TEST_F(UpdateSim, TheKeyboardGetsTheTriggerAfterTheBackupIsOnDisk) {
    sim->setUpdateReturnDelayMs(-1); // no reads of a returning keyboard among the reports
    choose();
    EXPECT_EQ(update->startUpdate(), update::FirmwareUpdate::UpdateResult::Started);
    ASSERT_TRUE(sim->waitIdle(5000));
    EXPECT_EQ(sim->updateTriggerCount(), 1u);
    const auto reports = sim->reports();
    ASSERT_EQ(reports.size(), 1u) << "the trigger alone: no command before it";
    portmux::sim::Report expected{};
    expected[0] = 0x04;
    expected[3] = expected[4] = 0xEE;
    EXPECT_EQ(reports[0], expected);
    EXPECT_TRUE(backupBeforeTrigger);
    EXPECT_LE(fs::last_write_time(update->lastAutomaticBackup()), triggerSentAt);
    EXPECT_TRUE(prompter.shown.empty());
}

TEST_F(UpdateSim, WhenTheKeyboardReturnsWipedTheBackupBringsItsSettingsBack) {
    // What the user had: the sample profiles on the keyboard and in the program.
    tarvik::testing::fillSampleStore(store);
    ASSERT_TRUE(profiles::makeAppliedCopy(store, commands(), state, true).succeeded());
    const std::vector<uint8_t> before = sim->area(Area::KeyBlocks);
    const std::vector<uint8_t> factory = sim->area(Area::DefaultKeyBlock);
    ASSERT_NE(before, std::vector<uint8_t>(factory.begin(), factory.end()));

    sim->setUpdateReturnDelayMs(-1); // away until plugged in, as while the update program runs
    const size_t syncsBefore = window.count(test::WindowEvent::Send, MSG_PROFILE_SYNC);
    choose();
    ASSERT_EQ(update->startUpdate(), update::FirmwareUpdate::UpdateResult::Started);
    ASSERT_TRUE(waitFor([&] { return sim->keyboardCount() == 0; }, std::chrono::seconds(5)));
    EXPECT_EQ(triggersReceived(), 1u);

    // The flash leaves factory key blocks behind.
    for (size_t b = 0; b < 3; ++b) {
        ASSERT_TRUE(sim->setArea(Area::KeyBlocks, b * factory.size(), factory));
    }
    ASSERT_TRUE(sim->plug());
    ASSERT_TRUE(waitFor([&] { return window.count(test::WindowEvent::Send, MSG_PROFILE_SYNC) > syncsBefore; },
                        std::chrono::seconds(10)));
    ASSERT_TRUE(session->events().waitPresenceIdle(std::chrono::seconds(10)));

    // The main window's part: ask, then import what the user chose.
    files.answers = {true};
    const std::optional<fs::path> restore = update->offerRestore();
    ASSERT_TRUE(restore);
    EXPECT_EQ(*restore, update->lastAutomaticBackup());
    profiles::AssignmentStore restored;
    EXPECT_TRUE(profiles::importProfileFile(restored, *restore, commands(), state).succeeded());
    EXPECT_EQ(sim->area(Area::KeyBlocks), before);
    EXPECT_TRUE(prompter.shown.empty());
}

// The trigger sends the keyboard away: it waits for a write sequence another thread is in the middle of,
// and when that takes longer than the link allows it is not sent at all.
class TriggerSim : public test::SimTest {
protected:
    void SetUp() override {
        tarvik::testing::useOwnHome();
        test::SimTest::SetUp();
        if (HasFatalFailure()) {
            return;
        }
        LinkTiming timing = test::testTiming();
        timing.sequenceWait = LinkTiming::ms{200};
        open(timing);
        sim->setUpdateReturnDelayMs(-1);
    }
};

TEST_F(TriggerSim, TheTriggerNeverGoesOutInsideAnotherThreadsSequence) {
    const update::FirmwareUpdate::RawSender send = update::sendRawThrough(*session);
    std::promise<void> begun;
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    std::thread other([&] {
        const Commands::Frame held = commands().frame();
        EXPECT_TRUE(held);
        EXPECT_EQ(commands().beginWrite(), kOk);
        begun.set_value();
        released.wait_for(std::chrono::seconds(30));
        EXPECT_EQ(commands().endWrite(), kOk);
    });
    // Ends the other thread's sequence and waits for it, also when an assertion below fails.
    bool finished = false;
    auto finish = [&] {
        if (!finished) {
            finished = true;
            release.set_value();
            other.join();
        }
    };
    struct AtExit {
        std::function<void()> run;
        ~AtExit() { run(); }
    } atExit{finish};
    ASSERT_EQ(begun.get_future().wait_for(std::chrono::seconds(10)), std::future_status::ready);

    EXPECT_EQ(send(update::kUpdateTriggerReport), kLinkBusy);
    ASSERT_TRUE(sim->waitIdle(5000));
    EXPECT_EQ(sim->updateTriggerCount(), 0u);

    // Once the sequence is over the trigger goes out, after its end.
    finish();
    EXPECT_EQ(send(update::kUpdateTriggerReport), kOk);
    ASSERT_TRUE(sim->waitIdle(5000));
    EXPECT_EQ(sim->updateTriggerCount(), 1u);
    const auto reports = sim->reports();
    ASSERT_GE(reports.size(), 3u);
    EXPECT_EQ(reports[reports.size() - 2][3], CMD_END_WRITE);
}

} // namespace
} // namespace tarvik::device
