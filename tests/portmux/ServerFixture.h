// Tests of `portmux-sim serve` with the program folder's daemon as a process of its own: a private socket
// and state file per test, the daemon and every program the test starts ended by process id, clients
// inside the test process built on the library's own core.
#pragma once

#include "portmux/server/ControlClient.h"
#include "portmux/src/Core.h"
#include "portmux/src/RemoteSimBackend.h"
#include "tests/portmux/ChildProcess.h"
#include "tests/portmux/PortmuxLib.h"
#include "tests/support/SimLibrary.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace portmux::test {

namespace fs = std::filesystem;

// A keyboard client inside the test process: its own core over the daemon's keyboard, its CTRL and CONS
// registrations recorded under tags of its own (so that several clients share the one recorder).
class LibClient {
public:
    LibClient(const std::string& socket, uint32_t number)
        : ctrlTag_(0x43540000u + number), consTag_(0x434F0000u + number) {
        std::string why;
        auto backend = sim::RemoteSimBackend::connect(socket, {}, &why);
        if (!backend) {
            ADD_FAILURE() << "client " << number << ": " << why;
            return;
        }
        if (core_.init(std::move(backend)) != 1) {
            ADD_FAILURE() << "client " << number << ": Init failed";
            return;
        }
        ok_ = reg(kConfigUnit, ctrlTag_) && reg(kConsumerUnit, consTag_);
    }
    ~LibClient() { core_.end(); }
    LibClient(const LibClient&) = delete;
    LibClient& operator=(const LibClient&) = delete;

    bool ok() const { return ok_; }
    int count() {
        const UnitId u = kConfigUnit;
        return core_.getDeviceCount(&u, nullptr, 0, checkOf(u, nullptr, 0), nullptr);
    }
    int write(const Report& r) {
        const UnitId u = kConfigUnit;
        return core_.writeOne(&u, nullptr, 0, r.data(), 64, checkOf(u, nullptr, 0, r.data(), 64), nullptr);
    }
    std::vector<Note> replies() { return Recorder::get().notes(ctrlTag_, PORTMUX_KIND_REPORT); }
    std::vector<uint32_t> counts() {
        std::vector<uint32_t> out;
        for (const auto& n : Recorder::get().notes(ctrlTag_, PORTMUX_KIND_DEVICE_SET)) {
            out.push_back(n.count);
        }
        return out;
    }
    std::vector<uint16_t> codes() {
        std::vector<uint16_t> out;
        for (const auto& n : Recorder::get().notes(consTag_, PORTMUX_KIND_REPORT)) {
            out.push_back(n.usage);
        }
        return out;
    }
    // Waits (bounded) until this client has received n replies in all.
    bool waitReplies(size_t n) {
        return Recorder::get().waitUntil(
            [&](const std::vector<Note>& notes) {
                return countOf(notes, ctrlTag_, PORTMUX_KIND_REPORT) >= n;
            },
            std::chrono::seconds(10));
    }
    bool waitCounts(size_t n) {
        return Recorder::get().waitUntil(
            [&](const std::vector<Note>& notes) {
                return countOf(notes, ctrlTag_, PORTMUX_KIND_DEVICE_SET) >= n;
            },
            std::chrono::seconds(10));
    }
    bool waitCodes(size_t n) {
        return Recorder::get().waitUntil(
            [&](const std::vector<Note>& notes) {
                return countOf(notes, consTag_, PORTMUX_KIND_REPORT) >= n;
            },
            std::chrono::seconds(10));
    }
    // Sends a report and answers the next reply this client receives (any client's, as on hidraw).
    std::optional<Report> exchange(const Report& r) {
        const size_t before = replies().size();
        if (write(r) <= 0 || !waitReplies(before + 1)) {
            return std::nullopt;
        }
        Report out{};
        const std::vector<uint8_t> bytes = replies()[before].bytes;
        std::copy_n(bytes.begin(), std::min(bytes.size(), out.size()), out.begin());
        return out;
    }

private:
    bool reg(const UnitId& u, uint32_t tag) {
        uint32_t handle = 0;
        return core_.asyncRead(&u, &Recorder::callback, tag, checkOf(u, &Recorder::callback, tag), &handle) >
               0;
    }

    Core core_;
    uint32_t ctrlTag_;
    uint32_t consTag_;
    bool ok_ = false;
};

class PortmuxServer : public ::testing::Test {
protected:
    void SetUp() override {
        Recorder::get().setHook(nullptr);
        Recorder::get().clear();
        // A short folder: a socket path must fit 108 bytes.
        std::string dirTemplate = (fs::temp_directory_path() / "pmux-test-XXXXXX").string();
        ASSERT_NE(::mkdtemp(dirTemplate.data()), nullptr);
        dir = dirTemplate;
        socket = (dir / "run" / "sim.sock").string();
        state = (dir / "flash.bin").string();
        startServer();
    }
    void TearDown() override {
        // A clean stop is part of every test: state saved, socket removed, nothing a sanitizer objects to.
        if (server && server->running()) {
            EXPECT_EQ(stopServer(SIGTERM), 0) << serverLog();
            EXPECT_FALSE(fs::exists(socket));
        }
        server.reset();
        std::error_code ec;
        fs::remove_all(dir, ec);
    }

    static std::string program(const char* name) { return tarvik::testsupport::programFolder() + "/" + name; }

    // Starts the daemon on the test's socket and state file and waits until it answers.
    void startServer() {
        server.reset();
        ++serverRuns;
        server = std::make_unique<ChildProcess>(
            std::vector<std::string>{program("portmux-sim"), "serve", "--socket", socket, "--state", state},
            std::map<std::string, std::string>{}, dir / "server-out",
            dir / ("server-log-" + std::to_string(serverRuns)));
        ASSERT_TRUE(eventually([&] {
            return sim::ControlClient::connect(socket, nullptr) != nullptr ||
                   server->wait(std::chrono::milliseconds(0)).has_value();
        })) << "the daemon did not answer";
        ASSERT_TRUE(server->running()) << "the daemon ended: " << server->err();
    }
    // Ends the daemon with a signal; its exit code (-1 for a signal it did not catch).
    std::optional<int> stopServer(int sig = SIGTERM) {
        server->signal(sig);
        return server->wait(std::chrono::seconds(10));
    }
    std::string serverLog() { return fileText(dir / ("server-log-" + std::to_string(serverRuns))); }

    // The environment of a program that should use the daemon's keyboard; PORTMUX_SIM_STATE is empty,
    // so a program that did not reach the daemon would have a factory keyboard of its own.
    std::map<std::string, std::string> clientEnv() const {
        return {{"PORTMUX_BACKEND", "sim"}, {"PORTMUX_SIM_SOCKET", socket}, {"PORTMUX_SIM_STATE", ""}};
    }
    Finished verb(std::vector<std::string> words) {
        words.insert(words.begin(), program("portmux-sim"));
        words.push_back("--socket");
        words.push_back(socket);
        return runToEnd(words, {}, dir);
    }
    Finished tarvikctl(std::vector<std::string> words) {
        words.insert(words.begin(), program("tarvikctl"));
        return runToEnd(words, clientEnv(), dir);
    }
    sim::ControlClient& control() {
        if (!control_) {
            control_ = sim::ControlClient::connect(socket, nullptr);
        }
        if (!control_) {
            throw std::runtime_error("no daemon at " + socket);
        }
        return *control_;
    }
    wire::StatusInfo status() {
        auto s = control().status();
        if (!s) {
            throw std::runtime_error("the daemon did not answer");
        }
        return *s;
    }
    void forgetControl() { control_.reset(); }

    fs::path dir;
    std::string socket;
    std::string state;
    int serverRuns = 0;
    std::unique_ptr<ChildProcess> server;

private:
    std::unique_ptr<sim::ControlClient> control_;
};

} // namespace portmux::test
