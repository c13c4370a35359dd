// A program started by a whole-program test: its own argument vector and environment (never a shell),
// its output in files, waits that are always bounded, and an end by process id. A Process that is
// destroyed while its program runs ends it, so a failing test leaves nothing behind; the program is also
// told to die should the test process itself die first.
#pragma once

#include <chrono>
#include <filesystem>
#include <string>
#include <sys/types.h>
#include <thread>
#include <vector>

namespace tarvik::e2e {

using namespace std::chrono_literals;

class Process {
public:
    struct Options {
        std::vector<std::string> environment;   // NAME=value, the whole environment of the program
        std::filesystem::path output;           // standard output and error go here (appended)
        int passFd = -1;                        // an open descriptor the program gets as descriptor 3
        std::filesystem::path workingDirectory; // empty: the test's own
    };

    Process() = default;
    // Starts program with args; running() tells whether it started.
    Process(const std::filesystem::path& program, const std::vector<std::string>& args,
            const Options& options);
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;
    Process(Process&& other) noexcept;
    Process& operator=(Process&& other) noexcept;
    ~Process();

    pid_t pid() const { return pid_; }
    const std::string& name() const { return name_; }
    // True until the program has been seen to exit.
    bool running();
    // Waits up to timeout for the program to exit; true when it did. exitCode() is then its exit status,
    // or -1 when a signal ended it.
    bool wait(std::chrono::milliseconds timeout);
    int exitCode() const { return exitCode_; }
    // Asks the program to end (SIGTERM), and after grace forces it (SIGKILL). True when it is gone.
    bool end(std::chrono::milliseconds grace = 3s);

private:
    bool reap(bool block);

    pid_t pid_ = -1;
    std::string name_;
    bool exited_ = true;
    int exitCode_ = -1;
};

// Runs a program to its end, at most timeout; the output of both streams is returned.
struct RunOutcome {
    bool finished = false; // false: it did not end in time and was ended
    int exitCode = -1;
    std::string output;
};
// Its output goes through a file in scratch; it runs in workingDirectory when one is given.
RunOutcome runToEnd(const std::filesystem::path& program, const std::vector<std::string>& args,
                    const std::vector<std::string>& environment, const std::filesystem::path& scratch,
                    std::chrono::milliseconds timeout = 20s,
                    const std::filesystem::path& workingDirectory = {});

// Polls condition every interval until it holds or timeout has passed; true when it held.
template <typename Condition>
bool waitUntil(Condition condition, std::chrono::milliseconds timeout,
               std::chrono::milliseconds interval = 20ms) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        if (condition()) {
            return true;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(interval);
    }
}

// The whole file; empty when it cannot be read.
std::string readFile(const std::filesystem::path& path);

} // namespace tarvik::e2e
