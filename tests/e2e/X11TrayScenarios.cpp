// The program on X11 with a StatusNotifier host instead of an XEmbed tray: Xvfb and openbox, a session
// bus of the desk's own, and xfce4-panel with its StatusNotifier plugin (which is also the bus's item
// watcher). The program's item registers with the watcher, shows in the panel, carries the tooltip and
// the Open / About / Exit menu, and the host's primary action (Activate) opens the window. Screenshots in
// build/e2e/x11-sni-*.png.
#include "tests/e2e/Desktop.h"

#include <gtest/gtest.h>

#include <fstream>
#include <regex>

namespace tarvik::e2e {
namespace {

// The panel: one StatusNotifier plugin, along the top edge.
constexpr const char* kPanelConfig = R"(<?xml version="1.0" encoding="UTF-8"?>
<channel name="xfce4-panel" version="1.0">
  <property name="configver" type="int" value="2"/>
  <property name="panels" type="array">
    <value type="int" value="1"/>
    <property name="panel-1" type="empty">
      <property name="position" type="string" value="p=6;x=800;y=15"/>
      <property name="length" type="uint" value="100"/>
      <property name="position-locked" type="bool" value="true"/>
      <property name="size" type="uint" value="30"/>
      <property name="plugin-ids" type="array"><value type="int" value="1"/></property>
    </property>
  </property>
  <property name="plugins" type="empty">
    <property name="plugin-1" type="string" value="sntray"/>
  </property>
</channel>
)";

class X11TrayScenarios : public ::testing::Test {
protected:
    void SetUp() override {
        DesktopOptions options;
        options.trayHost = false;
        desk_ = std::make_unique<Desktop>("x11-sni", options);
        ASSERT_TRUE(desk_->ok()) << desk_->error();
        const std::filesystem::path config =
            desk_->home() / ".config" / "xfce4" / "xfconf" / "xfce-perchannel-xml";
        std::filesystem::create_directories(config);
        std::ofstream(config / "xfce4-panel.xml") << kPanelConfig;
        bus_ = "DBUS_SESSION_BUS_ADDRESS=unix:path=" + (desk_->home() / "bus").string();
        desk_->start("/usr/bin/dbus-daemon",
                     {"--session", "--nofork", "--address=" + bus_.substr(bus_.find('=') + 1)});
        ASSERT_TRUE(waitUntil([&] { return std::filesystem::exists(desk_->home() / "bus"); }, 10s));
        desk_->start("/usr/bin/xfce4-panel", {}, {bus_});
        // Qt chooses the StatusNotifier road only when a host has registered with the watcher.
        ASSERT_TRUE(waitUntil(
            [&] {
                return gdbus(watcherProperty("IsStatusNotifierHostRegistered")).find("true") !=
                       std::string::npos;
            },
            15s, 100ms))
            << "the panel's StatusNotifier host did not come up";
    }

    static std::vector<std::string> watcherProperty(const char* name) {
        return {"--dest",
                "org.kde.StatusNotifierWatcher",
                "--object-path",
                "/StatusNotifierWatcher",
                "--method",
                "org.freedesktop.DBus.Properties.Get",
                "org.kde.StatusNotifierWatcher",
                name};
    }
    std::string gdbus(const std::vector<std::string>& args) const {
        std::vector<std::string> env = desk_->environment();
        std::erase_if(env, [](const std::string& e) { return e.rfind("DBUS_SESSION_BUS_ADDRESS=", 0) == 0; });
        env.push_back(bus_);
        std::vector<std::string> all = {"call", "--session"};
        all.insert(all.end(), args.begin(), args.end());
        return runToEnd("/usr/bin/gdbus", all, env, desk_->home(), 10s).output;
    }
    std::string itemProperty(const std::string& item, const char* name) const {
        const size_t slash = item.find('/');
        return gdbus({"--dest", item.substr(0, slash), "--object-path", item.substr(slash), "--method",
                      "org.freedesktop.DBus.Properties.Get", "org.kde.StatusNotifierItem", name});
    }
    std::vector<std::string> items() const {
        const std::string out = gdbus(watcherProperty("RegisteredStatusNotifierItems"));
        std::vector<std::string> found;
        const std::regex item("'([^']+)'");
        for (auto it = std::sregex_iterator(out.begin(), out.end(), item); it != std::sregex_iterator();
             ++it) {
            found.push_back((*it)[1]);
        }
        return found;
    }

    std::unique_ptr<Desktop> desk_;
    std::string bus_;
};

TEST_F(X11TrayScenarios, TheItemShowsInTheHostWithItsTipAndMenuAndActivateOpensTheWindow) {
    Process& app = desk_->startProgram("tarvik", {"/Start"}, {bus_});
    std::vector<std::string> registered;
    // Within D-Bus's 25 s call timeout: a program and a host that wait for each other would take that long.
    ASSERT_TRUE(waitUntil([&] { return !(registered = items()).empty(); }, 15s, 100ms))
        << "the program's item did not register with the panel's watcher";
    const std::string item = registered.front();
    EXPECT_NE(itemProperty(item, "ToolTip").find("Halden Board Q7"), std::string::npos);
    // The menu the host shows: the program's three items.
    std::smatch path;
    const std::string menu = itemProperty(item, "Menu");
    ASSERT_TRUE(std::regex_search(menu, path, std::regex("'(/[^']*)'"))) << menu;
    const std::string menuPath = path[1];
    const std::string layout =
        gdbus({"--dest", item.substr(0, item.find('/')), "--object-path", menuPath, "--method",
               "com.canonical.dbusmenu.GetLayout", "0", "int32 -1", "@as []"});
    for (const char* text : {"Open", "About", "Exit"}) {
        EXPECT_NE(layout.find(text), std::string::npos) << text << " is not in the menu: " << layout;
    }
    desk_->step("item in the panel");

    // Started to the tray: the host's primary action opens the window.
    const std::vector<WindowInfo> before = desk_->windowsOf(app.pid());
    for (const WindowInfo& w : before) {
        EXPECT_FALSE(w.viewable && w.place.w >= 1000) << "a window was open before the activation";
    }
    gdbus({"--dest", item.substr(0, item.find('/')), "--object-path", item.substr(item.find('/')), "--method",
           "org.kde.StatusNotifierItem.Activate", "0", "0"});
    const auto window = desk_->findWindow("^Gaming Keyboard Settings$", 10s);
    ASSERT_TRUE(window) << "Activate opened no window";
    desk_->step("opened by the host");
}

} // namespace
} // namespace tarvik::e2e
