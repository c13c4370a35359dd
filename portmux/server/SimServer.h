// `portmux-sim serve`: one virtual keyboard (the `sim` back end's model with its state file) served to
// every process of the user over a Unix socket, as a real keyboard is one device that every process sees
// through hidraw.
//
// One thread polls the listening socket and the clients, carries out their requests in arrival order and
// sends the keyboard's events (replies, consumer-control codes, count changes, each when its latency has
// passed) to every keyboard client. What a round of the loop queues for a client goes out in one send at
// the end of the round. Sends never block: what a client
// does not take at once waits in its own bounded queue, and a client that lets it overflow is dropped, so
// a stopped process cannot stall the others. A malformed message drops its sender only. A client that
// leaves while the keyboard stages its frame (begin without end) takes that frame with it.
#pragma once

#include "portmux/src/Dispatcher.h"
#include "portmux/src/SimBackend.h"
#include "portmux/src/SimWire.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include <sys/types.h>

namespace portmux::sim {

struct ServerOptions {
    std::string socketPath;
    std::string statePath; // empty: the flash is not kept
    size_t maxClients = 64;
    size_t maxQueuedBytes = 8u << 20; // per client, not yet taken by it
    // One line of the log, without its newline (default: "portmux-sim: LINE" on stderr).
    std::function<void(const std::string&)> log;
};

class SimServer {
public:
    explicit SimServer(ServerOptions options);
    ~SimServer();
    SimServer(const SimServer&) = delete;
    SimServer& operator=(const SimServer&) = delete;

    // Takes the socket: refuses while another server runs for it or answers there, removes a stale one,
    // and starts the keyboard. False with the reason in *why.
    bool open(std::string* why);
    // Serves until stop(). Then drops every client, stops the keyboard, saves its flash and removes the
    // socket. Answers whether the last save succeeded.
    bool run();
    // From any thread, also from a signal handler.
    void stop();

    SimBackend& keyboard() { return *keyboard_; }
    const std::string& socketPath() const { return options_.socketPath; }

private:
    struct Client {
        uint32_t id = 0;
        int fd = -1;
        pid_t pid = 0;
        wire::FrameReader reader{wire::kMaxClientBody};
        bool greeted = false;
        wire::Role role = wire::Role::Keyboard;
        std::mutex out; // pending, sentUpTo, dead, broken
        std::vector<uint8_t> pending;
        size_t sentUpTo = 0;
        bool dead = false;
        std::string broken; // why it must be dropped (set by a send)
    };
    using ClientPtr = std::shared_ptr<Client>;

    void log(const std::string& line);
    void accept();
    void readFrom(const ClientPtr& client);
    void handle(const ClientPtr& client, std::span<const uint8_t> body);
    wire::ControlResult control(const wire::Control& request);
    void queue(const ClientPtr& client, const std::vector<uint8_t>& frame);
    void flush(const ClientPtr& client);
    // Drops the clients whose sends failed or whose queue overflowed.
    void dropBroken();
    // By value: the caller's pointer may be the very entry this erases.
    void drop(ClientPtr client, const std::string& why);
    void deliver(Event& event);
    void onPosted();
    void wake();
    void close();

    ServerOptions options_;
    int listenFd_ = -1;
    int lockFd_ = -1;
    // Written by open(), closed by the destructor only: stop() reads it from signal handlers, which may
    // run on any thread until the server object is gone.
    std::atomic<int> wakeFd_{-1};
    ino_t socketInode_ = 0;
    std::atomic<bool> stopRequested_{false};
    std::atomic<std::thread::id> pollThread_{};
    std::map<uint32_t, ClientPtr> clients_; // the poll thread's own
    uint32_t nextId_ = 1;
    uint32_t frameOwner_ = 0; // client whose begin opened the keyboard's frame
    uint64_t ownedFrame_ = 0;
    std::mutex broadcastLock_;
    std::vector<ClientPtr> subscribers_; // keyboard clients, under broadcastLock_
    Dispatcher dispatcher_;
    std::unique_ptr<SimBackend> keyboard_;
};

} // namespace portmux::sim
