// Tells the running Tarvik program which application is in front (its Wayland app id, or the WM_CLASS
// of an X11 window), so that the keyboard's on-board profile can follow it. Nothing is sent while the
// program does not run: the bus then has no owner of its name and the call is not started.
import Gio from 'gi://Gio';
import GLib from 'gi://GLib';
import {Extension} from 'resource:///org/gnome/shell/extensions/extension.js';

export default class TarvikFocusExtension extends Extension {
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
