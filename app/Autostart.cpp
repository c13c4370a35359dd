#include "app/Autostart.h"

#include "platform/AtomicFile.h"
#include "platform/Paths.h"

#include <system_error>

namespace tarvik::app {

namespace {

constexpr std::string_view kProgramName = "tarvik";

bool foundOnSearchPath(const std::filesystem::path& program, std::string_view searchPath) {
    size_t start = 0;
    while (start <= searchPath.size()) {
        size_t end = searchPath.find(':', start);
        if (end == std::string_view::npos) {
            end = searchPath.size();
        }
        const std::string_view folder = searchPath.substr(start, end - start);
        // An empty entry is the current folder, which is not where a login session starts programs.
        if (!folder.empty()) {
            std::error_code ec;
            const std::filesystem::path candidate = std::filesystem::path(folder) / kProgramName;
            if (std::filesystem::equivalent(candidate, program, ec) && !ec) {
                return true;
            }
        }
        start = end + 1;
    }
    return false;
}

// An argument of an Exec line: quoted when it holds anything the desktop's parser treats specially, with
// the quoting escapes, then the escapes of the entry's string value. The value is unescaped first, so
// the backslash of every quoting escape is itself written as "\\": "\\"" for '"', "\\$" for '$',
// "\\`" for '`' and "\\\\" for a backslash.
std::string execArgument(const std::string& arg) {
    constexpr std::string_view reserved = " \t\"'\\><~|&;$*?#()`";
    std::string out;
    const bool quote = arg.find_first_of(reserved) != std::string::npos;
    if (quote) {
        out += '"';
    }
    for (char c : arg) {
        if (quote && (c == '"' || c == '`' || c == '$')) {
            out += "\\\\";
        }
        if (c == '\\') {
            out += quote ? "\\\\\\\\" : "\\\\";
            continue;
        }
        if (c == '%') {
            out += "%%"; // a field code otherwise
            continue;
        }
        out += c;
    }
    if (quote) {
        out += '"';
    }
    return out;
}

bool hasControlCharacter(const std::string& s) {
    for (unsigned char c : s) {
        if (c < 0x20 || c == 0x7F) {
            return true;
        }
    }
    return false;
}

} // namespace

std::filesystem::path autostartFilePath() {
    return paths::configHome() / "autostart" / "tarvik.desktop";
}

bool autostartEnabled() {
    std::error_code ec;
    return std::filesystem::is_regular_file(autostartFilePath(), ec);
}

std::string autostartCommand(const std::filesystem::path& program, std::string_view searchPath) {
    if (foundOnSearchPath(program, searchPath)) {
        return std::string(kProgramName);
    }
    return execArgument(program.string());
}

std::string autostartEntry(const std::filesystem::path& program, std::string_view searchPath) {
    return "[Desktop Entry]\n"
           "Type=Application\n"
           "Name=Tarvik\n"
           "Comment=Keyboard settings in the notification area\n"
           "Exec=" +
           autostartCommand(program, searchPath) +
           " /Start\n"
           "Icon=io.github.tarvik.Tarvik\n"
           "Terminal=false\n"
           "NoDisplay=true\n"
           "X-GNOME-Autostart-enabled=true\n";
}

bool setAutostart(bool enabled, const std::filesystem::path& program, std::string_view searchPath) {
    const std::filesystem::path file = autostartFilePath();
    std::error_code ec;
    if (!enabled) {
        std::filesystem::remove(file, ec);
        return !autostartEnabled();
    }
    // A line break in the path would end the Exec line early; such an entry would start something else.
    if (program.empty() || hasControlCharacter(program.string())) {
        return false;
    }
    std::filesystem::create_directories(file.parent_path(), ec);
    const std::string text = autostartEntry(program, searchPath);
    return writeFileAtomically(
        file, std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
}

} // namespace tarvik::app
