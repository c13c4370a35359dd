#include "profiles/ProfileMenuWidgets.h"

#include "ui/CPngButton.h"

#include <QAction>
#include <QMenu>

namespace tarvik::profiles {

void fillProfileMenu(QMenu& menu, const ProfileMenu& model) {
    menu.clear();
    for (const ProfileMenuItem& item : model.items) {
        if (item.id == kMenuSeparator) {
            menu.addSeparator();
            continue;
        }
        QAction* a = menu.addAction(QString::fromStdU16String(item.text));
        a->setData(item.id);
        a->setCheckable(true);
        a->setChecked(item.checked);
    }
}

int profileMenuCommand(const QAction& action) {
    bool ok = false;
    const int id = action.data().toInt(&ok);
    return ok ? id : 0;
}

void showProfileMenuOn(ui::CPngButton& managerButton, const ProfileMenu& model) {
    managerButton.setText(QString::fromStdU16String(model.buttonCaption));
    managerButton.setTipText(QString::fromStdU16String(model.buttonTip));
}

} // namespace tarvik::profiles
