// The two profile file formats of tarvikctl: the program's binary profile file (.tvk and the cache file)
// and the readable JSON file. A command takes the format from --format, else from the file's extension
// (".json" is JSON, anything else the binary format).
#pragma once

#include "cli/CliCommand.h"
#include "profiles/ProfileFiles.h"
#include "profiles/ProfileModel.h"

#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tarvik::cli {

enum class FileFormat { Tvk, Json };

std::optional<FileFormat> formatFromName(std::string_view name); // "tvk" or "json"
FileFormat formatOfPath(const std::filesystem::path& path);
std::string_view formatName(FileFormat format);

// The words of a file command: [--format tvk|json] [--with-lighting] and the file arguments.
struct FileArgs {
    std::optional<FileFormat> format;
    bool withLighting = false;
    std::vector<std::string> files;
};
// False with one line on ctx.err (usage error) for an unknown option or value.
bool parseFileArgs(CliContext& ctx, std::string_view command, std::span<const std::string_view> args,
                   bool allowLighting, FileArgs& out);

// Reads a profile file of either format into its model. The binary format goes through every check an
// import makes. False with a one-line reason (for the JSON format "$.path: what").
bool readProfileDocument(const std::filesystem::path& path, FileFormat format, profiles::model::Document& out,
                         std::string& reason);

// Writes a checked document (whole or not at all). The binary format leaves the lighting out.
bool writeProfileDocument(const std::filesystem::path& path, FileFormat format,
                          const profiles::model::Document& doc, std::string& reason);

// Why import refuses the binary profile file at path, in words ("no such file", "it is a folder, not a
// file", the header's problems, ...).
std::string describeRefusal(const profiles::ProfileFileCheck& check, const std::filesystem::path& path);

// "$.path: what", or just "what" when the problem is the whole document's.
std::string describeProblem(const profiles::model::Problem& problem);

} // namespace tarvik::cli
