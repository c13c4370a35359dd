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
    return desktop_ == Desktop::Kde
               ? QStringLiteral("KWin script")
               : QStringLiteral("GNOME Shell extension ") + QLatin1String(kGnomeExtensionUuid);
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
    const QDBusReply<QVariantMap> info =
        shell.call(QStringLiteral("GetExtensionInfo"), QString::fromLatin1(kGnomeExtensionUuid));
    // State 1 is "enabled"; an unknown extension answers an empty dictionary.
    if (info.isValid() && info.value().value(QStringLiteral("state")).toDouble() == 1.0) {
        return true;
    }
    why_ = QLatin1String(kGnomeExtensionUuid);
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
