// Fault injection, latency and the update trigger of the virtual keyboard, through the library.
#include "tests/portmux/SimFixture.h"

namespace portmux::test {
namespace {

using sim::Area;
using sim::Fault;
using sim::FaultKind;

class PortmuxSimFaults : public SimLibTest {
protected:
    size_t replies() { return Recorder::get().notes(PORTMUX_TAG_CTRL, PORTMUX_KIND_REPORT).size(); }
    std::vector<Note> countChanges() {
        return Recorder::get().notes(PORTMUX_TAG_CTRL, PORTMUX_KIND_DEVICE_SET);
    }
    bool waitForCounts(size_t n) {
        return Recorder::get().waitUntil([&](const std::vector<Note>& notes) {
            return countOf(notes, PORTMUX_TAG_CTRL, PORTMUX_KIND_DEVICE_SET) >= n;
        });
    }
};

TEST_F(PortmuxSimFaults, BusyAnswersAreNotExecuted) {
    ok(request(sim::kBeginWrite));
    sim->injectFault({FaultKind::BusyFF, 1});
    sim->injectFault({FaultKind::BusyFE, 1});
    const Report write = request(sim::kWriteSettings, 1, 1, {3});
    auto first = exchange(write);
    ASSERT_TRUE(first.has_value());
    EXPECT_EQ((*first)[3], sim::kWriteSettings);
    EXPECT_EQ((*first)[7], 0xFF);
    auto second = exchange(write);
    ASSERT_TRUE(second.has_value());
    EXPECT_EQ((*second)[7], 0xFE);
    EXPECT_EQ(sim->pendingFaults(), 0u);
    ok(request(sim::kEndWrite));
    EXPECT_EQ(sim->area(Area::Settings)[1], 0x05) << "busy answers did not serve the write";
    EXPECT_EQ(sim->reportCount(), 4u) << "busy reports were received";
    expectNoViolations();
}

TEST_F(PortmuxSimFaults, BusyThenServed) {
    sim->injectFault({FaultKind::BusyFF, 2});
    const Report read = request(sim::kReadConfig, 44);
    EXPECT_EQ((*exchange(read))[7], 0xFF);
    EXPECT_EQ((*exchange(read))[7], 0xFF);
    const Report served = ok(read);
    EXPECT_EQ(served[8 + 11], 64);
}

TEST_F(PortmuxSimFaults, WrongCommandCodeInTheReply) {
    sim->injectFault({FaultKind::WrongCommand, 1});
    sim->injectFault({FaultKind::WrongCommand, 1, 0, 0x07});
    const Report read = request(sim::kReadConfig, 44);
    EXPECT_EQ((*exchange(read))[3], sim::kReadConfig ^ 0x80);
    EXPECT_EQ((*exchange(read))[3], 0x07);
    ok(read);
    expectNoViolations();
}

TEST_F(PortmuxSimFaults, NoReplyMeansNotExecutedAndNotAnswered) {
    ok(request(sim::kBeginWrite));
    sim->injectFault({FaultKind::NoReply, 1});
    ASSERT_GT(writeOne(request(sim::kWriteSettings, 1, 2, {0})), 0);
    ASSERT_TRUE(sim->waitIdle(2000));
    EXPECT_EQ(replies(), 1u) << "only the begin was answered";
    ok(request(sim::kEndWrite));
    EXPECT_EQ(replies(), 2u);
    EXPECT_EQ(sim->area(Area::Settings)[2], 0x03) << "a lost report is not executed";
    EXPECT_EQ(sim->reportCount(), 3u) << "but it was received";
    expectNoViolations();
}

TEST_F(PortmuxSimFaults, DroppedReplyIsExecuted) {
    ok(request(sim::kBeginWrite));
    sim->injectFault({FaultKind::DropReply, 1});
    ASSERT_GT(writeOne(request(sim::kWriteSettings, 1, 2, {0})), 0);
    ASSERT_TRUE(sim->waitIdle(2000));
    const size_t before = replies();
    ok(request(sim::kEndWrite));
    EXPECT_EQ(replies(), before + 1) << "only the end was answered";
    EXPECT_EQ(sim->area(Area::Settings)[2], 0x00) << "executed, only the reply was lost";
    expectNoViolations();
}

TEST_F(PortmuxSimFaults, LateReplyArrivesAfterTheDelay) {
    sim->injectFault({FaultKind::LateReply, 1, 0, 0, 800});
    ASSERT_GT(writeOne(request(sim::kReadConfig, 44)), 0);
    ASSERT_TRUE(sim->waitIdle(2000));
    EXPECT_EQ(replies(), 0u) << "not due yet";
    const Report next = ok(request(sim::kReadSettings, 56, 0));
    EXPECT_EQ(next[3], sim::kReadSettings) << "a later report is answered first";
    ASSERT_TRUE(Recorder::get().waitUntil([](const std::vector<Note>& notes) {
        return countOf(notes, PORTMUX_TAG_CTRL, PORTMUX_KIND_REPORT) == 2;
    }));
    const auto notes = Recorder::get().notes(PORTMUX_TAG_CTRL, PORTMUX_KIND_REPORT);
    EXPECT_EQ(notes[1].bytes[3], sim::kReadConfig) << "the late reply comes last";
}

TEST_F(PortmuxSimFaults, LatencyDelaysEveryReply) {
    sim->setLatencyMs(800);
    ASSERT_GT(writeOne(request(sim::kReadConfig, 44)), 0);
    ASSERT_TRUE(sim->waitIdle(2000));
    EXPECT_EQ(replies(), 0u) << "not due yet";
    ASSERT_TRUE(Recorder::get().waitUntil([](const std::vector<Note>& notes) {
        return countOf(notes, PORTMUX_TAG_CTRL, PORTMUX_KIND_REPORT) == 1;
    }));
    sim->setLatencyMs(0);
    ok(request(sim::kReadConfig, 44));
}

TEST_F(PortmuxSimFaults, RefusedWriteNeverReachesTheKeyboard) {
    sim->injectFault({FaultKind::RefuseWrite, 2});
    EXPECT_EQ(writeOne(request(sim::kBeginWrite)), 0);
    EXPECT_EQ(writeOne(request(sim::kBeginWrite)), 0);
    EXPECT_EQ(sim->reportCount(), 0u);
    EXPECT_FALSE(sim->frameOpen());
    ok(request(sim::kBeginWrite));
    EXPECT_TRUE(sim->frameOpen());
}

TEST_F(PortmuxSimFaults, FaultsCanAimAtOneCommand) {
    // Busy for the third chunk of a key block write only: begin, two chunks pass, then busy.
    sim->injectFault({FaultKind::Pass, 2, sim::kWriteKeys});
    sim->injectFault({FaultKind::BusyFF, 1, sim::kWriteKeys});
    ok(request(sim::kBeginWrite));
    ok(request(sim::kWriteKeys, 56, 0, pattern(56, 1)));
    ok(request(sim::kWriteKeys, 56, 56, pattern(56, 2)));
    EXPECT_EQ((*exchange(request(sim::kWriteKeys, 56, 112, pattern(56, 3))))[7], 0xFF);
    ok(request(sim::kWriteKeys, 56, 112, pattern(56, 3)));
    ok(request(sim::kEndWrite));
    const auto keys = sim->area(Area::KeyBlocks);
    EXPECT_EQ(keys[112], pattern(56, 3)[0]);
    EXPECT_EQ(sim->pendingFaults(), 0u);
    expectNoViolations();
}

TEST_F(PortmuxSimFaults, AckDropAnswersAWriteWithSuccessAndKeepsNothingOfIt) {
    // Two writes dropped; reads, begin and end pass it by without using it up.
    sim->injectFault({FaultKind::AckDrop, 2});
    ok(request(sim::kBeginWrite));
    ok(request(sim::kReadSettings, 56, 0));
    ok(request(sim::kWriteSettings, 1, 1, {3}));       // dropped
    ok(request(sim::kWriteColours, 3, 30, {1, 2, 3})); // dropped
    EXPECT_EQ(sim->pendingFaults(), 0u);
    ok(request(sim::kWriteSettings, 1, 2, {4}));
    const Report staged = ok(request(sim::kReadSettings, 56, 0));
    EXPECT_EQ(staged[8 + 1], 0x05) << "a read inside the frame does not see the dropped write either";
    EXPECT_EQ(staged[8 + 2], 4);
    ok(request(sim::kEndWrite));
    EXPECT_EQ(sim->area(Area::Settings)[1], 0x05);
    EXPECT_EQ(sim->area(Area::Settings)[2], 4);
    EXPECT_EQ(sim->area(Area::Colours)[30], 0xFF);
    EXPECT_EQ(sim->reportCount(), 7u) << "every report reached the keyboard";

    // Aimed at one command; a profile selection outside a frame is dropped as well.
    const auto before = sim->area(Area::KeyBlocks);
    sim->injectFault({FaultKind::AckDrop, 1, sim::kWriteKeys});
    sim->injectFault({FaultKind::AckDrop, 1, sim::kWriteConfig});
    writeChunked(sim::kWriteKeys, 378, pattern(112, 9));
    const auto keys = sim->area(Area::KeyBlocks);
    ASSERT_NE(before[378], pattern(112, 9)[0]);
    EXPECT_EQ(keys[378], before[378]) << "the first chunk was dropped";
    EXPECT_EQ(keys[434], pattern(112, 9)[56]);
    std::vector<uint8_t> config = sim->area(Area::Config);
    config[10] = 2;
    ok(request(sim::kWriteConfig, 44, 0, config));
    EXPECT_EQ(sim->area(Area::Config)[10], 0);
    EXPECT_EQ(sim->pendingFaults(), 0u);

    // The checks still hold: a dropped write outside a frame is a violation like any other.
    sim->injectFault({FaultKind::AckDrop, 1});
    EXPECT_EQ((*exchange(request(sim::kWriteSettings, 1, 1, {3})))[7],
              static_cast<uint8_t>(sim::Violation::WriteOutsideFrame));
    EXPECT_EQ(sim->violationCount(), 1u);
}

TEST_F(PortmuxSimFaults, FaultsAreUsedInTheOrderGiven) {
    sim->injectFault({FaultKind::BusyFE, 2});
    sim->injectFault({FaultKind::WrongCommand, 1});
    EXPECT_EQ(sim->pendingFaults(), 2u);
    const Report read = request(sim::kReadConfig, 44);
    EXPECT_EQ((*exchange(read))[7], 0xFE);
    EXPECT_EQ((*exchange(read))[7], 0xFE);
    EXPECT_EQ((*exchange(read))[3], sim::kReadConfig ^ 0x80);
    ok(read);
    sim->injectFault({FaultKind::BusyFF, 3});
    sim->clearFaults();
    ok(read);
}

TEST_F(PortmuxSimFaults, UnplugInTheMiddleOfASequence) {
    sim->injectFault({FaultKind::Unplug, 2});
    ok(request(sim::kBeginWrite));
    ok(request(sim::kWriteMacros, 56, 0, pattern(56, 9)));
    ASSERT_TRUE(waitForCounts(1));
    EXPECT_EQ(countChanges()[0].count, 0u);
    // The count change comes after the last reply.
    const auto notes = Recorder::get().notes();
    ASSERT_GE(notes.size(), 3u);
    EXPECT_EQ(notes[1].kind, static_cast<uint32_t>(PORTMUX_KIND_REPORT));
    EXPECT_EQ(notes[2].kind, static_cast<uint32_t>(PORTMUX_KIND_DEVICE_SET));
    EXPECT_EQ(sim->keyboardCount(), 0);
    EXPECT_EQ(writeOne(request(sim::kEndWrite)), 0) << "the keyboard is gone";
    ASSERT_TRUE(sim->plug());
    ok(request(sim::kEndWrite));
    EXPECT_EQ(sim->area(Area::Macros)[0], 0xAA) << "the open frame was lost";
    expectNoViolations();
}

TEST_F(PortmuxSimFaults, UnplugAtTheNextReport) {
    sim->injectFault({FaultKind::Unplug, 0, sim::kWriteKeys});
    ok(request(sim::kBeginWrite));
    EXPECT_EQ(writeOne(request(sim::kWriteKeys, 56, 0, pattern(56, 1))), 0);
    ASSERT_TRUE(waitForCounts(1));
    EXPECT_EQ(countChanges()[0].count, 0u);
    EXPECT_EQ(sim->reportCount(), 1u);
}

TEST_F(PortmuxSimFaults, UpdateTriggerMakesTheKeyboardLeaveAndComeBack) {
    sim->setUpdateReturnDelayMs(50);
    Report trigger{};
    trigger[0] = 0x04;
    trigger[3] = 0xEE;
    trigger[4] = 0xEE;
    ASSERT_GT(writeOne(trigger), 0);
    ASSERT_TRUE(waitForCounts(2));
    const auto changes = countChanges();
    EXPECT_EQ(changes[0].count, 0u);
    EXPECT_EQ(changes[1].count, 1u);
    EXPECT_EQ(replies(), 0u) << "the trigger is not answered";
    EXPECT_EQ(sim->updateTriggerCount(), 1u);
    EXPECT_EQ(sim->keyboardCount(), 1);
    ok(request(sim::kReadConfig, 44));
    expectNoViolations();
}

TEST_F(PortmuxSimFaults, UpdateTriggerWithoutReturn) {
    sim->setUpdateReturnDelayMs(-1);
    Report trigger{};
    trigger[0] = 0x04;
    trigger[3] = 0xEE;
    trigger[4] = 0xEE;
    ASSERT_GT(writeOne(trigger), 0);
    ASSERT_TRUE(waitForCounts(1));
    EXPECT_EQ(sim->keyboardCount(), 0);
    EXPECT_EQ(writeOne(request(sim::kReadConfig, 44)), 0);
    ASSERT_TRUE(sim->plug());
    ASSERT_TRUE(waitForCounts(2));
    EXPECT_EQ(countChanges()[1].count, 1u);
    ok(request(sim::kReadConfig, 44));
}

TEST_F(PortmuxSimFaults, PlugBeforeTheReturnDelayCancelsTheReturn) {
    sim->setUpdateReturnDelayMs(100);
    Report trigger{};
    trigger[0] = 0x04;
    trigger[3] = 0xEE;
    trigger[4] = 0xEE;
    ASSERT_GT(writeOne(trigger), 0);
    ASSERT_TRUE(sim->plug());
    std::this_thread::sleep_for(std::chrono::milliseconds(250));
    ASSERT_TRUE(sim->waitIdle(2000));
    const auto changes = countChanges();
    ASSERT_EQ(changes.size(), 2u) << "one leave, one return";
    EXPECT_EQ(changes[1].count, 1u);
}

} // namespace
} // namespace portmux::test
