// A control connection to `portmux-sim serve`: one request at a time, each answered before the next. The
// verbs of `portmux-sim` are built on it; tests use it to look at the daemon's keyboard.
#pragma once

#include "portmux/src/SimSocket.h"
#include "portmux/src/SimWire.h"

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace portmux::sim {

class ControlClient {
public:
    // nullptr, with the reason in *why, when no server answers at path.
    static std::unique_ptr<ControlClient>
    connect(const std::string& path, std::string* why,
            std::chrono::milliseconds timeout = std::chrono::seconds(2));

    // One request and its result; nullopt when the connection fails or the answer is not this request's.
    std::optional<wire::ControlResult> call(wire::Control request);
    // call() for an operation without arguments.
    std::optional<wire::ControlResult> call(wire::Op op);

    std::optional<wire::StatusInfo> status();
    std::optional<std::vector<uint8_t>> flash(Area area);
    // The whole record from number `from` on, as it stood at the first page (pages follow each other;
    // entries that the ring dropped meanwhile are skipped). *first gets the number of the first entry.
    std::optional<std::vector<Report>> reports(uint64_t from = 0, uint64_t* first = nullptr);
    std::optional<std::vector<ViolationRecord>> violations(uint64_t from = 0, uint64_t* first = nullptr);

private:
    explicit ControlClient(std::unique_ptr<WireSocket> socket) : socket_(std::move(socket)) {}

    std::unique_ptr<WireSocket> socket_;
    std::chrono::milliseconds timeout_{5000};
    uint32_t nextSeq_ = 1;
};

} // namespace portmux::sim
