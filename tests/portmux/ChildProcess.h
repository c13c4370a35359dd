// A program a test starts: its standard output and error go to files, its exit is awaited with a bound,
// and whatever is still running when the object goes (also when the test fails) is ended by its
// process id.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace portmux::test {

inline std::string fileText(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

class ChildProcess {
public:
    // argv[0] is the program's path; env holds NAME=value pairs added to (or replacing in) the test's own
    // environment.
    ChildProcess(const std::vector<std::string>& argv, const std::map<std::string, std::string>& env,
                 const std::filesystem::path& out, const std::filesystem::path& err)
        : out_(out), err_(err) {
        std::map<std::string, std::string> all;
        for (char** e = environ; *e; ++e) {
            const std::string entry(*e);
            const size_t eq = entry.find('=');
            if (eq != std::string::npos) {
                all[entry.substr(0, eq)] = entry.substr(eq + 1);
            }
        }
        for (const auto& [name, value] : env) {
            all[name] = value;
        }
        std::vector<std::string> envStrings;
        for (const auto& [name, value] : all) {
            envStrings.push_back(name + "=" + value);
        }
        std::vector<char*> args;
        for (const auto& a : argv) {
            args.push_back(const_cast<char*>(a.c_str()));
        }
        args.push_back(nullptr);
        std::vector<char*> envp;
        for (auto& e : envStrings) {
            envp.push_back(e.data());
        }
        envp.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (posix_spawn(&pid_, args[0], &actions, nullptr, args.data(), envp.data()) != 0) {
            pid_ = -1;
            ADD_FAILURE() << "cannot start " << argv[0];
        }
        posix_spawn_file_actions_destroy(&actions);
        if (pid_ > 0) {
            pidfd_ = static_cast<int>(::syscall(SYS_pidfd_open, pid_, 0));
        }
    }
    ~ChildProcess() {
        if (running()) {
            ::kill(pid_, SIGKILL);
            wait(std::chrono::seconds(10));
        }
        if (pidfd_ >= 0) {
            ::close(pidfd_);
        }
    }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    pid_t pid() const { return pid_; }
    bool running() const { return pid_ > 0 && !exitCode_; }
    void signal(int sig) {
        if (running()) {
            ::kill(pid_, sig);
        }
    }
    // Waits at most limit for the program to end: its exit code (-1: ended by a signal), or nullopt
    // while it still runs.
    std::optional<int> wait(std::chrono::milliseconds limit) {
        if (pid_ <= 0 || exitCode_) {
            return exitCode_;
        }
        const auto until = std::chrono::steady_clock::now() + limit;
        for (;;) {
            int status = 0;
            const pid_t r = ::waitpid(pid_, &status, WNOHANG);
            if (r == pid_) {
                exitCode_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
                return exitCode_;
            }
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                until - std::chrono::steady_clock::now());
            if (r < 0 || left.count() <= 0) {
                return std::nullopt;
            }
            if (pidfd_ >= 0) {
                pollfd p{pidfd_, POLLIN, 0};
                ::poll(&p, 1, static_cast<int>(left.count()));
            } else {
                std::this_thread::sleep_for(std::chrono::milliseconds(2)); // kernels without pidfd
            }
        }
    }
    std::string out() const { return fileText(out_); }
    std::string err() const { return fileText(err_); }

private:
    pid_t pid_ = -1;
    int pidfd_ = -1;
    std::optional<int> exitCode_;
    std::filesystem::path out_;
    std::filesystem::path err_;
};

struct Finished {
    int exitCode = -2; // -2: did not finish in time (ended by the test)
    std::string out;
    std::string err;
};

// Runs a program to its end, at most limit (then it is ended and the test fails).
inline Finished runToEnd(const std::vector<std::string>& argv, const std::map<std::string, std::string>& env,
                         const std::filesystem::path& scratch,
                         std::chrono::milliseconds limit = std::chrono::seconds(60)) {
    static int serial = 0;
    const std::string n = std::to_string(++serial);
    ChildProcess p(argv, env, scratch / ("out-" + n), scratch / ("err-" + n));
    Finished f;
    const auto code = p.wait(limit);
    EXPECT_TRUE(code.has_value()) << argv[0] << " did not finish within " << limit.count() << " ms";
    f.exitCode = code.value_or(-2);
    f.out = p.out();
    f.err = p.err();
    return f;
}

// Waits for a condition that nothing announces, looking every 2 ms, at most limit.
template <typename Pred>
bool eventually(Pred pred, std::chrono::milliseconds limit = std::chrono::seconds(10)) {
    const auto until = std::chrono::steady_clock::now() + limit;
    while (!pred()) {
        if (std::chrono::steady_clock::now() > until) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

} // namespace portmux::test
