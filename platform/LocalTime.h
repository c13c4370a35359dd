// The calendar time of the computer's time zone, safe to ask from any thread.
#pragma once

#include <ctime>

namespace tarvik {

std::tm localTime(std::time_t when);

} // namespace tarvik
