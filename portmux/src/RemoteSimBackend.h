// Back end `sim` when a `portmux-sim serve` daemon answers: the one virtual keyboard that every process of
// the user shares, seen as a keyboard is seen through hidraw. Reports go to the daemon in the order they
// are written; every reply and consumer-control code of the keyboard reaches every client (also replies
// to other processes' reports); plugging and unplugging change the count for all.
//
// When the daemon goes away the keyboard looks unplugged (count 0, writes refused, a waiting exchange
// ends); the back end tries to reconnect a few times a second and, once a daemon answers again, reports
// the keyboard's count as a plug.
#pragma once

#include "portmux/src/Backend.h"
#include "portmux/src/SimSocket.h"

#include <chrono>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace portmux::sim {

struct RemoteOptions {
    std::chrono::milliseconds greetTimeout{1000};  // the daemon's Welcome
    std::chrono::milliseconds resultTimeout{2000}; // the WriteResult of one write
    std::chrono::milliseconds reconnectPause{200};
};

class RemoteSimBackend final : public Backend {
public:
    // Connects to the daemon at socketPath; nullptr (with the reason in *why) when none answers there.
    static std::unique_ptr<RemoteSimBackend> connect(const std::string& socketPath, RemoteOptions options,
                                                     std::string* why);
    ~RemoteSimBackend() override;

    const char* name() const override { return "sim"; }
    bool start(Dispatcher& dispatcher) override;
    void stop() override;
    uint32_t deviceCount() override;
    bool writeReport(std::span<const uint8_t, 64> report) override;
    bool writeStatus(std::span<const uint8_t> status) override;

    const std::string& socketPath() const { return path_; }

private:
    RemoteSimBackend(std::string path, RemoteOptions options, std::shared_ptr<WireSocket> socket,
                     uint32_t count);
    // Sends a Write or StatusWrite under a fresh sequence number and waits (bounded) for its result.
    bool request(wire::ClientMessage message);
    void readLoop();
    // Reads from one connection until it ends or stop().
    void serve(const std::shared_ptr<WireSocket>& socket);
    void lose();
    void noteCount(uint32_t count);

    const std::string path_;
    const RemoteOptions options_;
    std::mutex m_;
    std::condition_variable cv_;
    std::shared_ptr<WireSocket> socket_; // null while disconnected
    Dispatcher* dispatcher_ = nullptr;
    uint32_t count_ = 0;
    uint32_t nextSeq_ = 1;
    std::map<uint32_t, int> results_; // seq -> -1 waiting, 0 refused, 1 accepted
    bool stopping_ = false;
    std::thread reader_;
};

} // namespace portmux::sim
