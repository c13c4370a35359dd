// The controls of the lighting panel (main window, template 102), the skin keys the direction controls
// move to, and the pictures the panel shows. The window draws what the lighting state tells it by these
// names; it decides nothing itself.
#pragma once

#include <array>
#include <bitset>
#include <cstddef>
#include <string_view>

namespace tarvik::lighting {

namespace control {
inline constexpr int kModeList = 1146;
inline constexpr int kPanelCaption = 1171;
inline constexpr int kPanelOn = 1167;
inline constexpr int kPanelOff = 1210;
inline constexpr int kBrightnessCaption = 1172;
inline constexpr int kBrightnessSlider = 1178;
inline constexpr int kSpeedCaption = 1166;
inline constexpr int kSpeedSlider = 1179;
inline constexpr int kDirectionCaption = 1148;
inline constexpr int kDirection1 = 1149; // left / up / outward
inline constexpr int kDirection0 = 1150; // right / down / inward
inline constexpr int kColourfulCaption = 1202;
inline constexpr int kEffectCaption = 1154;
inline constexpr int kEffectButton = 1155;
inline constexpr int kRandomToggle = 1156;
inline constexpr int kRandomCaption = 1173;     // placed by the skin, never shown
inline constexpr int kFixedRandomToggle = 1175; // placed by the skin, never shown
inline constexpr int kFixedCaption = 1151;
inline constexpr int kFixedButton = 1152;
inline constexpr int kPresetRed = 1194; // then yellow 1195, green 1196, blue 1197
inline constexpr int kPaintCaption = 1159;
inline constexpr int kPaintButton = 1160;
inline constexpr int kBaseCaption = 1161;
inline constexpr int kBaseButton = 1162;
inline constexpr int kBrushCaption = 1163;
inline constexpr int kBrushCaption2 = 1213;
inline constexpr int kBrush0 = 1164;
inline constexpr int kBrush1 = 1165;
inline constexpr int kSlotList = 1198;
} // namespace control

// Every control the panel shows or hides (the panel caption and the panel on/off buttons stay visible).
// 1173 and 1175 are never in a view's visible set; they are listed so that the window hides them too.
inline constexpr std::array<int, 29> kLightingControls{
    control::kModeList,         control::kBrightnessCaption,
    control::kBrightnessSlider, control::kSpeedCaption,
    control::kSpeedSlider,      control::kDirectionCaption,
    control::kDirection1,       control::kDirection0,
    control::kColourfulCaption, control::kEffectCaption,
    control::kEffectButton,     control::kRandomToggle,
    control::kFixedCaption,     control::kFixedButton,
    control::kPresetRed,        control::kPresetRed + 1,
    control::kPresetRed + 2,    control::kPresetRed + 3,
    control::kPaintCaption,     control::kPaintButton,
    control::kBaseCaption,      control::kBaseButton,
    control::kBrushCaption,     control::kBrushCaption2,
    control::kBrush0,           control::kBrush1,
    control::kSlotList,         control::kRandomCaption,
    control::kFixedRandomToggle};

// A set of lighting controls by control id; ids that are not lighting controls are never members.
class ControlSet {
public:
    void add(int id) {
        if (int i = indexOf(id); i >= 0) {
            bits_.set(static_cast<size_t>(i));
        }
    }
    bool contains(int id) const {
        int i = indexOf(id);
        return i >= 0 && bits_.test(static_cast<size_t>(i));
    }
    size_t count() const { return bits_.count(); }
    bool empty() const { return bits_.none(); }
    friend bool operator==(const ControlSet&, const ControlSet&) = default;

private:
    static int indexOf(int id) {
        for (size_t i = 0; i < kLightingControls.size(); ++i) {
            if (kLightingControls[i] == id) {
                return static_cast<int>(i);
            }
        }
        return -1;
    }
    std::bitset<kLightingControls.size()> bits_;
};

// Skin keys the three direction controls (caption, direction 1, direction 0) are moved to.
using DirectionKeys = std::array<std::string_view, 3>;
inline constexpr DirectionKeys kDirectionKeysPlain{"CONTROL_BLFXStatic", "CONTROL_BLFXLStaPic",
                                                   "CONTROL_BLFXRStaPic"};
inline constexpr DirectionKeys kDirectionKeys2{"CONTROL_BLFXStatic2", "CONTROL_BLFXLStaPic2",
                                               "CONTROL_BLFXRStaPic2"};
inline constexpr DirectionKeys kDirectionKeys3{"CONTROL_BLFXStatic3", "CONTROL_BLFXLStaPic3",
                                               "CONTROL_BLFXRStaPic3"};

namespace picture {
// Slider pictures: brightness b shows kNumbers[b], speed slider position s shows kNumbers[6 + s].
inline constexpr std::array<std::string_view, 12> kNumbers{"0.bmp", "1.bmp", "2.bmp",  "3.bmp",
                                                           "4.bmp", "5.bmp", "6.bmp",  "7.bmp",
                                                           "8.bmp", "9.bmp", "10.bmp", "11.bmp"};
inline constexpr std::string_view kRandomOff = "sjsup.bmp";
inline constexpr std::string_view kRandomOn = "sjsdown.bmp";
inline constexpr std::array<std::string_view, 4> kPresetPlain{"hong.bmp", "huang.bmp", "lv.bmp", "lan.bmp"};
inline constexpr std::array<std::string_view, 4> kPresetSelected{"hongok.bmp", "huangok.bmp", "lvok.bmp",
                                                                 "lanok.bmp"};
inline constexpr std::string_view kPanelOnActive = "LED_enabled_on.bmp";
inline constexpr std::string_view kPanelOnIdle = "LED_enabled_off.bmp";
inline constexpr std::string_view kPanelOffIdle = "LED_disabled_off.bmp";
inline constexpr std::string_view kPanelOffActive = "LED_disabled_on.bmp";
inline constexpr std::string_view kBrush0Selected = "user1down.bmp";
inline constexpr std::string_view kBrush0Plain = "user1up.bmp";
inline constexpr std::string_view kBrush1Selected = "user2down.bmp";
inline constexpr std::string_view kBrush1Plain = "user2up.bmp";

// Direction pictures {selected, not selected} for the control of direction 1 and of direction 0.
struct DirectionPictures {
    std::string_view selected1, plain1, selected0, plain0;
};
inline constexpr DirectionPictures kLeftRight{"leftdown.bmp", "leftup.bmp", "rightdown.bmp", "rightup.bmp"};
inline constexpr DirectionPictures kUpDown{"updown.bmp", "upup.bmp", "downdown.bmp", "downup.bmp"};
inline constexpr DirectionPictures kOutIn{"kuosandown.bmp", "kuosan.bmp", "julongdown.bmp", "julong.bmp"};
} // namespace picture

} // namespace tarvik::lighting
