#include "app/Program.h"

#include "app/CommandLine.h"
#include "app/MainWindow.h"
#include "app/NamedEvents.h"
#include "app/SingleInstance.h"
#include "app/StartupFiles.h"
#include "appprofiles/AppProfilesController.h"
#include "appprofiles/AppRulesDialog.h"
#include "cli/AppProfilesCommand.h"
#include "cli/EventTap.h"
#include "device/LinkSession.h"
#include "device/SerialWorker.h"
#include "platform/ModalDialogHints.h"
#include "platform/Paths.h"
#include "platform/TerminationSignals.h"
#include "platform/ThisProcess.h"
#include "profiles/Settings.h"
#include "service/DbusService.h"
#include "ui/Language.h"
#include "ui/TextTable.h"
#include "update/FirmwareUpdate.h"

#include <QApplication>
#include <QSocketNotifier>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <sstream>
#include <string_view>
#include <vector>

namespace tarvik::app {

namespace {

// Hands a second start's request to the running instance. True when this process should end: the
// request was handed over, or at least someone holds the lock and listens.
bool handOver(const InstancePaths& paths, uint32_t message, uint32_t wParam) {
    return deliverToFirstInstance(paths.socket, message, wParam) != Delivery::NoInstance;
}

} // namespace

int runProgram(int argc, char** argv) {
    // The record the window, the link and the service share, handed to each of them. Never freed: a worker
    // stuck in the service library keeps using it while the process ends.
    static auto* const kept = new device::AppLinkState;
    device::AppLinkState& state = *kept;
    // Every file is found from the program's own folder.
    const std::filesystem::path folder = paths::programFolder();
    // The texts exist before any window, so every window is created with them.
    ui::Language::instance().setFiles({folder / "Skins" / "language.ini", profiles::settingsFilePath()});
    ui::Language::instance().load();
    // The store and its two locks live as long as the program.
    profiles::AssignmentStore store;

    const std::vector<std::string_view> args(argv + (argc > 0 ? 1 : 0), argv + argc);
    const CommandLine line = parseCommandLine(args);
    std::string noInstanceFolder;
    const std::optional<InstancePaths> instance = instancePaths(&noInstanceFolder);
    std::unique_ptr<InstanceLock> lock;
    InstanceLock::State held = InstanceLock::State::Failed;
    if (instance) {
        lock = std::make_unique<InstanceLock>(instance->lock);
        held = lock->tryAcquire();
    }
    if (held == InstanceLock::State::Failed) {
        // Runs on, as the program always has without its lock, but says so: a second start will not find it.
        std::fprintf(stderr, "tarvik: no single-instance lock: %s\n",
                     instance ? ("cannot open " + instance->lock.string()).c_str()
                              : noInstanceFolder.c_str());
    }
    if (held == InstanceLock::State::HeldElsewhere) {
        // A second start: "/Kill" ends the first instance, anything else opens its window. When the lock's
        // holder does not answer, this process goes on as the first instance.
        const bool done = line.kill ? handOver(*instance, device::MSG_KILL, device::kCodeKill)
                                    : handOver(*instance, device::MSG_OPEN, device::kCodeOpen);
        if (done) {
            return 0;
        }
    }
    state.instanceLock.store(lock && lock->held() ? lock->fd() : -1);
    state.suppressAutoOpen.store(line.start);
    startCompanionDaemon(folder); // its absence is fine

    QApplication app(argc, argv);
    // The window is hidden most of the time; closing it must not end the program.
    QApplication::setQuitOnLastWindowClosed(false);
    // What a window the program gives no title of its own (a message box) is called, and the desktop
    // entry the windows belong to (their icon and name in a Wayland session).
    QApplication::setApplicationName(QStringLiteral("Tarvik"));
    QGuiApplication::setDesktopFileName(QStringLiteral("io.github.tarvik.Tarvik"));
    QApplication::setApplicationVersion(QStringLiteral(TARVIK_VERSION));
    // On GNOME's Wayland compositor a modal dialog is placed over its parent only when it is told so.
    ModalDialogHints modalHints;
    if (ModalDialogHints::applies()) {
        app.installEventFilter(&modalHints);
    }

    profiles::SettingsStore settings;
    device::SerialWorker deviceWorker;
    // Programs started side by side for a test keep their events apart.
    const char* eventPrefix = std::getenv("TARVIK_NAMED_EVENT_PREFIX");
    NamedEvents events(eventPrefix != nullptr && eventPrefix[0] == '/' ? eventPrefix
                                                                       : userNamedEventPrefix());
    std::unique_ptr<InstanceServer> server;
    std::unique_ptr<device::LinkSession> session;
    MainWindow* window = nullptr;
    // The session-bus service: clients' calls run on the device worker; what they wrote is shown.
    std::optional<cli::HostedLink> hosted;
    // Automatic profiles, once the window exists; the rules window on first use.
    std::unique_ptr<appprofiles::AppProfilesController> autoProfiles;
    std::unique_ptr<appprofiles::AppRulesDialog> rulesWindow;
    auto watchingText = [&]() -> std::string {
        const appprofiles::FocusWatcher* w = autoProfiles ? autoProfiles->watcher() : nullptr;
        if (w == nullptr) {
            return "off";
        }
        return (autoProfiles->watching() ? w->name() : QStringLiteral("off: ") + w->why()).toStdString();
    };
    service::DbusService bus(
        {[&deviceWorker](std::function<void()> task) { deviceWorker.post(std::move(task)); },
         [&window] {
             QMetaObject::invokeMethod(
                 qApp,
                 [&window] {
                     if (window != nullptr) {
                         window->hub().keyboardWrittenByClient();
                     }
                 },
                 Qt::QueuedConnection);
         },
         [&](const std::vector<std::string>& line, bool json) {
             cli::service::Outcome outcome;
             if (!autoProfiles) {
                 return cli::service::Outcome{
                     1, {}, "tarvikctl: app-profiles: the program is still starting\n"};
             }
             std::ostringstream out;
             std::ostringstream err;
             cli::CliContext ctx{json, out, err, true, "program"};
             autoProfiles->followFile(); // an edit of the file not yet seen is built on, not lost
             appprofiles::AppRules rules = autoProfiles->rules();
             const std::vector<std::string_view> words(line.begin() + 1, line.end());
             bool changed = false;
             outcome.exitCode = cli::runAppProfiles(ctx, rules, words, changed, watchingText());
             std::string why;
             if (outcome.exitCode == 0 && changed && !autoProfiles->setRules(std::move(rules), &why)) {
                 err << "tarvikctl: app-profiles: cannot write the rules file: " << why << '\n';
                 outcome.exitCode = 1;
             }
             if (changed && rulesWindow && rulesWindow->isVisible()) {
                 rulesWindow->refresh();
             }
             outcome.output = out.str();
             outcome.messages = err.str();
             return outcome;
         },
         [&](const QString& app) {
             if (autoProfiles) {
                 autoProfiles->reportFocus({app.toStdString(), {}, {}});
             }
         }});

    // What the link tells the window also becomes the service's signals.
    std::unique_ptr<cli::watch::EventTap> tapHolder;
    // A second start's request: Apply is posted; the others are handled before it gets its answer.
    auto toWindow = [&window](uint32_t message, uint32_t wParam) {
        if (message == MSG_APPLY) {
            window->port().postMessage(message, wParam);
        } else {
            window->port().sendMessage(message, wParam);
        }
    };
    auto openLink = [&]() -> device::Commands& {
        tapHolder = std::make_unique<cli::watch::EventTap>(
            window->port(), state, bus, [&session] { return session ? session->link().devicePresent() : 0; });
        cli::watch::EventTap& tap = *tapHolder;
        session = std::make_unique<device::LinkSession>(state, tap);
        if (session->open(folder, device::OnBindFailure::Report) != device::BindResult::Ok) {
            // No service library, an entry point missing or its start refused: nothing shows.
            std::fflush(nullptr);
            exitAtOnce(0);
        }
        session->commands().setVerifyWrites(settings.readVerifyWrites());
        hosted.emplace(cli::HostedLink{session->commands(), session->link(), state});
        bus.setLink(&*hosted);
        return session->commands();
    };
    MainWindowSetup setup{
        .state = state,
        .store = store,
        .settings = settings,
        .programFolder = folder,
        .dataFolder = paths::dataFolder(),
        .assemble = [&](MainWindow& w) { return assembleProgram(w, openLink()); },
        .toWorker = [&deviceWorker](std::function<void()> task) { deviceWorker.post(std::move(task)); },
        .onTagged =
            [&] {
                if (!instance || held != InstanceLock::State::Acquired) {
                    return;
                }
                server = std::make_unique<InstanceServer>(instance->socket, toWindow);
                server->start();
                // Without a session bus (a console, a service manager's unit) the program runs without it.
                bus.start();
            },
        .createNamedEvents = [&] { events.create(); },
        .closeInstance =
            [&] {
                bus.stop();
                if (server) {
                    server->close();
                }
                state.instanceLock.store(-1);
                if (lock) {
                    lock->release();
                }
            },
        .closeNamedEvents = [&] { events.close(); },
        // The firmware update's trigger, through the link once it is open.
        .sendRaw =
            [&session](std::span<const uint8_t> report) {
                return session ? update::sendRawThrough(*session)(report) : device::kNoKeyboard;
            },
        .controlsOnDemand = std::chrono::seconds(30),
    };

    // A logout (SIGTERM), Ctrl+C or a closed terminal ends the program the orderly way: the named events
    // removed, the instance lock released, the icon gone. Caught from here on, before any of them exist.
    TerminationSignals terminationSignals;
    QSocketNotifier onSignal(terminationSignals.fd(), QSocketNotifier::Read);
    onSignal.setEnabled(terminationSignals.ok());
    QObject::connect(&onSignal, &QSocketNotifier::activated, [&] {
        while (terminationSignals.take() != 0) {
        }
        if (window != nullptr && window->windowTag() != 0) {
            window->hub().endSession();
        } else {
            QCoreApplication::exit(0);
        }
    });

    window = new MainWindow(std::move(setup));
    window->initialise(); // created hidden; MSG_INIT is on its way
    autoProfiles = std::make_unique<appprofiles::AppProfilesController>(
        appprofiles::rulesFilePath(), appprofiles::AppProfilesController::Hooks{
                                          [&] {
                                              const AutoSwitchState s = window->hub().autoSwitchState();
                                              appprofiles::SwitchInputs in;
                                              in.keyboard = s.keyboard;
                                              in.editsPending = s.editsPending;
                                              in.keyboardProfile = s.keyboardProfile;
                                              return in;
                                          },
                                          [&](int profile) { window->hub().switchAutomatically(profile); },
                                          [&](bool waiting) { window->hub().setSwitchWaiting(waiting); }});
    window->hub().setAutoProfiles(
        {[&] { return autoProfiles->paused(); }, [&](bool paused) { (void)autoProfiles->setPaused(paused); },
         [&] {
             if (!rulesWindow) {
                 rulesWindow = std::make_unique<appprofiles::AppRulesDialog>(*autoProfiles, folder / "Skins");
             }
             rulesWindow->refresh();
             rulesWindow->show();
             rulesWindow->raise();
             rulesWindow->activateWindow();
         },
         [&] { autoProfiles->recheck(); }});
    autoProfiles->start(appprofiles::watcherForDesktop(QString::fromStdString(folder.string())));
    if (const appprofiles::FocusWatcher* w = autoProfiles->watcher();
        w != nullptr && !autoProfiles->watching() && !w->adviceKey().empty() &&
        !autoProfiles->rules().rules.empty()) {
        // What the user can mend is said once, as a desktop notification (plain GNOME has no tray).
        QString advice =
            QString::fromStdU16String(ui::uiTexts().readOnDemand(ui::languageFilePath(), w->adviceKey()))
                .trimmed();
        appprofiles::notifyDesktop(QStringLiteral("Tarvik"), advice.replace(QStringLiteral("%s"), w->why()));
    }
    const int loop = QApplication::exec();
    (void)loop; // the program always ends with 0

    // Closing never waits for the user-interface thread: the window's port answers nothing any more,
    // the workers finish what they run, and the link goes before the window it reports to.
    window->port().close();
    bus.stop();
    rulesWindow.reset();
    autoProfiles.reset();
    if (server) {
        server->join();
    }
    // The link first: waiting exchanges end at once, so a task still on the device worker finishes at
    // once too, and the worker's stop does not wait for a keyboard that does not answer.
    if (session) {
        session->close();
    }
    deviceWorker.stop();
    session.reset();
    delete window;
    return 0;
}

} // namespace tarvik::app
