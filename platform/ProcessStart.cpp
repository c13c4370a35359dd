#include "platform/ProcessStart.h"

#include "platform/FileChecks.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <linux/close_range.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <system_error>
#include <unistd.h>

namespace tarvik {

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
    if (::syscall(SYS_close_range, 3u, ~0u, CLOSE_RANGE_CLOEXEC) != 0) {
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

bool startDetached(const std::filesystem::path& program, const std::vector<std::string>& args) {
    if (!isExecutableFile(program)) {
        return false;
    }
    // Everything the child needs is built before fork: after it only async-signal-safe calls may run.
    const std::string path = program.string();
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(path.c_str()));
    for (const std::string& a : args) {
        argv.push_back(const_cast<char*>(a.c_str()));
    }
    argv.push_back(nullptr);
    int status[2];
    if (::pipe2(status, O_CLOEXEC) != 0) {
        return false;
    }
    const pid_t child = ::fork();
    if (child < 0) {
        ::close(status[0]);
        ::close(status[1]);
        return false;
    }
    if (child == 0) {
        ::setsid();
        const pid_t grandchild = ::fork();
        if (grandchild != 0) {
            ::_exit(grandchild < 0 ? 1 : 0);
        }
        const int null = ::open("/dev/null", O_RDWR);
        if (null >= 0) {
            ::dup2(null, 0);
            ::dup2(null, 1);
            ::dup2(null, 2);
        }
        // Nothing of the program (its lock, its sockets) may live on in the started program.
        const unsigned keep = static_cast<unsigned>(status[1]);
        if (keep > 3) {
            ::syscall(SYS_close_range, 3u, keep - 1, 0u);
        }
        ::syscall(SYS_close_range, keep + 1, ~0u, 0u);
        ::execv(argv[0], argv.data());
        // Tell the program it did not start; status[1] was closed by execv on success.
        const int e = errno;
        (void)!::write(status[1], &e, sizeof e);
        ::_exit(127);
    }
    ::close(status[1]);
    int waited = 0;
    while (::waitpid(child, &waited, 0) < 0 && errno == EINTR) {
    }
    int error = 0;
    ssize_t n;
    do {
        n = ::read(status[0], &error, sizeof error);
    } while (n < 0 && errno == EINTR);
    ::close(status[0]);
    return WIFEXITED(waited) && WEXITSTATUS(waited) == 0 && n == 0;
}

DetachedStart startDetachedIn(const std::filesystem::path& program, const std::vector<std::string>& arguments,
                              const std::filesystem::path& workingFolder) {
    DetachedStart result;
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

} // namespace tarvik
