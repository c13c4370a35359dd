// Every window of the program opened from the main window as a user opens it, on one desktop with a tray
// host and the virtual keyboard of portmux-sim: the key dialog and its macro page, the lighting panel
// turned on (in an effect and in the user mode), the profile manager and the update dialog, in English and
// in Chinese. Each one is photographed on its own into build/e2e/help-*.png (help-*-zh.png in Chinese): the
// pictures of the help pages, the README and the package come from these. The program runs from the
// desktop's own copy of the program folder, whose language file says which language it starts in.
#include "tests/e2e/ProgramScenario.h"
#include "ui/TextTable.h"

#include <QImage>
#include <QString>

#include <algorithm>
#include <array>
#include <set>

namespace tarvik::e2e {
namespace {

// The lighting area of the main window, in the window's own pixels.
constexpr ScreenRect kLightingArea{0, 500, 1300, 190};

class PictureScenarios : public ProgramScenario, public ::testing::WithParamInterface<bool> {
public:
    static void SetUpTestSuite() {
        DesktopOptions options;
        options.privateProgramFolder = true;
        openDesktop(options);
    }

protected:
    void SetUp() override {
        ProgramScenario::SetUp();
        if (GetParam()) {
            ui::TextTable table;
            ASSERT_TRUE(table.switchLanguage(desktop().skinFile("language.ini"), ui::TextTable::kChinese));
        }
    }
    // The picture's name in the scenario's language.
    static std::string named(const std::string& name) { return GetParam() ? name + "-zh" : name; }
    std::set<WindowId> windowsNow(pid_t pid) {
        std::set<WindowId> ids;
        for (const WindowInfo& w : desktop().windowsOf(pid)) {
            ids.insert(w.id);
        }
        return ids;
    }
    // A window of the process on the screen that it did not have before (not a menu or a tooltip).
    std::optional<WindowInfo> newWindow(pid_t pid, const std::set<WindowId>& before) {
        return waitForWindow(pid, [&](const WindowInfo& w) {
            return !w.overrideRedirect && !w.embedded && !before.contains(w.id);
        });
    }
    // Photographs a window once it has drawn itself completely (two pictures alike; of the cropped part
    // only, where the keys of an effect move). Where its shape leaves out the corners the picture shows the
    // empty desktop there: those pixels become transparent.
    bool photograph(pid_t pid, const WindowInfo& w, const std::string& name, const ScreenRect* crop = nullptr,
                    bool waitForStillness = true) {
        const std::optional<ScreenRect> place = desktop().geometry(w.id);
        if (!place || !settle(pid)) {
            return false;
        }
        const ScreenRect watched =
            crop != nullptr ? ScreenRect{place->x + crop->x, place->y + crop->y, crop->w, crop->h} : *place;
        QImage previous;
        QImage shot;
        const bool still = !waitForStillness || waitUntil(
                                                    [&] {
                                                        previous = shot;
                                                        shot = part(screen(), watched);
                                                        return samePixels(previous, shot);
                                                    },
                                                    10s, 100ms);
        const std::filesystem::path file = desktop().shotOfWindow(w.id, name);
        if (!still || file.empty()) {
            return false;
        }
        QImage picture(QString::fromStdString(file.string()));
        picture = clearCorners(picture.convertToFormat(QImage::Format_ARGB32));
        if (crop != nullptr) {
            picture = picture.copy(crop->x, crop->y, crop->w, crop->h);
        }
        return !picture.isNull() && picture.save(QString::fromStdString(file.string()));
    }
    // The lighting panel turned on with its bulb button: its controls replace the words about the
    // keyboard's own effect.
    bool turnLightingPanelOn(pid_t pid, const WindowInfo& window) {
        const std::optional<ScreenRect> place = desktop().geometry(window.id);
        if (!place || !settle(pid)) {
            return false;
        }
        const ScreenRect area{place->x + kLightingArea.x, place->y + kLightingArea.y, kLightingArea.w,
                              kLightingArea.h};
        const QImage off = part(screen(), area);
        return clickIn(window, "Main.ini", "CONTROL_DengStaPic") &&
               waitUntil([&] { return !samePixels(off, part(screen(), area)); }, 10s, 100ms);
    }
    // The desktop behind the window's rounded corners: pure black pixels reached from each corner.
    static QImage clearCorners(QImage image) {
        const int reach = std::min({16, image.width(), image.height()});
        const QRgb desktop = qRgb(0, 0, 0);
        for (const auto& [cx, cy, dx, dy] : {std::array{0, 0, 1, 1}, std::array{image.width() - 1, 0, -1, 1},
                                             std::array{0, image.height() - 1, 1, -1},
                                             std::array{image.width() - 1, image.height() - 1, -1, -1}}) {
            // Row by row from the corner inwards, each row as far as the desktop goes.
            for (int j = 0; j < reach; ++j) {
                const int y = cy + dy * j;
                int i = 0;
                for (; i < reach && image.pixel(cx + dx * i, y) == desktop; ++i) {
                    image.setPixel(cx + dx * i, y, qRgba(0, 0, 0, 0));
                }
                if (i == 0) {
                    break;
                }
            }
        }
        return image;
    }
    bool clickIn(const WindowInfo& w, const char* layoutName, const char* key) {
        return desktop().clickAt(w.id, desktop().skinFile(layoutName), key);
    }
};

TEST_P(PictureScenarios, EveryWindowOpensFromTheMainWindow) {
    Process& app = start({});
    const auto window = mainWindow(app.pid());
    ASSERT_TRUE(window);
    ASSERT_TRUE(desktop().waitViewable(window->id));
    EXPECT_TRUE(photograph(app.pid(), *window, named("help-main")));

    // The key dialog beside the key, then its macro page; Cancel closes it.
    std::set<WindowId> before = windowsNow(app.pid());
    ASSERT_TRUE(clickIn(*window, "Main.ini", "KEY_01E"));
    const auto keyDialog = newWindow(app.pid(), before);
    ASSERT_TRUE(keyDialog) << "the key dialog did not open";
    EXPECT_TRUE(photograph(app.pid(), *keyDialog, named("help-key-dialog")));
    ASSERT_TRUE(clickIn(*keyDialog, "Composite.ini", "CONTROL_MACRO"));
    EXPECT_TRUE(photograph(app.pid(), *keyDialog, named("help-macro-panel")));
    ASSERT_TRUE(clickIn(*keyDialog, "Composite.ini", "CONTROL_CANCEL"));
    ASSERT_TRUE(desktop().waitHidden(keyDialog->id)) << "Cancel left the key dialog open";

    // The profile manager from its button.
    before = windowsNow(app.pid());
    ASSERT_TRUE(clickIn(*window, "Main.ini", "FUNC_PROFILES"));
    const auto manager = newWindow(app.pid(), before);
    ASSERT_TRUE(manager) << "the profile manager did not open";
    EXPECT_TRUE(photograph(app.pid(), *manager, named("help-profiles")));
    ASSERT_TRUE(clickIn(*manager, "Profile.ini", "CONTROL_CANCEL"));
    ASSERT_TRUE(desktop().waitHidden(manager->id)) << "Cancel left the profile manager open";

    // The update dialog from the menu: Import, Export, About, Language, Firmware Update...
    before = windowsNow(app.pid());
    ASSERT_TRUE(clickIn(*window, "Main.ini", "CONTROL_MENU"));
    ASSERT_TRUE(waitForWindow(app.pid(), isMenu).has_value());
    ASSERT_TRUE(desktop().key({"Down", "Down", "Down", "Down", "Down", "Return"}));
    const auto update = newWindow(app.pid(), before);
    ASSERT_TRUE(update) << "the update dialog did not open";
    EXPECT_TRUE(photograph(app.pid(), *update, named("help-update")));
    ASSERT_TRUE(clickIn(*update, "UpdateDlg.ini", "CONTROL_CUPButton"));
    ASSERT_TRUE(desktop().waitHidden(update->id)) << "Cancel left the update dialog open";

    ASSERT_TRUE(turnLightingPanelOn(app.pid(), *window)) << "the lighting panel did not turn on";
    EXPECT_TRUE(photograph(app.pid(), *window, named("help-main-lighting"), &kLightingArea));
    desktop().step("panel on");
    // The whole window as well, its keys in the effect's colours (they move: no waiting for stillness,
    // the panel has been photographed still just now).
    EXPECT_TRUE(photograph(app.pid(), *window, named("help-main-lit"), nullptr, false));
}

TEST_P(PictureScenarios, TheLightingPanelInTheUserMode) {
    const RunOutcome user = desktop().tarvikctl({"lighting", "mode", "20"});
    ASSERT_EQ(user.exitCode, 0) << user.output;
    Process& app = start({});
    const auto window = mainWindow(app.pid());
    ASSERT_TRUE(window);
    ASSERT_TRUE(desktop().waitViewable(window->id));
    const bool on = turnLightingPanelOn(app.pid(), *window);
    desktop().step("user mode, panel on");
    ASSERT_TRUE(on) << "the lighting panel did not turn on";
    EXPECT_TRUE(photograph(app.pid(), *window, named("help-user-lighting"), &kLightingArea));
}

INSTANTIATE_TEST_SUITE_P(Languages, PictureScenarios, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) {
                             return info.param ? "Chinese" : "English";
                         });

} // namespace
} // namespace tarvik::e2e
