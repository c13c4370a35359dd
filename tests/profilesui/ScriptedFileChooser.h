// A FileChooser for tests: answers from a script (cancel when it has run out) and records every request.
#pragma once

#include "platform/FileChooser.h"

#include <deque>
#include <vector>

namespace tarvik::testing {

class ScriptedFileChooser final : public FileChooser {
public:
    struct Request {
        Mode mode;
        std::string filter;
        std::filesystem::path startFolder;
        std::string defaultName;
    };

    std::optional<std::filesystem::path> choose(Mode mode, const std::string& windowsFilter,
                                                const std::filesystem::path& startFolder,
                                                const std::string& defaultName) override {
        requests.push_back({mode, windowsFilter, startFolder, defaultName});
        if (answers.empty()) {
            return std::nullopt;
        }
        std::optional<std::filesystem::path> a = answers.front();
        answers.pop_front();
        return a;
    }

    std::deque<std::optional<std::filesystem::path>> answers;
    std::vector<Request> requests;
};

} // namespace tarvik::testing
