// What the main window's decisions are tested with: a view that writes down every call, scripted message
// boxes, file dialogs and editors, the device worker and the user-interface thread as queues the test
// runs, and a keyboard behind the command seam.
#pragma once

#include "app/LightingPanelPort.h"
#include "app/MainHub.h"
#include "platform/FileChooser.h"
#include "platform/Prompter.h"
#include "tests/profiles/FakeKeyboard.h"
#include "tests/profiles/TestHome.h"
#include "ui/Editor.h"
#include "ui/TextTable.h"

#include <gtest/gtest.h>

#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace tarvik::app::test {

// Every call as one line, e.g. "setBusy 1" or "openKeyDialog 267 0 1002".
class RecordingView final : public MainView {
public:
    std::vector<std::string> calls;
    std::function<void()> onOpenAbout;

    size_t count(const std::string& call) const {
        size_t n = 0;
        for (const auto& c : calls) {
            n += c == call ? 1 : 0;
        }
        return n;
    }
    bool has(const std::string& call) const { return count(call) > 0; }
    // Position of the first call equal to call, or -1.
    int indexOf(const std::string& call) const {
        for (size_t i = 0; i < calls.size(); ++i) {
            if (calls[i] == call) {
                return static_cast<int>(i);
            }
        }
        return -1;
    }
    std::vector<MenuItem> lastMenu;
    std::u16string lastText;

    void showWindow() override { add("showWindow"); }
    void hideWindow() override { add("hideWindow"); }
    void minimizeWindow() override { add("minimizeWindow"); }
    void quit() override { add("quit"); }
    void setApplyEnabled(bool e) override { add("setApplyEnabled", e); }
    void refreshKeyButtons() override { add("refreshKeyButtons"); }
    void refreshButton(int id) override { add("refreshButton", id); }
    void setLayerIndicator(int layer) override { add("setLayerIndicator", layer); }
    void setProfileButtons(int p) override { add("setProfileButtons", p); }
    void setReportRateButtons(int r) override { add("setReportRateButtons", r); }
    void setFlip(int f) override { add("setFlip", f); }
    void setSwitchText(const std::u16string&) override { add("setSwitchText"); }
    void setBusy(bool b) override { add("setBusy", b); }
    void showBusyFrame(int f) override { add("showBusyFrame", f); }
    void showMenu(const std::vector<MenuItem>& items) override {
        lastMenu = items;
        add("showMenu");
    }
    void killTimer(int id) override { add("killTimer", id); }
    void createTray(int icon, const std::u16string&) override { add("createTray", icon); }
    void removeTray() override { add("removeTray"); }
    void setTrayIcon(int icon) override { add("setTrayIcon", icon); }
    void setTrayTip(const std::u16string& tip) override {
        lastText = tip;
        add("setTrayTip");
    }
    void openAbout() override {
        add("openAbout");
        if (onOpenAbout) {
            onOpenAbout();
        }
    }
    void openKeyDialog(const KeyDialogRequest& r) override {
        add("openKeyDialog " + std::to_string(r.slot) + " " + std::to_string(r.macroOnly) + " " +
            std::to_string(r.controlId));
    }
    void openProfileManager() override { add("openProfileManager"); }
    void openUpdateDialog() override { add("openUpdateDialog"); }
    void switchProfile(int p, profiles::SwitchSource source) override {
        add("switchProfile " + std::to_string(p) +
            (source == profiles::SwitchSource::Menu ? " menu" : " button"));
    }
    void openUrl(const std::string& url) override { add("openUrl " + url); }
    void openFile(const std::filesystem::path& f) override { add("openFile " + f.filename().string()); }
    void showText(const std::u16string& t) override {
        lastText = t;
        add("showText");
    }
    void retext() override { add("retext"); }

private:
    void add(const std::string& s) { calls.push_back(s); }
    void add(const std::string& s, int v) { calls.push_back(s + " " + std::to_string(v)); }
};

class ScriptedPrompter final : public Prompter {
public:
    std::vector<std::string> shown; // keys of every box, in order
    std::deque<bool> answers;       // answers to the next questions; a question without one fails the test
    std::function<void(const std::string&)> onShow;

    void show(std::string_view key) override {
        shown.emplace_back(key);
        if (onShow) {
            onShow(std::string(key));
        }
    }
    std::deque<Answer> threeWay; // answers to the next Yes/No/Cancel questions
    Answer askYesNoCancel(std::string_view key) override {
        shown.emplace_back(key);
        if (threeWay.empty()) {
            ADD_FAILURE() << "unexpected question " << key;
            return Answer::Cancel;
        }
        const Answer a = threeWay.front();
        threeWay.pop_front();
        return a;
    }
    bool askYesNo(std::string_view key, bool defaultYes) override {
        shown.emplace_back(key);
        asked.emplace_back(std::string(key), defaultYes);
        if (answers.empty()) {
            ADD_FAILURE() << "unexpected question " << key;
            return false;
        }
        const bool a = answers.front();
        answers.pop_front();
        return a;
    }
    std::vector<std::pair<std::string, bool>> asked; // key, default
};

class ScriptedFileChooser final : public FileChooser {
public:
    std::optional<std::filesystem::path> next;
    std::vector<std::string> filters;
    std::vector<Mode> modes;
    std::optional<std::filesystem::path> choose(Mode mode, const std::string& filter,
                                                const std::filesystem::path&, const std::string&) override {
        modes.push_back(mode);
        filters.push_back(filter);
        return next;
    }
};

// The lighting panel as the hub sees it: what it was asked, and the two states the hub reads.
class FakeLighting final : public LightingPanelPort {
public:
    std::vector<std::string> calls;
    bool paints = false;
    bool on = false;

    bool keyClicksPaint() const override { return paints; }
    bool panelOn() const override { return on; }
    void reload(int profile) override { calls.push_back("reload " + std::to_string(profile)); }
    void scheduleReload() override { calls.push_back("scheduleReload"); }
    void switchProfile(int profile) override { calls.push_back("switchProfile " + std::to_string(profile)); }
    void restoreDefaults() override { calls.push_back("restoreDefaults"); }
    void paintKey(int button) override { calls.push_back("paintKey " + std::to_string(button)); }
    void retranslate() override { calls.push_back("retranslate"); }
};

class FakeEditor final : public ui::Editor {
public:
    FakeEditor(std::string name, std::vector<std::string>& log) : name_(std::move(name)), log_(log) {}
    bool open = false;
    bool refuse = false;
    bool requestClose() override {
        log_.push_back("close " + name_);
        if (refuse) {
            return false;
        }
        open = false;
        return true;
    }
    bool isOpen() const override { return open; }
    // Unsaved edits: the question it has the hub ask, and what keeping them does.
    std::string question;
    std::function<void()> onSave;
    std::string_view unsavedEditsQuestion() const override { return question; }
    void saveEdits() override {
        log_.push_back("save " + name_);
        if (onSave) {
            onSave();
        }
    }

private:
    std::string name_;
    std::vector<std::string>& log_;
};

// Tasks handed to another thread, run when the test says so.
class TaskQueue {
public:
    void post(std::function<void()> task) { tasks_.push_back(std::move(task)); }
    // Runs tasks (also those they post) until none is left.
    size_t runAll() {
        size_t n = 0;
        while (!tasks_.empty()) {
            auto t = std::move(tasks_.front());
            tasks_.pop_front();
            t();
            ++n;
        }
        return n;
    }
    size_t size() const { return tasks_.size(); }

private:
    std::deque<std::function<void()>> tasks_;
};

// A hub with everything around it; the test's own home, so files land in a folder of its own.
class HubTest : public ::testing::Test {
protected:
    void SetUp() override {
        home = testing::useOwnHome();
        languageFile = home / "language.ini";
        std::filesystem::copy_file(TARVIK_SHIPPED_LANGUAGE_FILE, languageFile);
        texts.loadLanguage(languageFile, ui::TextTable::kEnglish);
        settings.emplace(home / ".config" / "Tarvik_Lumira" / "Tarvik.ini");
        programFolder = home / "program";
        hub = std::make_unique<MainHub>(
            MainHubParts{state,
                         store,
                         commands,
                         *settings,
                         prompter,
                         files,
                         view,
                         texts,
                         languageFile,
                         programFolder,
                         home / "Documents" / "Velmora",
                         [this](std::function<void()> t) { worker.post(std::move(t)); },
                         [this](std::function<void()> t) { ui.post(std::move(t)); },
                         {},
                         searchPath});
        hub->setLinks({"https://a.example/", "https://b.example/", "https://c.example/"});
    }
    // The user gives A of the editing profile another function through the window's funnel, and the
    // editor says so; each call is a new change.
    void userEdit() {
        hub->edits().edit([this](profiles::WorkingCopy& w) {
            keyboard::KeyAssignment& r =
                w.block().profile(static_cast<unsigned>(hub->editingProfile()))[0x1E];
            r.value = r.type == keyboard::ASSIGN_SINGLE_KEY ? r.value + 1 : 0x30;
            r.type = keyboard::ASSIGN_SINGLE_KEY;
        });
        hub->assignmentsChanged();
    }
    // Runs the device worker and then whatever it sent back, until both are empty.
    void settle() {
        while (worker.runAll() + ui.runAll() > 0) {
        }
    }
    // The keyboard is there and the window has finished starting.
    void startWithKeyboard() {
        hub->initialise();
        hub->handleMessage(device::MSG_INIT, device::kCodeInit, true);
        state.devicePresence.store(1);
        state.macroCapacity.store(8192); // what the presence worker reads on arrival
        view.calls.clear();
    }
    size_t requestsOf(uint8_t command) const {
        size_t n = 0;
        for (const auto& r : keyboard.requests) {
            n += r.command == command ? 1 : 0;
        }
        return n;
    }

    std::filesystem::path home;
    std::filesystem::path languageFile;
    std::filesystem::path programFolder;
    std::string searchPath = "/nonexistent/bin";
    device::AppLinkState state;
    profiles::AssignmentStore store;
    tarvik::testing::FakeKeyboard keyboard;
    device::Commands commands{keyboard, device::LinkTiming{}.scaledDown(1000)};
    std::optional<profiles::SettingsStore> settings;
    ScriptedPrompter prompter;
    ScriptedFileChooser files;
    RecordingView view;
    ui::TextTable texts;
    TaskQueue worker;
    TaskQueue ui;
    std::unique_ptr<MainHub> hub;
};

} // namespace tarvik::app::test
