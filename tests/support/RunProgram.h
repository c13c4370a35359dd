// Runs a program as a user runs it from a shell, its standard output and error caught in files.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/wait.h>

namespace tarvik::testsupport {

struct RunResult {
    int exitCode = -1;
    std::string out;
    std::string err;
};

// The whole file, byte for byte; empty when it cannot be read.
inline std::string readText(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

// Runs program with words (already quoted for the shell) and the environment additions in front
// (NAME=value ..., may be empty). Standard output and error go through the files stdout and stderr
// of scratchDir; exitCode is -1 when the program did not exit normally.
inline RunResult runProgram(const std::filesystem::path& program, const std::string& words,
                            const std::string& envAssignments, const std::filesystem::path& scratchDir) {
    const std::filesystem::path out = scratchDir / "stdout";
    const std::filesystem::path err = scratchDir / "stderr";
    const std::string command = "env " + envAssignments + " '" + program.string() + "' " + words + " >'" +
                                out.string() + "' 2>'" + err.string() + "'";
    const int status = std::system(command.c_str());
    RunResult r;
    r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    r.out = readText(out);
    r.err = readText(err);
    return r;
}

} // namespace tarvik::testsupport
