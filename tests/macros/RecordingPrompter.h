// A Prompter for tests: records every language key it is shown or asked, and answers questions from a
// script (No when the script has run out).
#pragma once

#include "platform/Prompter.h"

#include <deque>
#include <string>
#include <vector>

namespace tarvik::testing {

class RecordingPrompter final : public Prompter {
public:
    void show(std::string_view key) override { shown.emplace_back(key); }
    bool askYesNo(std::string_view key, bool defaultYes) override {
        asked.emplace_back(key);
        defaults.push_back(defaultYes);
        if (answers.empty()) {
            return false;
        }
        bool a = answers.front();
        answers.pop_front();
        return a;
    }

    std::vector<std::string> shown;
    std::vector<std::string> asked;
    std::vector<bool> defaults;
    std::deque<bool> answers;
};

} // namespace tarvik::testing
