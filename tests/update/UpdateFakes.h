// Scripted seams of the firmware update: a file chooser with queued answers, a prompter for messages that
// name a file, a program starter that starts nothing, and one log in which all of them, and the trigger,
// note what happened in order.
#pragma once

#include "platform/FileChooser.h"
#include "update/FirmwareUpdate.h"
#include "update/ProgramStarter.h"

#include <cstdint>
#include <deque>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace tarvik::testing {

struct UpdateLog {
    std::vector<std::string> steps;
};

class ScriptedChooser final : public FileChooser {
public:
    struct Call {
        Mode mode;
        std::string filter;
        std::filesystem::path start;
        std::string defaultName;
    };
    std::optional<std::filesystem::path> choose(Mode mode, const std::string& filter,
                                                const std::filesystem::path& start,
                                                const std::string& defaultName) override {
        calls.push_back({mode, filter, start, defaultName});
        if (answers.empty()) {
            return std::nullopt;
        }
        std::optional<std::filesystem::path> a = answers.front();
        answers.pop_front();
        return a;
    }
    std::deque<std::optional<std::filesystem::path>> answers;
    std::vector<Call> calls;
};

class RecordingUpdatePrompter final : public update::UpdatePrompter {
public:
    explicit RecordingUpdatePrompter(UpdateLog* log = nullptr) : log_(log) {}
    struct Entry {
        std::string key;
        std::filesystem::path file;
        bool question;
        bool defaultYes;
    };
    void show(std::string_view key, const std::filesystem::path& file) override {
        entries.push_back({std::string(key), file, false, false});
        note("show " + std::string(key));
    }
    bool askYesNo(std::string_view key, const std::filesystem::path& file, bool defaultYes) override {
        entries.push_back({std::string(key), file, true, defaultYes});
        note("ask " + std::string(key));
        if (answers.empty()) {
            return false;
        }
        const bool a = answers.front();
        answers.pop_front();
        return a;
    }
    std::vector<Entry> entries;
    std::deque<bool> answers;

private:
    void note(std::string s) {
        if (log_ != nullptr) {
            log_->steps.push_back(std::move(s));
        }
    }
    UpdateLog* log_;
};

class ScriptedStarter final : public update::ProgramStarter {
public:
    explicit ScriptedStarter(UpdateLog* log = nullptr) : log_(log) {}
    struct Call {
        std::filesystem::path program;
        std::vector<std::string> arguments;
        std::filesystem::path folder;
    };
    update::StartResult start(const std::filesystem::path& program, const std::vector<std::string>& arguments,
                              const std::filesystem::path& folder) override {
        calls.push_back({program, arguments, folder});
        if (log_ != nullptr) {
            log_->steps.push_back("start");
        }
        return result;
    }
    update::StartResult result{true, 0, 4242};
    std::vector<Call> calls;

private:
    UpdateLog* log_;
};

// sendRaw as the device link offers it, answering a set result and keeping every report.
struct RecordingTrigger {
    update::FirmwareUpdate::RawSender sender(UpdateLog* log = nullptr) {
        return [this, log](std::span<const uint8_t> report) {
            reports.emplace_back(report.begin(), report.end());
            if (log != nullptr) {
                log->steps.push_back("trigger");
            }
            if (beforeAnswer) {
                beforeAnswer();
            }
            return answer;
        };
    }
    int answer = 1;
    std::function<void()> beforeAnswer;
    std::vector<std::vector<uint8_t>> reports;
};

} // namespace tarvik::testing
