#include "tests/e2e/ProgramScenario.h"

#include "platform/IniFile.h"
#include "platform/Utf.h"
#include "ui/SkinRect.h"
#include "ui/TextTable.h"

#include <QString>

#include <array>
#include <cstdlib>
#include <cstring>

namespace tarvik::e2e {

std::unique_ptr<Desktop> ProgramScenario::desktop_;
DesktopOptions ProgramScenario::options_;

namespace {

std::string trimmed(std::string s) {
    const char* blanks = " \t\r\n";
    s.erase(0, s.find_first_not_of(blanks));
    s.erase(s.find_last_not_of(blanks) + 1);
    return s;
}

// The integers of a JSON array that follows label in text.
std::optional<std::vector<int>> jsonNumbers(const std::string& text, const std::string& label) {
    const size_t at = text.find(label);
    if (at == std::string::npos) {
        return std::nullopt;
    }
    size_t i = text.find_first_not_of(' ', at + label.size());
    if (i == std::string::npos || text[i] != '[') {
        return std::nullopt;
    }
    std::vector<int> out;
    const char* p = text.c_str() + i + 1;
    for (;;) {
        while (*p == ' ' || *p == ',') {
            ++p;
        }
        if (*p == ']') {
            return out;
        }
        char* end = nullptr;
        const long v = std::strtol(p, &end, 10);
        if (end == p) {
            return std::nullopt;
        }
        out.push_back(static_cast<int>(v));
        p = end;
    }
}

// The colours of a picture in 64 coarse bins (4 levels a channel), as shares of the pixels that differ
// from the background: close enough for telling the tray pictures apart at any size.
using Histogram = std::array<double, 64>;

bool nearColour(QRgb a, QRgb b, int limit) {
    return std::abs(qRed(a) - qRed(b)) + std::abs(qGreen(a) - qGreen(b)) + std::abs(qBlue(a) - qBlue(b)) <=
           limit;
}

Histogram histogram(const QImage& picture, QRgb background) {
    Histogram h{};
    int counted = 0;
    for (int y = 0; y < picture.height(); ++y) {
        for (int x = 0; x < picture.width(); ++x) {
            const QRgb c = picture.pixel(x, y);
            if (nearColour(c, background, 48)) {
                continue;
            }
            h[static_cast<size_t>((qRed(c) / 64) * 16 + (qGreen(c) / 64) * 4 + qBlue(c) / 64)] += 1;
            ++counted;
        }
    }
    for (double& v : h) {
        v = counted > 0 ? v / counted : 0;
    }
    return h;
}

double distance(const Histogram& a, const Histogram& b) {
    double d = 0;
    for (size_t i = 0; i < a.size(); ++i) {
        d += std::abs(a[i] - b[i]);
    }
    return d;
}

} // namespace

void ProgramScenario::openDesktop(DesktopOptions options) {
    options_ = options;
    desktop_ = std::make_unique<Desktop>("desktop", options);
}

void ProgramScenario::TearDownTestSuite() {
    desktop_.reset();
}

void ProgramScenario::SetUp() {
    ASSERT_TRUE(desktop_) << "no desktop";
    ASSERT_TRUE(desktop_->ok()) << desktop_->error();
    ASSERT_TRUE(desktop_->simServer()) << "the scenarios drive the keyboard through portmux-sim serve";
    desktop_->setScenario(::testing::UnitTest::GetInstance()->current_test_info()->name());
    const RunOutcome reset = desktop_->portmuxSim({"reset"});
    ASSERT_EQ(reset.exitCode, 0) << reset.output;
    // What an earlier scenario's program kept of the user: settings, profile and lighting files.
    std::error_code ec;
    std::filesystem::remove_all(desktop_->home() / ".config" / "Tarvik_Lumira", ec);
    std::filesystem::remove_all(dataFolder(), ec);
    if (options_.privateProgramFolder) {
        // The program folder is the desktop's own copy: an earlier language switch is undone there.
        ui::TextTable table;
        ASSERT_TRUE(table.switchLanguage(desktop_->skinFile("language.ini"), ui::TextTable::kEnglish));
    }
}

void ProgramScenario::TearDown() {
    for (Process* p : started_) {
        if (!p->running()) {
            continue;
        }
        // The program's own way out first: it removes its icon, named events and instance lock.
        startAndWait({"/Kill"});
        if (!p->wait(10s)) {
            ADD_FAILURE() << "tarvik (process " << p->pid() << ") did not end on /Kill";
            p->end();
        }
    }
    started_.clear();
}

Process& ProgramScenario::start(const std::vector<std::string>& args) {
    Process& p = desktop_->startProgram("tarvik", args, programEnvironment_);
    started_.push_back(&p);
    return p;
}

RunOutcome ProgramScenario::startAndWait(const std::vector<std::string>& args) {
    return desktop_->run(desktop_->programFolder() / "tarvik", args, 20s);
}

std::optional<WindowInfo> ProgramScenario::openWindow(Process*& app) {
    app = &start({});
    return mainWindow(app->pid());
}

std::filesystem::path ProgramScenario::dataFolder() const {
    return desktop_->home() / "Documents" / "Velmora";
}

std::string ProgramScenario::text(const char* key, bool chinese) const {
    const std::filesystem::path file = desktop_->skinFile("language.ini");
    ui::TextTable table;
    table.loadLanguage(file, chinese ? ui::TextTable::kChinese : ui::TextTable::kEnglish);
    return trimmed(toUtf8(table.has(key) ? table.text(key) : table.readOnDemand(file, key)));
}

std::optional<WindowInfo> ProgramScenario::mainWindow(pid_t pid, std::chrono::milliseconds timeout) const {
    const std::string english = text("MAIN_CAPTION");
    const std::string chinese = text("MAIN_CAPTION", true);
    return waitForWindow(
        pid, [&](const WindowInfo& w) { return w.name == english || w.name == chinese; }, timeout);
}

bool ProgramScenario::shows(pid_t pid, const std::string& name) const {
    for (const WindowInfo& w : desktop_->windowsOf(pid)) {
        if (w.viewable && w.name == name) {
            return true;
        }
    }
    return false;
}

bool ProgramScenario::settle(pid_t pid) {
    if (!desktop_->movePointer(1, options_.height - 2)) {
        return false;
    }
    return waitUntil(
        [&] {
            for (const WindowInfo& w : desktop_->windowsOf(pid)) {
                if (w.viewable && isType(w, "_NET_WM_WINDOW_TYPE_TOOLTIP")) {
                    return false;
                }
            }
            return true;
        },
        5s, 50ms);
}

QImage ProgramScenario::screen() {
    const std::filesystem::path file = desktop_->grab();
    return file.empty() ? QImage()
                        : QImage(QString::fromStdString(file.string())).convertToFormat(QImage::Format_RGB32);
}

std::optional<TrayPicture> ProgramScenario::trayPicture(const WindowInfo& icon) {
    const QImage shown = part(screen(), icon.place);
    if (shown.isNull()) {
        return std::nullopt;
    }
    // The host's background shows in the corners around the picture.
    const QRgb background = shown.pixel(0, 0);
    const Histogram seen = histogram(shown, background);
    std::optional<TrayPicture> best;
    double bestDistance = 1.0; // more than half the colours elsewhere: none of them
    for (TrayPicture p : {TrayPicture::NoKeyboard, TrayPicture::Keyboard, TrayPicture::Activity}) {
        const std::string name = "tray_" + std::to_string(static_cast<int>(p)) + ".png";
        QImage picture(QString::fromStdString(desktop_->skinFile(name).string()));
        if (picture.isNull()) {
            continue;
        }
        const int side = std::min(shown.width(), shown.height());
        picture = picture.scaled(side, side, Qt::KeepAspectRatio, Qt::SmoothTransformation);
        QImage flat(picture.size(), QImage::Format_RGB32);
        flat.fill(background);
        for (int y = 0; y < picture.height(); ++y) {
            for (int x = 0; x < picture.width(); ++x) {
                const QRgb c = picture.pixel(x, y);
                const int a = qAlpha(c);
                auto mix = [a](int over, int under) { return (over * a + under * (255 - a)) / 255; };
                flat.setPixel(x, y,
                              qRgb(mix(qRed(c), qRed(background)), mix(qGreen(c), qGreen(background)),
                                   mix(qBlue(c), qBlue(background))));
            }
        }
        const double d = distance(seen, histogram(flat, background));
        if (d < bestDistance) {
            bestDistance = d;
            best = p;
        }
    }
    return best;
}

bool ProgramScenario::waitForTrayPicture(const WindowInfo& icon, TrayPicture picture,
                                         std::chrono::milliseconds timeout) {
    return waitUntil([&] { return trayPicture(icon) == picture; }, timeout, 100ms);
}

bool ProgramScenario::openTrayMenu(pid_t pid, const WindowInfo& icon) {
    // As a hand does: onto the icon, then the click. An icon that appeared under a resting pointer has
    // not seen it enter, and its host does not pass it the click.
    if (!desktop_->movePointer(icon.place.x + icon.place.w / 2, icon.place.y + icon.place.h + 80)) {
        return false;
    }
    if (!desktop_->clickAtPoint(icon.place.x + icon.place.w / 2, icon.place.y + icon.place.h / 2, 3)) {
        return false;
    }
    return waitForWindow(pid, isMenu).has_value();
}

bool ProgramScenario::doubleClickTrayIcon(const WindowInfo& icon) {
    return desktop_->movePointer(icon.place.x + icon.place.w / 2, icon.place.y + icon.place.h + 80) &&
           desktop_->doubleClickAtPoint(icon.place.x + icon.place.w / 2, icon.place.y + icon.place.h / 2);
}

bool ProgramScenario::menuClosed(pid_t pid) {
    return waitUntil(
        [&] {
            for (const WindowInfo& w : desktop_->windowsOf(pid)) {
                if (isMenu(w)) {
                    return false;
                }
            }
            return true;
        },
        5s, 50ms);
}

std::vector<int> ProgramScenario::flash(const std::string& area) const {
    const RunOutcome r = desktop_->portmuxSim({"flash", area, "--json"});
    return r.exitCode == 0 ? jsonNumbers(r.output, "\"bytes\":").value_or(std::vector<int>{})
                           : std::vector<int>{};
}

std::optional<int> ProgramScenario::keyboardLayer() const {
    const RunOutcome r = desktop_->portmuxSim({"status", "--json"});
    const auto status = jsonNumbers(r.output, "\"linkStatus\":");
    if (r.exitCode != 0 || !status || status->size() != 2) {
        return std::nullopt;
    }
    return (*status)[1] & 1;
}

ScreenRect skinRectOnScreen(const std::filesystem::path& layoutFile, const char* key,
                            const ScreenRect& window) {
    const ui::SkinRect r = ui::readSkinRect(IniFile::load(layoutFile), toUtf16(key));
    return ScreenRect{window.x + r.x, window.y + r.y, r.w, r.h};
}

QImage part(const QImage& screen, const ScreenRect& r) {
    if (screen.isNull()) {
        return {};
    }
    return screen.copy(r.x, r.y, r.w, r.h);
}

bool samePixels(const QImage& a, const QImage& b) {
    return !a.isNull() && a.size() == b.size() &&
           a.convertToFormat(QImage::Format_RGB32) == b.convertToFormat(QImage::Format_RGB32);
}

bool isType(const WindowInfo& w, const char* type) {
    // xprop lists the types separated by ", ": a whole name, not a prefix of a longer one.
    const std::string name(type);
    for (size_t at = w.type.find(name); at != std::string::npos; at = w.type.find(name, at + 1)) {
        const size_t end = at + name.size();
        if ((at == 0 || w.type[at - 1] == ' ') && (end == w.type.size() || w.type[end] == ',')) {
            return true;
        }
    }
    return false;
}

} // namespace tarvik::e2e

namespace tarvik::e2e {

bool isMenu(const WindowInfo& w) {
    return w.viewable && w.overrideRedirect && !w.embedded && !isType(w, "_NET_WM_WINDOW_TYPE_TOOLTIP");
}

} // namespace tarvik::e2e
