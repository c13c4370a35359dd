#include "app/StartupFiles.h"

#include "platform/Paths.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <system_error>
#include <unistd.h>

namespace tarvik::app {

std::filesystem::path autostartEntryPath() {
    return paths::configHome() / "autostart" / "AppName.desktop";
}

bool removeAutostartEntry() {
    std::error_code ec;
    std::filesystem::remove(autostartEntryPath(), ec);
    return !std::filesystem::exists(autostartEntryPath(), ec);
}

bool startDetached(const std::filesystem::path& program, const std::vector<std::string>& args) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(program, ec) || ::access(program.c_str(), X_OK) != 0) {
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

bool startCompanionDaemon(const std::filesystem::path& programFolder) {
    return startDetached(programFolder / kCompanionDaemon);
}

} // namespace tarvik::app
