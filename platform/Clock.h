// Millisecond tick counter and the local time zone.
#pragma once

#include <cstdint>
#include <ctime>

// Milliseconds since an arbitrary start, truncated to 32 bits: it wraps
// after about 49.7 days, so callers subtract with unsigned arithmetic.
uint32_t GetTickCount();

// The local zone's bias in minutes at time t (UTC = local + bias), so a zone
// one hour east of UTC gives -60. False when the system cannot say.
bool GetLocalZoneBias(time_t t, int32_t& biasMinutes);
