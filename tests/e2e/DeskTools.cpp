#include "tests/e2e/DeskTools.h"

#include "platform/IniFile.h"
#include "platform/Utf.h"
#include "tests/e2e/Process.h"
#include "ui/SkinRect.h"

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

std::optional<ScreenPoint> controlCentre(const ScreenRect& window, const std::filesystem::path& layoutFile,
                                         std::string_view key) {
    const IniFile layout = IniFile::load(layoutFile);
    const ui::SkinRect r = ui::readSkinRect(layout, toUtf16(std::string(key)));
    if (r.w <= 0 || r.h <= 0) {
        return std::nullopt;
    }
    return ScreenPoint{window.x + r.x + r.w / 2, window.y + r.y + r.h / 2};
}

std::vector<std::string> chordArguments(const std::vector<int>& codes) {
    std::vector<std::string> args = {"chord"};
    for (int c : codes) {
        args.push_back(std::to_string(c));
    }
    return args;
}

} // namespace tarvik::e2e
