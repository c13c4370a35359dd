// The words of a skinned window drawn above its controls: over an opaque control, for controls added
// later too, without taking the mouse from the control under them; and captions that come and go, move
// and dim with the control that owns them.
#include "ui/CBaseDialog.h"

#include "ui/Language.h"
#include "ui/SkinCaptionView.h"
#include "ui/SkinLayout.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <fstream>

namespace tarvik::ui {
namespace {

// A control that covers its rectangle with one dark colour and counts the presses it receives.
class Opaque : public QWidget {
public:
    explicit Opaque(QWidget* parent) : QWidget(parent) { setAttribute(Qt::WA_OpaquePaintEvent); }
    int presses = 0;

protected:
    void paintEvent(QPaintEvent*) override { QPainter(this).fillRect(rect(), QColor(40, 20, 20)); }
    void mousePressEvent(QMouseEvent*) override { ++presses; }
};

// Pixels that a caption's words turned light.
int lightPixels(const QImage& img, const QRect& area) {
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            n += qGray(img.pixel(x, y)) > 120;
        }
    }
    return n;
}

class Captions : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        saveBackground(QSize(400, 240), "bg.png", "mask.bmp");
        std::ofstream(folder() / "language.ini")
            << "[LANGUAGE]\nlanguage=1\n[ENGINSH]\nTITLE_A=WINDOW TITLE\nSPEED_CAPTION=SPEED\n"
               "[CHINESE]\nTITLE_A=\xE7\xAA\x97\xE5\x8F\xA3\nSPEED_CAPTION=\xE9\x80\x9F\xE5\xBA\xA6\n";
        before = Language::instance().files();
        Language::instance().setFiles({folder() / "language.ini", {}});
        Language::instance().load();
    }
    void TearDown() override {
        Language::instance().setFiles(before);
        Language::instance().load();
    }
    void saveBackground(QSize size, const char* picture, const char* mask) {
        QImage bg(size, QImage::Format_RGB32);
        bg.fill(QColor(20, 22, 26));
        ASSERT_TRUE(bg.save(dir.filePath(QString::fromLatin1(picture))));
        QImage m(size, QImage::Format_RGB32);
        m.fill(Qt::black);
        ASSERT_TRUE(m.save(dir.filePath(QString::fromLatin1(mask))));
    }
    std::filesystem::path folder() const { return dir.path().toStdString(); }
    std::filesystem::path layout(const std::string& text) {
        const std::filesystem::path path = folder() / "Test.ini";
        std::ofstream(path) << text;
        return path;
    }

    QTemporaryDir dir;
    LanguageFiles before;
};

const char* const kOwnedLayout = "[SCREEN]\nMain=bg.png\nMask=mask.bmp\n"
                                 "[BUTTONINFO]\nCONTROL_SPEED=100,100,160,30\nCONTROL_SPEED2=100,160,160,30\n"
                                 "[CAPTIONS]\nSPEED_CAPTION=130,100,120,30,14,left,caption\n"
                                 "[CAPTION_OWNERS]\nSPEED_CAPTION=CONTROL_SPEED\n";

TEST_F(Captions, AreDrawnAboveEveryControlAndLeaveTheMouseToIt) {
    CBaseDialog d(
        131, nullptr,
        layout("[SCREEN]\nMain=bg.png\nMask=mask.bmp\n[CAPTIONS]\nTITLE_A=10,10,200,30,18,left,title\n"),
        folder());
    auto* before = new Opaque(&d);
    before->setGeometry(0, 0, 220, 50);
    d.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&d));
    const QRect words(10, 10, 200, 30);
    EXPECT_GT(lightPixels(d.grab().toImage(), words), 30) << "the words are under the control";

    // A control added while the window shows, over the same place.
    auto* later = new Opaque(&d);
    later->setGeometry(0, 0, 220, 50);
    later->show();
    QCoreApplication::processEvents();
    EXPECT_GT(lightPixels(d.grab().toImage(), words), 30) << "a later control covers the words";

    // The press lands on the control under the words.
    EXPECT_EQ(d.childAt(words.center()), later);
    QTest::mouseClick(d.windowHandle(), Qt::LeftButton, Qt::NoModifier, words.center());
    EXPECT_EQ(later->presses, 1);
    EXPECT_EQ(before->presses, 0);
}

TEST_F(Captions, AnOwnedCaptionShowsMovesAndDimsWithItsOwner) {
    CBaseDialog d(131, nullptr, layout(kOwnedLayout), folder());
    d.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&d));
    ASSERT_EQ(d.captions().size(), 1u);
    SkinCaptionView* view = d.captionView(0);
    ASSERT_NE(view, nullptr);
    const QRect words(130, 100, 120, 30);
    EXPECT_FALSE(view->isVisible()) << "shown before its owner exists";
    EXPECT_EQ(lightPixels(d.grab().toImage(), words), 0);

    // The owner appears under its skin key.
    auto* owner = new Opaque(&d);
    owner->setObjectName(QStringLiteral("CONTROL_SPEED"));
    placeControl(*owner, d.layout(), u"CONTROL_SPEED");
    owner->show();
    QCoreApplication::processEvents();
    ASSERT_TRUE(view->isVisible());
    EXPECT_EQ(view->geometry(), words);
    EXPECT_GT(lightPixels(d.grab().toImage(), words), 30);

    owner->hide();
    EXPECT_FALSE(view->isVisible());
    EXPECT_EQ(lightPixels(d.grab().toImage(), words), 0);
    owner->show();
    EXPECT_TRUE(view->isVisible());

    // Moved to another place of the skin, as the lighting panel moves its direction controls.
    moveControl(*owner, d.layout(), u"CONTROL_SPEED2");
    EXPECT_EQ(view->geometry(), words.translated(0, 60));
    const QImage moved = d.grab().toImage();
    EXPECT_GT(lightPixels(moved, words.translated(0, 60)), 30);
    EXPECT_EQ(lightPixels(moved, QRect(130, 100, 120, 30)), 0) << "the words stayed behind";

    owner->setEnabled(false);
    EXPECT_TRUE(view->dimmed());
    EXPECT_EQ(lightPixels(d.grab().toImage(), words.translated(0, 60)), 0) << "a disabled control's words";
    owner->setEnabled(true);
    EXPECT_FALSE(view->dimmed());

    // Gone with its owner, back with a new one of the same name.
    delete owner;
    QCoreApplication::processEvents();
    EXPECT_FALSE(view->isVisible());
    auto* again = new Opaque(&d);
    again->setObjectName(QStringLiteral("CONTROL_SPEED"));
    placeControl(*again, d.layout(), u"CONTROL_SPEED");
    again->show();
    QCoreApplication::processEvents();
    EXPECT_TRUE(view->isVisible());
    EXPECT_EQ(view->geometry(), words);
}

TEST_F(Captions, FollowTheirOwnersWhileTheWindowIsHiddenAndAcrossShowings) {
    CBaseDialog d(131, nullptr, layout(kOwnedLayout), folder());
    d.initialise();
    // An owner inside a panel of the window, placed and hidden before the window first shows.
    auto* panel = new QWidget(&d);
    panel->setGeometry(0, 0, 400, 240);
    auto* owner = new QPushButton(panel);
    owner->setObjectName(QStringLiteral("CONTROL_SPEED"));
    placeControl(*owner, d.layout(), u"CONTROL_SPEED");
    int clicks = 0;
    QObject::connect(owner, &QPushButton::clicked, &d, [&clicks] { ++clicks; });
    owner->hide();
    d.show();
    EXPECT_FALSE(d.captionView(0)->isVisible());
    d.hide();
    owner->show();
    moveControl(*owner, d.layout(), u"CONTROL_SPEED2");
    // A dialog is initialised anew at each showing: its captions find the same owner again.
    d.show();
    ASSERT_NE(d.captionView(0), nullptr);
    EXPECT_TRUE(d.captionView(0)->isVisible());
    EXPECT_EQ(d.captionView(0)->geometry(), QRect(130, 160, 120, 30));
    // What the window's own code connected to the owner survives the captions' rebuilding.
    owner->click();
    EXPECT_EQ(clicks, 1);
    // A disabled panel dims the words of the controls in it.
    panel->setEnabled(false);
    EXPECT_TRUE(d.captionView(0)->dimmed());
}

TEST_F(Captions, AreRetextedAfterALanguageSwitchAndScaledWithTheWindow) {
    const QSize area = QGuiApplication::primaryScreen()->availableGeometry().size();
    const QSize big(area.width() * 2, area.height()); // drawn at half size
    saveBackground(big, "big.png", "bigmask.bmp");
    CBaseDialog d(102, nullptr,
                  layout("[SCREEN]\nMain=big.png\nMask=bigmask.bmp\n"
                         "[BUTTONINFO]\nCONTROL_SPEED=200,200,320,60\nCONTROL_SPEED2=200,400,320,60\n"
                         "[CAPTIONS]\nTITLE_A=20,20,400,60,28,left,title\n"
                         "SPEED_CAPTION=260,200,240,60,28,left,caption\n"
                         "[CAPTION_OWNERS]\nSPEED_CAPTION=CONTROL_SPEED\n"),
                  folder(), CBaseDialog::Kind::MainWindow);
    d.initialise();
    auto* owner = new Opaque(&d);
    owner->setObjectName(QStringLiteral("CONTROL_SPEED"));
    placeControl(*owner, d.layout(), u"CONTROL_SPEED");
    moveControl(*owner, d.layout(), u"CONTROL_SPEED2");
    d.show();
    ASSERT_DOUBLE_EQ(d.skinScale(), 0.5);
    EXPECT_EQ(d.captionView(0)->geometry(), QRect(10, 10, 200, 30));
    EXPECT_EQ(d.captionView(1)->geometry(), QRect(130, 200, 120, 30));
    const QImage english = d.grab().toImage();
    EXPECT_GT(lightPixels(english, QRect(10, 10, 200, 30)), 30);
    EXPECT_GT(lightPixels(english, QRect(130, 200, 120, 30)), 20);

    Language::instance().switchTo(TextTable::kChinese);
    EXPECT_EQ(d.captionText(0), QString::fromUtf8("\xE7\xAA\x97\xE5\x8F\xA3"));
    EXPECT_EQ(d.captionText(1), QString::fromUtf8("\xE9\x80\x9F\xE5\xBA\xA6"));
    const QImage chinese = d.grab().toImage();
    EXPECT_NE(chinese.copy(130, 200, 120, 30), english.copy(130, 200, 120, 30));
    EXPECT_GT(lightPixels(chinese, QRect(130, 200, 120, 30)), 20);
}

} // namespace
} // namespace tarvik::ui
