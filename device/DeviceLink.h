// The request channel over the bound service library: the two reading registrations, the keyboard
// status report, the presence test and transact, the synchronous 64-byte exchange every command rests on.
//
// How a reply reaches its caller: exchanges run one at a time under the exchange lock. transact publishes
// its reply buffer under the state lock; the callback copies a CTRL report into it only under that lock
// and only while it is published; transact withdraws the buffer under the lock before it reads the reply
// or returns. A late reply therefore finds nothing published and is dropped: it never reaches a buffer
// that is gone, and while one thread waits no other thread has a buffer out. What the keyboard's replies
// cannot tell apart is a late reply with the same command code arriving during the next exchange, so an
// exchange that ends with a report still unanswered (it gave up, or a resend was answered first) marks the
// link, and the next exchange first lets the take-over time (1001 ms from that end) pass with nothing
// published. A reply later than that is the one case left to the command-code match.
// A keyboard that leaves ends a waiting exchange at once with 0, and so does closing the link.
#pragma once

#include "device/AppLinkState.h"
#include "device/Commands.h"
#include "device/ServiceBinding.h"
#include "device/Timing.h"

#include <array>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <span>

namespace tarvik::device {

// Where the callback hands what the keyboard sent unasked. Called on the service library's threads.
class LinkEvents {
public:
    virtual ~LinkEvents() = default;
    // The 16-bit usage of a consumer-control report.
    virtual void onConsumerCode(uint16_t usage) = 0;
    // The number of keyboards attached now (also called once by startChannel with the count at start).
    virtual void onDeviceCount(int count) = 0;
};

class DeviceLink final : public Exchanger {
public:
    // service must stay bound for the life of the link.
    DeviceLink(const ServiceTable& service, AppLinkState& state, const LinkTiming& timing = LinkTiming{});
    // Cancels both reading registrations and detaches the callback from this link.
    ~DeviceLink() override;
    DeviceLink(const DeviceLink&) = delete;
    DeviceLink& operator=(const DeviceLink&) = delete;

    // Channel start, in this order: status {05, 02} and LED handle 0, register CONS, clear the exchange
    // state, register CTRL, ask the device count and hand it to events (count 0 also sets
    // suppressAutoOpen). Returns the count. Only one link receives the callback: the last one started.
    int startChannel(LinkEvents& events);
    // Stops handing notifications to the events object (they are dropped from then on).
    void detachEvents();
    // For closing: detaches the events, ends a waiting exchange (and those queued for the exchange) with
    // 0 at once, and answers every later transact with 0 without sending anything. The registrations stay
    // until the link is destroyed.
    void close();

    // The number of attached keyboards (0 = none).
    int devicePresent();
    // 1: a reply with the request's command code arrived (byte 7 may still say busy); 0: no keyboard, or
    // the link is closed; -1: the service refused the write; -2: no matching reply after three attempts;
    // -203 (kLinkBusy): other threads' exchanges kept this one waiting longer than the queue limit.
    int transact(std::span<const uint8_t> request, std::span<uint8_t, kReportSize> reply,
                 size_t& delivered) override;
    // Sends up to 64 bytes (zero-filled) without presence test, wait or retry; the service's result.
    int sendRaw(std::span<const uint8_t> request);
    // Writes LinkStatus to the keyboard's status collection, replacing the previous LED registration.
    void sendStatus();
    // Flips the G-key layer bit of LinkStatus and sends the status.
    void switchLayer();
    void registerCons();
    void registerCtrl();

    const LinkTiming& timing() const { return timing_; }
    AppLinkState& state() { return state_; }

    // The one callback of every registration; always returns 1.
    static int callback(const PortmuxNotification* notification);

private:
    void dispatch(const PortmuxNotification& n);
    void deliverReply(const uint8_t* data, uint32_t count);
    void noteDeviceCount(uint32_t count);
    int enterExchange();
    void leaveExchange();

    const ServiceTable& service_;
    AppLinkState& state_;
    LinkTiming timing_;

    // One lock per handle slot: cancelling a registration waits for its running callback, and the CONS
    // callback's layer switch takes the LED slot, so one lock for all slots could deadlock.
    std::mutex consSlotMutex_;
    std::mutex ctrlSlotMutex_;
    std::mutex ledSlotMutex_;

    // One exchange at a time: a gate rather than a timed mutex, so the wait for it stays bounded and
    // visible to the thread sanitizer.
    std::mutex gateMutex_;
    std::condition_variable gateFree_;
    bool exchangeBusy_ = false;
    // The exchange state the callback shares, under stateMutex_.
    std::mutex stateMutex_;
    std::condition_variable replyArrived_;
    bool published_ = false;
    uint8_t* replyBuffer_ = nullptr;
    size_t replyCapacity_ = 0;
    size_t delivered_ = 0;
    bool signalled_ = false;
    // Counts the keyboard's departures, so a waiting exchange ends when the keyboard goes.
    uint64_t departures_ = 0;
    bool closed_ = false;     // under stateMutex_ (and read under gateMutex_ through gateClosed_)
    bool gateClosed_ = false; // under gateMutex_
    // Owned by the exchange holding the gate: the last exchange ended with a reply possibly on its way.
    bool replyMayFollow_ = false;
    std::chrono::steady_clock::time_point gaveUpAt_{};

    LinkEvents* events_ = nullptr; // under the dispatch lock of the callback
};

} // namespace tarvik::device
