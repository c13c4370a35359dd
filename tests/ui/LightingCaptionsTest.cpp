// The captions of the generated main window over the real lighting panel: each shows exactly while the
// control it names shows, in every mode, never on top of another caption, above the panel's opaque
// picture controls, and in the active language. Screenshots of each mode family go to build/tests/screens.
#include "device/Commands.h"
#include "lighting/LightingPanel.h"
#include "lighting/LightingPanelIds.h"
#include "lighting/LightingState.h"
#include "lighting/UserFiles.h"
#include "tests/lighting/FakeKeyboard.h"
#include "tests/lighting/TestFolder.h"
#include "tests/support/SimLibrary.h"
#include "ui/CBaseDialog.h"
#include "ui/Language.h"
#include "ui/SkinCaptionView.h"

#include <QComboBox>
#include <QDir>
#include <QTest>

#include <gtest/gtest.h>

#include <set>

namespace tarvik::ui {
namespace {

namespace fs = std::filesystem;
using lighting::LightingPanel;
namespace control = lighting::control;

// Pixels of the area far from the area's darkest colour: words leave many, a bare surface none.
int inkPixels(const QImage& image, const QRect& area) {
    int darkest = 255;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            darkest = std::min(darkest, qGray(image.pixel(x, y)));
        }
    }
    int ink = 0;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            ink += qGray(image.pixel(x, y)) - darkest > 90 ? 1 : 0;
        }
    }
    return ink;
}

class LightingCaptions : public ::testing::Test {
protected:
    void SetUp() override {
        // The texts from a copy: a language switch writes its choice into the file.
        fs::copy_file(skins / "language.ini", folder / "language.ini", fs::copy_options::overwrite_existing);
        before = Language::instance().files();
        Language::instance().setFiles({folder / "language.ini", {}});
        Language::instance().load();
        Language::instance().switchTo(TextTable::kEnglish);

        ASSERT_EQ(lighting::installUserFiles(folder, skins), lighting::InstallResult::Installed);
        window.initialise();
        ASSERT_EQ(window.skinScale(), 1.0) << "the screen is too small for the checks below";
        panel = std::make_unique<LightingPanel>(window, skins / "Main.ini", skins, state,
                                                [](std::function<void()> task) { task(); });
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
        panel->reload();
        settle();
    }
    void TearDown() override {
        panel.reset();
        Language::instance().setFiles(before);
        Language::instance().load();
    }
    void settle() {
        ASSERT_TRUE(QTest::qWaitFor([&] { return panel->pending() == 0; }, 10000));
        QCoreApplication::processEvents();
    }
    void turnOn() {
        QTest::mouseClick(panel->control(control::kPanelOn), Qt::LeftButton);
        settle();
        ASSERT_TRUE(panel->view().panelOn);
    }
    void selectMode(int code) {
        auto* list = qobject_cast<QComboBox*>(panel->control(control::kModeList));
        ASSERT_NE(list, nullptr);
        const int index = list->findData(code);
        ASSERT_GE(index, 0) << code;
        list->setCurrentIndex(index);
        emit list->activated(index);
        settle();
        ASSERT_EQ(panel->view().mode, code);
    }
    QWidget* ownerOf(const SkinCaption& c) const {
        for (QWidget* w : window.findChildren<QWidget*>(QString::fromStdString(c.owner))) {
            if (qobject_cast<SkinCaptionView*>(w) == nullptr) {
                return w;
            }
        }
        return nullptr;
    }
    // The keys of the captions shown now; checks each against its owner on the way.
    std::set<std::string> checkShownCaptions(const std::string& what) {
        SCOPED_TRACE(what);
        std::set<std::string> shown;
        std::vector<QRect> places;
        const QImage screen = window.grab().toImage();
        for (size_t i = 0; i < window.captions().size(); ++i) {
            const SkinCaption& c = window.captions()[i];
            const SkinCaptionView* view = window.captionView(i);
            EXPECT_NE(view, nullptr) << c.key;
            if (view == nullptr || c.owner.empty()) {
                continue;
            }
            const QWidget* owner = ownerOf(c);
            EXPECT_NE(owner, nullptr) << c.key << ": the panel has no control " << c.owner;
            if (owner == nullptr) {
                continue;
            }
            EXPECT_EQ(view->isVisibleTo(&window), owner->isVisibleTo(&window)) << c.key;
            if (!view->isVisibleTo(&window)) {
                continue;
            }
            shown.insert(c.key);
            // Where the skin puts it relative to the control, wherever the control is now.
            const QPoint offset(c.rect.x - c.ownerRect.x, c.rect.y - c.ownerRect.y);
            EXPECT_EQ(view->pos(), owner->pos() + offset) << c.key;
            EXPECT_GT(inkPixels(screen, view->geometry()), 15) << c.key << " is hidden under a control";
            for (const QRect& other : places) {
                EXPECT_FALSE(other.intersects(view->geometry())) << c.key << " lies on another caption";
            }
            places.push_back(view->geometry());
        }
        return shown;
    }
    void shoot(const QString& name) {
        const QString dir = QStringLiteral(CAPTION_TEST_SCREENS);
        QDir().mkpath(dir);
        EXPECT_TRUE(window.grab().save(dir + QStringLiteral("/%1.png").arg(name)));
    }

    fs::path skins = fs::path(testsupport::programFolder()) / "Skins";
    fs::path folder = lighting::test::freshFolder();
    LanguageFiles before;
    lighting::test::FakeKeyboard kb;
    device::Commands commands{kb, lighting::test::noPauses()};
    lighting::LightingState state{commands, folder};
    CBaseDialog window{102, nullptr, skins / "Main.ini", skins, CBaseDialog::Kind::MainWindow};
    std::unique_ptr<LightingPanel> panel;
};

TEST_F(LightingCaptions, WithThePanelOffOnlyItsTitleShows) {
    ASSERT_FALSE(panel->view().panelOn);
    EXPECT_EQ(checkShownCaptions("panel off"), (std::set<std::string>{"LIGHT_CAPTION"}));
    shoot(QStringLiteral("captions_panel_off"));
}

TEST_F(LightingCaptions, EachModeShowsTheCaptionsOfItsControlsApartAndAboveThem) {
    turnOn();
    std::set<std::string> everShown;
    const auto* list = qobject_cast<QComboBox*>(panel->control(control::kModeList));
    ASSERT_GE(list->count(), 19);
    for (int i = 0; i < list->count(); ++i) {
        const int code = list->itemData(i).toInt();
        selectMode(code);
        const auto shown = checkShownCaptions("mode " + std::to_string(code));
        EXPECT_TRUE(shown.contains("LIGHT_CAPTION")) << code;
        EXPECT_TRUE(shown.contains("LIGHT_BRIGHTNESS")) << code;
        everShown.insert(shown.begin(), shown.end());
        if (code == 1 || code == 6 || code == 12 || code == 17 || code == 18 || code == 20) {
            shoot(QStringLiteral("captions_mode%1").arg(code));
        }
    }
    // Every caption of the lighting panel shows in some mode.
    for (const SkinCaption& c : window.captions()) {
        if (!c.owner.empty()) {
            EXPECT_TRUE(everShown.contains(c.key)) << c.key << " never shows";
        }
    }
    // Speed and direction share a row in the skin: the direction follows its control to its own row.
    selectMode(1);
    const auto shown = checkShownCaptions("mode 1 again");
    EXPECT_TRUE(shown.contains("LIGHT_SPEED"));
    EXPECT_TRUE(shown.contains("LIGHT_DIRECTION"));
}

TEST_F(LightingCaptions, FollowALanguageSwitch) {
    turnOn();
    selectMode(1);
    Language::instance().switchTo(TextTable::kChinese);
    panel->retranslate();
    QCoreApplication::processEvents();
    const auto shown = checkShownCaptions("Chinese");
    ASSERT_FALSE(shown.empty());
    for (size_t i = 0; i < window.captions().size(); ++i) {
        if (shown.contains(window.captions()[i].key)) {
            const QString words = window.captionText(i);
            EXPECT_EQ(words, text(window.captions()[i].key));
            EXPECT_TRUE(std::any_of(words.begin(), words.end(), [](QChar ch) {
                return ch.unicode() > 0x2E80;
            })) << words.toStdString();
        }
    }
    shoot(QStringLiteral("captions_mode1_chinese"));
}

} // namespace
} // namespace tarvik::ui
