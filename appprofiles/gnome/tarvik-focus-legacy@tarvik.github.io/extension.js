// Tells the running Tarvik program which application is in front (its Wayland app id, or the WM_CLASS
// of an X11 window), so that the keyboard's on-board profile can follow it. The same extension as
// tarvik-focus@tarvik.github.io, for GNOME Shell 42 to 44, which load extensions as scripts, not as
// modules (a shell loads only the one of the two that is written for it). Nothing is sent while the
// program does not run: the bus then has no owner of its name and the call is not started.
const {Gio, GLib} = imports.gi;

class TarvikFocusExtension {
    enable() {
        this._focusId = global.display.connect('notify::focus-window', () => this._report());
        this._report();
    }

    disable() {
        if (this._focusId) {
            global.display.disconnect(this._focusId);
            this._focusId = 0;
        }
    }

    _report() {
        const window = global.display.focus_window;
        const app = window ? (window.get_wm_class() || window.get_gtk_application_id() || '') : '';
        Gio.DBus.session.call('io.github.tarvik.Tarvik', '/io/github/tarvik/Tarvik', 'io.github.tarvik.Tarvik1',
            'ReportFocus', new GLib.Variant('(s)', [app]), null, Gio.DBusCallFlags.NO_AUTO_START, 1000, null,
            (connection, result) => {
                try {
                    connection.call_finish(result);
                } catch (e) {
                    // The program is not running: nothing to tell.
                }
            });
    }
}

function init() {
    return new TarvikFocusExtension();
}
