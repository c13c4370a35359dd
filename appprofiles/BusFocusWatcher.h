// Focus on desktops that tell only their own extensions: KDE Plasma runs a KWin script the program loads
// over the session bus, GNOME Shell runs the extension shipped with the package. Both call the program's
// ReportFocus method with the app id of the window in front; this watcher passes those reports on.
#pragma once

#include "appprofiles/FocusWatcher.h"

namespace tarvik::appprofiles {

inline constexpr char kGnomeExtensionUuid[] = "tarvik-focus@tarvik.github.io";
// The same extension for GNOME Shell 42 to 44, which load extensions as scripts, not modules.
inline constexpr char kGnomeLegacyExtensionUuid[] = "tarvik-focus-legacy@tarvik.github.io";
inline constexpr char kKwinScriptName[] = "tarvik-focus";

class BusFocusWatcher final : public FocusWatcher {
public:
    enum class Desktop { Kde, Gnome };
    BusFocusWatcher(Desktop desktop, QString kwinScript)
        : desktop_(desktop), kwinScript_(std::move(kwinScript)) {}
    ~BusFocusWatcher() override;
    bool start(Report report) override;
    QString name() const override;
    QString why() const override { return why_; }
    void reported(const WindowIdentity& window) override;
    std::string_view adviceKey() const override { return extensionOff_ ? "APPPROFILES_GNOME_OFF" : ""; }

private:
    bool startKwinScript();
    bool gnomeExtensionEnabled();

    Desktop desktop_;
    QString kwinScript_;
    Report report_;
    QString why_;
    // The GNOME extension that reports, or the one this shell can run.
    QString extensionUuid_ = QLatin1String(kGnomeExtensionUuid);
    bool loaded_ = false;
    bool extensionOff_ = false;
};

} // namespace tarvik::appprofiles
