// SRV target order; see SrvOrder.h.
#include "dns/SrvOrder.h"

#include "base/Text.h"

#include <algorithm>
#include <random>

std::vector<TSrvTarget> SrvTargets(const TQueryResult& result, const std::string& name) {
    std::vector<TSrvTarget> targets;
    for (int i = 0; i < result.Count(); ++i) {
        const auto* srv = dynamic_cast<const TSRVRecord*>(&result[i]);
        if (srv && SameText(srv->OwnerName, name))
            targets.push_back({srv->Target, srv->Port, srv->Priority, srv->Weight});
    }
    return targets;
}

std::vector<TSrvTarget> OrderSrvTargets(std::vector<TSrvTarget> targets,
                                        const std::function<uint32_t(uint32_t)>& random) {
    auto draw = [&random](uint32_t n) -> uint32_t {
        if (random)
            return std::min(random(n), n);
        static std::random_device device;
        return std::uniform_int_distribution<uint32_t>(0, n)(device);
    };
    std::erase_if(targets, [](const TSrvTarget& t) { return t.Host == "." || t.Host.empty(); });
    // Weight 0 first within a priority, as the selection below expects.
    std::stable_sort(targets.begin(), targets.end(), [](const TSrvTarget& a, const TSrvTarget& b) {
        return a.Priority != b.Priority ? a.Priority < b.Priority
                                        : (a.Weight == 0) > (b.Weight == 0);
    });
    std::vector<TSrvTarget> ordered;
    for (size_t first = 0; first < targets.size();) {
        size_t end = first;
        while (end < targets.size() && targets[end].Priority == targets[first].Priority)
            ++end;
        std::vector<TSrvTarget> group(targets.begin() + long(first), targets.begin() + long(end));
        while (!group.empty()) {
            uint32_t sum = 0;
            for (const TSrvTarget& t : group)
                sum += t.Weight;
            const uint32_t pick = draw(sum);
            uint32_t running = 0;
            size_t chosen = group.size() - 1;
            for (size_t i = 0; i < group.size(); ++i) {
                running += group[i].Weight;
                if (running >= pick) {
                    chosen = i;
                    break;
                }
            }
            ordered.push_back(group[chosen]);
            group.erase(group.begin() + long(chosen));
        }
        first = end;
    }
    return ordered;
}
