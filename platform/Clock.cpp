// Tick counter over CLOCK_MONOTONIC and the zone bias from localtime_r.
#include "platform/Clock.h"

#include <time.h>

uint32_t GetTickCount() {
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    uint64_t ms =
        static_cast<uint64_t>(ts.tv_sec) * 1000u + static_cast<uint64_t>(ts.tv_nsec) / 1000000u;
    return static_cast<uint32_t>(ms);
}

bool GetLocalZoneBias(time_t t, int32_t& biasMinutes) {
    tm local;
    if (!localtime_r(&t, &local))
        return false;
    biasMinutes = static_cast<int32_t>(-local.tm_gmtoff / 60);
    return true;
}
