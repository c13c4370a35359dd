// Focus on X11: the window manager's _NET_ACTIVE_WINDOW property of the root window. The program's own
// connection to the X server is watched with a socket notifier, so nothing runs between changes.
#pragma once

#include "appprofiles/FocusWatcher.h"

#include <QSocketNotifier>

#include <cstdint>
#include <memory>

struct xcb_connection_t;

namespace tarvik::appprofiles {

class X11FocusWatcher final : public FocusWatcher {
public:
    X11FocusWatcher() = default;
    ~X11FocusWatcher() override;
    bool start(Report report) override;
    QString name() const override { return QStringLiteral("X11"); }
    QString why() const override { return why_; }
    std::vector<WindowIdentity> openWindows() const override;

private:
    void readEvents();
    void reportActive();
    WindowIdentity identityOf(uint32_t window) const;

    xcb_connection_t* connection_ = nullptr;
    uint32_t root_ = 0;
    uint32_t activeAtom_ = 0;
    uint32_t clientListAtom_ = 0;
    uint32_t lastWindow_ = 0;
    Report report_;
    QString why_;
    std::unique_ptr<QSocketNotifier> notifier_;
};

} // namespace tarvik::appprofiles
