// Focus on wlroots compositors (sway and others): the foreign toplevel manager tells about every
// toplevel window, its app id and whether it is the activated one. The program's own connection to the
// compositor is watched with a socket notifier, so nothing runs between changes.
#pragma once

#include "appprofiles/FocusWatcher.h"

#include <QSocketNotifier>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct wl_display;
struct wl_registry;
struct zwlr_foreign_toplevel_manager_v1;
struct zwlr_foreign_toplevel_handle_v1;

namespace tarvik::appprofiles {

class WlrFocusWatcher final : public FocusWatcher {
public:
    WlrFocusWatcher() = default;
    ~WlrFocusWatcher() override;
    bool start(Report report) override;
    QString name() const override { return QStringLiteral("wlroots foreign toplevels"); }
    QString why() const override { return why_; }
    std::vector<WindowIdentity> openWindows() const override;

    // What the protocol's listeners reach (they are plain C callbacks).
    struct Toplevel {
        WlrFocusWatcher* owner = nullptr;
        zwlr_foreign_toplevel_handle_v1* handle = nullptr;
        std::string appId, pendingAppId;
        bool activated = false, pendingActivated = false;
        uint64_t activatedAt = 0; // the order activations came in: the latest one is in front
    };
    void bindManager(wl_registry* registry, uint32_t name, uint32_t version);
    void added(zwlr_foreign_toplevel_handle_v1* handle);
    void done(Toplevel& t);
    void closed(Toplevel& t);

private:
    void readEvents();
    void reportFront();

    wl_display* display_ = nullptr;
    wl_registry* registry_ = nullptr;
    zwlr_foreign_toplevel_manager_v1* manager_ = nullptr;
    std::vector<std::unique_ptr<Toplevel>> toplevels_;
    uint64_t activations_ = 0;
    std::string front_;
    bool reported_ = false;
    Report report_;
    QString why_;
    std::unique_ptr<QSocketNotifier> notifier_;
};

} // namespace tarvik::appprofiles
