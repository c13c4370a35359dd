#include "device/LinkSession.h"

#include "platform/Paths.h"

namespace tarvik::device {

class LinkSession::WindowGate final : public MainWindowPort {
public:
    explicit WindowGate(MainWindowPort& window) : window_(window) {}

    intptr_t sendMessage(uint32_t message, uint32_t wParam) override {
        return closed_.load() ? 0 : window_.sendMessage(message, wParam);
    }
    void postMessage(uint32_t message, uint32_t wParam) override {
        if (!closed_.load()) {
            window_.postMessage(message, wParam);
        }
    }
    void hide() override {
        if (!closed_.load()) {
            window_.hide();
        }
    }
    // A closed window is never going to be ready: nothing waits for it any more.
    bool isReady() const override { return closed_.load() || window_.isReady(); }
    void setIcon(int iconId) override {
        if (!closed_.load()) {
            window_.setIcon(iconId);
        }
    }
    void startTimer(int timerId, int periodMs) override {
        if (!closed_.load()) {
            window_.startTimer(timerId, periodMs);
        }
    }
    void showMessage(std::string_view languageKey) override {
        if (!closed_.load()) {
            window_.showMessage(languageKey);
        }
    }
    void closePort() override {
        closed_.store(true);
        window_.closePort();
    }

private:
    MainWindowPort& window_;
    std::atomic<bool> closed_{false};
};

LinkSession::LinkSession(AppLinkState& state, MainWindowPort& window, const LinkTiming& timing)
    : state_(state), timing_(timing), gate_(std::make_unique<WindowGate>(window)) {}

LinkSession::~LinkSession() {
    close();
    if (workersStuck_) {
        // A worker still runs with these: keep them for it (see close()).
        (void)gate_.release();
        (void)link_.release();
        (void)commands_.release();
        (void)events_.release();
        return;
    }
    link_.reset();
    events_.reset();
    commands_.reset();
}

BindResult LinkSession::open(const std::filesystem::path& programFolder, OnBindFailure onFailure,
                             std::string* detail) {
    if (opened_ || closed_.load()) {
        return BindResult::AlreadyOpen;
    }
    if (onFailure == OnBindFailure::ExitSilently) {
        bindServiceOrExit(service_, programFolder);
    } else if (BindResult result = bindService(service_, programFolder, detail); result != BindResult::Ok) {
        return result;
    }
    opened_ = true;
    link_ = std::make_unique<DeviceLink>(service_, state_, timing_);
    commands_ = std::make_unique<Commands>(*link_, timing_, paths::deviceLockFile());
    events_ = std::make_unique<KeyboardEvents>(*link_, *commands_, *gate_, state_, timing_);
    events_->setDefaultKeyBlockSink(sink_);
    link_->startChannel(*events_);
    return BindResult::Ok;
}

void LinkSession::close() {
    if (closed_.exchange(true)) {
        return;
    }
    gate_->closePort();
    if (link_ != nullptr) {
        link_->close();
    }
    if (commands_ != nullptr) {
        commands_->close();
    }
    if (events_ != nullptr) {
        workersStuck_ = !events_->stop(timing_.closeLimit);
    }
}

} // namespace tarvik::device
