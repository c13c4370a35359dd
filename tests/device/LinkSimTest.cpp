// transact and the command set against the virtual keyboard: retries, busy answers, lost and late
// replies, unplugging, and the storage areas the commands reach.
#include "device/OnBoardProfile.h"
#include "tests/device/SimHarness.h"

#include <future>
#include <numeric>
#include <thread>

namespace tarvik::device::test {
namespace {

using portmux::sim::Area;
using portmux::sim::FaultKind;

class LinkSim : public SimTest {
protected:
    void SetUp() override {
        SimTest::SetUp();
        open();
    }
};

TEST_F(LinkSim, AReplyForAnotherCommandIsRetriedAtMostThreeTimes) {
    std::array<uint8_t, kReportSize> reply{};
    size_t delivered = 0;
    sim->injectFault(fault(FaultKind::WrongCommand, 2, CMD_READ_CONFIG));
    EXPECT_EQ(rawTransact(CMD_READ_CONFIG, reply, delivered), kOk);
    EXPECT_EQ(reply[kOffCommand], CMD_READ_CONFIG);
    EXPECT_EQ(reportsWithCommand(CMD_READ_CONFIG), 3u);

    sim->clearReports();
    sim->injectFault(fault(FaultKind::WrongCommand, 3, CMD_READ_CONFIG));
    EXPECT_EQ(rawTransact(CMD_READ_CONFIG, reply, delivered), kNoReply);
    EXPECT_EQ(reportsWithCommand(CMD_READ_CONFIG), 3u);
}

TEST_F(LinkSim, LostRepliesAreRetriedAtMostThreeTimes) {
    std::array<uint8_t, kReportSize> reply{};
    size_t delivered = 0;
    sim->injectFault(fault(FaultKind::NoReply, 2, CMD_READ_CONFIG));
    EXPECT_EQ(rawTransact(CMD_READ_CONFIG, reply, delivered), kOk);
    EXPECT_EQ(delivered, 64u);

    sim->clearReports();
    sim->injectFault(fault(FaultKind::NoReply, 3, CMD_READ_CONFIG));
    EXPECT_EQ(rawTransact(CMD_READ_CONFIG, reply, delivered), kNoReply);
    EXPECT_EQ(reportsWithCommand(CMD_READ_CONFIG), 3u);
    // Every resend is the same report.
    auto reports = sim->reports();
    EXPECT_EQ(reports[0], reports[2]);
}

TEST_F(LinkSim, BusyThreeTimesLeavesTheBusyByteForTheCaller) {
    struct Row {
        FaultKind kind;
        uint32_t count;
        uint8_t statusSeen;
        int commandResult;
    };
    const Row rows[] = {
        {FaultKind::BusyFF, 3, 0xFF, kBusyFF},
        {FaultKind::BusyFE, 3, 0xFE, kBusyFE},
        {FaultKind::BusyFF, 2, 0x00, kOk},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::Message() << "busy " << row.count << " times, status " << int(row.statusSeen));
        std::array<uint8_t, kReportSize> reply{};
        size_t delivered = 0;
        sim->clearReports();
        sim->injectFault(fault(row.kind, row.count, CMD_READ_CONFIG));
        EXPECT_EQ(rawTransact(CMD_READ_CONFIG, reply, delivered), kOk);
        EXPECT_EQ(reply[kOffStatus], row.statusSeen);
        EXPECT_EQ(reportsWithCommand(CMD_READ_CONFIG), std::min<uint32_t>(row.count + 1, 3));

        sim->injectFault(fault(row.kind, row.count, CMD_READ_CONFIG));
        std::array<uint8_t, kConfigSize> config{};
        EXPECT_EQ(commands().readConfig(config), row.commandResult);
    }
}

TEST_F(LinkSim, ARefusedWriteGivesMinusOneWithoutRetry) {
    sim->injectFault(fault(FaultKind::RefuseWrite, 1));
    std::array<uint8_t, kConfigSize> config{};
    EXPECT_EQ(commands().readConfig(config), kWriteRefused);
    EXPECT_EQ(sim->reportCount(), 0u);
    EXPECT_EQ(commands().readConfig(config), kOk);
}

TEST_F(LinkSim, UnpluggingMidSequenceEndsItAtOnce) {
    ASSERT_EQ(commands().beginWrite(), kOk);
    // Two chunks are answered, then the keyboard leaves.
    sim->injectFault(fault(FaultKind::Unplug, 2, CMD_WRITE_MACROS));
    std::vector<uint8_t> image(300, 0x11);
    EXPECT_EQ(commands().writeMacroArea(image), kNoKeyboard);
    EXPECT_EQ(reportsWithCommand(CMD_WRITE_MACROS), 2u);

    const size_t before = sim->reportCount();
    EXPECT_EQ(commands().endWrite(), kNoKeyboard);
    EXPECT_EQ(sim->reportCount(), before);
    // Nothing of the broken frame reached the flash.
    auto macros = sim->area(Area::Macros);
    EXPECT_NE(macros[0], 0x11);
}

TEST_F(LinkSim, AKeyboardLeavingDuringTheWaitEndsTheExchange) {
    sim->injectFault(fault(FaultKind::NoReply, 3, CMD_READ_CONFIG));
    auto result = std::async(std::launch::async, [this] {
        std::array<uint8_t, kConfigSize> config{};
        return commands().readConfig(config);
    });
    while (sim->reportCount() == 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    sim->unplug();
    EXPECT_EQ(result.get(), kNoKeyboard);
    EXPECT_EQ(sim->reportCount(), 1u); // not sent again to a keyboard that is gone
}

TEST_F(LinkSim, ALateReplyNeverReachesTheBufferOfAFinishedExchange) {
    const auto timing = link().timing();
    const uint32_t late = static_cast<uint32_t>(timing.replyWait.count()) + 30;
    sim->injectFault(fault(FaultKind::NoReply, 2, CMD_READ_CONFIG));
    sim->injectFault(fault(FaultKind::LateReply, 1, CMD_READ_CONFIG, late));

    auto kept = std::make_unique<std::array<uint8_t, kReportSize>>();
    size_t delivered = 0;
    EXPECT_EQ(rawTransact(CMD_READ_CONFIG, *kept, delivered), kNoReply);
    const auto snapshot = *kept;
    auto freed = std::make_unique<std::array<uint8_t, kReportSize>>();
    std::array<uint8_t, kReportSize> other{};
    EXPECT_EQ(rawTransact(CMD_BEGIN_WRITE, *freed, delivered), kOk);
    freed.reset(); // a write into it from here on is a use after free for the sanitizer build

    std::this_thread::sleep_for(std::chrono::milliseconds(late + 20));
    ASSERT_TRUE(sim->waitIdle(5000));
    EXPECT_EQ(*kept, snapshot);
    EXPECT_EQ(rawTransact(CMD_END_WRITE, other, delivered), kOk);
    EXPECT_EQ(other[kOffCommand], CMD_END_WRITE);
}

TEST_F(LinkSim, ALateReplyWithTheSameCommandIsNotTakenByTheNextExchange) {
    // The late answer carries the old configuration; the next read must see the new one. Its own reply
    // is slow, so without the take-over pause the stale one would come first.
    LinkTiming t = testTiming();
    t.replyWait = std::chrono::milliseconds(300);
    t.takeOver = std::chrono::milliseconds(400);
    session.reset();
    open(t);
    sim->injectFault(fault(FaultKind::NoReply, 2, CMD_READ_CONFIG));
    sim->injectFault(fault(FaultKind::LateReply, 1, CMD_READ_CONFIG, 300 + 100));
    std::array<uint8_t, kConfigSize> config{};
    ASSERT_EQ(commands().readConfig(config), kNoReply);

    ASSERT_TRUE(sim->setArea(Area::Config, kConfigCurrentProfile, {2}));
    sim->setLatencyMs(200);
    ASSERT_EQ(commands().readConfig(config), kOk);
    EXPECT_EQ(config[kConfigCurrentProfile], 2);
}

TEST_F(LinkSim, RegisteringConsumerCodesTwiceDeliversEachCodeOnce) {
    link().registerCons();
    link().registerCons();
    const uint32_t before = sim->linkStatusCount();
    ASSERT_TRUE(sim->sendConsumer(0x02FF));
    ASSERT_TRUE(sim->waitIdle(5000));
    EXPECT_EQ(sim->linkStatusCount(), before + 1);
    EXPECT_EQ(sim->lastLinkStatus(), (portmux::sim::LinkStatusBytes{0x05, 0x03}));
}

TEST_F(LinkSim, RegisteringAgainWhileALayerSwitchIsHandledDoesNotDeadlock) {
    // Cancelling the CONS registration waits for its running callback, whose layer switch writes the
    // status report and so touches the LED registration: the two must not share one lock.
    const uint32_t before = sim->linkStatusCount();
    auto done = std::async(std::launch::async, [this] {
        for (int i = 0; i < 400; ++i) {
            sim->sendConsumer(0x02FF);
            // Cancel at varying moments, some of them while the callback is running.
            const auto until = std::chrono::steady_clock::now() + std::chrono::microseconds(i % 40);
            while (std::chrono::steady_clock::now() < until) {
            }
            link().registerCons();
        }
        return sim->waitIdle(5000);
    });
    if (done.wait_for(std::chrono::seconds(30)) != std::future_status::ready) {
        ADD_FAILURE() << "registerCons and the layer switch deadlocked";
        std::_Exit(1); // the stuck threads cannot be joined
    }
    EXPECT_TRUE(done.get());
    // Codes sent while no CONS registration stood may be lost; each one delivered switched the layer
    // once, and the keyboard was told each time.
    const uint32_t switches = sim->linkStatusCount() - before;
    EXPECT_GT(switches, 0u);
    const uint8_t expected = switches % 2 == 0 ? kInitialLinkStatusMode : kInitialLinkStatusMode ^ 1;
    EXPECT_EQ(state.linkStatusMode.load(), expected);
    EXPECT_EQ(sim->lastLinkStatus(), (portmux::sim::LinkStatusBytes{0x05, expected}));
}

TEST_F(LinkSim, AnApplySequenceLandsInTheKeyboardsAreas) {
    std::vector<uint8_t> image(300);
    std::iota(image.begin(), image.end(), uint8_t{3});
    std::array<uint8_t, kKeyBlockSize> block;
    for (size_t i = 0; i < block.size(); ++i) {
        block[i] = static_cast<uint8_t>(i ^ 0x5C);
    }
    commands().beginWrite();
    ASSERT_EQ(commands().writeMacroArea(image), kOk);
    ASSERT_EQ(commands().writeKeyBlock(block, 1), kOk);
    commands().endWrite();

    auto macros = sim->area(Area::Macros);
    EXPECT_TRUE(std::equal(image.begin(), image.end(), macros.begin()));
    auto keys = sim->area(Area::KeyBlocks);
    EXPECT_TRUE(std::equal(block.begin(), block.end(), keys.begin() + 378));

    std::array<uint8_t, kKeyBlockSize> back{};
    ASSERT_EQ(commands().readKeyBlock(back, 1), kOk);
    EXPECT_EQ(back, block);
    std::vector<uint8_t> macroBack(image.size());
    ASSERT_EQ(commands().readMacroArea(macroBack), kOk);
    EXPECT_EQ(macroBack, image);
}

TEST_F(LinkSim, SettingsColoursAndTheDefaultBlock) {
    auto settings = sim->area(Area::Settings);
    std::array<uint8_t, kChunkSize> out{};
    ASSERT_EQ(commands().readSettings(out, 1, 42 + 15), kOk);
    EXPECT_TRUE(std::equal(out.begin(), out.end(), settings.begin() + 57));

    commands().beginWrite();
    const uint8_t rate[] = {2};
    ASSERT_EQ(commands().writeSettings(rate, 42 + 15), kOk);
    const uint8_t rgb[] = {10, 20, 30, 40, 50, 60};
    ASSERT_EQ(commands().writeColours(rgb, 7, 2), kOk);
    commands().endWrite();
    EXPECT_EQ(sim->area(Area::Settings)[57], 2);
    ASSERT_EQ(commands().readColours(out, 6, 7, 2), kOk);
    EXPECT_TRUE(std::equal(std::begin(rgb), std::end(rgb), out.begin()));

    std::array<uint8_t, kKeyBlockSize> defaults{};
    ASSERT_EQ(commands().readDefaultKeyBlock(defaults), kOk);
    auto factory = sim->area(Area::DefaultKeyBlock);
    EXPECT_TRUE(std::equal(defaults.begin(), defaults.end(), factory.begin()));
}

TEST_F(LinkSim, AWriteAcknowledgedButNotStoredIsCaughtByReadingItBack) {
    commands().setVerifyWrites(true);
    const uint8_t brightness[] = {4};      // factory: 5
    const uint8_t colour[] = {1, 2, 3};    // factory: FF FF FF
    const uint8_t effect[] = {0, 9, 9, 9}; // random off and a colour, as one write
    struct Row {
        const char* name;
        std::vector<portmux::sim::Fault> faults;
        int result;
        std::optional<WriteMismatch> mismatch;
    } rows[] = {
        {"settings",
         {fault(FaultKind::AckDrop, 1, CMD_WRITE_SETTINGS)},
         kVerifyMismatch,
         WriteMismatch{WriteArea::Settings, 84 + 1, 4, 5}},
        {"colours",
         {fault(FaultKind::AckDrop, 1, CMD_WRITE_COLOURS)},
         kVerifyMismatch,
         WriteMismatch{WriteArea::Colours, 1024 + 30, 1, 0xFF}},
        {"the second settings write only",
         {fault(FaultKind::Pass, 1, CMD_WRITE_SETTINGS), fault(FaultKind::AckDrop, 1, CMD_WRITE_SETTINGS)},
         kVerifyMismatch,
         WriteMismatch{WriteArea::Settings, 84 + 4, 0, 1}},
        {"all kept", {}, kOk, std::nullopt},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        sim->reset();
        ASSERT_TRUE(sim->waitIdle(5000));
        ASSERT_TRUE(session->events().waitPresenceIdle(std::chrono::seconds(10)));
        for (const auto& f : row.faults) {
            sim->injectFault(f);
        }
        sim->clearReports();
        SequenceResult r = commands().writeSequence([&] {
            int rc = commands().writeSettings(brightness, 84 + 1);
            rc = rc == kOk ? commands().writeSettings(effect, 84 + 4) : rc;
            return rc == kOk ? commands().writeColours(colour, 10, 2) : rc;
        });
        EXPECT_EQ(r.result, row.result);
        EXPECT_EQ(r.mismatch, row.mismatch);
        EXPECT_EQ(r.step, row.mismatch ? SequenceStep::Verify : SequenceStep::None);
        EXPECT_EQ(sim->pendingFaults(), 0u);
        // Three writes, three reads at most (here two: the settings writes share one), all after endWrite.
        std::vector<uint8_t> sent;
        for (const auto& report : sim->reports()) {
            sent.push_back(report[kOffCommand]);
        }
        const std::vector<uint8_t> written = {CMD_BEGIN_WRITE, CMD_WRITE_SETTINGS, CMD_WRITE_SETTINGS,
                                              CMD_WRITE_COLOURS, CMD_END_WRITE};
        ASSERT_GE(sent.size(), written.size());
        EXPECT_TRUE(std::equal(written.begin(), written.end(), sent.begin()));
        const std::vector<uint8_t> reads(sent.begin() + static_cast<std::ptrdiff_t>(written.size()),
                                         sent.end());
        if (row.mismatch && row.mismatch->area == WriteArea::Settings) {
            EXPECT_EQ(reads, (std::vector<uint8_t>{CMD_READ_SETTINGS}))
                << "the check stops at the first miss";
        } else {
            EXPECT_EQ(reads, (std::vector<uint8_t>{CMD_READ_SETTINGS, CMD_READ_COLOURS}));
        }
    }
}

TEST_F(LinkSim, SelectingAProfileAndReadingItBack) {
    ASSERT_EQ(selectOnBoardProfile(commands(), state, 2), kOk);
    EXPECT_EQ(sim->area(Area::Config)[kConfigCurrentProfile], 2);
    EXPECT_EQ(state.currentProfile.load(), 2);
    state.currentProfile = -1;
    EXPECT_EQ(currentOnBoardProfile(commands(), state), 2);

    sim->injectFault(fault(FaultKind::BusyFE, 3, CMD_WRITE_CONFIG));
    EXPECT_EQ(selectOnBoardProfile(commands(), state, 0), kBusyFE);
    EXPECT_EQ(state.currentProfile.load(), -1);
    EXPECT_EQ(sim->area(Area::Config)[kConfigCurrentProfile], 2);
}

} // namespace
} // namespace tarvik::device::test
