#include "tests/e2e/Desktop.h"

#include "tests/e2e/DeskTools.h"

#include "TestPaths.h"
#include "platform/IniFile.h"
#include "platform/Utf.h"
#include "ui/SkinRect.h"

#include <QImageReader>
#include <QString>

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <iostream>
#include <poll.h>
#include <semaphore.h>
#include <set>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

extern char** environ;

namespace tarvik::e2e {

namespace {

// A number that follows label in the output of xwininfo.
std::optional<int> field(const std::string& text, const std::string& label) {
    const size_t at = text.find(label);
    if (at == std::string::npos) {
        return std::nullopt;
    }
    return std::atoi(text.c_str() + at + label.size());
}

} // namespace

Desktop::Desktop(std::string scenario, DesktopOptions options)
    : scenario_(safeName(scenario)), options_(options) {
    const char* bin = std::getenv("TARVIK_BIN_DIR");
    programFolder_ = bin != nullptr && bin[0] != '\0' ? bin : TARVIK_TEST_BIN_DIR;
    shotFolder_ = TARVIK_E2E_SHOT_DIR;
    std::error_code ec;
    std::filesystem::create_directories(shotFolder_, ec);
    forgetOldSteps();

    // A short path: the runtime folder holds Unix sockets, whose paths are limited to 107 bytes.
    char tmpl[] = "/tmp/tarvik-e2e-XXXXXX";
    if (::mkdtemp(tmpl) == nullptr) {
        error_ = std::string("cannot create a temporary folder: ") + std::strerror(errno);
        return;
    }
    root_ = tmpl;
    home_ = root_ / "home";
    const std::filesystem::path runtime = root_ / "run";
    std::filesystem::create_directories(home_ / ".config", ec);
    std::filesystem::create_directories(home_ / "Documents", ec);
    std::filesystem::create_directories(runtime, ec);
    ::chmod(runtime.c_str(), 0700);
    if (options_.privateProgramFolder && !copyProgramFolder()) {
        return;
    }
    // The programs' named events are the desktop's own: a program ended by a signal leaves them behind,
    // and the desktop removes them when it goes, never those of a real instance.
    static int desktops = 0;
    eventPrefix_ = "/TarvikE2e" + std::to_string(::getpid()) + "_" + std::to_string(++desktops) + "_";

    // The test's own environment without anything that leads to the real desktop session or home.
    for (char** e = environ; *e != nullptr; ++e) {
        environment_.emplace_back(*e);
    }
    std::erase_if(environment_, [](const std::string& e) {
        const std::string n = nameOf(e);
        return n == "DISPLAY" || n == "WAYLAND_DISPLAY" || n == "XAUTHORITY" || n == "SESSION_MANAGER" ||
               n.rfind("XDG_", 0) == 0 || n.rfind("PORTMUX_", 0) == 0;
    });
    assign(environment_, {
                             "HOME=" + home_.string(),
                             "XDG_CONFIG_HOME=" + (home_ / ".config").string(),
                             "XDG_STATE_HOME=" + (home_ / ".local/state").string(),
                             "XDG_DATA_HOME=" + (home_ / ".local/share").string(),
                             "XDG_CACHE_HOME=" + (home_ / ".cache").string(),
                             "XDG_RUNTIME_DIR=" + runtime.string(),
                             "TARVIK_BIN_DIR=" + programFolder_.string(),
                             // No bus but the desk's own (startSessionBus): never the real one.
                             "DBUS_SESSION_BUS_ADDRESS=unix:path=" + (runtime / "no-bus").string(),
                             "QT_QPA_PLATFORM=xcb",
                             "QT_ACCESSIBILITY=0",
                             "NO_AT_BRIDGE=1",
                             "PORTMUX_BACKEND=sim",
                             "TARVIK_NAMED_EVENT_PREFIX=" + eventPrefix_,
                         });

    if (options_.wayland) {
        if (!startWayland() || !startVirtualKeyboard()) {
            return;
        }
        return;
    }
    if ((options_.sessionBus && !startSessionBus()) || !startXServer() || !startWindowManager() ||
        (options_.trayHost && !startTrayHost()) || !startVirtualKeyboard()) {
        return;
    }
}

Desktop::~Desktop() {
    while (!processes_.empty()) {
        Process& p = processes_.back();
        if (!p.end()) {
            std::cerr << "e2e: " << p.name() << " (process " << p.pid() << ") did not end\n";
        }
        processes_.pop_back();
    }
    removeNamedEvents();
    if (root_.empty()) {
        return;
    }
    // A desktop shared by several scenarios goes after all of them: any failure so far keeps it.
    if (::testing::Test::HasFailure() || ::testing::UnitTest::GetInstance()->failed_test_count() > 0) {
        std::cerr << "e2e: the scenario's home, logs and state are kept in " << root_ << "\n";
        return;
    }
    std::error_code ec;
    std::filesystem::remove_all(root_, ec);
}

bool Desktop::copyProgramFolder() {
    const std::filesystem::path from = programFolder_;
    const std::filesystem::path to = root_ / "bin";
    std::error_code ec;
    std::filesystem::create_directories(to, ec);
    for (auto it = std::filesystem::recursive_directory_iterator(from, ec);
         !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
        const std::filesystem::path target = to / std::filesystem::relative(it->path(), from);
        std::error_code fileEc;
        if (it->is_symlink(fileEc)) {
            std::filesystem::copy_symlink(it->path(), target, fileEc);
        } else if (it->is_directory(fileEc)) {
            std::filesystem::create_directories(target, fileEc);
        } else if (it->path().extension() == ".ini") {
            // The files a program may write into: copies of their own.
            std::filesystem::copy_file(it->path(), target, fileEc);
        } else {
            std::filesystem::create_hard_link(it->path(), target, fileEc);
            if (fileEc) {
                fileEc.clear();
                std::filesystem::copy_file(it->path(), target, fileEc);
            }
        }
        if (fileEc) {
            error_ = "cannot copy the program folder to " + target.string() + ": " + fileEc.message();
            return false;
        }
    }
    if (ec) {
        error_ = "cannot read the program folder " + from.string() + ": " + ec.message();
        return false;
    }
    programFolder_ = to;
    return true;
}

void Desktop::removeNamedEvents() const {
    if (eventPrefix_.empty()) {
        return;
    }
    // glibc keeps a named semaphore "/NAME" as /dev/shm/sem.NAME.
    const std::string stored = "sem." + eventPrefix_.substr(1);
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator("/dev/shm", ec)) {
        const std::string file = entry.path().filename().string();
        if (file.rfind(stored, 0) == 0) {
            names.push_back("/" + file.substr(4));
        }
    }
    for (const std::string& name : names) {
        ::sem_unlink(name.c_str());
    }
}

void Desktop::setScenario(const std::string& scenario) {
    scenario_ = safeName(scenario);
    steps_ = 0;
    forgetOldSteps();
}

void Desktop::forgetOldSteps() const {
    // The pictures of a scenario are those of its last run: <scenario>-NN-<step>.png of an earlier one go.
    const std::string prefix = scenario_ + "-";
    std::vector<std::filesystem::path> old;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(shotFolder_, ec)) {
        const std::string name = entry.path().filename().string();
        const size_t n = prefix.size();
        if (name.rfind(prefix, 0) == 0 && name.size() > n + 3 &&
            std::isdigit(static_cast<unsigned char>(name[n])) &&
            std::isdigit(static_cast<unsigned char>(name[n + 1])) && name[n + 2] == '-' &&
            entry.path().extension() == ".png") {
            old.push_back(entry.path());
        }
    }
    for (const auto& file : old) {
        std::filesystem::remove(file, ec);
    }
}

std::vector<pid_t> Desktop::processIds() const {
    std::vector<pid_t> out;
    for (const Process& p : processes_) {
        if (p.pid() > 0) {
            out.push_back(p.pid());
        }
    }
    return out;
}

std::vector<std::string> Desktop::environmentWith(const std::vector<std::string>& extra) const {
    std::vector<std::string> env = environment_;
    assign(env, extra);
    return env;
}

Process& Desktop::start(const std::filesystem::path& program, const std::vector<std::string>& args,
                        const std::vector<std::string>& extraEnv) {
    const std::filesystem::path log =
        root_ / (program.filename().string() + "-" + std::to_string(++logs_) + ".log");
    processes_.emplace_back(program, args, Process::Options{environmentWith(extraEnv), log, -1, {}});
    return processes_.back();
}

Process& Desktop::startProgram(const std::string& name, const std::vector<std::string>& args,
                               const std::vector<std::string>& extraEnv) {
    return start(programFolder_ / name, args, extraEnv);
}

RunOutcome Desktop::run(const std::filesystem::path& program, const std::vector<std::string>& args,
                        std::chrono::milliseconds timeout) const {
    return runToEnd(program, args, environment_, root_, timeout);
}

RunOutcome Desktop::tarvikctl(const std::vector<std::string>& args) const {
    return run(programFolder_ / "tarvikctl", args);
}

RunOutcome Desktop::portmuxSim(const std::vector<std::string>& args) const {
    if (!simServer_) {
        RunOutcome none;
        none.output = "no portmux-sim server in this scenario";
        return none;
    }
    return run(programFolder_ / "portmux-sim", args);
}

RunOutcome Desktop::x(const std::string& tool, const std::vector<std::string>& args) const {
    return run(which(tool), args, 10s);
}

bool Desktop::startXServer() {
    // Xvfb picks a free display itself and writes its number to descriptor 3 once it accepts clients.
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) {
        error_ = "pipe failed";
        return false;
    }
    const std::filesystem::path log = root_ / "Xvfb.log";
    const std::string screen = std::to_string(options_.width) + "x" + std::to_string(options_.height) + "x24";
    processes_.emplace_back(
        which("Xvfb"),
        std::vector<std::string>{"-displayfd", "3", "-screen", "0", screen, "-nolisten", "tcp", "-noreset"},
        Process::Options{environment_, log, fds[1], {}});
    ::close(fds[1]);
    std::string number;
    const auto deadline = std::chrono::steady_clock::now() + 15s;
    while (number.find('\n') == std::string::npos && std::chrono::steady_clock::now() < deadline) {
        pollfd pfd{fds[0], POLLIN, 0};
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (::poll(&pfd, 1, static_cast<int>(std::max<long long>(left.count(), 0))) <= 0) {
            break;
        }
        char buf[32];
        const ssize_t n = ::read(fds[0], buf, sizeof buf);
        if (n <= 0) {
            break; // Xvfb ended without a display
        }
        number.append(buf, static_cast<size_t>(n));
    }
    ::close(fds[0]);
    if (number.find('\n') == std::string::npos) {
        error_ = "Xvfb did not report a display: " + tail(log);
        return false;
    }
    display_ = std::atoi(number.c_str());
    assign(environment_, {"DISPLAY=" + display()});
    return true;
}

bool Desktop::startWayland() {
    // No animations, panel or clock, so what a screenshot shows does not depend on when it is taken.
    const std::filesystem::path config = root_ / "weston.ini";
    {
        std::ofstream ini(config);
        ini << "[core]\nidle-time=0\n\n[shell]\nstartup-animation=none\nanimation=none\nclose-animation="
               "none\n"
               "focus-animation=none\npanel-position=none\nbackground-color=0xff1e2024\n";
    }
    // Pixman draws the output (the headless default draws nothing); --debug lets weston-screenshooter
    // photograph it.
    const std::string socket = "wayland-tarvik";
    start(which("weston"), {"--backend=headless-backend.so", "--use-pixman", "--socket=" + socket,
                            "--config=" + config.string(), "--width=" + std::to_string(options_.width),
                            "--height=" + std::to_string(options_.height), "--debug"});
    const std::filesystem::path path = root_ / "run" / socket;
    const bool up = waitUntil([&] { return std::filesystem::exists(path); }, 10s, 20ms);
    if (!up) {
        error_ = "weston did not come up: " + tail(root_ / ("weston-" + std::to_string(logs_) + ".log"));
        return false;
    }
    assign(environment_, {"WAYLAND_DISPLAY=" + socket, "QT_QPA_PLATFORM=wayland"});
    return true;
}

bool Desktop::startWindowManager() {
    // The system's own configuration, Print Screen binding included: the program's keyboard grab takes
    // the key from the window manager while the key dialog captures.
    start(which("openbox"), {"--sm-disable"});
    const bool up = waitUntil(
        [&] {
            return x("xprop", {"-root", "_NET_SUPPORTING_WM_CHECK"}).output.find("window id") !=
                   std::string::npos;
        },
        10s, 20ms);
    if (!up) {
        error_ = "openbox did not come up";
    }
    return up;
}

bool Desktop::startTrayHost() {
    start(which("trayer"),
          {"--edge", "top", "--align", "right", "--widthtype", "request", "--height", "28", "--SetDockType",
           "true", "--transparent", "false", "--tint", "0x202226", "--expand", "true"});
    const bool up = waitUntil(
        [&] {
            return x("xdotool", {"search", "--class", "trayer"}).exitCode == 0;
        },
        10s, 20ms);
    if (!up) {
        error_ = "trayer did not come up";
    }
    return up;
}

bool Desktop::startSessionBus() {
    // The bus has no tray watcher, so the program's tray icon stays an XEmbed icon in trayer.
    const std::filesystem::path socket = root_ / "run" / "bus";
    const std::string address = "unix:path=" + socket.string();
    start(which("dbus-daemon"), {"--session", "--nofork", "--nopidfile", "--address=" + address});
    assign(environment_, {"DBUS_SESSION_BUS_ADDRESS=" + address});
    const bool up = waitUntil(
        [&] {
            return run(which("dbus-send"),
                       {"--session", "--dest=org.freedesktop.DBus", "--print-reply", "/org/freedesktop/DBus",
                        "org.freedesktop.DBus.GetId"},
                       5s)
                       .exitCode == 0;
        },
        10s, 20ms);
    if (!up) {
        error_ = "dbus-daemon did not answer";
    }
    return up;
}

bool Desktop::startVirtualKeyboard() {
    const std::filesystem::path state = root_ / "sim-keyboard.bin";
    const std::filesystem::path server = programFolder_ / "portmux-sim";
    if (!options_.virtualKeyboardServer || ::access(server.c_str(), X_OK) != 0) {
        // Each process runs the keyboard itself; they share its flash through the state file.
        assign(environment_, {"PORTMUX_SIM_STATE=" + state.string()});
        return true;
    }
    const std::filesystem::path socket = root_ / "run" / "portmux" / "sim.sock";
    assign(environment_, {"PORTMUX_SIM_SOCKET=" + socket.string(), "PORTMUX_SIM_STATE=" + state.string()});
    start(server, {"serve", "--state", state.string(), "--socket", socket.string()});
    simServer_ = true;
    const bool up = waitUntil([&] { return portmuxSim({"status", "--json"}).exitCode == 0; }, 10s, 20ms);
    if (!up) {
        error_ = "portmux-sim serve did not answer";
    }
    return up;
}

std::optional<WindowId> Desktop::findWindow(const std::string& namePattern,
                                            std::chrono::milliseconds timeout) const {
    std::optional<WindowId> found;
    waitUntil(
        [&] {
            const RunOutcome r = x("xdotool", {"search", "--onlyvisible", "--name", namePattern});
            if (r.exitCode != 0) {
                return false;
            }
            const unsigned long id = std::strtoul(r.output.c_str(), nullptr, 10);
            if (id == 0) {
                return false;
            }
            found = static_cast<WindowId>(id);
            return true;
        },
        timeout, 50ms);
    return found;
}

bool Desktop::isViewable(WindowId window) const {
    const RunOutcome r = x("xwininfo", {"-id", std::to_string(window)});
    return r.exitCode == 0 && r.output.find("Map State: IsViewable") != std::string::npos;
}

std::vector<WindowInfo> Desktop::windowsOf(pid_t pid) const {
    std::vector<WindowInfo> out;
    // Every window the tray host holds (Qt marks all its windows as XEmbed clients, so that mark does
    // not tell the icon).
    std::set<unsigned long> inTray;
    std::stringstream hosts(x("xdotool", {"search", "--class", "trayer"}).output);
    unsigned long host = 0;
    while (hosts >> host) {
        std::stringstream tree(x("xwininfo", {"-tree", "-id", std::to_string(host)}).output);
        std::string line;
        while (std::getline(tree, line)) {
            // "     0x600006 "tarvik": ..." for each window below the host, indented by depth.
            const size_t at = line.find_first_not_of(' ');
            if (at != std::string::npos && at > 0 && line.compare(at, 2, "0x") == 0) {
                inTray.insert(std::strtoul(line.c_str() + at, nullptr, 16));
            }
        }
    }
    const RunOutcome found = x("xdotool", {"search", "--pid", std::to_string(pid)});
    std::stringstream ids(found.output);
    unsigned long id = 0;
    while (ids >> id) {
        WindowInfo w;
        w.id = static_cast<WindowId>(id);
        const RunOutcome info = x("xwininfo", {"-id", std::to_string(w.id)});
        if (info.exitCode != 0) {
            continue; // gone meanwhile
        }
        w.viewable = info.output.find("Map State: IsViewable") != std::string::npos;
        w.overrideRedirect = info.output.find("Override Redirect State: yes") != std::string::npos;
        w.embedded = inTray.count(id) != 0;
        w.place =
            ScreenRect{field(info.output, "Absolute upper-left X:").value_or(0),
                       field(info.output, "Absolute upper-left Y:").value_or(0),
                       field(info.output, "Width:").value_or(0), field(info.output, "Height:").value_or(0)};
        const std::string type = x("xprop", {"-id", std::to_string(w.id), "_NET_WM_WINDOW_TYPE"}).output;
        const std::string label = "_NET_WM_WINDOW_TYPE(ATOM) = ";
        if (type.rfind(label, 0) == 0) {
            w.type = type.substr(label.size(), type.find('\n') - label.size());
        }
        std::string name = x("xdotool", {"getwindowname", std::to_string(w.id)}).output;
        while (!name.empty() && (name.back() == '\n' || name.back() == '\r')) {
            name.pop_back();
        }
        w.name = name;
        out.push_back(std::move(w));
    }
    return out;
}

std::optional<WindowInfo> Desktop::trayIconOf(pid_t pid, std::chrono::milliseconds timeout) const {
    std::optional<WindowInfo> icon;
    waitUntil(
        [&] {
            for (const WindowInfo& w : windowsOf(pid)) {
                if (w.embedded && w.viewable && w.place.w > 0 && w.place.h > 0) {
                    icon = w;
                    return true;
                }
            }
            return false;
        },
        timeout, 50ms);
    return icon;
}

bool Desktop::waitViewable(WindowId window, std::chrono::milliseconds timeout) const {
    return waitUntil([&] { return isViewable(window); }, timeout, 50ms);
}

bool Desktop::waitHidden(WindowId window, std::chrono::milliseconds timeout) const {
    return waitUntil([&] { return !isViewable(window); }, timeout, 50ms);
}

std::optional<ScreenRect> Desktop::geometry(WindowId window) const {
    const RunOutcome r = x("xwininfo", {"-id", std::to_string(window)});
    const auto left = field(r.output, "Absolute upper-left X:");
    const auto top = field(r.output, "Absolute upper-left Y:");
    const auto width = field(r.output, "Width:");
    const auto height = field(r.output, "Height:");
    if (r.exitCode != 0 || !left || !top || !width || !height) {
        return std::nullopt;
    }
    return ScreenRect{*left, *top, *width, *height};
}

bool Desktop::activate(WindowId window) const {
    x("xdotool", {"windowactivate", "--sync", std::to_string(window)});
    return waitUntil(
        [&] {
            const RunOutcome r = x("xdotool", {"getactivewindow"});
            return r.exitCode == 0 && std::strtoul(r.output.c_str(), nullptr, 10) == window;
        },
        5s, 20ms);
}

bool Desktop::clickAt(WindowId window, const std::filesystem::path& layoutFile, std::string_view key,
                      int button) const {
    const auto place = geometry(window);
    if (!place) {
        return false;
    }
    const IniFile layout = IniFile::load(layoutFile);
    const ui::SkinRect r = ui::readSkinRect(layout, toUtf16(std::string(key)));
    // A window shown smaller than its skin (fitted to a small screen) is scaled as a whole.
    double sx = 1.0, sy = 1.0;
    const std::filesystem::path background =
        layoutFile.parent_path() / toUtf8(layout.get(u"SCREEN", u"Main"));
    const QSize skin = QImageReader(QString::fromStdString(background.string())).size();
    if (skin.isValid() && skin.width() > 0 && skin.height() > 0) {
        sx = static_cast<double>(place->w) / skin.width();
        sy = static_cast<double>(place->h) / skin.height();
    }
    const int cx = place->x + static_cast<int>((r.x + r.w / 2.0) * sx);
    const int cy = place->y + static_cast<int>((r.y + r.h / 2.0) * sy);
    return clickAtPoint(cx, cy, button);
}

std::vector<std::string> Desktop::moveTo(int px, int py) const {
    // "mousemove --sync" waits for the pointer to move: to where it already is, it would wait for ever.
    const RunOutcome r = x("xdotool", {"getmouselocation", "--shell"});
    const std::string at = "X=" + std::to_string(px) + "\nY=" + std::to_string(py) + "\n";
    if (r.exitCode == 0 && r.output.rfind(at, 0) == 0) {
        return {};
    }
    return {"mousemove", "--sync", std::to_string(px), std::to_string(py)};
}

bool Desktop::clickAtPoint(int px, int py, int button) const {
    std::vector<std::string> args = moveTo(px, py);
    args.insert(args.end(), {"click", std::to_string(button)});
    return x("xdotool", args).exitCode == 0;
}

bool Desktop::doubleClickAtPoint(int px, int py) const {
    // One command, so the two clicks are as close as a hand makes them whatever the machine's load.
    std::vector<std::string> args = moveTo(px, py);
    args.insert(args.end(), {"click", "--repeat", "2", "--delay", "80", "1"});
    return x("xdotool", args).exitCode == 0;
}

bool Desktop::pressAt(int px, int py, int button) const {
    std::vector<std::string> args = moveTo(px, py);
    args.insert(args.end(), {"mousedown", std::to_string(button)});
    return x("xdotool", args).exitCode == 0;
}

bool Desktop::releaseAt(int px, int py, int button) const {
    std::vector<std::string> args = moveTo(px, py);
    args.insert(args.end(), {"mouseup", std::to_string(button)});
    return x("xdotool", args).exitCode == 0;
}

bool Desktop::movePointer(int px, int py) const {
    const std::vector<std::string> args = moveTo(px, py);
    return args.empty() || x("xdotool", args).exitCode == 0;
}

bool Desktop::key(const std::vector<std::string>& keysyms) const {
    std::vector<std::string> args{"key", "--clearmodifiers", "--delay", "30"};
    args.insert(args.end(), keysyms.begin(), keysyms.end());
    return x("xdotool", args).exitCode == 0;
}

bool Desktop::type(const std::string& text) const {
    return x("xdotool", {"type", "--clearmodifiers", "--delay", "30", text}).exitCode == 0;
}

bool Desktop::screenshot(const std::filesystem::path& file) {
    if (!options_.wayland) {
        const RunOutcome r = x("import", {"-silent", "-window", "root", file.string()});
        return r.exitCode == 0 && std::filesystem::exists(file);
    }
    // The screenshooter writes wayland-screenshot-<time>.png into its working folder.
    const std::filesystem::path folder = root_ / ("shot-" + std::to_string(++grabs_));
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    runToEnd(which("weston-screenshooter"), {}, environment_, root_, 10s, folder);
    for (const auto& entry : std::filesystem::directory_iterator(folder, ec)) {
        if (entry.path().extension() == ".png") {
            std::filesystem::rename(entry.path(), file, ec);
            return !ec;
        }
    }
    return false;
}

std::filesystem::path Desktop::step(const std::string& what) {
    char number[16];
    std::snprintf(number, sizeof number, "%02d", ++steps_);
    const std::filesystem::path file =
        shotFolder_ / (scenario_ + "-" + number + "-" + safeName(what) + ".png");
    return screenshot(file) ? file : std::filesystem::path();
}

std::filesystem::path Desktop::grab() {
    const std::filesystem::path file = root_ / ("grab-" + std::to_string(++grabs_) + ".png");
    return screenshot(file) ? file : std::filesystem::path();
}

std::filesystem::path Desktop::shotOfWindow(WindowId window, const std::string& name) const {
    const std::filesystem::path file = shotFolder_ / (safeName(name) + ".png");
    const RunOutcome r = x("import", {"-silent", "-window", std::to_string(window), file.string()});
    return r.exitCode == 0 && std::filesystem::exists(file) ? file : std::filesystem::path();
}

} // namespace tarvik::e2e
