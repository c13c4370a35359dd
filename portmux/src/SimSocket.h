// The client end of the daemon's socket: where it is, and one connection carrying SimWire frames. Used
// by the library's `sim` back end and by the `portmux-sim` verbs.
#pragma once

#include "portmux/src/SimWire.h"

#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace portmux::sim {

// Where the daemon listens: PORTMUX_SIM_SOCKET when set (an empty value: nowhere, the library keeps its
// keyboard in-process); otherwise sim.sock in the user's private run-time folder "portmux"
// (tarvik::paths::privateRuntimeFolder: $XDG_RUNTIME_DIR/portmux, else /tmp/portmux-UID, else one in the
// user's cache folder).
std::string socketPathFromEnvironment();

// Creates the socket's folder (mode 0700) when it is missing. A folder that belongs to another user or
// that others may enter is refused: whoever can put a socket there could pose as the daemon.
bool prepareSocketFolder(const std::string& socketPath, std::string* why);

// A Unix socket path must fit sockaddr_un.
bool socketPathFits(const std::string& path);

// One connection to the daemon. send() may be called from any thread; receive() from one thread at a
// time; shutdown() from any thread wakes a receive() that waits.
class WireSocket {
public:
    ~WireSocket();
    WireSocket(const WireSocket&) = delete;
    WireSocket& operator=(const WireSocket&) = delete;

    // Connects and greets. nullptr when nothing answers at path within timeout, or the daemon refuses
    // (its reason in *why, prefixed "refused: "). *why begins with "no server" exactly when nothing
    // listens there (no socket file, or connection refused); a server that is busy, stopped or full
    // gives another reason, so that a caller never takes a running daemon for an absent one.
    static std::unique_ptr<WireSocket> connect(const std::string& path, wire::Role role,
                                               std::chrono::milliseconds timeout, wire::Welcome* welcome,
                                               std::string* why);

    // Sends one whole frame; false when the connection is gone or a send blocks for longer than 2 s.
    bool send(const wire::ClientMessage& message);
    // The next message, waiting at most timeout (a negative timeout: until one comes or the connection
    // ends). nullopt on timeout (*timedOut set), end of the connection or a malformed message.
    std::optional<wire::ServerMessage> receive(std::chrono::milliseconds timeout, bool* timedOut = nullptr);
    void shutdown();
    // Whether a whole message is already here, so that receive() answers without waiting.
    bool hasFrame() const { return reader_.hasFrame(); }

private:
    explicit WireSocket(int fd);

    int fd_;
    std::mutex sendLock_;
    wire::FrameReader reader_{wire::kMaxServerBody};
    std::vector<uint8_t> buffer_;
};

} // namespace portmux::sim
