// The windows' message boxes and file dialogs: messages do not wait and follow one another, questions
// wait with their default, and the file dialog takes the translated filters and adds the extension.
#include "ui/Language.h"
#include "ui/MessageBox.h"
#include "ui/QtFileChooser.h"
#include "ui/SkinPrompter.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <fstream>

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

// The boxes carry the program's look: a drawn sign instead of the style's icons, plain text, and the
// buttons in the language of the texts (English words where the language file has none).
TEST(MessageBox, DrawnSignPlainTextAndButtonsInTheCurrentLanguage) {
    QTemporaryDir dir;
    const std::filesystem::path file = std::filesystem::path(dir.path().toStdString()) / "language.ini";
    std::ofstream(file)
        << "[LANGUAGE]\nlanguage=0\n[CHINESE]\nPROFILE_OK=确定\nMESSAGE_YES=是\nACC_SIGN_INFORMATION=信息\n"
           "[ENGINSH]\nPROFILE_OK=Okay\n";
    Language& language = Language::instance();
    const LanguageFiles before = language.files();
    language.setFiles({file, {}});
    language.load();

    std::unique_ptr<QMessageBox> message(
        makeMessageBox(nullptr, BoxKind::Information, QString(), QStringLiteral("<Default Profile>")));
    EXPECT_EQ(message->icon(), QMessageBox::NoIcon);
    EXPECT_FALSE(message->iconPixmap().isNull());
    EXPECT_EQ(message->textFormat(), Qt::PlainText); // shown as written, not taken for markup
    ASSERT_EQ(message->buttons().size(), 1);
    EXPECT_EQ(message->button(QMessageBox::Ok)->text(), QStringLiteral("确定"));
    EXPECT_TRUE(message->button(QMessageBox::Ok)->icon().isNull());
    // The drawn sign is named for readers.
    const auto* sign = message->findChild<QLabel*>(QStringLiteral("qt_msgboxex_icon_label"));
    ASSERT_NE(sign, nullptr);
    EXPECT_EQ(sign->accessibleName(), QStringLiteral("信息"));

    std::unique_ptr<QMessageBox> question(
        makeMessageBox(nullptr, BoxKind::Question, QString(), QStringLiteral("?")));
    ASSERT_EQ(question->buttons().size(), 2);
    EXPECT_EQ(question->button(QMessageBox::Yes)->text(), QStringLiteral("是"));
    EXPECT_EQ(question->button(QMessageBox::No)->text(), QStringLiteral("No")); // not in the file
    EXPECT_EQ(question->escapeButton(), question->button(QMessageBox::No));

    language.switchTo(TextTable::kEnglish);
    EXPECT_EQ(okText(), QStringLiteral("Okay"));
    EXPECT_EQ(yesText(), QStringLiteral("Yes"));

    // Each kind has its own sign, drawn sharp for the screen's pixel ratio.
    const QImage info = messageSign(BoxKind::Information, 40, 2.0).toImage();
    EXPECT_EQ(info.size(), QSize(80, 80));
    EXPECT_NE(info, messageSign(BoxKind::Question, 40, 2.0).toImage());
    EXPECT_NE(info, messageSign(BoxKind::Warning, 40, 2.0).toImage());

    language.setFiles(before);
    language.load();
}

// A box is at least its minimum width, and a text longer than that widens it (or wraps) instead of being
// cut off.
TEST(MessageBox, TheWholeTextFitsAShortAndALongMessage) {
    for (const QString& text :
         {QStringLiteral("Saved."),
          QStringLiteral("Device is not detected, the key settings can not be displayed!"),
          QStringLiteral("A text far longer than any box would be wide on one line: it names "
                         "the file, what went wrong with it and what to do next, so that "
                         "the user knows where things stand.")}) {
        SCOPED_TRACE(text.toStdString());
        std::unique_ptr<QMessageBox> box(makeMessageBox(nullptr, BoxKind::Information, QString(), text));
        box->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(box.get()));
        const auto* label = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
        ASSERT_NE(label, nullptr);
        EXPECT_GE(box->width(), 280);
        const QRect needed =
            label->fontMetrics().boundingRect(QRect(0, 0, label->contentsRect().width(), 100000),
                                              label->wordWrap() ? Qt::TextWordWrap : 0, text);
        EXPECT_LE(needed.width(), label->contentsRect().width());
        EXPECT_LE(needed.height(), label->contentsRect().height());
        box->hide();
    }
}

// The button texts carry no mnemonics, yet Y and N (alone or with Alt) answer a question, and Escape is No.
TEST(MessageBox, YAndNAnswerAQuestion) {
    struct Row {
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        QMessageBox::StandardButton answer;
    };
    for (const Row& row :
         {Row{Qt::Key_Y, Qt::NoModifier, QMessageBox::Yes}, Row{Qt::Key_Y, Qt::AltModifier, QMessageBox::Yes},
          Row{Qt::Key_N, Qt::NoModifier, QMessageBox::No}, Row{Qt::Key_N, Qt::AltModifier, QMessageBox::No},
          Row{Qt::Key_Escape, Qt::NoModifier, QMessageBox::No}}) {
        SCOPED_TRACE(QKeySequence(row.key | row.modifiers).toString().toStdString());
        std::unique_ptr<QMessageBox> box(
            makeMessageBox(nullptr, BoxKind::Question, QString(), QStringLiteral("?")));
        int answered = -1;
        QObject::connect(box.get(), &QMessageBox::finished, [&](int result) { answered = result; });
        box->show();
        ASSERT_TRUE(QTest::qWaitForWindowActive(box.get()));
        QTest::keyClick(box.get(), row.key, row.modifiers);
        EXPECT_TRUE(QTest::qWaitFor([&] { return answered != -1; }, 2000));
        EXPECT_EQ(answered, row.answer);
    }
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
