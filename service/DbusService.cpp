#include "service/DbusService.h"

#include "cli/ServiceCalls.h"
#include "device/Commands.h"

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusMessage>
#include <QFile>
#include <QStringList>
#include <QVariantMap>

#include <optional>

namespace tarvik::service {

namespace cs = cli::service;

namespace {

QString qs(std::string_view s) {
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

// The arguments of a call as its method's signature lists them, and its options; nullopt when they do
// not fit.
std::optional<std::vector<cs::Argument>> argumentsOf(const QDBusMessage& message,
                                                     const cs::MethodInfo& method, bool& json) {
    const QVariantList in = message.arguments();
    const QString signature = message.signature();
    if (signature != qs(method.signature) + QStringLiteral("a{sv}")) {
        return std::nullopt;
    }
    const auto types = cs::argumentTypes(method.signature);
    std::vector<cs::Argument> out;
    for (qsizetype i = 0; i < in.size() - 1; ++i) {
        switch (types[static_cast<size_t>(i)][0]) {
        case 'i':
            out.emplace_back(static_cast<int32_t>(in[i].toInt()));
            break;
        case 'b':
            out.emplace_back(in[i].toBool());
            break;
        case 's':
            out.emplace_back(in[i].toString().toStdString());
            break;
        default: {
            std::vector<std::string> words;
            for (const QString& w : qdbus_cast<QStringList>(in[i])) {
                words.push_back(w.toStdString());
            }
            out.emplace_back(std::move(words));
        }
        }
    }
    const QVariantMap options = qdbus_cast<QVariantMap>(in.back());
    json = options.value(QStringLiteral("json"), false).toBool();
    return out;
}

void reply(QDBusConnection& bus, const QDBusMessage& call, const cs::Outcome& outcome) {
    if (outcome.exitCode == 0) {
        bus.send(call.createReply(
            {QString::fromStdString(outcome.output), QString::fromStdString(outcome.messages)}));
        return;
    }
    QString text = QString::fromStdString(outcome.messages);
    if (text.endsWith(QLatin1Char('\n'))) {
        text.chop(1);
    }
    bus.send(call.createErrorReply(qs(cs::errorNameOf(outcome)), text));
}

} // namespace

DbusService::DbusService(Hooks hooks) : hooks_(std::move(hooks)), bus_(QDBusConnection::sessionBus()) {}

DbusService::~DbusService() {
    stop();
}

bool DbusService::start() {
    if (!bus_.isConnected()) {
        return false;
    }
    if (!bus_.registerVirtualObject(qs(cs::kObjectPath), this, QDBusConnection::SingleNode)) {
        return false;
    }
    if (!bus_.registerService(qs(cs::kBusName))) {
        bus_.unregisterObject(qs(cs::kObjectPath));
        return false;
    }
    started_ = true;
    return true;
}

void DbusService::stop() {
    if (!started_) {
        return;
    }
    started_ = false;
    bus_.unregisterService(qs(cs::kBusName));
    bus_.unregisterObject(qs(cs::kObjectPath));
}

void DbusService::emitSignal(const QString& name, const QVariantList& arguments) {
    if (!started_) {
        return;
    }
    QDBusMessage signal = QDBusMessage::createSignal(qs(cs::kObjectPath), qs(cs::kInterface), name);
    signal.setArguments(arguments);
    bus_.send(signal);
}

void DbusService::emit(const cli::watch::Event& event) {
    using Event = cli::watch::Event;
    switch (event.kind) {
    case Event::Attached:
        lastProfile_.store(-1);
        emitSignal(QStringLiteral("Attached"), {event.value});
        hooks_.toWorker([this] { checkProfile(); });
        break;
    case Event::Detached:
        emitSignal(QStringLiteral("Detached"), {event.value});
        break;
    case Event::Layer:
        emitSignal(QStringLiteral("Layer"), {event.value});
        break;
    case Event::Lighting:
        emitSignal(QStringLiteral("LightingChanged"));
        hooks_.toWorker([this] { checkProfile(); });
        break;
    case Event::Profile:
        emitSignal(QStringLiteral("ProfileChanged"), {event.value});
        break;
    }
}

void DbusService::checkProfile() {
    cli::HostedLink* link = link_.load();
    std::array<uint8_t, device::kConfigSize> config{};
    if (link == nullptr || link->commands.readConfig(config) != device::kOk) {
        return; // gone or busy: the next arrival or change reads it again
    }
    const int profile = config[device::kConfigCurrentProfile];
    if (profile < static_cast<int>(device::kProfileCount) && lastProfile_.exchange(profile) != profile) {
        emitSignal(QStringLiteral("ProfileChanged"), {profile});
    }
}

QString DbusService::introspect(const QString&) const {
    // Only the interface element: the bus library adds the standard ones.
    QFile file(QStringLiteral(":/service/io.github.tarvik.Tarvik1.xml"));
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    const QString xml = QString::fromUtf8(file.readAll());
    const qsizetype from = xml.indexOf(QStringLiteral("<interface "));
    const qsizetype to = xml.lastIndexOf(QStringLiteral("</interface>"));
    return from < 0 || to < 0 ? QString() : xml.mid(from, to + 12 - from);
}

bool DbusService::handleMessage(const QDBusMessage& message, const QDBusConnection& connection) {
    if (message.type() != QDBusMessage::MethodCallMessage ||
        (!message.interface().isEmpty() && message.interface() != qs(cs::kInterface))) {
        return false;
    }
    QDBusConnection bus = connection;
    if (message.member() == qs(cs::kReportFocus) && hooks_.focusReported) {
        if (message.signature() != QStringLiteral("s")) {
            bus.send(
                message.createErrorReply(QDBusError::InvalidArgs, QStringLiteral("ReportFocus takes (s)")));
            return true;
        }
        const QString app = message.arguments().value(0).toString();
        QMetaObject::invokeMethod(
            qApp, [this, app] { hooks_.focusReported(app); }, Qt::QueuedConnection);
        bus.send(message.createReply());
        return true;
    }
    const cs::MethodInfo* method = cs::findMethod(message.member().toStdString());
    if (method == nullptr) {
        return false; // the bus library answers UnknownMethod
    }
    bool json = false;
    auto arguments = argumentsOf(message, *method, json);
    if (!arguments) {
        bus.send(message.createErrorReply(
            QDBusError::InvalidArgs,
            QStringLiteral("%1 takes (%2a{sv})").arg(message.member(), qs(method->signature))));
        return true;
    }
    std::string why;
    auto line = cs::commandLineOf(*method, *arguments, why);
    if (!line) {
        bus.send(message.createErrorReply(qs(cs::kErrorInvalidArguments), QString::fromStdString(why)));
        return true;
    }
    QDBusMessage call = message;
    call.setDelayedReply(true);
    if (method->member == "AppProfiles") {
        // The rules belong to the user-interface thread, not to the keyboard: no device worker.
        QMetaObject::invokeMethod(
            qApp,
            [this, bus, call, command = std::move(*line), json]() mutable {
                const cs::Outcome outcome = hooks_.appProfiles
                                                ? hooks_.appProfiles(command, json)
                                                : cs::Outcome{1, {}, "tarvikctl: app-profiles: not served\n"};
                reply(bus, call, outcome);
            },
            Qt::QueuedConnection);
        return true;
    }
    hooks_.toWorker([this, bus, call, method, command = std::move(*line), json]() mutable {
        cli::HostedLink* link = link_.load();
        cs::Outcome outcome;
        if (link == nullptr) {
            outcome.exitCode = 1;
            outcome.messages = "tarvikctl: " + command[0] + ": no keyboard attached\n";
        } else {
            outcome = cs::runHosted(command, json, *link);
        }
        reply(bus, call, outcome);
        // A usage error wrote nothing; anything else may have changed the keyboard, if only in part.
        if (method->writes && link != nullptr && outcome.exitCode != 2) {
            emitSignal(QStringLiteral("Written"), {qs(method->member)});
            checkProfile();
            if (hooks_.written) {
                hooks_.written();
            }
        }
    });
    return true;
}

} // namespace tarvik::service
