// The notification-area icon of the main window: three pictures (no keyboard, keyboard, keyboard busy)
// from the skin's tray pictures, the tooltip, the menu Open / About / Exit built each time it opens, and a
// click that opens the window (TrayClicks says which click). Where the desktop has no notification area
// the program runs on without it, and an area that appears later (a restarted panel) gets the icon.
#pragma once

#include "app/MainView.h"
#include "app/TrayClicks.h"

#include <QIcon>
#include <QObject>
#include <QPointer>
#include <QString>

#include <filesystem>
#include <functional>
#include <memory>

class QMenu;
class QSystemTrayIcon;

namespace tarvik::app {

class TrayIcon : public QObject {
    Q_OBJECT

public:
    // The menu items of the moment, and where a chosen command or a click that opens goes.
    struct Owner {
        std::function<std::vector<MenuItem>()> menu;
        std::function<void(int command)> command;
        std::function<void()> open;
    };

    TrayIcon(std::filesystem::path skinFolder, Owner owner, QObject* parent = nullptr);
    ~TrayIcon() override;

    // Shows the icon with the picture of iconId (128, 141, 142) and the tooltip; true when the desktop
    // has a notification area now (the icon follows when one appears later).
    bool create(int iconId, const QString& tip);
    void setIcon(int iconId);
    void setTooltip(const QString& tip);
    void remove();

    bool created() const { return created_; }
    int iconId() const { return iconId_; }
    QString tooltip() const;
    // The picture of an icon id: the skin's tray_<id>.png.
    QIcon iconFor(int iconId) const;
    // The menu as it was built when it opened last (tests read it).
    QMenu* menu() const { return menu_.get(); }
    QSystemTrayIcon* systemIcon() const { return tray_.get(); }
    // Builds the menu from the owner's items, as right-clicking does.
    void rebuildMenu();

private:
    std::filesystem::path skinFolder_;
    Owner owner_;
    TrayClicks clicks_;
    std::unique_ptr<QSystemTrayIcon> tray_;
    std::unique_ptr<QMenu> menu_;
    int iconId_ = 0;
    bool created_ = false;
};

// A QMenu from menu items; a chosen item calls onCommand with its command.
void fillMenu(QMenu& menu, const std::vector<MenuItem>& items, const std::function<void(int)>& onCommand);

} // namespace tarvik::app
