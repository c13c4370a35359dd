// tarvikctl lighting ...: the lighting of the keyboard's current on-board profile, through the same
// lighting state the program's panel uses.
#include "cli/CliCommand.h"
#include "cli/CliSupport.h"
#include "cli/DeviceSession.h"
#include "device/OnBoardProfile.h"
#include "lighting/KeyButtons.h"
#include "lighting/LightingState.h"
#include "lighting/ModeNames.h"
#include "lighting/UserFiles.h"
#include "lighting/UserLightingFile.h"
#include "platform/IniFile.h"
#include "platform/Paths.h"
#include "platform/Utf.h"
#include "profiles/DataFolder.h"
#include "ui/TextTable.h"

#include <charconv>
#include <optional>
#include <string>
#include <vector>

namespace tarvik::cli {

namespace {

using lighting::LightingState;
using lighting::Rgb;

constexpr int kUsageError = 2;
constexpr int kFailed = 1;

std::optional<int> parseInt(std::string_view s, int lo, int hi) {
    int v = 0;
    const char* end = s.data() + s.size();
    auto [at, ec] = std::from_chars(s.data(), end, v);
    if (s.empty() || ec != std::errc{} || at != end || v < lo || v > hi) {
        return std::nullopt;
    }
    return v;
}

// "R,G,B" with three numbers 0..255 and nothing else.
std::optional<Rgb> parseColour(std::string_view s) {
    int c[3] = {};
    for (int i = 0; i < 3; ++i) {
        size_t comma = i < 2 ? s.find(',') : s.size();
        if (comma == std::string_view::npos) {
            return std::nullopt;
        }
        auto v = parseInt(s.substr(0, comma), 0, 255);
        if (!v) {
            return std::nullopt;
        }
        c[i] = *v;
        s = i < 2 ? s.substr(comma + 1) : std::string_view{};
    }
    return Rgb{static_cast<uint8_t>(c[0]), static_cast<uint8_t>(c[1]), static_cast<uint8_t>(c[2])};
}

std::string colourText(Rgb c, bool json) {
    std::string sep = json ? ", " : ",";
    std::string s = std::to_string(c.r) + sep + std::to_string(c.g) + sep + std::to_string(c.b);
    return json ? "[" + s + "]" : s;
}

int usage(CliContext& ctx, std::string_view what) {
    ctx.err << "tarvikctl: lighting: " << what << " (see tarvikctl lighting --help)\n";
    return kUsageError;
}

// The button whose light sits at an LED matrix position: a key button or Fn; -1 for the G keys' 125 and
// positions without a key.
int buttonAtPosition(int position) {
    for (int b = 0; b < lighting::kKeyButtonCount; ++b) {
        if (lighting::ledOfButton(b) == position) {
            return b;
        }
    }
    return position == lighting::kFnLedPosition ? lighting::kFnButton : -1;
}

// What a subcommand asks for, checked before the keyboard is opened.
struct Request {
    std::string_view command;
    int number = 0;
    Rgb colour;
    bool flag = false;
    std::string file;
    std::optional<int> slot;
};

std::optional<Request> parseRequest(CliContext& ctx, std::span<const std::string_view> args) {
    if (args.empty()) {
        usage(ctx, "expected a subcommand");
        return std::nullopt;
    }
    Request r;
    r.command = args[0];
    auto rest = args.subspan(1);
    auto want = [&](size_t n, std::string_view shape) {
        if (rest.size() != n) {
            usage(ctx, std::string(r.command) + " expects " + std::string(shape));
            return false;
        }
        return true;
    };
    auto number = [&](std::string_view text, int lo, int hi, std::string_view what) {
        auto v = parseInt(text, lo, hi);
        if (!v) {
            usage(ctx, std::string(what) + " must be " + std::to_string(lo) + "-" + std::to_string(hi) +
                           ", not '" + std::string(text) + "'");
            return false;
        }
        r.number = *v;
        return true;
    };
    auto colour = [&](std::string_view text) {
        auto c = parseColour(text);
        if (!c) {
            usage(ctx, "a colour is R,G,B with each of R, G, B 0-255, not '" + std::string(text) + "'");
            return false;
        }
        r.colour = *c;
        return true;
    };

    if (r.command == "show" || r.command == "defaults") {
        return want(0, "no arguments") ? std::optional(r) : std::nullopt;
    }
    if (r.command == "mode") {
        return want(1, "a mode code") && number(rest[0], 1, 255, "the mode code") ? std::optional(r)
                                                                                  : std::nullopt;
    }
    if (r.command == "brightness" || r.command == "speed") {
        return want(1, "a value 0-5") && number(rest[0], 0, 5, r.command) ? std::optional(r) : std::nullopt;
    }
    if (r.command == "direction") {
        return want(1, "0 or 1") && number(rest[0], 0, 1, "the direction") ? std::optional(r) : std::nullopt;
    }
    if (r.command == "preset") {
        return want(1, "a preset 0-3") && number(rest[0], 0, 3, "the preset") ? std::optional(r)
                                                                              : std::nullopt;
    }
    if (r.command == "colour" || r.command == "color") {
        r.command = "colour";
        return want(1, "R,G,B") && colour(rest[0]) ? std::optional(r) : std::nullopt;
    }
    if (r.command == "random") {
        if (!want(1, "on or off")) {
            return std::nullopt;
        }
        if (rest[0] != "on" && rest[0] != "off") {
            usage(ctx, "random expects on or off, not '" + std::string(rest[0]) + "'");
            return std::nullopt;
        }
        r.flag = rest[0] == "on";
        return r;
    }
    if (r.command == "paint") {
        if (!want(2, "POSITION R,G,B") || !number(rest[0], 0, 125, "the LED position") || !colour(rest[1])) {
            return std::nullopt;
        }
        if (buttonAtPosition(r.number) < 0) {
            usage(ctx, "no key button has LED position " + std::to_string(r.number) +
                           (r.number == lighting::kGLedPosition ? " (the G keys are not painted)" : ""));
            return std::nullopt;
        }
        return r;
    }
    if (r.command == "upload-colours" || r.command == "upload-colors") {
        r.command = "upload-colours";
        for (size_t i = 0; i < rest.size(); ++i) {
            std::string_view w = rest[i];
            std::string_view value;
            if (w == "--slot" && i + 1 < rest.size()) {
                value = rest[++i];
            } else if (w.rfind("--slot=", 0) == 0) {
                value = w.substr(7);
            } else if (w.rfind("--", 0) != 0 && r.file.empty()) {
                r.file = std::string(w);
                continue;
            } else {
                usage(ctx, "upload-colours expects FILE.userd [--slot S]");
                return std::nullopt;
            }
            auto s = parseInt(value, 0, lighting::kSlotCount - 1);
            if (!s) {
                usage(ctx, "the slot must be 0-9, not '" + std::string(value) + "'");
                return std::nullopt;
            }
            r.slot = *s;
        }
        if (r.file.empty()) {
            usage(ctx, "upload-colours expects FILE.userd [--slot S]");
            return std::nullopt;
        }
        return r;
    }
    usage(ctx, "unknown subcommand '" + std::string(r.command) + "'");
    return std::nullopt;
}

int show(CliContext& ctx, const LightingState& state) {
    lighting::ProfileParams raw =
        lighting::decodeParams(state.blocks()[static_cast<size_t>(state.profile())]);
    loadUiTexts();
    const int language = ui::uiTexts().language();
    const auto mainFile = lighting::mainSkinFile(paths::programFolder() / "Skins");
    std::error_code ec;
    const bool named = std::filesystem::is_regular_file(mainFile, ec);
    const IniFile mainIni = IniFile::load(mainFile);
    auto entries = lighting::modeEntries(state.modes(), mainIni, language);

    if (ctx.json) {
        ctx.out << "{\"profile\": " << state.profile() << ", \"mode\": " << int(raw.mode)
                << ", \"brightness\": " << int(raw.brightness) << ", \"speed\": " << int(raw.speed)
                << ", \"direction\": " << int(raw.direction)
                << ", \"random\": " << (raw.random ? "true" : "false")
                << ", \"colour\": " << colourText(raw.effectColour, true)
                << ", \"preset\": " << int(raw.preset)
                << ", \"baseColour\": " << colourText(raw.baseColour, true)
                << ", \"paintColour\": " << colourText(raw.paintColour, true)
                << ", \"reportRate\": " << int(raw.reportRate) << ", \"modes\": [";
        for (size_t i = 0; i < entries.size(); ++i) {
            ctx.out << (i ? ", " : "") << "{\"code\": " << int(entries[i].code)
                    << ", \"name\": " << jsonString(toUtf8(entries[i].name)) << "}";
        }
        ctx.out << "]}\n";
        return 0;
    }
    // Without the skin file every name would be the list's default text; the codes say more.
    std::string modeName;
    for (const auto& e : entries) {
        if (named && e.code == raw.mode) {
            modeName = " (" + toUtf8(e.name) + ")";
        }
    }
    ctx.out << "profile      " << state.profile() << '\n'
            << "mode         " << int(raw.mode) << modeName << '\n'
            << "brightness   " << int(raw.brightness) << '\n'
            << "speed        " << int(raw.speed) << " (slider position " << state.speedSliderPosition()
            << ")\n"
            << "direction    " << int(raw.direction) << '\n'
            << "random       " << (raw.random ? "on" : "off") << '\n'
            << "colour       " << colourText(raw.effectColour, false) << '\n'
            << "preset       " << int(raw.preset) << '\n'
            << "base colour  " << colourText(raw.baseColour, false) << '\n'
            << "paint colour " << colourText(raw.paintColour, false) << '\n'
            << "report rate  " << int(raw.reportRate) << '\n'
            << "modes       ";
    for (const auto& e : entries) {
        ctx.out << ' ' << int(e.code);
        if (named) {
            ctx.out << '=' << toUtf8(e.name);
        }
    }
    ctx.out << '\n';
    return 0;
}

int runLighting(CliContext& ctx, std::span<const std::string_view> args) {
    auto request = parseRequest(ctx, args);
    if (!request) {
        return kUsageError;
    }
    const Request& r = *request;

    DeviceSession session(ctx, "lighting");
    if (!session.openKeyboard()) {
        return kFailed;
    }
    device::Commands& commands = session.commands();
    const int profile = device::currentOnBoardProfile(commands, session.state());
    if (profile < 0) {
        session.fail("cannot read the keyboard's current profile");
        return kFailed;
    }

    // The user lighting files live in the data folder, installed from the template on first use as the
    // program does it.
    const auto skins = paths::programFolder() / "Skins";
    std::filesystem::path data = paths::dataFolder();
    if (r.command != "show") {
        auto made = profiles::ensureDataFolder(lighting::userFilesInstaller(skins));
        if (!made.empty()) {
            data = made;
            (void)lighting::installUserFiles(data, skins);
        }
    }

    LightingState state(commands, data);
    state.setProfile(profile);
    int rc = state.readLighting(LightingState::UserSlots::Skip);
    if (rc == lighting::kConfigReadFailed) {
        session.fail("cannot read the keyboard's configuration block");
        return kFailed;
    }
    if (rc != device::kOk) {
        session.fail("cannot read the lighting settings (" + device::describeResult(rc) + ")");
        return kFailed;
    }

    if (r.command == "show") {
        return show(ctx, state);
    }

    std::string done;     // what the human output says
    std::string jsonPart; // the JSON member(s) after "profile"
    bool filesOk = true;
    if (r.command == "mode") {
        if (!state.modes().supports(static_cast<uint8_t>(r.number))) {
            session.fail("the keyboard does not offer mode " + std::to_string(r.number));
            return kFailed;
        }
        state.selectModeCode(static_cast<uint8_t>(r.number));
        done = "mode " + std::to_string(r.number);
        jsonPart = "\"mode\": " + std::to_string(r.number);
    } else if (r.command == "brightness") {
        state.setBrightness(r.number);
        done = "brightness " + std::to_string(r.number);
        jsonPart = "\"brightness\": " + std::to_string(r.number);
    } else if (r.command == "speed") {
        state.setSpeed(lighting::kLevelMax - r.number);
        done = "speed " + std::to_string(r.number);
        jsonPart = "\"speed\": " + std::to_string(r.number);
    } else if (r.command == "direction") {
        state.setDirection(r.number);
        done = "direction " + std::to_string(r.number);
        jsonPart = "\"direction\": " + std::to_string(r.number);
    } else if (r.command == "colour") {
        state.setEffectColour(r.colour);
        done = "colour " + colourText(r.colour, false) + " (random colours off)";
        jsonPart = "\"colour\": " + colourText(r.colour, true) + ", \"random\": false";
    } else if (r.command == "random") {
        state.setRandom(r.flag);
        done = std::string("random colours ") + (r.flag ? "on" : "off");
        jsonPart = std::string("\"random\": ") + (r.flag ? "true" : "false");
    } else if (r.command == "preset") {
        state.setPreset(r.number);
        done = "preset " + std::to_string(r.number);
        jsonPart = "\"preset\": " + std::to_string(r.number);
    } else if (r.command == "defaults") {
        state.resetToDefaults();
        filesOk = state.user().takeFileSaved() || !state.modes().supports(lighting::kUserMode);
        done = "default lighting";
        jsonPart = "\"defaults\": true";
    } else if (r.command == "paint" || r.command == "upload-colours") {
        if (!state.modes().supports(lighting::kUserMode)) {
            session.fail("the keyboard has no user lighting mode");
            return kFailed;
        }
        lighting::UserLighting& user = state.user();
        user.setProfile(profile);
        (void)user.takeFileSaved();
        if (r.command == "paint") {
            user.refillSlots();
            user.loadSlot(false);
            int painted = user.paintWith(buttonAtPosition(r.number), r.colour);
            state.user().takeResult();
            if (painted != device::kOk) {
                session.fail(notTaken(commands, "the colour", painted));
                return kFailed;
            }
            filesOk = user.takeFileSaved();
            done = "LED position " + std::to_string(r.number) + " of slot " + std::to_string(user.slot()) +
                   ": " + colourText(r.colour, false);
            jsonPart = "\"slot\": " + std::to_string(user.slot()) +
                       ", \"position\": " + std::to_string(r.number) +
                       ", \"colour\": " + colourText(r.colour, true);
        } else {
            auto ini = IniFile::tryLoad(r.file);
            std::error_code ec;
            if (!ini || !std::filesystem::is_regular_file(r.file, ec)) {
                session.fail("cannot read " + r.file);
                return kFailed;
            }
            auto file = lighting::UserLightingFile::fromIni(std::move(*ini));
            int slot = r.slot.value_or(file.presentSlot());
            int uploaded = user.uploadSlotOf(file, slot);
            state.user().takeResult();
            if (uploaded != device::kOk) {
                session.fail(notTaken(commands, "the colours", uploaded));
                return kFailed;
            }
            done = "slot " + std::to_string(slot) + " of " + r.file + " sent";
            jsonPart = "\"slot\": " + std::to_string(slot) + ", \"file\": " + jsonString(r.file);
        }
    }

    if (state.lastResult() != device::kOk) {
        session.fail(notTaken(commands, done, state.lastResult()));
        return kFailed;
    }
    if (!filesOk) {
        session.fail("the keyboard took " + done + ", but the user lighting file of profile " +
                     std::to_string(profile) + " in " + data.string() + " could not be written");
        return kFailed;
    }
    if (ctx.json) {
        ctx.out << "{\"profile\": " << profile << ", " << jsonPart << "}\n";
    } else {
        ctx.out << "profile " << profile << ": " << done << '\n';
    }
    return 0;
}

} // namespace

extern const CliCommand kLightingCommand{
    "lighting", "lighting SUBCOMMAND [ARGS]", "Show or change the lighting of the current profile",
    "Works on the keyboard's current on-board profile; every change is sent at once.\n"
    "\n"
    "  show [--json]            mode, brightness, speed, direction, random colours, colours, preset and\n"
    "                           report rate as the keyboard holds them, and the modes it offers (names\n"
    "                           from Skins/Main.ini)\n"
    "  mode N                   select lighting mode N (one the keyboard offers; 20 = the user mode, which\n"
    "                           also sends the current user slot's key colours)\n"
    "  brightness B             0-5\n"
    "  speed V                  0-5, the keyboard's value (0 is the fastest)\n"
    "  direction D              1 = left / up / outward, 0 = right / down / inward\n"
    "  colour R,G,B             the effect colour (turns random colours off)\n"
    "  random on|off            random colours\n"
    "  preset K                 the colour of mode 17: 0 red, 1 yellow, 2 green, 3 blue\n"
    "  defaults                 the default lighting, the profile's user lighting file restored from the\n"
    "                           template and user slot 0 sent\n"
    "  paint POSITION R,G,B     colour one key (LED matrix position 0-125, row x 21 + column) in the "
    "current\n"
    "                           user slot, and send it\n"
    "  upload-colours FILE.userd [--slot S]\n"
    "                           send slot S (default: the file's current slot) of a user lighting file\n"
    "\n"
    "Exit status: 0 done, 1 the keyboard or a file did not take it, 2 bad arguments.",
    runLighting};

} // namespace tarvik::cli
