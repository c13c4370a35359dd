// SIGINT, SIGTERM and SIGHUP in tarvikctl. install() blocks them in every thread before any starts (the
// library's threads inherit the mask), and one thread takes them with sigwait, so that nothing runs in a
// signal handler and a command ends in order instead of dying mid-sequence:
// - the first signal is noted and the actions of every OnInterrupt scope run; a command looks at
//   requested() between its steps, lets a write sequence that has begun run to its end (every wait on the
//   keyboard is bounded), stops there and returns exitCode() (128 + the signal: 130, 143, 129);
// - a second signal ends the process at once, after removing the registered temporary folders.
// A command that ends on a signal as its normal way out (watch) takes it with a consuming scope.
#pragma once

#include <filesystem>
#include <functional>

namespace tarvik::cli::interruption {

// At the start of main, before any thread. Once per process; later calls do nothing.
void install();
// A signal came (and no consuming scope took it).
bool requested();
// 128 + the signal's number once one came, else rc.
int exitCode(int rc = 1);

// Runs action (on the signal thread, under the module's lock: it must not call back into it) when the
// first signal comes, or at once in the constructor when one came already. With consumes, the signal is
// this command's normal end: requested() stays false.
class OnInterrupt {
public:
    explicit OnInterrupt(std::function<void()> action, bool consumes = false);
    ~OnInterrupt();
    OnInterrupt(const OnInterrupt&) = delete;
    OnInterrupt& operator=(const OnInterrupt&) = delete;

private:
    int id_;
};

// Folders the second signal removes before it ends the process (their owners remove them otherwise).
void addTemporary(const std::filesystem::path& folder);
void removeTemporary(const std::filesystem::path& folder);

} // namespace tarvik::cli::interruption
