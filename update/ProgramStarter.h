// Starting another program (the firmware update program) detached from this one: its own session, not
// our child, so it outlives us and leaves no zombie behind. Always with an argument vector, never
// through a shell, so a path with blanks or quotes stays one path.
#pragma once

#include "platform/ProcessStart.h"

#include <filesystem>
#include <string>
#include <vector>

namespace tarvik::update {

using StartResult = DetachedStart;

class ProgramStarter {
public:
    virtual ~ProgramStarter() = default;
    // Runs program with arguments (argv[0] is the program's path) in workingFolder; an empty folder, or
    // one that cannot be entered, leaves the program in ours. started is true only when the program
    // itself was executed: a file that is missing, not executable or not a program gives false.
    virtual StartResult start(const std::filesystem::path& program, const std::vector<std::string>& arguments,
                              const std::filesystem::path& workingFolder) = 0;
};

// The real one: fork, a new session, fork again and exec; the middle process ends at once and is
// reaped here, so the program is adopted by init. Only async-signal-safe calls run between fork and
// exec, since the program has other threads.
class DetachedProgramStarter final : public ProgramStarter {
public:
    StartResult start(const std::filesystem::path& program, const std::vector<std::string>& arguments,
                      const std::filesystem::path& workingFolder) override;
};

} // namespace tarvik::update
