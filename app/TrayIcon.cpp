#include "app/TrayIcon.h"

#include "ui/DarkStyle.h"
#include "ui/SkinPicture.h"

#include <QAction>
#include <QMenu>
#include <QSystemTrayIcon>

namespace tarvik::app {

static_assert(static_cast<int>(TrayActivation::Context) == QSystemTrayIcon::Context &&
              static_cast<int>(TrayActivation::DoubleClick) == QSystemTrayIcon::DoubleClick &&
              static_cast<int>(TrayActivation::Trigger) == QSystemTrayIcon::Trigger &&
              static_cast<int>(TrayActivation::MiddleClick) == QSystemTrayIcon::MiddleClick);

void fillMenu(QMenu& menu, const std::vector<MenuItem>& items, const std::function<void(int)>& onCommand) {
    menu.clear();
    for (const MenuItem& item : items) {
        if (item.separator) {
            menu.addSeparator();
            continue;
        }
        const QString text = QString::fromStdU16String(item.text).trimmed();
        if (!item.submenu.empty()) {
            QMenu* sub = menu.addMenu(text);
            fillMenu(*sub, item.submenu, onCommand);
            continue;
        }
        QAction* a = menu.addAction(text);
        a->setData(item.command);
        a->setEnabled(!item.disabled);
        if (item.checkable || item.checked) {
            a->setCheckable(true);
            a->setChecked(item.checked);
        }
        if (item.isDefault) {
            menu.setDefaultAction(a);
        }
        const int command = item.command;
        QObject::connect(a, &QAction::triggered, &menu, [onCommand, command] { onCommand(command); });
    }
}

TrayIcon::TrayIcon(std::filesystem::path skinFolder, Owner owner, QObject* parent)
    : QObject(parent), skinFolder_(std::move(skinFolder)), owner_(std::move(owner)) {}

TrayIcon::~TrayIcon() {
    remove();
}

QIcon TrayIcon::iconFor(int iconId) const {
    // Read when the state changes, which is seldom; only the icon shown is kept. Sharp on every panel
    // size: sizes the pictures offer are used as they are, others scaled, and the twice-sized picture
    // only where a screen draws at twice the density. Read as PNG: a QIcon made from the file name would
    // guess, loading every image plugin.
    const std::filesystem::path file = skinFolder_ / ("tray_" + std::to_string(iconId) + ".png");
    QIcon icon(ui::loadSkinPixmap(file, 1.0));
    if (ui::skinPixelRatio() > 1.0) {
        if (const QPixmap sharp = ui::loadSkinPixmap(file); sharp.devicePixelRatio() > 1.0) {
            icon.addPixmap(sharp);
        }
    }
    return icon;
}

bool TrayIcon::create(int iconId, const QString& tip) {
    if (!tray_) {
        tray_ = std::make_unique<QSystemTrayIcon>();
        menu_ = std::make_unique<QMenu>();
        // The texts are read each time the menu opens, so a language switch shows at once. The look is
        // given at the first opening: a style sheet brings in Qt's whole style-sheet machinery, which a
        // program that stays in the tray would otherwise keep for a menu it may never open (and a
        // StatusNotifier host draws the menu itself).
        connect(menu_.get(), &QMenu::aboutToShow, this, [this] {
            if (menu_->styleSheet().isEmpty()) {
                menu_->setStyleSheet(ui::darkStyleSheet());
            }
            rebuildMenu();
        });
        tray_->setContextMenu(menu_.get());
        connect(tray_.get(), &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason r) {
            if (clicks_.opens(static_cast<TrayActivation>(r)) && owner_.open) {
                owner_.open();
            }
        });
        rebuildMenu();
    }
    iconId_ = iconId;
    tray_->setIcon(iconFor(iconId));
    tray_->setToolTip(tip);
    // Asked before the icon registers: on a StatusNotifier desktop the question is a blocking call to the
    // host, which may at that moment be asking this program about its new item, and both would wait for
    // D-Bus's 25-second timeout.
    const bool available = QSystemTrayIcon::isSystemTrayAvailable();
    // Shown even without a notification area: Qt puts it there when one appears.
    tray_->show();
    created_ = true;
    return available;
}

void TrayIcon::setIcon(int iconId) {
    if (!created_ || iconId == iconId_) {
        return;
    }
    iconId_ = iconId;
    tray_->setIcon(iconFor(iconId));
}

void TrayIcon::setTooltip(const QString& tip) {
    if (created_) {
        tray_->setToolTip(tip);
    }
}

QString TrayIcon::tooltip() const {
    return tray_ ? tray_->toolTip() : QString();
}

void TrayIcon::remove() {
    if (tray_) {
        tray_->hide();
    }
    created_ = false;
}

void TrayIcon::rebuildMenu() {
    if (!menu_ || !owner_.menu) {
        return;
    }
    fillMenu(*menu_, owner_.menu(), [this](int command) {
        if (owner_.command) {
            owner_.command(command);
        }
    });
}

} // namespace tarvik::app
