#include "cli/CmdProfileCommon.h"

#include "device/LinkSession.h"
#include "device/MainWindowPort.h"
#include "platform/Paths.h"
#include "platform/Utf.h"
#include "ui/TextTable.h"

#include <cstdio>

namespace tarvik::cli {

void loadUiTexts() {
    static bool loaded = false;
    if (!loaded) {
        ui::uiTexts().load(ui::languageFilePath());
        loaded = true;
    }
}

std::string uiTextLine(std::string_view languageKey, std::string_view subject) {
    loadUiTexts();
    std::string text = toUtf8(ui::uiTexts().text(languageKey));
    if (auto at = text.find("%s"); at != std::string::npos) {
        text.replace(at, 2, subject);
    }
    std::string line;
    for (char c : text) {
        bool brk = c == '\r' || c == '\n';
        if (brk) {
            if (!line.empty() && line.back() != ' ') {
                line += ' ';
            }
            continue;
        }
        if (c == ' ' && !line.empty() && line.back() == ' ') {
            continue;
        }
        line += c;
    }
    while (!line.empty() && line.back() == ' ') {
        line.pop_back();
    }
    while (!line.empty() && line.front() == ' ') {
        line.erase(line.begin());
    }
    return line.empty() ? std::string(languageKey) : line;
}

void CliPrompter::show(std::string_view languageKey) {
    ++shown_;
    ctx_.err << "tarvikctl: " << command_ << ": " << uiTextLine(languageKey, subject_) << '\n';
}

bool CliPrompter::askYesNo(std::string_view languageKey, bool defaultYes) {
    ctx_.err << "tarvikctl: " << command_ << ": " << uiTextLine(languageKey, subject_) << " ("
             << (defaultYes ? "yes" : "no") << ")\n";
    return defaultYes;
}

std::string jsonString(std::string_view utf8) {
    std::string out = "\"";
    for (unsigned char c : utf8) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20 || c == 0x7F) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
            out += escaped;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

namespace {

// tarvikctl has no window: the presence worker's messages are answered at once, its message boxes are
// printed.
class NoWindow final : public device::MainWindowPort {
public:
    NoWindow(CliContext& ctx, std::string_view command) : ctx_(ctx), command_(command) {}
    intptr_t sendMessage(uint32_t, uint32_t) override { return 0; }
    void postMessage(uint32_t, uint32_t) override {}
    void hide() override {}
    bool isReady() const override { return true; }
    void setIcon(int) override {}
    void startTimer(int, int) override {}
    void showMessage(std::string_view languageKey) override {
        ctx_.err << "tarvikctl: " << command_ << ": " << uiTextLine(languageKey) << '\n';
    }

private:
    CliContext& ctx_;
    std::string_view command_;
};

class LinkKeyboardSession final : public KeyboardSession {
public:
    LinkKeyboardSession(CliContext& ctx, std::string_view command)
        : window_(ctx, command), session_(state_, window_) {}

    bool open(CliContext& ctx, std::string_view command) {
        std::string detail;
        device::BindResult r = session_.open(paths::programFolder(), device::OnBindFailure::Report, &detail);
        if (r != device::BindResult::Ok) {
            ctx.err << "tarvikctl: " << command << ": " << device::describeBindFailure(r, detail) << '\n';
            return false;
        }
        // The arrival (default key block, macro capacity) is handled before any exchange of ours.
        // Bounded by the exchanges it makes: seven chunks of the default key block and one configuration
        // read.
        if (!session_.events().waitPresenceIdle(10 * device::LinkTiming{}.longestExchange())) {
            ctx.err << "tarvikctl: " << command << ": the keyboard did not finish its arrival\n";
            return false;
        }
        if (state_.devicePresence.load() <= 0) {
            ctx.err << "tarvikctl: " << command << ": no keyboard attached\n";
            return false;
        }
        return true;
    }

    device::Commands& commands() override { return session_.commands(); }
    device::AppLinkState& state() override { return state_; }

private:
    device::AppLinkState state_;
    NoWindow window_;
    device::LinkSession session_;
};

} // namespace

std::unique_ptr<KeyboardSession> openKeyboard(CliContext& ctx, std::string_view command) {
    auto session = std::make_unique<LinkKeyboardSession>(ctx, command);
    if (!session->open(ctx, command)) {
        return nullptr;
    }
    return session;
}

std::u16string macroNamePrefix() {
    loadUiTexts();
    std::u16string prefix = ui::uiTexts().text("MACRO_NEW_PREFIX");
    return prefix.empty() ? std::u16string(u"Macro") : prefix;
}

} // namespace tarvik::cli
