// The keyboard for one tarvikctl command. It binds libportmux.so and starts the request channel through
// the same code as the program (device::LinkSession), so both make the same service calls in the same
// order, and then waits until the presence worker has handled the keyboard's arrival (default key
// block, macro capacity), so the command's own exchanges never overlap the worker's.
//
// Unlike the program, a library that cannot be bound is an error here, not a silent exit 0: a tool that
// reported success after doing nothing would mislead its scripts.
#pragma once

#include "cli/CliCommand.h"
#include "device/AppLinkState.h"
#include "device/Commands.h"
#include "device/HeadlessWindowPort.h"
#include "device/LinkSession.h"
#include "platform/Paths.h"
#include "platform/Prompter.h"
#include "platform/Utf.h"
#include "profiles/Settings.h"
#include "ui/TextTable.h"

#include <memory>
#include <string>
#include <string_view>

namespace tarvik::cli {

// A keyboard link already open in this process: the program's, while its session-bus service runs a
// client's command on the device worker. The command then uses it instead of binding the library a
// second time, so the program stays the keyboard's one owner.
struct HostedLink {
    device::Commands& commands;
    device::DeviceLink& link;
    device::AppLinkState& state;
};

// Lends a hosted link to the commands this thread runs while the scope lasts.
class HostedLinkScope {
public:
    explicit HostedLinkScope(HostedLink& link) : previous_(current_) { current_ = &link; }
    ~HostedLinkScope() { current_ = previous_; }
    HostedLinkScope(const HostedLinkScope&) = delete;
    HostedLinkScope& operator=(const HostedLinkScope&) = delete;
    static HostedLink* current() { return current_; }

private:
    HostedLink* previous_;
    static inline thread_local HostedLink* current_ = nullptr;
};

class DeviceSession {
public:
    // Messages of the link (a default key block that could not be read) go to prompter, or, without
    // one, to ctx.err as "tarvikctl: COMMAND: text".
    DeviceSession(CliContext& ctx, std::string_view command, Prompter* prompter = nullptr)
        : ctx_(ctx), command_(command), window_(std::make_unique<Window>(*this, prompter)) {}
    DeviceSession(const DeviceSession&) = delete;
    DeviceSession& operator=(const DeviceSession&) = delete;

    // Binds, starts the channel and waits (bounded) for the arrival. False, with one line on ctx.err,
    // when the library cannot be bound or the arrival does not finish in time.
    bool open() {
        // The program's link has handled the arrival already, and its verify setting is the user's.
        if ((hosted_ = HostedLinkScope::current()) != nullptr) {
            return true;
        }
        const device::LinkTiming timing;
        link_ = std::make_unique<device::LinkSession>(state_, *window_, timing);
        std::string detail;
        auto bound = link_->open(paths::programFolder(), device::OnBindFailure::Report, &detail);
        if (bound != device::BindResult::Ok) {
            ctx_.err << "tarvikctl: " << device::describeBindFailure(bound, detail) << '\n';
            link_.reset();
            return false;
        }
        link_->commands().setVerifyWrites(ctx_.verify && profiles::SettingsStore().readVerifyWrites());
        // The arrival makes eight exchanges (seven chunks of the default key block, the configuration
        // block), each bounded, one more for slack; and it may first wait for a sequence of another
        // process (the program) to end.
        if (!link_->events().waitPresenceIdle(9 * timing.longestExchange() +
                                              device::kArrivalAttempts * timing.sequenceWait)) {
            fail("the keyboard's arrival did not finish");
            return false;
        }
        return true;
    }
    // Like open(), and also false with one line when no keyboard is attached.
    bool openKeyboard() {
        if (!open()) {
            return false;
        }
        if (keyboards() == 0) {
            fail("no keyboard attached");
            return false;
        }
        return true;
    }

    // The number of keyboards attached now.
    int keyboards() {
        if (hosted_ != nullptr) {
            return hosted_->link.devicePresent();
        }
        return link_ != nullptr ? link_->link().devicePresent() : 0;
    }
    device::Commands& commands() { return hosted_ != nullptr ? hosted_->commands : link_->commands(); }
    device::DeviceLink& link() { return hosted_ != nullptr ? hosted_->link : link_->link(); }
    device::AppLinkState& state() { return hosted_ != nullptr ? hosted_->state : state_; }

    // One line "tarvikctl: COMMAND: what" on ctx.err.
    void fail(std::string_view what) { ctx_.err << "tarvikctl: " << command_ << ": " << what << '\n'; }

private:
    // tarvikctl has no window: it is always ready, the presence worker's messages are handled at once and
    // its message boxes become lines on standard error.
    class Window final : public device::HeadlessWindowPort {
    public:
        Window(DeviceSession& session, Prompter* prompter) : session_(session), prompter_(prompter) {}
        void showMessage(std::string_view languageKey) override {
            if (prompter_ != nullptr) {
                prompter_->show(languageKey);
                return;
            }
            std::string text = toUtf8(ui::uiTexts().text(languageKey));
            session_.fail(text.empty() ? languageKey : std::string_view(text));
        }

    private:
        DeviceSession& session_;
        Prompter* prompter_;
    };

    CliContext& ctx_;
    std::string_view command_;
    device::AppLinkState state_;
    std::unique_ptr<Window> window_;
    std::unique_ptr<device::LinkSession> link_;
    HostedLink* hosted_ = nullptr;
};

} // namespace tarvik::cli
