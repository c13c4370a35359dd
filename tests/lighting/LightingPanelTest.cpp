// The lighting panel's wiring, offscreen in a plain host window with the key buttons of the generated skin:
// writes on the device worker with slider drags coalesced, the preview timer and what stops it, painting
// strokes, the slot list, and screenshots of each mode family.
#include "lighting/LightingPanel.h"

#include "device/SerialWorker.h"
#include "keyboard/Layout.h"
#include "lighting/KeyLegend.h"
#include "lighting/KeyLightLayer.h"
#include "lighting/LegendContrast.h"
#include "lighting/LightBlend.h"
#include "lighting/LightingPanelIds.h"
#include "lighting/PictureButton.h"
#include "lighting/UserFiles.h"
#include "platform/IniFile.h"
#include "tests/lighting/FakeKeyboard.h"
#include "tests/lighting/TestFolder.h"
#include "tests/support/SimLibrary.h"
#include "ui/CBitmapSlider.h"
#include "ui/CPngButton.h"
#include "ui/CSkinColorBtn.h"
#include "ui/SkinLayout.h"
#include "ui/TextTable.h"

#include <QBackingStore>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QSignalSpy>
#include <QTest>
#include <QWheelEvent>

#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>

namespace tarvik::lighting {
namespace {

namespace fs = std::filesystem;
constexpr int kWaitMs = 10000;

// Holds every exchange while closed, so a test can pile up requests behind a busy keyboard. The hold is
// bounded: a test that forgets to open it fails instead of hanging.
class GatedExchanger final : public device::Exchanger {
public:
    explicit GatedExchanger(device::Exchanger& inner) : inner_(inner) {}
    void close() {
        std::lock_guard lock(mutex_);
        open_ = false;
    }
    void open() {
        {
            std::lock_guard lock(mutex_);
            open_ = true;
        }
        changed_.notify_all();
    }
    int transact(std::span<const uint8_t> request, std::span<uint8_t, device::kReportSize> reply,
                 size_t& delivered) override {
        {
            std::unique_lock lock(mutex_);
            if (!changed_.wait_for(lock, std::chrono::milliseconds(kWaitMs), [this] { return open_; })) {
                return device::kNoReply;
            }
        }
        return inner_.transact(request, reply, delivered);
    }

private:
    device::Exchanger& inner_;
    std::mutex mutex_;
    std::condition_variable changed_;
    bool open_ = true;
};

// The main window as far as the panel sees it: the background and the key buttons, placed from the skin.
class HostWindow : public QLabel {
public:
    explicit HostWindow(const fs::path& skins) {
        setPixmap(QPixmap(QString::fromStdString((skins / "main_bg.jpg").string())));
        resize(pixmap().size());
        const IniFile layout = IniFile::load(skins / "Main.ini");
        ui::loadRequiredPictures(skins,
                                 {"main_normal.jpg", "main_over.jpg", "main_down.jpg", "main_disable.jpg"},
                                 pictures_, [](const fs::path& missing) { ADD_FAILURE() << missing; });
        pictures_.resize(4);
        const ui::StatePictures set{&pictures_[0], &pictures_[1], &pictures_[2], &pictures_[3],
                                    &pictures_[2]};
        auto add = [&](size_t index, const std::string& key) {
            auto* b = new ui::CPngButton(this);
            b->setObjectName(QString::fromStdString(key));
            ui::placeImageButton(*b, layout, std::u16string(key.begin(), key.end()), set);
            buttons[index] = b;
        };
        for (size_t i = 0; i < keyboard::kKeyButtonCount; ++i) {
            add(i, keyboard::SkinNameOfButton(keyboard::KeyButtons()[i].controlId));
        }
        for (size_t g = 0; g < keyboard::kGKeyCount; ++g) {
            add(kFirstGButton + g, keyboard::SkinNameOfButton(keyboard::GButtons()[g].controlId));
        }
        add(kFnButton, "KEY_FN");
    }

    std::array<ui::CPngButton*, kLitButtonCount> buttons{};

private:
    std::vector<QPixmap> pictures_;
};

constexpr int kA = 0;  // LED 64
constexpr int kW = 22; // LED 44
constexpr int kS = 18; // S: the key right of A

TEST(PictureButton, ShrinksWithTheWindowShrunkToFitAScreen) {
    // Left half red, right half blue, laid out at its own size and shown at half of it.
    QImage image(40, 20, QImage::Format_RGB32);
    image.fill(Qt::red);
    for (int y = 0; y < 20; ++y) {
        for (int x = 20; x < 40; ++x) {
            image.setPixel(x, y, qRgb(0, 0, 255));
        }
    }
    PictureButton b;
    b.setPicture(QPixmap::fromImage(image));
    ui::placeAt(b, ui::SkinRect{0, 0, 40, 20});
    EXPECT_EQ(b.grab().toImage().pixel(30, 10), qRgb(0, 0, 255));
    b.resize(20, 10);
    const QImage shown = b.grab().toImage();
    EXPECT_EQ(shown.pixel(2, 5), qRgb(255, 0, 0));
    EXPECT_EQ(shown.pixel(17, 5), qRgb(0, 0, 255)); // unscaled, the picture's red half would be here
}

class LightingPanelTest : public ::testing::Test {
protected:
    LightingPanelTest() {
        skins = fs::path(testsupport::programFolder()) / "Skins";
        EXPECT_EQ(installUserFiles(folder, skins), InstallResult::Installed);
        host.show();
        panel =
            std::make_unique<LightingPanel>(host, skins / "Main.ini", skins, state,
                                            [this](std::function<void()> t) { worker.post(std::move(t)); });
        panel->attachKeyButtons(host.buttons);
    }
    ~LightingPanelTest() override {
        gate.open();
        worker.stop();
    }

    // Waits until every request has come back and the worker is idle; then the keyboard may be looked at.
    void settle() {
        ASSERT_TRUE(QTest::qWaitFor([&] { return panel->pending() == 0; }, kWaitMs));
        ASSERT_TRUE(worker.waitIdle(std::chrono::milliseconds(kWaitMs)));
    }
    void clearRequests() {
        settle();
        kb.requests.clear();
    }
    template <typename W = QWidget> W& control(int id) {
        W* w = dynamic_cast<W*>(panel->control(id));
        EXPECT_NE(w, nullptr) << id;
        return *w;
    }
    void click(int id) {
        QTest::mouseClick(&control(id), Qt::LeftButton);
        settle();
    }
    void turnOn() {
        panel->reload();
        settle();
        click(control::kPanelOn);
        ASSERT_TRUE(panel->view().panelOn);
    }
    void selectMode(uint8_t code) {
        auto& list = control<QComboBox>(control::kModeList);
        const int index = list.findData(int{code});
        ASSERT_GE(index, 0) << int(code);
        list.setCurrentIndex(index);
        emit list.activated(index);
        settle();
        ASSERT_EQ(panel->view().mode, code);
    }
    void shoot(const QString& name) {
        const QString dir = QStringLiteral(LIGHTING_TEST_SCREENS);
        QDir().mkpath(dir);
        EXPECT_TRUE(host.grab().save(dir + QStringLiteral("/%1.png").arg(name)));
    }
    static void mouse(QWidget& w, QEvent::Type type, QPoint at, Qt::MouseButtons held) {
        QMouseEvent e(type, QPointF(at), QPointF(w.mapToGlobal(at)),
                      type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton, held, Qt::NoModifier);
        QCoreApplication::sendEvent(&w, &e);
    }
    size_t count(uint8_t command) const { return kb.of(command).size(); }

    fs::path skins;
    fs::path folder = test::freshFolder();
    test::FakeKeyboard kb;
    GatedExchanger gate{kb};
    device::Commands commands{gate, test::noPauses()};
    LightingState state{commands, folder};
    HostWindow host{fs::path(testsupport::programFolder()) / "Skins"};
    device::SerialWorker worker;
    std::unique_ptr<LightingPanel> panel;
};

TEST_F(LightingPanelTest, ASliderDragOfTwentyStepsSendsAFewWritesAndEndsOnTheLastValue) {
    turnOn();
    auto& slider = control<ui::CBitmapSlider>(control::kBrightnessSlider);
    clearRequests();

    gate.close(); // the keyboard is slow: the drag outruns it
    const int y = slider.height() / 2;
    mouse(slider, QEvent::MouseButtonPress, QPoint(10, y), Qt::LeftButton);
    QCoreApplication::processEvents();
    // Twenty steps to the far end and back to the middle.
    for (int step = 1; step <= 20; ++step) {
        const int x = step <= 12 ? 10 + step * 20 : 250 - (step - 12) * 12;
        mouse(slider, QEvent::MouseMove, QPoint(x, y), Qt::LeftButton);
        QCoreApplication::processEvents();
    }
    mouse(slider, QEvent::MouseButtonRelease, QPoint(154, y), Qt::NoButton);
    QCoreApplication::processEvents();
    const int last = slider.position();
    EXPECT_EQ(last, 3);
    // Shown at once, before the keyboard has taken anything.
    const QImage three(QString::fromStdString((skins / "3.bmp").string()));
    ASSERT_FALSE(three.isNull());
    EXPECT_EQ(slider.picture().toImage().convertToFormat(QImage::Format_RGB32),
              three.convertToFormat(QImage::Format_RGB32));
    EXPECT_EQ(count(device::CMD_WRITE_SETTINGS), 0u);
    gate.open();
    settle();

    const auto writes = kb.of(device::CMD_WRITE_SETTINGS);
    EXPECT_GE(writes.size(), 1u);
    EXPECT_LE(writes.size(), 3u) << "a backlog of every step reached the keyboard";
    for (const auto& w : writes) {
        EXPECT_EQ(w.address, 1); // profile 0, brightness
    }
    EXPECT_EQ(kb.settings[1], last);
    EXPECT_EQ(panel->view().brightnessPosition, last);
    EXPECT_EQ(slider.position(), last);
}

TEST_F(LightingPanelTest, ACaptionPictureShrinksWithAWindowShrunkToFitAScreen) {
    auto* caption = qobject_cast<QLabel*>(panel->control(control::kBrightnessCaption));
    ASSERT_NE(caption, nullptr);
    const QImage picture = caption->pixmap().toImage().convertToFormat(QImage::Format_RGB32);
    const QSize half = picture.size() / 2;
    caption->resize(half);
    const QImage shown = caption->grab().toImage().convertToFormat(QImage::Format_RGB32);
    // How far the shown caption is from a picture, summed over its pixels.
    auto distance = [&](const QImage& other) {
        int64_t sum = 0;
        for (int y = 0; y < half.height(); ++y) {
            for (int x = 0; x < half.width(); ++x) {
                const QRgb a = shown.pixel(x, y);
                const QRgb b = other.pixel(x, y);
                sum += std::abs(qRed(a) - qRed(b)) + std::abs(qGreen(a) - qGreen(b)) +
                       std::abs(qBlue(a) - qBlue(b));
            }
        }
        return sum;
    };
    // The whole caption made smaller (within a little of the picture scaled alike), not a part of it cut
    // out: on average less than 4 of 255 a channel away.
    const int64_t channels = int64_t{3} * half.width() * half.height();
    EXPECT_LT(distance(picture.scaled(half, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)), 4 * channels);
}

TEST_F(LightingPanelTest, ThePreviewRunsOnlyWhileThePanelIsOnAndTheWindowShownAndSomethingChanges) {
    turnOn();
    selectMode(1);
    EXPECT_TRUE(panel->previewRunning());
    const uint64_t before = panel->framesDrawn();
    ASSERT_TRUE(QTest::qWaitFor([&] { return panel->framesDrawn() >= before + 3; }, kWaitMs));
    EXPECT_TRUE(panel->shownColour(kA).has_value());

    host.hide();
    EXPECT_FALSE(panel->previewRunning());
    host.show();
    EXPECT_TRUE(panel->previewRunning());
    host.setWindowState(Qt::WindowMinimized);
    EXPECT_FALSE(panel->previewRunning());
    host.setWindowState(Qt::WindowNoState);
    host.show();
    EXPECT_TRUE(panel->previewRunning());

    // A static colour is drawn once.
    selectMode(6);
    EXPECT_FALSE(panel->previewRunning());
    EXPECT_TRUE(panel->shownColour(kA).has_value());

    // A mode without preview shows the plain keys.
    selectMode(7);
    EXPECT_FALSE(panel->previewRunning());
    EXPECT_FALSE(panel->shownColour(kA).has_value());

    selectMode(4);
    EXPECT_TRUE(panel->previewRunning());
    QSignalSpy off(panel.get(), &LightingPanel::panelTurnedOff);
    click(control::kPanelOff);
    EXPECT_FALSE(panel->previewRunning());
    EXPECT_FALSE(panel->shownColour(kA).has_value());
    EXPECT_EQ(off.count(), 1);
}

TEST_F(LightingPanelTest, TheLightIsAddedToTheCapAndKeepsItsHue) {
    turnOn();
    selectMode(6);
    auto& colour = control<ui::CSkinColorBtn>(control::kFixedButton);
    colour.openPopup();
    colour.pick(0x0000FF); // red
    settle();
    ASSERT_EQ(panel->shownColour(kA), (Rgb{255, 0, 0}));

    ui::CPngButton& a = *host.buttons[kA];
    const QImage lit = a.grab().toImage();
    panel->attachKeyButtons({}); // the plain picture, for comparison
    const QImage plain = a.grab().toImage();
    panel->attachKeyButtons(host.buttons);
    const QPoint inside(a.width() / 2, a.height() - 6);
    const QColor p = plain.pixelColor(inside);
    const Rgb expected =
        litPixel(Rgb{uint8_t(p.red()), uint8_t(p.green()), uint8_t(p.blue())}, Rgb{255, 0, 0});
    const QColor got = lit.pixelColor(inside);
    EXPECT_NEAR(got.red(), expected.r, 2);
    EXPECT_NEAR(got.green(), expected.g, 2);
    EXPECT_NEAR(got.blue(), expected.b, 2);
    EXPECT_GT(got.red(), 2 * got.green()) << "red reads as red";
}

// The buttons the layer covers whose part of `picture` (with the layer's top left at `layerAt`) differs
// from the button's own painting.
std::vector<std::string> unlikeOwnPainting(const KeyLightLayer& layer,
                                           std::span<ui::CPngButton* const> buttons, const QImage& picture,
                                           QPoint layerAt) {
    std::vector<std::string> differ;
    for (size_t i = 0; i < buttons.size(); ++i) {
        if (!layer.covers(static_cast<int>(i))) {
            continue;
        }
        const QImage own = buttons[i]->grab().toImage().convertToFormat(QImage::Format_RGB32);
        const QImage part = picture.copy(buttons[i]->geometry().translated(layerAt - layer.pos()))
                                .convertToFormat(QImage::Format_RGB32);
        if (own != part) {
            differ.push_back(buttons[i]->objectName().toStdString());
        }
    }
    return differ;
}

// What the window shows of the keys the layer covers, against their own painting: the layer's pending
// repaint is done first (posted events only, so no frame comes between), then the window's picture read.
std::vector<std::string> unlikeOwnPaintingOnScreen(KeyLightLayer& layer, QWidget& window,
                                                   std::span<ui::CPngButton* const> buttons) {
    QCoreApplication::sendPostedEvents();
    const auto* picture = dynamic_cast<const QImage*>(window.backingStore()->paintDevice());
    if (picture == nullptr) {
        return {"the window's picture is not an image"};
    }
    auto differ = unlikeOwnPainting(layer, buttons, *picture, layer.mapTo(&window, QPoint()));
    if (!layer.paintsInPlace()) {
        differ.insert(differ.begin(), "the layer did not paint into the window's picture");
    }
    return differ;
}

TEST_F(LightingPanelTest, WhileThePreviewAnimatesOneLayerPaintsTheKeysExactlyAsTheyPaintThemselves) {
    auto* layer = host.findChild<KeyLightLayer*>(QStringLiteral("KEY_LIGHT_LAYER"));
    ASSERT_NE(layer, nullptr);
    // Bright random colours: lights that reach the corners' edges and hold channels at 255.
    kb.settings[kParamBrightness] = kLevelMax;
    kb.settings[kParamRandom] = 1;
    turnOn();
    for (uint8_t mode : {1, 5, 16}) {
        selectMode(mode);
        const uint64_t before = panel->framesDrawn();
        ASSERT_TRUE(QTest::qWaitFor([&] { return panel->framesDrawn() >= before + 3; }, kWaitMs));
        ASSERT_TRUE(layer->isVisibleTo(&host)) << int(mode);
        // Between two frames: the layer's picture holds the frame the buttons would draw now.
        int covered = 0;
        for (int i = 0; i < kLitButtonCount; ++i) {
            covered += layer->covers(i) ? 1 : 0;
        }
        EXPECT_EQ(covered, kLitButtonCount) << "every button of the generated skin is covered";
        int lit = 0;
        for (int i = 0; i < kLitButtonCount; ++i) {
            const std::optional<Rgb> c = panel->shownColour(i);
            lit += c && lightOverlay(*c) != Rgb{} ? 1 : 0;
        }
        EXPECT_GT(lit, kLitButtonCount / 2) << int(mode);
        const auto differ = unlikeOwnPaintingOnScreen(*layer, host, host.buttons);
        EXPECT_TRUE(differ.empty()) << int(mode) << ": " << differ.size() << " differ, first "
                                    << differ.front();
        // Painted anywhere else (here a grab), it composes a picture of its own to the same effect.
        const QImage grabbed = layer->grab().toImage();
        EXPECT_FALSE(layer->paintsInPlace());
        const auto differGrabbed = unlikeOwnPainting(*layer, host.buttons, grabbed, QPoint());
        EXPECT_TRUE(differGrabbed.empty())
            << int(mode) << ": " << differGrabbed.size() << " differ, first " << differGrabbed.front();
    }

    // A face that is more than its picture (a tint, a caption) paints itself inside its run, light and all.
    host.buttons[kS]->setTint(Qt::yellow, 80);
    host.buttons[kA]->setCaptionStyle(true);
    host.buttons[kA]->setText(QStringLiteral("A"));
    for (int frame = 0; frame < 2; ++frame) {
        const uint64_t before = panel->framesDrawn();
        ASSERT_TRUE(QTest::qWaitFor([&] { return panel->framesDrawn() >= before + 1; }, kWaitMs));
        const auto differ = unlikeOwnPaintingOnScreen(*layer, host, host.buttons);
        EXPECT_TRUE(differ.empty()) << differ.size() << " differ, first " << differ.front();
    }
    EXPECT_TRUE(layer->covers(kS));
    host.buttons[kS]->clearTint();
    host.buttons[kA]->setText(QString());
    host.buttons[kA]->setCaptionStyle(false);

    // A hover under the layer shows with the next frame, and goes with the one after it.
    for (bool hover : {true, false}) {
        host.buttons[kW]->setHover(hover);
        const uint64_t before = panel->framesDrawn();
        ASSERT_TRUE(QTest::qWaitFor([&] { return panel->framesDrawn() >= before + 1; }, kWaitMs));
        const auto differ = unlikeOwnPaintingOnScreen(*layer, host, host.buttons);
        EXPECT_TRUE(differ.empty()) << hover << ": " << differ.size() << " differ, first " << differ.front();
    }

    // The layer lets the mouse through to the buttons.
    const QPoint middle = host.buttons[kS]->geometry().center();
    EXPECT_EQ(host.childAt(middle), host.buttons[kS]);

    // A still picture: the buttons paint themselves again.
    selectMode(6);
    EXPECT_FALSE(layer->isVisibleTo(&host));
    selectMode(1);
    EXPECT_TRUE(layer->isVisibleTo(&host));
    click(control::kPanelOff);
    EXPECT_FALSE(layer->isVisibleTo(&host));

    // Without buttons there is nothing to lay over.
    panel->attachKeyButtons({});
    EXPECT_EQ(host.findChild<KeyLightLayer*>(), nullptr);
    panel->attachKeyButtons(host.buttons);
    EXPECT_NE(host.findChild<KeyLightLayer*>(), nullptr);
}

// The contrast of a key's legend with its cap in `shown` (the window's picture): the median of the
// wholly-legend pixels against that of the cap's own colour, both found in the button's unlit face.
std::optional<double> legendContrast(const ui::CPngButton& button, const QImage& shown) {
    QPoint origin;
    const QPixmap* picture = button.plainFace(origin);
    const QImage face =
        picture != nullptr ? picture->toImage().convertToFormat(QImage::Format_RGB32) : QImage();
    const KeyLegend legend = findKeyLegend(face, QRect(origin, button.size()));
    auto rgb = [](QRgb c) { return fromColorRef(qRgb(qBlue(c), qGreen(c), qRed(c)) & 0xFFFFFF); };
    std::vector<Rgb> ink, cap;
    for (int y = 3; y < button.height() - 3; ++y) {
        for (int x = 3; x < button.width() - 3; ++x) {
            if (rgb(face.pixel(origin + QPoint(x, y))) == legend.cap) {
                cap.push_back(rgb(shown.pixel(button.pos() + QPoint(x, y))));
            }
        }
    }
    for (const KeyLegend::Pixel& p : legend.pixels) {
        if (p.weight == 255) {
            ink.push_back(rgb(shown.pixel(button.pos() + QPoint(p.x, p.y))));
        }
    }
    if (ink.empty() || cap.empty()) {
        return std::nullopt;
    }
    auto median = [](std::vector<Rgb> v) {
        std::sort(v.begin(), v.end(),
                  [](Rgb a, Rgb b) { return relativeLuminance(a) < relativeLuminance(b); });
        return v[v.size() / 2];
    };
    return contrastRatio(median(ink), median(cap));
}

TEST_F(LightingPanelTest, InEveryModeEveryLitLegendKeepsAContrastOfAtLeastFourAndAHalf) {
    // Bright lights: a yellow effect colour, a light green base, the yellow preset, full brightness;
    // random colours in a second round.
    kb.settings[kParamBrightness] = kLevelMax;
    const uint8_t yellow[] = {255, 255, 0}, lightGreen[] = {144, 238, 144};
    std::copy(std::begin(yellow), std::end(yellow), kb.settings.begin() + kParamEffectColour);
    std::copy(std::begin(lightGreen), std::end(lightGreen), kb.settings.begin() + kParamBaseColour);
    kb.settings[kParamPreset] = 1;
    turnOn();
    double worst = 21;
    std::string where;
    int measured = 0;
    auto& list = control<QComboBox>(control::kModeList);
    for (const bool random : {false, true}) {
        if (random) {
            kb.settings[kParamRandom] = 1;
            panel->reload();
            settle();
            if (!panel->view().panelOn) {
                click(control::kPanelOn);
            }
        }
        for (int item = 0; item < list.count(); ++item) {
            const auto mode = static_cast<uint8_t>(list.itemData(item).toInt());
            selectMode(mode);
            const uint64_t before = panel->framesDrawn();
            // Animated modes move on two frames; still ones have drawn theirs and stop.
            (void)QTest::qWaitFor([&] { return panel->framesDrawn() >= before + 2; }, 300);
            const QImage shown = host.grab().toImage().convertToFormat(QImage::Format_RGB32);
            for (int i = 0; i < kLitButtonCount; ++i) {
                const std::optional<Rgb> light = panel->shownColour(i);
                if (!light || relativeLuminance(litPixel(Rgb{42, 45, 52}, *light)) < 0.05) {
                    continue; // unlit or dim: the printed legend on a dark cap
                }
                if (const auto c = legendContrast(*host.buttons[static_cast<size_t>(i)], shown)) {
                    ++measured;
                    if (*c < worst) {
                        worst = *c;
                        where = "mode " + std::to_string(mode) + (random ? " random" : "") + ", " +
                                host.buttons[static_cast<size_t>(i)]->objectName().toStdString();
                    }
                }
            }
        }
    }
    EXPECT_GT(measured, 1000);
    EXPECT_GE(worst, 4.5) << where;
}

TEST_F(LightingPanelTest, TheColourPopUpsAutomaticComesFromTheLanguageFile) {
    auto automatic = [&] {
        auto& button = control<ui::CSkinColorBtn>(control::kEffectButton);
        button.openPopup();
        const QString text = button.popup()->automaticEntry()->text();
        button.popup()->close();
        return text;
    };
    ui::uiTexts().load(skins / "language.ini");
    panel->retranslate();
    EXPECT_EQ(automatic(), QStringLiteral("Automatic"));
    // Chinese chosen in a copy of the file: the program folder's keeps its choice for the other tests.
    const fs::path chosen = folder / "language.ini";
    fs::copy_file(skins / "language.ini", chosen, fs::copy_options::overwrite_existing);
    ASSERT_TRUE(ui::uiTexts().switchLanguage(chosen, ui::TextTable::kChinese));
    panel->retranslate();
    EXPECT_EQ(automatic(), QStringLiteral("自动"));
    ui::uiTexts().load(skins / "language.ini");
}

TEST_F(LightingPanelTest, AWheelOverAClosedListChangesNothing) {
    turnOn();
    selectMode(1);
    clearRequests();
    for (int id : {control::kModeList, control::kSlotList}) {
        auto& list = control<QComboBox>(id);
        const int before = list.currentIndex();
        for (int step : {-120, 120, 120}) {
            QWheelEvent wheel(QPointF(5, 5), list.mapToGlobal(QPointF(5, 5)), QPoint(), QPoint(0, step),
                              Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
            QCoreApplication::sendEvent(&list, &wheel);
        }
        settle();
        EXPECT_EQ(list.currentIndex(), before) << id;
    }
    EXPECT_EQ(panel->view().mode, 1);
    EXPECT_TRUE(kb.requests.empty());
}

TEST_F(LightingPanelTest, TheLayerJoinsKeysOnlyAcrossBareBackgroundAndLeavesOtherWidgetsOnTop) {
    auto* layer = host.findChild<KeyLightLayer*>(QStringLiteral("KEY_LIGHT_LAYER"));
    ASSERT_NE(layer, nullptr);
    auto runOf = [&](int button) {
        const QRect face = host.buttons[static_cast<size_t>(button)]->geometry().translated(-layer->pos());
        for (const QRect& run : layer->runs()) {
            if (run.contains(face)) {
                return run;
            }
        }
        return QRect();
    };
    // A and S lie side by side on one row with bare background between them.
    layer->relayout();
    ASSERT_FALSE(runOf(kA).isNull());
    EXPECT_EQ(runOf(kA), runOf(kS));

    // A label between them breaks the run, and stays visible over the layer.
    const QRect a = host.buttons[kA]->geometry();
    const QRect s = host.buttons[kS]->geometry();
    ASSERT_LT(a.right() + 1, s.left());
    QLabel between(&host);
    between.setGeometry(QRect(QPoint(a.right() + 1, a.top()), QPoint(s.left() - 1, a.bottom())));
    between.show();
    layer->relayout();
    EXPECT_NE(runOf(kA), runOf(kS));
    for (const QRect& run : layer->runs()) {
        EXPECT_FALSE(run.translated(layer->pos()).intersects(between.geometry()));
    }
    EXPECT_EQ(host.childAt(between.geometry().center()), &between);

    // A hidden key is left out, and a key of another height never shares a run.
    host.buttons[kW]->hide();
    layer->relayout();
    EXPECT_FALSE(layer->covers(kW));
    host.buttons[kW]->show();
    layer->relayout();
    EXPECT_TRUE(layer->covers(kW));
    for (const QRect& run : layer->runs()) {
        for (ui::CPngButton* b : host.buttons) {
            const QRect face = b->geometry().translated(-layer->pos());
            if (run.intersects(face)) {
                EXPECT_TRUE(run.contains(face)) << b->objectName().toStdString();
                EXPECT_EQ(run.height(), face.height()) << b->objectName().toStdString();
            }
        }
    }
}

TEST_F(LightingPanelTest, ADragAcrossKeysPaintsThemWithOneUploadAndOpensNothing) {
    turnOn();
    selectMode(kUserMode);
    ASSERT_TRUE(panel->keyClicksPaint());
    click(control::kBrush0);
    auto& paint = control<ui::CSkinColorBtn>(control::kPaintButton);
    paint.pick(0xFF0000); // blue
    settle();
    clearRequests();

    ui::CPngButton& a = *host.buttons[kA];
    QSignalSpy clicked(&a, &QAbstractButton::clicked);
    mouse(a, QEvent::MouseButtonPress, QPoint(5, 5), Qt::LeftButton);
    // The moves go to the pressed button, with the pointer over the neighbours.
    for (int b : {kS, kW, kS}) {
        const QWidget& target = *host.buttons[static_cast<size_t>(b)];
        mouse(a, QEvent::MouseMove, a.mapFromGlobal(target.mapToGlobal(QPoint(6, 6))), Qt::LeftButton);
    }
    // Shown at once.
    EXPECT_EQ(panel->shownColour(kW), (Rgb{0, 0, 255}));
    EXPECT_EQ(count(device::CMD_WRITE_COLOURS), 0u);
    mouse(a, QEvent::MouseButtonRelease, a.mapFromGlobal(host.buttons[kS]->mapToGlobal(QPoint(6, 6))),
          Qt::NoButton);
    settle();
    EXPECT_EQ(clicked.count(), 0);

    EXPECT_EQ(count(device::CMD_BEGIN_WRITE), 1u);
    EXPECT_EQ(count(device::CMD_WRITE_COLOURS), 8u);
    for (int b : {kA, kS, kW}) {
        const size_t at = static_cast<size_t>(ledOfButton(b)) * 3;
        EXPECT_EQ(kb.colours[at + 2], 255) << b;
        EXPECT_EQ(panel->shownColour(b), (Rgb{0, 0, 255})) << b;
    }
    const IniFile file = IniFile::load(userLightingFilePath(folder, 0));
    const std::u16string slot =
        u"Mode" + std::u16string(1, u'0' + static_cast<char16_t>(panel->view().user.slot));
    EXPECT_EQ(file.get(slot, u"64"), u"0,0,255,0");
    shoot(QStringLiteral("lighting_user_painted"));
    // A reader hears the painted colour with the key and on the colour button.
    EXPECT_EQ(host.buttons[kW]->spokenColour(), 0xFF0000);
    EXPECT_TRUE(paint.accessibleDescription().endsWith(QStringLiteral(", #0000FF")))
        << paint.accessibleDescription().toStdString();

    // Fn paints; a G button opens its dialog as ever.
    clearRequests();
    QTest::mouseClick(host.buttons[kFnButton], Qt::LeftButton);
    settle();
    ASSERT_EQ(count(device::CMD_WRITE_COLOURS), 1u);
    EXPECT_EQ(kb.of(device::CMD_WRITE_COLOURS)[0].address, 3 * 110);
    QSignalSpy g(host.buttons[kFirstGButton], &QAbstractButton::clicked);
    QTest::mouseClick(host.buttons[kFirstGButton], Qt::LeftButton);
    EXPECT_EQ(g.count(), 1);

    // With the panel off, clicks go to the buttons again.
    click(control::kPanelOff);
    EXPECT_FALSE(panel->keyClicksPaint());
    EXPECT_EQ(host.buttons[kW]->spokenColour(), std::nullopt);
    QTest::mouseClick(&a, Qt::LeftButton);
    EXPECT_EQ(clicked.count(), 1);
}

TEST_F(LightingPanelTest, KeysPaintedWithTheBaseBrushFollowTheBaseColour) {
    turnOn();
    selectMode(kUserMode);
    click(control::kBrush1);
    panel->paintKey(kW);
    click(control::kBrush0);
    panel->paintKey(kA);
    settle();
    const Rgb painted = *panel->shownColour(kA);
    ASSERT_NE(painted, (Rgb{0, 255, 0}));
    control<ui::CSkinColorBtn>(control::kBaseButton).pick(0x00FF00); // green
    settle();
    EXPECT_EQ(panel->shownColour(kW), (Rgb{0, 255, 0}));
    EXPECT_EQ(panel->shownColour(kA), painted);
}

TEST_F(LightingPanelTest, OnlyTheButtonsWhoseLightChangedAreRepainted) {
    turnOn();
    selectMode(kUserMode);
    QCoreApplication::processEvents();
    struct Counter : QObject {
        std::map<QObject*, int> paints;
        bool eventFilter(QObject* o, QEvent* e) override {
            if (e->type() == QEvent::Paint) {
                ++paints[o];
            }
            return false;
        }
    } counter;
    for (ui::CPngButton* b : host.buttons) {
        b->installEventFilter(&counter);
    }
    panel->paintKey(kW);
    settle();
    ASSERT_TRUE(QTest::qWaitFor([&] { return counter.paints[host.buttons[kW]] > 0; }, kWaitMs));
    QCoreApplication::processEvents();
    std::vector<std::string> others;
    for (size_t i = 0; i < host.buttons.size(); ++i) {
        if (static_cast<int>(i) != kW && counter.paints[host.buttons[i]] > 0) {
            others.push_back(host.buttons[i]->objectName().toStdString());
        }
    }
    EXPECT_TRUE(others.empty()) << others.size() << " others repainted, first " << others.front();
}

TEST_F(LightingPanelTest, APanelMadeInAHiddenWindowHasItsTextAndNameFieldWhenShown) {
    // A program started hidden lays out no text until its window shows (no fonts loaded meanwhile).
    HostWindow hidden{skins};
    LightingPanel late(hidden, skins / "Main.ini", skins, state,
                       [this](std::function<void()> t) { worker.post(std::move(t)); });
    late.attachKeyButtons(hidden.buttons);
    const uint8_t block[] = {1, 4, 2, 1, 0, 56, 182, 240, 2};
    kb.setBlock(0, block);
    late.reload();
    ASSERT_TRUE(QTest::qWaitFor([&] { return late.pending() == 0; }, kWaitMs));
    auto& off = *hidden.findChild<QLabel*>(QStringLiteral("LIGHTING_PANEL_OFF"));
    auto& slotList = dynamic_cast<QComboBox&>(*late.control(control::kSlotList));
    EXPECT_TRUE(off.text().isEmpty());
    EXPECT_EQ(slotList.lineEdit(), nullptr);

    hidden.show();
    EXPECT_TRUE(off.text().contains(QStringLiteral("波浪"))) << off.text().toStdString();
    ASSERT_NE(slotList.lineEdit(), nullptr);
    const int slot = late.view().user.slot;
    EXPECT_EQ(slotList.currentText().toStdU16String(), late.view().user.slotNames[static_cast<size_t>(slot)]);
    slotList.lineEdit()->selectAll();
    QTest::keyClicks(slotList.lineEdit(), QStringLiteral("Dusk"));
    QTest::keyClick(slotList.lineEdit(), Qt::Key_Return);
    ASSERT_TRUE(QTest::qWaitFor([&] { return late.pending() == 0; }, kWaitMs));
    EXPECT_EQ(late.view().user.slotNames[static_cast<size_t>(slot)], u"Dusk");
}

TEST_F(LightingPanelTest, TheSlotNameIsWrittenWhenTheEditIsFinished) {
    turnOn();
    selectMode(kUserMode);
    auto& slotList = control<QComboBox>(control::kSlotList);
    ASSERT_EQ(slotList.count(), kSlotCount);
    const int slot = panel->view().user.slot;
    const std::u16string key(1, u'0' + static_cast<char16_t>(slot));
    slotList.lineEdit()->setFocus();
    slotList.lineEdit()->selectAll();
    QTest::keyClicks(slotList.lineEdit(), QStringLiteral("Night"));
    settle();
    EXPECT_NE(IniFile::load(userLightingFilePath(folder, 0)).get(u"MODENAME", key), u"Night");
    QTest::keyClick(slotList.lineEdit(), Qt::Key_Return);
    settle();
    EXPECT_EQ(IniFile::load(userLightingFilePath(folder, 0)).get(u"MODENAME", key), u"Night");
    EXPECT_EQ(panel->view().user.slotNames[static_cast<size_t>(slot)], u"Night");
    EXPECT_EQ(slotList.count(), kSlotCount) << "Return adds no entry";

    // A name typed and then left for another slot is written to the slot it was typed for.
    const int next = (slot + 1) % kSlotCount;
    slotList.lineEdit()->selectAll();
    QTest::keyClicks(slotList.lineEdit(), QStringLiteral("Day"));
    slotList.setCurrentIndex(next);
    emit slotList.activated(next);
    settle();
    const IniFile file = IniFile::load(userLightingFilePath(folder, 0));
    EXPECT_EQ(file.get(u"MODENAME", key), u"Day");
    EXPECT_EQ(file.get(u"PRESENTMODE", u"mode"), std::u16string(1, u'0' + static_cast<char16_t>(next)));
    EXPECT_EQ(panel->view().user.slot, next);
    EXPECT_EQ(slotList.itemText(slot), QStringLiteral("Day"));
}

TEST_F(LightingPanelTest, RequestsOfTheMainWindow) {
    // Timer 1051: several lighting changes on the keyboard in a row are read once.
    QSignalSpy drawn(panel.get(), &LightingPanel::viewChanged);
    panel->scheduleReload();
    panel->scheduleReload();
    panel->scheduleReload();
    ASSERT_TRUE(drawn.wait(kWaitMs));
    settle();
    EXPECT_EQ(count(device::CMD_READ_CONFIG), 1u);

    // The on switch waits for the main window's profile-switch check; a declined check changes nothing.
    std::function<void()> proceed;
    panel->setPanelOnCheck([&](std::function<void()> p) { proceed = std::move(p); });
    click(control::kPanelOn);
    ASSERT_TRUE(proceed);
    EXPECT_FALSE(panel->view().panelOn);
    proceed();
    settle();
    EXPECT_TRUE(panel->view().panelOn);
    EXPECT_EQ(IniFile::load(folder / "vlkb.ini").get(u"KEYCOLOR", u"DengCheck"), u"1");

    // The arrows do not step through the effects.
    selectMode(3);
    auto& list = control<QComboBox>(control::kModeList);
    list.setFocus();
    clearRequests();
    QTest::keyClick(&list, Qt::Key_Down);
    QTest::keyClick(&list, Qt::Key_Up);
    settle();
    EXPECT_EQ(list.currentData().toInt(), 3);
    EXPECT_TRUE(kb.requests.empty());

    // A profile button turns the panel off and reads the new profile.
    QSignalSpy off(panel.get(), &LightingPanel::panelTurnedOff);
    panel->switchProfile(2);
    settle();
    EXPECT_EQ(off.count(), 1);
    EXPECT_FALSE(panel->view().panelOn);
    EXPECT_EQ(state.profile(), 2);
}

TEST_F(LightingPanelTest, EachModeShowsItsControlsAndThePanelOffTextNamesTheEffect) {
    // The keyboard runs the wave at brightness 4, speed 2, direction 1, in a light blue.
    const uint8_t block[] = {1, 4, 2, 1, 0, 56, 182, 240, 2};
    kb.setBlock(0, block);
    panel->reload();
    settle();
    auto& off = *host.findChild<QLabel*>(QStringLiteral("LIGHTING_PANEL_OFF"));
    EXPECT_TRUE(off.isVisible());
    EXPECT_TRUE(off.text().contains(QStringLiteral("波浪"))) << off.text().toStdString();
    for (int id : kLightingControls) {
        EXPECT_FALSE(control(id).isVisible()) << id;
    }
    EXPECT_TRUE(control(control::kPanelOn).isVisible());
    shoot(QStringLiteral("lighting_off_chinese"));
    // After a language switch the names follow.
    ui::uiTexts().load(skins / "language.ini");
    panel->retranslate();
    EXPECT_TRUE(off.text().contains(QStringLiteral("Wave"))) << off.text().toStdString();
    shoot(QStringLiteral("lighting_off"));

    click(control::kPanelOn);
    EXPECT_FALSE(off.isVisible());
    for (uint8_t mode : {1, 6, 12, 17, 18}) {
        selectMode(mode);
        for (int id : kLightingControls) {
            EXPECT_EQ(control(id).isVisible(), panel->view().visible.contains(id)) << int(mode) << " " << id;
        }
        EXPECT_FALSE(control(control::kRandomCaption).isVisible());
        EXPECT_FALSE(control(control::kFixedRandomToggle).isVisible());
        shoot(QStringLiteral("lighting_mode%1").arg(mode));
    }
    // The direction controls move with the mode and keep their size.
    selectMode(12);
    const QWidget& dir0 = control(control::kDirection0);
    EXPECT_EQ(dir0.pos(), QPoint(628, 579));
    EXPECT_EQ(dir0.size(), QSize(60, 32));
    selectMode(18);
    EXPECT_EQ(dir0.pos(), QPoint(394, 615));
}

} // namespace
} // namespace tarvik::lighting
