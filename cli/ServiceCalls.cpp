#include "cli/ServiceCalls.h"

#include "cli/CliCommand.h"
#include "cli/ProfileFormats.h"

#include <charconv>
#include <filesystem>
#include <sstream>

namespace tarvik::cli::service {

namespace {

std::optional<int32_t> wholeNumber(std::string_view word) {
    int32_t n = 0;
    const char* end = word.data() + word.size();
    auto [at, ec] = std::from_chars(word.data(), end, n);
    if (ec != std::errc{} || at != end || word.empty()) {
        return std::nullopt;
    }
    return n;
}

// A path as the program must get it; "-" (a standard stream of the client) cannot go over the bus.
std::optional<std::string> absolutePath(std::string_view word, const std::string& workingFolder, Call& call) {
    if (word.empty() || word == "-") {
        return std::nullopt;
    }
    std::filesystem::path p(word);
    if (p.is_absolute()) {
        return std::string(word);
    }
    std::string absolute = (std::filesystem::path(workingFolder) / p).lexically_normal().string();
    call.paths.emplace_back(absolute, std::string(word));
    return absolute;
}

std::optional<Call> fileCall(std::string_view member, std::span<const std::string_view> words, bool lighting,
                             const std::string& workingFolder) {
    std::ostringstream ignored;
    CliContext quiet{false, ignored, ignored};
    FileArgs fa;
    if (!parseFileArgs(quiet, "", words, lighting, fa) || fa.files.size() != 1) {
        return std::nullopt;
    }
    Call call{std::string(member), {}, {}};
    auto path = absolutePath(fa.files[0], workingFolder, call);
    if (!path) {
        return std::nullopt;
    }
    call.arguments.emplace_back(*path);
    call.arguments.emplace_back(fa.format ? std::string(formatName(*fa.format)) : std::string());
    if (lighting) {
        call.arguments.emplace_back(fa.withLighting);
    }
    return call;
}

std::optional<Call> oneNumberCall(std::string_view member, std::span<const std::string_view> rest) {
    if (rest.size() != 1) {
        return std::nullopt;
    }
    auto n = wholeNumber(rest[0]);
    if (!n) {
        return std::nullopt;
    }
    return Call{std::string(member), {*n}, {}};
}

std::optional<Call> assignCall(std::span<const std::string_view> rest) {
    std::optional<int32_t> profile;
    std::vector<std::string> words;
    for (size_t i = 0; i < rest.size(); ++i) {
        if (rest[i] == "--profile" && i + 1 < rest.size()) {
            profile = wholeNumber(rest[++i]);
            if (!profile) {
                return std::nullopt;
            }
        } else {
            words.emplace_back(rest[i]);
        }
    }
    if (!profile || words.size() != 2) {
        return std::nullopt;
    }
    return Call{"Assign", {*profile, words[0], words[1]}, {}};
}

std::optional<Call> lightingCall(std::span<const std::string_view> rest, const std::string& workingFolder) {
    if (rest.empty()) {
        return std::nullopt;
    }
    if (rest[0] == "show") {
        return rest.size() == 1 ? std::optional<Call>(Call{"LightingGet", {}, {}}) : std::nullopt;
    }
    Call call{"LightingSet", {}, {}};
    std::vector<std::string> words(rest.begin(), rest.end());
    // The file of upload-colours is its first word that is not --slot or the slot's value.
    if (rest[0] == "upload-colours") {
        for (size_t i = 1; i < words.size(); ++i) {
            if (words[i] == "--slot") {
                ++i;
                continue;
            }
            auto path = absolutePath(words[i], workingFolder, call);
            if (!path) {
                return std::nullopt;
            }
            words[i] = *path;
            break;
        }
    }
    call.arguments.emplace_back(std::move(words));
    return call;
}

bool fits(const std::vector<Argument>& arguments, std::string_view signature) {
    const auto types = argumentTypes(signature);
    if (arguments.size() != types.size()) {
        return false;
    }
    for (size_t i = 0; i < types.size(); ++i) {
        const Argument& a = arguments[i];
        const bool ok = (types[i] == "i" && std::holds_alternative<int32_t>(a)) ||
                        (types[i] == "b" && std::holds_alternative<bool>(a)) ||
                        (types[i] == "s" && std::holds_alternative<std::string>(a)) ||
                        (types[i] == "as" && std::holds_alternative<std::vector<std::string>>(a));
        if (!ok) {
            return false;
        }
    }
    return true;
}

bool addFormat(std::vector<std::string>& line, const std::string& format, std::string& why) {
    if (format.empty()) {
        return true;
    }
    if (!formatFromName(format)) {
        why = "tarvikctl: " + line[0] + ": --format takes tvk or json";
        return false;
    }
    line.insert(line.end(), {"--format", format});
    return true;
}

bool addPath(std::vector<std::string>& line, const std::string& path, std::string& why) {
    if (!std::filesystem::path(path).is_absolute()) {
        why = "tarvikctl: " + line[0] + ": the program needs an absolute path, not '" + path + "'";
        return false;
    }
    line.push_back(path);
    return true;
}

} // namespace

const MethodInfo* findMethod(std::string_view member) {
    for (const MethodInfo& m : kMethods) {
        if (m.member == member) {
            return &m;
        }
    }
    return nullptr;
}

std::vector<std::string_view> argumentTypes(std::string_view signature) {
    std::vector<std::string_view> types;
    for (size_t i = 0; i < signature.size(); ++i) {
        const size_t length = signature[i] == 'a' && i + 1 < signature.size() ? 2 : 1;
        types.push_back(signature.substr(i, length));
        i += length - 1;
    }
    return types;
}

std::optional<Call> callOf(std::span<const std::string_view> words, const std::string& workingFolder) {
    if (words.empty()) {
        return std::nullopt;
    }
    const std::string_view command = words[0];
    const auto rest = words.subspan(1);
    if (command == "status") {
        return rest.empty() ? std::optional<Call>(Call{"Status", {}, {}}) : std::nullopt;
    }
    if (command == "macros") {
        return rest.empty() ? std::optional<Call>(Call{"Macros", {}, {}}) : std::nullopt;
    }
    if (command == "profile") {
        return oneNumberCall("SwitchProfile", rest);
    }
    if (command == "report-rate") {
        return oneNumberCall("SetReportRate", rest);
    }
    if (command == "assign") {
        return assignCall(rest);
    }
    if (command == "import") {
        return fileCall("Import", rest, false, workingFolder);
    }
    if (command == "export") {
        return fileCall("Export", rest, true, workingFolder);
    }
    if (command == "lighting") {
        return lightingCall(rest, workingFolder);
    }
    if (command == "app-profiles") {
        return Call{"AppProfiles", {std::vector<std::string>(rest.begin(), rest.end())}, {}};
    }
    return std::nullopt;
}

std::optional<std::vector<std::string>>
commandLineOf(const MethodInfo& method, const std::vector<Argument>& arguments, std::string& why) {
    std::vector<std::string> line{std::string(method.command)};
    if (!fits(arguments, method.signature)) {
        why = "tarvikctl: " + line[0] + ": the method " + std::string(method.member) + " takes (" +
              std::string(method.signature) + "a{sv})";
        return std::nullopt;
    }
    auto text = [&](size_t i) -> const std::string& { return std::get<std::string>(arguments[i]); };
    auto number = [&](size_t i) { return std::to_string(std::get<int32_t>(arguments[i])); };
    const std::string_view m = method.member;
    if (m == "SwitchProfile" || m == "SetReportRate") {
        line.push_back(number(0));
    } else if (m == "Assign") {
        line.insert(line.end(), {"--profile", number(0), text(1), text(2)});
    } else if (m == "Import" || m == "Export") {
        if (!addFormat(line, text(1), why)) {
            return std::nullopt;
        }
        if (m == "Export" && std::get<bool>(arguments[2])) {
            line.emplace_back("--with-lighting");
        }
        if (!addPath(line, text(0), why)) {
            return std::nullopt;
        }
    } else if (m == "LightingGet") {
        line.emplace_back("show");
    } else if (m == "LightingSet" || m == "AppProfiles") {
        const auto& words = std::get<std::vector<std::string>>(arguments[0]);
        line.insert(line.end(), words.begin(), words.end());
    }
    return line;
}

Outcome runHosted(const std::vector<std::string>& commandLine, bool json, HostedLink& link) {
    Outcome outcome;
    std::ostringstream out;
    std::ostringstream err;
    CliContext ctx{json, out, err, true, "program"};
    const CliCommand* command = nullptr;
    for (const CliCommand* c : commandTable()) {
        if (!commandLine.empty() && c->name == commandLine[0]) {
            command = c;
        }
    }
    if (command == nullptr) {
        outcome.exitCode = 2;
        outcome.messages = "tarvikctl: no such command\n";
        return outcome;
    }
    std::vector<std::string_view> args(commandLine.begin() + 1, commandLine.end());
    {
        HostedLinkScope scope(link);
        outcome.exitCode = command->run(ctx, args);
    }
    outcome.output = out.str();
    outcome.messages = err.str();
    return outcome;
}

std::string_view errorNameOf(const Outcome& outcome) {
    if (outcome.exitCode == 2) {
        return kErrorInvalidArguments;
    }
    if (outcome.messages.find(": no keyboard attached") != std::string::npos) {
        return kErrorNoKeyboard;
    }
    return kErrorFailed;
}

int exitCodeOfError(std::string_view errorName) {
    return errorName == kErrorInvalidArguments ? 2 : 1;
}

std::string restorePaths(std::string text, const Call& call) {
    for (const auto& [absolute, written] : call.paths) {
        for (size_t at = text.find(absolute); at != std::string::npos;
             at = text.find(absolute, at + written.size())) {
            text.replace(at, absolute.size(), written);
        }
    }
    return text;
}

} // namespace tarvik::cli::service
