// Tells the compositor which windows are modal dialogs of another window of the program, where Qt cannot:
// GNOME's compositor treats every Wayland window Qt 6.4 makes as a normal window, placing a dialog in the
// screen's corner and leaving its parent free. Marked through gtk_shell1 before their first picture, such
// dialogs are placed over their parent. Elsewhere (other compositors, X11) it does nothing.
// Installed on the application as an event filter; user-interface thread only.
#pragma once

#include <QObject>

#include <map>

class QWindow;
struct gtk_surface1;

namespace tarvik {

class ModalDialogHints final : public QObject {
public:
    ModalDialogHints();
    ~ModalDialogHints() override;
    ModalDialogHints(const ModalDialogHints&) = delete;
    ModalDialogHints& operator=(const ModalDialogHints&) = delete;

    // Whether the hints can be given on this desktop (a Wayland session, read from Qt's platform name).
    static bool applies();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void mark(QWindow& window);
    void forget(QWindow* window);

    // One mark per showing: Qt makes a new surface each time a window shows.
    struct Mark {
        gtk_surface1* hint;
        QMetaObject::Connection windowGone;
    };
    std::map<QWindow*, Mark> marked_;
};

} // namespace tarvik
