#include "ui/CBaseDialog.h"

#include <QCoreApplication>
#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fstream>

namespace tarvik::ui {
namespace {

class CountingDialog : public CBaseDialog {
public:
    using CBaseDialog::CBaseDialog;
    int initialisations = 0;

protected:
    void onInitDialog() override {
        CBaseDialog::onInitDialog();
        ++initialisations;
    }
};

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

} // namespace
} // namespace tarvik::ui
