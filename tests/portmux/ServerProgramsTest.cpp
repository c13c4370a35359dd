// Programs on the one keyboard of portmux-sim serve: tarvikctl processes that share its flash, the device
// link of this test process (the program's own exchange code) while the keyboard is unplugged or the
// daemon killed under it, and the verbs that drive it from outside.
#include "tests/portmux/ServerFixture.h"

#include "device/HeadlessWindowPort.h"
#include "device/LinkSession.h"
#include "tests/support/ScopedEnv.h"

#include <future>

namespace portmux::test {
namespace {

using namespace std::chrono_literals;
using tarvik::device::LinkSession;
using tarvik::device::LinkTiming;

// A main window that counts the lighting reloads the keyboard asks for.
class CountingWindow final : public tarvik::device::HeadlessWindowPort {
public:
    void startTimer(int id, int) override {
        if (id == tarvik::device::kTimerLightingReload) {
            ++lightingReloads;
        }
    }
    std::atomic<int> lightingReloads{0};
};

// The device link of this process, bound to the program folder's library while the daemon runs. The
// library is ended again afterwards, so the next test's Init finds its own daemon.
class PortmuxServerLink : public PortmuxServer {
protected:
    void TearDown() override {
        if (session) {
            auto end = session->service().End;
            session.reset();
            end();
        }
        PortmuxServer::TearDown();
    }
    void open(LinkTiming timing) {
        tarvik::testsupport::ScopedEnv backend("PORTMUX_BACKEND", "sim");
        tarvik::testsupport::ScopedEnv where("PORTMUX_SIM_SOCKET", socket);
        session = std::make_unique<LinkSession>(linkState, window, timing);
        ASSERT_EQ(session->open(tarvik::testsupport::programFolder(), tarvik::device::OnBindFailure::Report),
                  tarvik::device::BindResult::Ok);
        ASSERT_TRUE(session->events().waitPresenceIdle(30s));
        ASSERT_EQ(status().clients, 1u) << "the library did not connect to the daemon";
    }
    static LinkTiming timing(std::chrono::milliseconds replyWait) {
        LinkTiming t;
        t.takeOver = 100ms;
        t.replyWait = replyWait;
        t.retryPause = 1ms;
        t.endWritePause = 1ms;
        t.readyPoll = 1ms;
        t.readyLimit = 5s;
        return t;
    }
    int readConfig() {
        std::array<uint8_t, tarvik::device::kConfigSize> config{};
        return session->commands().readConfig(config);
    }

    tarvik::device::AppLinkState linkState;
    CountingWindow window;
    std::unique_ptr<LinkSession> session;
};

TEST_F(PortmuxServer, TwoProgramsShareOneKeyboard) {
    const Finished before = tarvikctl({"lighting", "show", "--json"});
    ASSERT_EQ(before.exitCode, 0) << before.err;
    ASSERT_EQ(before.out.find("\"brightness\": 2,"), std::string::npos) << "the factory brightness is not 2";
    const Finished set = tarvikctl({"lighting", "brightness", "2"});
    ASSERT_EQ(set.exitCode, 0) << set.err;
    const Finished shown = tarvikctl({"lighting", "show", "--json"});
    ASSERT_EQ(shown.exitCode, 0) << shown.err;
    EXPECT_NE(shown.out.find("\"brightness\": 2,"), std::string::npos) << shown.out;
    EXPECT_EQ(status().violations, 0u);
    EXPECT_GE(status().commits, 1u);
}

TEST_F(PortmuxServerLink, UnplugEndsAWaitingExchangeAtOnce) {
    // A reply wait far longer than the test's bound: only the unplug can end the exchange in time.
    open(timing(30s));
    ASSERT_EQ(verb({"fault", "no-reply"}).exitCode, 0);
    const uint64_t before = status().reportTotal;
    auto exchange = std::async(std::launch::async, [&] { return readConfig(); });
    ASSERT_TRUE(eventually([&] { return status().reportTotal > before; }))
        << "the report reached the keyboard";
    const Finished unplug = verb({"unplug"});
    ASSERT_EQ(unplug.exitCode, 0) << unplug.err;
    ASSERT_EQ(exchange.wait_for(10s), std::future_status::ready) << "the exchange still waits for its reply";
    EXPECT_EQ(exchange.get(), tarvik::device::kNoKeyboard);
    EXPECT_EQ(session->link().devicePresent(), 0);

    const Finished ctl = tarvikctl({"status", "--json"});
    EXPECT_EQ(ctl.exitCode, 0) << ctl.err;
    EXPECT_EQ(ctl.out.rfind("{\"attached\": false,", 0), 0u) << ctl.out;

    ASSERT_EQ(verb({"plug"}).exitCode, 0);
    ASSERT_TRUE(eventually([&] { return session->link().devicePresent() == 1; }));
    EXPECT_EQ(readConfig(), tarvik::device::kOk);
}

TEST_F(PortmuxServerLink, KillingTheDaemonMidSequenceLeavesEveryClientResponsive) {
    open(timing(2s));
    LibClient other(socket, 9);
    ASSERT_TRUE(other.ok());
    ASSERT_EQ(verb({"latency", "30"}).exitCode, 0);
    const uint64_t before = status().reportTotal;
    forgetControl();
    auto sequence = std::async(std::launch::async, [&] {
        std::array<uint8_t, tarvik::device::kKeyBlockSize> block{};
        auto& commands = session->commands();
        int rc = commands.beginWrite();
        for (int i = 0; i < 3 && rc == tarvik::device::kOk; ++i) {
            rc = commands.writeKeyBlock(block, 1);
        }
        return rc == tarvik::device::kOk ? commands.endWrite() : rc;
    });
    ASSERT_TRUE(eventually([&] {
        auto c = sim::ControlClient::connect(socket, nullptr);
        auto s = c ? c->status() : std::nullopt;
        return s && s->reportTotal >= before + 4;
    })) << "the sequence got under way";
    EXPECT_EQ(stopServer(SIGKILL), -1);

    ASSERT_EQ(sequence.wait_for(10s), std::future_status::ready) << "the sequence hangs on a dead daemon";
    EXPECT_EQ(sequence.get(), tarvik::device::kNoKeyboard);
    EXPECT_EQ(session->link().devicePresent(), 0);
    EXPECT_EQ(readConfig(), tarvik::device::kNoKeyboard);
    ASSERT_TRUE(other.waitCounts(1));
    EXPECT_EQ(other.counts(), (std::vector<uint32_t>{0}));
    EXPECT_EQ(other.write(request(sim::kReadConfig, 44)), 0);

    startServer(); // on the same socket; the killed one left it behind
    ASSERT_TRUE(other.waitCounts(2)) << "the client comes back to the new daemon";
    EXPECT_EQ(other.counts(), (std::vector<uint32_t>{0, 1}));
    ASSERT_TRUE(eventually([&] { return session->link().devicePresent() == 1; }));
    EXPECT_EQ(readConfig(), tarvik::device::kOk);
    EXPECT_FALSE(status().frameOpen) << "the killed daemon's frame was never committed";
}

TEST_F(PortmuxServerLink, TheLayerKeyAndAKeyboardLightingChangeReachTheProgram) {
    open(timing(2s));
    const uint8_t mode = linkState.linkStatusMode.load();
    ASSERT_EQ(verb({"layer"}).exitCode, 0);
    // The program answers a layer switch with its status report, which lands on the keyboard.
    ASSERT_TRUE(eventually([&] { return status().hasLinkStatus; }));
    EXPECT_EQ(status().linkStatus, (sim::LinkStatusBytes{0x05, static_cast<uint8_t>(mode ^ 1)}));
    EXPECT_EQ(linkState.linkStatusMode.load(), mode ^ 1);
    ASSERT_EQ(verb({"layer"}).exitCode, 0);
    ASSERT_TRUE(eventually([&] { return status().linkStatus[1] == mode; }));

    ASSERT_EQ(verb({"lighting"}).exitCode, 0);
    EXPECT_TRUE(eventually([&] { return window.lightingReloads.load() == 1; }));
}

TEST_F(PortmuxServer, VerbsDriveTheKeyboardFromOutside) {
    struct Case {
        std::vector<std::string> words;
        std::string inStatus; // what `status --json` says afterwards
    };
    const Case cases[] = {
        {{"latency", "7"}, "\"latencyMs\": 7,"},
        {{"fault", "busy-ff", "2"}, "\"faultsPending\": 1,"},
        {{"fault", "late-reply", "--delay", "50", "--command", "0x05"}, "\"faultsPending\": 2,"},
        {{"fault", "ack-drop", "2", "--command", "0x08"}, "\"faultsPending\": 3,"},
        {{"update-return", "-1"}, "\"updateReturnMs\": -1,"},
        {{"unplug"}, "\"plugged\": false,"},
        {{"plug"}, "\"plugged\": true,"},
        {{"reset"}, "\"latencyMs\": 0, \"faultsPending\": 0,"},
        {{"reset"}, "\"updateReturnMs\": 1000,"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.words[0]);
        const Finished r = verb(c.words);
        EXPECT_EQ(r.exitCode, 0) << r.err;
        EXPECT_EQ(r.err, "");
        const Finished s = verb({"status", "--json"});
        EXPECT_NE(s.out.find(c.inStatus), std::string::npos) << s.out;
    }

    LibClient a(socket, 1);
    ASSERT_TRUE(a.ok());
    ASSERT_TRUE(a.exchange(request(sim::kReadConfig, 44)).has_value());
    Report bad = request(sim::kReadSettings, 56, 42);
    bad[1] ^= 0x01;
    ASSERT_TRUE(a.exchange(bad).has_value());
    const Finished reports = verb({"reports", "--json"});
    EXPECT_EQ(reports.exitCode, 0);
    EXPECT_EQ(reports.out.rfind(
                  "[{\"n\": 0, \"command\": 3, \"length\": 44, \"address\": 0, \"bytes\": \"042f0003", 0),
              0u)
        << reports.out;
    const Finished since = verb({"reports", "--since", "1"});
    EXPECT_EQ(since.out.rfind("1: cmd 0x05 len 56 addr 42:", 0), 0u) << since.out;
    EXPECT_EQ(std::count(since.out.begin(), since.out.end(), '\n'), 1);
    const Finished violations = verb({"violations", "--json"});
    EXPECT_NE(violations.out.find("\"code\": 225, \"command\": 5, \"length\": 56, \"address\": 42"),
              std::string::npos)
        << violations.out;
    const Finished config = verb({"flash", "config", "--json"});
    EXPECT_EQ(config.out.rfind("{\"area\": \"config\", \"size\": 44, \"bytes\": [0, ", 0), 0u) << config.out;
    const Finished keys = verb({"flash", "default-keys"});
    EXPECT_EQ(std::count(keys.out.begin(), keys.out.end(), '\n'), 24) << "378 bytes, 16 a line";
    const Finished text = verb({"status"});
    EXPECT_NE(text.out.find("clients: 1\n"), std::string::npos) << text.out;
    EXPECT_NE(text.out.find("protocol violations: 1\n"), std::string::npos) << text.out;
}

TEST_F(PortmuxServer, BadVerbsAreRefusedWithOneLine) {
    const std::vector<std::vector<std::string>> cases = {
        {"frobnicate"},
        {"cons"},
        {"cons", "0x10000"},
        {"cons", "twelve"},
        {"latency", "-1"},
        {"latency", "1", "2"},
        {"fault", "sometimes"},
        {"fault", "busy-ff", "0"},
        {"fault", "no-reply", "--delay", "5"},
        {"fault", "ack-drop", "--command", "0x05"}, // a read is never dropped: it would wait forever
        {"flash", "nowhere"},
        {"status", "now"},
        {"reports", "--bogus"},
        {"plug", "--json"},
        {"update-return", "x"},
    };
    for (const auto& words : cases) {
        SCOPED_TRACE(words[0] + (words.size() > 1 ? " " + words[1] : ""));
        const Finished r = verb(words);
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err.rfind("portmux-sim: ", 0), 0u) << r.err;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    }
    EXPECT_EQ(status().faultsPending, 0u) << "nothing refused was done";

    const Finished help = runToEnd({program("portmux-sim"), "--help"}, {}, dir);
    EXPECT_EQ(help.exitCode, 0);
    for (const char* v :
         {"serve", "plug", "unplug", "cons CODE", "layer", "lighting", "latency MS", "fault KIND",
          "update-return MS", "reports", "violations", "flash AREA", "reset", "status"}) {
        EXPECT_NE(help.out.find("\n  " + std::string(v)), std::string::npos) << v;
    }

    EXPECT_EQ(stopServer(SIGTERM), 0);
    const Finished none = verb({"status", "--json"});
    EXPECT_EQ(none.exitCode, 1);
    EXPECT_NE(none.err.find("no server"), std::string::npos) << none.err;
}

// A daemon that is there but cannot serve (stopped, or full) is never replaced by a private keyboard on
// its own state file: the command fails with the reason and the daemon's file keeps its bytes.
TEST_F(PortmuxServer, ADaemonThatCannotServeIsNeverReplacedByAPrivateKeyboard) {
    ASSERT_EQ(verb({"status"}).exitCode, 0);
    auto env = clientEnv();
    env["PORTMUX_SIM_STATE"] = state; // what a private keyboard would have written to
    ASSERT_EQ(stopServer(SIGTERM), 0);
    startServer(); // the stop saved the state file: now there is one to compare
    const std::string before = fileText(state);
    ASSERT_FALSE(before.empty());

    std::vector<std::unique_ptr<sim::ControlClient>> crowd;
    while (crowd.size() < 64) {
        auto c = sim::ControlClient::connect(socket, nullptr);
        ASSERT_NE(c, nullptr) << crowd.size();
        crowd.push_back(std::move(c));
    }
    const Finished full = runToEnd({program("tarvikctl"), "profile", "2"}, env, dir);
    EXPECT_NE(full.exitCode, 0);
    EXPECT_NE(full.err.find("clients already"), std::string::npos) << full.err;
    crowd.clear();
    forgetControl();

    server->signal(SIGSTOP);
    const Finished stopped = runToEnd({program("tarvikctl"), "profile", "2"}, env, dir);
    server->signal(SIGCONT);
    EXPECT_NE(stopped.exitCode, 0);
    EXPECT_NE(stopped.err.find("does not answer"), std::string::npos) << stopped.err;
    EXPECT_EQ(fileText(state), before) << "a private keyboard wrote the daemon's state file";

    // Without its socket the daemon still keeps its file: a private keyboard may not write it either.
    fs::remove(socket);
    const Finished hidden = runToEnd({program("tarvikctl"), "profile", "2"}, env, dir);
    EXPECT_NE(hidden.exitCode, 0);
    EXPECT_NE(hidden.err.find("is kept by a portmux-sim serve"), std::string::npos) << hidden.err;
    EXPECT_EQ(fileText(state), before);
    server->signal(SIGKILL);
    server->wait(std::chrono::seconds(10));
}

// SIGTERM during an import ends it in order: the download that has begun runs to its end (no write
// sequence is left open on the keyboard), the lighting step is not started, the temporary folder is
// gone, and the exit code names the signal.
TEST_F(PortmuxServer, AnImportEndsInOrderOnASignal) {
    const fs::path json = dir / "profiles.json";
    const Finished exported = tarvikctl({"export", "--with-lighting", json.string()});
    ASSERT_EQ(exported.exitCode, 0) << exported.err;
    const fs::path runtime = dir / "rt";
    fs::create_directory(runtime);
    fs::permissions(runtime, fs::perms::owner_all);
    ASSERT_EQ(verb({"latency", "5"}).exitCode, 0);
    auto env = clientEnv();
    env["XDG_RUNTIME_DIR"] = runtime.string();
    const uint64_t before = status().reportTotal;
    ChildProcess import({program("tarvikctl"), "import", json.string()}, env, dir / "import-out",
                        dir / "import-err");
    ASSERT_TRUE(eventually([&] { return status().reportTotal > before + 20; })) << import.err();
    import.signal(SIGTERM);
    EXPECT_EQ(import.wait(std::chrono::seconds(30)), 143) << import.err();
    EXPECT_NE(import.err().find("interrupted"), std::string::npos) << import.err();
    EXPECT_FALSE(status().frameOpen);
    EXPECT_EQ(status().violations, 0u);
    for (const auto& entry : fs::directory_iterator(runtime)) {
        EXPECT_EQ(entry.path().filename().string().rfind("tarvikctl-", 0), std::string::npos) << entry.path();
    }
}

} // namespace
} // namespace portmux::test
