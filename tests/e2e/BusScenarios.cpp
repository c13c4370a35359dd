// The program as the keyboard's one owner: while it runs, tarvikctl goes through its session-bus
// service. The same command lines give the same output through the program and on their own; bad calls
// get errors while the window stays usable; ten clients calling at once all get answers and leave the
// keyboard as some order of their calls explains; and a change made with tarvikctl survives the
// program's next Apply and is on the screen before it.
#include "cli/BusClient.h"
#include "tests/e2e/KeyDialogScenario.h"

#include <signal.h>
#include <sys/stat.h>

#include <algorithm>
#include <fstream>
#include <iostream>
#include <thread>

namespace tarvik::e2e {
namespace {

namespace service = cli::service;

constexpr keyboard::KeyCode kA = 0x1E, kQ = 0x10;
constexpr int kUsageB = 0x05, kUsageQ = 0x14, kUsageZ = 0x1D;

class BusScenarios : public KeyDialogScenario {
protected:
    // tarvikctl in a working folder of the scenario, its standard output and error together.
    RunOutcome ctl(const std::vector<std::string>& args) {
        return runToEnd(desktop().programFolder() / "tarvikctl", args, desktop().environment(),
                        desktop().home(), 60s, desktop().home());
    }
    // This test process as a client of the desktop's bus.
    void joinBus() {
        for (const std::string& e : desktop().environment()) {
            if (e.rfind("DBUS_SESSION_BUS_ADDRESS=", 0) == 0) {
                ::setenv("DBUS_SESSION_BUS_ADDRESS", e.substr(25).c_str(), 1);
            }
        }
    }
    // The program owns its name once its window is up; waits for it.
    bool programOnBus() {
        joinBus();
        return waitUntil([] { return service::BusClient::connectToProgram() != nullptr; }, 15s, 50ms);
    }
};

std::string withoutRoad(std::string text) {
    for (const char* road :
         {"road: program\n", "road: direct\n", ", \"road\": \"program\"", ", \"road\": \"direct\""}) {
        if (auto at = text.find(road); at != std::string::npos) {
            text.erase(at, std::string(road).size());
        }
    }
    return text;
}

TEST_F(BusScenarios, EveryCommandPrintsTheSameThroughTheProgramAndOnItsOwn) {
    Process* app = nullptr;
    const auto window = openWindow(app);
    ASSERT_TRUE(window);
    ASSERT_TRUE(programOnBus());
    std::filesystem::create_directories(desktop().home() / "folder");
    const RunOutcome road = ctl({"status"});
    EXPECT_NE(road.output.find("road: program\n"), std::string::npos) << road.output;
    EXPECT_NE(ctl({"--direct", "status", "--json"}).output.find("\"road\": \"direct\""), std::string::npos);

    // Writes first go through the program, then the same write directly: the second finds what the
    // first left, so both print the same.
    const std::vector<std::vector<std::string>> table = {
        {"status"},
        {"status", "--json"},
        {"status", "extra"},
        {"profile", "1"},
        {"profile", "7"},
        {"profile", "one"},
        {"report-rate", "2"},
        {"report-rate", "4"},
        {"assign", "--profile", "0", "Q", "Z"},
        {"assign", "--profile", "0", "NOKEY", "Z"},
        {"assign", "--profile", "3", "Q", "Z"},
        {"--json", "macros"},
        {"lighting", "show"},
        {"lighting", "mode", "3"},
        {"lighting", "brightness", "9"},
        {"export", "out.tvk"},
        {"export", "--format", "json", "out.json"},
        {"import", "out.tvk"},
        {"import", "missing.tvk"},
        {"import", "folder"},
    };
    for (const auto& line : table) {
        std::vector<std::string> direct = line;
        direct.insert(direct.begin(), "--direct");
        const RunOutcome viaProgram = ctl(line);
        const RunOutcome own = ctl(direct);
        const std::string shown = line.back();
        ASSERT_TRUE(viaProgram.finished && own.finished) << shown;
        EXPECT_EQ(viaProgram.exitCode, own.exitCode) << shown << "\n" << viaProgram.output << own.output;
        EXPECT_EQ(withoutRoad(viaProgram.output), withoutRoad(own.output)) << shown;
    }
    EXPECT_TRUE(desktop().isViewable(window->id)) << "the window is gone";
}

TEST_F(BusScenarios, BadCallsGetErrorsAndTheProgramGoesOn) {
    Process* app = nullptr;
    const auto window = openWindow(app);
    ASSERT_TRUE(window);
    ASSERT_TRUE(programOnBus());
    const std::filesystem::path home = desktop().home();
    std::filesystem::create_directories(home / "folder");
    ASSERT_EQ(::mkfifo((home / "pipe.tvk").c_str(), 0600), 0);
    {
        std::ofstream big(home / "big.tvk", std::ios::binary);
        big << std::string(64 << 20, 'x');
    }
    {
        std::ofstream locked(home / "locked.tvk", std::ios::binary);
        locked << "TVK";
    }
    ::chmod((home / "locked.tvk").c_str(), 0);

    struct Case {
        service::Call call;
        std::string_view error;
    };
    const std::string h = home.string();
    const std::vector<Case> cases = {
        {{"Assign", {0, std::string("NOKEY"), std::string("Z")}, {}}, service::kErrorInvalidArguments},
        {{"Assign", {0, std::string("Q"), std::string("NOTARGET")}, {}}, service::kErrorInvalidArguments},
        {{"Assign", {-1, std::string("Q"), std::string("Z")}, {}}, service::kErrorInvalidArguments},
        {{"SwitchProfile", {3}, {}}, service::kErrorInvalidArguments},
        {{"SetReportRate", {-2}, {}}, service::kErrorInvalidArguments},
        {{"SetReportRate", {4}, {}}, service::kErrorInvalidArguments},
        {{"Import", {std::string("relative.tvk"), std::string()}, {}}, service::kErrorInvalidArguments},
        {{"Import", {h + "/x.tvk", std::string("xml")}, {}}, service::kErrorInvalidArguments},
        {{"Import", {h + "/folder", std::string()}, {}}, service::kErrorFailed},
        {{"Import", {h + "/pipe.tvk", std::string()}, {}}, service::kErrorFailed},
        {{"Import", {h + "/missing.tvk", std::string()}, {}}, service::kErrorFailed},
        {{"Import", {h + "/big.tvk", std::string()}, {}}, service::kErrorFailed},
        {{"Import", {h + "/locked.tvk", std::string()}, {}}, service::kErrorFailed},
        {{"Import", {h + "/big.json", std::string("json")}, {}}, service::kErrorFailed},
        {{"Export", {h + "/folder", std::string(), false}, {}}, service::kErrorFailed},
        {{"LightingSet", {std::vector<std::string>{"paint", "999", "1,2,3"}}, {}},
         service::kErrorInvalidArguments},
        {{"LightingSet", {std::vector<std::string>{}}, {}}, service::kErrorInvalidArguments},
    };
    std::filesystem::copy_file(home / "big.tvk", home / "big.json");
    auto client = service::BusClient::connectToProgram();
    ASSERT_TRUE(client);
    const std::vector<int> keysBefore = flash("keys");
    for (const Case& c : cases) {
        const auto reply = client->call(c.call, false);
        ASSERT_TRUE(reply.delivered) << c.call.member;
        EXPECT_EQ(reply.outcome.exitCode, service::exitCodeOfError(c.error))
            << c.call.member << ": " << reply.outcome.messages;
        EXPECT_EQ(reply.outcome.messages.rfind("tarvikctl: ", 0), 0u) << reply.outcome.messages;
    }
    EXPECT_EQ(flash("keys"), keysBefore) << "a refused call changed the key blocks";

    // The window still answers: a click on a key opens its dialog.
    const auto dialog = openKeyDialog(app->pid(), *window, "KEY_01E");
    EXPECT_TRUE(dialog) << "the window no longer answers";
    shot(app->pid(), "the window after the bad calls");
    if (dialog) {
        EXPECT_TRUE(okAndClosed(*dialog));
    }

    // Without a keyboard: status says so, a write is refused with its own error.
    ASSERT_EQ(desktop().portmuxSim({"unplug"}).exitCode, 0);
    EXPECT_TRUE(
        waitUntil([&] { return ctl({"status"}).output.find("not attached") != std::string::npos; }, 10s));
    const auto noKeyboard = client->call({"SwitchProfile", {1}, {}}, false);
    EXPECT_EQ(noKeyboard.outcome.messages, "tarvikctl: profile: no keyboard attached\n");
    EXPECT_EQ(noKeyboard.outcome.exitCode, 1);
    ASSERT_EQ(desktop().portmuxSim({"plug"}).exitCode, 0);
    EXPECT_TRUE(
        waitUntil([&] { return ctl({"status"}).output.find("attached (1)") != std::string::npos; }, 10s));
}

TEST_F(BusScenarios, TenClientsCallingTenTimesEachAllGetAnswersInSomeOrder) {
    Process* app = nullptr;
    const auto window = openWindow(app);
    ASSERT_TRUE(window);
    ASSERT_TRUE(programOnBus());
    // Client c gives its own key the targets A, B, ... in turn: the key ends with its last call's target
    // whatever the order between the clients was. Every client also reads the status in between.
    const std::vector<std::string> keys = {"Q", "W", "E", "R", "T", "Y", "U", "I", "O", "P"};
    const std::vector<std::string> targets = {"A", "B", "C", "D", "F", "G", "H", "J", "K", "L"};
    constexpr int kClients = 10, kCalls = 10;
    // The keyboard answers each report after 1 ms, as a real one roughly does.
    ASSERT_EQ(desktop().portmuxSim({"latency", "1"}).exitCode, 0);
    std::vector<std::vector<int>> exitCodes(kClients);
    std::vector<double> slowest(kClients, 0);
    const auto begin = std::chrono::steady_clock::now();
    std::vector<std::thread> clients;
    for (int c = 0; c < kClients; ++c) {
        clients.emplace_back([&, c] {
            auto client = service::BusClient::connectToProgram();
            for (int i = 0; i < kCalls && client; ++i) {
                const auto t0 = std::chrono::steady_clock::now();
                const service::Call call = i % 2 == 0 ? service::Call{"Assign", {0, keys[c], targets[i]}, {}}
                                                      : service::Call{"Status", {}, {}};
                const auto reply = client->call(call, true);
                exitCodes[c].push_back(reply.delivered ? reply.outcome.exitCode : -1);
                slowest[c] = std::max(
                    slowest[c], std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count());
            }
        });
    }
    for (auto& t : clients) {
        t.join();
    }
    const double total = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
    ASSERT_EQ(desktop().portmuxSim({"latency", "0"}).exitCode, 0);
    std::cout << "concurrency: " << kClients << " clients x " << kCalls << " calls in " << total
              << " s, slowest call " << *std::max_element(slowest.begin(), slowest.end()) << " s\n";
    for (int c = 0; c < kClients; ++c) {
        EXPECT_EQ(exitCodes[c], std::vector<int>(kCalls, 0)) << "client " << c;
    }
    // Each key's last assignment (call 8) is K; the keys Q ... P have the codes 0x10 ... 0x19.
    constexpr int kUsageK = 0x0E;
    for (int c = 0; c < kClients; ++c) {
        EXPECT_EQ(keyEntry(static_cast<keyboard::KeyCode>(kQ + c)), (Entry{2, 2, kUsageK})) << keys[c];
    }
    EXPECT_TRUE(desktop().isViewable(window->id));
}

TEST_F(BusScenarios, AChangeMadeWithTarvikctlSurvivesTheProgramsApplyAndShowsBeforeIt) {
    Process* app = nullptr;
    const auto window = openWindow(app);
    ASSERT_TRUE(window);
    ASSERT_TRUE(programOnBus());
    ASSERT_EQ(keyEntry(kQ), (Entry{2, 2, kUsageQ}));
    ASSERT_TRUE(settle(app->pid()));
    const ScreenRect q = skinRectOnScreen(mainLayout(), "KEY_010", window->place);
    const QImage before = part(screen(), q);

    const RunOutcome assigned = ctl({"assign", "--profile", "0", "Q", "Z"});
    ASSERT_EQ(assigned.exitCode, 0) << assigned.output;
    EXPECT_EQ(keyEntry(kQ), (Entry{2, 2, kUsageZ}));
    EXPECT_TRUE(waitUntil([&] { return !samePixels(part(screen(), q), before); }, 10s))
        << "the window still shows Q's old function";
    shot(app->pid(), "Q given Z by tarvikctl");

    const auto dialog = openKeyDialog(app->pid(), *window, "KEY_01E");
    ASSERT_TRUE(dialog);
    ASSERT_TRUE(desktop().key({"b"}));
    ASSERT_TRUE(okAndClosed(*dialog));
    ASSERT_TRUE(apply(*window));
    EXPECT_TRUE(waitForEntry(kA, {2, 2, kUsageB}));
    EXPECT_EQ(keyEntry(kQ), (Entry{2, 2, kUsageZ})) << "Apply overwrote tarvikctl's change";
    shot(app->pid(), "A given B and applied");
}

TEST_F(BusScenarios, WatchFollowsTheProgramsSignalsAndTheNameGoesWithTheProgram) {
    Process* app = nullptr;
    ASSERT_TRUE(openWindow(app));
    ASSERT_TRUE(programOnBus());
    const RunOutcome xml =
        desktop().run("/usr/bin/dbus-send",
                      {"--session", "--print-reply", "--dest=" + std::string(service::kBusName),
                       std::string(service::kObjectPath), "org.freedesktop.DBus.Introspectable.Introspect"});
    for (const service::MethodInfo& m : service::kMethods) {
        EXPECT_NE(xml.output.find("<method name=\"" + std::string(m.member) + "\""), std::string::npos)
            << m.member;
    }
    EXPECT_NE(xml.output.find("<signal name=\"Written\""), std::string::npos) << xml.output;

    const std::filesystem::path log = desktop().home() / "watch.log";
    Process watcher(desktop().programFolder() / "tarvikctl", {"watch"},
                    {desktop().environment(), log, -1, {}});
    // The log holds these lines at least times times.
    const auto says = [&](const std::string& lines, int times = 1) {
        return waitUntil(
            [&] {
                std::ifstream in(log);
                const std::string text((std::istreambuf_iterator<char>(in)),
                                       std::istreambuf_iterator<char>());
                int found = 0;
                for (size_t at = text.find(lines); at != std::string::npos; at = text.find(lines, at + 1)) {
                    ++found;
                }
                return found >= times;
            },
            10s, 50ms);
    };
    EXPECT_TRUE(says("attached 1\nprofile 0\n"));
    ASSERT_EQ(ctl({"profile", "2"}).exitCode, 0);
    EXPECT_TRUE(says("written SwitchProfile\n"));
    EXPECT_TRUE(says("profile 2\n"));
    ASSERT_EQ(desktop().portmuxSim({"layer"}).exitCode, 0);
    EXPECT_TRUE(says("layer 1\n"));
    ASSERT_EQ(desktop().portmuxSim({"lighting"}).exitCode, 0);
    EXPECT_TRUE(says("lighting changed\n"));
    ASSERT_EQ(desktop().portmuxSim({"unplug"}).exitCode, 0);
    EXPECT_TRUE(says("detached 0\n"));
    ASSERT_EQ(desktop().portmuxSim({"plug"}).exitCode, 0);
    EXPECT_TRUE(says("detached 0\nattached 1\nprofile 2\n"));

    // A logout's SIGTERM: the name goes with the program, and the watch goes on by itself.
    ASSERT_EQ(::kill(app->pid(), SIGTERM), 0);
    EXPECT_TRUE(app->wait(10s));
    EXPECT_EQ(service::BusClient::connectToProgram(), nullptr);
    EXPECT_NE(ctl({"status"}).output.find("road: direct\n"), std::string::npos);
    ASSERT_EQ(desktop().portmuxSim({"unplug"}).exitCode, 0);
    EXPECT_TRUE(says("detached 0\n", 2)) << "the watch did not go on by itself";
    EXPECT_TRUE(watcher.running());
    ASSERT_EQ(desktop().portmuxSim({"plug"}).exitCode, 0);
}

} // namespace
} // namespace tarvik::e2e
