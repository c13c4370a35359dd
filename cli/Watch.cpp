#include "cli/Watch.h"

#include "device/AppLinkState.h"
#include "device/KeyboardEvents.h"
#include "platform/Paths.h"

#include <array>

namespace tarvik::cli::watch {

std::string formatEvent(const Event& e, bool json) {
    const std::string v = std::to_string(e.value);
    switch (e.kind) {
    case Event::Attached:
        return json ? R"({"event": "attached", "keyboards": )" + v + "}" : "attached " + v;
    case Event::Detached:
        return json ? R"({"event": "detached", "keyboards": )" + v + "}" : "detached " + v;
    case Event::Layer:
        return json ? R"({"event": "layer", "layer": )" + v + "}" : "layer " + v;
    case Event::Lighting:
        return json ? R"({"event": "lighting"})" : "lighting changed";
    case Event::Profile:
        return json ? R"({"event": "profile", "profile": )" + v + "}" : "profile " + v;
    }
    return {};
}

intptr_t WatchWindow::sendMessage(uint32_t message, uint32_t wParam) {
    switch (message) {
    case device::MSG_PROFILE_SYNC:
        if (wParam == device::kCodeProf) {
            // On the presence worker, as the program reloads its profile there: the arrival's line, then the
            // profile the keyboard now runs.
            {
                std::lock_guard lock(profileMutex_);
                lastProfile_ = -1;
            }
            presenceSaid_.store(true);
            sink_.emit({Event::Attached, session_->link().devicePresent()});
            checkProfile();
        }
        break;
    case device::MSG_DEVICE_LOST:
        presenceSaid_.store(true);
        sink_.emit({Event::Detached, 0});
        break;
    case device::MSG_KEYMODE_CHANGED:
        if (wParam == device::kCodeLed) {
            sink_.emit({Event::Layer, session_->state().linkStatusMode.load() & 1});
        }
        break;
    default:
        break;
    }
    return 0;
}

void WatchWindow::startTimer(int timerId, int) {
    if (timerId == device::kTimerLightingReload) {
        sink_.emit({Event::Lighting, 0});
        checkProfileLater();
    }
}

void WatchWindow::sayNoKeyboardAtStart() {
    if (!presenceSaid_.exchange(true)) {
        sink_.emit({Event::Detached, 0});
    }
}

void WatchWindow::checkProfileLater() {
    std::lock_guard lock(workerMutex_);
    if (worker_ != nullptr) {
        worker_->post([this] { checkProfile(); });
    }
}

void WatchWindow::finish() {
    std::unique_ptr<device::SerialWorker> worker;
    {
        std::lock_guard lock(workerMutex_);
        worker = std::move(worker_);
    }
    worker.reset(); // joins after the running task, outside the lock the library's thread may want
}

void WatchWindow::checkProfile() {
    std::array<uint8_t, device::kConfigSize> config{};
    if (session_->commands().readConfig(config) != device::kOk) {
        return; // the keyboard went away or is busy: the next arrival or change reads it again
    }
    const int profile = config[device::kConfigCurrentProfile];
    if (profile >= static_cast<int>(device::kProfileCount)) {
        return;
    }
    session_->state().currentProfile.store(profile);
    {
        std::lock_guard lock(profileMutex_);
        if (profile == lastProfile_) {
            return;
        }
        lastProfile_ = profile;
    }
    sink_.emit({Event::Profile, profile});
}

int runWatch(CliContext& ctx, const Options& options, EventSink& sink, StopSignal& stop) {
    device::AppLinkState state;
    WatchWindow window(sink);
    device::LinkSession link(state, window, options.timing);
    window.attach(link);
    std::string detail;
    const device::BindResult bound =
        link.open(paths::programFolder(), device::OnBindFailure::Report, &detail);
    if (bound != device::BindResult::Ok) {
        ctx.err << "tarvikctl: " << device::describeBindFailure(bound, detail) << '\n';
        return 1;
    }
    // The arrival at start reports itself; no keyboard at start is said once, so a reader knows the state.
    // The wait can end well after the start when the link is busy, by when the keyboard may have come and
    // gone and been said to.
    if (link.events().waitPresenceIdle(9 * options.timing.longestExchange()) &&
        link.link().devicePresent() == 0) {
        window.sayNoKeyboardAtStart();
    }
    if (options.interval.count() > 0) {
        while (!stop.waitFor(options.interval)) {
            window.checkProfileLater();
        }
    } else {
        stop.wait();
    }
    // No more messages from the link's workers, then no more exchanges of the window's; the session then
    // cancels the registrations.
    link.events().stop();
    window.finish();
    return 0;
}

} // namespace tarvik::cli::watch
