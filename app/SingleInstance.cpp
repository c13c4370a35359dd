#include "app/SingleInstance.h"

#include "app/MainIds.h"
#include "device/MainWindowPort.h"
#include "platform/Bytes.h"
#include "platform/LocalSocket.h"
#include "platform/Paths.h"
#include "platform/PrivateFolder.h"

#include <array>
#include <cstdlib>
#include <string>

namespace tarvik::app {

namespace {

constexpr const char* kBaseName = "Tarvik_Mutex_09A";
// A request: "TVK1", message, wParam (little-endian); the answer: "TVK1", result.
constexpr std::array<uint8_t, 4> kMagic = {'T', 'V', 'K', '1'};
constexpr size_t kRequestSize = 12;
constexpr size_t kAnswerSize = 8;
constexpr int kClientReadLimitMs = 1000;

// The socket's whole path must fit into a socket address.
bool shortEnough(const std::filesystem::path& folder) {
    return (folder / (std::string(kBaseName) + ".sock")).string().size() <= localSocketPathLimit();
}

} // namespace

InstancePaths instancePathsIn(const std::filesystem::path& folder) {
    return InstancePaths{folder / (std::string(kBaseName) + ".lock"),
                         folder / (std::string(kBaseName) + ".sock")};
}

std::optional<InstancePaths> instancePaths(std::string* why) {
    if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime != nullptr && runtime[0] != '\0') {
        if (paths::isPrivateFolder(runtime) && shortEnough(runtime)) {
            return instancePathsIn(runtime);
        }
    }
    // Someone else's folder, or one others may enter, is never used: /tmp/Tarvik-UID if it is ours, else
    // one in the user's cache folder.
    const std::filesystem::path folder = paths::privateFallbackFolder("Tarvik", why);
    if (folder.empty() || !shortEnough(folder)) {
        return std::nullopt;
    }
    return instancePathsIn(folder);
}

InstanceLock::State InstanceLock::tryAcquire() {
    if (fd_ >= 0) {
        return State::Acquired;
    }
    bool heldElsewhere = false;
    fd_ = tryLockFileNow(file_, heldElsewhere);
    if (fd_ < 0) {
        return heldElsewhere ? State::HeldElsewhere : State::Failed;
    }
    return State::Acquired;
}

void InstanceLock::release() {
    closeDescriptor(fd_); // also drops the lock
}

Delivery deliverToFirstInstance(const std::filesystem::path& socket, uint32_t message, uint32_t wParam,
                                std::chrono::milliseconds connectLimit,
                                std::chrono::milliseconds answerLimit) {
    if (socket.string().size() > localSocketPathLimit()) {
        return Delivery::NoInstance;
    }
    const auto connectDeadline = std::chrono::steady_clock::now() + connectLimit;
    int fd = -1;
    for (auto pause = std::chrono::milliseconds(5);;
         pause = std::min(pause * 2, std::chrono::milliseconds(100))) {
        fd = connectLocalSocket(socket);
        if (fd >= 0) {
            break;
        }
        // The first instance listens once its main window is ready; until then, try again.
        if (std::chrono::steady_clock::now() + pause >= connectDeadline) {
            return Delivery::NoInstance;
        }
        std::this_thread::sleep_for(pause);
    }
    std::array<uint8_t, kRequestSize> request{};
    std::copy(kMagic.begin(), kMagic.end(), request.begin());
    writeLe32(&request[4], message);
    writeLe32(&request[8], wParam);
    std::array<uint8_t, kAnswerSize> answer{};
    const bool answered =
        sendAll(fd, request.data(), request.size()) &&
        receiveAll(fd, answer.data(), answer.size(), std::chrono::steady_clock::now() + answerLimit) &&
        std::equal(kMagic.begin(), kMagic.end(), answer.begin());
    closeDescriptor(fd);
    return answered ? Delivery::Answered : Delivery::NoAnswer;
}

bool InstanceServer::accepts(uint32_t message) {
    return message == device::MSG_OPEN || message == device::MSG_KILL || message == MSG_APPLY;
}

InstanceServer::InstanceServer(std::filesystem::path socket, Handler handler)
    : socket_(std::move(socket)), handler_(std::move(handler)) {}

InstanceServer::~InstanceServer() {
    join();
}

bool InstanceServer::start() {
    if (thread_.joinable()) {
        return false;
    }
    // Whoever left a socket here is gone: this process holds the lock. The folder is private (0700), so
    // the socket's own mode is a second fence only.
    listenFd_ = listenLocalSocket(socket_);
    if (listenFd_ < 0 || !openWakePipe(wakeFds_)) {
        closeDescriptor(listenFd_);
        return false;
    }
    closed_ = false;
    thread_ = std::thread([this] { run(); });
    return true;
}

bool InstanceServer::listening() const {
    std::lock_guard lock(mutex_);
    return thread_.joinable() && !closed_;
}

void InstanceServer::close() {
    std::lock_guard lock(mutex_);
    if (closed_ || listenFd_ < 0) {
        return;
    }
    closed_ = true;
    removeLocalSocket(socket_);
    wake(wakeFds_[1]);
}

void InstanceServer::join() {
    close();
    if (thread_.joinable()) {
        thread_.join();
    }
    for (int* fd : {&listenFd_, &wakeFds_[0], &wakeFds_[1]}) {
        closeDescriptor(*fd);
    }
}

void InstanceServer::run() {
    for (;;) {
        const WaitResult r = waitReadableOrWoken(listenFd_, wakeFds_[0]);
        {
            std::lock_guard lock(mutex_);
            if (closed_ || r == WaitResult::Failed) {
                return;
            }
        }
        if (r != WaitResult::Readable) {
            continue;
        }
        int client = acceptLocalClient(listenFd_);
        if (client >= 0) {
            serve(client);
            closeDescriptor(client);
        }
    }
}

void InstanceServer::serve(int client) {
    // Only this user's processes may drive the program.
    if (!peerIsThisUser(client)) {
        return;
    }
    std::array<uint8_t, kRequestSize> request{};
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kClientReadLimitMs);
    if (!receiveAll(client, request.data(), request.size(), deadline) ||
        !std::equal(kMagic.begin(), kMagic.end(), request.begin())) {
        return;
    }
    const uint32_t message = readLe32(&request[4]);
    const uint32_t wParam = readLe32(&request[8]);
    if (!accepts(message)) {
        return;
    }
    handler_(message, wParam);
    std::array<uint8_t, kAnswerSize> answer{};
    std::copy(kMagic.begin(), kMagic.end(), answer.begin());
    sendAll(client, answer.data(), answer.size());
}

} // namespace tarvik::app
