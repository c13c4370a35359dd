// The runner's own scenarios, with a stand-in window instead of the program: the desktop comes up with
// its tray host and virtual keyboard, a click at a skin rectangle and a real key reach the window, the
// screenshots show what is on the screen, and every process ends with the desktop. Also the runner's
// process handling on its own: bounded runs, and an end that does not depend on the program's consent.
#include "TestPaths.h"
#include "platform/IniFile.h"
#include "tests/e2e/Desktop.h"
#include "ui/SkinRect.h"

#include <QImage>
#include <QSet>
#include <QString>

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <fstream>
#include <semaphore.h>
#include <sstream>

namespace tarvik::e2e {
namespace {

const std::filesystem::path kProbe = TARVIK_E2E_PROBE;

// The lines of the probe's log that start with prefix.
std::vector<std::string> logLines(const std::filesystem::path& log, const std::string& prefix) {
    std::vector<std::string> out;
    std::stringstream in(readFile(log));
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind(prefix, 0) == 0) {
            out.push_back(line);
        }
    }
    return out;
}

bool logHas(const std::filesystem::path& log, const std::string& prefix) {
    return !logLines(log, prefix).empty();
}

// How many different colours a picture has: a black or one-colour screen has almost none.
int colours(const QImage& image) {
    QSet<QRgb> seen;
    for (int y = 0; y < image.height(); y += 2) {
        for (int x = 0; x < image.width(); x += 2) {
            seen.insert(image.pixel(x, y));
        }
    }
    return static_cast<int>(seen.size());
}

bool gone(pid_t pid) {
    return ::kill(pid, 0) != 0 && errno == ESRCH;
}

TEST(E2eRunner, DesktopComesUpWithATrayHostTheVirtualKeyboardAndAToolToReadIt) {
    Desktop d("runner-tray");
    ASSERT_TRUE(d.ok()) << d.error();
    const std::filesystem::path log = d.home() / "probe.log";
    Process& probe = d.start(kProbe, {"--title", "e2e probe tray", "--log", log.string(), "--tray",
                                      d.skinFile("tray_141.png").string()});
    ASSERT_TRUE(waitUntil([&] { return logHas(log, "tray "); }, 10s));
    EXPECT_TRUE(logHas(log, "tray available")) << readFile(log);
    ASSERT_TRUE(waitUntil([&] { return logHas(log, "tray at") || logHas(log, "tray not"); }, 12s));
    const auto placed = logLines(log, "tray at ");
    ASSERT_EQ(placed.size(), 1u) << readFile(log);
    ScreenRect icon;
    std::sscanf(placed[0].c_str(), "tray at %d %d %d %d", &icon.x, &icon.y, &icon.w, &icon.h);
    // Found from outside as the program's window that the tray host holds.
    const auto found = d.trayIconOf(probe.pid());
    ASSERT_TRUE(found);
    EXPECT_TRUE(found->embedded);
    EXPECT_EQ(found->place.x, icon.x);
    EXPECT_EQ(found->place.y, icon.y);
    EXPECT_EQ(found->place.w, icon.w);
    EXPECT_EQ(found->place.h, icon.h);
    for (const WindowInfo& w : d.windowsOf(probe.pid())) {
        EXPECT_TRUE(w.id == found->id || !w.embedded) << "window " << w.id << " taken for an icon";
    }

    // The icon is drawn where the host put it (a moment after it was placed).
    auto iconShows = [&](const std::filesystem::path& shot) {
        const QImage screen(QString::fromStdString(shot.string()));
        if (screen.size() != QSize(1600, 900)) {
            return false;
        }
        // A drawn icon: much of the area far from the area's mean colour (an empty or not yet drawn
        // tray is one colour).
        long long sum[3] = {0, 0, 0};
        const int n = icon.w * icon.h;
        for (int y = icon.y; y < icon.y + icon.h; ++y) {
            for (int x = icon.x; x < icon.x + icon.w; ++x) {
                const QRgb c = screen.pixel(x, y);
                sum[0] += qRed(c);
                sum[1] += qGreen(c);
                sum[2] += qBlue(c);
            }
        }
        int contrasting = 0;
        for (int y = icon.y; y < icon.y + icon.h; ++y) {
            for (int x = icon.x; x < icon.x + icon.w; ++x) {
                const QRgb c = screen.pixel(x, y);
                contrasting += std::abs(qRed(c) - int(sum[0] / n)) + std::abs(qGreen(c) - int(sum[1] / n)) +
                                           std::abs(qBlue(c) - int(sum[2] / n)) >
                                       150
                                   ? 1
                                   : 0;
            }
        }
        return contrasting > n / 10;
    };
    EXPECT_TRUE(waitUntil([&] { return iconShows(d.grab()); }, 5s, 100ms)) << "no tray icon on the screen";
    const std::filesystem::path shot = d.step("tray icon");
    ASSERT_FALSE(shot.empty());
    EXPECT_TRUE(iconShows(shot));

    // Results are read with the command-line tool, on the same virtual keyboard as every program here.
    const RunOutcome set = d.tarvikctl({"lighting", "brightness", "2"});
    ASSERT_TRUE(set.finished);
    EXPECT_EQ(set.exitCode, 0) << set.output;
    const RunOutcome show = d.tarvikctl({"lighting", "show", "--json"});
    EXPECT_EQ(show.exitCode, 0) << show.output;
    EXPECT_NE(show.output.find("\"brightness\": 2"), std::string::npos) << show.output;
    EXPECT_NE(d.tarvikctl({"status", "--json"}).output.find("\"attached\": true"), std::string::npos);
    if (d.simServer()) {
        const RunOutcome flash = d.portmuxSim({"flash", "settings", "--json"});
        EXPECT_EQ(flash.exitCode, 0) << flash.output;
    }
}

TEST(E2eRunner, AClickAtASkinRectangleAndRealKeysReachTheWindow) {
    Desktop d("runner-input");
    ASSERT_TRUE(d.ok()) << d.error();
    const std::filesystem::path log = d.home() / "probe.log";
    const std::filesystem::path layout = d.skinFile("Main.ini");
    d.start(kProbe, {"--title", "e2e probe skin", "--log", log.string(), "--skin", layout.string()});
    const auto window = d.findWindow("^e2e probe skin$");
    ASSERT_TRUE(window) << readFile(log);
    ASSERT_TRUE(d.waitViewable(*window));
    ASSERT_TRUE(waitUntil([&] { return logHas(log, "shown"); }, 10s));
    const auto place = d.geometry(*window);
    ASSERT_TRUE(place);
    EXPECT_EQ(place->w, 1300);
    EXPECT_EQ(place->h, 716);

    // The A key's rectangle of the main window's layout, wherever the window manager put the window.
    const ui::SkinRect a = ui::readSkinRect(IniFile::load(layout), u"KEY_01E");
    ASSERT_TRUE(d.clickAt(*window, layout, "KEY_01E"));
    ASSERT_TRUE(waitUntil([&] { return logHas(log, "click "); }, 5s));
    int x = -1, y = -1, button = -1;
    std::sscanf(logLines(log, "click ")[0].c_str(), "click %d %d %d", &x, &y, &button);
    EXPECT_TRUE((ScreenRect{a.x, a.y, a.w, a.h}.contains(x, y))) << x << "," << y;
    EXPECT_EQ(button, 1);

    // Real key events: the program's key capture reads their native scan codes (X key code = evdev + 8).
    ASSERT_TRUE(d.activate(*window));
    ASSERT_TRUE(d.key({"a", "Return"}));
    ASSERT_TRUE(waitUntil([&] { return logLines(log, "key ").size() >= 2; }, 5s));
    const auto keys = logLines(log, "key ");
    EXPECT_EQ(keys[0], "key a 65 38");
    EXPECT_EQ(keys[1], "key \r 16777220 36");

    const std::filesystem::path shot = d.step("clicked and typed");
    ASSERT_FALSE(shot.empty());
    EXPECT_GT(colours(QImage(QString::fromStdString(shot.string()))), 200) << "the screenshot shows nothing";
    const std::filesystem::path own = d.shotOfWindow(*window, "runner-input-window");
    ASSERT_FALSE(own.empty());
    EXPECT_EQ(QImage(QString::fromStdString(own.string())).size(), QSize(place->w, place->h));
}

TEST(E2eRunner, EveryProgramEndsWithTheDesktop) {
    std::vector<pid_t> pids;
    {
        Desktop d("runner-end");
        ASSERT_TRUE(d.ok()) << d.error();
        const std::filesystem::path log = d.home() / "probe.log";
        d.start(kProbe, {"--title", "e2e probe end", "--log", log.string()});
        ASSERT_TRUE(waitUntil([&] { return logHas(log, "shown"); }, 10s));
        pids = d.processIds();
    }
    ASSERT_GE(pids.size(), 4u); // X server, window manager, tray host, probe
    for (pid_t pid : pids) {
        EXPECT_TRUE(gone(pid)) << "process " << pid << " outlived the desktop";
    }
}

TEST(E2eRunner, APrivateProgramFolderAndTheNamedEventsStayWithTheDesktop) {
    const char* bin = std::getenv("TARVIK_BIN_DIR");
    const std::filesystem::path build = bin != nullptr && bin[0] != '\0' ? bin : TARVIK_TEST_BIN_DIR;
    const std::string original = readFile(build / "Skins" / "language.ini");
    ASSERT_FALSE(original.empty());
    std::string eventName;
    {
        DesktopOptions options;
        options.trayHost = false;
        options.virtualKeyboardServer = false;
        options.privateProgramFolder = true;
        Desktop d("runner-folder", options);
        ASSERT_TRUE(d.ok()) << d.error();
        EXPECT_NE(d.programFolder(), build);
        EXPECT_EQ(readFile(d.skinFile("language.ini")), original);
        EXPECT_TRUE(std::filesystem::exists(d.skinFile("Main.ini")));
        // What a program writes into its folder stays in the copy.
        { std::ofstream(d.skinFile("language.ini"), std::ios::app) << "\n[changed]\n"; }
        EXPECT_EQ(readFile(build / "Skins" / "language.ini"), original);

        // A program's named event, as one ended by a signal leaves it.
        for (const std::string& e : d.environment()) {
            if (e.rfind("TARVIK_NAMED_EVENT_PREFIX=", 0) == 0) {
                eventName = e.substr(e.find('=') + 1) + "Main_01";
            }
        }
        ASSERT_EQ(eventName.rfind("/", 0), 0u) << "no named-event prefix of the desktop's own";
        sem_t* s = ::sem_open(eventName.c_str(), O_CREAT, 0600, 0);
        ASSERT_NE(s, SEM_FAILED);
        ::sem_close(s);
    }
    EXPECT_EQ(::sem_open(eventName.c_str(), 0), SEM_FAILED) << eventName << " outlived the desktop";
}

TEST(E2eRunner, AWaylandDesktopRunsAQtWindowAndPhotographsIt) {
    DesktopOptions wayland;
    wayland.wayland = true;
    wayland.width = 800;
    wayland.height = 600;
    Desktop d("runner-wayland", wayland);
    ASSERT_TRUE(d.ok()) << d.error();
    const std::filesystem::path log = d.home() / "probe.log";
    Process& probe = d.start(kProbe, {"--title", "e2e probe wayland", "--log", log.string()});
    ASSERT_TRUE(waitUntil([&] { return logHas(log, "shown") || !probe.running(); }, 10s));
    ASSERT_TRUE(logHas(log, "shown")) << "the window did not come up under Wayland";
    // The probe paints its window in one colour: wait for it on the screen (the compositor draws it a
    // moment after the first frame).
    auto probeShows = [](const std::filesystem::path& file) {
        const QImage screen(QString::fromStdString(file.string()));
        int seen = 0;
        for (int y = 0; y < screen.height(); y += 4) {
            for (int x = 0; x < screen.width(); x += 4) {
                seen += (screen.pixel(x, y) & 0xFFFFFF) == 0x262A31 ? 1 : 0;
            }
        }
        return seen > 1000; // a 480 x 320 window is 9,600 of these samples
    };
    EXPECT_TRUE(waitUntil([&] { return probeShows(d.grab()); }, 5s, 100ms))
        << "the probe's window is not on the screen";
    const std::filesystem::path shot = d.step("probe");
    ASSERT_FALSE(shot.empty());
    EXPECT_EQ(QImage(QString::fromStdString(shot.string())).size(), QSize(800, 600));
    EXPECT_TRUE(probeShows(shot));
}

TEST(E2eRunner, RunsAreBoundedAndAProgramThatIgnoresTheRequestToEndIsEndedAnyway) {
    const std::filesystem::path scratch = std::filesystem::temp_directory_path();
    const RunOutcome slow = runToEnd("/bin/sleep", {"30"}, {}, scratch, 200ms);
    EXPECT_FALSE(slow.finished);

    Process stubborn("/bin/sh", {"-c", "trap '' TERM; while :; do sleep 1; done"}, {});
    ASSERT_GT(stubborn.pid(), 0);
    ASSERT_TRUE(stubborn.running());
    const pid_t pid = stubborn.pid();
    EXPECT_TRUE(stubborn.end(300ms));
    EXPECT_TRUE(gone(pid));

    const RunOutcome quick = runToEnd("/bin/sh", {"-c", "echo out; echo err >&2; exit 3"}, {}, scratch, 5s);
    EXPECT_TRUE(quick.finished);
    EXPECT_EQ(quick.exitCode, 3);
    EXPECT_EQ(quick.output, "out\nerr\n");
}

} // namespace
} // namespace tarvik::e2e
