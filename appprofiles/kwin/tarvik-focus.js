// Tells the running Tarvik program which application is in front, so that the keyboard's profile can
// follow it. The program loads this script into KWin over the session bus when it starts on KDE Plasma
// and unloads it when it ends. Plasma 6 names the signal windowActivated, Plasma 5 clientActivated.
function report(window) {
    var app = "";
    if (window) {
        app = window.desktopFileName || window.resourceClass || window.resourceName || "";
    }
    callDBus("io.github.tarvik.Tarvik", "/io/github/tarvik/Tarvik", "io.github.tarvik.Tarvik1",
             "ReportFocus", String(app));
}

if (workspace.windowActivated) {
    workspace.windowActivated.connect(report);
    report(workspace.activeWindow);
} else {
    workspace.clientActivated.connect(report);
    report(workspace.activeClient);
}
