// The lighting part of a readable profile file and where it lives: the lighting parameters of the three
// on-board profiles in the keyboard's settings area, and their colour layouts in the user lighting files
// of the data folder.
#pragma once

#include "device/Commands.h"
#include "lighting/ProfileParams.h"
#include "lighting/UserLightingFile.h"
#include "profiles/ProfileModel.h"

#include <array>
#include <filesystem>
#include <string>

namespace tarvik::profiles::lightingio {

// The bytes 0-15 of a settings record that the model carries (mode ... report rate).
inline constexpr size_t kModelParamBytes = 16;

// The model of the three records and the three user lighting files (missing values read as the files'
// defaults). Report-rate bytes above 3 are taken as 3, as the program takes them.
model::Lighting lightingFromSources(const lighting::ParamsBlocks& params,
                                    const std::array<lighting::UserLightingFile, 3>& files);

// Bytes 0-15 of profile p's settings record.
std::array<uint8_t, kModelParamBytes> paramBytes(const model::LightingProfile& profile);

// Puts the layouts of a profile into its user lighting file (slot names, brushes, colours, every lit key,
// the current slot); other entries of the file stay.
void fillUserFile(const model::LightingProfile& profile, lighting::UserLightingFile& file);

// Reads the three settings records from the keyboard and the three user lighting files of dataFolder.
// Returns 1, or the keyboard's result when the records could not be read.
int readLighting(device::Commands& commands, const std::filesystem::path& dataFolder, model::Lighting& out);

// What writing the lighting did: the settings records (one frame per profile), the user lighting files,
// and the current slot's colours of each profile sent to the keyboard (only when it has the user mode).
struct WriteOutcome {
    int params = 1; // 1 or the first failing result
    bool filesSaved = true;
    int colours = 1; // 1 or the first failing result
    bool ok() const { return params == 1 && filesSaved && colours == 1; }
};
WriteOutcome writeLighting(device::Commands& commands, const std::filesystem::path& dataFolder,
                           const model::Lighting& lighting, bool uploadColours);

} // namespace tarvik::profiles::lightingio
