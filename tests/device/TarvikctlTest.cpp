// tarvikctl's keyboard commands, run as a program against the virtual keyboard (its flash kept in a
// state file between runs) and against the recording library for the cases without a keyboard.
#include "platform/LockFile.h"
#include "portmux/include/portmux_sim.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/RunProgram.h"
#include "tests/support/SimLibrary.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <dlfcn.h>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using tarvik::testsupport::readText;
using tarvik::testsupport::runProgram;
using tarvik::testsupport::RunResult;

fs::path scratch() {
    fs::path dir = fs::path(TEST_SCRATCH_DIR) / testing::UnitTest::GetInstance()->current_test_info()->name();
    fs::remove_all(dir);
    fs::create_directories(dir);
    return dir;
}

class Tarvikctl : public testing::Test {
protected:
    void SetUp() override {
        dir = scratch();
        fs::create_directories(dir / "run");
        fs::permissions(dir / "run", fs::perms::owner_all);
        env = "PORTMUX_BACKEND=sim PORTMUX_SIM_STATE='" + (dir / "flash.bin").string() +
              "' XDG_RUNTIME_DIR='" + (dir / "run").string() + "'";
    }
    RunResult ctl(const std::string& words) { return runProgram(TARVIKCTL, words, env, dir); }

    // The virtual keyboard's flash as the runs left it.
    std::vector<uint8_t> area(portmux::sim::Area which) {
        static PortmuxSimControl* sim = [] {
            tarvik::testsupport::useVirtualKeyboard();
            std::string lib = fs::path(tarvik::testsupport::programFolder()) / "libportmux.so";
            void* module = ::dlopen(lib.c_str(), RTLD_NOW | RTLD_LOCAL);
            EXPECT_NE(module, nullptr);
            auto init = reinterpret_cast<int (*)(int)>(::dlsym(module, "Init"));
            EXPECT_GT(init(0), 0);
            return tarvik::testsupport::simControlOf(module);
        }();
        if (sim == nullptr) {
            ADD_FAILURE() << "the program folder's libportmux.so has no virtual keyboard";
            return {};
        }
        EXPECT_TRUE(sim->setStatePath((dir / "flash.bin").string()));
        return sim->area(which);
    }

    fs::path dir;
    std::string env;
};

TEST_F(Tarvikctl, StatusJsonOfTheFactoryKeyboard) {
    RunResult r = ctl("status --json");
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out,
              "{\"attached\": true, \"keyboards\": 1, \"profile\": 0, \"macroCapacity\": 8192, \"modes\": "
              "[1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 20], \"road\": \"direct\"}\n");
    EXPECT_EQ(r.err, "");
}

TEST_F(Tarvikctl, ProfileSwitchShowsInTheNextStatus) {
    RunResult r = ctl("profile 2");
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "profile: 2\n");
    r = ctl("status");
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("profile: 2\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("keyboard: attached (1)\n"), std::string::npos) << r.out;
}

TEST_F(Tarvikctl, ReportRateGoesIntoTheCurrentProfilesSettings) {
    ASSERT_EQ(ctl("profile 1").exitCode, 0);
    RunResult r = ctl("report-rate 3");
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "report rate of profile 1: 3\n");
    auto settings = area(portmux::sim::Area::Settings);
    ASSERT_EQ(settings.size(), 126u);
    EXPECT_EQ(settings[1 * 42 + 15], 3);
    EXPECT_NE(settings[0 * 42 + 15], 3); // the other profiles keep theirs
    EXPECT_NE(settings[2 * 42 + 15], 3);
}

TEST_F(Tarvikctl, BadArgumentsAreRefusedWithOneLine) {
    for (const char* words : {"profile 3", "profile -1", "profile x", "profile", "profile 1 2",
                              "report-rate 4", "report-rate 1.5", "status now"}) {
        SCOPED_TRACE(words);
        RunResult r = ctl(words);
        EXPECT_EQ(r.exitCode, 2);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err.rfind("tarvikctl: ", 0), 0u);
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1);
    }
}

TEST_F(Tarvikctl, EveryKeyboardCommandHasHelp) {
    for (std::string name : {"status", "profile", "report-rate"}) {
        SCOPED_TRACE(name);
        RunResult r = ctl(name + " --help");
        EXPECT_EQ(r.exitCode, 0);
        EXPECT_EQ(r.out.rfind("Usage: tarvikctl " + name, 0), 0u) << r.out;
    }
}

// Whether the process has path open (one of its descriptors leads to it).
bool hasOpen(pid_t pid, const fs::path& path) {
    std::error_code ec;
    for (const auto& fd : fs::directory_iterator("/proc/" + std::to_string(pid) + "/fd", ec)) {
        if (fs::read_symlink(fd.path(), ec) == path) {
            return true;
        }
    }
    return false;
}

// The program and tarvikctl share the keyboard: while one process holds it for a sequence, another one's
// commands wait for the per-user lock file and go on once it is free.
TEST_F(Tarvikctl, ASecondProcessWaitsForTheKeyboardAndGoesOnWhenItIsFree) {
    const fs::path lockPath = dir / "run" / "tarvik" / "device.lock";
    tarvik::LockFile held(lockPath);
    ASSERT_TRUE(held.tryLock());

    tarvik::testsupport::ChildProcess child(TARVIKCTL, {"profile", "2"},
                                            {"PORTMUX_BACKEND=sim",
                                             "PORTMUX_SIM_STATE=" + (dir / "flash.bin").string(),
                                             "XDG_RUNTIME_DIR=" + (dir / "run").string()},
                                            dir / "child-out", dir / "child-err");
    ASSERT_TRUE(child.started());
    // It reaches for the lock file...
    ASSERT_TRUE(tarvik::testsupport::waitFor([&] { return hasOpen(child.pid(), lockPath); },
                                             std::chrono::seconds(20)));
    // ...and has not switched the keyboard while the lock is held.
    EXPECT_TRUE(child.running());
    EXPECT_TRUE(!fs::exists(dir / "flash.bin") || area(portmux::sim::Area::Config)[10] != 2);

    held.unlock();
    EXPECT_EQ(child.waitExit(std::chrono::seconds(60)), 0) << readText(dir / "child-err");
    EXPECT_EQ(readText(dir / "child-out"), "profile: 2\n");
    EXPECT_EQ(area(portmux::sim::Area::Config)[10], 2);
}

// tarvikctl copied into a folder with the recording library as its libportmux.so.
class TarvikctlRecording : public testing::Test {
protected:
    void SetUp() override {
        dir = scratch();
        fs::copy_file(TARVIKCTL, dir / "tarvikctl");
        program = dir / "tarvikctl";
    }
    void withLibrary() {
        fs::copy_file(fs::path(RECORDING_LIBRARY_DIR) / "libportmux.so", dir / "libportmux.so");
    }
    fs::path dir;
    fs::path program;
};

TEST_F(TarvikctlRecording, WithoutKeyboardStatusSaysSoAndSucceeds) {
    withLibrary();
    RunResult r = runProgram(program, "status --json", "RECORDING_PORTMUX_COUNT=0", dir);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "{\"attached\": false, \"keyboards\": 0, \"profile\": null, \"macroCapacity\": null, "
                     "\"modes\": null, \"road\": \"direct\"}\n");
    r = runProgram(program, "status", "RECORDING_PORTMUX_COUNT=0", dir);
    EXPECT_EQ(r.out, "keyboard: not attached\nroad: direct\n");
    r = runProgram(program, "profile 1", "RECORDING_PORTMUX_COUNT=0", dir);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, "tarvikctl: profile: no keyboard attached\n");
}

TEST_F(TarvikctlRecording, BindsAndStartsTheChannelLikeTheProgram) {
    withLibrary();
    const fs::path log = dir / "calls";
    RunResult r = runProgram(program, "status",
                             "RECORDING_PORTMUX_COUNT=0 RECORDING_PORTMUX_LOG='" + log.string() + "'", dir);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    std::istringstream calls(readText(log));
    std::vector<std::string> lines;
    for (std::string line; std::getline(calls, line);) {
        lines.push_back(line);
    }
    const std::vector<std::string> start = {
        "Init 0000 00000000",
        "DeleteRequestFromUnitId 0000 00000000",
        "RequestAsyncRead 000c 434f4e53",
        "DeleteRequestFromUnitId 0000 00000000",
        "RequestAsyncRead ff1c 4354524c",
        "RequestGetDeviceCount ff1c 00000000",
    };
    ASSERT_GE(lines.size(), start.size());
    EXPECT_EQ(std::vector<std::string>(lines.begin(), lines.begin() + 6), start);
}

TEST_F(TarvikctlRecording, AMissingLibraryIsAnError) {
    // Unlike the program, which ends silently with 0, the tool must not report success.
    RunResult r = runProgram(program, "status --json", "", dir);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "tarvikctl: cannot load libportmux.so\n");
}

} // namespace
