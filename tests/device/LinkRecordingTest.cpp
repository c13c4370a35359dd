// The request channel against a recording service library: the calls, their order and arguments, and
// the cases the virtual keyboard cannot produce (replies of odd lengths, reports nobody asked for).
#include "device/LinkSession.h"
#include "device/OnBoardProfile.h"
#include "tests/device/RecordingWindow.h"
#include "tests/device/TestTiming.h"
#include "tests/device/fake/RecordingPortmux.h"
#include "tests/support/ChildProcess.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <dlfcn.h>
#include <future>
#include <numeric>

namespace tarvik::device {
namespace {

using test::RecordingWindow;

RecordingPortmux& recorder() {
    static RecordingPortmux* fake = [] {
        std::string path = std::string(RECORDING_LIBRARY_DIR) + "/libportmux.so";
        void* module = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        EXPECT_NE(module, nullptr) << ::dlerror();
        auto get = reinterpret_cast<RecordingPortmuxGetFn>(::dlsym(module, "RecordingPortmuxGet"));
        return get();
    }();
    return *fake;
}

std::vector<std::string> names(const std::vector<RecordedCall>& calls) {
    std::vector<std::string> out;
    for (const auto& c : calls) {
        out.push_back(c.name);
    }
    return out;
}

class RecordingLink : public testing::Test {
protected:
    void SetUp() override {
        recorder().reset();
        ASSERT_EQ(session.open(RECORDING_LIBRARY_DIR, OnBindFailure::Report), BindResult::Ok);
        ASSERT_TRUE(session.events().waitPresenceIdle(std::chrono::seconds(10)));
        ASSERT_TRUE(recorder().waitIdle(2000));
        startCalls = recorder().calls().size();
    }
    // Calls made since the channel was up.
    std::vector<RecordedCall> laterCalls() {
        auto all = recorder().calls();
        return {all.begin() + static_cast<std::ptrdiff_t>(startCalls), all.end()};
    }
    int readConfig(std::array<uint8_t, kReportSize>& reply, size_t& delivered) {
        uint8_t request[] = {0x04, 0x2F, 0x00, CMD_READ_CONFIG, 44};
        return session.link().transact(request, reply, delivered);
    }

    AppLinkState state;
    RecordingWindow window;
    LinkSession session{state, window, test::testTiming()};
    size_t startCalls = 0;
};

TEST_F(RecordingLink, ChannelStartMakesTheCallsInOrder) {
    auto calls = recorder().calls();
    // Then the presence worker's arrival: presence tests and reports.
    std::vector<std::string> expected = {"Init",
                                         "DeleteRequestFromUnitId",
                                         "RequestAsyncRead",
                                         "DeleteRequestFromUnitId",
                                         "RequestAsyncRead",
                                         "RequestGetDeviceCount"};
    ASSERT_GE(calls.size(), expected.size());
    std::vector<std::string> head = names({calls.begin(), calls.begin() + 6});
    EXPECT_EQ(head, expected);
    EXPECT_EQ(calls[0].tag, 0u); // Init(0)
    EXPECT_EQ(calls[1].handle, 0u);
    EXPECT_EQ(calls[2].usagePage, PORTMUX_PAGE_CONSUMER);
    EXPECT_EQ(calls[2].tag, PORTMUX_TAG_CONS);
    EXPECT_EQ(calls[3].handle, 0u);
    EXPECT_EQ(calls[4].usagePage, PORTMUX_PAGE_CONFIG);
    EXPECT_EQ(calls[4].tag, PORTMUX_TAG_CTRL);
    EXPECT_EQ(calls[5].usagePage, PORTMUX_PAGE_CONFIG);
    for (const auto& c : calls) {
        EXPECT_TRUE(c.checkValid) << c.name;
        EXPECT_NE(c.name, "End"); // never called
    }
    EXPECT_EQ(state.handles.cons, calls[2].handle);
    EXPECT_EQ(state.handles.ctrl, calls[4].handle);
    // The count at start was 1: the arrival ran and left the window to open.
    EXPECT_EQ(state.devicePresence.load(), 1);
    EXPECT_EQ(window.count(test::WindowEvent::Post, MSG_OPEN), 1u);
    EXPECT_TRUE(state.suppressAutoOpen.load());
}

TEST_F(RecordingLink, RegisteringAgainCancelsThePreviousRegistration) {
    const uint32_t cons = state.handles.cons;
    const uint32_t ctrl = state.handles.ctrl;
    session.link().registerCons();
    session.link().registerCtrl();
    session.link().sendStatus();
    const uint32_t led = state.handles.led;
    session.link().sendStatus();
    auto calls = laterCalls();
    ASSERT_EQ(calls.size(), 8u);
    EXPECT_EQ(calls[0].name, "DeleteRequestFromUnitId");
    EXPECT_EQ(calls[0].handle, cons);
    EXPECT_EQ(calls[1].name, "RequestAsyncRead");
    EXPECT_EQ(calls[1].tag, PORTMUX_TAG_CONS);
    EXPECT_EQ(calls[2].handle, ctrl);
    EXPECT_EQ(calls[3].tag, PORTMUX_TAG_CTRL);
    EXPECT_EQ(calls[4].handle, 0u); // no status written before
    EXPECT_EQ(calls[5].name, "RequestStatusWrite");
    EXPECT_EQ(calls[5].usagePage, PORTMUX_PAGE_STATUS);
    EXPECT_EQ(calls[5].tag, PORTMUX_TAG_LED);
    EXPECT_EQ(calls[5].payload, (std::vector<uint8_t>{0x05, 0x02}));
    EXPECT_EQ(calls[6].handle, led);
    for (const auto& c : calls) {
        EXPECT_TRUE(c.checkValid) << c.name;
    }
}

TEST_F(RecordingLink, TransactTestsPresenceThenSendsAZeroFilledReport) {
    std::array<uint8_t, kReportSize> reply{};
    size_t delivered = 0;
    ASSERT_EQ(readConfig(reply, delivered), kOk);
    EXPECT_EQ(delivered, 64u);
    auto calls = laterCalls();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].name, "RequestGetDeviceCount");
    EXPECT_EQ(calls[1].name, "RequestWriteOne");
    EXPECT_TRUE(calls[1].checkValid);
    EXPECT_EQ(calls[1].usagePage, PORTMUX_PAGE_CONFIG);
    EXPECT_EQ(calls[1].tag, 0u);
    ASSERT_EQ(calls[1].payload.size(), 64u);
    EXPECT_EQ(calls[1].payload[3], CMD_READ_CONFIG);
    EXPECT_TRUE(
        std::all_of(calls[1].payload.begin() + 5, calls[1].payload.end(), [](uint8_t b) { return b == 0; }));
}

TEST_F(RecordingLink, ReplyLengthsAreLimitedToTheBuffer) {
    struct Row {
        size_t length;
        size_t expected;
    };
    for (Row row : {Row{80, 64}, Row{64, 64}, Row{10, 10}}) {
        std::vector<uint8_t> bytes(row.length);
        std::iota(bytes.begin(), bytes.end(), uint8_t{1});
        bytes[3] = CMD_READ_CONFIG;
        bytes[7] = 0;
        recorder().scriptReplies({bytes});
        std::array<uint8_t, kReportSize> reply;
        reply.fill(0xEE);
        size_t delivered = 0;
        SCOPED_TRACE(row.length);
        ASSERT_EQ(readConfig(reply, delivered), kOk);
        EXPECT_EQ(delivered, row.expected);
        EXPECT_TRUE(std::equal(reply.begin(), reply.begin() + static_cast<std::ptrdiff_t>(row.expected),
                               bytes.begin()));
        // What a short reply did not fill is zero, not what the buffer held before.
        EXPECT_TRUE(std::all_of(reply.begin() + static_cast<std::ptrdiff_t>(row.expected), reply.end(),
                                [](uint8_t b) { return b == 0; }));
    }
}

TEST_F(RecordingLink, AShortConfigurationReplyIsAFailedReadNotProfileZeroAndNoMacroSpace) {
    // The keyboard as it was: profile 2, 8192 bytes of macro area.
    state.currentProfile = -1;
    state.macroCapacity = 8192;
    std::vector<uint8_t> shortReply(20, 0);
    shortReply[3] = CMD_READ_CONFIG;
    recorder().scriptReplies({shortReply, shortReply});
    EXPECT_EQ(refreshMacroCapacity(session.commands(), state), kShortReply);
    EXPECT_EQ(state.macroCapacity.load(), 8192u);
    EXPECT_EQ(currentOnBoardProfile(session.commands(), state), -1);
    EXPECT_EQ(state.currentProfile.load(), -1) << "nothing cached";
}

TEST(RecordingLinkQueue, WaitingTooLongForAnotherExchangeIsItsOwnResultNotNoKeyboard) {
    recorder().reset();
    AppLinkState state;
    RecordingWindow window;
    LinkTiming t = test::testTiming();
    t.queueLimit = std::chrono::milliseconds(20);
    LinkSession session{state, window, t};
    ASSERT_EQ(session.open(RECORDING_LIBRARY_DIR, OnBindFailure::Report), BindResult::Ok);
    ASSERT_TRUE(session.events().waitPresenceIdle(std::chrono::seconds(10)));
    ASSERT_TRUE(recorder().waitIdle(2000));
    // The first exchange gets no answers: it holds the exchange for its three attempts.
    recorder().scriptReplies({{}, {}, {}});
    const size_t before = recorder().calls().size();
    auto first = std::async(std::launch::async, [&] {
        std::array<uint8_t, kReportSize> reply{};
        size_t delivered = 0;
        uint8_t request[] = {0x04, 0x2F, 0x00, CMD_READ_CONFIG, 44};
        return session.link().transact(request, reply, delivered);
    });
    ASSERT_TRUE(testsupport::waitFor(
        [&] {
            auto calls = recorder().calls();
            return std::any_of(calls.begin() + static_cast<std::ptrdiff_t>(before), calls.end(),
                               [](const RecordedCall& c) { return c.name == "RequestWriteOne"; });
        },
        std::chrono::seconds(10)));
    std::array<uint8_t, kReportSize> reply{};
    size_t delivered = 0;
    uint8_t request[] = {0x04, 0x2F, 0x00, CMD_READ_CONFIG, 44};
    EXPECT_EQ(session.link().transact(request, reply, delivered), kLinkBusy);
    EXPECT_EQ(first.get(), kNoReply);
    EXPECT_EQ(window.count(test::WindowEvent::Message, 0), 0u);
}

TEST_F(RecordingLink, AReportNobodyAskedForIsDropped) {
    std::vector<uint8_t> stray(64, 0x77);
    stray[3] = CMD_READ_CONFIG;
    stray[7] = 0;
    recorder().sendControlReport(stray);
    ASSERT_TRUE(recorder().waitIdle(2000));

    std::array<uint8_t, kReportSize> reply{};
    size_t delivered = 0;
    ASSERT_EQ(readConfig(reply, delivered), kOk);
    EXPECT_EQ(reply[8], 0); // the echo of our own request, not the stray report
    EXPECT_EQ(reply[4], 44);
}

TEST_F(RecordingLink, NoKeyboardMeansNoWrite) {
    recorder().setDeviceCount(0, false);
    std::array<uint8_t, kReportSize> reply{};
    size_t delivered = 7;
    EXPECT_EQ(readConfig(reply, delivered), kNoKeyboard);
    EXPECT_EQ(delivered, 0u);
    EXPECT_EQ(names(laterCalls()), std::vector<std::string>{"RequestGetDeviceCount"});
}

TEST_F(RecordingLink, ARefusedWriteIsNotRetried) {
    recorder().setWriteResult(0);
    std::array<uint8_t, kReportSize> reply{};
    size_t delivered = 0;
    EXPECT_EQ(readConfig(reply, delivered), kWriteRefused);
    auto calls = laterCalls();
    EXPECT_EQ(std::count_if(calls.begin(), calls.end(),
                            [](const RecordedCall& c) { return c.name == "RequestWriteOne"; }),
              1);
}

TEST_F(RecordingLink, SendRawWritesOnceWithoutPresenceTestOrWait) {
    const uint8_t trigger[] = {0x04, 0x00, 0x00, 0xEE, 0xEE};
    recorder().setWriteResult(5);
    EXPECT_EQ(session.link().sendRaw(trigger), 5);
    auto calls = laterCalls();
    ASSERT_EQ(names(calls), std::vector<std::string>{"RequestWriteOne"});
    EXPECT_TRUE(calls[0].checkValid);
    ASSERT_EQ(calls[0].payload.size(), 64u);
    EXPECT_EQ(calls[0].payload[1], 0); // the checksum bytes stay 0
    EXPECT_EQ(calls[0].payload[3], 0xEE);
    EXPECT_EQ(calls[0].payload[4], 0xEE);
}

} // namespace
} // namespace tarvik::device
