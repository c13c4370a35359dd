#include "profiles/ProfileManagerModel.h"

#include "device/OnBoardProfile.h"
#include "platform/Prompter.h"
#include "profiles/KeyboardTransfer.h"
#include "profiles/ProfileFiles.h"

#include <string>

namespace tarvik::profiles {

namespace {

// Keeps the import's messages for the window, which shows them once the worker is done.
class CollectingPrompter final : public Prompter {
public:
    explicit CollectingPrompter(std::vector<std::string>& keys) : keys_(keys) {}
    void show(std::string_view key) override { keys_.emplace_back(key); }
    bool askYesNo(std::string_view key, bool defaultYes) override {
        keys_.emplace_back(key);
        return defaultYes;
    }

private:
    std::vector<std::string>& keys_;
};

std::u16string withoutLeadingSeparators(std::u16string_view name) {
    while (!name.empty() && (name.front() == u'\\' || name.front() == u'/')) {
        name.remove_prefix(1);
    }
    return std::u16string(name);
}

} // namespace

std::u16string ManagerRow::folder() const {
    std::u16string f = file.parent_path().u16string();
    if (!f.empty() && f.back() != u'/') {
        f += u'/';
    }
    return f;
}

std::u16string ManagerRow::recordedPath() const {
    return folder() + name() + u".tvk";
}

void ProfileManagerModel::open(int keyboardProfile) {
    open_ = true;
    rows_.clear();
    for (int p = 0; p < kOnBoardRows; ++p) {
        rows_.push_back({cacheFilePath(p)});
    }
    ticked_ = keyboardProfile >= 0 && keyboardProfile < kOnBoardRows ? keyboardProfile : -1;
    selected_ = -1;
    modified_ = false;
}

void ProfileManagerModel::close() {
    open_ = false;
    modified_ = false;
}

void ProfileManagerModel::setTicked(int row, bool on) {
    if (row < 0 || row >= static_cast<int>(rows_.size())) {
        return;
    }
    if (on && ticked_ != row) {
        ticked_ = row;
        changed();
    } else if (!on && ticked_ == row) {
        ticked_ = -1;
        changed();
    }
}

void ProfileManagerModel::select(int row) {
    selected_ = row >= 0 && row < static_cast<int>(rows_.size()) ? row : -1;
}

ProfileManagerModel::FileStep ProfileManagerModel::add(FileChooser& files, std::u16string_view newName) {
    const std::filesystem::path folder = ensureDataFolder();
    if (folder.empty()) {
        return FileStep::Failed;
    }
    std::optional<std::filesystem::path> chosen =
        files.choose(FileChooser::Mode::Save, std::string(kProfileFileFilter), folder,
                     std::filesystem::path(withoutLeadingSeparators(newName)).string() +
                         std::string(kProfileFileExtension));
    if (!chosen) {
        return FileStep::Cancelled;
    }
    std::filesystem::path file = *chosen;
    // The save dialog's default extension, for a name typed without one.
    if (!file.has_extension()) {
        file += std::string(kProfileFileExtension);
    }
    if (!newDefaultStoreFile(file)) {
        return FileStep::Failed;
    }
    rows_.push_back({file});
    changed();
    return FileStep::Added;
}

ProfileManagerModel::FileStep ProfileManagerModel::load(FileChooser& files) {
    std::optional<std::filesystem::path> chosen =
        files.choose(FileChooser::Mode::Open, std::string(kProfileFileFilter), ensureDataFolder(), "*.tvk");
    if (!chosen) {
        return FileStep::Cancelled;
    }
    rows_.push_back({*chosen});
    changed();
    return FileStep::Added;
}

bool ProfileManagerModel::removeSelected() {
    if (selected_ < 0 || selected_ >= static_cast<int>(rows_.size())) {
        return false;
    }
    rows_.erase(rows_.begin() + selected_);
    if (ticked_ == selected_) {
        ticked_ = -1;
    } else if (ticked_ > selected_) {
        --ticked_;
    }
    selected_ = -1;
    changed();
    return true;
}

ManagerApply ProfileManagerModel::apply(SettingsStore& settings) const {
    std::vector<std::u16string> paths;
    paths.reserve(rows_.size());
    for (const ManagerRow& r : rows_) {
        paths.push_back(r.recordedPath());
    }
    ManagerApply plan;
    plan.listRecorded = settings.writeProfileList(paths);
    if (ticked_ >= kOnBoardRows) {
        plan.import = rows_[static_cast<size_t>(ticked_)].file;
    } else {
        plan.selectProfile = ticked_;
    }
    return plan;
}

void ProfileManagerModel::applied(bool succeeded) {
    if (succeeded) {
        modified_ = false;
    }
}

void ProfileManagerModel::switched(int profile) {
    if (profile >= 0 && profile < static_cast<int>(rows_.size())) {
        ticked_ = profile;
    }
    modified_ = false;
}

ManagerApplyResult runManagerApply(const ManagerApply& plan, AssignmentStore& store,
                                   device::Commands& commands, device::AppLinkState& state,
                                   const FirstRunHook& firstRun) {
    ManagerApplyResult result;
    if (plan.import) {
        CollectingPrompter prompter(result.messages);
        ImportOutcome outcome = importProfileFile(store, *plan.import, commands, state);
        showImportMessages(outcome, prompter);
        result.importResult = outcome.result;
        return result;
    }
    result.selectResult = device::selectOnBoardProfile(commands, state, plan.selectProfile);
    result.reloaded = reloadFromKeyboard(store, commands, state, firstRun);
    return result;
}

} // namespace tarvik::profiles
