// A program started as a child with its standard output on a pipe, read line by line with a deadline, and
// ended by its process id: by the test (a signal, then a bounded wait for its exit), or by the destructor
// with SIGKILL when the test failed before that.
#pragma once

#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace tarvik::testing {

class ChildProcess {
public:
    // argv[0] is the program's path; the environment is the test's own.
    explicit ChildProcess(const std::vector<std::string>& argv) {
        int fds[2];
        if (::pipe2(fds, O_CLOEXEC) != 0) {
            return;
        }
        pid_ = ::fork();
        if (pid_ == 0) {
            ::dup2(fds[1], STDOUT_FILENO);
            std::vector<char*> args;
            for (const auto& a : argv) {
                args.push_back(const_cast<char*>(a.c_str()));
            }
            args.push_back(nullptr);
            ::execv(args[0], args.data());
            ::_exit(127);
        }
        ::close(fds[1]);
        out_ = fds[0];
        if (pid_ < 0) {
            ::close(out_);
            out_ = -1;
        }
    }
    ~ChildProcess() {
        if (pid_ > 0 && !reaped_) {
            ::kill(pid_, SIGKILL);
            int status = 0;
            ::waitpid(pid_, &status, 0);
        }
        if (out_ >= 0) {
            ::close(out_);
        }
    }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool started() const { return pid_ > 0 && out_ >= 0; }
    pid_t pid() const { return pid_; }

    // The next line of standard output (without its line feed); false when none came within limit or the
    // pipe closed.
    bool readLine(std::string& line, std::chrono::milliseconds limit) {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        for (;;) {
            if (auto nl = buffer_.find('\n'); nl != std::string::npos) {
                line = buffer_.substr(0, nl);
                buffer_.erase(0, nl + 1);
                return true;
            }
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0) {
                return false;
            }
            pollfd p{out_, POLLIN, 0};
            if (::poll(&p, 1, static_cast<int>(left.count())) <= 0) {
                continue;
            }
            char chunk[512];
            const ssize_t n = ::read(out_, chunk, sizeof chunk);
            if (n <= 0) {
                return false;
            }
            buffer_.append(chunk, static_cast<size_t>(n));
        }
    }

    // Sends sig and waits up to limit for the exit; the exit code, or -1 when it did not exit normally
    // (killed, or still running at the deadline: then it is killed).
    int signalAndWait(int sig, std::chrono::milliseconds limit) {
        ::kill(pid_, sig);
        const int pidfd = static_cast<int>(::syscall(SYS_pidfd_open, pid_, 0));
        if (pidfd >= 0) {
            pollfd p{pidfd, POLLIN, 0};
            ::poll(&p, 1, static_cast<int>(limit.count()));
            ::close(pidfd);
        }
        int status = 0;
        pid_t done = ::waitpid(pid_, &status, WNOHANG);
        if (done != pid_) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, &status, 0);
            reaped_ = true;
            return -1;
        }
        reaped_ = true;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

private:
    pid_t pid_ = -1;
    int out_ = -1;
    bool reaped_ = false;
    std::string buffer_;
};

} // namespace tarvik::testing
