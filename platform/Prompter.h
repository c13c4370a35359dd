// How the core shows a message or asks a question without knowing about windows. The texts are named by
// their language keys (MAIN_NO_DEVICE_PROMPT, EXTRA_MACRO_TOO_LONG, ...) and looked up in the UI text table
// by whoever implements this: message boxes in the program, standard error in tarvikctl, a scripted
// recorder in tests.
#pragma once

#include <string_view>

namespace tarvik {

class Prompter {
public:
    virtual ~Prompter() = default;
    // An information or warning message with an OK button.
    virtual void show(std::string_view languageKey) = 0;
    // A Yes/No question; returns true for Yes. defaultYes says which button has the focus.
    virtual bool askYesNo(std::string_view languageKey, bool defaultYes) = 0;

    enum class Answer { Yes, No, Cancel };
    // A Yes/No/Cancel question, Yes focused; a box closed any other way answers Cancel. Where nobody
    // can cancel (no window), it is the Yes/No question.
    virtual Answer askYesNoCancel(std::string_view languageKey) {
        return askYesNo(languageKey, true) ? Answer::Yes : Answer::No;
    }
};

} // namespace tarvik
