#include "tests/e2e/SwayDesk.h"

#include "tests/e2e/DeskTools.h"

#include "TestPaths.h"
#include "platform/IniFile.h"
#include "platform/Utf.h"
#include "ui/SkinRect.h"

#include <QString>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <pwd.h>
#include <regex>
#include <sstream>
#include <unistd.h>

namespace tarvik::e2e {

namespace {

constexpr const char* kUser = "tarvik-e2e";
constexpr int kBarHeight = 30;

void collectWindows(const nlohmann::json& node, std::vector<SwayWindow>& out) {
    if (node.contains("pid") && node["pid"].is_number() && node.value("visible", false)) {
        SwayWindow w;
        w.id = node.value("id", 0L);
        w.title = node["name"].is_string() ? node["name"].get<std::string>() : std::string();
        w.appId = node["app_id"].is_string() ? node["app_id"].get<std::string>() : std::string();
        w.pid = node["pid"].get<pid_t>();
        w.focused = node.value("focused", false);
        const nlohmann::json& r = node["rect"];
        w.place = ScreenRect{r.value("x", 0), r.value("y", 0), r.value("width", 0), r.value("height", 0)};
        out.push_back(w);
    }
    for (const char* children : {"nodes", "floating_nodes"}) {
        if (node.contains(children)) {
            for (const nlohmann::json& child : node[children]) {
                collectWindows(child, out);
            }
        }
    }
}

} // namespace

SwayDesk::SwayDesk(std::string scenario, SwayOptions options)
    : scenario_(safeName(scenario)), options_(options) {
    const char* bin = std::getenv("TARVIK_BIN_DIR");
    programFolder_ = bin != nullptr && bin[0] != '\0' ? bin : TARVIK_TEST_BIN_DIR;
    shotFolder_ = TARVIK_E2E_SHOT_DIR;
    wlinput_ = std::filesystem::path(TARVIK_E2E_SHOT_DIR).parent_path() / "tests" / "wlinput";
    std::error_code ec;
    std::filesystem::create_directories(shotFolder_, ec);

    switchUser_ = ::getuid() == 0;
    uid_ = ::getuid();
    gid_ = ::getgid();
    if (switchUser_ && !createUser()) {
        return;
    }
    char tmpl[] = "/tmp/tarvik-sway-XXXXXX";
    if (::mkdtemp(tmpl) == nullptr) {
        error_ = std::string("cannot create a temporary folder: ") + std::strerror(errno);
        return;
    }
    root_ = tmpl;
    home_ = root_ / "home";
    runtime_ = root_ / "run";
    for (const auto& folder : {home_ / ".config", home_ / "Documents", runtime_}) {
        std::filesystem::create_directories(folder, ec);
    }
    ::chmod(runtime_.c_str(), 0700);
    // The desk's user owns its folders (the program folder only needs to be readable).
    for (const auto& folder : {root_, home_, home_ / ".config", home_ / "Documents", runtime_}) {
        if (::chown(folder.c_str(), uid_, gid_) != 0) {
            error_ = "cannot give " + folder.string() + " to the desk's user";
            return;
        }
    }

    if (switchUser_ && !copyProgramFolder()) {
        return;
    }

    environment_ = environmentWithoutDesk();
    const std::filesystem::path state = root_ / "sim-keyboard.bin";
    assign(environment_, {
                             "HOME=" + home_.string(),
                             "USER=" + std::string(switchUser_ ? kUser : ""),
                             "XDG_CONFIG_HOME=" + (home_ / ".config").string(),
                             "XDG_STATE_HOME=" + (home_ / ".local/state").string(),
                             "XDG_DATA_HOME=" + (home_ / ".local/share").string(),
                             "XDG_CACHE_HOME=" + (home_ / ".cache").string(),
                             "XDG_RUNTIME_DIR=" + runtime_.string(),
                             "TARVIK_BIN_DIR=" + programFolder_.string(),
                             "DBUS_SESSION_BUS_ADDRESS=unix:path=" + (runtime_ / "bus").string(),
                             // No software GPU, no input devices, no X server inside the compositor.
                             "WLR_BACKENDS=headless",
                             "WLR_RENDERER=pixman",
                             "WLR_LIBINPUT_NO_DEVICES=1",
                             "WAYLAND_DISPLAY=wayland-1",
                             "QT_QPA_PLATFORM=wayland",
                             "QT_ACCESSIBILITY=0",
                             "NO_AT_BRIDGE=1",
                             "GTK_A11Y=none",
                             "PORTMUX_BACKEND=sim",
                             "PORTMUX_SIM_SOCKET=" + (runtime_ / "portmux" / "sim.sock").string(),
                             "PORTMUX_SIM_STATE=" + state.string(),
                             "TARVIK_NAMED_EVENT_PREFIX=/TarvikSway" + std::to_string(::getpid()) + "_",
                         });

    const std::filesystem::path config = root_ / "sway.config";
    {
        const int w = options_.width * options_.scale, h = options_.height * options_.scale;
        std::ofstream out(config);
        out << "output HEADLESS-1 resolution " << w << "x" << h << " scale " << options_.scale << "\n"
            << "xwayland disable\ndefault_border none\ndefault_floating_border none\nfocus_follows_mouse no\n"
            // The desktop's own use of two keys, which a capture must take from it.
            << "bindsym --release Super_L exec touch " << (root_ / "super-taken").string() << "\n"
            << "bindsym Print exec touch " << (root_ / "print-taken").string() << "\n"
            << "bindsym Mod1+Tab exec touch " << (root_ / "alt-tab-taken").string() << "\n"
            << "bindsym Ctrl+Mod1+Left exec touch " << (root_ / "ctrl-alt-left-taken").string() << "\n";
    }
    const std::filesystem::path bar = root_ / "waybar.json";
    const std::filesystem::path style = root_ / "waybar.css";
    std::ofstream(bar) << "{\"layer\": \"top\", \"position\": \"top\", \"height\": " << kBarHeight
                       << ", \"modules-left\": [], \"modules-center\": [\"tray\"], \"modules-right\": [], "
                          "\"tray\": {\"icon-size\": 22, \"spacing\": 4}}\n";
    std::ofstream(style) << "* { font-family: sans-serif; font-size: 12px; min-height: 0; }\n"
                            "window#waybar { background: #30343a; }\n";

    const std::filesystem::path wayland = runtime_ / "wayland-1";
    if (!startPart("sway", which("sway"), {"-c", config.string()},
                   [&] { return std::filesystem::exists(wayland) && !swaySocket().empty(); })) {
        return;
    }
    assign(environment_, {"SWAYSOCK=" + swaySocket()});
    if (!startPart("dbus-daemon", which("dbus-daemon"),
                   {"--session", "--nofork", "--address=unix:path=" + (runtime_ / "bus").string()},
                   [&] { return std::filesystem::exists(runtime_ / "bus"); })) {
        return;
    }
    // Our pointer and keyboard, kept for the desk's life: a seat without a pointer gives no client one.
    if (!startPart("wlinput", wlinput_,
                   {"--size", std::to_string(options_.width), std::to_string(options_.height), "hold"}, [&] {
                       return swaymsg({"-t", "get_inputs"}).output.find("\"type\": \"pointer\"") !=
                              std::string::npos;
                   })) {
        return;
    }
    if (!startPart("waybar", which("waybar"), {"-c", bar.string(), "-s", style.string()}, [&] {
            // Qt chooses the StatusNotifier road only when a host has registered with the watcher.
            return run(which("gdbus"),
                       {"call", "--session", "--dest", "org.kde.StatusNotifierWatcher", "--object-path",
                        "/StatusNotifierWatcher", "--method", "org.freedesktop.DBus.Properties.Get",
                        "org.kde.StatusNotifierWatcher", "IsStatusNotifierHostRegistered"})
                       .output.find("true") != std::string::npos;
        })) {
        return;
    }
    const std::filesystem::path server = programFolder_ / "portmux-sim";
    startPart("portmux-sim", server,
              {"serve", "--state", state.string(), "--socket", (runtime_ / "portmux" / "sim.sock").string()},
              [&] {
                  return portmuxSim({"status", "--json"}).exitCode == 0;
              });
}

SwayDesk::~SwayDesk() {
    while (!processes_.empty()) {
        Process& p = processes_.back();
        if (!p.end()) {
            std::cerr << "e2e: " << p.name() << " (process " << p.pid() << ") did not end\n";
        }
        processes_.pop_back();
    }
    if (root_.empty()) {
        return;
    }
    if (::testing::Test::HasFailure() || ::testing::UnitTest::GetInstance()->failed_test_count() > 0) {
        std::cerr << "e2e: the desk's home, logs and state are kept in " << root_ << "\n";
        return;
    }
    std::error_code ec;
    std::filesystem::remove_all(root_, ec);
}

bool SwayDesk::createUser() {
    if (passwd* pw = ::getpwnam(kUser)) {
        uid_ = pw->pw_uid;
        gid_ = pw->pw_gid;
        return true;
    }
    const RunOutcome made = runToEnd(which("useradd"),
                                     {"--system", "--user-group", "--no-create-home", "--home-dir",
                                      "/nonexistent", "--shell", "/usr/sbin/nologin", kUser},
                                     {"PATH=/usr/sbin:/usr/bin:/sbin:/bin"}, "/tmp", 20s);
    passwd* pw = ::getpwnam(kUser);
    if (pw == nullptr) {
        error_ = "cannot create the user " + std::string(kUser) + ": " + made.output;
        return false;
    }
    uid_ = pw->pw_uid;
    gid_ = pw->pw_gid;
    return true;
}

bool SwayDesk::copyProgramFolder() {
    // The build tree may lie where the desk's user cannot reach (a root-only home): the programs run
    // from a folder of the desk, hard-linked where the file system allows; the files a program writes
    // into (its .ini files) are the user's own copies.
    const std::filesystem::path to = root_ / "bin";
    std::error_code ec;
    std::filesystem::create_directories(to, ec);
    auto own = [&](const std::filesystem::path& p) { return ::chown(p.c_str(), uid_, gid_) == 0; };
    bool ok = own(to);
    auto place = [&](const std::filesystem::path& from, const std::filesystem::path& target) {
        std::error_code fileEc;
        if (from.extension() == ".ini") {
            std::filesystem::copy_file(from, target, fileEc);
            ok = ok && !fileEc && own(target);
            return;
        }
        std::filesystem::create_hard_link(from, target, fileEc);
        if (fileEc) {
            fileEc.clear();
            std::filesystem::copy_file(from, target, fileEc);
        }
        ok = ok && !fileEc;
    };
    for (auto it = std::filesystem::recursive_directory_iterator(programFolder_, ec);
         ok && !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
        const std::filesystem::path target = to / std::filesystem::relative(it->path(), programFolder_);
        if (it->is_directory()) {
            std::filesystem::create_directories(target, ec);
            ok = ok && own(target);
        } else {
            place(it->path(), target);
        }
    }
    place(wlinput_, to / "wlinput");
    if (!ok || ec) {
        error_ = "cannot copy the program folder to " + to.string();
        return false;
    }
    programFolder_ = to;
    wlinput_ = to / "wlinput";
    return true;
}

std::string SwayDesk::swaySocket() const {
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(runtime_, ec)) {
        const std::string name = entry.path().filename().string();
        if (name.rfind("sway-ipc.", 0) == 0) {
            return entry.path().string();
        }
    }
    return {};
}

std::vector<std::string> SwayDesk::asUser(const std::filesystem::path& program,
                                          const std::vector<std::string>& args) const {
    std::vector<std::string> argv;
    if (switchUser_) {
        // The parent-death signal is set after the switch, which clears one set before it.
        argv = {"--reuid=" + std::to_string(uid_),
                "--regid=" + std::to_string(gid_),
                "--clear-groups",
                "--pdeathsig",
                "SIGKILL",
                "--"};
    }
    argv.push_back(program.string());
    argv.insert(argv.end(), args.begin(), args.end());
    return argv;
}

Process& SwayDesk::start(const std::filesystem::path& program, const std::vector<std::string>& args,
                         const std::vector<std::string>& extraEnv) {
    const std::filesystem::path log =
        root_ / (program.filename().string() + "-" + std::to_string(++logs_) + ".log");
    std::vector<std::string> env = environment_;
    assign(env, extraEnv);
    std::vector<std::string> argv = asUser(program, args);
    if (!switchUser_) {
        argv.erase(argv.begin());
        processes_.emplace_back(program, argv, Process::Options{env, log, -1, {}});
    } else {
        processes_.emplace_back(which("setpriv"), argv, Process::Options{env, log, -1, {}});
    }
    return processes_.back();
}

bool SwayDesk::startPart(const std::string& what, const std::filesystem::path& program,
                         const std::vector<std::string>& args, const std::function<bool()>& up) {
    const int log = logs_ + 1;
    Process& p = start(program, args);
    if (!p.running() || !waitUntil(up, 15s, 50ms)) {
        error_ = what + " did not come up: " +
                 tail(root_ / (program.filename().string() + "-" + std::to_string(log) + ".log"));
        return false;
    }
    return true;
}

Process& SwayDesk::startProgram(const std::string& name, const std::vector<std::string>& args,
                                const std::vector<std::string>& extraEnv) {
    return start(programFolder_ / name, args, extraEnv);
}

RunOutcome SwayDesk::run(const std::filesystem::path& program, const std::vector<std::string>& args,
                         std::chrono::milliseconds timeout) const {
    if (!switchUser_) {
        return runToEnd(program, args, environment_, root_, timeout);
    }
    return runToEnd(which("setpriv"), asUser(program, args), environment_, root_, timeout);
}

RunOutcome SwayDesk::portmuxSim(const std::vector<std::string>& args) const {
    return run(programFolder_ / "portmux-sim", args);
}

RunOutcome SwayDesk::swaymsg(const std::vector<std::string>& args) const {
    return run(which("swaymsg"), args, 10s);
}

RunOutcome SwayDesk::input(const std::vector<std::string>& args) const {
    std::vector<std::string> all = {"--size", std::to_string(options_.width),
                                    std::to_string(options_.height)};
    all.insert(all.end(), args.begin(), args.end());
    return run(wlinput_, all, 10s);
}

std::vector<SwayWindow> SwayDesk::windows() const {
    std::vector<SwayWindow> out;
    const RunOutcome r = swaymsg({"-r", "-t", "get_tree"});
    const nlohmann::json tree = nlohmann::json::parse(r.output, nullptr, false);
    if (r.exitCode == 0 && !tree.is_discarded()) {
        collectWindows(tree, out);
    }
    return out;
}

std::optional<SwayWindow> SwayDesk::findWindow(const std::string& titlePattern,
                                               std::chrono::milliseconds timeout) const {
    const std::regex pattern(titlePattern, std::regex::extended);
    std::optional<SwayWindow> found;
    waitUntil(
        [&] {
            for (const SwayWindow& w : windows()) {
                if (std::regex_search(w.title, pattern)) {
                    found = w;
                    return true;
                }
            }
            return false;
        },
        timeout, 50ms);
    return found;
}

std::vector<std::string> SwayDesk::trayItems() const {
    const RunOutcome r =
        run(which("gdbus"), {"call", "--session", "--dest", "org.kde.StatusNotifierWatcher", "--object-path",
                             "/StatusNotifierWatcher", "--method", "org.freedesktop.DBus.Properties.Get",
                             "org.kde.StatusNotifierWatcher", "RegisteredStatusNotifierItems"});
    // (<['bus-name/path', ...]>,)
    std::vector<std::string> items;
    const std::regex item("'([^']+)'");
    for (auto it = std::sregex_iterator(r.output.begin(), r.output.end(), item); it != std::sregex_iterator();
         ++it) {
        items.push_back((*it)[1]);
    }
    return items;
}

ScreenPoint SwayDesk::trayIconPlace() const {
    return ScreenPoint{options_.width / 2, kBarHeight / 2};
}

bool SwayDesk::activateTrayItem(const std::string& item) const {
    const size_t slash = item.find('/');
    if (slash == std::string::npos) {
        return false;
    }
    return run(which("gdbus"),
               {"call", "--session", "--dest", item.substr(0, slash), "--object-path", item.substr(slash),
                "--method", "org.kde.StatusNotifierItem.Activate", "0", "0"})
               .exitCode == 0;
}

bool SwayDesk::click(ScreenPoint at) const {
    return input({"click", std::to_string(at.x), std::to_string(at.y)}).exitCode == 0;
}

bool SwayDesk::clickAt(const SwayWindow& window, const std::filesystem::path& layoutFile,
                       std::string_view key) const {
    const IniFile layout = IniFile::load(layoutFile);
    const ui::SkinRect r = ui::readSkinRect(layout, toUtf16(std::string(key)));
    if (r.w <= 0 || r.h <= 0) {
        return false;
    }
    return click(ScreenPoint{window.place.x + r.x + r.w / 2, window.place.y + r.y + r.h / 2});
}

bool SwayDesk::chord(const std::vector<int>& codes) const {
    std::vector<std::string> args = {"chord"};
    for (int c : codes) {
        args.push_back(std::to_string(c));
    }
    return input(args).exitCode == 0;
}

bool SwayDesk::setScale(int scale) {
    const std::string size =
        std::to_string(options_.width * scale) + "x" + std::to_string(options_.height * scale);
    const bool done =
        swaymsg({"output", "HEADLESS-1", "resolution", size, "scale", std::to_string(scale)}).exitCode == 0;
    if (done) {
        options_.scale = scale;
    }
    return done;
}

QImage SwayDesk::picture() const {
    const std::filesystem::path taken = root_ / "picture.png";
    std::error_code ec;
    std::filesystem::remove(taken, ec);
    if (run(which("grim"), {taken.string()}, 20s).exitCode != 0) {
        return {};
    }
    return QImage(QString::fromStdString(taken.string()));
}

bool SwayDesk::waitUntilDrawn(const QImage& before, const ScreenRect& area,
                              std::chrono::milliseconds timeout) const {
    const QRect pixels(area.x * options_.scale, area.y * options_.scale, area.w * options_.scale,
                       area.h * options_.scale);
    if (before.isNull()) {
        return false;
    }
    const QImage old = before.copy(pixels);
    return waitUntil(
        [&] {
            const QImage now = picture();
            return !now.isNull() && now.size() == before.size() && now.copy(pixels) != old;
        },
        timeout, 100ms);
}

void SwayDesk::setScenario(const std::string& scenario) {
    scenario_ = safeName(scenario);
    steps_ = 0;
}

std::filesystem::path SwayDesk::step(const std::string& what) {
    char number[16];
    std::snprintf(number, sizeof number, "%02d", ++steps_);
    // grim writes as the desk's user, into the desk's folder; the picture is then kept in build/e2e.
    const std::filesystem::path taken = root_ / "shot.png";
    std::error_code ec;
    std::filesystem::remove(taken, ec);
    if (run(which("grim"), {taken.string()}, 20s).exitCode != 0) {
        return {};
    }
    const std::filesystem::path file =
        shotFolder_ / (scenario_ + "-" + number + "-" + safeName(what) + ".png");
    std::filesystem::copy_file(taken, file, std::filesystem::copy_options::overwrite_existing, ec);
    return ec ? std::filesystem::path() : file;
}

} // namespace tarvik::e2e
