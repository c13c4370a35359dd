#include "portmux/src/RemoteSimBackend.h"

#include <algorithm>
#include <vector>

namespace portmux::sim {

namespace {

constexpr int kWaiting = -1;

} // namespace

std::unique_ptr<RemoteSimBackend> RemoteSimBackend::connect(const std::string& socketPath,
                                                            RemoteOptions options, std::string* why) {
    wire::Welcome welcome;
    auto socket = WireSocket::connect(socketPath, wire::Role::Keyboard, options.greetTimeout, &welcome, why);
    if (!socket) {
        return nullptr;
    }
    return std::unique_ptr<RemoteSimBackend>(
        new RemoteSimBackend(socketPath, options, std::move(socket), welcome.count));
}

RemoteSimBackend::RemoteSimBackend(std::string path, RemoteOptions options,
                                   std::shared_ptr<WireSocket> socket, uint32_t count)
    : path_(std::move(path)), options_(options), socket_(std::move(socket)), count_(count) {}

RemoteSimBackend::~RemoteSimBackend() {
    stop();
}

bool RemoteSimBackend::start(Dispatcher& dispatcher) {
    std::lock_guard lock(m_);
    if (dispatcher_) {
        return true;
    }
    dispatcher_ = &dispatcher;
    stopping_ = false;
    reader_ = std::thread([this] { readLoop(); });
    return true;
}

void RemoteSimBackend::stop() {
    {
        std::lock_guard lock(m_);
        stopping_ = true;
        if (socket_) {
            socket_->shutdown();
        }
    }
    cv_.notify_all();
    if (reader_.joinable()) {
        reader_.join();
    }
    std::lock_guard lock(m_);
    socket_.reset();
    dispatcher_ = nullptr;
    count_ = 0;
    for (auto& [seq, result] : results_) {
        result = 0;
    }
    cv_.notify_all();
}

uint32_t RemoteSimBackend::deviceCount() {
    std::lock_guard lock(m_);
    return socket_ && dispatcher_ ? count_ : 0;
}

bool RemoteSimBackend::writeReport(std::span<const uint8_t, 64> report) {
    wire::Write w;
    std::copy(report.begin(), report.end(), w.report.begin());
    return request(w);
}

bool RemoteSimBackend::writeStatus(std::span<const uint8_t> status) {
    if (status.empty() || status.size() > Report{}.size()) {
        return false;
    }
    return request(wire::StatusWrite{0, {status.begin(), status.end()}});
}

bool RemoteSimBackend::request(wire::ClientMessage message) {
    std::shared_ptr<WireSocket> socket;
    uint32_t seq = 0;
    {
        std::lock_guard lock(m_);
        if (!socket_ || !dispatcher_) {
            return false;
        }
        socket = socket_;
        seq = nextSeq_++;
        if (nextSeq_ == 0) {
            nextSeq_ = 1;
        }
        results_[seq] = kWaiting;
    }
    std::visit(
        [seq](auto& m) {
            if constexpr (requires { m.seq; }) {
                m.seq = seq;
            }
        },
        message);
    const bool sent = socket->send(message);
    std::unique_lock lock(m_);
    if (sent) {
        cv_.wait_for(lock, options_.resultTimeout, [&] { return results_[seq] != kWaiting; });
    }
    const int result = results_[seq];
    results_.erase(seq);
    return sent && result == 1;
}

void RemoteSimBackend::readLoop() {
    for (;;) {
        std::shared_ptr<WireSocket> socket;
        {
            std::lock_guard lock(m_);
            if (stopping_) {
                return;
            }
            socket = socket_;
        }
        if (socket) {
            serve(socket);
            lose();
            continue;
        }
        wire::Welcome welcome;
        std::unique_ptr<WireSocket> fresh =
            WireSocket::connect(path_, wire::Role::Keyboard, options_.greetTimeout, &welcome, nullptr);
        std::unique_lock lock(m_);
        if (stopping_) {
            return;
        }
        if (fresh) {
            socket_ = std::move(fresh);
            lock.unlock();
            noteCount(welcome.count);
            continue;
        }
        cv_.wait_for(lock, options_.reconnectPause, [this] { return stopping_; });
    }
}

void RemoteSimBackend::serve(const std::shared_ptr<WireSocket>& socket) {
    // Results are handed to their writers once the frames that came with them are handled: a reply that
    // arrived together with its WriteResult is then on its way to the callback before the writer wakes.
    std::vector<wire::WriteResult> results;
    auto handOver = [&] {
        if (results.empty()) {
            return;
        }
        {
            std::lock_guard lock(m_);
            for (const auto& r : results) {
                if (auto it = results_.find(r.seq); it != results_.end() && it->second == kWaiting) {
                    it->second = r.accepted ? 1 : 0;
                }
            }
        }
        results.clear();
        cv_.notify_all();
    };
    for (;;) {
        auto message = socket->receive(std::chrono::milliseconds(-1));
        if (!message) {
            handOver();
            return;
        }
        if (const auto* r = std::get_if<wire::WriteResult>(&*message)) {
            results.push_back(*r);
        } else if (const auto* reply = std::get_if<wire::Reply>(&*message)) {
            Event e;
            e.type = Event::Type::ControlReport;
            e.bytes = reply->bytes;
            std::lock_guard lock(m_);
            if (dispatcher_) {
                dispatcher_->post(std::move(e));
            }
        } else if (const auto* c = std::get_if<wire::ConsumerEvent>(&*message)) {
            Event e;
            e.type = Event::Type::Consumer;
            e.usage = c->usage;
            e.bytes = c->bytes;
            std::lock_guard lock(m_);
            if (dispatcher_) {
                dispatcher_->post(std::move(e));
            }
        } else if (const auto* n = std::get_if<wire::CountEvent>(&*message)) {
            noteCount(n->count);
        } else {
            handOver();
            return; // a daemon that answers out of turn is not trusted further
        }
        if (!socket->hasFrame()) {
            handOver();
        }
    }
}

void RemoteSimBackend::lose() {
    {
        std::lock_guard lock(m_);
        if (socket_) {
            socket_->shutdown();
        }
        socket_.reset();
        for (auto& [seq, result] : results_) {
            if (result == kWaiting) {
                result = 0;
            }
        }
    }
    cv_.notify_all();
    noteCount(0);
}

void RemoteSimBackend::noteCount(uint32_t count) {
    std::lock_guard lock(m_);
    if (count == count_) {
        return;
    }
    count_ = count;
    if (dispatcher_) {
        Event e;
        e.type = Event::Type::DeviceCount;
        e.count = count;
        dispatcher_->post(std::move(e));
    }
}

} // namespace portmux::sim
