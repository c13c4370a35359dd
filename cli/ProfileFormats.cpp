#include "cli/ProfileFormats.h"

#include "platform/AtomicFile.h"
#include "platform/FileChecks.h"
#include "profiles/ProfileFiles.h"
#include "profiles/ProfileJson.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>

namespace tarvik::cli {

namespace model = profiles::model;

std::optional<FileFormat> formatFromName(std::string_view name) {
    if (name == "tvk") {
        return FileFormat::Tvk;
    }
    if (name == "json") {
        return FileFormat::Json;
    }
    return std::nullopt;
}

FileFormat formatOfPath(const std::filesystem::path& path) {
    std::string ext = path.extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; });
    return ext == ".json" ? FileFormat::Json : FileFormat::Tvk;
}

std::string_view formatName(FileFormat format) {
    return format == FileFormat::Json ? "json" : "tvk";
}

bool parseFileArgs(CliContext& ctx, std::string_view command, std::span<const std::string_view> args,
                   bool allowLighting, FileArgs& out) {
    for (size_t i = 0; i < args.size(); ++i) {
        std::string_view a = args[i];
        if (a == "--format") {
            if (i + 1 >= args.size() || !formatFromName(args[i + 1])) {
                ctx.err << "tarvikctl: " << command << ": --format takes tvk or json\n";
                return false;
            }
            out.format = formatFromName(args[++i]);
        } else if (a.starts_with("--format=")) {
            out.format = formatFromName(a.substr(9));
            if (!out.format) {
                ctx.err << "tarvikctl: " << command << ": --format takes tvk or json\n";
                return false;
            }
        } else if (a == "--with-lighting" && allowLighting) {
            out.withLighting = true;
        } else if (a.size() > 1 && a[0] == '-' && a != "-") {
            ctx.err << "tarvikctl: " << command << ": unknown option '" << a << "' (see tarvikctl " << command
                    << " --help)\n";
            return false;
        } else {
            out.files.emplace_back(a);
        }
    }
    return true;
}

std::string describeProblem(const model::Problem& problem) {
    if (problem.path.empty() || problem.path == "$") {
        return problem.message;
    }
    return problem.path + ": " + problem.message;
}

std::string describeRefusal(const profiles::ProfileFileCheck& c, const std::filesystem::path& path) {
    switch (c.result) {
    case profiles::kCannotOpen:
        return unreadableReason(path, 0);
    case profiles::kOutOfMemory:
        return "out of memory while reading it";
    default:
        break;
    }
    if (c.result == 0 && !c.badHeader) {
        if (c.fileSize == 0 && c.check.problems.empty()) {
            return unreadableReason(path, 0);
        }
        return "it holds " + std::to_string(c.fileSize) + " bytes; a profile file has at least " +
               std::to_string(profiles::kMinProfileFileSize) + " and less than 4 GiB";
    }
    std::string out;
    for (profiles::ProfileProblem p : c.check.problems) {
        out += (out.empty() ? "" : "; ") + std::string(profiles::describe(p));
        if (p == profiles::ProfileProblem::TextOutsidePool ||
            p == profiles::ProfileProblem::TextNotTerminated) {
            out += " (record " + std::to_string(c.check.firstBadRecord) + ")";
        }
    }
    return out;
}

bool readProfileDocument(const std::filesystem::path& path, FileFormat format, model::Document& out,
                         std::string& reason) {
    if (format == FileFormat::Json) {
        std::optional<std::vector<uint8_t>> bytes;
        try {
            bytes = readWholeFile(path, profiles::json::kMaxDocumentBytes);
        } catch (const std::bad_alloc&) {
            bytes.reset();
        }
        if (!bytes) {
            reason = unreadableReason(path, profiles::json::kMaxDocumentBytes);
            return false;
        }
        model::Problem problem;
        const std::string_view text(reinterpret_cast<const char*>(bytes->data()), bytes->size());
        if (!profiles::json::readDocument(text, out, problem)) {
            reason = describeProblem(problem);
            return false;
        }
        return true;
    }
    profiles::ProfileFileCheck c = profiles::checkProfileFile(path);
    if (c.result != 1 || !c.loadable) {
        reason = describeRefusal(c, path);
        return false;
    }
    profiles::WorkingCopy working;
    if (!profiles::parseProfile(c.bytes, working)) {
        reason = "the file could not be loaded";
        return false;
    }
    model::Problem problem;
    if (!model::documentFromStore(working, out, problem)) {
        reason = "it holds what a readable profile cannot say: " + describeProblem(problem);
        return false;
    }
    return true;
}

bool writeProfileDocument(const std::filesystem::path& path, FileFormat format, const model::Document& doc,
                          std::string& reason) {
    std::vector<uint8_t> bytes;
    try {
        if (format == FileFormat::Json) {
            const std::string text = profiles::json::writeDocument(doc);
            bytes.assign(text.begin(), text.end());
        } else {
            bytes = model::profileBytesFromDocument(doc);
        }
    } catch (const std::bad_alloc&) {
        reason = "out of memory";
        return false;
    }
    if (bytes.empty()) {
        reason = "the contents do not fit a profile file";
        return false;
    }
    if (std::string why; !writeFileAtomically(path, bytes, &why)) {
        reason = "cannot write " + path.string() + (why.empty() ? "" : ": " + why);
        return false;
    }
    return true;
}

} // namespace tarvik::cli
