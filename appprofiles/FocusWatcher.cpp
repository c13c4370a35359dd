#include "appprofiles/FocusWatcher.h"

#include "appprofiles/BusFocusWatcher.h"
#include "appprofiles/WlrFocusWatcher.h"
#include "appprofiles/X11FocusWatcher.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QProcessEnvironment>
#include <QStringList>
#include <QVariantMap>

namespace tarvik::appprofiles {

namespace {

// Always says why: the window shows it.
class NoFocusWatcher final : public FocusWatcher {
public:
    explicit NoFocusWatcher(QString why) : why_(std::move(why)) {}
    bool start(Report) override { return false; }
    QString name() const override { return QStringLiteral("none"); }
    QString why() const override { return why_; }

private:
    QString why_;
};

} // namespace

std::unique_ptr<FocusWatcher> watcherForDesktop(const QString& programFolder) {
    const QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    const QString desktop = env.value(QStringLiteral("XDG_CURRENT_DESKTOP")).toUpper();
    const bool wayland = !env.value(QStringLiteral("WAYLAND_DISPLAY")).isEmpty();
    // On a Wayland session X11 sees only the X programs: the compositor's own way tells about every window.
    if (desktop.contains(QStringLiteral("KDE")) && wayland) {
        return std::make_unique<BusFocusWatcher>(BusFocusWatcher::Desktop::Kde,
                                                 programFolder + QStringLiteral("/focus/tarvik-focus.js"));
    }
    if (desktop.contains(QStringLiteral("GNOME")) && wayland) {
        return std::make_unique<BusFocusWatcher>(BusFocusWatcher::Desktop::Gnome, QString());
    }
    if (wayland) {
        // Other compositors without the protocol say so when it is started.
        return std::make_unique<WlrFocusWatcher>();
    }
    if (!env.value(QStringLiteral("DISPLAY")).isEmpty()) {
        return std::make_unique<X11FocusWatcher>();
    }
    return std::make_unique<NoFocusWatcher>(QStringLiteral("no display"));
}

void notifyDesktop(const QString& title, const QString& text) {
    QDBusMessage m = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("/org/freedesktop/Notifications"),
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Notify"));
    m.setArguments({QStringLiteral("Tarvik"), 0u, QStringLiteral("io.github.tarvik.Tarvik"), title, text,
                    QStringList(), QVariantMap(), -1});
    QDBusConnection::sessionBus().send(m);
}

} // namespace tarvik::appprofiles
