// The order of SRV targets (RFC 2782): priority first, then a pick by
// weight, with the drawn number deciding; "." is no target.
#include "dns/SrvOrder.h"

#include <gtest/gtest.h>

namespace {

std::string Hosts(const std::vector<TSrvTarget>& targets) {
    std::string s;
    for (const TSrvTarget& t : targets)
        s += (s.empty() ? "" : " ") + t.Host;
    return s;
}

TEST(SrvOrder, PriorityThenWeight) {
    struct TCase {
        const char* Why;
        std::vector<TSrvTarget> Targets;
        uint32_t Draw; // what every random pick returns (capped at the sum)
        const char* Order;
    } cases[] = {
        {"lowest priority first, whatever the weight",
         {{"b", 587, 20, 100}, {"a", 587, 10, 0}, {"c", 587, 30, 5}},
         0,
         "a b c"},
        {"weight 0 comes first on a draw of 0",
         {{"heavy", 587, 1, 60}, {"zero", 587, 1, 0}},
         0,
         "zero heavy"},
        {"a draw past the first weight picks the next",
         {{"w10", 587, 1, 10}, {"w50", 587, 1, 50}, {"w40", 587, 1, 40}},
         11,
         "w50 w40 w10"},
        {"the largest draw picks the last", {{"x", 587, 1, 10}, {"y", 587, 1, 50}}, 1000, "y x"},
        {"\".\" says the service is not there", {{".", 0, 0, 0}, {"d", 465, 5, 0}}, 0, "d"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Why);
        EXPECT_EQ(Hosts(OrderSrvTargets(c.Targets, [&c](uint32_t) { return c.Draw; })), c.Order);
    }
}

TEST(SrvOrder, HeavierTargetsComeFirstMoreOften) {
    int firsts = 0;
    for (int i = 0; i < 400; ++i)
        firsts +=
            OrderSrvTargets({{"light", 587, 1, 1}, {"heavy", 587, 1, 9}}).front().Host == "heavy";
    // 90% expected; far from both ends even for an unlucky run.
    EXPECT_GT(firsts, 300);
    EXPECT_LT(firsts, 400);
}

} // namespace
