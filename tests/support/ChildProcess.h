// A program started in the background for a test that must watch it while it runs: its standard output
// and error go to files, every wait for it is bounded, and it is ended by its process id when the object
// goes (also when the test failed half-way).
#pragma once

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <vector>

extern char** environ;

namespace tarvik::testsupport {

class ChildProcess {
public:
    // Starts program with args; env entries "NAME=value" are added to (or replace) the test's own.
    ChildProcess(const std::filesystem::path& program, const std::vector<std::string>& args,
                 const std::vector<std::string>& env, const std::filesystem::path& outFile,
                 const std::filesystem::path& errFile) {
        std::vector<std::string> argvStrings{program.string()};
        argvStrings.insert(argvStrings.end(), args.begin(), args.end());
        std::vector<std::string> envStrings;
        for (char** e = environ; *e != nullptr; ++e) {
            std::string entry(*e);
            bool replaced = false;
            for (const auto& add : env) {
                replaced = replaced || entry.compare(0, add.find('=') + 1, add, 0, add.find('=') + 1) == 0;
            }
            if (!replaced) {
                envStrings.push_back(entry);
            }
        }
        envStrings.insert(envStrings.end(), env.begin(), env.end());
        std::vector<char*> argv;
        for (auto& a : argvStrings) {
            argv.push_back(a.data());
        }
        argv.push_back(nullptr);
        std::vector<char*> envp;
        for (auto& e : envStrings) {
            envp.push_back(e.data());
        }
        envp.push_back(nullptr);

        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        posix_spawn_file_actions_addopen(&actions, 2, errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv.data(), envp.data()) != 0) {
            pid_ = -1;
        }
        posix_spawn_file_actions_destroy(&actions);
    }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;
    ~ChildProcess() {
        if (running()) {
            ::kill(pid_, SIGKILL);
            int status = 0;
            ::waitpid(pid_, &status, 0);
        }
    }

    bool started() const { return pid_ > 0; }
    pid_t pid() const { return pid_; }
    bool running() const { return pid_ > 0 && !exited_; }

    // Waits until the program has ended, at most limit; its exit code, or -1 when it is still running
    // (or did not end normally).
    int waitExit(std::chrono::milliseconds limit) {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        while (running()) {
            int status = 0;
            pid_t r = ::waitpid(pid_, &status, WNOHANG);
            if (r == pid_) {
                exited_ = true;
                exitCode_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
                break;
            }
            if (r < 0 || std::chrono::steady_clock::now() >= deadline) {
                return -1;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return exitCode_;
    }

private:
    pid_t pid_ = -1;
    bool exited_ = false;
    int exitCode_ = -1;
};

// Waits until condition() holds, asking every few milliseconds, at most limit. Whether it held.
template <typename Condition> bool waitFor(Condition&& condition, std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

} // namespace tarvik::testsupport
