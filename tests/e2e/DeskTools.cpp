#include "tests/e2e/DeskTools.h"

#include "tests/e2e/Process.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <sstream>
#include <unistd.h>

extern char** environ;

namespace tarvik::e2e {

std::filesystem::path which(const std::string& name) {
    const char* path = std::getenv("PATH");
    std::stringstream dirs(path != nullptr ? path : "/usr/bin:/bin");
    std::string dir;
    while (std::getline(dirs, dir, ':')) {
        const std::filesystem::path candidate = std::filesystem::path(dir) / name;
        if (::access(candidate.c_str(), X_OK) == 0) {
            return candidate;
        }
    }
    return name;
}

std::string nameOf(const std::string& assignment) {
    return assignment.substr(0, assignment.find('='));
}

void assign(std::vector<std::string>& env, const std::vector<std::string>& entries) {
    for (const std::string& e : entries) {
        const std::string name = nameOf(e);
        std::erase_if(env, [&](const std::string& old) { return nameOf(old) == name; });
        env.push_back(e);
    }
}

std::vector<std::string> environmentWithoutDesk() {
    std::vector<std::string> env;
    for (char** e = environ; *e != nullptr; ++e) {
        env.emplace_back(*e);
    }
    std::erase_if(env, [](const std::string& e) {
        const std::string n = nameOf(e);
        return n == "DISPLAY" || n == "WAYLAND_DISPLAY" || n == "XAUTHORITY" || n == "SESSION_MANAGER" ||
               n == "SWAYSOCK" || n == "DBUS_SESSION_BUS_ADDRESS" || n.rfind("XDG_", 0) == 0 ||
               n.rfind("PORTMUX_", 0) == 0 || n.rfind("WLR_", 0) == 0 || n.rfind("QT_QPA_", 0) == 0;
    });
    return env;
}

std::string tail(const std::filesystem::path& log) {
    const std::string text = readFile(log);
    return text.size() > 600 ? text.substr(text.size() - 600) : text;
}

std::string safeName(const std::string& what) {
    std::string out;
    for (char c : what) {
        out += std::isalnum(static_cast<unsigned char>(c)) ? c : '-';
    }
    return out;
}

} // namespace tarvik::e2e
