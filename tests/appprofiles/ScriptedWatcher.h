// A focus watcher the test drives: it reports the windows it is told to, and lists the open ones given.
#pragma once

#include "appprofiles/FocusWatcher.h"

#include <utility>
#include <vector>

namespace tarvik::appprofiles::testing {

class ScriptedWatcher final : public FocusWatcher {
public:
    bool start(Report report) override {
        report_ = std::move(report);
        return true;
    }
    QString name() const override { return QStringLiteral("scripted"); }
    std::vector<WindowIdentity> openWindows() const override { return open; }
    void focus(const std::string& instance) { report_({"", instance, ""}); }

    std::vector<WindowIdentity> open;

private:
    Report report_;
};

} // namespace tarvik::appprofiles::testing
