#include "profiles/ProfileSwitchRunner.h"

#include "ui/TextTable.h"

#include <QCoreApplication>
#include <QPointer>

namespace tarvik::profiles {

ProfileSwitchRunner::ProfileSwitchRunner(ProfileSwitchHost& host, Prompter& prompter,
                                         PostToWorker postToWorker, AssignmentStore& store,
                                         device::Commands& commands, device::AppLinkState& link,
                                         QObject* parent)
    : QObject(parent), host_(host), prompter_(prompter), post_(std::move(postToWorker)), store_(store),
      commands_(commands), link_(link) {
    rebuildMenu();
}

const ProfileMenu& ProfileSwitchRunner::rebuildMenu() {
    menu_ = buildProfileMenu(link_.currentProfile.load(), ui::uiText("DEFAULT_PROFILE_NAME"),
                             ui::uiText("PROFILE_TIP"));
    return menu_;
}

bool ProfileSwitchRunner::menuCommand(int id) {
    const std::optional<int> profile = profileOfMenuCommand(id);
    if (!profile) {
        return false;
    }
    switchProfile(*profile, SwitchSource::Menu);
    return true;
}

void ProfileSwitchRunner::switchProfile(int profile, SwitchSource source, Done done) {
    const SwitchDecision d = switcher_.request(profile, source, host_.switchContext());
    switch (d.step) {
    case SwitchStep::Skip:
        break;
    case SwitchStep::Refuse:
        prompter_.show(d.message);
        break;
    case SwitchStep::Ask: {
        // A modal question: a switch asked for while it is up (the nested event loop) goes straight
        // through, and this one follows when it is answered.
        const bool yes = prompter_.askYesNo(d.message, false);
        run(switcher_.answer(d, yes), std::move(done));
        return;
    }
    case SwitchStep::Run:
        run(d.work, std::move(done));
        return;
    }
    if (done) {
        done(false);
    }
}

void ProfileSwitchRunner::run(const SwitchWork& work, Done done) {
    if (pending_++ == 0) {
        host_.setSwitchBusy(true);
    }
    QPointer<ProfileSwitchRunner> self(this);
    post_([self, work, done = std::move(done), &store = store_, &commands = commands_, &link = link_] {
        SwitchResult result = runSwitch(work, store, commands, link);
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [self, work, result, done] {
                if (self) {
                    self->finish(work, result, done);
                }
            },
            Qt::QueuedConnection);
    });
}

void ProfileSwitchRunner::finish(const SwitchWork& work, const SwitchResult& result, const Done& done) {
    const SwitchFinish f = finishSwitch(work, result);
    rebuildMenu();
    if (--pending_ == 0) {
        host_.setSwitchBusy(false);
    }
    host_.profileSwitched(f, menu_);
    for (std::string_view key : f.messages) {
        prompter_.show(key);
    }
    if (done) {
        done(true);
    }
}

} // namespace tarvik::profiles
