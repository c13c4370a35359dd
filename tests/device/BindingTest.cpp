// Binding the service library: every missing piece ends the program silently with exit code 0, while
// tarvikctl's path gets the reason back.
#include "device/ServiceBinding.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <string>
#include <sys/wait.h>

namespace tarvik::device {
namespace {

const char* const kEntryPoints[] = {"Debug",
                                    "Init",
                                    "End",
                                    "RequestGetDeviceCount",
                                    "DeleteRequestFromUnitId",
                                    "DeleteRequestFromHandle",
                                    "RequestWrite",
                                    "RequestWriteOne",
                                    "RequestStatusWrite",
                                    "RequestStatusGet",
                                    "RequestAsyncRead",
                                    "RequestStatusSetFeature"};

std::string variantFolder(const std::string& variant) {
    return std::string(STUB_LIBRARY_ROOT) + "/" + variant;
}

struct ProbeRun {
    int exitCode = -1;
    std::string output; // stdout and stderr together
};

ProbeRun runProbe(const std::string& folder) {
    std::string command = std::string("'") + BIND_PROBE + "' '" + folder + "' 2>&1";
    ProbeRun run;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) {
        return run;
    }
    std::array<char, 256> buf{};
    size_t n = 0;
    while ((n = std::fread(buf.data(), 1, buf.size(), pipe)) > 0) {
        run.output.append(buf.data(), n);
    }
    int status = ::pclose(pipe);
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

TEST(Binding, ACompleteLibraryBinds) {
    ProbeRun run = runProbe(variantFolder("complete"));
    EXPECT_EQ(run.exitCode, 3);
    EXPECT_EQ(run.output, "bound\n");

    ServiceTable table;
    std::string detail;
    ASSERT_EQ(bindService(table, variantFolder("complete"), &detail), BindResult::Ok);
    EXPECT_NE(table.module, nullptr);
    EXPECT_NE(table.RequestStatusSetFeature, nullptr);
    EXPECT_NE(table.Debug, nullptr);
}

TEST(Binding, EachMissingEntryPointEndsTheProgramSilently) {
    for (const char* name : kEntryPoints) {
        SCOPED_TRACE(name);
        std::string folder = variantFolder(std::string("without-") + name);
        ProbeRun run = runProbe(folder);
        EXPECT_EQ(run.exitCode, 0);
        EXPECT_EQ(run.output, "");

        ServiceTable table;
        std::string detail;
        EXPECT_EQ(bindService(table, folder, &detail), BindResult::MissingEntryPoint);
        EXPECT_EQ(detail, name);
        EXPECT_EQ(table.module, nullptr);
        EXPECT_EQ(describeBindFailure(BindResult::MissingEntryPoint, detail),
                  std::string("libportmux.so has no entry point ") + name);
    }
}

TEST(Binding, InitAnsweringZeroEndsTheProgramSilently) {
    ProbeRun run = runProbe(variantFolder("init-zero"));
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.output, "");

    ServiceTable table;
    EXPECT_EQ(bindService(table, variantFolder("init-zero"), nullptr), BindResult::InitFailed);
}

TEST(Binding, AMissingLibraryEndsTheProgramSilently) {
    // No libportmux.so in the folder, none on the default search path of the probe either.
    ProbeRun run = runProbe(variantFolder("empty"));
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.output, "");

    ServiceTable table;
    std::string detail;
    EXPECT_EQ(bindService(table, variantFolder("empty"), &detail), BindResult::NoLibrary);
    EXPECT_EQ(describeBindFailure(BindResult::NoLibrary, detail), "cannot load libportmux.so");
}

} // namespace
} // namespace tarvik::device
