// Small helpers the whole-program test desks share: programs found on PATH, environment entries,
// file names from step titles, the end of a log for an error message, where a skin places a control.
#pragma once

#include "tests/e2e/Desktop.h"

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tarvik::e2e {

// The full path of a program on PATH (programs are started without a shell); the name itself when none.
std::filesystem::path which(const std::string& name);
// NAME of a NAME=value entry.
std::string nameOf(const std::string& assignment);
// Replaces or adds NAME=value entries.
void assign(std::vector<std::string>& env, const std::vector<std::string>& entries);
// The test's own environment without what ties a program to a desktop or session (displays, session bus,
// XDG folders, the virtual keyboard's and wlroots' settings): a desk adds its own.
std::vector<std::string> environmentWithoutDesk();
// What is left of a log for an error message.
std::string tail(const std::filesystem::path& log);
// The screen point at the centre of a control ("BUTTONINFO" rectangle of a skin layout file) of a window
// placed at window; none when the file does not place the control.
std::optional<ScreenPoint> controlCentre(const ScreenRect& window, const std::filesystem::path& layoutFile,
                                         std::string_view key);
// The arguments of wlinput's "chord" verb for evdev key codes pressed together.
std::vector<std::string> chordArguments(const std::vector<int>& codes);
// A title as part of a file name: every character but letters and digits becomes '-'.
std::string safeName(const std::string& what);

} // namespace tarvik::e2e
