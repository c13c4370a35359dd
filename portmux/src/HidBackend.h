// Back end `hid`: real keyboards through hidapi (hidraw), behind the transport seam of HidTransport.h.
//
// Every keyboard (vendor 0x0C45, product 0x8508) exposes the configuration collection (usage page 0xFF1C,
// usage 0x0092), the consumer-control collection (0x000C/0x0001) and the status output (0x0008/0x0089),
// on one or more nodes. The back end opens every node that carries one of them, counts the keyboards
// (the nodes that carry the configuration collection) and reports a change of the count as a device-set
// event; it rescans about once a second and at once when a node fails. One reader thread per node turns
// input reports into control replies (the configuration collection's 64-byte reports, report id 0x04
// first) and consumer-control usages (only the reports the node's descriptor declares for that
// collection, usually {report id, low, high}). Writes go to the first keyboard, in the order of the node
// paths.
#pragma once

#include "portmux/src/Backend.h"
#include "portmux/src/HidReportDescriptor.h"
#include "portmux/src/HidTransport.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace portmux::hid {

struct HidOptions {
    std::chrono::milliseconds pollInterval{1000};
    int readTimeoutMs = 100; // how often a reader looks whether it should stop
};

// Where a node's input report goes: a control reply, a consumer code, or nowhere (a report of another
// collection of the node, such as typing on the keyboard's own interface).
enum class Route { Control, Consumer, Ignore };
// A consumer-control report is one the node's descriptor declares for that collection (ConsumerReports);
// on a node that also carries the configuration collection, the rest with report id 0x04 are control
// replies.
Route routeOf(bool config, bool consumer, const ConsumerReports& consumerReports, const uint8_t* report,
              size_t length);

class HidBackend final : public Backend {
public:
    explicit HidBackend(std::unique_ptr<Transport> transport, HidOptions options = {});
    ~HidBackend() override;

    const char* name() const override { return "hid"; }
    bool start(Dispatcher& dispatcher) override;
    void stop() override;
    uint32_t deviceCount() override;
    bool writeReport(std::span<const uint8_t, 64> report) override;
    bool writeStatus(std::span<const uint8_t> status) override;

    // Scans now instead of at the next poll (tests; the poll thread does the same).
    void rescan();

private:
    struct Node {
        std::string path;
        bool config = false;
        bool consumer = false;
        bool status = false;
        std::shared_ptr<Connection> connection;
        std::shared_ptr<std::atomic<bool>> stop;
        std::shared_ptr<std::atomic<bool>> failed;
        std::thread reader;
    };
    void scan(bool notify);
    void pollLoop();
    void readLoop(std::shared_ptr<Connection> connection, bool config, bool consumer,
                  ConsumerReports consumerReports, std::shared_ptr<std::atomic<bool>> stop,
                  std::shared_ptr<std::atomic<bool>> failed);
    static void retire(std::map<std::string, Node>& nodes);
    std::shared_ptr<Connection> target(bool status);

    std::unique_ptr<Transport> transport_;
    HidOptions options_;
    std::mutex scanLock_; // one scan at a time
    std::mutex m_;        // nodes_, count_, dispatcher_
    std::map<std::string, Node> nodes_;
    uint32_t count_ = 0;
    Dispatcher* dispatcher_ = nullptr;
    std::mutex wakeLock_;
    std::condition_variable wake_;
    bool wakeRequested_ = false;
    bool stopping_ = false;
    std::thread poller_;
};

// The back end over the system's hidapi; nullptr when hidapi cannot start.
std::unique_ptr<Backend> makeHidapiBackend();

} // namespace portmux::hid
