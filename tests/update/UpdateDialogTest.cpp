// The update dialog's window, offscreen, with the generated skins of the program folder and scripted
// seams. Each test also leaves a picture of what it looked at in the build tree (screens/update/).
#include "update/UpdateDialog.h"

#include "TestPaths.h"
#include "tests/macros/RecordingPrompter.h"
#include "tests/profiles/StoreSamples.h"
#include "tests/profiles/TestHome.h"
#include "tests/update/UpdateFakes.h"
#include "ui/CPngButton.h"
#include "ui/SkinRect.h"
#include "ui/TextTable.h"
#include "update/UpdateMessageBox.h"

#include <QComboBox>
#include <QDir>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QTest>

#include <gtest/gtest.h>

#include <fstream>
#include <memory>

namespace tarvik::update {
namespace {

namespace fs = std::filesystem;

fs::path skins() {
    return fs::path(TARVIK_TEST_BIN_DIR) / "Skins";
}

// The dialog as it appears on screen, pixels outside its outline transparent.
void shoot(QWidget& w, const char* name) {
    const QString dir = QStringLiteral(TARVIK_SCREEN_DIR "/update");
    QDir().mkpath(dir);
    QImage image(w.size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter p(&image);
        if (!w.mask().isEmpty()) {
            p.setClipRegion(w.mask());
        }
        w.render(&p, QPoint(), QRegion(), QWidget::DrawWindowBackground | QWidget::DrawChildren);
    }
    ASSERT_TRUE(image.save(dir + QLatin1Char('/') + QString::fromLatin1(name) + QStringLiteral(".png")));
}

class UpdateDialogTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ui::uiTexts().load(skins() / "language.ini"); }

    void SetUp() override {
        home = tarvik::testing::useOwnHome();
        settings = profiles::SettingsStore(home / "tarvik.ini");
        package = home / "Package";
        fs::create_directories(package);
        program = package / "kb-update";
        std::ofstream(program) << "#!/bin/sh\nexit 0\n";
        fs::permissions(program, fs::perms::owner_all);
        tarvik::testing::fillSampleStore(store);
        FirmwareUpdate::Seams seams{prompter, files, chooser, starter, trigger.sender()};
        update =
            std::make_unique<FirmwareUpdate>(store, settings, seams, FirmwareUpdate::Folders{package, {}});
        UpdateDialog::Hooks hooks;
        hooks.openHelp = [this] { ++helpOpened; };
        hooks.missingPicture = [this](const fs::path& p) { missing.push_back(p); };
        dialog = std::make_unique<UpdateDialog>(nullptr, *update, skins(), skins() / "language.ini", hooks);
    }
    void TearDown() override {
        if (dialog->isVisible()) {
            dialog->reject();
        }
        dialog.reset();
    }

    void open() {
        dialog->show();
        ASSERT_TRUE(dialog->isVisible());
        ASSERT_TRUE(missing.empty()) << missing.front();
    }
    template <typename W = QWidget> W& child(const char* name) {
        W* w = dialog->findChild<W*>(QString::fromLatin1(name));
        EXPECT_NE(w, nullptr) << name;
        return *w;
    }
    void click(const char* name) { QTest::mouseClick(&child<ui::CPngButton>(name), Qt::LeftButton); }
    QString pathText() { return child<QLabel>("CONTROL_UPStatic").text(); }

    fs::path home, package, program;
    profiles::AssignmentStore store;
    profiles::SettingsStore settings{fs::path{}};
    tarvik::testing::RecordingPrompter prompter;
    tarvik::testing::RecordingUpdatePrompter files;
    tarvik::testing::ScriptedChooser chooser;
    tarvik::testing::ScriptedStarter starter;
    tarvik::testing::RecordingTrigger trigger;
    std::unique_ptr<FirmwareUpdate> update;
    int helpOpened = 0;
    std::vector<fs::path> missing;
    std::unique_ptr<UpdateDialog> dialog;
};

TEST_F(UpdateDialogTest, ControlsSitWhereTheSkinPutsThem) {
    open();
    EXPECT_EQ(dialog->size(), QSize(480, 178));
    for (const char* key : {"CONTROL_UPStatic", "CONTROL_OPENButton", "CONTROL_UPButton", "CONTROL_CUPButton",
                            "CONTROL_BACKUPButton"}) {
        SCOPED_TRACE(key);
        QWidget& w = child(key);
        const ui::SkinRect r = ui::readSkinRect(dialog->layout(), QString::fromLatin1(key).toStdU16String());
        EXPECT_EQ(w.geometry(), QRect(r.x, r.y, r.w, r.h));
        EXPECT_TRUE(w.isVisible());
        EXPECT_TRUE(w.isEnabled());
    }
    EXPECT_FALSE(child("CONTROL_UPCombox").isVisible());
    EXPECT_EQ(pathText(), QStringLiteral("No update program chosen"));
    EXPECT_EQ(child<ui::CPngButton>("CONTROL_OPENButton").tipText(),
              QStringLiteral("Choose the update program"));
    shoot(*dialog, "empty");
}

TEST_F(UpdateDialogTest, ChooseCancelReopenAndUpdateFindsNoFile) {
    open();
    click("CONTROL_UPButton");
    EXPECT_EQ(prompter.shown, std::vector<std::string>{"MAIN_UPDATE_ERROR_TEXT"});
    EXPECT_TRUE(dialog->isVisible()) << "an error keeps the dialog open";
    prompter.shown.clear();

    chooser.answers = {program};
    click("CONTROL_OPENButton");
    EXPECT_EQ(child<QLabel>("CONTROL_UPStatic").toolTip(), QString::fromStdString(program.string()));
    EXPECT_TRUE(pathText().endsWith(QStringLiteral("kb-update"))) << pathText().toStdString();
    shoot(*dialog, "chosen");

    click("CONTROL_CUPButton");
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(dialog->result(), QDialog::Rejected);

    open();
    EXPECT_EQ(pathText(), QStringLiteral("No update program chosen"));
    click("CONTROL_UPButton");
    EXPECT_EQ(prompter.shown, std::vector<std::string>{"MAIN_UPDATE_ERROR_TEXT"});
    EXPECT_TRUE(trigger.reports.empty());
}

TEST_F(UpdateDialogTest, TheChoiceSurvivesClosingByUpdateErrorsOnly) {
    open();
    chooser.answers = {program};
    click("CONTROL_OPENButton");
    trigger.answer = 0;
    click("CONTROL_UPButton");
    EXPECT_EQ(prompter.shown, std::vector<std::string>{"MAIN_BOOT_ERROR_TEXT"});
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_EQ(child<QLabel>("CONTROL_UPStatic").toolTip(), QString::fromStdString(program.string()))
        << "a refused trigger keeps the file";

    trigger.answer = 1;
    click("CONTROL_UPButton");
    EXPECT_FALSE(dialog->isVisible()) << "the update program runs: the dialog closes";
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
    ASSERT_EQ(starter.calls.size(), 1u);
    EXPECT_EQ(starter.calls[0].program, program);
    ASSERT_EQ(files.entries.size(), 2u);
    EXPECT_EQ(files.entries[1].key, "UPDATE_AUTO_BACKUP_DONE");
    EXPECT_EQ(update->pendingRestore(), update->lastAutomaticBackup());

    open();
    EXPECT_EQ(pathText(), QStringLiteral("No update program chosen")) << "an attempt clears the file";
}

TEST_F(UpdateDialogTest, BackupReportsEachOutcome) {
    open();
    std::ofstream(home / "a-file") << "";
    chooser.answers = {home / "before.tvk", home / "a-file" / "x.tvk", std::nullopt};
    click("CONTROL_BACKUPButton");
    click("CONTROL_BACKUPButton");
    click("CONTROL_BACKUPButton");
    EXPECT_EQ(prompter.shown, (std::vector<std::string>{"MAIN_UPDATE_BACKUP_OK", "MAIN_UPDATE_BACKUP_NG"}));
    EXPECT_TRUE(fs::exists(home / "before.tvk"));
    EXPECT_TRUE(dialog->isVisible());
}

TEST_F(UpdateDialogTest, KeysAndTheCloseRequest) {
    open();
    chooser.answers = {program};
    click("CONTROL_OPENButton");
    for (Qt::Key k : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape}) {
        QTest::keyClick(dialog.get(), k);
        EXPECT_TRUE(dialog->isVisible()) << k;
    }
    QTest::keyClick(dialog.get(), Qt::Key_F1);
    EXPECT_EQ(helpOpened, 1);

    EXPECT_TRUE(dialog->isOpen());
    EXPECT_TRUE(dialog->requestClose());
    EXPECT_FALSE(dialog->isOpen());
    EXPECT_TRUE(update->updateFile().empty()) << "closing is Cancel";
    EXPECT_TRUE(dialog->requestClose()) << "closed already: nothing to refuse";
}

TEST_F(UpdateDialogTest, AMissingPictureEndsTheFirstOpening) {
    const fs::path copy = home / "skins-without-one-picture";
    fs::create_directories(copy);
    for (const auto& entry : fs::directory_iterator(skins())) {
        if (entry.path().filename() != "update_over.jpg" && entry.is_regular_file()) {
            fs::copy_file(entry.path(), copy / entry.path().filename());
        }
    }
    std::vector<fs::path> reported;
    UpdateDialog::Hooks h;
    h.missingPicture = [&](const fs::path& p) { reported.push_back(p); };
    UpdateDialog other(nullptr, *update, copy, copy / "language.ini", h);
    other.show();
    ASSERT_EQ(reported.size(), 1u);
    EXPECT_EQ(reported[0].filename(), "update_over.jpg");
    other.reject();
}

TEST_F(UpdateDialogTest, TextsFollowTheActiveLanguage) {
    // Switching the language writes the file: a copy of it.
    const fs::path language = home / "language.ini";
    fs::copy_file(skins() / "language.ini", language);
    UpdateMessageBox boxes(nullptr, language);
    const fs::path backup = home / "backups" / "update-20240101-120000.tvk";
    const QString english = boxes.text("UPDATE_RESTORE_PROMPT", backup);
    EXPECT_TRUE(english.startsWith(QStringLiteral("The keyboard is back."))) << english.toStdString();
    EXPECT_TRUE(english.endsWith(QString::fromStdString(backup.string()))) << english.toStdString();
    EXPECT_FALSE(english.contains(QStringLiteral("%s")));

    ASSERT_TRUE(ui::uiTexts().switchLanguage(language, ui::TextTable::kChinese));
    const QString chinese = boxes.text("UPDATE_AUTO_BACKUP_DONE", backup);
    open(); // the dialog reads its texts at each opening
    EXPECT_EQ(pathText(), QStringLiteral("尚未选择升级程序"));
    shoot(*dialog, "empty-zh");
    ui::uiTexts().load(skins() / "language.ini");
    EXPECT_TRUE(chinese.startsWith(QStringLiteral("升级前"))) << chinese.toStdString();
    EXPECT_TRUE(chinese.contains(QString::fromStdString(backup.string())));
}

} // namespace
} // namespace tarvik::update
