#include "portmux/server/SimServer.h"

#include "portmux/src/SimSocket.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <thread>

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace portmux::sim {

namespace {

// Violation records carry up to 255 bytes of text: this many keep a page well inside the frame limit.
constexpr uint16_t kViolationsPerPage = 200;

sockaddr_un addressOf(const std::string& path) {
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::memcpy(addr.sun_path, path.c_str(), std::min(path.size() + 1, sizeof addr.sun_path));
    return addr;
}

// Whether something accepts connections at path now.
bool answers(const std::string& path) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return false;
    }
    const sockaddr_un addr = addressOf(path);
    const bool ok = ::connect(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) == 0;
    ::close(fd);
    return ok;
}

std::string errnoText(const char* what) {
    return std::string(what) + ": " + std::strerror(errno);
}

} // namespace

SimServer::SimServer(ServerOptions options)
    : options_(std::move(options)), dispatcher_([this](Event& e) { deliver(e); }, [this] { onPosted(); }) {}

SimServer::~SimServer() {
    close();
    // Only now: stop() may come from a signal handler up to the end of run() and after it.
    if (const int fd = wakeFd_.exchange(-1); fd >= 0) {
        ::close(fd);
    }
}

void SimServer::log(const std::string& line) {
    if (options_.log) {
        options_.log(line);
    } else {
        std::fprintf(stderr, "portmux-sim: %s\n", line.c_str());
    }
}

bool SimServer::open(std::string* why) {
    auto fail = [&](std::string text) {
        if (why) {
            *why = std::move(text);
        }
        close();
        return false;
    };
    const std::string& path = options_.socketPath;
    if (!socketPathFits(path)) {
        return fail("the socket path is empty or too long: " + path);
    }
    std::string reason;
    if (!prepareSocketFolder(path, &reason)) {
        return fail(reason);
    }
    // The lock keeps two servers that start at once from taking the socket from each other.
    const std::string lockPath = path + ".lock";
    lockFd_ = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (lockFd_ < 0) {
        return fail(errnoText(("cannot open " + lockPath).c_str()));
    }
    if (::flock(lockFd_, LOCK_EX | LOCK_NB) != 0) {
        return fail("another portmux-sim serve runs at " + path);
    }
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0) {
        if (!S_ISSOCK(st.st_mode)) {
            return fail(path + " exists and is not a socket");
        }
        if (answers(path)) {
            return fail("another server answers at " + path);
        }
        if (::unlink(path.c_str()) != 0) {
            return fail(errnoText(("cannot remove the stale socket " + path).c_str()));
        }
        log("removed the stale socket " + path);
    }
    listenFd_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (listenFd_ < 0) {
        return fail(errnoText("socket"));
    }
    const sockaddr_un addr = addressOf(path);
    if (::bind(listenFd_, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0) {
        return fail(errnoText(("cannot listen at " + path).c_str()));
    }
    ::chmod(path.c_str(), 0600);
    if (::lstat(path.c_str(), &st) == 0) {
        socketInode_ = st.st_ino;
    }
    if (::listen(listenFd_, 64) != 0) {
        return fail(errnoText("listen"));
    }
    if (wakeFd_.load() < 0) {
        wakeFd_.store(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC));
        if (wakeFd_.load() < 0) {
            return fail(errnoText("eventfd"));
        }
    }
    keyboard_ = std::make_unique<SimBackend>(options_.statePath);
    if (!keyboard_->holdStateFile(&reason)) {
        return fail(reason);
    }
    dispatcher_.start();
    keyboard_->start(dispatcher_);
    log("serving the virtual keyboard at " + path + " (state " +
        (options_.statePath.empty() ? std::string("not kept") : options_.statePath) + ")");
    return true;
}

void SimServer::stop() {
    stopRequested_.store(true);
    wake();
}

void SimServer::onPosted() {
    // Events posted by the loop itself are delivered when it comes round; others must wake it.
    if (std::this_thread::get_id() != pollThread_.load()) {
        wake();
    }
}

void SimServer::wake() {
    if (const int fd = wakeFd_.load(); fd >= 0) {
        const uint64_t one = 1;
        [[maybe_unused]] const ssize_t n = ::write(fd, &one, sizeof one);
    }
}

bool SimServer::run() {
    pollThread_.store(std::this_thread::get_id());
    std::vector<pollfd> fds;
    std::vector<ClientPtr> order;
    while (!stopRequested_.load() && listenFd_ >= 0) {
        // The keyboard's events that are due (a reply at latency 0 goes out right after the request that
        // caused it and its WriteResult), then a wait until the next one falls due or a socket stirs.
        const auto nextDue = dispatcher_.deliverDue();
        dropBroken();
        // What this round queued goes out now, a request's result and the reply it caused in one send.
        for (const auto& [id, c] : clients_) {
            flush(c);
        }
        fds.clear();
        order.clear();
        fds.push_back({listenFd_, POLLIN, 0});
        fds.push_back({wakeFd_.load(), POLLIN, 0});
        for (const auto& [id, c] : clients_) {
            short events = POLLIN;
            {
                std::lock_guard lock(c->out);
                if (c->sentUpTo < c->pending.size()) {
                    events |= POLLOUT;
                }
            }
            fds.push_back({c->fd, events, 0});
            order.push_back(c);
        }
        timespec wait{};
        if (nextDue) {
            const auto ns =
                std::chrono::duration_cast<std::chrono::nanoseconds>(*nextDue - Dispatcher::Clock::now());
            const long long left = std::max<long long>(ns.count(), 0);
            wait.tv_sec = static_cast<time_t>(left / 1000000000);
            wait.tv_nsec = static_cast<long>(left % 1000000000);
        }
        if (::ppoll(fds.data(), fds.size(), nextDue ? &wait : nullptr, nullptr) < 0 && errno != EINTR) {
            log(errnoText("poll"));
            break;
        }
        if (fds[1].revents & POLLIN) {
            uint64_t n = 0;
            [[maybe_unused]] const ssize_t r = ::read(wakeFd_.load(), &n, sizeof n);
        }
        if (fds[0].revents & POLLIN) {
            accept();
        }
        for (size_t i = 0; i < order.size(); ++i) {
            const ClientPtr& c = order[i];
            const short revents = fds[i + 2].revents;
            if (!clients_.count(c->id)) {
                continue; // dropped meanwhile
            }
            if (revents & POLLOUT) {
                flush(c);
            }
            if (revents & (POLLIN | POLLHUP | POLLERR)) {
                readFrom(c);
            }
        }
        dropBroken();
    }
    while (!clients_.empty()) {
        drop(clients_.begin()->second, "the server stops");
    }
    bool saved = true;
    if (keyboard_) {
        keyboard_->stop();
        dispatcher_.stop();
        saved = keyboard_->save();
    }
    close();
    log(saved ? "stopped" : "stopped; the last save of the state file failed");
    return saved;
}

void SimServer::close() {
    dispatcher_.stop();
    if (listenFd_ >= 0) {
        ::close(listenFd_);
        listenFd_ = -1;
        // Only our own socket: a server started after a stale-socket removal may have put its own there.
        struct stat st {};
        if (::lstat(options_.socketPath.c_str(), &st) == 0 && st.st_ino == socketInode_) {
            ::unlink(options_.socketPath.c_str());
        }
    }
    if (lockFd_ >= 0) {
        ::close(lockFd_);
        lockFd_ = -1;
    }
}

void SimServer::accept() {
    for (;;) {
        const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0) {
            if (errno == EINTR) {
                continue;
            }
            return; // EAGAIN, or a connection that went away before it was taken
        }
        ucred cred{};
        socklen_t len = sizeof cred;
        if (::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &cred, &len) != 0 || cred.uid != ::getuid()) {
            log("refused a connection of another user (uid " + std::to_string(cred.uid) + ")");
            ::close(fd);
            continue;
        }
        if (clients_.size() >= options_.maxClients) {
            // Say so, or the client could take a silent close for an absent server and run on its own.
            const std::string reason =
                "the server has " + std::to_string(clients_.size()) + " clients already";
            const std::vector<uint8_t> frame = wire::encode(wire::Refused{reason});
            [[maybe_unused]] const ssize_t sent = ::send(fd, frame.data(), frame.size(), MSG_NOSIGNAL);
            log("refused a connection: " + std::to_string(clients_.size()) + " clients already");
            ::close(fd);
            continue;
        }
        auto c = std::make_shared<Client>();
        c->id = nextId_++;
        c->fd = fd;
        c->pid = cred.pid;
        clients_.emplace(c->id, c);
        log("client " + std::to_string(c->id) + " connected (pid " + std::to_string(c->pid) + ")");
    }
}

void SimServer::readFrom(const ClientPtr& c) {
    std::array<uint8_t, 16 * 1024> buffer;
    const ssize_t n = ::recv(c->fd, buffer.data(), buffer.size(), 0);
    if (n < 0 && (errno == EINTR || errno == EAGAIN)) {
        return;
    }
    if (n <= 0) {
        drop(c, n == 0 ? "" : errnoText("receive"));
        return;
    }
    c->reader.feed({buffer.data(), static_cast<size_t>(n)});
    while (auto body = c->reader.next()) {
        handle(c, *body);
        if (!clients_.count(c->id)) {
            return;
        }
    }
    if (c->reader.failed()) {
        drop(c, "bad message: " + c->reader.why());
    }
}

void SimServer::handle(const ClientPtr& c, std::span<const uint8_t> body) {
    std::string why;
    auto message = wire::decodeClient(body, &why);
    if (!message) {
        drop(c, "bad message: " + why);
        return;
    }
    if (!c->greeted) {
        const auto* hello = std::get_if<wire::Hello>(&*message);
        if (!hello) {
            drop(c, "bad message: it spoke before its greeting");
            return;
        }
        if (hello->version != wire::kVersion) {
            queue(c,
                  wire::encode(wire::Refused{"this server speaks version " + std::to_string(wire::kVersion) +
                                             ", not " + std::to_string(hello->version)}));
            flush(c);
            drop(c, "it speaks version " + std::to_string(hello->version));
            return;
        }
        c->greeted = true;
        c->role = hello->role;
        // Welcome and subscription in one step: every event after the count in the Welcome reaches the
        // client, none before it.
        std::lock_guard lock(broadcastLock_);
        queue(c, wire::encode(wire::Welcome{wire::kVersion, keyboard_->deviceCount()}));
        if (c->role == wire::Role::Keyboard) {
            subscribers_.push_back(c);
        }
        return;
    }
    if (std::holds_alternative<wire::Hello>(*message)) {
        drop(c, "bad message: a second greeting");
        return;
    }
    if (const auto* w = std::get_if<wire::Write>(&*message)) {
        if (c->role != wire::Role::Keyboard) {
            drop(c, "bad message: a report from a control client");
            return;
        }
        const uint64_t before = keyboard_->frameSerial();
        const bool accepted = keyboard_->writeReport(w->report);
        if (const uint64_t after = keyboard_->frameSerial(); after != before) {
            frameOwner_ = c->id;
            ownedFrame_ = after;
        }
        queue(c, wire::encode(wire::WriteResult{w->seq, accepted}));
        return;
    }
    if (const auto* s = std::get_if<wire::StatusWrite>(&*message)) {
        if (c->role != wire::Role::Keyboard) {
            drop(c, "bad message: a status report from a control client");
            return;
        }
        queue(c, wire::encode(wire::WriteResult{s->seq, keyboard_->writeStatus(s->bytes)}));
        return;
    }
    queue(c, wire::encode(control(std::get<wire::Control>(*message))));
}

wire::ControlResult SimServer::control(const wire::Control& request) {
    wire::ControlResult r;
    r.seq = request.seq;
    r.op = request.op;
    r.ok = true;
    r.payload = wire::Nothing{};
    SimBackend& kb = *keyboard_;
    switch (request.op) {
    case wire::Op::Reset:
        kb.reset();
        frameOwner_ = 0;
        break;
    case wire::Op::Plug:
        r.payload = wire::Changed{kb.plug()};
        break;
    case wire::Op::Unplug:
        r.payload = wire::Changed{kb.unplug()};
        break;
    case wire::Op::Consumer:
        r.ok = kb.sendConsumer(static_cast<uint16_t>(request.value));
        break;
    case wire::Op::Latency:
        kb.setLatencyMs(request.value);
        break;
    case wire::Op::Fault:
        if (request.fault.count == 0 && request.fault.kind != FaultKind::Unplug) {
            r.ok = false;
        } else {
            kb.injectFault(request.fault);
        }
        break;
    case wire::Op::UpdateReturn:
        kb.setUpdateReturnDelayMs(request.delayMs);
        break;
    case wire::Op::Reports: {
        auto page = kb.reportPage(request.from, std::min(request.max, wire::kMaxPage));
        r.payload = wire::ReportsPage{page.first, page.end, std::move(page.items)};
        break;
    }
    case wire::Op::Violations: {
        auto page = kb.violationPage(request.from, std::min(request.max, kViolationsPerPage));
        r.payload = wire::ViolationsPage{page.first, page.end, std::move(page.items)};
        break;
    }
    case wire::Op::Flash:
        r.payload = wire::FlashArea{kb.area(request.area)};
        break;
    case wire::Op::Status: {
        wire::StatusInfo s;
        s.plugged = kb.deviceCount() > 0;
        {
            std::lock_guard lock(broadcastLock_);
            s.clients = static_cast<uint32_t>(subscribers_.size());
        }
        s.latencyMs = kb.latencyMs();
        s.updateReturnMs = kb.updateReturnDelayMs();
        s.faultsPending = static_cast<uint32_t>(kb.pendingFaults());
        s.frameOpen = kb.frameOpen();
        s.commits = kb.commitCount();
        s.reportTotal = kb.reportTotal();
        s.violations = kb.violationCount();
        s.recordLimit = static_cast<uint32_t>(kb.recordLimit());
        s.hasLinkStatus = kb.hasLinkStatus();
        s.linkStatus = kb.lastLinkStatus();
        s.updateTriggers = kb.updateTriggerCount();
        s.statePath = kb.statePath();
        r.payload = std::move(s);
        break;
    }
    case wire::Op::ClearReports:
        kb.clearReports();
        break;
    }
    if (!r.ok) {
        r.payload = wire::Nothing{};
    }
    return r;
}

void SimServer::queue(const ClientPtr& c, const std::vector<uint8_t>& frame) {
    std::lock_guard lock(c->out);
    if (c->dead || !c->broken.empty()) {
        return;
    }
    c->pending.insert(c->pending.end(), frame.begin(), frame.end());
    if (c->pending.size() - c->sentUpTo > options_.maxQueuedBytes) {
        c->broken = "it does not take what the keyboard sends";
    }
}

void SimServer::dropBroken() {
    std::vector<std::pair<ClientPtr, std::string>> broken;
    for (const auto& [id, c] : clients_) {
        std::lock_guard lock(c->out);
        if (!c->broken.empty()) {
            broken.emplace_back(c, c->broken);
        }
    }
    for (const auto& [c, why] : broken) {
        drop(c, why);
    }
}

void SimServer::flush(const ClientPtr& c) {
    std::lock_guard lock(c->out);
    if (c->dead || !c->broken.empty()) {
        return;
    }
    while (c->sentUpTo < c->pending.size()) {
        const ssize_t n = ::send(c->fd, c->pending.data() + c->sentUpTo, c->pending.size() - c->sentUpTo,
                                 MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            if (errno != EAGAIN) {
                c->broken = errnoText("send");
            }
            return;
        }
        c->sentUpTo += static_cast<size_t>(n);
    }
    c->pending.clear();
    c->sentUpTo = 0;
}

void SimServer::drop(ClientPtr c, const std::string& why) {
    {
        std::lock_guard lock(broadcastLock_);
        std::erase(subscribers_, c);
    }
    {
        std::lock_guard lock(c->out);
        c->dead = true;
        ::close(c->fd);
        c->fd = -1;
    }
    clients_.erase(c->id);
    const std::string name = "client " + std::to_string(c->id);
    if (frameOwner_ == c->id) {
        frameOwner_ = 0;
        if (keyboard_ && keyboard_->dropFrameOf(ownedFrame_)) {
            log(name + " left with its write frame open: the frame is dropped");
        }
    }
    log(why.empty() ? name + " disconnected" : name + " dropped: " + why);
}

void SimServer::deliver(Event& e) {
    if (e.type == Event::Type::Action) {
        if (e.action) {
            e.action();
        }
        return;
    }
    std::vector<uint8_t> frame;
    switch (e.type) {
    case Event::Type::ControlReport:
        frame = wire::encode(wire::Reply{e.bytes});
        break;
    case Event::Type::Consumer:
        frame = wire::encode(wire::ConsumerEvent{e.usage, e.bytes});
        break;
    default:
        frame = wire::encode(wire::CountEvent{e.count});
        break;
    }
    std::lock_guard lock(broadcastLock_);
    for (const auto& c : subscribers_) {
        queue(c, frame);
    }
}

} // namespace portmux::sim
