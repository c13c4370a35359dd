#include "platform/LocalTime.h"

namespace tarvik {

std::tm localTime(std::time_t when) {
    std::tm local{};
    ::localtime_r(&when, &local);
    return local;
}

} // namespace tarvik
