#include "profiles/ProfileLighting.h"

#include "lighting/KeyColorTable.h"
#include "lighting/ParamsIo.h"
#include "lighting/UserFiles.h"

namespace tarvik::profiles::lightingio {

model::Lighting lightingFromSources(const lighting::ParamsBlocks& params,
                                    const std::array<lighting::UserLightingFile, 3>& files) {
    model::Lighting out;
    for (size_t p = 0; p < out.profiles.size(); ++p) {
        const lighting::ProfileParams pp = lighting::decodeParams(params[p]);
        model::LightingProfile& lp = out.profiles[p];
        lp.mode = pp.mode;
        lp.brightness = pp.brightness;
        lp.speed = pp.speed;
        lp.direction = pp.direction;
        lp.random = pp.random;
        lp.effectColour = pp.effectColour;
        lp.preset = pp.preset;
        lp.baseColour = pp.baseColour;
        lp.paintColour = pp.paintColour;
        lp.reportRate = static_cast<uint8_t>(lighting::reportRateIndex(pp.reportRate));
        const lighting::UserLightingFile& file = files[p];
        lp.currentSlot = file.presentSlot();
        for (int s = 0; s < model::kLightSlots; ++s) {
            model::LightSlot& slot = lp.slots[static_cast<size_t>(s)];
            const lighting::SlotHeader h = file.header(s);
            slot.name = file.slotName(s);
            slot.brush = h.brush;
            slot.baseColour = h.baseColour;
            slot.paintColour = h.paintColour;
            for (int k = 0; k < kLitKeyCount; ++k) {
                const lighting::KeyValue v = file.key(s, ledOfLitKey(k));
                slot.keys[static_cast<size_t>(k)] = model::LightKey{v.colour, v.followsBase};
            }
        }
    }
    return out;
}

std::array<uint8_t, kModelParamBytes> paramBytes(const model::LightingProfile& lp) {
    std::array<uint8_t, kModelParamBytes> b{};
    b[lighting::kParamMode] = lp.mode;
    b[lighting::kParamBrightness] = lp.brightness;
    b[lighting::kParamSpeed] = lp.speed;
    b[lighting::kParamDirection] = lp.direction;
    b[lighting::kParamRandom] = lp.random ? 1 : 0;
    auto put = [&b](size_t at, lighting::Rgb c) {
        b[at] = c.r;
        b[at + 1] = c.g;
        b[at + 2] = c.b;
    };
    put(lighting::kParamEffectColour, lp.effectColour);
    b[lighting::kParamPreset] = lp.preset;
    put(lighting::kParamBaseColour, lp.baseColour);
    put(lighting::kParamPaintColour, lp.paintColour);
    b[lighting::kParamReportRate] = lp.reportRate;
    return b;
}

void fillUserFile(const model::LightingProfile& lp, lighting::UserLightingFile& file) {
    for (int s = 0; s < model::kLightSlots; ++s) {
        const model::LightSlot& slot = lp.slots[static_cast<size_t>(s)];
        file.setSlotName(s, slot.name);
        file.setHeader(s, lighting::SlotHeader{slot.brush, slot.baseColour, slot.paintColour});
        for (int k = 0; k < kLitKeyCount; ++k) {
            const model::LightKey& key = slot.keys[static_cast<size_t>(k)];
            file.setKey(s, ledOfLitKey(k), lighting::KeyValue{key.colour, key.followsBase});
        }
    }
    file.setPresentSlot(lp.currentSlot);
}

int readLighting(device::Commands& commands, const std::filesystem::path& dataFolder, model::Lighting& out) {
    lighting::ParamsBlocks params{};
    if (int rc = lighting::readAllParams(commands, params); rc != device::kOk) {
        return rc;
    }
    std::array<lighting::UserLightingFile, 3> files;
    for (int p = 0; p < 3; ++p) {
        files[static_cast<size_t>(p)] =
            lighting::UserLightingFile::load(lighting::userLightingFilePath(dataFolder, p));
    }
    out = lightingFromSources(params, files);
    return device::kOk;
}

WriteOutcome writeLighting(device::Commands& commands, const std::filesystem::path& dataFolder,
                           const model::Lighting& l, bool uploadColours) {
    WriteOutcome outcome;
    for (int p = 0; p < 3; ++p) {
        const auto bytes = paramBytes(l.profiles[static_cast<size_t>(p)]);
        int rc = lighting::writeParams(commands, {{lighting::paramAddress(p, 0), bytes}});
        if (rc != device::kOk && outcome.params == device::kOk) {
            outcome.params = rc;
        }
    }
    for (int p = 0; p < 3; ++p) {
        const auto path = lighting::userLightingFilePath(dataFolder, p);
        lighting::UserLightingFile file = lighting::UserLightingFile::load(path);
        fillUserFile(l.profiles[static_cast<size_t>(p)], file);
        outcome.filesSaved = file.save() && outcome.filesSaved;
    }
    if (uploadColours) {
        lighting::KeyColorTable table;
        for (int p = 0; p < 3; ++p) {
            const model::LightingProfile& lp = l.profiles[static_cast<size_t>(p)];
            const model::LightSlot& slot = lp.slots[static_cast<size_t>(lp.currentSlot)];
            for (int k = 0; k < kLitKeyCount; ++k) {
                table.setEntry(p, ledOfLitKey(k), slot.keys[static_cast<size_t>(k)].colour);
            }
            int rc = lighting::uploadKeyColors(commands, table, p);
            if (rc != device::kOk && outcome.colours == device::kOk) {
                outcome.colours = rc;
            }
        }
    }
    return outcome;
}

} // namespace tarvik::profiles::lightingio
