#include "ui/CBaseDialog.h"

#include "ui/Language.h"
#include "ui/SkinLayout.h"
#include "ui/SkinPicture.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fstream>

namespace tarvik::ui {
namespace {

class CountingDialog : public CBaseDialog {
public:
    using CBaseDialog::CBaseDialog;
    using CBaseDialog::releaseBackground;
    int initialisations = 0;
    int showings = 0;

protected:
    void onInitDialog() override {
        CBaseDialog::onInitDialog();
        ++initialisations;
    }
    void onShowDialog() override { ++showings; }
};

// Dark pixels of the background that a caption turned light.
int lightPixels(const QImage& img, const QRect& area) {
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            n += qGray(img.pixel(x, y)) > 120;
        }
    }
    return n;
}

class BaseDialog : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        QImage bg(120, 80, QImage::Format_RGB32);
        bg.fill(QColor(30, 60, 90));
        ASSERT_TRUE(bg.save(dir.filePath("bg.png")));
        QImage mask(120, 80, QImage::Format_RGB32);
        mask.fill(Qt::black);
        QPainter(&mask).fillRect(QRect(40, 20, 40, 40), Qt::white);
        ASSERT_TRUE(mask.save(dir.filePath("mask.bmp")));
    }
    std::filesystem::path writeLayout(const std::string& text) {
        const std::filesystem::path path = folder() / "Test.ini";
        std::ofstream(path) << text;
        return path;
    }
    std::filesystem::path folder() const { return dir.path().toStdString(); }
    QTemporaryDir dir;
};

TEST_F(BaseDialog, LoadsBackgroundSizeAndRegionFromTheLayoutFile) {
    CountingDialog d(131, nullptr, writeLayout("[SCREEN]\nMain=bg.png\nMask=mask.bmp\n"), folder());
    d.resize(300, 300);
    d.show();
    EXPECT_EQ(d.initialisations, 1);
    EXPECT_EQ(d.size(), QSize(120, 80));
    EXPECT_TRUE(d.windowFlags().testFlag(Qt::FramelessWindowHint));
    const QRegion region = d.mask();
    EXPECT_TRUE(region.contains(QPoint(10, 10)));
    EXPECT_FALSE(region.contains(QPoint(50, 30)));
    EXPECT_EQ(d.grab().toImage().pixel(10, 10), qRgb(30, 60, 90));

    // Each showing initialises again, like a dialog opened anew.
    d.hide();
    d.show();
    EXPECT_EQ(d.initialisations, 2);

    d.accept();
    EXPECT_TRUE(d.backgroundPicture().isNull());
    EXPECT_TRUE(d.maskPicture().isNull());
}

TEST_F(BaseDialog, PressAnywhereMovesTheWindow) {
    CountingDialog d(131, nullptr, writeLayout("[SCREEN]\nMain=bg.png\nMask=mask.bmp\n"), folder());
    d.show();
    d.move(100, 100);
    const QPoint start = d.pos();
    auto send = [&](QEvent::Type type, QPoint local, Qt::MouseButtons held) {
        QMouseEvent e(type, QPointF(local), QPointF(start + local), Qt::LeftButton, held, Qt::NoModifier);
        QCoreApplication::sendEvent(&d, &e);
    };
    send(QEvent::MouseButtonPress, QPoint(10, 10), Qt::LeftButton);
    send(QEvent::MouseMove, QPoint(50, 40), Qt::LeftButton);
    EXPECT_EQ(d.pos(), start + QPoint(40, 30));
    send(QEvent::MouseButtonRelease, QPoint(50, 40), Qt::NoButton);
    send(QEvent::MouseMove, QPoint(90, 90), Qt::NoButton);
    EXPECT_EQ(d.pos(), start + QPoint(40, 30));
}

TEST_F(BaseDialog, MissingMaskKeepsTheTemplateSizeAndNoRegion) {
    CountingDialog d(149, nullptr, writeLayout("[SCREEN]\nMain=bg.png\nMask=nothing.bmp\n"), folder());
    d.resize(200, 150);
    d.show();
    EXPECT_EQ(d.size(), QSize(200, 150));
    EXPECT_TRUE(d.mask().isEmpty());
}

TEST_F(BaseDialog, MissingLayoutFileLeavesTheDialogAsItWas) {
    CountingDialog d(102, nullptr, folder() / "Missing.ini", folder());
    d.resize(200, 150);
    d.show();
    EXPECT_EQ(d.size(), QSize(200, 150));
    EXPECT_TRUE(d.backgroundPicture().isNull());
}

TEST_F(BaseDialog, TheMainWindowIsANormalWindowInitialisedOnce) {
    CountingDialog d(102, nullptr, writeLayout("[SCREEN]\nMain=bg.png\nMask=mask.bmp\n"), folder(),
                     CBaseDialog::Kind::MainWindow);
    EXPECT_EQ(d.windowType(), Qt::Window); // a taskbar entry, not a dialog of another window
    EXPECT_TRUE(d.windowFlags().testFlag(Qt::WindowMinimizeButtonHint));
    // Initialised while hidden, as the program starts.
    d.initialise();
    EXPECT_EQ(d.initialisations, 1);
    EXPECT_FALSE(d.isVisible());
    EXPECT_EQ(d.size(), QSize(120, 80));
    for (int i = 0; i < 3; ++i) {
        d.show();
        d.hide();
    }
    EXPECT_EQ(d.initialisations, 1);
    EXPECT_EQ(d.showings, 3);

    // A dialog initialised ahead of its showing is not initialised twice for it.
    CountingDialog dialog(131, nullptr, writeLayout("[SCREEN]\nMain=bg.png\nMask=mask.bmp\n"), folder());
    dialog.initialise();
    dialog.show();
    EXPECT_EQ(dialog.initialisations, 1);
    dialog.hide();
    dialog.show();
    EXPECT_EQ(dialog.initialisations, 2);
}

TEST_F(BaseDialog, EnterAndEscapeNeverCloseASkinnedWindow) {
    for (const auto kind : {CBaseDialog::Kind::Dialog, CBaseDialog::Kind::MainWindow}) {
        CountingDialog d(131, nullptr, writeLayout("[SCREEN]\nMain=bg.png\nMask=mask.bmp\n"), folder(), kind);
        auto* edit = new QLineEdit(&d);
        d.show();
        for (const auto& [key, mods] : {std::pair{Qt::Key_Escape, Qt::NoModifier},
                                        {Qt::Key_Return, Qt::NoModifier},
                                        {Qt::Key_Enter, Qt::KeypadModifier}}) {
            for (QWidget* target : {static_cast<QWidget*>(&d), static_cast<QWidget*>(edit)}) {
                QKeyEvent press(QEvent::KeyPress, key, mods);
                QCoreApplication::sendEvent(target, &press);
                QKeyEvent release(QEvent::KeyRelease, key, mods);
                QCoreApplication::sendEvent(target, &release);
                EXPECT_TRUE(d.isVisible()) << key;
                EXPECT_EQ(d.result(), 0);
            }
        }
    }
}

TEST_F(BaseDialog, CaptionsAreDrawnInTheCurrentLanguageAndRedrawnAfterASwitch) {
    const std::filesystem::path language = folder() / "language.ini";
    std::ofstream(language)
        << "[LANGUAGE]\nlanguage=1\n[ENGINSH]\nLIGHT_TITLE=LIGHTING\nMAIN_CAPTION=Keyboard\n"
           "[CHINESE]\nLIGHT_TITLE=\xE7\x81\xAF\xE5\x85\x89\nMAIN_CAPTION=\xE9\x94\xAE\xE7\x9B\x98\n";
    Language& lang = Language::instance();
    const LanguageFiles before = lang.files();
    lang.setFiles({language, {}});
    lang.load();

    QImage dark(300, 100, QImage::Format_RGB32);
    dark.fill(QColor(20, 22, 26));
    ASSERT_TRUE(dark.save(dir.filePath("dark.png")));
    CountingDialog d(
        131, nullptr,
        writeLayout("[SCREEN]\nMain=dark.png\nMask=mask.bmp\n[CAPTIONS]\n"
                    "LIGHT_TITLE=10,10,200,30,20,left,caption\nMAIN_CAPTION=10,50,200,30,18,center,title\n"),
        folder());
    d.show();
    ASSERT_EQ(d.captions().size(), 2u);
    EXPECT_EQ(d.captionText(0), QStringLiteral("LIGHTING"));
    EXPECT_EQ(d.captionText(1), QStringLiteral("Keyboard"));
    const QImage english = d.grab().toImage();
    EXPECT_GT(lightPixels(english, QRect(10, 10, 200, 30)), 30);
    EXPECT_EQ(lightPixels(english, QRect(220, 10, 70, 80)), 0); // nothing outside the rectangles

    lang.switchTo(TextTable::kChinese);
    EXPECT_EQ(d.captionText(0), QString::fromUtf8("\xE7\x81\xAF\xE5\x85\x89"));
    EXPECT_EQ(d.captionText(1), QString::fromUtf8("\xE9\x94\xAE\xE7\x9B\x98"));
    const QImage chinese = d.grab().toImage();
    EXPECT_GT(lightPixels(chinese, QRect(10, 10, 200, 30)), 30);
    EXPECT_NE(chinese.copy(10, 10, 200, 30), english.copy(10, 10, 200, 30));

    lang.setFiles(before);
    lang.load();
}

TEST_F(BaseDialog, AWindowLargerThanTheScreenIsDrawnSmallerWithItsControls) {
    const QSize area = QGuiApplication::primaryScreen()->availableGeometry().size();
    const QSize big(area.width() * 2, area.height()); // twice as wide as the screen
    QImage bg(big, QImage::Format_RGB32);
    bg.fill(QColor(30, 60, 90));
    ASSERT_TRUE(bg.save(dir.filePath("big.png")));
    QImage mask(big, QImage::Format_RGB32);
    mask.fill(Qt::black);
    QPainter(&mask).fillRect(QRect(0, 0, 40, 40), Qt::white); // a white corner is outside the window
    ASSERT_TRUE(mask.save(dir.filePath("bigmask.bmp")));

    CountingDialog d(
        102, nullptr,
        writeLayout("[SCREEN]\nMain=big.png\nMask=bigmask.bmp\n[BUTTONINFO]\nBOX=200,100,80,40\n"), folder(),
        CBaseDialog::Kind::MainWindow);
    d.initialise();
    auto* box = new QLabel(&d);
    placeControl(*box, d.layout(), u"BOX");
    EXPECT_DOUBLE_EQ(d.skinScale(), 0.5);
    EXPECT_EQ(d.size(), QSize(big.width() / 2, big.height() / 2));
    EXPECT_EQ(box->geometry(), QRect(100, 50, 40, 20));
    // Sized and placed while hidden; the outline is read and cut at the smaller size when it shows.
    EXPECT_TRUE(d.mask().isEmpty());
    d.show();
    EXPECT_FALSE(d.mask().contains(QPoint(5, 5)));
    EXPECT_TRUE(d.mask().contains(QPoint(25, 25)));
    SkinRect placed;
    ASSERT_TRUE(placedRect(*box, placed));
    EXPECT_EQ(placed, (SkinRect{200, 100, 80, 40})); // the layout rectangle is kept for a later rescale
}

TEST_F(BaseDialog, TwiceTheDensityLoadsTheDoubleSizePictureWhereThereIsOne) {
    QImage plain(10, 10, QImage::Format_RGB32);
    plain.fill(Qt::red);
    ASSERT_TRUE(plain.save(dir.filePath("p.png")));
    QImage twice(20, 20, QImage::Format_RGB32);
    twice.fill(Qt::green);
    ASSERT_TRUE(twice.save(dir.filePath("p@2x.png")));
    ASSERT_TRUE(plain.save(dir.filePath("only.png")));

    EXPECT_EQ(doubleSizePath("/s/main_bg.jpg"), std::filesystem::path("/s/main_bg@2x.jpg"));
    const QPixmap one = loadSkinPixmap(folder() / "p.png", 1.0);
    EXPECT_EQ(one.size(), QSize(10, 10));
    const QPixmap two = loadSkinPixmap(folder() / "p.png", 2.0);
    EXPECT_EQ(two.size(), QSize(20, 20));
    EXPECT_DOUBLE_EQ(two.devicePixelRatio(), 2.0);
    EXPECT_EQ(two.toImage().pixel(0, 0), qRgb(0, 255, 0));
    const QPixmap fallback = loadSkinPixmap(folder() / "only.png", 1.5);
    EXPECT_EQ(fallback.size(), QSize(10, 10));
    EXPECT_DOUBLE_EQ(fallback.devicePixelRatio(), 1.0);
    EXPECT_TRUE(loadSkinPixmap(folder() / "none.png", 2.0).isNull());
}

TEST_F(BaseDialog, WhereAMaskOnlyLimitsInputTheCornersAreTransparent) {
    EXPECT_EQ(CBaseDialog::outlineFor(QStringLiteral("wayland")), CBaseDialog::Outline::Alpha);
    EXPECT_EQ(CBaseDialog::outlineFor(QStringLiteral("wayland-egl")), CBaseDialog::Outline::Alpha);
    EXPECT_EQ(CBaseDialog::outlineFor(QStringLiteral("xcb")), CBaseDialog::Outline::Region);
    EXPECT_EQ(CBaseDialog::outlineFor(QStringLiteral("offscreen")), CBaseDialog::Outline::Region);

    // A window whose mask leaves its corners out (the fixture's mask leaves a square out instead).
    QImage mask(120, 80, QImage::Format_RGB32);
    mask.fill(Qt::black);
    {
        QPainter p(&mask);
        p.fillRect(QRect(0, 0, 6, 6), Qt::white);
        p.fillRect(QRect(114, 74, 6, 6), Qt::white);
    }
    ASSERT_TRUE(mask.save(dir.filePath("corners.bmp")));
    const auto file = writeLayout("[SCREEN]\nMain=bg.png\nMask=corners.bmp\n");

    CBaseDialog::setOutlineOverride(CBaseDialog::Outline::Alpha);
    CountingDialog translucent(102, nullptr, file, folder(), CBaseDialog::Kind::MainWindow);
    CBaseDialog::setOutlineOverride(std::nullopt);
    translucent.show();
    EXPECT_TRUE(translucent.testAttribute(Qt::WA_TranslucentBackground));
    EXPECT_FALSE(translucent.testAttribute(Qt::WA_OpaquePaintEvent));
    // The picture itself carries the outline, whatever the window system does with the region.
    const QImage picture = translucent.backgroundPicture().toImage();
    EXPECT_EQ(qAlpha(picture.pixel(2, 2)), 0);
    EXPECT_EQ(qAlpha(picture.pixel(117, 77)), 0);
    EXPECT_EQ(picture.pixel(60, 40), qRgb(30, 60, 90));
    EXPECT_EQ(picture.pixel(6, 6), qRgb(30, 60, 90));
    const QImage shown = translucent.grab().toImage();
    EXPECT_EQ(qAlpha(shown.pixel(0, 0)), 0);
    EXPECT_EQ(qAlpha(shown.pixel(119, 79)), 0);
    EXPECT_EQ(shown.pixel(60, 40), qRgb(30, 60, 90));
    EXPECT_TRUE(translucent.mask().contains(QPoint(60, 40))); // the region still limits input
    EXPECT_FALSE(translucent.mask().contains(QPoint(2, 2)));
    // A background given back while hidden, and the mask with it, comes back with its outline.
    translucent.hide();
    translucent.releaseBackground();
    ASSERT_TRUE(translucent.backgroundPicture().isNull());
    EXPECT_TRUE(translucent.maskPicture().isNull());
    EXPECT_EQ(translucent.layout().get(u"SCREEN", u"Mask"), u"corners.bmp"); // given back too, read again
    translucent.show();
    EXPECT_EQ(qAlpha(translucent.backgroundPicture().toImage().pixel(2, 2)), 0);
    EXPECT_FALSE(translucent.mask().contains(QPoint(2, 2)));

    // Where the region cuts the window, the picture stays as it is and the window paints opaquely.
    CountingDialog cut(131, nullptr, file, folder());
    cut.show();
    EXPECT_EQ(cut.outline(), CBaseDialog::Outline::Region);
    EXPECT_FALSE(cut.testAttribute(Qt::WA_TranslucentBackground));
    EXPECT_TRUE(cut.testAttribute(Qt::WA_OpaquePaintEvent));
    EXPECT_EQ(cut.backgroundPicture().toImage().pixel(2, 2), qRgb(30, 60, 90));

    // A dialog read anew at its next show is cut by the outline its skin has then, not by the last one.
    QImage middle(120, 80, QImage::Format_RGB32);
    middle.fill(Qt::black);
    QPainter(&middle).fillRect(QRect(50, 30, 20, 20), Qt::white);
    ASSERT_TRUE(middle.save(dir.filePath("middle.bmp")));
    cut.accept();
    writeLayout("[SCREEN]\nMain=bg.png\nMask=middle.bmp\n");
    cut.show();
    EXPECT_TRUE(cut.mask().contains(QPoint(2, 2)));
    EXPECT_FALSE(cut.mask().contains(QPoint(60, 40)));
}

} // namespace
} // namespace tarvik::ui
