#include "appprofiles/WlrFocusWatcher.h"

#include "wlr-foreign-toplevel-management-unstable-v1-client-protocol.h"

#include <wayland-client.h>

#include <algorithm>
#include <cstring>

namespace tarvik::appprofiles {

namespace {

using Toplevel = WlrFocusWatcher::Toplevel;

void onTitle(void*, zwlr_foreign_toplevel_handle_v1*, const char*) {}
void onAppId(void* data, zwlr_foreign_toplevel_handle_v1*, const char* appId) {
    static_cast<Toplevel*>(data)->pendingAppId = appId != nullptr ? appId : "";
}
void onOutputEnter(void*, zwlr_foreign_toplevel_handle_v1*, wl_output*) {}
void onOutputLeave(void*, zwlr_foreign_toplevel_handle_v1*, wl_output*) {}
void onState(void* data, zwlr_foreign_toplevel_handle_v1*, wl_array* states) {
    auto* t = static_cast<Toplevel*>(data);
    t->pendingActivated = false;
    const auto* s = static_cast<const uint32_t*>(states->data);
    for (size_t i = 0; i < states->size / sizeof(uint32_t); ++i) {
        t->pendingActivated = t->pendingActivated || s[i] == ZWLR_FOREIGN_TOPLEVEL_HANDLE_V1_STATE_ACTIVATED;
    }
}
void onDone(void* data, zwlr_foreign_toplevel_handle_v1*) {
    auto* t = static_cast<Toplevel*>(data);
    t->owner->done(*t);
}
void onClosed(void* data, zwlr_foreign_toplevel_handle_v1*) {
    auto* t = static_cast<Toplevel*>(data);
    t->owner->closed(*t);
}
void onParent(void*, zwlr_foreign_toplevel_handle_v1*, zwlr_foreign_toplevel_handle_v1*) {}

const zwlr_foreign_toplevel_handle_v1_listener kHandleListener = {
    onTitle, onAppId, onOutputEnter, onOutputLeave, onState, onDone, onClosed, onParent};

void onToplevel(void* data, zwlr_foreign_toplevel_manager_v1*, zwlr_foreign_toplevel_handle_v1* handle) {
    static_cast<WlrFocusWatcher*>(data)->added(handle);
}
void onFinished(void*, zwlr_foreign_toplevel_manager_v1*) {}

const zwlr_foreign_toplevel_manager_v1_listener kManagerListener = {onToplevel, onFinished};

void onGlobal(void* data, wl_registry* registry, uint32_t name, const char* interface, uint32_t version) {
    if (std::strcmp(interface, zwlr_foreign_toplevel_manager_v1_interface.name) == 0) {
        static_cast<WlrFocusWatcher*>(data)->bindManager(registry, name, version);
    }
}
void onGlobalRemove(void*, wl_registry*, uint32_t) {}

const wl_registry_listener kRegistryListener = {onGlobal, onGlobalRemove};

} // namespace

WlrFocusWatcher::~WlrFocusWatcher() {
    notifier_.reset();
    for (auto& t : toplevels_) {
        zwlr_foreign_toplevel_handle_v1_destroy(t->handle);
    }
    if (manager_ != nullptr) {
        zwlr_foreign_toplevel_manager_v1_stop(manager_);
        zwlr_foreign_toplevel_manager_v1_destroy(manager_);
    }
    if (registry_ != nullptr) {
        wl_registry_destroy(registry_);
    }
    if (display_ != nullptr) {
        wl_display_flush(display_);
        wl_display_disconnect(display_);
    }
}

void WlrFocusWatcher::bindManager(wl_registry* registry, uint32_t name, uint32_t version) {
    if (manager_ == nullptr) {
        manager_ = static_cast<zwlr_foreign_toplevel_manager_v1*>(wl_registry_bind(
            registry, name, &zwlr_foreign_toplevel_manager_v1_interface, std::min(version, 3u)));
        zwlr_foreign_toplevel_manager_v1_add_listener(manager_, &kManagerListener, this);
    }
}

bool WlrFocusWatcher::start(Report report) {
    report_ = std::move(report);
    display_ = wl_display_connect(nullptr);
    if (display_ == nullptr) {
        why_ = QStringLiteral("no Wayland display");
        return false;
    }
    registry_ = wl_display_get_registry(display_);
    wl_registry_add_listener(registry_, &kRegistryListener, this);
    // The globals, then the toplevels the manager announces at once.
    if (wl_display_roundtrip(display_) < 0 || manager_ == nullptr) {
        why_ = QStringLiteral("the compositor offers no zwlr_foreign_toplevel_manager_v1");
        return false;
    }
    if (wl_display_roundtrip(display_) < 0) {
        why_ = QStringLiteral("the compositor closed the connection");
        return false;
    }
    notifier_ = std::make_unique<QSocketNotifier>(wl_display_get_fd(display_), QSocketNotifier::Read);
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, [this] { readEvents(); });
    reportFront();
    return true;
}

void WlrFocusWatcher::readEvents() {
    while (wl_display_prepare_read(display_) != 0) {
        wl_display_dispatch_pending(display_);
    }
    wl_display_flush(display_);
    // The notifier says the socket is readable: this does not block.
    if (wl_display_read_events(display_) < 0 || wl_display_dispatch_pending(display_) < 0) {
        notifier_->setEnabled(false); // the compositor went away; the session ends with it
        return;
    }
    wl_display_flush(display_);
}

void WlrFocusWatcher::added(zwlr_foreign_toplevel_handle_v1* handle) {
    auto t = std::make_unique<Toplevel>();
    t->owner = this;
    t->handle = handle;
    zwlr_foreign_toplevel_handle_v1_add_listener(handle, &kHandleListener, t.get());
    toplevels_.push_back(std::move(t));
}

void WlrFocusWatcher::done(Toplevel& t) {
    if (t.pendingActivated && !t.activated) {
        t.activatedAt = ++activations_;
    }
    t.activated = t.pendingActivated;
    t.appId = t.pendingAppId;
    // One window losing the focus and another gaining it come as two batches, in either order.
    reportFront();
}

void WlrFocusWatcher::closed(Toplevel& t) {
    zwlr_foreign_toplevel_handle_v1_destroy(t.handle);
    std::erase_if(toplevels_, [&](const auto& p) { return p.get() == &t; });
    reportFront();
}

void WlrFocusWatcher::reportFront() {
    const Toplevel* front = nullptr;
    for (const auto& t : toplevels_) {
        if (t->activated && (front == nullptr || t->activatedAt > front->activatedAt)) {
            front = t.get();
        }
    }
    const std::string appId = front != nullptr ? front->appId : std::string();
    if (reported_ && appId == front_) {
        return;
    }
    reported_ = true;
    front_ = appId;
    if (report_) {
        report_(WindowIdentity{appId, {}, {}});
    }
}

std::vector<WindowIdentity> WlrFocusWatcher::openWindows() const {
    std::vector<WindowIdentity> out;
    for (const auto& t : toplevels_) {
        if (!t->appId.empty()) {
            out.push_back({t->appId, {}, {}});
        }
    }
    return out;
}

} // namespace tarvik::appprofiles
