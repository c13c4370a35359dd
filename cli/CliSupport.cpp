#include "cli/CliSupport.h"

#include "cli/DeviceSession.h"
#include "platform/Utf.h"
#include "ui/TextTable.h"

#include <cstdio>
#include <optional>

namespace tarvik::cli {

void loadUiTexts() {
    // In the program the table is the windows' own, loaded and switched by them.
    if (HostedLinkScope::current() != nullptr) {
        return;
    }
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

class SessionKeyboard final : public KeyboardSession {
public:
    SessionKeyboard(CliContext& ctx, std::string_view command) : session_(ctx, command) {}
    bool open() { return session_.openKeyboard(); }
    device::Commands& commands() override { return session_.commands(); }
    device::AppLinkState& state() override { return session_.state(); }

private:
    DeviceSession session_;
};

} // namespace

std::unique_ptr<KeyboardSession> openKeyboard(CliContext& ctx, std::string_view command) {
    auto session = std::make_unique<SessionKeyboard>(ctx, command);
    if (!session->open()) {
        return nullptr;
    }
    return session;
}

std::string notTaken(const device::Commands& commands, std::string_view what, int result) {
    if (result == device::kVerifyMismatch) {
        if (std::optional<device::WriteMismatch> m = commands.lastMismatch()) {
            return "the keyboard did not keep " + std::string(what) + " (read back: " + device::describe(*m) +
                   ")";
        }
    }
    return "the keyboard did not take " + std::string(what) + " (" + device::describeResult(result) + ")";
}

std::string downloadNotTaken(const profiles::DownloadOutcome& outcome) {
    std::string text = std::string("the keyboard did not ") + (outcome.verifyFailed() ? "keep" : "take") +
                       " the profiles (" + profiles::describeFailure(outcome) + ")";
    if (!outcome.verifyFailed()) {
        // The step and the number alone do not say that the keyboard or its server went away.
        const std::string meaning = device::describeResult(outcome.result);
        text += ": " + meaning.substr(meaning.find(", ") + 2);
    }
    return text;
}

std::u16string macroNamePrefix() {
    loadUiTexts();
    std::u16string prefix = ui::uiTexts().text("MACRO_NEW_PREFIX");
    return prefix.empty() ? std::u16string(u"Macro") : prefix;
}

} // namespace tarvik::cli
