// The real main window on the offscreen platform with its real sub-windows: the program folder's skins, a
// keyboard behind the command seam, scripted message boxes, file dialogs and update seams, and nothing
// opened or started on the desktop.
#pragma once

#include "app/MainWindow.h"
#include "app/SubWindows.h"
#include "device/SerialWorker.h"
#include "lighting/LightingPanel.h"
#include "tests/app/HubFixture.h"
#include "tests/app/WholeKeyboard.h"
#include "tests/support/SimLibrary.h"
#include "tests/update/UpdateFakes.h"
#include "ui/Language.h"

#include <QApplication>
#include <QTest>
#include <QUrl>

#include <gtest/gtest.h>

namespace tarvik::app::test {

class WindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        home = testing::useOwnHome();
        const std::string bin = testsupport::programFolder();
        std::filesystem::create_directories(home / "config");
        languageFile = home / "language.ini";
        std::filesystem::copy_file(bin + "/Skins/language.ini", languageFile,
                                   std::filesystem::copy_options::overwrite_existing);
        ui::Language::instance().setFiles({languageFile, home / "config" / "Tarvik.ini"});
        ui::Language::instance().load();
        settings.emplace(home / "config" / "Tarvik.ini");
        programFolder = bin;
    }
    void TearDown() override {
        if (window) {
            window->port().close();
            worker.stop();
            delete window;
            window = nullptr;
        }
    }
    MainWindowSetup setup() {
        MainWindowSetup s{.state = state,
                          .store = store,
                          .settings = *settings,
                          .programFolder = programFolder,
                          .dataFolder = home / "Documents" / "Velmora",
                          .prompter = &prompter,
                          .files = &files,
                          .sendRaw = trigger.sender(),
                          .updatePrompter = &updatePrompter,
                          .programStarter = &starter,
                          .startOnScreenKeyboard = [this] { ++onScreenKeyboards; }};
        s.assemble = [this](MainWindow& w) { return assembleProgram(w, commands); };
        s.toWorker = [this](std::function<void()> t) { worker.post(std::move(t)); };
        s.onTagged = [this] { ++tagged; };
        s.createNamedEvents = [this] { ++eventsCreated; };
        s.showText = [this](const QString& t) { texts.push_back(t); };
        s.desktopOpen = [this](const QUrl& u) { opened.push_back(u); };
        return s;
    }
    // Creates and initialises the window, and lets the posted MSG_INIT run.
    void start(MainWindowSetup s) {
        window = new MainWindow(std::move(s));
        window->initialise();
        ASSERT_TRUE(QTest::qWaitFor([&] { return window->hub().isReady(); }, 5000));
    }
    void start() { start(setup()); }
    // A keyboard is there and has been read.
    void arrive() {
        state.devicePresence.store(1);
        state.macroCapacity.store(8192);
        window->port().sendMessage(device::MSG_PROFILE_SYNC, device::kCodeProf);
        ASSERT_TRUE(settle());
    }

    // Lets queued work come back (the lighting panel's answers, a switch, Apply) until nothing is left.
    bool settle() {
        return QTest::qWaitFor(
            [&] {
                QCoreApplication::processEvents();
                return worker.waitIdle(std::chrono::milliseconds(10)) && !window->hub().busy() &&
                       window->subWindows()->lightingIdle() &&
                       window->subWindows()->switchRunner().pending() == 0;
            },
            10000);
    }

    std::filesystem::path home;
    std::filesystem::path programFolder;
    std::filesystem::path languageFile;
    device::AppLinkState state;
    profiles::AssignmentStore store;
    tarvik::testing::WholeKeyboard keyboard;
    device::Commands commands{keyboard, device::LinkTiming{}.scaledDown(1000)};
    std::optional<profiles::SettingsStore> settings;
    ScriptedPrompter prompter;
    ScriptedFileChooser files;
    tarvik::testing::RecordingTrigger trigger;
    tarvik::testing::RecordingUpdatePrompter updatePrompter;
    tarvik::testing::ScriptedStarter starter;
    int onScreenKeyboards = 0;
    device::SerialWorker worker;
    MainWindow* window = nullptr;
    int tagged = 0;
    int eventsCreated = 0;
    std::vector<QString> texts;
    std::vector<QUrl> opened;
};

} // namespace tarvik::app::test
