// What the main window's decisions ask of the lighting panel. The Qt panel implements it (its writes run
// on the device worker); MainHub decides when, and the panel reports back through
// MainHub::lightingPanelTurnedOff and MainHub::lightingRead.
#pragma once

namespace tarvik::app {

class LightingPanelPort {
public:
    virtual ~LightingPanelPort() = default;

    // The panel is on and its mode list shows the user mode: a click on a key button or Fn paints.
    virtual bool keyClicksPaint() const = 0;
    virtual bool panelOn() const = 0;

    // The keyboard has been read (its arrival, the profile manager's Apply): the lighting of profile is
    // read again and drawn; a panel that was on stays on.
    virtual void reload(int profile) = 0;
    // Timer 1051: a lighting change made on the keyboard itself.
    virtual void scheduleReload() = 0;
    // A profile switch made profile the one shown and edited; a panel that was on turns off.
    virtual void switchProfile(int profile) = 0;
    // Part of restore defaults; only while the panel is on.
    virtual void restoreDefaults() = 0;
    // A click routed here by the click rule, by button index (lighting/KeyButtons.h).
    virtual void paintKey(int button) = 0;
    // After a language switch.
    virtual void retranslate() = 0;
};

} // namespace tarvik::app
