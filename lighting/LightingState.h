// The lighting state of the current profile and the operations of the lighting panel. Each operation
// writes to the keyboard at once (one begin/end frame, results ignored by the interface) and returns what
// the panel must show; the window draws that and decides nothing itself.
#pragma once

#include "device/Commands.h"
#include "lighting/Colour.h"
#include "lighting/LightingModes.h"
#include "lighting/LightingSettings.h"
#include "lighting/LightingView.h"
#include "lighting/Preview.h"
#include "lighting/ProfileParams.h"
#include "lighting/UserLighting.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>

namespace tarvik::lighting {

inline constexpr int kConfigReadFailed = -1;

class LightingState {
public:
    LightingState(device::Commands& commands, std::filesystem::path dataFolder);

    // The profile being edited (0..2, owned by the profile buttons). The mirrored values are taken from
    // the copy of the records read last; nothing is sent.
    void setProfile(int profile);
    int profile() const { return profile_; }

    // Configuration read, then all three records: the mode list, the current profile's values, the panel
    // flag; the user slots when the keyboard supports mode 20 (uploading the key colours when the current
    // mode is 20). Returns -1 when the configuration could not be read (the mode list then stays empty),
    // otherwise the result of the records' read.
    enum class UserSlots { Load, Skip }; // Skip: the user slots are neither read nor sent (tarvikctl show)
    int readLighting(UserSlots slots = UserSlots::Load);
    // A profile button: the profile changes, its state is read, and a panel that was on is turned off.
    LightingView switchProfile(int profile);
    // The keyboard came back: its state is read again and the base-colour flags recomputed.
    int keyboardConnected();

    // A selection in the mode list (list index); an index outside the list changes nothing.
    LightingView selectMode(int listIndex);
    // The same for a mode code; a code the keyboard does not list changes nothing.
    LightingView selectModeCode(uint8_t code);
    LightingView setBrightness(int position);
    LightingView setSpeed(int sliderPosition);
    LightingView setDirection(int direction);
    LightingView setEffectColour(Rgb colour);
    LightingView toggleRandom();
    LightingView setRandom(bool on); // toggles when the flag differs
    LightingView setPreset(int preset);
    // Call after the main window's profile-switch check has agreed.
    LightingView enablePanel();
    LightingView disablePanel();
    // Only while the panel is on.
    LightingView restoreDefaults();
    // The same without the panel condition (tarvikctl defaults).
    LightingView resetToDefaults();

    // A click on a key button or Fn (button index of KeyButtons.h): paints only while the panel is on and
    // the mode list shows mode 20.
    bool paintKey(int button);
    // A drag across key buttons: each key is painted, the file written once and the colours sent in one
    // upload at the end (one key: that key only). Same condition as paintKey. Returns the keys painted.
    int paintKeys(std::span<const int> buttons);
    // A stroke as one step to undo: the profile and slot it painted, and its keys before and after.
    struct PaintStep {
        int profile = -1;
        int slot = -1;
        std::vector<UserLighting::KeyPaint> before, after;
    };
    // paintKeys, telling what it changed (nothing painted: no keys).
    PaintStep paintStroke(std::span<const int> buttons);
    // Takes a stroke back (forward false) or paints it again, while its profile and slot are the ones
    // edited and only on keys that still hold what the other side left. Returns the keys set.
    int restorePaint(const PaintStep& step, bool forward);
    // A change of the user slots as one step to undo: the slot selected, or the selected slot's name.
    struct SlotStep {
        int profile = -1;
        int slotBefore = -1, slotAfter = -1;
        std::u16string nameBefore, nameAfter; // a rename only
    };
    SlotStep selectSlot(int slot);
    SlotStep renameSlot(std::u16string_view name);
    // Takes the step back (forward false) or does it again, while the profile is the same and the slot
    // or its name is still what the other side left. True when something changed.
    bool restoreSlot(const SlotStep& step, bool forward);
    // The condition of both: the panel is on and the mode list shows mode 20.
    bool keyClicksPaint() const;

    PreviewParams previewParams() const;

    LightingView view() const;

    // The first device result other than 1 of the last operation (1 when every exchange succeeded, or
    // when nothing had to be sent). The interface ignores it; tarvikctl reports it.
    int lastResult() const { return result_; }

    UserLighting& user() { return user_; }
    const UserLighting& user() const { return user_; }
    const LightingSettings& settings() const { return settings_; }

    bool configRead() const { return configRead_; }
    const std::array<uint8_t, device::kConfigSize>& config() const { return config_; }
    const ParamsBlocks& blocks() const { return blocks_; }
    const ModeList& modes() const { return modes_; }

    uint8_t mode() const { return mode_; }
    int modeIndex() const { return modeIndex_; }
    uint8_t brightness() const { return brightness_; }
    uint8_t speed() const { return speed_; }
    int speedSliderPosition() const { return speedSlider_; }
    uint8_t direction() const { return direction_; }
    bool random() const { return random_; }
    Rgb effectColour() const { return effectColour_; }
    int preset() const { return preset_; }
    Rgb baseColour() const { return baseColour_; }
    Rgb paintColour() const { return paintColour_; }
    int reportRate() const { return reportRate_; }
    bool panelOn() const { return panelOn_; }

private:
    void mirror();
    void runSelection(uint8_t code, int listIndex);
    void writeByte(size_t offset, uint8_t value);
    void track(int rc);
    void beginOperation();
    LightingView endOperation();

    device::Commands& commands_;
    LightingSettings settings_;
    UserLighting user_;

    int profile_ = 0;
    bool configRead_ = false;
    std::array<uint8_t, device::kConfigSize> config_{};
    ParamsBlocks blocks_{};
    ModeList modes_;

    uint8_t mode_ = 0;
    int modeIndex_ = -1;
    uint8_t brightness_ = 0;
    uint8_t speed_ = 0;
    int speedSlider_ = 5;
    uint8_t direction_ = 0;
    bool random_ = false;
    Rgb effectColour_;
    int preset_ = 0;
    Rgb baseColour_;
    Rgb paintColour_;
    int reportRate_ = 0;
    bool panelOn_ = false;
    int result_ = device::kOk;
};

} // namespace tarvik::lighting
