// What only the computer keeps of a configuration. The keyboard's key blocks carry no G-key records, no
// launch-program or text-block record (those keys go to the keyboard as their default function or as no
// function) and none of their texts, nothing of profile 3, and its macro area holds no names when they
// did not fit. A working copy read back from the keyboard lacks all of that; the cache file it replaces
// still has it.
#pragma once

#include "keyboard/DefaultLayout.h"
#include "profiles/AssignmentStore.h"

namespace tarvik::profiles {

// Copies into fromKeyboard (read from the keyboard) the host-only records of previous (the cache file's
// copy), each with its text: the G-key records of both layers in every profile, all of profile 3, and
// every launch-program or text-block record of profiles 0-2 whose key the keyboard still holds as that
// record put it there (a key changed on the keyboard since keeps the keyboard's function). When the
// keyboard's macro area carried no names (keyboardHadNames false), a macro that the keyboard holds at the
// same position and with the same cycles and actions as a macro of previous gets that macro's name back.
// Everything else stays as the keyboard has it.
void keepHostRecords(WorkingCopy& fromKeyboard, const WorkingCopy& previous,
                     const keyboard::DefaultLayout& layout, bool keyboardHadNames);

} // namespace tarvik::profiles
