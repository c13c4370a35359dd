// What the lighting preview costs the program while its window shows: the skinned main window of the
// generated skin with its 114 lit buttons and the lighting panel running each mode's preview (20 frames a
// second), measured as the process's CPU time over wall time, per mode, against the 2 % of one core the
// preview may take; then the same window hidden, and shown with the panel off, where the preview must cost
// nothing. Run it on a real display server (Xvfb), where painting reaches the window system:
//
//   xvfb-run -s "-screen 0 1600x900x24" build/bench/preview_paint_bench [seconds per mode, default 5]
//       [mode code ...: only these modes]
//
// The keyboard is a recording stand-in that answers at once, so what is measured is the window's work.
#include "device/Commands.h"
#include "keyboard/Layout.h"
#include "lighting/KeyButtons.h"
#include "lighting/LightingPanel.h"
#include "lighting/LightingPanelIds.h"
#include "lighting/LightingState.h"
#include "lighting/ProfileParams.h"
#include "lighting/UserFiles.h"
#include "tests/lighting/FakeKeyboard.h"
#include "ui/CBaseDialog.h"
#include "ui/CPngButton.h"
#include "ui/SkinLayout.h"
#include "ui/TextTable.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <memory>
#include <set>

namespace {

namespace fs = std::filesystem;
using namespace tarvik;

constexpr double kLimitPercent = 2.0;

double cpuSeconds() {
    timespec t{};
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

void runFor(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

fs::path programFolder(const char* argv0) {
    if (const char* dir = std::getenv("TARVIK_BIN_DIR"); dir != nullptr && *dir != '\0') {
        return dir;
    }
    return fs::absolute(argv0).parent_path().parent_path() / "bin";
}

// The main window as the preview sees it: the skin's background and captions, the key, G and Fn buttons
// with the main state pictures, placed from the layout.
class MainWindowStandIn : public ui::CBaseDialog {
public:
    explicit MainWindowStandIn(const fs::path& skins)
        : ui::CBaseDialog(102, nullptr, skins / "Main.ini", skins, Kind::MainWindow) {
        initialise();
        ui::loadRequiredPictures(
            skins, {"main_normal.jpg", "main_over.jpg", "main_down.jpg", "main_disable.jpg", "Arrow.jpg"},
            pictures_, [](const fs::path& missing) {
                std::fprintf(stderr, "missing picture %s\n", missing.c_str());
                std::exit(1);
            });
        const ui::StatePictures set{&pictures_[0], &pictures_[1], &pictures_[2], &pictures_[3],
                                    &pictures_[4]};
        auto add = [&](size_t index, const std::string& key) {
            auto* b = new ui::CPngButton(this);
            b->setObjectName(QString::fromStdString(key));
            ui::placeImageButton(*b, layout(), std::u16string(key.begin(), key.end()), set);
            buttons[index] = b;
        };
        for (size_t i = 0; i < keyboard::kKeyButtonCount; ++i) {
            add(i, keyboard::SkinNameOfButton(keyboard::KeyButtons()[i].controlId));
        }
        for (size_t g = 0; g < keyboard::kGKeyCount; ++g) {
            add(lighting::kFirstGButton + g, keyboard::SkinNameOfButton(keyboard::GButtons()[g].controlId));
        }
        add(lighting::kFnButton, "KEY_FN");
    }

    std::array<ui::CPngButton*, lighting::kLitButtonCount> buttons{};

private:
    std::vector<QPixmap> pictures_;
};

} // namespace

int main(int argc, char** argv) {
    const int seconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    std::set<int> only;
    for (int i = 2; i < argc; ++i) {
        only.insert(std::atoi(argv[i]));
    }
    QApplication app(argc, argv);
    const fs::path skins = programFolder(argv[0]) / "Skins";
    ui::uiTexts().load(skins / "language.ini");

    const fs::path data = fs::temp_directory_path() / ("preview_paint_bench-" + std::to_string(::getpid()));
    fs::create_directories(data);
    if (lighting::installUserFiles(data, skins) != lighting::InstallResult::Installed) {
        std::fprintf(stderr, "cannot install the user lighting files into %s\n", data.c_str());
        return 1;
    }
    lighting::test::FakeKeyboard keyboard;
    // Full brightness, a middle speed and random colours: every key changes in every frame of an
    // animated mode, the most the preview can have to draw.
    keyboard.settings[lighting::kParamBrightness] = lighting::kLevelMax;
    keyboard.settings[lighting::kParamSpeed] = 2;
    keyboard.settings[lighting::kParamRandom] = 1;
    keyboard.settings[lighting::kParamEffectColour] = 0x38;
    keyboard.settings[lighting::kParamEffectColour + 1] = 0xb6;
    keyboard.settings[lighting::kParamEffectColour + 2] = 0xf0;
    device::Commands commands{keyboard, lighting::test::noPauses()};
    lighting::LightingState state{commands, data};
    {
        MainWindowStandIn window(skins);
        lighting::LightingPanel panel(window, skins / "Main.ini", skins, state,
                                      [](std::function<void()> task) { task(); });
        panel.attachKeyButtons(window.buttons);
        window.show();
        runFor(500);
        panel.reload();
        static_cast<QAbstractButton*>(panel.control(lighting::control::kPanelOn))->click();
        runFor(200);
        if (!panel.view().panelOn) {
            std::fprintf(stderr, "the lighting panel did not turn on\n");
            return 1;
        }

        auto* list = qobject_cast<QComboBox*>(panel.control(lighting::control::kModeList));
        // CPU share of one core and frames a second over the measuring time.
        auto measure = [&](double& fps) {
            const uint64_t frames = panel.framesDrawn();
            const double cpu = cpuSeconds();
            QElapsedTimer wall;
            wall.start();
            runFor(seconds * 1000);
            const double elapsed = static_cast<double>(wall.nsecsElapsed()) / 1e9;
            fps = static_cast<double>(panel.framesDrawn() - frames) / elapsed;
            return 100.0 * (cpuSeconds() - cpu) / elapsed;
        };
        std::printf("%-4s %-22s %8s %8s %8s\n", "mode", "name", "frames/s", "CPU %", "ratio");
        double worst = 0;
        int animated = -1; // a list index of the costliest mode, for the hidden and panel-off figures
        for (int i = 0; i < list->count(); ++i) {
            const int code = list->itemData(i).toInt();
            if (!only.empty() && !only.contains(code)) {
                continue;
            }
            list->setCurrentIndex(i);
            emit list->activated(i);
            runFor(1000); // the first frames and any one-off work of the change
            double fps = 0;
            const double percent = measure(fps);
            if (percent > worst) {
                worst = percent;
                animated = i;
            }
            std::printf("%-4d %-22s %8.1f %8.2f %8.2f\n", code, list->itemText(i).toUtf8().constData(), fps,
                        percent, percent / kLimitPercent);
            std::fflush(stdout);
        }
        std::printf("worst %.2f %% of one core (limit %.1f %%, ratio %.2f)\n", worst, kLimitPercent,
                    worst / kLimitPercent);

        // The costliest mode again, with the window hidden, then shown with the panel off: no frames, and
        // no CPU beyond the event loop's own.
        if (animated >= 0) {
            list->setCurrentIndex(animated);
            emit list->activated(animated);
            runFor(500);
        }
        const QString name = animated >= 0 ? list->itemText(animated) : QString();
        window.hide();
        runFor(500);
        double fps = 0;
        double percent = measure(fps);
        std::printf("hidden, %-14s %8.1f %8.2f %8s\n", name.toUtf8().constData(), fps, percent, "-");
        window.show();
        runFor(500);
        static_cast<QAbstractButton*>(panel.control(lighting::control::kPanelOff))->click();
        runFor(500);
        if (panel.view().panelOn) {
            std::fprintf(stderr, "the lighting panel did not turn off\n");
            return 1;
        }
        percent = measure(fps);
        std::printf("panel off, %-11s %8.1f %8.2f %8s\n", name.toUtf8().constData(), fps, percent, "-");
    }
    std::error_code ec;
    fs::remove_all(data, ec);
    return 0;
}
