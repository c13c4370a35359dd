#include "tests/e2e/GnomeDesk.h"

#include "tests/e2e/DeskTools.h"

#include "TestPaths.h"

#include <nlohmann/json.hpp>

#include <fstream>
#include <regex>

namespace tarvik::e2e {

namespace {

constexpr int kWidth = 1600, kHeight = 900;
constexpr char kDeskExtension[] = "tarvik-e2e-desk@tarvik.github.io";

// The desk's own extension: Eval and Screenshot answer only in unsafe mode. GNOME 45 and later load
// extensions as modules, earlier shells as scripts.
constexpr char kDeskScript[] = R"(class Desk {
    enable() { global.context.unsafe_mode = true; }
    disable() { global.context.unsafe_mode = false; }
}
function init() { return new Desk(); }
)";
constexpr char kDeskModule[] = R"(export default class Desk {
    enable() { global.context.unsafe_mode = true; }
    disable() { global.context.unsafe_mode = false; }
}
)";

// The value of a method's reply as dbus-send prints it: `string "..."`, unescaped, after `boolean true`.
std::optional<std::string> replyString(const RunOutcome& r) {
    const size_t ok = r.output.find("boolean true");
    const size_t open = r.output.find("string \"", ok == std::string::npos ? 0 : ok);
    const size_t close = r.output.rfind('"');
    if (r.exitCode != 0 || ok == std::string::npos || open == std::string::npos || close < open + 8) {
        return std::nullopt;
    }
    return r.output.substr(open + 8, close - open - 8);
}

int shellMajorVersion() {
    const RunOutcome r = runToEnd(which("gnome-shell"), {"--version"}, {}, "/tmp", 10s);
    std::smatch m;
    return std::regex_search(r.output, m, std::regex("([0-9]+)\\.")) ? std::stoi(m[1]) : 0;
}

} // namespace

GnomeDesk::GnomeDesk(std::string scenario, const std::vector<std::filesystem::path>& extensions, bool enable)
    : scenario_(safeName(scenario)), shotFolder_(TARVIK_E2E_SHOT_DIR), session_("gnome") {
    std::error_code ec;
    std::filesystem::create_directories(shotFolder_, ec);
    if (!session_.ok()) {
        return;
    }
    const std::filesystem::path& root = session_.root();
    const std::filesystem::path systemBus = session_.runtime() / "system_bus";
    session_.setEnvironment({
        "WAYLAND_DISPLAY=wayland-0",
        "XDG_CURRENT_DESKTOP=GNOME",
        "XDG_SESSION_TYPE=wayland",
        // The shell's settings from a file the desk writes, instead of a settings service.
        "GSETTINGS_BACKEND=keyfile",
        "DBUS_SYSTEM_BUS_ADDRESS=unix:path=" + systemBus.string(),
    });

    const int major = shellMajorVersion();
    std::vector<std::string> enabled;
    for (const std::filesystem::path& from : extensions) {
        if (!installExtension(from)) {
            return;
        }
        if (enable) {
            enabled.push_back(from.filename().string());
        }
    }
    const std::filesystem::path desk = root / kDeskExtension;
    std::filesystem::create_directories(desk, ec);
    std::ofstream(desk / "metadata.json")
        << R"({"uuid": ")" << kDeskExtension
        << R"(", "name": "Tarvik e2e desk", "description": "Unsafe mode for the test desk", "shell-version": [")"
        << major << "\"]}\n";
    std::ofstream(desk / "extension.js") << (major >= 45 ? kDeskModule : kDeskScript);
    if (!installExtension(desk)) {
        return;
    }
    enabled.push_back(kDeskExtension);

    const std::filesystem::path settings = session_.home() / ".config" / "glib-2.0" / "settings";
    std::filesystem::create_directories(settings, ec);
    {
        std::ofstream out(settings / "keyfile");
        out << "[org/gnome/shell]\nenabled-extensions=[";
        for (size_t i = 0; i < enabled.size(); ++i) {
            out << (i > 0 ? ", '" : "'") << enabled[i] << "'";
        }
        // No welcome tour over the first start, no animations to wait for.
        out << "]\ndisable-user-extensions=false\nwelcome-dialog-last-shown-version='999'\n"
            << "[org/gnome/desktop/interface]\nenable-animations=false\n"
            // The shell's own notice of unsafe mode would cover the windows in every picture.
            << "[org/gnome/desktop/notifications]\nshow-banners=false\n";
    }
    for (const auto& folder : {session_.home() / ".config" / "glib-2.0", settings, settings / "keyfile"}) {
        if (!session_.own(folder)) {
            session_.fail("cannot give the shell's settings to the desk's user");
            return;
        }
    }

    if (!session_.startSessionBus()) {
        return;
    }
    // The shell asks the system bus about the login session at its start and gives up without one; a
    // bus of the desk's own where nobody answers is enough.
    if (!session_.startPart("system bus", which("dbus-daemon"),
                            {"--session", "--nofork", "--address=unix:path=" + systemBus.string()},
                            [&] { return std::filesystem::exists(systemBus); })) {
        return;
    }
    const std::filesystem::path wayland = session_.runtime() / "wayland-0";
    if (!session_.startPart("gnome-shell", which("gnome-shell"),
                            {"--headless", "--wayland", "--no-x11", "--wayland-display", "wayland-0",
                             "--virtual-monitor", std::to_string(kWidth) + "x" + std::to_string(kHeight)},
                            [&] { return std::filesystem::exists(wayland); })) {
        return;
    }
    // Up once the desk's extension has run, and past its start (the shell starts in the overview).
    if (!waitUntil([&] { return eval("global.context.unsafe_mode") == "true"; }, 30s, 100ms)) {
        session_.fail("gnome-shell did not enable the desk's extension (state " +
                      std::to_string(extensionState(kDeskExtension)) + ")");
        return;
    }
    if (!waitUntil([&] { return eval("Main.layoutManager._startingUp") == "false"; }, 30s, 100ms) ||
        !eval("Main.overview.hide(); true") || !waitUntil([&] { return !overviewShown(); }, 10s, 100ms)) {
        session_.fail("gnome-shell did not leave the overview it starts in");
        return;
    }
    if (eval("const C = imports.gi.Clutter; const seat = C.get_default_backend().get_default_seat();"
             "global.tarvikDesk = {"
             " keyboard: seat.create_virtual_device(C.InputDeviceType.KEYBOARD_DEVICE),"
             " pointer: seat.create_virtual_device(C.InputDeviceType.POINTER_DEVICE)}; true") != "true") {
        session_.fail("gnome-shell gave the desk no virtual input devices");
        return;
    }
    session_.startVirtualKeyboard();
}

GnomeDesk::~GnomeDesk() = default;

bool GnomeDesk::installExtension(const std::filesystem::path& from) {
    const std::string uuid = from.filename().string();
    const std::filesystem::path extensions =
        session_.home() / ".local" / "share" / "gnome-shell" / "extensions";
    const std::filesystem::path to = extensions / uuid;
    std::error_code ec;
    std::filesystem::create_directories(to, ec);
    std::filesystem::copy(
        from, to,
        std::filesystem::copy_options::recursive | std::filesystem::copy_options::overwrite_existing, ec);
    bool owned = !ec;
    for (std::filesystem::path p = to; owned && p != session_.home(); p = p.parent_path()) {
        owned = session_.own(p);
    }
    for (auto it = std::filesystem::recursive_directory_iterator(to, ec);
         owned && !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
        owned = session_.own(it->path());
    }
    if (!owned || ec) {
        session_.fail("cannot install the extension " + uuid + " for the desk's user");
        return false;
    }
    return true;
}

Process& GnomeDesk::startProgram(const std::string& name, const std::vector<std::string>& args,
                                 const std::vector<std::string>& extraEnv) {
    return session_.start(programFolder() / name, args, extraEnv);
}

RunOutcome GnomeDesk::run(const std::filesystem::path& program, const std::vector<std::string>& args,
                          std::chrono::milliseconds timeout) const {
    return session_.run(program, args, timeout);
}

RunOutcome GnomeDesk::portmuxSim(const std::vector<std::string>& args) const {
    return session_.portmuxSim(args);
}

std::optional<std::string> GnomeDesk::eval(const std::string& script) const {
    return replyString(run(which("dbus-send"),
                           {"--session", "--print-reply", "--dest=org.gnome.Shell", "/org/gnome/Shell",
                            "org.gnome.Shell.Eval", "string:" + script},
                           10s));
}

int GnomeDesk::extensionState(const std::string& uuid) const {
    // Extensions.GetExtensionInfo answers without unsafe mode; its state is a double in a dictionary.
    const RunOutcome r =
        run(which("gdbus"),
            {"call", "--session", "--dest", "org.gnome.Shell", "--object-path", "/org/gnome/Shell",
             "--method", "org.gnome.Shell.Extensions.GetExtensionInfo", uuid},
            10s);
    std::smatch m;
    return std::regex_search(r.output, m, std::regex("'state': <([0-9]+)")) ? std::stoi(m[1]) : -1;
}

std::vector<GnomeWindow> GnomeDesk::windows() const {
    const std::optional<std::string> text =
        eval("global.get_window_actors().map(a => a.meta_window).filter(w => !w.minimized).map(w => {"
             " const r = w.get_frame_rect();"
             " return {title: w.get_title() || '', appId: w.get_wm_class() || '', pid: w.get_pid(),"
             " focused: w.has_focus(), x: r.x, y: r.y, w: r.width, h: r.height}; })");
    std::vector<GnomeWindow> out;
    const nlohmann::json list = nlohmann::json::parse(text.value_or(""), nullptr, false);
    if (!list.is_array()) {
        return out;
    }
    for (const nlohmann::json& j : list) {
        GnomeWindow w;
        w.title = j.value("title", "");
        w.appId = j.value("appId", "");
        w.pid = j.value("pid", 0);
        w.focused = j.value("focused", false);
        w.place = ScreenRect{j.value("x", 0), j.value("y", 0), j.value("w", 0), j.value("h", 0)};
        out.push_back(w);
    }
    return out;
}

std::optional<GnomeWindow> GnomeDesk::findWindow(const std::string& titlePattern, pid_t pid,
                                                 std::chrono::milliseconds timeout) const {
    const std::regex pattern(titlePattern, std::regex::extended);
    std::optional<GnomeWindow> found;
    waitUntil(
        [&] {
            for (const GnomeWindow& w : windows()) {
                if ((pid == 0 || w.pid == pid) && std::regex_search(w.title, pattern)) {
                    found = w;
                    return true;
                }
            }
            return false;
        },
        timeout, 100ms);
    return found;
}

std::string GnomeDesk::windowOf(const std::string& appId) {
    return "global.get_window_actors().map(a => a.meta_window).find(w => w.get_wm_class() === " +
           nlohmann::json(appId).dump() + ")";
}

bool GnomeDesk::activate(const std::string& appId) const {
    return eval("const w = " + windowOf(appId) + "; if (w) Main.activateWindow(w); !!w") == "true";
}

bool GnomeDesk::overviewShown() const {
    // Shown once it has come in (the pictures show it then), not while it is on its way.
    return eval("Main.overview.visible && !Main.overview.animationInProgress") == "true";
}

bool GnomeDesk::shellDialogShown() const {
    return eval("Main.layoutManager.modalDialogGroup.get_children().some(c => c.visible)") == "true";
}

bool GnomeDesk::click(ScreenPoint at) const {
    // A press sent with the motion would reach the surface under the pointer before the move: the
    // button goes once the shell has the pointer there.
    const std::string x = std::to_string(at.x), y = std::to_string(at.y);
    const auto button = [&](const char* state) {
        return eval("global.tarvikDesk.pointer.notify_button(imports.gi.GLib.get_monotonic_time(),"
                    " imports.gi.Clutter.BUTTON_PRIMARY, imports.gi.Clutter.ButtonState." +
                    std::string(state) + "); true") == "true";
    };
    return eval("global.tarvikDesk.pointer.notify_absolute_motion(imports.gi.GLib.get_monotonic_time(), " +
                x + ", " + y + "); true") == "true" &&
           waitUntil([&] { return eval("global.get_pointer().slice(0, 2)") == "[" + x + "," + y + "]"; }, 5s,
                     50ms) &&
           button("PRESSED") && button("RELEASED");
}

bool GnomeDesk::clickAt(const GnomeWindow& window, const std::filesystem::path& layoutFile,
                        std::string_view key) const {
    const auto at = controlCentre(window.place, layoutFile, key);
    return at && click(*at);
}

bool GnomeDesk::chord(const std::vector<int>& codes) const {
    std::string script = "const C = imports.gi.Clutter; const k = global.tarvikDesk.keyboard;"
                         " let t = imports.gi.GLib.get_monotonic_time();";
    for (int c : codes) {
        script += " k.notify_key(t += 10000, " + std::to_string(c) + ", C.KeyState.PRESSED);";
    }
    for (auto c = codes.rbegin(); c != codes.rend(); ++c) {
        script += " k.notify_key(t += 10000, " + std::to_string(*c) + ", C.KeyState.RELEASED);";
    }
    return eval(script + " true") == "true";
}

void GnomeDesk::setScenario(const std::string& scenario) {
    scenario_ = safeName(scenario);
    steps_ = 0;
}

std::filesystem::path GnomeDesk::step(const std::string& what) {
    char number[16];
    std::snprintf(number, sizeof number, "%02d", ++steps_);
    // The shell writes the picture as the desk's user, into the desk's folder; it is then kept in build/e2e.
    const std::filesystem::path taken = session_.root() / "shot.png";
    std::error_code ec;
    std::filesystem::remove(taken, ec);
    const RunOutcome r = run(which("dbus-send"),
                             {"--session", "--print-reply", "--dest=org.gnome.Shell",
                              "/org/gnome/Shell/Screenshot", "org.gnome.Shell.Screenshot.Screenshot",
                              "boolean:false", "boolean:false", "string:" + taken.string()},
                             20s);
    if (!replyString(r) || !std::filesystem::exists(taken)) {
        return {};
    }
    const std::filesystem::path file =
        shotFolder_ / (scenario_ + "-" + number + "-" + safeName(what) + ".png");
    std::filesystem::copy_file(taken, file, std::filesystem::copy_options::overwrite_existing, ec);
    return ec ? std::filesystem::path() : file;
}

} // namespace tarvik::e2e
