#include "tests/e2e/KWinDesk.h"

#include "tests/e2e/DeskTools.h"

#include "TestPaths.h"

#include <nlohmann/json.hpp>

#include <cstdio>
#include <fstream>
#include <regex>
#include <sstream>

namespace tarvik::e2e {

namespace {

constexpr const char* kSocket = "wayland-kwin";

// The window list as one JSON line: Plasma 6 names the calls windowList and activeWindow, Plasma 5
// clientList and activeClient.
constexpr const char* kListWindows = R"(
var all = workspace.windowList ? workspace.windowList() : workspace.clientList();
var active = workspace.windowList ? workspace.activeWindow : workspace.activeClient;
var out = [];
for (var i = 0; i < all.length; ++i) {
    var w = all[i];
    var g = w.frameGeometry;
    out.push({title: String(w.caption), app: String(w.resourceClass), pid: w.pid, active: w === active,
              x: g.x, y: g.y, w: g.width, h: g.height});
}
answer(JSON.stringify(out));
)";

std::string quoted(const std::string& text) {
    // A JavaScript string literal of plain text.
    std::string out = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
        }
        out += c;
    }
    return out + "\"";
}

} // namespace

KWinDesk::KWinDesk(std::string scenario, int width, int height)
    : scenario_(safeName(scenario)), width_(width), height_(height), shotFolder_(TARVIK_E2E_SHOT_DIR),
      tools_(std::filesystem::path(TARVIK_E2E_SHOT_DIR).parent_path() / "tests"),
      session_("kwin", {tools_ / "wlinput", tools_ / "kwinshot"}) {
    std::error_code ec;
    std::filesystem::create_directories(shotFolder_, ec);
    if (!session_.ok()) {
        return;
    }
    const std::filesystem::path installed = which("kwin_wayland");
    if (!installed.is_absolute()) {
        session_.fail("kwin_wayland is not installed (package kwin-wayland)");
        return;
    }
    // A copy (not a link) has no file capability, so the kernel lets it run where the original is refused.
    const std::filesystem::path kwin = session_.root() / "kwin_wayland";
    std::filesystem::copy_file(installed, kwin, ec);
    if (ec) {
        session_.fail("cannot copy " + installed.string() + ": " + ec.message());
        return;
    }
    // Two virtual desktops, the Windows key alone switching between them (KWin's own use of that key,
    // which a capture must take from it), no screen locker, no animations to wait for.
    const std::filesystem::path config = session_.home() / ".config";
    std::ofstream(config / "kwinrc") << "[Desktops]\nNumber=2\nRows=1\n"
                                        "[ModifierOnlyShortcuts]\n"
                                        "Meta=org.kde.KWin,/KWin,org.kde.KWin,nextDesktop\n"
                                        "[Compositing]\nAnimationSpeed=0\n"
                                        "[KDE]\nAnimationDurationFactor=0\n";
    std::ofstream(config / "kscreenlockerrc") << "[Daemon]\nAutolock=false\nLockOnResume=false\n";
    if (!session_.own(config / "kwinrc") || !session_.own(config / "kscreenlockerrc") ||
        !session_.startSessionBus()) {
        return;
    }
    // KWin brings its own Qt platform; its privileged interfaces (fake input, pictures) open to the
    // test's clients only with the checks off.
    session_.setEnvironment({"KWIN_WAYLAND_NO_PERMISSION_CHECKS=1", "KWIN_SCREENSHOT_NO_PERMISSION_CHECKS=1",
                             "LIBGL_ALWAYS_SOFTWARE=1", "XDG_CURRENT_DESKTOP=KDE",
                             "XDG_SESSION_TYPE=wayland"});
    if (!session_.startPart("kwin_wayland", kwin,
                            {"--virtual", "--width", std::to_string(width), "--height",
                             std::to_string(height), "--socket", kSocket, "--no-lockscreen"},
                            [&] {
                                return std::filesystem::exists(session_.runtime() / kSocket) &&
                                       busCall("org.kde.KWin", "/Scripting",
                                               "org.kde.kwin.Scripting.isScriptLoaded", {"x"})
                                               .exitCode == 0;
                            })) {
        return;
    }
    kwinLog_ = session_.lastLog();
    kwinRuns_ = true;
    session_.setEnvironment({"WAYLAND_DISPLAY=" + std::string(kSocket), "QT_QPA_PLATFORM=wayland"});
    // A fake input device for the desk's life: KWin's seat has a pointer and a keyboard only while one
    // exists, and clients drop theirs each time the last one goes (a click's own device among them).
    if (!session_.startPart("wlinput", session_.helper(tools_ / "wlinput"),
                            {"--size", std::to_string(width), std::to_string(height), "hold"}, [&] {
                                return readFile(session_.lastLog()).find("holding") != std::string::npos;
                            })) {
        return;
    }
    session_.startVirtualKeyboard();
}

KWinDesk::~KWinDesk() = default;

Process& KWinDesk::startProgram(const std::string& name, const std::vector<std::string>& args,
                                const std::vector<std::string>& extraEnv) {
    return session_.start(programFolder() / name, args, extraEnv);
}

RunOutcome KWinDesk::run(const std::filesystem::path& program, const std::vector<std::string>& args,
                         std::chrono::milliseconds timeout) const {
    return session_.run(program, args, timeout);
}

RunOutcome KWinDesk::portmuxSim(const std::vector<std::string>& args) const {
    return session_.portmuxSim(args);
}

RunOutcome KWinDesk::busCall(const std::string& destination, const std::string& path,
                             const std::string& method, const std::vector<std::string>& args) const {
    std::vector<std::string> all = {"call",          "--session", "--dest",   destination,
                                    "--object-path", path,        "--method", method};
    all.insert(all.end(), args.begin(), args.end());
    return run(which("gdbus"), all, 10s);
}

std::optional<std::vector<std::string>> KWinDesk::script(const std::string& body) {
    // KWin prints a script's print() into its log as "js: ..."; each run marks its lines with its number
    // and ends with a line of its own, so the answer is complete when that line is there.
    const std::string name = "tarvik-desk-" + std::to_string(++scripts_);
    const std::string mark = name + " ";
    const std::filesystem::path file = session_.root() / (name + ".js");
    std::ofstream(file) << "function answer(text) { print(" << quoted(mark) << " + text); }\n"
                        << body << "\nprint(" << quoted(mark + "end") << ");\n";
    const RunOutcome loaded =
        busCall("org.kde.KWin", "/Scripting", "org.kde.kwin.Scripting.loadScript", {file.string(), name});
    std::smatch id;
    if (loaded.exitCode != 0 || !std::regex_search(loaded.output, id, std::regex(R"(\((\d+),\))"))) {
        return std::nullopt;
    }
    // Plasma 6 names a loaded script /Scripting/ScriptN, Plasma 5 /N.
    const bool ran =
        busCall("org.kde.KWin", "/Scripting/Script" + id[1].str(), "org.kde.kwin.Script.run").exitCode == 0 ||
        busCall("org.kde.KWin", "/" + id[1].str(), "org.kde.kwin.Script.run").exitCode == 0;
    std::vector<std::string> lines;
    const bool ended = ran && waitUntil(
                                  [&] {
                                      lines.clear();
                                      std::istringstream log(readFile(kwinLog_));
                                      std::string line;
                                      while (std::getline(log, line)) {
                                          const size_t at = line.find("js: " + mark);
                                          if (at == std::string::npos) {
                                              continue;
                                          }
                                          const std::string text = line.substr(at + 4 + mark.size());
                                          if (text == "end") {
                                              return true;
                                          }
                                          lines.push_back(text);
                                      }
                                      return false;
                                  },
                                  5s, 20ms);
    busCall("org.kde.KWin", "/Scripting", "org.kde.kwin.Scripting.unloadScript", {name});
    std::error_code ec;
    std::filesystem::remove(file, ec);
    if (!ended) {
        return std::nullopt;
    }
    return lines;
}

std::vector<KWinWindow> KWinDesk::windows() {
    std::vector<KWinWindow> out;
    const auto answer = script(kListWindows);
    if (!answer || answer->empty()) {
        return out;
    }
    const nlohmann::json list = nlohmann::json::parse(answer->front(), nullptr, false);
    if (!list.is_array()) {
        return out;
    }
    for (const nlohmann::json& w : list) {
        KWinWindow k;
        k.title = w.value("title", "");
        k.appId = w.value("app", "");
        k.pid = w.value("pid", 0);
        k.active = w.value("active", false);
        k.place = ScreenRect{static_cast<int>(w.value("x", 0.0)), static_cast<int>(w.value("y", 0.0)),
                             static_cast<int>(w.value("w", 0.0)), static_cast<int>(w.value("h", 0.0))};
        out.push_back(k);
    }
    return out;
}

std::optional<KWinWindow> KWinDesk::findWindow(const std::string& titlePattern,
                                               std::chrono::milliseconds timeout) {
    const std::regex pattern(titlePattern, std::regex::extended);
    std::optional<KWinWindow> found;
    waitUntil(
        [&] {
            for (const KWinWindow& w : windows()) {
                if (std::regex_search(w.title, pattern)) {
                    found = w;
                    return true;
                }
            }
            return false;
        },
        timeout, 100ms);
    return found;
}

bool KWinDesk::activate(const std::string& appId) {
    const auto answer =
        script("var all = workspace.windowList ? workspace.windowList() : workspace.clientList();\n"
               "var found = false;\n"
               "for (var i = 0; i < all.length; ++i) {\n"
               "    if (String(all[i].resourceClass) == " +
               quoted(appId) +
               ") {\n"
               "        if (workspace.windowList) { workspace.activeWindow = all[i]; }\n"
               "        else { workspace.activeClient = all[i]; }\n"
               "        found = true;\n"
               "    }\n"
               "}\n"
               "answer(found ? 'found' : 'none');");
    return answer && !answer->empty() && answer->front() == "found";
}

bool KWinDesk::scriptLoaded(const std::string& name) const {
    return busCall("org.kde.KWin", "/Scripting", "org.kde.kwin.Scripting.isScriptLoaded", {name})
               .output.find("true") != std::string::npos;
}

int KWinDesk::currentDesktop() const {
    const RunOutcome r = busCall("org.kde.KWin", "/KWin", "org.kde.KWin.currentDesktop");
    std::smatch n;
    return r.exitCode == 0 && std::regex_search(r.output, n, std::regex(R"(\((\d+),\))")) ? std::stoi(n[1])
                                                                                          : 0;
}

bool KWinDesk::setCurrentDesktop(int desktop) const {
    return busCall("org.kde.KWin", "/KWin", "org.kde.KWin.setCurrentDesktop", {std::to_string(desktop)})
               .exitCode == 0;
}

RunOutcome KWinDesk::input(const std::vector<std::string>& args) const {
    std::vector<std::string> all = {"--size", std::to_string(width_), std::to_string(height_)};
    all.insert(all.end(), args.begin(), args.end());
    return run(session_.helper(tools_ / "wlinput"), all, 10s);
}

bool KWinDesk::click(ScreenPoint at) const {
    return input({"click", std::to_string(at.x), std::to_string(at.y)}).exitCode == 0;
}

bool KWinDesk::clickAt(const KWinWindow& window, const std::filesystem::path& layoutFile,
                       std::string_view key) const {
    const auto at = controlCentre(window.place, layoutFile, key);
    return at && click(*at);
}

bool KWinDesk::chord(const std::vector<int>& codes) const {
    return input(chordArguments(codes)).exitCode == 0;
}

void KWinDesk::setScenario(const std::string& scenario) {
    scenario_ = safeName(scenario);
    steps_ = 0;
}

std::filesystem::path KWinDesk::step(const std::string& what) {
    char number[16];
    std::snprintf(number, sizeof number, "%02d", ++steps_);
    // kwinshot writes as the desk's user, into the desk's folder; the picture is then kept in build/e2e.
    const std::filesystem::path taken = session_.root() / "shot.png";
    std::error_code ec;
    std::filesystem::remove(taken, ec);
    if (run(session_.helper(tools_ / "kwinshot"), {taken.string()}).exitCode != 0) {
        return {};
    }
    const std::filesystem::path file =
        shotFolder_ / (scenario_ + "-" + number + "-" + safeName(what) + ".png");
    std::filesystem::copy_file(taken, file, std::filesystem::copy_options::overwrite_existing, ec);
    return ec ? std::filesystem::path() : file;
}

} // namespace tarvik::e2e
