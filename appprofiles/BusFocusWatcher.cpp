#include "appprofiles/BusFocusWatcher.h"

#include <QDBusConnection>
#include <QDBusInterface>
#include <QDBusReply>
#include <QFileInfo>
#include <QVariantMap>

namespace tarvik::appprofiles {

BusFocusWatcher::~BusFocusWatcher() {
    if (loaded_) {
        QDBusInterface scripting(QStringLiteral("org.kde.KWin"), QStringLiteral("/Scripting"),
                                 QStringLiteral("org.kde.kwin.Scripting"));
        scripting.call(QStringLiteral("unloadScript"), QString::fromLatin1(kKwinScriptName));
    }
}

QString BusFocusWatcher::name() const {
    return desktop_ == Desktop::Kde ? QStringLiteral("KWin script")
                                    : QStringLiteral("GNOME Shell extension ") + extensionUuid_;
}

bool BusFocusWatcher::start(Report report) {
    report_ = std::move(report);
    return desktop_ == Desktop::Kde ? startKwinScript() : gnomeExtensionEnabled();
}

bool BusFocusWatcher::startKwinScript() {
    if (!QFileInfo::exists(kwinScript_)) {
        why_ = QStringLiteral("the KWin script is missing: ") + kwinScript_;
        return false;
    }
    QDBusInterface scripting(QStringLiteral("org.kde.KWin"), QStringLiteral("/Scripting"),
                             QStringLiteral("org.kde.kwin.Scripting"));
    if (!scripting.isValid()) {
        why_ = QStringLiteral("KWin does not answer on the session bus");
        return false;
    }
    // A script left loaded by an earlier run would report twice.
    scripting.call(QStringLiteral("unloadScript"), QString::fromLatin1(kKwinScriptName));
    const QDBusReply<int> id =
        scripting.call(QStringLiteral("loadScript"), kwinScript_, QString::fromLatin1(kKwinScriptName));
    if (!id.isValid() || id.value() < 0) {
        why_ = QStringLiteral("KWin did not load the script: ") + id.error().message();
        return false;
    }
    loaded_ = true;
    // Plasma 6 names the loaded script /Scripting/ScriptN, Plasma 5 /N.
    for (const QString& path :
         {QStringLiteral("/Scripting/Script%1").arg(id.value()), QStringLiteral("/%1").arg(id.value())}) {
        QDBusInterface script(QStringLiteral("org.kde.KWin"), path, QStringLiteral("org.kde.kwin.Script"));
        if (script.isValid() && script.call(QStringLiteral("run")).type() != QDBusMessage::ErrorMessage) {
            return true;
        }
    }
    why_ = QStringLiteral("KWin loaded the script but did not run it");
    return false;
}

bool BusFocusWatcher::gnomeExtensionEnabled() {
    QDBusInterface shell(QStringLiteral("org.gnome.Shell"), QStringLiteral("/org/gnome/Shell"),
                         QStringLiteral("org.gnome.Shell.Extensions"));
    // A shell runs one of the two extensions and marks the other out of date (state 4); state 1 is
    // "enabled", and an unknown extension answers an empty dictionary.
    QString runnable;
    for (const char* uuid : {kGnomeExtensionUuid, kGnomeLegacyExtensionUuid}) {
        const QDBusReply<QVariantMap> info =
            shell.call(QStringLiteral("GetExtensionInfo"), QString::fromLatin1(uuid));
        const double state = info.isValid() ? info.value().value(QStringLiteral("state")).toDouble() : 0.0;
        if (state == 1.0) {
            extensionUuid_ = QLatin1String(uuid);
            return true;
        }
        if (runnable.isEmpty() && info.isValid() && !info.value().isEmpty() && state != 4.0) {
            runnable = QLatin1String(uuid);
        }
    }
    extensionUuid_ = runnable.isEmpty() ? QLatin1String(kGnomeExtensionUuid) : runnable;
    why_ = extensionUuid_;
    extensionOff_ = true;
    return false;
}

void BusFocusWatcher::reported(const WindowIdentity& window) {
    extensionOff_ = false;
    why_.clear();
    if (report_) {
        report_(window);
    }
}

} // namespace tarvik::appprofiles
