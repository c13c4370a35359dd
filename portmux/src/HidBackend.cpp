#include "portmux/src/HidBackend.h"

#include "portmux/include/portmux.h"

#include <array>
#include <set>
#include <vector>

namespace portmux::hid {

namespace {

struct Roles {
    bool config = false;
    bool consumer = false;
    bool status = false;
    bool any() const { return config || consumer || status; }
    bool operator==(const Roles&) const = default;
};

} // namespace

Route routeOf(bool config, bool consumer, const ConsumerReports& consumerReports, const uint8_t* report,
              size_t length) {
    if (length == 0) {
        return Route::Ignore;
    }
    if (consumer && consumerReports.usageOf(report, length)) {
        return Route::Consumer;
    }
    if (config && (!consumer || report[0] == 0x04)) {
        return Route::Control;
    }
    return Route::Ignore;
}

HidBackend::HidBackend(std::unique_ptr<Transport> transport, HidOptions options)
    : transport_(std::move(transport)), options_(options) {}

HidBackend::~HidBackend() {
    stop();
}

bool HidBackend::start(Dispatcher& dispatcher) {
    if (!transport_) {
        return false;
    }
    {
        std::lock_guard lock(m_);
        if (dispatcher_) {
            return true;
        }
        dispatcher_ = &dispatcher;
    }
    {
        std::lock_guard lock(wakeLock_);
        stopping_ = false;
        wakeRequested_ = false;
    }
    // The count found at start is the starting point, not a change.
    scan(false);
    poller_ = std::thread([this] { pollLoop(); });
    return true;
}

void HidBackend::stop() {
    {
        std::lock_guard lock(wakeLock_);
        stopping_ = true;
    }
    wake_.notify_all();
    if (poller_.joinable()) {
        poller_.join();
    }
    std::map<std::string, Node> nodes;
    {
        std::lock_guard scan(scanLock_);
        std::lock_guard lock(m_);
        nodes.swap(nodes_);
        count_ = 0;
    }
    retire(nodes);
    std::lock_guard lock(m_);
    dispatcher_ = nullptr;
}

uint32_t HidBackend::deviceCount() {
    std::lock_guard lock(m_);
    return count_;
}

void HidBackend::rescan() {
    scan(true);
}

void HidBackend::retire(std::map<std::string, Node>& nodes) {
    for (auto& [path, node] : nodes) {
        node.stop->store(true);
    }
    for (auto& [path, node] : nodes) {
        if (node.reader.joinable()) {
            node.reader.join();
        }
    }
    nodes.clear(); // closes the connections no writer holds any more
}

void HidBackend::scan(bool notify) {
    std::lock_guard scanning(scanLock_);
    Dispatcher* dispatcher = nullptr;
    {
        std::lock_guard lock(m_);
        dispatcher = dispatcher_;
    }
    if (!dispatcher) {
        return;
    }
    std::map<std::string, Roles> found;
    for (const DeviceInfo& info : transport_->enumerate(PORTMUX_VENDOR_ID, PORTMUX_PRODUCT_ID)) {
        if (info.vendor != PORTMUX_VENDOR_ID || info.product != PORTMUX_PRODUCT_ID || info.path.empty()) {
            continue;
        }
        Roles& r = found[info.path];
        r.config |= info.usagePage == PORTMUX_PAGE_CONFIG && info.usage == PORTMUX_USAGE_CONFIG;
        r.consumer |= info.usagePage == PORTMUX_PAGE_CONSUMER && info.usage == PORTMUX_USAGE_CONSUMER;
        r.status |= info.usagePage == PORTMUX_PAGE_STATUS && info.usage == PORTMUX_USAGE_STATUS;
    }
    std::map<std::string, Node> gone;
    std::vector<std::pair<std::string, Roles>> fresh;
    {
        std::lock_guard lock(m_);
        for (auto it = nodes_.begin(); it != nodes_.end();) {
            auto f = found.find(it->first);
            const Roles now = f == found.end() ? Roles{} : f->second;
            const Roles had{it->second.config, it->second.consumer, it->second.status};
            if (!now.any() || !(now == had) || it->second.failed->load()) {
                gone.insert(nodes_.extract(it++));
            } else {
                ++it;
            }
        }
        for (const auto& [path, roles] : found) {
            if (roles.any() && nodes_.find(path) == nodes_.end()) {
                fresh.emplace_back(path, roles);
            }
        }
    }
    retire(gone);

    std::map<std::string, Node> opened;
    for (const auto& [path, roles] : fresh) {
        std::unique_ptr<Connection> c = transport_->open(path);
        if (!c) {
            continue; // not counted: a keyboard that cannot be opened cannot be used
        }
        Node node;
        node.path = path;
        node.config = roles.config;
        node.consumer = roles.consumer;
        node.status = roles.status;
        node.connection = std::move(c);
        node.stop = std::make_shared<std::atomic<bool>>(false);
        node.failed = std::make_shared<std::atomic<bool>>(false);
        if (roles.config || roles.consumer) {
            ConsumerReports consumerReports;
            if (roles.consumer) {
                consumerReports = ConsumerReports::fromDescriptor(transport_->reportDescriptor(path));
            }
            node.reader =
                std::thread([this, conn = node.connection, config = roles.config, consumer = roles.consumer,
                             consumerReports, stop = node.stop, failed = node.failed] {
                    readLoop(conn, config, consumer, consumerReports, stop, failed);
                });
        }
        opened.emplace(path, std::move(node));
    }

    std::lock_guard lock(m_);
    nodes_.merge(opened);
    uint32_t count = 0;
    for (const auto& [path, node] : nodes_) {
        count += node.config ? 1u : 0u;
    }
    if (count != count_) {
        count_ = count;
        if (!notify) {
            return;
        }
        Event e;
        e.type = Event::Type::DeviceCount;
        e.count = count;
        dispatcher->post(std::move(e));
    }
}

void HidBackend::pollLoop() {
    std::unique_lock lock(wakeLock_);
    while (!stopping_) {
        wake_.wait_for(lock, options_.pollInterval, [this] { return stopping_ || wakeRequested_; });
        if (stopping_) {
            break;
        }
        wakeRequested_ = false;
        lock.unlock();
        scan(true);
        lock.lock();
    }
}

void HidBackend::readLoop(std::shared_ptr<Connection> connection, bool config, bool consumer,
                          ConsumerReports consumerReports, std::shared_ptr<std::atomic<bool>> stop,
                          std::shared_ptr<std::atomic<bool>> failed) {
    std::array<uint8_t, 256> buffer{};
    Dispatcher* dispatcher = nullptr;
    {
        std::lock_guard lock(m_);
        dispatcher = dispatcher_;
    }
    while (!stop->load()) {
        const int n = connection->read(buffer.data(), buffer.size(), options_.readTimeoutMs);
        if (n < 0) {
            failed->store(true);
            {
                std::lock_guard lock(wakeLock_);
                wakeRequested_ = true;
            }
            wake_.notify_all();
            return;
        }
        if (n == 0 || !dispatcher) {
            continue;
        }
        const size_t length = static_cast<size_t>(n);
        const Route route = routeOf(config, consumer, consumerReports, buffer.data(), length);
        if (route == Route::Ignore) {
            continue;
        }
        Event e;
        e.bytes.assign(buffer.begin(), buffer.begin() + n);
        if (route == Route::Control) {
            e.type = Event::Type::ControlReport;
        } else {
            e.type = Event::Type::Consumer;
            e.usage = *consumerReports.usageOf(buffer.data(), length);
        }
        dispatcher->post(std::move(e));
    }
}

std::shared_ptr<Connection> HidBackend::target(bool status) {
    std::lock_guard lock(m_);
    for (const auto& [path, node] : nodes_) { // in path order
        if ((status ? node.status : node.config) && !node.failed->load()) {
            return node.connection;
        }
    }
    return nullptr;
}

bool HidBackend::writeReport(std::span<const uint8_t, 64> report) {
    auto c = target(false);
    return c && c->write(report.data(), report.size()) > 0;
}

bool HidBackend::writeStatus(std::span<const uint8_t> status) {
    auto c = target(true);
    return c && c->write(status.data(), status.size()) > 0;
}

std::unique_ptr<Backend> makeHidapiBackend() {
    auto transport = makeHidapiTransport();
    if (!transport) {
        return nullptr;
    }
    return std::make_unique<HidBackend>(std::move(transport));
}

} // namespace portmux::hid
