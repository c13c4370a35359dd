// The profile manager's wiring, offscreen: the list as opened, the tick boxes, Add and Delete, Apply on
// the device worker, OK and Cancel.
#include "profiles/ProfileManagerDialog.h"

#include "device/SerialWorker.h"
#include "platform/IniFile.h"
#include "profiles/ProfileFiles.h"
#include "tests/macros/RecordingPrompter.h"
#include "tests/profiles/FakeKeyboard.h"
#include "tests/profiles/TestHome.h"
#include "tests/profilesui/ScriptedFileChooser.h"
#include "tests/support/SimLibrary.h"
#include "ui/CPngButton.h"
#include "ui/Language.h"

#include <QDir>
#include <QHeaderView>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTest>

#include <gtest/gtest.h>

namespace tarvik::profiles {
namespace {

namespace fs = std::filesystem;
constexpr int kWaitMs = 10000;

class ProfileDialogTest : public ::testing::Test {
protected:
    ProfileDialogTest() {
        testing::useOwnHome();
        // The test's own settings file: the members are made before this body sets the home.
        settings = SettingsStore(settingsFilePath());
        data = ensureDataFolder();
        link.macroCapacity = 8192;
        link.currentProfile = 1;
        skins = fs::path(testsupport::programFolder()) / "Skins";
    }
    ~ProfileDialogTest() override { worker.stop(); }

    std::unique_ptr<ProfileManagerDialog> open() {
        auto d = std::make_unique<ProfileManagerDialog>(
            nullptr, skins / "Profile.ini", skins,
            ProfileManagerServices{files,
                                   prompter,
                                   settings,
                                   store,
                                   commands,
                                   link,
                                   [this](std::function<void()> task) { worker.post(std::move(task)); },
                                   {},
                                   [this] { ++helpOpened; }},
            [this](const fs::path& missing) { missingPicture = missing; });
        d->show();
        return d;
    }
    static QTableWidget& list(ProfileManagerDialog& d) {
        return *d.findChild<QTableWidget*>(QStringLiteral("PROGRAM_LIST"));
    }
    static ui::CPngButton& button(ProfileManagerDialog& d, const char* key) {
        return *d.findChild<ui::CPngButton*>(QString::fromLatin1(key));
    }
    static std::vector<bool> ticks(ProfileManagerDialog& d) {
        std::vector<bool> out;
        for (int r = 0; r < list(d).rowCount(); ++r) {
            out.push_back(list(d).item(r, 0)->checkState() == Qt::Checked);
        }
        return out;
    }
    static void clickCell(ProfileManagerDialog& d, int row, int column) {
        QTableWidget& l = list(d);
        const QRect cell = l.visualItemRect(l.item(row, column));
        QTest::mouseClick(l.viewport(), Qt::LeftButton, {}, cell.center());
    }
    size_t configWrites() {
        EXPECT_TRUE(worker.waitIdle(std::chrono::milliseconds(kWaitMs)));
        size_t n = 0;
        for (const auto& r : kb.requests) {
            n += r.command == device::CMD_WRITE_CONFIG ? 1 : 0;
        }
        return n;
    }
    void shoot(QWidget& w, const QString& name) {
        QDir().mkpath(QStringLiteral(PROFILE_TEST_SCREENS));
        EXPECT_TRUE(w.grab().save(QStringLiteral(PROFILE_TEST_SCREENS "/%1.png").arg(name)));
    }

    fs::path data;
    fs::path skins;
    fs::path missingPicture;
    int helpOpened = 0;
    testing::FakeKeyboard kb;
    device::LinkTiming timing = [] {
        device::LinkTiming t;
        t.endWritePause = std::chrono::milliseconds(0);
        return t;
    }();
    device::Commands commands{kb, timing};
    device::AppLinkState link;
    AssignmentStore store;
    testing::RecordingPrompter prompter;
    testing::ScriptedFileChooser files;
    SettingsStore settings{fs::path{}};
    device::SerialWorker worker;
};

TEST_F(ProfileDialogTest, OpensWithTheThreeOnBoardRowsAndTheCurrentProfileTicked) {
    auto d = open();
    EXPECT_TRUE(missingPicture.empty()) << missingPicture;
    EXPECT_TRUE(d->isOpen());
    QTableWidget& l = list(*d);
    ASSERT_EQ(l.rowCount(), 3);
    EXPECT_EQ(l.horizontalHeaderItem(0)->text(), QString::fromUtf8("激活"));
    EXPECT_EQ(l.horizontalHeaderItem(1)->text(), QString::fromUtf8("名称"));
    EXPECT_EQ(l.horizontalHeaderItem(2)->text(), QString::fromUtf8("路径"));
    EXPECT_EQ(l.columnWidth(0), 60);
    EXPECT_EQ(l.columnWidth(1), 120);
    for (int r = 0; r < 3; ++r) {
        EXPECT_EQ(l.item(r, 1)->text(), QStringLiteral("$Profile0"));
        EXPECT_EQ(l.item(r, 2)->text().toStdString(), data.string() + "/");
    }
    EXPECT_EQ(ticks(*d), (std::vector<bool>{false, true, false}));
    EXPECT_FALSE(button(*d, "CONTROL2_APPLY").isEnabled());
    EXPECT_EQ(l.geometry(), QRect(22, 54, 436, 220));
    shoot(*d, QStringLiteral("profile_manager"));

    // Both tick boxes can be seen on the dark list: the unticked one has a light outline, the ticked one
    // is filled with the accent colour.
    const QImage img = l.viewport()->grab().toImage();
    const QRect unticked = l.visualItemRect(l.item(0, 0)), ticked = l.visualItemRect(l.item(1, 0));
    const QColor outline = img.pixelColor(unticked.center().x() - 7, unticked.center().y());
    const QColor fill = img.pixelColor(ticked.center().x() - 4, ticked.center().y() - 4);
    const QColor base = img.pixelColor(unticked.left() + 3, unticked.center().y());
    EXPECT_GT(outline.lightness() - base.lightness(), 60) << outline.name().toStdString();
    EXPECT_GT(fill.blue(), 200) << fill.name().toStdString();
}

TEST_F(ProfileDialogTest, ButtonsAndListAreNamedForReaders) {
    auto d = open();
    // The buttons show their words only as drawn captions.
    const std::pair<const char*, const char*> named[] = {
        {"CONTROL_OK", "PROFILE_OK"},      {"CONTROL_CANCEL", "MESSAGE_CANCEL"},
        {"FUNC_ADD", "PROFILE_ADD"},       {"FUNC_LOAD", "PROFILE_LOAD"},
        {"FUNC_DELETE", "PROFILE_DELETE"}, {"CONTROL2_APPLY", "PROFILE_APPLY"}};
    for (const auto& [control, key] : named) {
        const QString name = button(*d, control).accessibleName();
        EXPECT_FALSE(name.isEmpty()) << control;
        EXPECT_EQ(name, ui::text(key)) << control;
    }
    EXPECT_FALSE(list(*d).accessibleName().isEmpty());
}

TEST_F(ProfileDialogTest, TicksAreSingleChoiceAndEnableApply) {
    auto d = open();
    clickCell(*d, 2, 0);
    EXPECT_EQ(ticks(*d), (std::vector<bool>{false, false, true}));
    EXPECT_TRUE(button(*d, "CONTROL2_APPLY").isEnabled());
    // A click beside the tick column selects the row without ticking it.
    clickCell(*d, 0, 1);
    EXPECT_EQ(ticks(*d), (std::vector<bool>{false, false, true}));
    EXPECT_EQ(d->model().selected(), 0);
    shoot(*d, QStringLiteral("profile_manager_ticked"));
}

TEST_F(ProfileDialogTest, AddAppendsANewFileAndDeleteRemovesTheSelectedRow) {
    auto d = open();
    files.answers = {data / "Raid.tvk"};
    QTest::mouseClick(&button(*d, "FUNC_ADD"), Qt::LeftButton);
    ASSERT_EQ(list(*d).rowCount(), 4);
    EXPECT_EQ(list(*d).item(3, 1)->text(), QStringLiteral("Raid"));
    EXPECT_TRUE(fs::exists(data / "Raid.tvk"));
    EXPECT_EQ(files.requests.at(0).defaultName, "The new contextual  mode.tvk");
    EXPECT_TRUE(button(*d, "CONTROL2_APPLY").isEnabled());

    clickCell(*d, 3, 2);
    QTest::mouseClick(&button(*d, "FUNC_DELETE"), Qt::LeftButton);
    EXPECT_EQ(list(*d).rowCount(), 3);
    EXPECT_TRUE(fs::exists(data / "Raid.tvk"));
}

TEST_F(ProfileDialogTest, OkAppliesOnTheWorkerThenCloses) {
    auto d = open();
    QSignalSpy applied(d.get(), &ProfileManagerDialog::applied);
    clickCell(*d, 2, 0);
    QTest::mouseClick(&button(*d, "CONTROL_OK"), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !d->isVisible(); }, kWaitMs));
    EXPECT_FALSE(d->isOpen());
    ASSERT_EQ(applied.count(), 1);
    EXPECT_TRUE(applied.at(0).at(0).toBool());
    EXPECT_EQ(configWrites(), 1u);
    EXPECT_EQ(link.currentProfile.load(), 2);
    const IniFile ini = IniFile::load(settings.file());
    EXPECT_EQ(ini.get(kSettingsSection, u"PROFILE00"), u"3");

    // Opened again: the keyboard's profile 2 is ticked.
    d->show();
    EXPECT_EQ(ticks(*d), (std::vector<bool>{false, false, true}));
    EXPECT_FALSE(button(*d, "CONTROL2_APPLY").isEnabled());
}

TEST_F(ProfileDialogTest, CancelAndACloseRequestSendNothing) {
    auto d = open();
    clickCell(*d, 0, 0);
    QTest::mouseClick(&button(*d, "CONTROL_CANCEL"), Qt::LeftButton);
    EXPECT_FALSE(d->isVisible());
    EXPECT_FALSE(d->isOpen());
    d->show();
    EXPECT_EQ(ticks(*d), (std::vector<bool>{false, true, false}));
    EXPECT_TRUE(d->requestClose());
    EXPECT_FALSE(d->isVisible());
    EXPECT_EQ(configWrites(), 0u);
}

TEST_F(ProfileDialogTest, TheHelpKeyOpensTheHelp) {
    auto d = open();
    QTest::keyClick(d.get(), Qt::Key_F1);
    EXPECT_EQ(helpOpened, 1);
    EXPECT_TRUE(d->isVisible());
}

TEST_F(ProfileDialogTest, ASwitchWhileOpenTicksItsRowAndDisablesApply) {
    auto d = open();
    clickCell(*d, 0, 0);
    ASSERT_TRUE(button(*d, "CONTROL2_APPLY").isEnabled());
    d->profileSwitched(2);
    EXPECT_EQ(ticks(*d), (std::vector<bool>{false, false, true}));
    EXPECT_FALSE(button(*d, "CONTROL2_APPLY").isEnabled());
}

} // namespace
} // namespace tarvik::profiles
