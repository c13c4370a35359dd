// Several threads exchanging at once with the virtual keyboard while it answers late, loses replies,
// answers busy or with another command, and sends consumer codes in between. Every thread must get
// its own data or an error, never another thread's reply. Run under ThreadSanitizer too.
#include "tests/device/SimHarness.h"

#include <random>
#include <thread>

namespace tarvik::device::test {
namespace {

using portmux::sim::Area;
using portmux::sim::FaultKind;

std::vector<uint8_t> patternFor(size_t size, uint8_t seed) {
    std::vector<uint8_t> bytes(size);
    for (size_t i = 0; i < size; ++i) {
        bytes[i] = static_cast<uint8_t>(seed * 37 + i * 11 + (i >> 8));
    }
    return bytes;
}

class ConcurrentExchange : public SimTest {};

TEST_F(ConcurrentExchange, ThreadsNeverReadEachOthersReplies) {
    LinkTiming t = testTiming();
    t.replyWait = std::chrono::milliseconds(80);
    t.takeOver = std::chrono::milliseconds(80);
    // Four threads queue for one keyboard; on a loaded machine a thread may wait behind several long
    // exchanges. Giving up in the queue is not what this test is about.
    t.queueLimit = std::chrono::milliseconds(20000);
    open(t);

    std::vector<std::vector<uint8_t>> blocks;
    std::vector<std::vector<uint8_t>> colours;
    for (uint8_t p = 0; p < 3; ++p) {
        blocks.push_back(patternFor(kKeyBlockSize, static_cast<uint8_t>(p + 1)));
        colours.push_back(patternFor(kColourProfileSize, static_cast<uint8_t>(p + 100)));
        ASSERT_TRUE(sim->setArea(Area::KeyBlocks, p * kKeyBlockSize, blocks.back()));
        ASSERT_TRUE(sim->setArea(Area::Colours, p * kColourProfileSize, colours.back()));
    }
    sim->setLatencyMs(1);

    // A fixed mix of faults among passed reports; which thread meets which fault is up to the
    // scheduler. Late replies come after the reply wait but within wait plus take-over.
    std::mt19937 random(20240611);
    const FaultKind kinds[] = {FaultKind::NoReply,  FaultKind::LateReply, FaultKind::LateReply,
                               FaultKind::BusyFF,   FaultKind::BusyFE,    FaultKind::WrongCommand,
                               FaultKind::DropReply};
    for (int i = 0; i < 24; ++i) {
        sim->injectFault(fault(FaultKind::Pass, 1 + random() % 6));
        FaultKind kind = kinds[random() % std::size(kinds)];
        uint32_t delay = kind == FaultKind::LateReply ? 90 + random() % 60 : 0;
        sim->injectFault(fault(kind, 1, 0, delay));
    }

    constexpr int kThreads = 4;
    constexpr int kRounds = 12;
    std::atomic<int> wrongData{0};
    std::atomic<int> successes{0};
    std::atomic<int> unexpectedResults{0};
    auto acceptable = [](int rc) { return rc == kOk || rc == kNoReply || rc == kBusyFF || rc == kBusyFE; };
    std::vector<std::thread> threads;
    for (int id = 0; id < kThreads; ++id) {
        threads.emplace_back([&, id] {
            const unsigned profile = static_cast<unsigned>(id % 3);
            for (int round = 0; round < kRounds; ++round) {
                std::array<uint8_t, kKeyBlockSize> block{};
                int rc = commands().readKeyBlock(block, profile);
                unexpectedResults += acceptable(rc) ? 0 : 1;
                if (rc == kOk) {
                    ++successes;
                    wrongData += std::equal(block.begin(), block.end(), blocks[profile].begin()) ? 0 : 1;
                }
                std::array<uint8_t, kChunkSize> rgb{};
                const unsigned key = static_cast<unsigned>((round * 7 + id) % 150);
                rc = commands().readColours(rgb, 6, key, profile);
                unexpectedResults += acceptable(rc) ? 0 : 1;
                if (rc == kOk) {
                    ++successes;
                    const size_t at = key * 3;
                    const size_t n = std::min<size_t>(kChunkSize, kColourProfileSize - at);
                    wrongData += std::equal(rgb.begin(), rgb.begin() + static_cast<std::ptrdiff_t>(n),
                                            colours[profile].begin() + static_cast<std::ptrdiff_t>(at))
                                     ? 0
                                     : 1;
                }
            }
        });
    }
    // Consumer codes on the same library thread as the replies, meanwhile.
    std::thread codes([&] {
        for (int i = 0; i < 20; ++i) {
            sim->sendConsumer(0x02FF);
            std::this_thread::sleep_for(std::chrono::milliseconds(3));
        }
    });
    for (auto& th : threads) {
        th.join();
    }
    codes.join();
    ASSERT_TRUE(sim->waitIdle(5000));

    EXPECT_EQ(wrongData.load(), 0);
    EXPECT_EQ(unexpectedResults.load(), 0);
    EXPECT_GT(successes.load(), kThreads * kRounds); // most exchanges get through
    // Twenty switches bring the layer back.
    EXPECT_EQ(state.linkStatusMode.load(), kInitialLinkStatusMode);
    EXPECT_EQ(sim->lastLinkStatus(), (portmux::sim::LinkStatusBytes{0x05, kInitialLinkStatusMode}));
}

} // namespace
} // namespace tarvik::device::test
