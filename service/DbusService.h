// The running program on the session bus: it owns io.github.tarvik.Tarvik while it runs and serves the
// methods of io.github.tarvik.Tarvik1.xml. A call never runs on the user-interface thread: it is handed
// to the device worker, in the order calls came and behind any Apply, and answered from there.
#pragma once

#include "cli/DeviceSession.h"
#include "cli/ServiceCalls.h"
#include "cli/Watch.h"

#include <QDBusConnection>
#include <QDBusVirtualObject>

#include <atomic>
#include <functional>

namespace tarvik::service {

class DbusService final : public QDBusVirtualObject, public cli::watch::EventSink {
public:
    struct Hooks {
        // Queues a task on the device worker.
        std::function<void(std::function<void()>)> toWorker;
        // After a client's write has run on the worker, whether or not the keyboard took all of it.
        std::function<void()> written;
        // The automatic profiles' rules: a tarvikctl app-profiles command line, run on the user-interface
        // thread; and the window a desktop plugin reports in front. Empty: not served.
        std::function<cli::service::Outcome(const std::vector<std::string>& commandLine, bool json)>
            appProfiles;
        std::function<void(const QString& app)> focusReported;
    };

    explicit DbusService(Hooks hooks);
    ~DbusService() override;

    // Claims the name and serves the object. False when there is no session bus or another process owns
    // the name: the program then runs without the service.
    bool start();
    // Serves no more and releases the name; calls already queued are still answered.
    void stop();
    // The program's keyboard link, once open (any thread may read it).
    void setLink(cli::HostedLink* link) { link_.store(link); }

    // A signal of the interface, from any thread.
    void emitSignal(const QString& name, const QVariantList& arguments = {});
    // An event of the keyboard as tarvikctl watch reports it, from the link's threads: its signal. An
    // arrival or a lighting change also has the configuration read, for the profile it now runs.
    void emit(const cli::watch::Event& event) override;

    QString introspect(const QString& path) const override;
    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override;

private:
    // On the device worker: ProfileChanged when the keyboard runs another profile than last time.
    void checkProfile();

    Hooks hooks_;
    std::atomic<int> lastProfile_{-1};
    QDBusConnection bus_;
    std::atomic<bool> started_{false};
    std::atomic<cli::HostedLink*> link_{nullptr};
};

} // namespace tarvik::service
