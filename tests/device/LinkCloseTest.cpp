// Closing the link the way a window closes it (from the thread its workers may be waiting for), and
// sequences of several threads on one keyboard.
#include "device/OnBoardProfile.h"
#include "tests/device/SimHarness.h"
#include "tests/support/ChildProcess.h"

#include <future>
#include <numeric>
#include <thread>

namespace tarvik::device::test {
namespace {

using portmux::sim::Area;
using portmux::sim::FaultKind;
using testsupport::waitFor;

// Far beyond anything the link itself waits here: a close that waited for a worker or a reply would
// show up as a timeout, not as a slow pass.
constexpr auto kBound = std::chrono::seconds(10);

class LinkClose : public SimTest {};

TEST_F(LinkClose, ClosingWhileAWorkerWaitsInSendMessageReturnsAndTheWorkerToo) {
    open();
    window.blockSends();
    ASSERT_TRUE(sim->unplug()); // the presence worker tells the window: MSG_DEVICE_LOST
    ASSERT_TRUE(window.waitForBlockedSend(kBound));

    // The window closes from its user-interface thread, the very thread the worker waits for.
    auto closing = std::async(std::launch::async, [&] { session->close(); });
    const bool closed = closing.wait_for(kBound) == std::future_status::ready;
    EXPECT_TRUE(closed) << "close waited for the worker in sendMessage";
    if (!closed) {
        window.closePort(); // let the worker go so the test can end
    }
    closing.get();
    EXPECT_TRUE(window.portClosed());
    EXPECT_TRUE(window.waitNoBlockedSend(kBound));
    EXPECT_TRUE(session->isClosed());

    // Nothing reaches the window any more, and the commands send nothing.
    window.clear();
    ASSERT_TRUE(sim->plug());
    ASSERT_TRUE(sim->waitIdle(5000));
    std::array<uint8_t, kConfigSize> config{};
    const size_t reports = sim->reportCount();
    EXPECT_EQ(commands().readConfig(config), kNoKeyboard);
    EXPECT_EQ(sim->reportCount(), reports);
    EXPECT_TRUE(window.events().empty());
}

TEST_F(LinkClose, ClosingEndsAnExchangeThatWaitsForAReplyThatNeverComes) {
    LinkTiming t = testTiming();
    t.replyWait = std::chrono::minutes(1); // only close can end the wait in time
    open(t);
    sim->injectFault(fault(FaultKind::NoReply, 1));
    const size_t before = sim->reportCount();
    auto exchange = std::async(std::launch::async, [&] {
        std::array<uint8_t, kConfigSize> config{};
        return commands().readConfig(config);
    });
    ASSERT_TRUE(waitFor([&] { return sim->reportCount() > before; }, kBound)) << "the request went out";

    auto closing = std::async(std::launch::async, [&] { session->close(); });
    EXPECT_EQ(closing.wait_for(kBound), std::future_status::ready);
    ASSERT_EQ(exchange.wait_for(kBound), std::future_status::ready) << "the exchange still waits";
    EXPECT_EQ(exchange.get(), kNoKeyboard);
    closing.get();
}

TEST_F(LinkClose, ASessionOpensOnce) {
    open();
    EXPECT_EQ(session->open(programFolder(), OnBindFailure::Report), BindResult::AlreadyOpen);
    EXPECT_TRUE(session->isOpen());
    session->close();
    session->close(); // a second close does nothing
    EXPECT_EQ(session->open(programFolder(), OnBindFailure::Report), BindResult::AlreadyOpen);
    EXPECT_FALSE(session->isOpen());
}

TEST_F(LinkClose, AThreadWaitsForAnotherThreadsSequenceAndGivesUpWithItsOwnResult) {
    LinkTiming t = testTiming();
    t.sequenceWait = std::chrono::milliseconds(50);
    open(t);
    std::promise<void> holding;
    std::promise<void> release;
    std::thread holder([&] {
        Commands::Frame held = commands().frame();
        EXPECT_TRUE(held);
        holding.set_value();
        release.get_future().wait();
    });
    holding.get_future().wait();
    std::array<uint8_t, kConfigSize> config{};
    const size_t before = sim->reportCount();
    EXPECT_EQ(commands().readConfig(config), kLinkBusy);
    EXPECT_EQ(selectOnBoardProfile(commands(), state, 1), kLinkBusy);
    EXPECT_EQ(writeReportRate(commands(), 0, 2), kLinkBusy);
    EXPECT_EQ(sim->reportCount(), before) << "nothing is sent into another thread's sequence";

    // A keyboard arriving meanwhile cannot be read, but it has not failed: no matrix message.
    window.clear();
    ASSERT_TRUE(sim->unplug());
    ASSERT_TRUE(sim->plug());
    ASSERT_TRUE(sim->waitIdle(5000));
    ASSERT_TRUE(session->events().waitPresenceIdle(kBound));
    EXPECT_EQ(window.count(WindowEvent::Message, 0), 0u);
    release.set_value();
    holder.join();
    EXPECT_EQ(commands().readConfig(config), kOk);
    EXPECT_EQ(selectOnBoardProfile(commands(), state, 1), kOk);
    EXPECT_EQ(writeReportRate(commands(), 1, 2), kOk);
    EXPECT_EQ(sim->area(Area::Settings)[42 + 15], 2);
}

// Two threads write whole sequences at once, as Apply on the device worker and a lighting slider on
// the window would. The keyboard restarts its frame on every beginWrite, so a sequence that lands inside
// another one drops that one's writes while both are told they succeeded.
TEST_F(LinkClose, SequencesOfTwoThreadsNeverInterleave) {
    LinkTiming t = testTiming();
    t.queueLimit = std::chrono::milliseconds(20000);
    open(t);
    sim->setLatencyMs(1);
    std::array<uint8_t, kKeyBlockSize> block{};
    std::atomic<int> applyFailures{0};
    std::atomic<int> lightingFailures{0};
    constexpr int kRounds = 6;
    std::thread apply([&] {
        for (int round = 0; round < kRounds; ++round) {
            std::array<uint8_t, kKeyBlockSize> b{};
            std::iota(b.begin(), b.end(), static_cast<uint8_t>(round * 17));
            block = b;
            SequenceResult r = commands().writeSequence([&] {
                int rc = commands().writeKeyBlock(b, 0);
                return rc == kOk ? commands().writeKeyBlock(b, 2) : rc;
            });
            applyFailures += r.ok() ? 0 : 1;
        }
    });
    std::thread lighting([&] {
        for (int round = 0; round < 4 * kRounds; ++round) {
            const uint8_t value[] = {static_cast<uint8_t>(round + 1)};
            SequenceResult r = commands().writeSequence([&] { return commands().writeSettings(value, 1); });
            lightingFailures += r.ok() ? 0 : 1;
        }
    });
    apply.join();
    lighting.join();
    EXPECT_EQ(applyFailures.load(), 0);
    EXPECT_EQ(lightingFailures.load(), 0);
    const std::vector<uint8_t> keys = sim->area(Area::KeyBlocks);
    EXPECT_TRUE(std::equal(block.begin(), block.end(), keys.begin())) << "block 0 is the last one sent";
    EXPECT_TRUE(std::equal(block.begin(), block.end(), keys.begin() + 2 * kKeyBlockSize)) << "block 2 too";
    EXPECT_EQ(sim->area(Area::Settings)[1], 4 * kRounds);
}

} // namespace
} // namespace tarvik::device::test
