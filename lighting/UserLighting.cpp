#include "lighting/UserLighting.h"

#include "lighting/LightingPanelIds.h"
#include "lighting/ParamsIo.h"
#include "lighting/UserFiles.h"

#include <algorithm>

namespace tarvik::lighting {

UserLighting::UserLighting(device::Commands& commands, std::filesystem::path dataFolder)
    : commands_(commands), dataFolder_(std::move(dataFolder)) {
    slotNames_.fill(u"0");
}

void UserLighting::setProfile(int profile) {
    if (profile >= 0 && profile < kProfileCount) {
        profile_ = profile;
    }
}

std::filesystem::path UserLighting::filePath() const {
    return userLightingFilePath(dataFolder_, profile_);
}

UserLightingFile& UserLighting::loadFile() {
    // Read afresh every time the slots are refilled or loaded: restore defaults, the installation and
    // other programs replace the file behind our back.
    file_ = UserLightingFile::load(filePath());
    return *file_;
}

UserLightingFile& UserLighting::document() {
    return file_ ? *file_ : loadFile();
}

void UserLighting::saveFile() {
    // The interface keeps what the user chose whatever happens; tarvikctl asks takeFileSaved().
    if (!file_ || !file_->save()) {
        saved_ = false;
    }
    // Each change goes into the file as it is then, so no document is kept between changes: one read
    // earlier would write back what another program changed since, and a resident program would hold
    // the file's size many times over all day.
    file_.reset();
}

void UserLighting::track(int rc) {
    if (result_ == device::kOk && rc != device::kOk) {
        result_ = rc;
    }
}

int UserLighting::takeResult() {
    int rc = result_;
    result_ = device::kOk;
    return rc;
}

bool UserLighting::takeFileSaved() {
    bool ok = saved_;
    saved_ = true;
    return ok;
}

void UserLighting::refillSlots() {
    const UserLightingFile& file = loadFile();
    for (int k = 0; k < kSlotCount; ++k) {
        slotNames_[static_cast<size_t>(k)] = file.slotName(k);
    }
    slot_ = file.presentSlot();
    file_.reset();
}

void UserLighting::loadSlot(bool upload) {
    takeSlot(loadFile());
    file_.reset();
    if (upload) {
        uploadKeyColors();
    }
}

void UserLighting::takeSlot(const UserLightingFile& file) {
    slot_ = file.presentSlot();
    header_ = file.header(slot_);
    takeKeys(file, slot_);
}

void UserLighting::takeKeys(const UserLightingFile& file, int slot) {
    auto& follows = follows_[static_cast<size_t>(profile_)];
    // The key buttons and Fn; position 125 (the G keys) is not kept in the file's slots.
    for (int b = 0; b < kKeyButtonCount; ++b) {
        int position = ledOfButton(b);
        KeyValue v = file.key(slot, position);
        table_.setEntry(profile_, position, v.colour);
        follows[static_cast<size_t>(b)] = v.followsBase;
    }
    KeyValue fn = file.key(slot, kFnLedPosition);
    table_.setEntry(profile_, kFnLedPosition, fn.colour);
    follows[static_cast<size_t>(kFnButton)] = fn.followsBase;
}

int UserLighting::uploadSlotOf(const UserLightingFile& file, int slot) {
    if (slot < 0 || slot >= kSlotCount) {
        return device::kBadBlock;
    }
    takeKeys(file, slot);
    return uploadKeyColors();
}

void UserLighting::selectSlot(int slot) {
    if (slot < 0 || slot >= kSlotCount) {
        return;
    }
    UserLightingFile& file = loadFile();
    file.setPresentSlot(slot);
    // From the document in memory, so the selection holds even when the file could not be written.
    takeSlot(file);
    saveFile();
    uploadKeyColors();
}

void UserLighting::renameSlot(std::u16string_view text) {
    slotNames_[static_cast<size_t>(slot_)] = std::u16string(text);
    document().setSlotName(slot_, text);
    saveFile();
}

void UserLighting::saveSlotHeader() {
    document().setHeader(slot_, header_);
    saveFile();
}

void UserLighting::writeKey(int button, int position) {
    document().setKey(slot_, position,
                      KeyValue{table_.entry(profile_, position),
                               follows_[static_cast<size_t>(profile_)][static_cast<size_t>(button)]});
}

bool UserLighting::paint(int button) {
    if (header_.brush == kBaseBrush) {
        return applyPaint(button, header_.baseColour, true) != kNotPainted;
    }
    if (header_.brush == kPaintBrush) {
        return applyPaint(button, header_.paintColour, false) != kNotPainted;
    }
    return false;
}

int UserLighting::paintWith(int button, Rgb colour) {
    return applyPaint(button, colour, false);
}

bool UserLighting::paintable(int button) {
    return (button >= 0 && button < kKeyButtonCount) || button == kFnButton;
}

void UserLighting::setKey(int button, Rgb colour, bool followsBase) {
    int position = ledOfButton(button);
    follows_[static_cast<size_t>(profile_)][static_cast<size_t>(button)] = followsBase;
    table_.setEntry(profile_, position, colour);
    writeKey(button, position);
}

int UserLighting::applyPaint(int button, Rgb colour, bool followsBase) {
    if (!paintable(button)) {
        return kNotPainted;
    }
    setKey(button, colour, followsBase);
    int rc = uploadKeyColour(commands_, table_, profile_, ledOfButton(button));
    track(rc);
    saveFile();
    return rc;
}

int UserLighting::paintStroke(std::span<const int> buttons) {
    if (header_.brush != kPaintBrush && header_.brush != kBaseBrush) {
        return 0;
    }
    const bool base = header_.brush == kBaseBrush;
    const Rgb colour = base ? header_.baseColour : header_.paintColour;
    int painted = 0;
    int last = -1;
    for (int b : buttons) {
        if (paintable(b)) {
            setKey(b, colour, base);
            ++painted;
            last = b;
        }
    }
    if (painted == 0) {
        return 0;
    }
    track(painted == 1 ? uploadKeyColour(commands_, table_, profile_, ledOfButton(last))
                       : lighting::uploadKeyColors(commands_, table_, profile_));
    saveFile();
    return painted;
}

std::vector<UserLighting::KeyPaint> UserLighting::keys(std::span<const int> buttons) const {
    std::vector<KeyPaint> out;
    for (int b : buttons) {
        if (paintable(b)) {
            out.push_back(KeyPaint{b, tint(b), followsBase(profile_, b)});
        }
    }
    return out;
}

int UserLighting::setKeys(std::span<const KeyPaint> keys) {
    int set = 0;
    int last = -1;
    for (const KeyPaint& k : keys) {
        if (paintable(k.button)) {
            setKey(k.button, k.colour, k.followsBase);
            ++set;
            last = k.button;
        }
    }
    if (set == 0) {
        return 0;
    }
    track(set == 1 ? uploadKeyColour(commands_, table_, profile_, ledOfButton(last))
                   : lighting::uploadKeyColors(commands_, table_, profile_));
    saveFile();
    return set;
}

void UserLighting::setBaseColour(Rgb colour) {
    if (colour == header_.baseColour) {
        return;
    }
    header_.baseColour = colour;
    document().setHeader(slot_, header_);
    // Key buttons, then the G buttons, then Fn: the order the buttons are written to the file in.
    const auto& follows = follows_[static_cast<size_t>(profile_)];
    for (int b = 0; b < kLitButtonCount; ++b) {
        if (follows[static_cast<size_t>(b)]) {
            int position = ledOfButton(b);
            table_.setEntry(profile_, position, colour);
            writeKey(b, position);
        }
    }
    saveFile();
    uploadKeyColors();
    const uint8_t bytes[3] = {colour.r, colour.g, colour.b};
    track(writeParams(commands_, {{paramAddress(profile_, kParamBaseColour), bytes}}));
}

void UserLighting::setPaintColour(Rgb colour) {
    header_.paintColour = colour;
    saveSlotHeader();
}

void UserLighting::setBrush(int brush) {
    if (brush != kPaintBrush && brush != kBaseBrush) {
        return;
    }
    header_.brush = brush;
    saveSlotHeader();
}

void UserLighting::restoreUserFile() {
    if (!lighting::restoreUserFile(dataFolder_, profile_)) {
        saved_ = false;
    }
    refillSlots();
}

void UserLighting::recomputeFlags(const ParamsBlocks& blocks) {
    for (int q = 0; q < kProfileCount; ++q) {
        ProfileParams params = decodeParams(blocks[static_cast<size_t>(q)]);
        for (int b = 0; b < kLitButtonCount; ++b) {
            follows_[static_cast<size_t>(q)][static_cast<size_t>(b)] =
                table_.entry(q, ledOfButton(b)) == params.baseColour;
        }
    }
}

int UserLighting::uploadKeyColors() {
    int rc = lighting::uploadKeyColors(commands_, table_, profile_);
    track(rc);
    return rc;
}

bool UserLighting::followsBase(int profile, int button) const {
    if (profile < 0 || profile >= kProfileCount || button < 0 || button >= kLitButtonCount) {
        return false;
    }
    return follows_[static_cast<size_t>(profile)][static_cast<size_t>(button)];
}

Rgb UserLighting::tint(int button) const {
    return table_.entry(profile_, ledOfButton(button));
}

UserModeView UserLighting::view() const {
    UserModeView v;
    v.paintColour = header_.paintColour;
    v.baseColour = header_.baseColour;
    v.brush = header_.brush;
    v.brush0Picture = header_.brush == kPaintBrush ? picture::kBrush0Selected : picture::kBrush0Plain;
    v.brush1Picture = header_.brush == kBaseBrush ? picture::kBrush1Selected : picture::kBrush1Plain;
    v.slotNames = slotNames_;
    v.slot = slot_;
    return v;
}

} // namespace tarvik::lighting
