// The detached program starter with real processes: a small script reports what it got (arguments,
// folder, descriptors, signals, parent and session), and files that are no program are refused.
#include "update/ProgramStarter.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <map>
#include <sstream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace tarvik::update {
namespace {

namespace fs = std::filesystem;

constexpr int kMarkedDescriptor = 77;

// Writes what it got into the file named by its first argument, then waits (at most 20 s) until a file
// beside it says to end.
constexpr const char* kReporter = R"sh(#!/bin/sh
out="$1"
{
  echo "pid=$$"
  echo "cwd=$(pwd)"
  for a in "$@"; do echo "arg=$a"; done
  if [ -e /proc/$$/fd/77 ]; then echo "fd77=open"; else echo "fd77=closed"; fi
  echo "ignored=$(sed -n 's/^SigIgn:[[:space:]]*//p' /proc/$$/status)"
  echo "ppid=$PPID"
  echo "sid=$(cut -d' ' -f6 /proc/$$/stat)"
} > "$out.tmp"
mv "$out.tmp" "$out"
i=0
while [ ! -e "$out.end" ] && [ $i -lt 400 ]; do sleep 0.05; i=$((i+1)); done
)sh";

class ProgramStarterTest : public ::testing::Test {
protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        dir = fs::path(std::getenv("HOME")) / "starter" / info->name() / "a folder";
        fs::remove_all(dir);
        fs::create_directories(dir);
        script = dir / "reporter.sh";
        std::ofstream(script) << kReporter;
        fs::permissions(script, fs::perms::owner_all);
    }
    void TearDown() override {
        // Not our children: ended by id, reaped by whoever adopted them.
        for (long pid : started) {
            if (pid > 0 && ::kill(static_cast<pid_t>(pid), 0) == 0) {
                ::kill(static_cast<pid_t>(pid), SIGKILL);
            }
        }
    }
    StartResult start(const fs::path& program, const std::vector<std::string>& args, const fs::path& folder) {
        StartResult r = starter.start(program, args, folder);
        if (r.pid > 0) {
            started.push_back(r.pid);
        }
        return r;
    }
    // The reporter's lines, once its file is there (at most 10 s).
    std::multimap<std::string, std::string> report(const fs::path& out) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (!fs::exists(out) && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        std::multimap<std::string, std::string> lines;
        std::ifstream in(out);
        for (std::string line; std::getline(in, line);) {
            const size_t eq = line.find('=');
            if (eq != std::string::npos) {
                lines.emplace(line.substr(0, eq), line.substr(eq + 1));
            }
        }
        return lines;
    }
    static std::vector<std::string> all(const std::multimap<std::string, std::string>& m,
                                        const std::string& key) {
        std::vector<std::string> out;
        for (auto [it, end] = m.equal_range(key); it != end; ++it) {
            out.push_back(it->second);
        }
        return out;
    }

    DetachedProgramStarter starter;
    fs::path dir, script;
    std::vector<long> started;
};

TEST_F(ProgramStarterTest, RunsTheProgramDetachedWithItsArgumentsAsTheyAre) {
    // A descriptor without close-on-exec, as a lock file might be, and SIGPIPE ignored as in the program.
    const int devnull = ::open("/dev/null", O_RDONLY);
    ASSERT_GE(devnull, 0);
    ASSERT_EQ(::dup2(devnull, kMarkedDescriptor), kMarkedDescriptor);
    ::close(devnull);
    struct sigaction old {};
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    ::sigaction(SIGPIPE, &ignore, &old);

    const fs::path out = dir / "out";
    const std::vector<std::string> args = {out.string(), "two words", "$(touch pwned)", "'quoted' \"too\"",
                                           ""};
    const StartResult r = start(script, args, dir);
    ::sigaction(SIGPIPE, &old, nullptr);
    ::close(kMarkedDescriptor);

    ASSERT_TRUE(r.started) << std::strerror(r.error);
    const auto lines = report(out);
    ASSERT_FALSE(lines.empty()) << "the program never wrote " << out;
    EXPECT_EQ(all(lines, "pid"), std::vector<std::string>{std::to_string(r.pid)});
    EXPECT_EQ(all(lines, "cwd"), std::vector<std::string>{fs::canonical(dir).string()});
    EXPECT_EQ(all(lines, "arg"), args) << "no shell split, expanded or dropped anything";
    EXPECT_FALSE(fs::exists(dir / "pwned"));
    EXPECT_EQ(all(lines, "fd77"), std::vector<std::string>{"closed"});
    const std::vector<std::string> ignored = all(lines, "ignored");
    ASSERT_EQ(ignored.size(), 1u);
    EXPECT_EQ(std::stoull(ignored[0], nullptr, 16) & (1ull << (SIGPIPE - 1)), 0u)
        << "SIGPIPE back to default";
    EXPECT_NE(all(lines, "ppid"), std::vector<std::string>{std::to_string(::getpid())});
    EXPECT_NE(all(lines, "sid"), std::vector<std::string>{std::to_string(::getsid(0))})
        << "a session of its own";

    errno = 0;
    EXPECT_EQ(::waitpid(static_cast<pid_t>(r.pid), nullptr, WNOHANG), -1) << "not our child";
    EXPECT_EQ(errno, ECHILD);
    std::ofstream(out.string() + ".end") << "";
}

// A program named relative to our folder is still found once the start has changed to its own.
TEST_F(ProgramStarterTest, ARelativePathNamesTheSameProgramInAnotherWorkingFolder) {
    const fs::path out = dir / "out";
    const fs::path here = fs::current_path();
    fs::create_directories(dir / "elsewhere");
    fs::current_path(dir);
    const StartResult r = start("reporter.sh", {out.string()}, dir / "elsewhere");
    fs::current_path(here);
    ASSERT_TRUE(r.started) << std::strerror(r.error);
    std::ofstream(out.string() + ".end") << "";
    EXPECT_EQ(all(report(out), "cwd"), std::vector<std::string>{fs::canonical(dir / "elsewhere").string()});
}

TEST_F(ProgramStarterTest, AWorkingFolderThatIsNotThereLeavesTheProgramInOurs) {
    const fs::path out = dir / "out";
    const StartResult r = start(script, {out.string()}, dir / "absent");
    ASSERT_TRUE(r.started) << std::strerror(r.error);
    std::ofstream(out.string() + ".end") << "";
    EXPECT_EQ(all(report(out), "cwd"), std::vector<std::string>{fs::current_path().string()});
}

TEST_F(ProgramStarterTest, FilesThatAreNoProgramAreNotStarted) {
    std::ofstream(dir / "notes.txt") << "not a program\n";
    fs::permissions(dir / "notes.txt", fs::perms::owner_read | fs::perms::owner_write);
    std::ofstream(dir / "garbage") << "\x7f"
                                      "ELF but not really\n";
    fs::permissions(dir / "garbage", fs::perms::owner_all);
    struct Case {
        const char* what;
        fs::path program;
        int error;
    } cases[] = {
        {"missing", dir / "absent", ENOENT},
        {"not executable", dir / "notes.txt", EACCES},
        {"a folder", dir, EACCES},
        {"executable but no program", dir / "garbage", ENOEXEC},
        {"no path at all", fs::path{}, ENOENT},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const StartResult r = start(c.program, {}, dir);
        EXPECT_FALSE(r.started);
        EXPECT_EQ(r.error, c.error) << std::strerror(r.error);
    }
}

} // namespace
} // namespace tarvik::update
