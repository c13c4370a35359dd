#include "portmux/src/Core.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace portmux {

namespace {

bool fieldMatches(const UnitId& u, uint32_t bit, uint16_t field, uint16_t value) {
    return (u.mask & bit) == 0 || field == value;
}

Collection collectionOf(Event::Type type) {
    return type == Event::Type::Consumer ? Collection::Consumer : Collection::Config;
}

} // namespace

bool selects(const UnitId& u, Collection collection) {
    uint16_t page = PORTMUX_PAGE_CONFIG;
    uint16_t usage = PORTMUX_USAGE_CONFIG;
    if (collection == Collection::Consumer) {
        page = PORTMUX_PAGE_CONSUMER;
        usage = PORTMUX_USAGE_CONSUMER;
    } else if (collection == Collection::Status) {
        page = PORTMUX_PAGE_STATUS;
        usage = PORTMUX_USAGE_STATUS;
    }
    return fieldMatches(u, 1u, u.vendor, PORTMUX_VENDOR_ID) &&
           fieldMatches(u, 2u, u.product, PORTMUX_PRODUCT_ID) && fieldMatches(u, 4u, u.usagePage, page) &&
           fieldMatches(u, 8u, u.usage, usage);
}

Core::Core() : dispatcher_([this](Event& e) { deliver(e); }) {}

Core::~Core() {
    end();
}

int Core::init(std::unique_ptr<Backend> backend) {
    std::lock_guard lock(m_);
    if (backend_) {
        return 1;
    }
    if (!backend) {
        return 0;
    }
    dispatcher_.start();
    if (!backend->start(dispatcher_)) {
        dispatcher_.stop();
        return 0;
    }
    backend_ = std::move(backend);
    return 1;
}

int Core::end() {
    if (dispatcher_.onDispatchThread()) {
        return 0;
    }
    std::shared_ptr<Backend> backend;
    {
        std::lock_guard lock(m_);
        backend = std::move(backend_);
        regs_.clear();
    }
    if (!backend) {
        return 0;
    }
    backend->stop();
    dispatcher_.stop();
    return 1;
}

bool Core::initialised() const {
    std::lock_guard lock(m_);
    return backend_ != nullptr;
}

std::shared_ptr<Backend> Core::backend() const {
    std::lock_guard lock(m_);
    return backend_;
}

uint32_t Core::addRegistration(const UnitId& u, PortmuxCallback cb, uint32_t tag) {
    std::lock_guard lock(m_);
    uint32_t h = nextHandle_++;
    if (nextHandle_ == 0) {
        nextHandle_ = 1;
    }
    regs_.push_back(Registration{h, cb, tag, u});
    return h;
}

int Core::getDeviceCount(const UnitId* u, PortmuxCallback cb, uint32_t tag, uint32_t check,
                         uint32_t* handle) {
    (void)handle;
    if (!u || portmuxCheckCall(u, cb, tag, nullptr, 0) != check) {
        return 0;
    }
    if (!selects(*u, Collection::Config) && !selects(*u, Collection::Consumer) &&
        !selects(*u, Collection::Status)) {
        return 0;
    }
    auto b = backend();
    return b ? static_cast<int>(b->deviceCount()) : 0;
}

int Core::asyncRead(const UnitId* u, PortmuxCallback cb, uint32_t tag, uint32_t check, uint32_t* handle) {
    if (!u || !cb || portmuxCheckCall(u, cb, tag, nullptr, 0) != check || !initialised()) {
        return 0;
    }
    if (!selects(*u, Collection::Config) && !selects(*u, Collection::Consumer)) {
        return 0;
    }
    const uint32_t h = addRegistration(*u, cb, tag);
    if (handle) {
        *handle = h;
    }
    return 1;
}

int Core::statusWrite(const UnitId* u, PortmuxCallback cb, uint32_t tag, const uint8_t* status,
                      uint32_t length, uint32_t check, uint32_t* handle) {
    if (!u || !status || length == 0 || length > PORTMUX_REPORT_SIZE) {
        return 0;
    }
    if (portmuxCheckCall(u, cb, tag, status, length) != check || !selects(*u, Collection::Status)) {
        return 0;
    }
    auto b = backend();
    if (!b || !b->writeStatus(std::span<const uint8_t>(status, length))) {
        return 0;
    }
    // The status write is a registration of its own (the program cancels the previous one first); the
    // status collection has no input, so its callback is never called.
    const uint32_t h = addRegistration(*u, cb, tag);
    if (handle) {
        *handle = h;
    }
    return 1;
}

int Core::writeOne(const UnitId* u, PortmuxCallback cb, uint32_t tag, const uint8_t* report, uint32_t length,
                   uint32_t check, uint32_t* handle) {
    if (!u || !report || length == 0 || length > PORTMUX_REPORT_SIZE) {
        return 0;
    }
    if (portmuxCheckCall(u, cb, tag, report, length) != check || !selects(*u, Collection::Config)) {
        return 0;
    }
    std::array<uint8_t, PORTMUX_REPORT_SIZE> padded{};
    std::memcpy(padded.data(), report, length);
    auto b = backend();
    if (!b || !b->writeReport(padded)) {
        return 0;
    }
    if (handle) {
        *handle = 0;
    }
    return 1;
}

int Core::deleteRequest(uint32_t handle) {
    if (handle == 0) {
        return 0;
    }
    const bool onDispatch = dispatcher_.onDispatchThread();
    std::unique_lock lock(m_);
    auto it =
        std::find_if(regs_.begin(), regs_.end(), [&](const Registration& r) { return r.handle == handle; });
    if (it == regs_.end()) {
        return 0;
    }
    regs_.erase(it);
    if (!onDispatch) {
        callbackDone_.wait(lock, [&] { return inCallback_ != handle; });
    }
    return 1;
}

size_t Core::registrationCount() const {
    std::lock_guard lock(m_);
    return regs_.size();
}

void Core::deliver(Event& event) {
    if (event.type == Event::Type::Action) {
        if (event.action) {
            event.action();
        }
        return;
    }
    const Collection target = collectionOf(event.type);
    std::vector<Registration> targets;
    {
        std::lock_guard lock(m_);
        for (const auto& r : regs_) {
            if (selects(r.unit, target)) {
                targets.push_back(r);
            }
        }
    }
    for (const auto& t : targets) {
        {
            std::lock_guard lock(m_);
            const bool live = std::any_of(regs_.begin(), regs_.end(),
                                          [&](const Registration& r) { return r.handle == t.handle; });
            if (!live) {
                continue;
            }
            inCallback_ = t.handle;
        }
        uint16_t usage = event.type == Event::Type::Consumer ? event.usage : 0;
        PortmuxReportRecord record{};
        record.usage = &usage;
        const uint32_t length = static_cast<uint32_t>(event.bytes.size());
        std::memcpy(record.head + 0, &length, 4);
        std::memcpy(record.head + 4, &t.tag, 4);
        PortmuxRequestRecord request{};
        request.tag = t.tag;
        request.report = &record;
        PortmuxNotification n{};
        n.request = &request;
        if (event.type == Event::Type::DeviceCount) {
            n.kind = PORTMUX_KIND_DEVICE_SET;
            request.count = event.count;
        } else {
            n.kind = PORTMUX_KIND_REPORT;
            request.count = length;
            request.data = event.bytes.data();
        }
        t.cb(&n);
        {
            std::lock_guard lock(m_);
            inCallback_ = 0;
        }
        callbackDone_.notify_all();
    }
}

} // namespace portmux
