// The order in which to try the targets of SRV records (RFC 2782, "Usage
// rules"): lowest priority first; within one priority a weighted random
// pick, so that a target of weight 0 is rarely first and heavier ones are
// chosen in proportion to their weight. Targets of "." are dropped.
#pragma once

#include "dns/NetDNSRecords.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct TSrvTarget {
    std::string Host;
    uint16_t Port = 0;
    uint16_t Priority = 0;
    uint16_t Weight = 0;
};

// The SRV records of result owned by name (letter case ignored), as targets.
std::vector<TSrvTarget> SrvTargets(const TQueryResult& result, const std::string& name);

// Orders targets. random(n) returns a number from 0 to n inclusive (the
// default draws it from the system's source).
std::vector<TSrvTarget> OrderSrvTargets(std::vector<TSrvTarget> targets,
                                        const std::function<uint32_t(uint32_t)>& random = {});
