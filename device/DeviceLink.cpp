#include "device/DeviceLink.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <shared_mutex>
#include <thread>

namespace tarvik::device {

namespace {
// The link the callback serves. Dispatches share the lock, so a slow consumer code never holds up a
// reply on another library thread; attaching and detaching take it alone. Never destroyed: the
// library's threads may still call back while the process ends.
std::shared_mutex& dispatchMutex() {
    static auto* mutex = new std::shared_mutex;
    return *mutex;
}
DeviceLink* g_active = nullptr;

PortmuxCallback callbackPointer() {
    return &DeviceLink::callback;
}

std::array<uint8_t, kReportSize> zeroFilledReport(std::span<const uint8_t> request) {
    std::array<uint8_t, kReportSize> report{};
    std::copy_n(request.begin(), std::min(request.size(), kReportSize), report.begin());
    return report;
}
} // namespace

DeviceLink::DeviceLink(const ServiceTable& service, AppLinkState& state, const LinkTiming& timing)
    : service_(service), state_(state), timing_(timing) {}

DeviceLink::~DeviceLink() {
    {
        std::unique_lock lock(dispatchMutex());
        events_ = nullptr;
        if (g_active == this) {
            g_active = nullptr;
        }
    }
    std::scoped_lock lock(consSlotMutex_, ctrlSlotMutex_, ledSlotMutex_);
    service_.DeleteRequestFromUnitId(state_.handles.cons);
    service_.DeleteRequestFromUnitId(state_.handles.ctrl);
    service_.DeleteRequestFromUnitId(state_.handles.led);
    state_.handles = RequestHandles{};
}

int DeviceLink::callback(const PortmuxNotification* notification) {
    if (notification == nullptr) {
        return 1;
    }
    std::shared_lock lock(dispatchMutex());
    if (g_active != nullptr) {
        g_active->dispatch(*notification);
    }
    return 1;
}

void DeviceLink::dispatch(const PortmuxNotification& n) {
    const PortmuxRequestRecord* request = n.request;
    if (request == nullptr) {
        return;
    }
    if (n.kind == PORTMUX_KIND_REPORT && request->tag == PORTMUX_TAG_CONS) {
        const PortmuxReportRecord* report = request->report;
        if (report != nullptr && report->usage != nullptr && events_ != nullptr) {
            events_->onConsumerCode(*report->usage);
        }
    } else if (n.kind == PORTMUX_KIND_REPORT && request->tag == PORTMUX_TAG_CTRL) {
        deliverReply(request->data, request->count);
    } else if (n.kind == PORTMUX_KIND_DEVICE_SET && request->tag == PORTMUX_TAG_CTRL) {
        noteDeviceCount(request->count);
        if (events_ != nullptr) {
            events_->onDeviceCount(static_cast<int>(std::min<uint32_t>(request->count, INT_MAX)));
        }
    }
}

void DeviceLink::deliverReply(const uint8_t* data, uint32_t count) {
    std::lock_guard lock(stateMutex_);
    if (!published_) {
        return; // no exchange is waiting: dropped
    }
    size_t n = data != nullptr ? std::min<size_t>(count, replyCapacity_) : 0;
    if (n > 0) {
        std::memcpy(replyBuffer_, data, n);
    }
    delivered_ = n;
    signalled_ = true;
    replyArrived_.notify_all();
}

void DeviceLink::noteDeviceCount(uint32_t count) {
    if (count != 0) {
        return;
    }
    std::lock_guard lock(stateMutex_);
    ++departures_;
    replyArrived_.notify_all();
}

int DeviceLink::startChannel(LinkEvents& events) {
    {
        std::unique_lock lock(dispatchMutex());
        g_active = this;
        events_ = &events;
    }
    state_.linkStatusMode.store(kInitialLinkStatusMode);
    {
        std::lock_guard lock(ledSlotMutex_);
        state_.handles.led = 0;
    }
    registerCons();
    {
        std::lock_guard lock(stateMutex_);
        published_ = false;
        replyBuffer_ = nullptr;
        replyCapacity_ = 0;
        delivered_ = 0;
        signalled_ = false;
    }
    registerCtrl();
    int count = devicePresent();
    if (count == 0) {
        state_.suppressAutoOpen.store(true);
    }
    events.onDeviceCount(count);
    return count;
}

void DeviceLink::detachEvents() {
    std::unique_lock lock(dispatchMutex());
    events_ = nullptr;
}

void DeviceLink::close() {
    detachEvents();
    {
        std::lock_guard lock(stateMutex_);
        closed_ = true;
    }
    replyArrived_.notify_all();
    {
        std::lock_guard lock(gateMutex_);
        gateClosed_ = true;
    }
    gateFree_.notify_all();
}

int DeviceLink::devicePresent() {
    uint32_t check = portmuxCheckCall(&portmux::kConfigUnit, nullptr, 0, nullptr, 0);
    int count = service_.RequestGetDeviceCount(&portmux::kConfigUnit, nullptr, 0, check, nullptr);
    return count > 0 ? count : 0;
}

int DeviceLink::transact(std::span<const uint8_t> request, std::span<uint8_t, kReportSize> reply,
                         size_t& delivered) {
    delivered = 0;
    uint64_t departuresAtStart = 0;
    {
        std::lock_guard lock(stateMutex_);
        if (closed_) {
            return kNoKeyboard;
        }
        departuresAtStart = departures_;
    }
    if (devicePresent() == 0) {
        return kNoKeyboard;
    }
    const auto report = zeroFilledReport(request);
    const uint32_t check = portmuxCheckCall(&portmux::kConfigUnit, nullptr, 0, report.data(), report.size());

    if (int entered = enterExchange(); entered != kOk) {
        return entered;
    }
    struct Leave {
        DeviceLink* link;
        ~Leave() { link->leaveExchange(); }
    } leave{this};
    // Reports sent in this exchange whose reply has not come: if any is left when the exchange ends, its
    // reply may still arrive, and the next exchange lets the take-over time pass first.
    int unanswered = 0;
    auto finish = [&](int result) {
        if (unanswered > 0) {
            replyMayFollow_ = true;
            gaveUpAt_ = std::chrono::steady_clock::now();
        }
        return result;
    };
    for (int attempts = 0;;) {
        if (replyMayFollow_) {
            // Waited out with nothing published; a departure or closing the link cuts it short.
            std::unique_lock lock(stateMutex_);
            replyArrived_.wait_until(lock, gaveUpAt_ + timing_.takeOver,
                                     [&] { return closed_ || departures_ != departuresAtStart; });
            replyMayFollow_ = false;
        }
        {
            std::lock_guard lock(stateMutex_);
            if (closed_ || departures_ != departuresAtStart) {
                return finish(kNoKeyboard);
            }
            std::fill(reply.begin(), reply.end(), uint8_t{0});
            replyBuffer_ = reply.data();
            replyCapacity_ = reply.size();
            delivered_ = 0;
            signalled_ = false;
            published_ = true;
        }
        int written = service_.RequestWriteOne(&portmux::kConfigUnit, nullptr, 0, report.data(),
                                               static_cast<uint32_t>(report.size()), check, nullptr);
        bool arrived = false;
        bool departed = false;
        {
            std::unique_lock lock(stateMutex_);
            if (written > 0) {
                replyArrived_.wait_for(lock, timing_.replyWait, [&] {
                    return signalled_ || closed_ || departures_ != departuresAtStart;
                });
            }
            arrived = signalled_;
            departed = closed_ || departures_ != departuresAtStart;
            delivered = arrived ? delivered_ : 0;
            published_ = false;
            replyBuffer_ = nullptr;
            replyCapacity_ = 0;
        }
        if (written <= 0) {
            return finish(kWriteRefused);
        }
        const bool matching = arrived && reply[kOffCommand] == report[kOffCommand];
        // A reply with another command code is someone else's stale one, not the answer to this send.
        unanswered += matching ? 0 : 1;
        if (departed && !arrived) {
            return finish(kNoKeyboard);
        }
        if (!matching) {
            if (++attempts >= LinkTiming::kAttempts) {
                return finish(kNoReply);
            }
        } else if (reply[kOffStatus] == kStatusBusyFF || reply[kOffStatus] == kStatusBusyFE) {
            if (++attempts >= LinkTiming::kAttempts) {
                return finish(kOk); // the caller sees the busy byte
            }
        } else {
            return finish(kOk);
        }
        std::this_thread::sleep_for(timing_.retryPause);
    }
}

int DeviceLink::enterExchange() {
    std::unique_lock lock(gateMutex_);
    if (!gateFree_.wait_for(lock, timing_.exchangeQueueLimit(),
                            [this] { return gateClosed_ || !exchangeBusy_; })) {
        return kLinkBusy;
    }
    if (gateClosed_) {
        return kNoKeyboard;
    }
    exchangeBusy_ = true;
    return kOk;
}

void DeviceLink::leaveExchange() {
    {
        std::lock_guard lock(gateMutex_);
        exchangeBusy_ = false;
    }
    gateFree_.notify_one();
}

int DeviceLink::sendRaw(std::span<const uint8_t> request) {
    const auto report = zeroFilledReport(request);
    uint32_t check = portmuxCheckCall(&portmux::kConfigUnit, nullptr, 0, report.data(), report.size());
    return service_.RequestWriteOne(&portmux::kConfigUnit, nullptr, 0, report.data(),
                                    static_cast<uint32_t>(report.size()), check, nullptr);
}

void DeviceLink::sendStatus() {
    std::lock_guard lock(ledSlotMutex_);
    const uint8_t status[PORTMUX_STATUS_SIZE] = {kLinkStatusId, state_.linkStatusMode.load()};
    service_.DeleteRequestFromUnitId(state_.handles.led);
    PortmuxCallback cb = callbackPointer();
    uint32_t check = portmuxCheckCall(&portmux::kStatusUnit, cb, PORTMUX_TAG_LED, status, sizeof status);
    service_.RequestStatusWrite(&portmux::kStatusUnit, cb, PORTMUX_TAG_LED, status, sizeof status, check,
                                &state_.handles.led);
}

void DeviceLink::switchLayer() {
    state_.linkStatusMode.fetch_xor(1);
    sendStatus();
}

void DeviceLink::registerCons() {
    std::lock_guard lock(consSlotMutex_);
    service_.DeleteRequestFromUnitId(state_.handles.cons);
    PortmuxCallback cb = callbackPointer();
    uint32_t check = portmuxCheckCall(&portmux::kConsumerUnit, cb, PORTMUX_TAG_CONS, nullptr, 0);
    service_.RequestAsyncRead(&portmux::kConsumerUnit, cb, PORTMUX_TAG_CONS, check, &state_.handles.cons);
}

void DeviceLink::registerCtrl() {
    std::lock_guard lock(ctrlSlotMutex_);
    service_.DeleteRequestFromUnitId(state_.handles.ctrl);
    PortmuxCallback cb = callbackPointer();
    uint32_t check = portmuxCheckCall(&portmux::kConfigUnit, cb, PORTMUX_TAG_CTRL, nullptr, 0);
    service_.RequestAsyncRead(&portmux::kConfigUnit, cb, PORTMUX_TAG_CTRL, check, &state_.handles.ctrl);
}

} // namespace tarvik::device
