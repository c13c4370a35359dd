// tarvik: the keyboard's configuration program.
#include "app/Program.h"

#include <malloc.h>

int main(int argc, char** argv) {
    // One heap for every thread, before any other thread starts. The device, presence and bus threads of
    // a program that stays resident all day allocate little and seldom; a heap of their own each would
    // hold its pages for nothing.
    mallopt(M_ARENA_MAX, 1);
    return tarvik::app::runProgram(argc, argv);
}
