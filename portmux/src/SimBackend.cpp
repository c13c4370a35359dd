#include "portmux/src/SimBackend.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace portmux::sim {

namespace {

constexpr size_t kMaxStateFile = 1u << 20;

std::string stateLockPath(const std::string& statePath) {
    return statePath + ".lock";
}

int openStateLock(const std::string& statePath, bool create) {
    if (create) {
        std::error_code ec;
        std::filesystem::create_directories(std::filesystem::path(statePath).parent_path(), ec);
    }
    return ::open(stateLockPath(statePath).c_str(), O_RDWR | O_CLOEXEC | O_NOFOLLOW | (create ? O_CREAT : 0),
                  0600);
}

int flockRetrying(int fd, int operation) {
    int r;
    do {
        r = ::flock(fd, operation);
    } while (r != 0 && errno == EINTR);
    return r;
}

bool writeAll(int fd, const uint8_t* data, size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

} // namespace

std::string stateFileFromEnvironment() {
    if (const char* s = std::getenv("PORTMUX_SIM_STATE")) {
        return s;
    }
    std::filesystem::path base;
    if (const char* x = std::getenv("XDG_STATE_HOME"); x && *x) {
        base = x;
    } else if (const char* h = std::getenv("HOME"); h && *h) {
        base = std::filesystem::path(h) / ".local" / "state";
    } else {
        return {};
    }
    return (base / "portmux" / "sim-keyboard.bin").string();
}

bool saveStateFile(const std::string& path, const Flash& flash) {
    namespace fs = std::filesystem;
    const fs::path target(path);
    const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
    std::error_code ec;
    fs::create_directories(folder, ec);
    std::string tmpl = (folder / (target.filename().string() + ".tmp-XXXXXX")).string();
    const int fd = ::mkstemp(tmpl.data());
    if (fd < 0) {
        return false;
    }
    const std::vector<uint8_t> bytes = serializeFlash(flash);
    bool ok = writeAll(fd, bytes.data(), bytes.size()) && ::fsync(fd) == 0;
    ok = (::close(fd) == 0) && ok;
    if (!ok || ::rename(tmpl.c_str(), path.c_str()) != 0) {
        ::unlink(tmpl.c_str());
        return false;
    }
    const int dfd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dfd >= 0) {
        ::fsync(dfd);
        ::close(dfd);
    }
    return true;
}

bool loadStateFile(const std::string& path, Flash& out) {
    if (path.empty()) {
        return false;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return false;
    }
    std::vector<uint8_t> bytes;
    char buf[4096];
    while (in.read(buf, sizeof buf) || in.gcount() > 0) {
        bytes.insert(bytes.end(), buf, buf + in.gcount());
        if (bytes.size() > kMaxStateFile) {
            return false;
        }
    }
    return deserializeFlash(bytes, out);
}

bool stateFileHeldByServer(const std::string& path) {
    if (path.empty()) {
        return false;
    }
    const int fd = openStateLock(path, false);
    if (fd < 0) {
        return false; // no lock file: no daemon has ever served this file
    }
    const bool held = flockRetrying(fd, LOCK_SH | LOCK_NB) != 0 && errno == EWOULDBLOCK;
    ::close(fd);
    return held;
}

SimBackend::SimBackend(std::string statePath) : statePath_(std::move(statePath)) {
    std::lock_guard lock(m_);
    loadFromFile();
}

SimBackend::~SimBackend() {
    if (stateLockFd_ >= 0) {
        ::close(stateLockFd_);
    }
}

bool SimBackend::holdStateFile(std::string* why) {
    std::lock_guard lock(m_);
    return claimStateLock(why);
}

bool SimBackend::claimStateLock(std::string* why) {
    if (stateLockFd_ >= 0) {
        ::close(stateLockFd_);
        stateLockFd_ = -1;
    }
    if (statePath_.empty()) {
        return true;
    }
    const int fd = openStateLock(statePath_, true);
    if (fd < 0) {
        if (why) {
            *why = "cannot open " + stateLockPath(statePath_) + ": " + std::strerror(errno);
        }
        return false;
    }
    // An in-process keyboard holds it shared only while it saves: wait that out, briefly.
    for (int attempt = 0; attempt < 50; ++attempt) {
        if (flockRetrying(fd, LOCK_EX | LOCK_NB) == 0) {
            stateLockFd_ = fd;
            return true;
        }
        if (errno != EWOULDBLOCK) {
            break;
        }
        ::usleep(20000);
    }
    ::close(fd);
    if (why) {
        *why = "the state file " + statePath_ + " is kept by another portmux-sim serve";
    }
    return false;
}

bool SimBackend::start(Dispatcher& dispatcher) {
    std::lock_guard lock(m_);
    dispatcher_ = &dispatcher;
    return true;
}

void SimBackend::stop() {
    std::lock_guard lock(m_);
    if (dispatcher_) {
        dispatcher_->cancelGroup(group_);
    }
    ++group_;
    dispatcher_ = nullptr;
}

uint32_t SimBackend::deviceCount() {
    std::lock_guard lock(m_);
    return dispatcher_ && plugged_ ? 1u : 0u;
}

void SimBackend::postCount(uint32_t count, bool afterReply) {
    if (!dispatcher_) {
        return;
    }
    Event e;
    e.type = Event::Type::DeviceCount;
    e.count = count;
    dispatcher_->post(std::move(e),
                      afterReply ? std::chrono::milliseconds(latencyMs_) : std::chrono::milliseconds(0),
                      group_);
}

void SimBackend::postReply(const Report& reply, uint32_t delayMs) {
    if (!dispatcher_) {
        return;
    }
    Event e;
    e.type = Event::Type::ControlReport;
    e.bytes.assign(reply.begin(), reply.end());
    dispatcher_->post(std::move(e), std::chrono::milliseconds(delayMs), group_);
}

void SimBackend::leave() {
    plugged_ = false;
    keyboard_.dropFrame();
}

bool SimBackend::persist() {
    if (statePath_.empty()) {
        return true;
    }
    int sharedFd = -1;
    if (stateLockFd_ < 0) {
        // In-process: a daemon that serves this file would overwrite what we save with its own copy.
        sharedFd = openStateLock(statePath_, true);
        if (sharedFd >= 0 && flockRetrying(sharedFd, LOCK_SH | LOCK_NB) != 0 && errno == EWOULDBLOCK) {
            ::close(sharedFd);
            std::fprintf(stderr, "portmux sim: not saving %s: a portmux-sim serve keeps it\n",
                         statePath_.c_str());
            return false;
        }
    }
    const bool saved = saveStateFile(statePath_, keyboard_.flash());
    if (sharedFd >= 0) {
        ::close(sharedFd);
    }
    if (!saved) {
        std::fprintf(stderr, "portmux sim: cannot save %s\n", statePath_.c_str());
    }
    return saved;
}

void SimBackend::record(const Report& report) {
    reports_.push_back(report);
    ++reportTotal_;
    while (reports_.size() > recordLimit_) {
        reports_.pop_front();
    }
}

void SimBackend::record(ViolationRecord violation) {
    violations_.push_back(std::move(violation));
    ++violationTotal_;
    while (violations_.size() > recordLimit_) {
        violations_.pop_front();
    }
}

bool SimBackend::loadFromFile() {
    Flash f;
    if (loadStateFile(statePath_, f)) {
        keyboard_.setFlash(std::move(f));
        return true;
    }
    keyboard_.setFlash(factoryFlash());
    return false;
}

size_t SimBackend::findFault(uint8_t command) const {
    for (size_t i = 0; i < faults_.size(); ++i) {
        const Fault& f = faults_[i];
        if (f.kind == FaultKind::AckDrop && !isFlashWrite(command)) {
            continue;
        }
        if (f.command == 0 || f.command == command) {
            return i;
        }
    }
    return faults_.size();
}

bool SimBackend::writeReport(std::span<const uint8_t, 64> bytes) {
    std::lock_guard lock(m_);
    if (!dispatcher_ || !plugged_) {
        return false;
    }
    Report report;
    std::copy(bytes.begin(), bytes.end(), report.begin());

    FaultKind kind = FaultKind::Pass;
    Fault fault;
    bool unplugAfter = false;
    if (const size_t i = findFault(report[3]); i < faults_.size()) {
        Fault& f = faults_[i];
        fault = f;
        kind = f.kind;
        const auto at = faults_.begin() + static_cast<std::ptrdiff_t>(i);
        if (kind == FaultKind::Unplug) {
            if (f.count == 0) {
                faults_.erase(at);
                dispatcher_->cancelGroup(group_, true);
                ++group_;
                leave();
                postCount(0);
                return false;
            }
            if (--f.count == 0) {
                unplugAfter = true;
                faults_.erase(at);
            }
            kind = FaultKind::Pass;
        } else if (--f.count == 0) {
            faults_.erase(at);
        }
    }
    if (kind == FaultKind::RefuseWrite) {
        return false;
    }
    record(report);

    switch (kind) {
    case FaultKind::BusyFF:
        postReply(SimKeyboard::statusReply(report, 0xFF), latencyMs_);
        return true;
    case FaultKind::BusyFE:
        postReply(SimKeyboard::statusReply(report, 0xFE), latencyMs_);
        return true;
    case FaultKind::WrongCommand: {
        const uint8_t code = fault.replyCommand ? fault.replyCommand : static_cast<uint8_t>(report[3] ^ 0x80);
        postReply(SimKeyboard::commandReply(report, code), latencyMs_);
        return true;
    }
    case FaultKind::NoReply:
        return true;
    default:
        break;
    }

    SimKeyboard::Outcome o =
        kind == FaultKind::AckDrop ? keyboard_.handleDropping(report) : keyboard_.handle(report);
    if (o.violation) {
        record(std::move(*o.violation));
    }
    if (o.executed && report[3] == kBeginWrite) {
        ++frameSerial_;
    }
    if (o.committed) {
        ++commits_;
        if (!persist() && stateFileHeldByServer(statePath_)) {
            // A daemon started on this file since: it owns the flash now. Stepping aside as an unplug,
            // with no reply, fails the write that could not be kept instead of reporting it done.
            leave();
            postCount(0);
            return true;
        }
    }
    if (o.updateTrigger) {
        ++updateTriggers_;
        dispatcher_->cancelGroup(group_, true);
        ++group_;
        leave();
        postCount(0);
        if (updateReturnDelayMs_ >= 0) {
            Event back;
            back.type = Event::Type::Action;
            back.action = [this, group = group_] {
                std::lock_guard relock(m_);
                if (group != group_ || plugged_ || !dispatcher_) {
                    return;
                }
                plugged_ = true;
                postCount(1);
            };
            dispatcher_->post(std::move(back), std::chrono::milliseconds(updateReturnDelayMs_), group_);
        }
        return true;
    }
    if (o.reply && kind != FaultKind::DropReply) {
        postReply(o.replyBytes, kind == FaultKind::LateReply ? fault.delayMs : latencyMs_);
    }
    if (unplugAfter) {
        leave();
        postCount(0, true);
    }
    return true;
}

bool SimBackend::writeStatus(std::span<const uint8_t> status) {
    std::lock_guard lock(m_);
    if (!dispatcher_ || !plugged_ || status.size() != 2) {
        return false;
    }
    status_ = {status[0], status[1]};
    hasStatus_ = true;
    ++statusCount_;
    return true;
}

void SimBackend::reset() {
    std::lock_guard lock(m_);
    if (dispatcher_) {
        dispatcher_->cancelGroup(group_);
    }
    ++group_;
    keyboard_.setFlash(factoryFlash());
    persist();
    faults_.clear();
    reports_.clear();
    reportTotal_ = 0;
    violations_.clear();
    violationTotal_ = 0;
    latencyMs_ = 0;
    updateReturnDelayMs_ = 1000;
    updateTriggers_ = 0;
    commits_ = 0;
    hasStatus_ = false;
    status_ = {};
    statusCount_ = 0;
    if (!plugged_) {
        plugged_ = true;
        postCount(1);
    }
}

bool SimBackend::plug() {
    std::lock_guard lock(m_);
    if (plugged_) {
        return false;
    }
    ++group_; // forget a pending return after the update trigger
    plugged_ = true;
    postCount(1);
    return true;
}

bool SimBackend::unplug() {
    std::lock_guard lock(m_);
    if (!plugged_) {
        return false;
    }
    if (dispatcher_) {
        dispatcher_->cancelGroup(group_, true); // replies not sent yet are lost, the rest still arrives
    }
    ++group_;
    leave();
    postCount(0);
    return true;
}

bool SimBackend::sendConsumer(uint16_t usage) {
    std::lock_guard lock(m_);
    if (!dispatcher_ || !plugged_) {
        return false;
    }
    Event e;
    e.type = Event::Type::Consumer;
    e.usage = usage;
    e.bytes = {0x03, static_cast<uint8_t>(usage & 0xFF), static_cast<uint8_t>(usage >> 8)};
    dispatcher_->post(std::move(e), std::chrono::milliseconds(0), group_);
    return true;
}

void SimBackend::setLatencyMs(uint32_t ms) {
    std::lock_guard lock(m_);
    latencyMs_ = ms;
}

void SimBackend::setUpdateReturnDelayMs(int32_t ms) {
    std::lock_guard lock(m_);
    updateReturnDelayMs_ = ms;
}

uint32_t SimBackend::updateTriggerCount() {
    std::lock_guard lock(m_);
    return updateTriggers_;
}

void SimBackend::injectFault(const Fault& fault) {
    std::lock_guard lock(m_);
    if (fault.count == 0 && fault.kind != FaultKind::Unplug) {
        return;
    }
    faults_.push_back(fault);
}

void SimBackend::clearFaults() {
    std::lock_guard lock(m_);
    faults_.clear();
}

size_t SimBackend::pendingFaults() {
    std::lock_guard lock(m_);
    return faults_.size();
}

std::vector<uint8_t> SimBackend::area(Area a) {
    std::lock_guard lock(m_);
    return keyboard_.area(a);
}

bool SimBackend::setArea(Area a, size_t offset, const std::vector<uint8_t>& bytes) {
    std::lock_guard lock(m_);
    if (!keyboard_.setArea(a, offset, bytes)) {
        return false;
    }
    persist();
    return true;
}

bool SimBackend::frameOpen() {
    std::lock_guard lock(m_);
    return keyboard_.frameOpen();
}

uint32_t SimBackend::commitCount() {
    std::lock_guard lock(m_);
    return commits_;
}

std::string SimBackend::statePath() {
    std::lock_guard lock(m_);
    return statePath_;
}

bool SimBackend::setStatePath(const std::string& path) {
    std::lock_guard lock(m_);
    const bool serving = stateLockFd_ >= 0;
    statePath_ = path;
    if (serving && !claimStateLock(nullptr)) {
        return false;
    }
    return loadFromFile();
}

bool SimBackend::reloadState() {
    std::lock_guard lock(m_);
    return loadFromFile();
}

std::vector<Report> SimBackend::reports() {
    std::lock_guard lock(m_);
    return {reports_.begin(), reports_.end()};
}

size_t SimBackend::reportCount() {
    std::lock_guard lock(m_);
    return reports_.size();
}

void SimBackend::clearReports() {
    std::lock_guard lock(m_);
    reports_.clear();
    reportTotal_ = 0;
}

bool SimBackend::hasLinkStatus() {
    std::lock_guard lock(m_);
    return hasStatus_;
}

LinkStatusBytes SimBackend::lastLinkStatus() {
    std::lock_guard lock(m_);
    return status_;
}

uint32_t SimBackend::linkStatusCount() {
    std::lock_guard lock(m_);
    return statusCount_;
}

uint32_t SimBackend::violationCount() {
    std::lock_guard lock(m_);
    return static_cast<uint32_t>(std::min<uint64_t>(violationTotal_, UINT32_MAX));
}

std::vector<ViolationRecord> SimBackend::violations() {
    std::lock_guard lock(m_);
    return {violations_.begin(), violations_.end()};
}

std::string SimBackend::violationSummary() {
    std::lock_guard lock(m_);
    std::string out;
    for (const auto& v : violations_) {
        out += v.text;
        out += '\n';
    }
    return out;
}

void SimBackend::setRecordLimit(size_t limit) {
    std::lock_guard lock(m_);
    recordLimit_ = std::max<size_t>(limit, 1);
    while (reports_.size() > recordLimit_) {
        reports_.pop_front();
    }
    while (violations_.size() > recordLimit_) {
        violations_.pop_front();
    }
}

size_t SimBackend::recordLimit() {
    std::lock_guard lock(m_);
    return recordLimit_;
}

uint64_t SimBackend::reportTotal() {
    std::lock_guard lock(m_);
    return reportTotal_;
}

namespace {

template <typename T>
RecordPage<T> pageOf(const std::deque<T>& held, uint64_t total, uint64_t from, size_t max) {
    RecordPage<T> page;
    const uint64_t oldest = total - held.size();
    page.first = std::max(from, oldest);
    page.end = total;
    if (page.first < total) {
        const auto begin = held.begin() + static_cast<std::ptrdiff_t>(page.first - oldest);
        const size_t n = static_cast<size_t>(std::min<uint64_t>(max, total - page.first));
        page.items.assign(begin, begin + static_cast<std::ptrdiff_t>(n));
    } else {
        page.first = total;
    }
    return page;
}

} // namespace

RecordPage<Report> SimBackend::reportPage(uint64_t from, size_t max) {
    std::lock_guard lock(m_);
    return pageOf(reports_, reportTotal_, from, max);
}

RecordPage<ViolationRecord> SimBackend::violationPage(uint64_t from, size_t max) {
    std::lock_guard lock(m_);
    return pageOf(violations_, violationTotal_, from, max);
}

uint64_t SimBackend::frameSerial() {
    std::lock_guard lock(m_);
    return frameSerial_;
}

bool SimBackend::dropFrameOf(uint64_t serial) {
    std::lock_guard lock(m_);
    if (!keyboard_.frameOpen() || serial != frameSerial_) {
        return false;
    }
    keyboard_.dropFrame();
    return true;
}

uint32_t SimBackend::latencyMs() {
    std::lock_guard lock(m_);
    return latencyMs_;
}

int32_t SimBackend::updateReturnDelayMs() {
    std::lock_guard lock(m_);
    return updateReturnDelayMs_;
}

bool SimBackend::save() {
    std::lock_guard lock(m_);
    return persist();
}

bool SimBackend::waitIdle(uint32_t timeoutMs) {
    Dispatcher* d = nullptr;
    {
        std::lock_guard lock(m_);
        d = dispatcher_;
    }
    return d ? d->waitIdle(std::chrono::milliseconds(timeoutMs)) : false;
}

} // namespace portmux::sim
