#include "device/LinkSession.h"

namespace tarvik::device {

LinkSession::LinkSession(AppLinkState& state, MainWindowPort& window, const LinkTiming& timing)
    : state_(state), window_(window), timing_(timing) {}

LinkSession::~LinkSession() {
    if (events_ != nullptr) {
        events_->stop();
    }
    link_.reset();
    events_.reset();
    commands_.reset();
}

BindResult LinkSession::open(const std::filesystem::path& programFolder, OnBindFailure onFailure,
                             std::string* detail) {
    if (onFailure == OnBindFailure::ExitSilently) {
        bindServiceOrExit(service_, programFolder);
    } else if (BindResult result = bindService(service_, programFolder, detail); result != BindResult::Ok) {
        return result;
    }
    link_ = std::make_unique<DeviceLink>(service_, state_, timing_);
    commands_ = std::make_unique<Commands>(*link_, timing_);
    events_ = std::make_unique<KeyboardEvents>(*link_, *commands_, window_, state_, timing_);
    events_->setDefaultKeyBlockSink(sink_);
    link_->startChannel(*events_);
    return BindResult::Ok;
}

} // namespace tarvik::device
