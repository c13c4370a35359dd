// tarvik: the keyboard's configuration program.
#include "app/Program.h"

#include <malloc.h>

int main(int argc, char** argv) {
    // One heap for every thread, before any other thread starts. The device, presence and bus threads of
    // a program that stays resident all day allocate little and seldom; a heap of their own each would
    // hold its pages for nothing.
    mallopt(M_ARENA_MAX, 1);
    // Large blocks (a picture being decoded or converted) are mapped and given back whole when freed. Left
    // to itself the allocator raises this bound to the largest block freed so far, and every later block
    // below it lands in the heap, whose freed middle stays resident.
    mallopt(M_MMAP_THRESHOLD, 128 * 1024);
    return tarvik::app::runProgram(argc, argv);
}
