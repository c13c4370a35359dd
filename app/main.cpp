// tarvik: the keyboard's configuration program.
#include "app/Program.h"

int main(int argc, char** argv) {
    return tarvik::app::runProgram(argc, argv);
}
