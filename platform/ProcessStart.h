// Starting other programs detached from this one: in a session of their own and not our children, so
// they outlive us and leave no zombie behind. Always with an argument vector, never through a shell, so a
// path with blanks or quotes stays one path. Between fork and exec only async-signal-safe calls run,
// since the program has other threads.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace tarvik {

// Starts an executable file with its standard streams on /dev/null. False when the file is not an
// executable or could not be started.
bool startDetached(const std::filesystem::path& program, const std::vector<std::string>& args = {});

struct DetachedStart {
    bool started = false;
    int error = 0; // errno of the step that failed when not started
    long pid = 0;  // the started program's process id
};

// Runs program with arguments (argv[0] is the program's path) in workingFolder, with the signals' default
// actions; an empty folder, or one that cannot be entered, leaves the program in ours. started is true
// only when the program itself was executed.
DetachedStart startDetachedIn(const std::filesystem::path& program, const std::vector<std::string>& arguments,
                              const std::filesystem::path& workingFolder);

} // namespace tarvik
