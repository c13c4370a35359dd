// Binds the service library the way the program does, from the folder given, and says so. A binding
// failure must end this process with exit code 0 before it prints anything.
#include "device/ServiceBinding.h"

#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: bind_probe FOLDER\n");
        return 2;
    }
    tarvik::device::ServiceTable table;
    tarvik::device::bindServiceOrExit(table, argv[1]);
    std::printf("bound\n");
    return 3;
}
