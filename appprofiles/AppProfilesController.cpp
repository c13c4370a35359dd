#include "appprofiles/AppProfilesController.h"

#include <chrono>
#include <cstdio>

namespace tarvik::appprofiles {

AppProfilesController::AppProfilesController(std::filesystem::path rulesFile, Hooks hooks, QObject* parent)
    : QObject(parent), file_(std::move(rulesFile)), hooks_(std::move(hooks)) {
    timer_.setSingleShot(true);
    connect(&timer_, &QTimer::timeout, this, [this] { decide(); });
    connect(&folder_, &QFileSystemWatcher::directoryChanged, this, [this] { followFile(); });
}

void AppProfilesController::followFile() {
    if (stampOf(file_) != stamp_) {
        reload();
        emit rulesChanged();
    }
}

AppProfilesController::~AppProfilesController() = default;

int64_t AppProfilesController::nowMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

void AppProfilesController::watchFolder() {
    const QString folder = QString::fromStdString(file_.parent_path().string());
    if (folder_.directories().isEmpty() && std::filesystem::is_directory(file_.parent_path())) {
        folder_.addPath(folder);
    }
}

void AppProfilesController::reload() {
    // Stamped before the read: a change while it reads is seen as one more change.
    stamp_ = stampOf(file_);
    const ParsedRules parsed = loadRules(file_);
    for (const RuleProblem& p : parsed.problems) {
        std::fprintf(stderr, "tarvik: %s:%d: %s (line ignored)\n", file_.string().c_str(), p.line,
                     p.why.c_str());
    }
    rules_ = parsed.rules;
    refeed();
}

void AppProfilesController::start(std::unique_ptr<FocusWatcher> watcher) {
    reload();
    watchFolder();
    watcher_ = std::move(watcher);
    watching_ = watcher_ && watcher_->start([this](const WindowIdentity& w) { focusChanged(w); });
    // Said only to a user who has rules: everyone else never asked for the feature.
    if (watcher_ && !watching_ && !rules_.rules.empty()) {
        std::fprintf(stderr, "tarvik: automatic profiles are off: %s\n",
                     watcher_->why().toUtf8().constData());
    }
}

bool AppProfilesController::setRules(AppRules rules, std::string* why) {
    rules_ = std::move(rules);
    const bool saved = saveRules(file_, rules_, why);
    stamp_ = stampOf(file_);
    watchFolder();
    refeed();
    return saved;
}

std::vector<WindowIdentity> AppProfilesController::openWindows() const {
    return watcher_ ? watcher_->openWindows() : std::vector<WindowIdentity>{};
}

void AppProfilesController::reportFocus(const WindowIdentity& window) {
    if (watcher_) {
        watcher_->reported(window);
    }
}

void AppProfilesController::focusChanged(const WindowIdentity& window) {
    // A report proves the watcher works, also one that was off at start (an extension enabled since).
    watching_ = true;
    if (isOwnWindow(window)) {
        return;
    }
    focused_ = window;
    if (capture_ && !appNameOf(window).empty()) {
        auto take = std::move(capture_);
        capture_ = nullptr;
        take(window);
    }
    const int64_t due = switch_.focusChanged(matchProfile(rules_, window), nowMs());
    timer_.start(static_cast<int>(std::max<int64_t>(0, due - nowMs())));
}

void AppProfilesController::refeed() {
    // New rules or a resume apply to the window in front at once.
    if (!watching_) {
        return;
    }
    switch_.focusChanged(matchProfile(rules_, focused_), nowMs() - kSettleMs);
    decide();
}

void AppProfilesController::recheck() {
    if (switch_.pending()) {
        decide();
    }
}

void AppProfilesController::decide() {
    SwitchInputs in = hooks_.inputs ? hooks_.inputs() : SwitchInputs{};
    in.paused = rules_.paused;
    in.fallback = rules_.fallback;
    const int64_t now = nowMs();
    if (switch_.pending() && now < switch_.dueAt()) {
        timer_.start(static_cast<int>(switch_.dueAt() - now));
        return;
    }
    const SwitchDecision d = switch_.decide(in, now);
    const bool waiting = d.kind == SwitchDecision::Kind::Wait;
    if (waiting != waiting_) {
        waiting_ = waiting;
        if (hooks_.waiting) {
            hooks_.waiting(waiting);
        }
    }
    if (d.kind == SwitchDecision::Kind::Switch && hooks_.switchTo) {
        hooks_.switchTo(d.profile);
    }
}

} // namespace tarvik::appprofiles
