#include "update/ProgramStarter.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <linux/close_range.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

namespace tarvik::update {

namespace {

// What the processes between fork and exec tell the caller through the pipe.
enum Tag : int { kTagPid = 1, kTagFailed = 2 };

void report(int fd, int tag, int value) {
    const int record[2] = {tag, value};
    // A short or failed write only loses the detail; the caller still sees the pipe close.
    [[maybe_unused]] ssize_t n = ::write(fd, record, sizeof record);
}

// Runs in the grandchild: nothing here may allocate or take a lock.
[[noreturn]] void execProgram(int reportFd, const char* program, char* const* argv, const char* folder) {
    if (folder[0] != '\0') {
        [[maybe_unused]] int ignored = ::chdir(folder);
    }
    // Ignored signals stay ignored across exec; the program should start with the defaults.
    for (int s = 1; s < NSIG; ++s) {
        struct sigaction current {};
        if (s != SIGKILL && s != SIGSTOP && ::sigaction(s, nullptr, &current) == 0 &&
            current.sa_handler == SIG_IGN) {
            ::signal(s, SIG_DFL);
        }
    }
    sigset_t none;
    sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    // No descriptor of ours (the instance lock, the keyboard's handles) goes along: a lock inherited by
    // the update program would outlive us. The report pipe closes on exec as well.
#ifdef SYS_close_range
    if (::syscall(SYS_close_range, 3u, ~0u, CLOSE_RANGE_CLOEXEC) != 0)
#endif
    {
        const long max = ::sysconf(_SC_OPEN_MAX);
        for (int fd = 3; fd < (max > 0 && max < 65536 ? max : 65536); ++fd) {
            const int flags = ::fcntl(fd, F_GETFD);
            if (flags >= 0) {
                ::fcntl(fd, F_SETFD, flags | FD_CLOEXEC);
            }
        }
    }
    ::execv(program, argv);
    report(reportFd, kTagFailed, errno);
    ::_exit(127);
}

} // namespace

StartResult DetachedProgramStarter::start(const std::filesystem::path& program,
                                          const std::vector<std::string>& arguments,
                                          const std::filesystem::path& workingFolder) {
    StartResult result;
    // Everything the child needs is built before fork. A relative path is made absolute first: the child
    // changes folder before exec, and the path would then name another file or none.
    std::error_code ec;
    const std::filesystem::path absolute =
        program.is_absolute() ? program : std::filesystem::absolute(program, ec);
    const std::string path = (ec ? program : absolute).string();
    const std::string folder = workingFolder.string();
    std::vector<std::string> args;
    args.reserve(arguments.size() + 1);
    args.push_back(path);
    args.insert(args.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    argv.reserve(args.size() + 1);
    for (std::string& a : args) {
        argv.push_back(a.data());
    }
    argv.push_back(nullptr);

    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) {
        result.error = errno;
        return result;
    }
    const pid_t middle = ::fork();
    if (middle < 0) {
        result.error = errno;
        ::close(fds[0]);
        ::close(fds[1]);
        return result;
    }
    if (middle == 0) {
        ::close(fds[0]);
        ::setsid();
        const pid_t child = ::fork();
        if (child < 0) {
            report(fds[1], kTagFailed, errno);
            ::_exit(1);
        }
        if (child == 0) {
            execProgram(fds[1], path.c_str(), argv.data(), folder.c_str());
        }
        report(fds[1], kTagPid, static_cast<int>(child));
        ::_exit(0);
    }

    ::close(fds[1]);
    int status = 0;
    while (::waitpid(middle, &status, 0) < 0 && errno == EINTR) {
    }
    // The pipe ends when the program has been executed (close on exec) or its process has ended.
    bool failed = false;
    for (;;) {
        int record[2];
        const ssize_t n = ::read(fds[0], record, sizeof record);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n != static_cast<ssize_t>(sizeof record)) {
            break;
        }
        if (record[0] == kTagPid) {
            result.pid = record[1];
        } else if (record[0] == kTagFailed) {
            failed = true;
            result.error = record[1];
        }
    }
    ::close(fds[0]);
    result.started = !failed && result.pid > 0;
    if (!result.started) {
        // A program that failed to execute has ended; its id means nothing any more.
        result.pid = 0;
        if (result.error == 0) {
            result.error = ECHILD;
        }
    }
    return result;
}

} // namespace tarvik::update
