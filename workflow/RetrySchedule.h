// When a queued voice mail is tried again and when it is given up: after
// 1, 2, 5, 10 and 20 minutes, then every 30 minutes; 2 days after it was
// queued for the own server, 4 days for Direct delivery (RFC 5321 4.5.4.1
// asks for 4-5 days between mail servers). A value, so tests can make it
// seconds long.
#pragma once

#include "workflow/SendSettings.h"

#include <cstdint>
#include <vector>

struct TRetrySchedule {
    std::vector<int64_t> FirstDelays{60, 120, 300, 600, 1200}; // seconds, after try 1, 2, ...
    int64_t Repeat = 1800;                                     // after every later try
    int64_t SmtpLifetime = 2 * 86400;
    int64_t DirectLifetime = 4 * 86400;

    // Seconds from the end of try number attempts (from 1) to the next.
    int64_t DelayAfter(int32_t attempts) const {
        if (attempts >= 1 && size_t(attempts) <= FirstDelays.size())
            return FirstDelays[size_t(attempts) - 1];
        return Repeat;
    }
    // Seconds from queueing to giving up.
    int64_t Lifetime(TSendType way) const {
        return way == TSendType::Direct ? DirectLifetime : SmtpLifetime;
    }
};
