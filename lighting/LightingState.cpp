#include "lighting/LightingState.h"

#include "lighting/ParamsIo.h"

#include <algorithm>

namespace tarvik::lighting {

namespace {
std::string_view numberPicture(int n) {
    return picture::kNumbers[static_cast<size_t>(
        std::clamp(n, 0, static_cast<int>(picture::kNumbers.size()) - 1))];
}

int speedPositionOf(uint8_t speed) {
    return kLevelMax - std::min<int>(speed, kLevelMax);
}

const picture::DirectionPictures& directionPictures(DirectionSet set) {
    switch (set) {
    case DirectionSet::LeftRight:
        return picture::kLeftRight;
    case DirectionSet::UpDown:
        return picture::kUpDown;
    default:
        return picture::kOutIn;
    }
}

const DirectionKeys& directionKeys(DirectionSet set) {
    switch (set) {
    case DirectionSet::LeftRight:
        return kDirectionKeys2;
    case DirectionSet::UpDown:
        return kDirectionKeys3;
    default:
        return kDirectionKeysPlain;
    }
}

void addAll(ControlSet& set, std::initializer_list<int> ids) {
    for (int id : ids) {
        set.add(id);
    }
}
} // namespace

LightingState::LightingState(device::Commands& commands, std::filesystem::path dataFolder)
    : commands_(commands), settings_(dataFolder), user_(commands, dataFolder) {}

void LightingState::setProfile(int profile) {
    if (profile < 0 || profile >= kProfileCount) {
        return;
    }
    profile_ = profile;
    user_.setProfile(profile);
    mirror();
}

void LightingState::mirror() {
    ProfileParams p = decodeParams(blocks_[static_cast<size_t>(profile_)]);
    mode_ = p.mode;
    brightness_ = p.brightness;
    speed_ = p.speed;
    speedSlider_ = speedPositionOf(p.speed);
    direction_ = p.direction;
    random_ = p.random;
    effectColour_ = p.effectColour;
    preset_ = presetShown(p.preset);
    baseColour_ = p.baseColour;
    paintColour_ = p.paintColour;
    reportRate_ = reportRateIndex(p.reportRate);
    modeIndex_ = modes_.indexOf(mode_);
}

int LightingState::readLighting(UserSlots slots) {
    beginOperation();
    modes_.clear();
    modeIndex_ = -1;
    configRead_ = false;
    if (commands_.readConfig(config_) != device::kOk) {
        result_ = kConfigReadFailed;
        return result_;
    }
    configRead_ = true;
    track(readAllParams(commands_, blocks_));
    modes_.fill(config_);
    mirror();
    panelOn_ = settings_.panelEnabled();
    if (slots == UserSlots::Load && modes_.supports(kUserMode)) {
        user_.setProfile(profile_);
        user_.refillSlots();
        user_.loadSlot(mode_ == kUserMode);
    }
    endOperation();
    return result_;
}

LightingView LightingState::switchProfile(int profile) {
    setProfile(profile);
    int rc = readLighting();
    if (panelOn_) {
        disablePanel();
    }
    result_ = rc;
    return view();
}

int LightingState::keyboardConnected() {
    int rc = readLighting();
    if (configRead_ && modes_.supports(kUserMode)) {
        user_.recomputeFlags(blocks_);
    }
    return rc;
}

void LightingState::track(int rc) {
    if (result_ == device::kOk && rc != device::kOk) {
        result_ = rc;
    }
}

void LightingState::beginOperation() {
    result_ = device::kOk;
    (void)user_.takeResult();
}

LightingView LightingState::endOperation() {
    track(user_.takeResult());
    return view();
}

void LightingState::writeByte(size_t offset, uint8_t value) {
    const uint8_t bytes[1] = {value};
    track(writeParams(commands_, {{paramAddress(profile_, offset), bytes}}));
}

void LightingState::runSelection(uint8_t code, int listIndex) {
    ModeInfo info = modeInfo(code);
    const uint8_t modeByte[1] = {code};
    const uint8_t randomByte[1] = {static_cast<uint8_t>(random_ ? 1 : 0)};
    switch (info.write) {
    case SelectionWrite::ModeAndRandom:
        track(writeParams(commands_, {{paramAddress(profile_, kParamMode), modeByte},
                                      {paramAddress(profile_, kParamRandom), randomByte}}));
        break;
    case SelectionWrite::ModeOnly:
        track(writeParams(commands_, {{paramAddress(profile_, kParamMode), modeByte}}));
        break;
    case SelectionWrite::ModeThenUserColours:
        track(writeParams(commands_, {{paramAddress(profile_, kParamMode), modeByte}}));
        user_.setProfile(profile_);
        user_.loadSlot(true);
        break;
    }
    mode_ = code;
    modeIndex_ = listIndex;
}

LightingView LightingState::selectMode(int listIndex) {
    beginOperation();
    uint8_t code = modes_.codeAt(listIndex);
    if (code != 0) {
        runSelection(code, listIndex);
    }
    return endOperation();
}

LightingView LightingState::selectModeCode(uint8_t code) {
    return selectMode(modes_.indexOf(code));
}

LightingView LightingState::setBrightness(int position) {
    beginOperation();
    if (position >= 0 && position <= kLevelMax) {
        if (position != brightness_) {
            writeByte(kParamBrightness, static_cast<uint8_t>(position));
        }
        brightness_ = static_cast<uint8_t>(position);
    }
    return endOperation();
}

LightingView LightingState::setSpeed(int sliderPosition) {
    beginOperation();
    if (sliderPosition >= 0 && sliderPosition <= kLevelMax) {
        // Compared on the device value, so that a slider standing off its value after restore defaults
        // (or a device value outside 0..5) never swallows a move.
        auto value = static_cast<uint8_t>(kLevelMax - sliderPosition);
        if (value != speed_) {
            writeByte(kParamSpeed, value);
        }
        speed_ = value;
        speedSlider_ = sliderPosition;
    }
    return endOperation();
}

LightingView LightingState::setDirection(int direction) {
    beginOperation();
    if (direction == 0 || direction == 1) {
        writeByte(kParamDirection, static_cast<uint8_t>(direction));
        direction_ = static_cast<uint8_t>(direction);
    }
    return endOperation();
}

LightingView LightingState::setEffectColour(Rgb colour) {
    beginOperation();
    // Choosing a colour ends the random colours, in the same frame and before the colour.
    const uint8_t off[1] = {0};
    const uint8_t rgb[3] = {colour.r, colour.g, colour.b};
    track(writeParams(commands_, {{paramAddress(profile_, kParamRandom), off},
                                  {paramAddress(profile_, kParamEffectColour), rgb}}));
    random_ = false;
    effectColour_ = colour;
    return endOperation();
}

LightingView LightingState::toggleRandom() {
    beginOperation();
    random_ = !random_;
    writeByte(kParamRandom, random_ ? 1 : 0);
    return endOperation();
}

LightingView LightingState::setRandom(bool on) {
    if (on != random_) {
        return toggleRandom();
    }
    beginOperation();
    return endOperation();
}

LightingView LightingState::setPreset(int preset) {
    beginOperation();
    if (preset >= 0 && preset < kPresetCount) {
        writeByte(kParamPreset, static_cast<uint8_t>(preset));
        preset_ = preset;
    }
    return endOperation();
}

LightingView LightingState::enablePanel() {
    beginOperation();
    (void)settings_.setPanelEnabled(true);
    panelOn_ = true;
    return endOperation();
}

LightingView LightingState::disablePanel() {
    beginOperation();
    (void)settings_.setPanelEnabled(false);
    panelOn_ = false;
    return endOperation();
}

LightingView LightingState::restoreDefaults() {
    if (!panelOn_) {
        beginOperation();
        return endOperation();
    }
    return resetToDefaults();
}

LightingView LightingState::resetToDefaults() {
    beginOperation();
    runSelection(kDefaultMode, modes_.indexOf(kDefaultMode));
    // What the interface shows from now on. The block below writes speed 3 while the slider stands at 3
    // and direction 0xFF while the pictures show 0; the next read shows what the keyboard made of it.
    brightness_ = kLevelMax;
    direction_ = 0;
    speed_ = 3;
    speedSlider_ = 3;
    effectColour_ = Rgb{255, 0, 0};
    random_ = true;
    bool userMode = modes_.supports(kUserMode);
    if (userMode) {
        user_.setProfile(profile_);
        user_.restoreUserFile();
    }
    track(writeParams(commands_, {{paramAddress(profile_, 0), kDefaultParamsBlock}}));
    if (userMode) {
        user_.selectSlot(0);
    }
    return endOperation();
}

bool LightingState::keyClicksPaint() const {
    return panelOn_ && modes_.codeAt(modeIndex_) == kUserMode;
}

bool LightingState::paintKey(int button) {
    beginOperation();
    bool painted = keyClicksPaint() && user_.paint(button);
    endOperation();
    return painted;
}

int LightingState::paintKeys(std::span<const int> buttons) {
    return static_cast<int>(paintStroke(buttons).after.size());
}

LightingState::SlotStep LightingState::selectSlot(int slot) {
    SlotStep step{user_.profile(), user_.slot(), user_.slot(), {}, {}};
    beginOperation();
    user_.selectSlot(slot);
    endOperation();
    step.slotAfter = user_.slot();
    return step;
}

LightingState::SlotStep LightingState::renameSlot(std::u16string_view name) {
    const int slot = user_.slot();
    SlotStep step{user_.profile(), slot, slot, user_.slotNames()[static_cast<size_t>(slot)],
                  std::u16string(name)};
    user_.renameSlot(name);
    return step;
}

bool LightingState::restoreSlot(const SlotStep& step, bool forward) {
    if (step.profile != user_.profile()) {
        return false;
    }
    const int slot = user_.slot();
    if (step.slotBefore == step.slotAfter) {
        const std::u16string& from = forward ? step.nameBefore : step.nameAfter;
        if (slot != step.slotAfter || user_.slotNames()[static_cast<size_t>(slot)] != from) {
            return false;
        }
        user_.renameSlot(forward ? step.nameAfter : step.nameBefore);
        return true;
    }
    if (slot != (forward ? step.slotBefore : step.slotAfter)) {
        return false;
    }
    beginOperation();
    user_.selectSlot(forward ? step.slotAfter : step.slotBefore);
    endOperation();
    return true;
}

LightingState::PaintStep LightingState::paintStroke(std::span<const int> buttons) {
    PaintStep step;
    beginOperation();
    if (keyClicksPaint()) {
        step.profile = user_.profile();
        step.slot = user_.slot();
        step.before = user_.keys(buttons);
        if (user_.paintStroke(buttons) > 0) {
            step.after = user_.keys(buttons);
        } else {
            step.before.clear();
        }
    }
    endOperation();
    return step;
}

int LightingState::restorePaint(const PaintStep& step, bool forward) {
    if (step.profile != user_.profile() || step.slot != user_.slot() ||
        step.before.size() != step.after.size()) {
        return 0;
    }
    const auto& from = forward ? step.before : step.after;
    const auto& to = forward ? step.after : step.before;
    std::vector<int> buttons;
    for (const UserLighting::KeyPaint& k : from) {
        buttons.push_back(k.button);
    }
    const std::vector<UserLighting::KeyPaint> now = user_.keys(buttons);
    // A key painted again since, or changed by a slot load, keeps what it has now.
    std::vector<UserLighting::KeyPaint> keys;
    for (size_t i = 0; i < now.size() && i < from.size(); ++i) {
        if (now[i] == from[i]) {
            keys.push_back(to[i]);
        }
    }
    beginOperation();
    const int set = user_.setKeys(keys);
    endOperation();
    return set;
}

PreviewParams LightingState::previewParams() const {
    PreviewParams p;
    p.mode = mode_;
    p.direction = direction_;
    p.random = random_;
    p.effectColour = effectColour_;
    p.keyColours = user_.table().bytes(profile_);
    return p;
}

LightingView LightingState::view() const {
    LightingView v;
    v.panelOn = panelOn_;
    v.mode = mode_;
    v.modeIndex = modeIndex_;

    ModeInfo info = modeInfo(mode_);
    const auto& pictures = directionPictures(info.direction);
    v.directionKeys = directionKeys(info.direction);
    bool one = direction_ != 0;
    v.direction1Picture = one ? pictures.selected1 : pictures.plain1;
    v.direction0Picture = one ? pictures.plain0 : pictures.selected0;

    v.brightnessPosition = std::min<int>(brightness_, kLevelMax);
    v.brightnessPicture = numberPicture(v.brightnessPosition);
    v.speedPosition = speedSlider_;
    // The picture names the device value (6 + 5 - speed), which is what restore defaults relies on.
    v.speedPicture = numberPicture(6 + speedPositionOf(speed_));

    v.effectColour = effectColour_;
    v.randomPicture = random_ ? picture::kRandomOn : picture::kRandomOff;
    for (int k = 0; k < kPresetCount; ++k) {
        v.presetPictures[static_cast<size_t>(k)] = k == preset_
                                                       ? picture::kPresetSelected[static_cast<size_t>(k)]
                                                       : picture::kPresetPlain[static_cast<size_t>(k)];
    }

    v.panelOnPicture = panelOn_ ? picture::kPanelOnActive : picture::kPanelOnIdle;
    v.panelOffPicture = panelOn_ ? picture::kPanelOffIdle : picture::kPanelOffActive;
    v.user = user_.view();
    v.keyClicksPaint = keyClicksPaint();

    if (!panelOn_) {
        return v;
    }
    addAll(v.visible, {control::kModeList, control::kBrightnessCaption, control::kBrightnessSlider});
    if (info.speed) {
        addAll(v.visible, {control::kSpeedCaption, control::kSpeedSlider});
    }
    if (info.direction != DirectionSet::None) {
        addAll(v.visible, {control::kDirectionCaption, control::kDirection1, control::kDirection0});
    }
    switch (info.colours) {
    case ColourControls::None:
        break;
    case ColourControls::Effect:
        addAll(v.visible, {control::kEffectCaption, control::kEffectButton, control::kRandomToggle,
                           control::kColourfulCaption});
        break;
    case ColourControls::Fixed:
        addAll(v.visible, {control::kFixedCaption, control::kFixedButton, control::kRandomToggle,
                           control::kColourfulCaption});
        break;
    case ColourControls::Presets:
        addAll(v.visible, {control::kPresetRed, control::kPresetRed + 1, control::kPresetRed + 2,
                           control::kPresetRed + 3});
        break;
    case ColourControls::User:
        addAll(v.visible, {control::kPaintCaption, control::kPaintButton, control::kBaseCaption,
                           control::kBaseButton, control::kBrushCaption, control::kBrushCaption2,
                           control::kBrush0, control::kBrush1, control::kSlotList});
        break;
    }
    if (info.preview == PreviewKind::StoredColours) {
        v.keys = KeyLook::StoredColours;
    } else if (info.preview != PreviewKind::None) {
        v.keys = KeyLook::Preview;
    }
    v.previewRunning = true;
    return v;
}

} // namespace tarvik::lighting
