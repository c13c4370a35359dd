// The program as a user starts it, on the offscreen platform with the virtual keyboard: the hand-over of
// a second start, "/Kill", a stale lock, the autostart entry, and the quiet end when a required component
// is missing. Every started program is ended by its process id, also when a test fails.
#include "tests/support/SimLibrary.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <semaphore.h>
#include <string>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace tarvik::app {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

class Program : public ::testing::Test {
protected:
    void SetUp() override {
        char name[] = "/tmp/tarvik-program-XXXXXX";
        ASSERT_NE(::mkdtemp(name), nullptr);
        root = name;
        runtime = root / "run";
        fs::create_directories(runtime);
        fs::permissions(runtime, fs::perms::owner_all);
        home = root / "home";
        fs::create_directories(home);
        program = fs::path(testsupport::programFolder()) / "tarvik";
        socket = runtime / "Tarvik_Mutex_09A.sock";
    }
    void TearDown() override {
        // The orderly end first (it removes what the program made), then the hard one; bounded.
        for (pid_t pid : started) {
            ::kill(pid, SIGTERM);
        }
        for (pid_t pid : std::vector<pid_t>(started)) {
            if (exitCode(pid, 10s) == -1) {
                ::kill(pid, SIGKILL);
                ::waitpid(pid, nullptr, 0);
            }
        }
        started.clear();
        // What a program ended by SIGKILL (the crash of a test) leaves behind.
        for (int n = 1; n <= 208; ++n) {
            ::sem_unlink(eventName(n).c_str());
        }
        std::error_code ec;
        fs::remove_all(root, ec);
    }
    // The named event n of the programs this test starts (their own prefix, never a real instance's).
    static std::string eventName(int n) {
        char number[8];
        std::snprintf(number, sizeof number, "%02d", n);
        return eventPrefix() + "Main_" + number;
    }
    static std::string eventPrefix() { return "/TarvikProgramTest" + std::to_string(::getpid()) + "_"; }
    // How many of those events exist now (glibc keeps "/NAME" as /dev/shm/sem.NAME).
    static int namedEvents() {
        int n = 0;
        for (int i = 1; i <= 208; ++i) {
            n += fs::exists("/dev/shm/sem." + eventName(i).substr(1)) ? 1 : 0;
        }
        return n;
    }
    // Whether this process could take the instance lock now (nobody holds it).
    bool lockIsFree() {
        const int fd = ::open((runtime / "Tarvik_Mutex_09A.lock").c_str(), O_RDWR | O_CLOEXEC);
        if (fd < 0) {
            return true; // no lock file: nobody holds it
        }
        const bool free = ::flock(fd, LOCK_EX | LOCK_NB) == 0;
        ::close(fd);
        return free;
    }
    // Starts the program in the background with the test's own home and runtime folder.
    pid_t start(std::vector<std::string> args, const fs::path& binary = {}) {
        const fs::path exe = binary.empty() ? program : binary;
        std::vector<std::string> env = {"HOME=" + home.string(),
                                        "XDG_CONFIG_HOME=" + (home / ".config").string(),
                                        "XDG_STATE_HOME=" + (home / ".local/state").string(),
                                        "XDG_RUNTIME_DIR=" + runtime.string(),
                                        "PORTMUX_BACKEND=sim",
                                        "PORTMUX_SIM_STATE=",
                                        "QT_QPA_PLATFORM=offscreen",
                                        "TARVIK_NAMED_EVENT_PREFIX=" + eventPrefix(),
                                        "PATH=/usr/bin:/bin"};
        args.insert(args.begin(), exe.string());
        std::vector<char*> argv, envp;
        for (auto& a : args) {
            argv.push_back(a.data());
        }
        argv.push_back(nullptr);
        for (auto& e : env) {
            envp.push_back(e.data());
        }
        envp.push_back(nullptr);
        const pid_t pid = ::fork();
        if (pid == 0) {
            const int null = ::open("/dev/null", O_WRONLY);
            ::dup2(null, 1);
            ::execve(argv[0], argv.data(), envp.data());
            ::_exit(127);
        }
        started.push_back(pid);
        return pid;
    }
    // The exit code once the process has ended, or -1 when it is still running after the limit.
    int exitCode(pid_t pid, std::chrono::milliseconds limit = 20s) {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        for (;;) {
            int status = 0;
            const pid_t r = ::waitpid(pid, &status, WNOHANG);
            if (r == pid) {
                std::erase(started, pid);
                return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            }
            if (std::chrono::steady_clock::now() > deadline) {
                return -1;
            }
            std::this_thread::sleep_for(10ms);
        }
    }
    // Waits until a first instance listens on its socket (its window is ready).
    bool listening(std::chrono::milliseconds limit = 20s) {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        while (std::chrono::steady_clock::now() < deadline) {
            const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
            sockaddr_un addr{};
            addr.sun_family = AF_UNIX;
            std::snprintf(addr.sun_path, sizeof addr.sun_path, "%s", socket.c_str());
            const bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
            ::close(fd);
            if (ok) {
                return true;
            }
            std::this_thread::sleep_for(20ms);
        }
        return false;
    }
    bool running(pid_t pid) { return exitCode(pid, 0ms) == -1; }
    // A program folder of its own: the program, its library and its run-time folders, less what a test
    // removes.
    fs::path copyProgramFolder() {
        const fs::path from = testsupport::programFolder();
        const fs::path to = root / "bin";
        fs::create_directories(to);
        for (const char* item : {"tarvik", "libportmux.so"}) {
            fs::copy(from / item, to / item);
        }
        for (const char* folder : {"Skins", "Help"}) {
            fs::copy(from / folder, to / folder, fs::copy_options::recursive);
        }
        return to;
    }

    fs::path root, runtime, home, program, socket;
    std::vector<pid_t> started;
};

TEST_F(Program, ASecondStartHandsItsRequestToTheFirstAndEnds) {
    const pid_t first = start({"/Start"});
    ASSERT_TRUE(listening());
    const pid_t second = start({});
    EXPECT_EQ(exitCode(second), 0);
    EXPECT_TRUE(running(first));
    // "-Kill" is not "/Kill": an ordinary second start.
    EXPECT_EQ(exitCode(start({"-Kill"})), 0);
    EXPECT_TRUE(running(first));
}

TEST_F(Program, KillEndsTheRunningInstanceAndItself) {
    const pid_t first = start({"/start"});
    ASSERT_TRUE(listening());
    const pid_t killer = start({"/Start", "/KILL"});
    EXPECT_EQ(exitCode(killer), 0);
    EXPECT_EQ(exitCode(first), 0);
    EXPECT_FALSE(fs::exists(socket));
}

// A logout sends SIGTERM, a terminal Ctrl+C SIGINT, a closed terminal SIGHUP: each ends the program as
// "/Kill" does, with its named events and instance lock gone.
TEST_F(Program, ATerminationSignalEndsTheProgramInOrder) {
    for (int signal : {SIGTERM, SIGINT, SIGHUP}) {
        SCOPED_TRACE("signal " + std::to_string(signal));
        const pid_t p = start({"/Start"});
        ASSERT_TRUE(listening());
        // The events are made just after the instance starts listening.
        const auto deadline = std::chrono::steady_clock::now() + 10s;
        while (namedEvents() != 208 && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(10ms);
        }
        ASSERT_EQ(namedEvents(), 208);
        ASSERT_FALSE(lockIsFree());
        ASSERT_EQ(::kill(p, signal), 0);
        EXPECT_EQ(exitCode(p), 0);
        EXPECT_EQ(namedEvents(), 0);
        EXPECT_TRUE(lockIsFree());
        EXPECT_FALSE(fs::exists(socket));
    }
}

TEST_F(Program, KillWithNothingRunningIsANormalStart) {
    const pid_t first = start({"/Kill"});
    ASSERT_TRUE(listening());
    EXPECT_TRUE(running(first));
    EXPECT_EQ(exitCode(start({"/kill"})), 0);
    EXPECT_EQ(exitCode(first), 0);
}

TEST_F(Program, ALockLeftByACrashIsTakenOver) {
    const pid_t crashed = start({"/Start"});
    ASSERT_TRUE(listening());
    ::kill(crashed, SIGKILL);
    exitCode(crashed);
    ASSERT_TRUE(fs::exists(runtime / "Tarvik_Mutex_09A.lock"));
    ASSERT_TRUE(fs::exists(socket)); // nobody listens on it any more
    const pid_t next = start({"/Start"});
    ASSERT_TRUE(listening());
    EXPECT_TRUE(running(next));
    EXPECT_EQ(exitCode(start({"/Kill"})), 0);
    EXPECT_EQ(exitCode(next), 0);
}

TEST_F(Program, TheAutostartEntryIsGoneAfterAStart) {
    const fs::path entry = home / ".config" / "autostart" / "AppName.desktop";
    fs::create_directories(entry.parent_path());
    std::ofstream(entry) << "[Desktop Entry]\nExec=tarvik\n";
    const pid_t first = start({"/Start"});
    ASSERT_TRUE(listening());
    EXPECT_FALSE(fs::exists(entry));
    EXPECT_EQ(exitCode(start({"/Kill"})), 0);
    EXPECT_EQ(exitCode(first), 0);
}

TEST_F(Program, AMissingStatePictureEndsTheProgramQuietly) {
    const fs::path bin = copyProgramFolder();
    fs::remove(bin / "Skins" / "main_over.jpg");
    const pid_t p = start({}, bin / "tarvik");
    EXPECT_EQ(exitCode(p), 0);
    EXPECT_FALSE(fs::exists(socket));
}

TEST_F(Program, AMissingServiceLibraryEndsTheProgramQuietly) {
    const fs::path bin = copyProgramFolder();
    fs::remove(bin / "libportmux.so");
    const pid_t p = start({}, bin / "tarvik");
    EXPECT_EQ(exitCode(p), 0);
    EXPECT_FALSE(fs::exists(socket));
}

} // namespace
} // namespace tarvik::app
