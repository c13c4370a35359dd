// tarvikctl convert IN OUT: a profile file from one format into the other (or into the same, tidied),
// without the keyboard.
#include "cli/CliCommand.h"
#include "cli/ProfileFormats.h"

namespace tarvik::cli {

namespace {

int runConvert(CliContext& ctx, std::span<const std::string_view> args) {
    FileArgs fa;
    if (!parseFileArgs(ctx, "convert", args, false, fa)) {
        return 2;
    }
    if (fa.files.size() != 2) {
        ctx.err << "tarvikctl: convert: expected IN and OUT (see tarvikctl convert --help)\n";
        return 2;
    }
    const std::string& in = fa.files[0];
    const std::string& out = fa.files[1];
    const FileFormat from = formatOfPath(in);
    const FileFormat to = fa.format.value_or(formatOfPath(out));
    profiles::model::Document doc;
    std::string reason;
    if (!readProfileDocument(in, from, doc, reason)) {
        ctx.err << "tarvikctl: convert: " << in << ": " << reason << '\n';
        return 1;
    }
    if (to == FileFormat::Tvk && doc.lighting) {
        ctx.err << "tarvikctl: convert: note: a binary profile file has no lighting; " << in
                << "'s lighting is left out\n";
    }
    if (!writeProfileDocument(out, to, doc, reason)) {
        ctx.err << "tarvikctl: convert: " << reason << '\n';
        return 1;
    }
    ctx.out << "converted " << in << " (" << formatName(from) << ") to " << out << " (" << formatName(to)
            << ")\n";
    return 0;
}

} // namespace

extern const CliCommand kConvertCommand{
    "convert", "convert [--format tvk|json] IN OUT", "Convert a profile file between .tvk and JSON",
    "Reads the profile file IN (.json: the readable JSON profile, anything else the binary profile file),\n"
    "checks it as import would, and writes it as OUT in the format --format gives, else OUT's extension.\n"
    "A .tvk that the program wrote comes back byte for byte from its JSON form. The keyboard is not\n"
    "needed. Exit status 1 when IN is refused or OUT cannot be written.",
    runConvert};

} // namespace tarvik::cli
