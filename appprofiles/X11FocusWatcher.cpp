#include "appprofiles/X11FocusWatcher.h"

#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>

namespace tarvik::appprofiles {

namespace {

uint32_t internAtom(xcb_connection_t* c, const char* name) {
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(
        c, xcb_intern_atom(c, 0, static_cast<uint16_t>(std::strlen(name)), name), nullptr);
    const uint32_t atom = reply != nullptr ? reply->atom : 0;
    std::free(reply);
    return atom;
}

// The window ids of a WINDOW-typed property of the root window.
std::vector<uint32_t> windowsOf(xcb_connection_t* c, uint32_t root, uint32_t atom, uint32_t maxCount) {
    std::vector<uint32_t> out;
    xcb_get_property_reply_t* reply =
        xcb_get_property_reply(c, xcb_get_property(c, 0, root, atom, XCB_ATOM_WINDOW, 0, maxCount), nullptr);
    if (reply != nullptr && reply->format == 32) {
        const auto* ids = static_cast<const uint32_t*>(xcb_get_property_value(reply));
        const int n = xcb_get_property_value_length(reply) / 4;
        out.assign(ids, ids + n);
    }
    std::free(reply);
    return out;
}

} // namespace

X11FocusWatcher::~X11FocusWatcher() {
    notifier_.reset();
    if (connection_ != nullptr) {
        xcb_disconnect(connection_);
    }
}

bool X11FocusWatcher::start(Report report) {
    report_ = std::move(report);
    int screenNumber = 0;
    connection_ = xcb_connect(nullptr, &screenNumber);
    if (xcb_connection_has_error(connection_) != 0) {
        why_ = QStringLiteral("no X display");
        return false;
    }
    xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(connection_));
    for (int i = 0; i < screenNumber && it.rem > 0; ++i) {
        xcb_screen_next(&it);
    }
    if (it.rem == 0) {
        why_ = QStringLiteral("no X screen");
        return false;
    }
    root_ = it.data->root;
    activeAtom_ = internAtom(connection_, "_NET_ACTIVE_WINDOW");
    clientListAtom_ = internAtom(connection_, "_NET_CLIENT_LIST");
    // The window manager announces the property it keeps; without one nothing would ever change.
    const uint32_t supportedAtom = internAtom(connection_, "_NET_SUPPORTED");
    bool supported = false;
    xcb_get_property_reply_t* reply = xcb_get_property_reply(
        connection_, xcb_get_property(connection_, 0, root_, supportedAtom, XCB_ATOM_ATOM, 0, 4096), nullptr);
    if (reply != nullptr && reply->format == 32) {
        const auto* atoms = static_cast<const uint32_t*>(xcb_get_property_value(reply));
        const int n = xcb_get_property_value_length(reply) / 4;
        for (int i = 0; i < n; ++i) {
            supported = supported || atoms[i] == activeAtom_;
        }
    }
    std::free(reply);
    if (activeAtom_ == 0 || !supported) {
        why_ = QStringLiteral("the window manager does not say which window is active");
        return false;
    }
    const uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE;
    xcb_change_window_attributes(connection_, root_, XCB_CW_EVENT_MASK, &mask);
    xcb_flush(connection_);
    notifier_ =
        std::make_unique<QSocketNotifier>(xcb_get_file_descriptor(connection_), QSocketNotifier::Read);
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, [this] { readEvents(); });
    reportActive();
    return true;
}

void X11FocusWatcher::readEvents() {
    bool changed = false;
    while (xcb_generic_event_t* event = xcb_poll_for_event(connection_)) {
        if ((event->response_type & 0x7F) == XCB_PROPERTY_NOTIFY) {
            const auto* p = reinterpret_cast<const xcb_property_notify_event_t*>(event);
            changed = changed || p->atom == activeAtom_;
        }
        std::free(event);
    }
    if (xcb_connection_has_error(connection_) != 0) {
        notifier_->setEnabled(false); // the X server went away; the session ends with it
        return;
    }
    if (changed) {
        reportActive();
    }
}

void X11FocusWatcher::reportActive() {
    const std::vector<uint32_t> active = windowsOf(connection_, root_, activeAtom_, 1);
    const uint32_t window = active.empty() ? 0 : active[0];
    if (window == lastWindow_) {
        return;
    }
    lastWindow_ = window;
    if (report_) {
        report_(window == 0 ? WindowIdentity{} : identityOf(window));
    }
}

WindowIdentity X11FocusWatcher::identityOf(uint32_t window) const {
    WindowIdentity id;
    xcb_get_property_reply_t* reply = xcb_get_property_reply(
        connection_, xcb_get_property(connection_, 0, window, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 0, 256),
        nullptr);
    if (reply != nullptr && reply->format == 8) {
        const auto* text = static_cast<const char*>(xcb_get_property_value(reply));
        const std::string both(text, static_cast<size_t>(xcb_get_property_value_length(reply)));
        // "instance\0class\0"; a window may leave out either
        const size_t nul = both.find('\0');
        id.instance = both.substr(0, nul);
        if (nul != std::string::npos) {
            const size_t end = both.find('\0', nul + 1);
            id.klass = both.substr(nul + 1, end == std::string::npos ? std::string::npos : end - nul - 1);
        }
    }
    std::free(reply);
    return id;
}

std::vector<WindowIdentity> X11FocusWatcher::openWindows() const {
    std::vector<WindowIdentity> out;
    if (connection_ == nullptr || clientListAtom_ == 0) {
        return out;
    }
    for (uint32_t w : windowsOf(connection_, root_, clientListAtom_, 1024)) {
        WindowIdentity id = identityOf(w);
        if (!appNameOf(id).empty()) {
            out.push_back(std::move(id));
        }
    }
    return out;
}

} // namespace tarvik::appprofiles
