// What the commands of tarvikctl share: messages of the core printed on standard error with the texts of
// the UI text table, JSON strings, and the keyboard opened the way the program opens it.
#pragma once

#include "cli/CliCommand.h"
#include "device/AppLinkState.h"
#include "device/Commands.h"
#include "platform/Prompter.h"
#include "profiles/Download.h"

#include <memory>
#include <string>
#include <string_view>

namespace tarvik::cli {

// Prints each message as one line "tarvikctl: COMMAND: text" with the text of its language key, line
// breaks folded into blanks and "%s" filled with subject (a file path). Questions are answered with
// their default.
class CliPrompter final : public Prompter {
public:
    CliPrompter(CliContext& ctx, std::string_view command, std::string subject = {})
        : ctx_(ctx), command_(command), subject_(std::move(subject)) {}
    void show(std::string_view languageKey) override;
    bool askYesNo(std::string_view languageKey, bool defaultYes) override;
    int shownCount() const { return shown_; }

private:
    CliContext& ctx_;
    std::string_view command_;
    std::string subject_;
    int shown_ = 0;
};

// The current text of a language key in UTF-8, as one line; "%s" replaced by subject.
std::string uiTextLine(std::string_view languageKey, std::string_view subject = {});
// Loads the UI texts of the current language (once per run).
void loadUiTexts();

// A JSON string literal of UTF-8 text: quotes, backslashes and control characters escaped.
std::string jsonString(std::string_view utf8);

// The keyboard, bound and started as the program does it, with the arrival handled (default key block,
// macro capacity) before any command of ours is sent.
class KeyboardSession {
public:
    virtual ~KeyboardSession() = default;
    virtual device::Commands& commands() = 0;
    virtual device::AppLinkState& state() = 0;
};
// Null with a one-line error printed when the library cannot be bound or no keyboard is attached.
std::unique_ptr<KeyboardSession> openKeyboard(CliContext& ctx, std::string_view command);

// What to say when the keyboard did not take a write of what (a lighting change, a report rate): "the
// keyboard did not take WHAT (result N)", or, when reading it back found a byte it did not keep, "the
// keyboard did not keep WHAT (read back: colours of profile 0, offset 330: sent 0x12, read 0xFF)".
std::string notTaken(const device::Commands& commands, std::string_view what, int result);
// The same for a download of the profiles, with the step that failed.
std::string downloadNotTaken(const profiles::DownloadOutcome& outcome);

// The UI text MACRO_NEW_PREFIX, for macros read back without names.
std::u16string macroNamePrefix();

} // namespace tarvik::cli
