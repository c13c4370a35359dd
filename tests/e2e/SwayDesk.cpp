#include "tests/e2e/SwayDesk.h"

#include "tests/e2e/DeskTools.h"

#include "TestPaths.h"

#include <QString>

#include <nlohmann/json.hpp>

#include <cctype>
#include <fstream>
#include <regex>
#include <sstream>

namespace tarvik::e2e {

namespace {

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
    : scenario_(safeName(scenario)), options_(options), shotFolder_(TARVIK_E2E_SHOT_DIR),
      wlinput_(std::filesystem::path(TARVIK_E2E_SHOT_DIR).parent_path() / "tests" / "wlinput"),
      session_("sway", {wlinput_}) {
    std::error_code ec;
    std::filesystem::create_directories(shotFolder_, ec);
    if (!session_.ok()) {
        return;
    }
    wlinput_ = session_.helper(wlinput_);
    const std::filesystem::path& root = session_.root();
    session_.setEnvironment({
        // No software GPU, no input devices, no X server inside the compositor.
        "WLR_BACKENDS=headless",
        "WLR_RENDERER=pixman",
        "WLR_LIBINPUT_NO_DEVICES=1",
        "WAYLAND_DISPLAY=wayland-1",
    });

    const std::filesystem::path config = root / "sway.config";
    {
        const int w = options_.width * options_.scale, h = options_.height * options_.scale;
        std::ofstream out(config);
        out << "output HEADLESS-1 resolution " << w << "x" << h << " scale " << options_.scale << "\n"
            << "xwayland disable\ndefault_border none\ndefault_floating_border none\nfocus_follows_mouse no\n"
            // The desktop's own use of two keys, which a capture must take from it.
            << "bindsym --release Super_L exec touch " << (root / "super-taken").string() << "\n"
            << "bindsym Print exec touch " << (root / "print-taken").string() << "\n"
            << "bindsym Mod1+Tab exec touch " << (root / "alt-tab-taken").string() << "\n"
            << "bindsym Ctrl+Mod1+Left exec touch " << (root / "ctrl-alt-left-taken").string() << "\n";
    }
    const std::filesystem::path bar = root / "waybar.json";
    const std::filesystem::path style = root / "waybar.css";
    std::ofstream(bar) << "{\"layer\": \"top\", \"position\": \"top\", \"height\": " << kBarHeight
                       << ", \"modules-left\": [], \"modules-center\": [\"tray\"], \"modules-right\": [], "
                          "\"tray\": {\"icon-size\": 22, \"spacing\": 4}}\n";
    std::ofstream(style) << "* { font-family: sans-serif; font-size: 12px; min-height: 0; }\n"
                            "window#waybar { background: #30343a; }\n";

    const std::filesystem::path wayland = session_.runtime() / "wayland-1";
    if (!session_.startPart("sway", which("sway"), {"-c", config.string()},
                            [&] { return std::filesystem::exists(wayland) && !swaySocket().empty(); })) {
        return;
    }
    session_.setEnvironment({"SWAYSOCK=" + swaySocket()});
    if (!session_.startSessionBus()) {
        return;
    }
    // Our pointer and keyboard, kept for the desk's life: a seat without a pointer gives no client one.
    if (!session_.startPart(
            "wlinput", wlinput_,
            {"--size", std::to_string(options_.width), std::to_string(options_.height), "hold"}, [&] {
                return swaymsg({"-t", "get_inputs"}).output.find("\"type\": \"pointer\"") !=
                       std::string::npos;
            })) {
        return;
    }
    if (!session_.startPart("waybar", which("waybar"), {"-c", bar.string(), "-s", style.string()}, [&] {
            // Qt chooses the StatusNotifier road only when a host has registered with the watcher.
            return run(which("gdbus"),
                       {"call", "--session", "--dest", "org.kde.StatusNotifierWatcher", "--object-path",
                        "/StatusNotifierWatcher", "--method", "org.freedesktop.DBus.Properties.Get",
                        "org.kde.StatusNotifierWatcher", "IsStatusNotifierHostRegistered"})
                       .output.find("true") != std::string::npos;
        })) {
        return;
    }
    session_.startVirtualKeyboard();
}

SwayDesk::~SwayDesk() = default;

std::string SwayDesk::swaySocket() const {
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(session_.runtime(), ec)) {
        const std::string name = entry.path().filename().string();
        if (name.rfind("sway-ipc.", 0) == 0) {
            return entry.path().string();
        }
    }
    return {};
}

Process& SwayDesk::startProgram(const std::string& name, const std::vector<std::string>& args,
                                const std::vector<std::string>& extraEnv) {
    return session_.start(programFolder() / name, args, extraEnv);
}

RunOutcome SwayDesk::run(const std::filesystem::path& program, const std::vector<std::string>& args,
                         std::chrono::milliseconds timeout) const {
    return session_.run(program, args, timeout);
}

RunOutcome SwayDesk::portmuxSim(const std::vector<std::string>& args) const {
    return session_.portmuxSim(args);
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
    const auto at = controlCentre(window.place, layoutFile, key);
    return at && click(*at);
}

bool SwayDesk::chord(const std::vector<int>& codes) const {
    return input(chordArguments(codes)).exitCode == 0;
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
    const std::filesystem::path taken = session_.root() / "picture.png";
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
    const std::filesystem::path taken = session_.root() / "shot.png";
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
