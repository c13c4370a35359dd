// The program under a Wayland compositor (a headless weston): started to the background, a second start
// opens its window, "/Kill" ends it; every start ends with exit code 0 and prints nothing but Qt's own
// notices. The window's corners show the desktop, not black: under Wayland the skin's mask only limits
// input, so the outline comes from the window's transparency. Screenshots in build/e2e/wayland-*.png.
#include "tests/e2e/Desktop.h"

#include <QColor>
#include <QImage>
#include <QRect>
#include <QString>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <sstream>

namespace tarvik::e2e {
namespace {

// The desktop's colour in the runner's weston configuration.
constexpr QRgb kDesktop = 0x1e2024;

bool isDesktop(QRgb c) {
    return std::abs(qRed(c) - qRed(kDesktop)) + std::abs(qGreen(c) - qGreen(kDesktop)) +
               std::abs(qBlue(c) - qBlue(kDesktop)) <=
           6;
}

// The smallest rectangle around everything on the screen that is not the desktop.
QRect drawnArea(const std::filesystem::path& shot) {
    const QImage screen(QString::fromStdString(shot.string()));
    QRect area;
    for (int y = 0; y < screen.height(); ++y) {
        for (int x = 0; x < screen.width(); ++x) {
            if (!isDesktop(screen.pixel(x, y))) {
                area |= QRect(x, y, 1, 1);
            }
        }
    }
    return area;
}

// What the program printed besides Qt's own notices (lines of a logging category, "qt.…: …").
std::string ownOutput(const std::string& output) {
    std::stringstream in(output);
    std::string line, own;
    while (std::getline(in, line)) {
        if (!line.empty() && line.rfind("qt.", 0) != 0) {
            own += line + "\n";
        }
    }
    return own;
}

std::filesystem::path runtimeFolder(const Desktop& d) {
    for (const std::string& e : d.environment()) {
        if (e.rfind("XDG_RUNTIME_DIR=", 0) == 0) {
            return e.substr(16);
        }
    }
    return {};
}

TEST(WaylandSmoke, ASecondStartOpensTheWindowAndKillEndsIt) {
    DesktopOptions options;
    options.wayland = true;
    options.width = 1600;
    options.height = 900;
    Desktop d("wayland", options);
    ASSERT_TRUE(d.ok()) << d.error();

    const std::filesystem::path log = d.home() / "tarvik-first.log";
    Process first(d.programFolder() / "tarvik", {"/Start"}, Process::Options{d.environment(), log, -1, {}});
    ASSERT_TRUE(first.running());

    // Started to the background: a second start reaches it once it is ready, and its window opens.
    RunOutcome second;
    ASSERT_TRUE(waitUntil(
        [&] {
            // Until the first instance listens, a second start would become the first one itself: wait
            // for its socket beside the instance lock.
            return std::filesystem::exists(runtimeFolder(d) / "Tarvik_Mutex_09A.sock") || !first.running();
        },
        10s));
    ASSERT_TRUE(first.running()) << readFile(log);
    // The first instance knows the keyboard once it has read it: its reports have come and stopped (it
    // does not poll an idle keyboard). A second start before that rightly says there is no keyboard, and
    // on a busy machine the reading takes a while after its first report.
    int reports = -1;
    auto unchangedSince = std::chrono::steady_clock::now();
    EXPECT_TRUE(waitUntil(
        [&] {
            const RunOutcome r = d.portmuxSim({"status", "--json"});
            const size_t at = r.output.find("\"reports\": ");
            const int now =
                r.exitCode == 0 && at != std::string::npos ? std::atoi(r.output.c_str() + at + 11) : -1;
            if (now != reports) {
                reports = now;
                unchangedSince = std::chrono::steady_clock::now();
            }
            return reports > 0 && std::chrono::steady_clock::now() - unchangedSince >= 1s;
        },
        30s, 100ms))
        << "reports: " << reports;
    const std::filesystem::path hidden = d.step("started to the background");
    ASSERT_FALSE(hidden.empty());
    EXPECT_TRUE(drawnArea(hidden).isEmpty()) << "a window shows after a start with /Start";

    second = d.run(d.programFolder() / "tarvik", {});
    ASSERT_TRUE(second.finished);
    EXPECT_EQ(second.exitCode, 0) << second.output;
    EXPECT_EQ(ownOutput(second.output), "");

    // The whole skin appears (the compositor draws it a moment after the first frame).
    QRect window;
    EXPECT_TRUE(waitUntil(
        [&] {
            window = drawnArea(d.grab());
            return window.size() == QSize(1300, 716);
        },
        10s, 100ms))
        << "drawn: " << window.x() << "," << window.y() << " " << window.width() << "x" << window.height();
    const std::filesystem::path shown = d.step("a second start opened the window");
    ASSERT_FALSE(shown.empty());
    const QImage screen(QString::fromStdString(shown.string()));
    const QRect area = drawnArea(shown);
    ASSERT_EQ(area.size(), QSize(1300, 716));
    // The skin's rounded corners: the desktop shows there, not the black of an opaque window.
    for (const QPoint corner : {area.topLeft(), area.topRight(), area.bottomLeft(), area.bottomRight()}) {
        const QPoint inward(corner.x() == area.left() ? 2 : -2, corner.y() == area.top() ? 2 : -2);
        for (const QPoint at : {corner, corner + inward}) {
            EXPECT_TRUE(isDesktop(screen.pixel(at))) << "corner " << at.x() << "," << at.y() << " is "
                                                     << QColor(screen.pixel(at)).name().toStdString();
        }
    }
    // Inside the outline the skin is drawn.
    EXPECT_FALSE(isDesktop(screen.pixel(area.center())));

    const RunOutcome kill = d.run(d.programFolder() / "tarvik", {"/Kill"});
    ASSERT_TRUE(kill.finished);
    EXPECT_EQ(kill.exitCode, 0) << kill.output;
    EXPECT_EQ(ownOutput(kill.output), "");
    ASSERT_TRUE(first.wait(10s)) << "the first instance did not end after /Kill";
    EXPECT_EQ(first.exitCode(), 0);
    EXPECT_EQ(ownOutput(readFile(log)), "") << "the first instance printed more than Qt's notices";
    EXPECT_TRUE(waitUntil([&] { return drawnArea(d.grab()).isEmpty(); }, 5s, 100ms));
    d.step("ended by kill");
}

} // namespace
} // namespace tarvik::e2e
