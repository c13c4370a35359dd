#include "tests/e2e/Process.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace tarvik::e2e {

namespace {

std::vector<char*> pointers(std::vector<std::string>& strings) {
    std::vector<char*> out;
    for (std::string& s : strings) {
        out.push_back(s.data());
    }
    out.push_back(nullptr);
    return out;
}

} // namespace

Process::Process(const std::filesystem::path& program, const std::vector<std::string>& args,
                 const Options& options)
    : name_(program.filename().string()) {
    // Everything the child needs is prepared before fork: after it, only async-signal-safe calls.
    std::vector<std::string> argv{program.string()};
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<std::string> envp = options.environment;
    std::vector<char*> argvPtr = pointers(argv);
    std::vector<char*> envPtr = pointers(envp);
    const int out = options.output.empty()
                        ? ::open("/dev/null", O_WRONLY | O_CLOEXEC)
                        : ::open(options.output.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    const int in = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    if (out < 0 || in < 0) {
        if (out >= 0) {
            ::close(out);
        }
        if (in >= 0) {
            ::close(in);
        }
        return;
    }
    const std::string cwd = options.workingDirectory.string();
    const pid_t parent = ::getpid();
    const pid_t pid = ::fork();
    if (pid == 0) {
        // The program must not outlive a test process that crashed.
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (::getppid() != parent) {
            ::_exit(127);
        }
        ::dup2(in, 0);
        ::dup2(out, 1);
        ::dup2(out, 2);
        if (options.passFd >= 0) {
            ::dup2(options.passFd, 3); // dup2 clears close-on-exec on the copy
        }
        if (!cwd.empty() && ::chdir(cwd.c_str()) != 0) {
            ::_exit(127);
        }
        ::execve(argvPtr[0], argvPtr.data(), envPtr.data());
        ::_exit(127);
    }
    ::close(out);
    ::close(in);
    if (pid > 0) {
        pid_ = pid;
        exited_ = false;
    }
}

Process::Process(Process&& other) noexcept
    : pid_(other.pid_), name_(std::move(other.name_)), exited_(other.exited_), exitCode_(other.exitCode_) {
    other.pid_ = -1;
    other.exited_ = true;
}

Process& Process::operator=(Process&& other) noexcept {
    if (this != &other) {
        end();
        pid_ = other.pid_;
        name_ = std::move(other.name_);
        exited_ = other.exited_;
        exitCode_ = other.exitCode_;
        other.pid_ = -1;
        other.exited_ = true;
    }
    return *this;
}

Process::~Process() {
    end();
}

bool Process::reap(bool block) {
    if (exited_) {
        return true;
    }
    int status = 0;
    pid_t r;
    do {
        r = ::waitpid(pid_, &status, block ? 0 : WNOHANG);
    } while (r < 0 && errno == EINTR);
    if (r == pid_) {
        exited_ = true;
        exitCode_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    } else if (r < 0) {
        exited_ = true; // not our child (any more): nothing left to wait for
    }
    return exited_;
}

bool Process::running() {
    return !reap(false);
}

bool Process::wait(std::chrono::milliseconds timeout) {
    return waitUntil([this] { return reap(false); }, timeout, 5ms);
}

bool Process::end(std::chrono::milliseconds grace) {
    if (pid_ <= 0 || reap(false)) {
        return true;
    }
    ::kill(pid_, SIGTERM);
    if (wait(grace)) {
        return true;
    }
    ::kill(pid_, SIGKILL);
    // SIGKILL cannot be refused; the bound only guards against a process stuck in the kernel.
    return wait(5s);
}

RunOutcome runToEnd(const std::filesystem::path& program, const std::vector<std::string>& args,
                    const std::vector<std::string>& environment, const std::filesystem::path& scratch,
                    std::chrono::milliseconds timeout, const std::filesystem::path& workingDirectory) {
    static int counter = 0;
    const std::filesystem::path output = scratch / ("run-" + std::to_string(++counter) + ".out");
    std::filesystem::remove(output);
    Process p(program, args, {environment, output, -1, workingDirectory});
    RunOutcome r;
    if (p.pid() <= 0) {
        r.output = "cannot start " + program.string();
        return r;
    }
    r.finished = p.wait(timeout);
    if (!r.finished) {
        p.end(1s);
    }
    r.exitCode = p.exitCode();
    r.output = readFile(output);
    return r;
}

std::string readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

} // namespace tarvik::e2e
