// tarvikctl watch: the virtual keyboard plugged, unplugged, its layer switched and its lighting and profile
// changed through its control interface, and the lines that come out; and the program itself started
// as a user starts it and ended with Ctrl+C.
#include "cli/Watch.h"
#include "portmux/include/portmux_sim.h"
#include "tests/cli/ChildProcess.h"
#include "tests/device/TestTiming.h"
#include "tests/support/SimLibrary.h"

#include "device/ServiceBinding.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <filesystem>
#include <sstream>
#include <thread>

namespace tarvik::cli::watch {
namespace {

using namespace std::chrono_literals;

PortmuxSimControl* simControl() {
    static PortmuxSimControl* control = [] {
        testsupport::useVirtualKeyboard();
        device::ServiceTable table;
        std::string detail;
        if (device::bindService(table, testsupport::programFolder(), &detail) != device::BindResult::Ok) {
            ADD_FAILURE() << detail;
            return static_cast<PortmuxSimControl*>(nullptr);
        }
        return testsupport::simControlOf(table.module);
    }();
    return control;
}

class Collector final : public EventSink {
public:
    void emit(const Event& e) override {
        std::lock_guard lock(mutex_);
        events_.push_back(e);
        changed_.notify_all();
    }
    // Waits until e has come after the events seen so far; false when it did not within 10 s.
    bool waitFor(const Event& e) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, 10s, [&] {
            for (size_t i = seen_; i < events_.size(); ++i) {
                if (events_[i] == e) {
                    seen_ = i + 1;
                    return true;
                }
            }
            return false;
        });
    }
    std::vector<Event> events() {
        std::lock_guard lock(mutex_);
        return events_;
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<Event> events_;
    size_t seen_ = 0;
};

class WatchSim : public ::testing::Test {
protected:
    void SetUp() override {
        sim = simControl();
        ASSERT_NE(sim, nullptr);
        sim->reset();
        ASSERT_TRUE(sim->waitIdle(5000));
    }
    void start(Options options) {
        options.timing = device::test::testTiming();
        thread = std::thread([this, options] { rc = runWatch(ctx, options, events, stop); });
    }
    void TearDown() override {
        stop.raise();
        if (thread.joinable()) {
            thread.join();
        }
        if (sim != nullptr) {
            EXPECT_EQ(sim->violationCount(), 0u) << sim->violationSummary();
        }
    }
    PortmuxSimControl* sim = nullptr;
    std::ostringstream out;
    std::ostringstream err;
    CliContext ctx{true, out, err};
    Collector events;
    StopSignal stop;
    std::thread thread;
    int rc = -1;
};

TEST_F(WatchSim, EveryKindOfEventBecomesOneEventInOrder) {
    start(Options{});
    ASSERT_TRUE(events.waitFor({Event::Attached, 1}));
    ASSERT_TRUE(events.waitFor({Event::Profile, 0}));

    ASSERT_TRUE(sim->sendConsumer(0x02FF));
    ASSERT_TRUE(events.waitFor({Event::Layer, 1}));
    ASSERT_TRUE(sim->sendConsumer(0x02FF));
    ASSERT_TRUE(events.waitFor({Event::Layer, 0}));

    // The profile switched on the keyboard: its lighting changes with it.
    ASSERT_TRUE(sim->setArea(PortmuxSimControl::Area::Config, 10, {2}));
    ASSERT_TRUE(sim->sendConsumer(0x0401));
    ASSERT_TRUE(events.waitFor({Event::Lighting, 0}));
    ASSERT_TRUE(events.waitFor({Event::Profile, 2}));
    // A lighting change that leaves the profile as it was says only that.
    ASSERT_TRUE(sim->sendConsumer(0x0401));
    ASSERT_TRUE(events.waitFor({Event::Lighting, 0}));

    ASSERT_TRUE(sim->unplug());
    ASSERT_TRUE(events.waitFor({Event::Detached, 0}));
    ASSERT_TRUE(sim->plug());
    ASSERT_TRUE(events.waitFor({Event::Attached, 1}));
    ASSERT_TRUE(events.waitFor({Event::Profile, 2})); // said again after every arrival
    ASSERT_TRUE(sim->waitIdle(5000));

    stop.raise();
    thread.join();
    EXPECT_EQ(rc, 0) << err.str();
    const std::vector<Event> expected = {
        {Event::Attached, 1}, {Event::Profile, 0}, {Event::Layer, 1},    {Event::Layer, 0},
        {Event::Lighting, 0}, {Event::Profile, 2}, {Event::Lighting, 0}, {Event::Detached, 0},
        {Event::Attached, 1}, {Event::Profile, 2},
    };
    EXPECT_EQ(events.events(), expected);
}

// The start's wait for the link can end after the keyboard came and went: its loss is said once.
TEST(WatchWindowTest, NoKeyboardAtStartIsSaidOnceAndNeverAfterTheLinkSaidALoss) {
    Collector lost;
    WatchWindow afterLoss(lost);
    afterLoss.sendMessage(device::MSG_DEVICE_LOST, 0);
    afterLoss.sayNoKeyboardAtStart();
    EXPECT_EQ(lost.events(), (std::vector<Event>{{Event::Detached, 0}}));

    Collector quiet;
    WatchWindow nothingSaid(quiet);
    nothingSaid.sayNoKeyboardAtStart();
    nothingSaid.sayNoKeyboardAtStart();
    EXPECT_EQ(quiet.events(), (std::vector<Event>{{Event::Detached, 0}}));
}

TEST_F(WatchSim, AnIntervalFindsAProfileSwitchNoEventAnnounced) {
    Options options;
    options.interval = 20ms;
    start(options);
    ASSERT_TRUE(events.waitFor({Event::Profile, 0}));
    // Another program switched the profile: the keyboard sends nothing.
    ASSERT_TRUE(sim->setArea(PortmuxSimControl::Area::Config, 10, {1}));
    EXPECT_TRUE(events.waitFor({Event::Profile, 1}));
}

TEST_F(WatchSim, NoKeyboardAtStartIsSaidOnce) {
    ASSERT_TRUE(sim->unplug());
    ASSERT_TRUE(sim->waitIdle(5000));
    start(Options{});
    ASSERT_TRUE(events.waitFor({Event::Detached, 0}));
    ASSERT_TRUE(sim->plug());
    ASSERT_TRUE(events.waitFor({Event::Attached, 1}));
    EXPECT_EQ(events.events().front(), (Event{Event::Detached, 0}));
}

TEST(WatchFormat, LinesAndObjects) {
    struct Row {
        Event event;
        const char* text;
        const char* json;
    } rows[] = {
        {{Event::Attached, 2}, "attached 2", R"({"event": "attached", "keyboards": 2})"},
        {{Event::Detached, 0}, "detached 0", R"({"event": "detached", "keyboards": 0})"},
        {{Event::Layer, 1}, "layer 1", R"({"event": "layer", "layer": 1})"},
        {{Event::Lighting, 0}, "lighting changed", R"({"event": "lighting"})"},
        {{Event::Profile, 2}, "profile 2", R"({"event": "profile", "profile": 2})"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(formatEvent(row.event, false), row.text);
        EXPECT_EQ(formatEvent(row.event, true), row.json);
    }
}

TEST(WatchProgram, PrintsTheStateAndEndsWithZeroOnCtrlC) {
    testsupport::useVirtualKeyboard();
    const std::string program = (std::filesystem::path(testsupport::programFolder()) / "tarvikctl").string();
    for (int sig : {SIGINT, SIGTERM}) {
        testing::ChildProcess child({program, "watch", "--json"});
        ASSERT_TRUE(child.started());
        std::string line;
        ASSERT_TRUE(child.readLine(line, 20s));
        EXPECT_EQ(line, R"({"event": "attached", "keyboards": 1})");
        ASSERT_TRUE(child.readLine(line, 20s));
        EXPECT_EQ(line, R"({"event": "profile", "profile": 0})");
        EXPECT_EQ(child.signalAndWait(sig, 20s), 0) << "signal " << sig;
    }
}

} // namespace
} // namespace tarvik::cli::watch
