// The windows' message boxes and file dialogs: messages do not wait and follow one another, questions
// wait with their default, and the file dialog takes the translated filters and adds the extension.
#include "ui/Language.h"
#include "ui/QtFileChooser.h"
#include "ui/SkinPrompter.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

namespace tarvik::ui {
namespace {

// Runs fn on the modal window that the next call opens, once it is there.
void onNextModal(std::function<void(QWidget&)> fn) {
    auto* timer = new QTimer;
    timer->setInterval(5);
    auto started = std::make_shared<QElapsedTimer>();
    started->start();
    QObject::connect(timer, &QTimer::timeout, [timer, fn, started] {
        if (QWidget* w = QApplication::activeModalWidget()) {
            timer->stop();
            timer->deleteLater();
            fn(*w);
        } else if (started->elapsed() > 10000) {
            timer->stop();
            timer->deleteLater();
        }
    });
    timer->start();
}

TEST(SkinPrompter, MessagesDoNotWaitAndFollowOneAnother) {
    SkinPrompter p;
    p.setCaption("MAIN_PROMPT_DEFAULT", QStringLiteral("Velmora  Mechanical Keyboard"));
    EXPECT_EQ(p.captionOf("MAIN_PROMPT_DEFAULT"), QStringLiteral("Velmora  Mechanical Keyboard"));
    EXPECT_TRUE(p.captionOf("MAIN_NO_DEVICE_PROMPT").isEmpty());
    p.show("MAIN_NO_DEVICE_PROMPT"); // returns at once
    p.showText(QStringLiteral("second"));
    auto* first = qobject_cast<QMessageBox*>(p.shownBox());
    ASSERT_NE(first, nullptr);
    EXPECT_TRUE(QTest::qWaitFor([&] { return first->isVisible(); }, 5000));
    EXPECT_EQ(first->text(), text("MAIN_NO_DEVICE_PROMPT").trimmed());
    EXPECT_EQ(p.waiting(), 1u);
    first->button(QMessageBox::Ok)->click();
    EXPECT_TRUE(QTest::qWaitFor([&] { return p.shownBox() != nullptr && p.shownBox() != first; }, 5000));
    auto* second = qobject_cast<QMessageBox*>(p.shownBox());
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(second->text(), QStringLiteral("second"));
    EXPECT_EQ(p.waiting(), 0u);
    second->button(QMessageBox::Ok)->click();
    EXPECT_TRUE(QTest::qWaitFor([&] { return p.shownBox() == nullptr; }, 5000));
}

TEST(SkinPrompter, AQuestionWaitsForItsAnswerWithTheGivenDefault) {
    SkinPrompter p;
    for (bool defaultYes : {false, true}) {
        bool defaultWasYes = !defaultYes;
        onNextModal([&](QWidget& w) {
            auto* box = qobject_cast<QMessageBox*>(&w);
            ASSERT_NE(box, nullptr);
            defaultWasYes = box->defaultButton() == box->button(QMessageBox::Yes);
            box->button(QMessageBox::Yes)->click();
        });
        EXPECT_TRUE(p.askYesNo("MAIN_PROMPT_DEFAULT", defaultYes));
        EXPECT_EQ(defaultWasYes, defaultYes);
    }
    onNextModal([](QWidget& w) { qobject_cast<QMessageBox*>(&w)->button(QMessageBox::No)->click(); });
    EXPECT_FALSE(p.askYesNo("MAIN_PROMPT_DEFAULT", true));
}

TEST(QtFileChooser, SavesWithTheFirstFiltersExtensionAndCancelsToNothing) {
    QTemporaryDir dir;
    QtFileChooser chooser;
    QStringList filters;
    onNextModal([&](QWidget& w) {
        auto* d = qobject_cast<QFileDialog*>(&w);
        ASSERT_NE(d, nullptr);
        filters = d->nameFilters();
        d->selectFile(QStringLiteral("backup"));
        QMetaObject::invokeMethod(d, "accept");
    });
    const auto saved = chooser.choose(FileChooser::Mode::Save, "(*.tvk)|*.tvk|(*.*)|*.*||",
                                      dir.path().toStdString(), "*.tvk");
    ASSERT_TRUE(saved.has_value());
    EXPECT_EQ(saved->filename(), "backup.tvk");
    EXPECT_EQ(saved->parent_path(), std::filesystem::path(dir.path().toStdString()));
    EXPECT_EQ(filters, (QStringList{QStringLiteral("(*.tvk)"), QStringLiteral("(*)")}));

    onNextModal([](QWidget& w) { qobject_cast<QFileDialog*>(&w)->reject(); });
    EXPECT_FALSE(
        chooser.choose(FileChooser::Mode::Open, "(*.tvk)|*.tvk||", dir.path().toStdString()).has_value());
}

} // namespace
} // namespace tarvik::ui
