#include "cli/CliCommand.h"

namespace tarvik::cli {

// One line per command; each is defined in its own Cmd*.cpp file.
extern const CliCommand kStatusCommand;
extern const CliCommand kProfileCommand;
extern const CliCommand kReportRateCommand;
extern const CliCommand kKeysCommand;
extern const CliCommand kExportCommand;
extern const CliCommand kImportCommand;
extern const CliCommand kValidateCommand;
extern const CliCommand kConvertCommand;
extern const CliCommand kDiffCommand;
extern const CliCommand kWatchCommand;
extern const CliCommand kDoctorCommand;
extern const CliCommand kMacrosCommand;
extern const CliCommand kAssignCommand;
extern const CliCommand kLightingCommand;
extern const CliCommand kAppProfilesCommand;

std::span<const CliCommand* const> commandTable() {
    // One entry per line, so that each command's line stands alone.
    // clang-format off
    static const CliCommand* const table[] = {
        &kStatusCommand,
        &kProfileCommand,
        &kReportRateCommand,
        &kKeysCommand,
        &kExportCommand,
        &kImportCommand,
        &kValidateCommand,
        &kConvertCommand,
        &kDiffCommand,
        &kWatchCommand,
        &kDoctorCommand,
        &kMacrosCommand,
        &kAssignCommand,
        &kLightingCommand,
        &kAppProfilesCommand,
    };
    // clang-format on
    return table;
}

} // namespace tarvik::cli
