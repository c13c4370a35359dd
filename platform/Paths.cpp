#include "platform/Paths.h"

#include "platform/AtomicFile.h"
#include "platform/PrivateFolder.h"

#include <cstdlib>
#include <optional>
#include <pwd.h>
#include <string>
#include <string_view>
#include <system_error>
#include <unistd.h>
#include <vector>

namespace tarvik::paths {

namespace {
std::filesystem::path envFolder(const char* name) {
    const char* v = std::getenv(name);
    if (v != nullptr && v[0] == '/') {
        return v;
    }
    return {};
}

// One value of user-dirs.dirs: a quoted path that may start with $HOME/.
std::filesystem::path parseUserDir(const std::string& line, const std::filesystem::path& home) {
    auto open = line.find('"');
    auto close = line.rfind('"');
    if (open == std::string::npos || close == open) {
        return {};
    }
    std::string value = line.substr(open + 1, close - open - 1);
    if (value.rfind("$HOME", 0) == 0) {
        value = home.string() + value.substr(5);
    }
    while (value.size() > 1 && value.back() == '/') {
        value.pop_back();
    }
    if (value.empty() || value[0] != '/') {
        return {};
    }
    std::filesystem::path p(value);
    // An entry equal to $HOME means the folder is disabled.
    if (p.lexically_normal() == home.lexically_normal()) {
        return {};
    }
    return p;
}
} // namespace

std::filesystem::path programFolder() {
    std::error_code ec;
    auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec) {
        return std::filesystem::current_path(ec);
    }
    return exe.parent_path();
}

std::filesystem::path homeFolder() {
    if (auto h = envFolder("HOME"); !h.empty()) {
        return h;
    }
    if (const passwd* pw = ::getpwuid(::getuid()); pw != nullptr && pw->pw_dir != nullptr) {
        return pw->pw_dir;
    }
    return "/tmp";
}

std::filesystem::path configHome() {
    if (auto p = envFolder("XDG_CONFIG_HOME"); !p.empty()) {
        return p;
    }
    return homeFolder() / ".config";
}

std::filesystem::path stateHome() {
    if (auto p = envFolder("XDG_STATE_HOME"); !p.empty()) {
        return p;
    }
    return homeFolder() / ".local" / "state";
}

std::filesystem::path runtimeFolder() {
    std::error_code ec;
    if (auto p = envFolder("XDG_RUNTIME_DIR"); !p.empty() && std::filesystem::is_directory(p, ec)) {
        return p;
    }
    return "/tmp";
}

std::filesystem::path documentsFolder() {
    auto home = homeFolder();
    // Read whole, not through a stream (see pictureFileSize): the resident program asks this at its start.
    const std::optional<std::vector<uint8_t>> bytes =
        readWholeFile(configHome() / "user-dirs.dirs", 1u << 20);
    const std::string_view text =
        bytes ? std::string_view(reinterpret_cast<const char*>(bytes->data()), bytes->size())
              : std::string_view();
    for (size_t at = 0; at < text.size();) {
        size_t end = text.find('\n', at);
        end = end == std::string_view::npos ? text.size() : end;
        std::string line(text.substr(at, end - at));
        at = end + 1;
        auto start = line.find_first_not_of(" \t");
        if (start == std::string::npos || line[start] == '#') {
            continue;
        }
        if (line.compare(start, 17, "XDG_DOCUMENTS_DIR") == 0) {
            if (auto p = parseUserDir(line, home); !p.empty()) {
                return p;
            }
        }
    }
    return home / "Documents";
}

std::filesystem::path dataFolder() {
    return documentsFolder() / "Velmora";
}

std::filesystem::path deviceLockFile(std::string* why) {
    const std::filesystem::path folder = privateRuntimeFolder("tarvik", why);
    if (!folder.empty()) {
        return folder / "device.lock";
    }
    // No private folder anywhere: this place is not private either, and LockFile refuses it, so that
    // every sequence fails instead of running without the lock.
    return std::filesystem::path("/tmp") / ("tarvik-" + std::to_string(::getuid())) / "device.lock";
}

} // namespace tarvik::paths
