// The profile menu and the profile-manager button drawn from a ProfileMenu.
#pragma once

#include "profiles/ProfileMenu.h"

class QAction;
class QMenu;

namespace tarvik::ui {
class CPngButton;
}

namespace tarvik::profiles {

// Replaces the menu's entries: one checkable action per item, its command id as the action's data.
void fillProfileMenu(QMenu& menu, const ProfileMenu& model);
// The command id of an action of that menu; 0 for an action that carries none.
int profileMenuCommand(const QAction& action);
// The manager button's caption and tooltip.
void showProfileMenuOn(ui::CPngButton& managerButton, const ProfileMenu& model);

} // namespace tarvik::profiles
