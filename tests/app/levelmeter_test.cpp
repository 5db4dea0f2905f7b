// The input level meter's arithmetic: buffer peaks of both sample formats
// in dBFS, the mailbox keeping the loudest offer, and the bar and hold
// falling over time.
#include "app/LevelMeter.h"
#include "tests/app/WindowTestMain.h"

#include <gtest/gtest.h>
#include <vector>

TEST(LevelMeter, PeakOfEachSampleFormat) {
    struct TCase {
        std::vector<uint8_t> Bytes;
        bool Wide;
        double Db;
    };
    const TCase cases[] = {
        {{0x80, 0x80, 0x80}, false, -60.0},       // 8-bit silence
        {{0x80, 0x00, 0x80}, false, 0.0},         // full negative swing
        {{0x80, 0xC0, 0x7F}, false, -6.02},       // half scale up
        {{0x7F, 0x81}, false, -42.14},            // one step
        {{}, false, -60.0},                       // no samples
        {{0x00, 0x00, 0x00, 0x80}, true, 0.0},    // -32768
        {{0xFF, 0x7F}, true, 0.0},                // 32767
        {{0x64, 0x00, 0x9C, 0xFF}, true, -50.31}, // +-100, little-endian
        {{0x01, 0x00}, true, -60.0},              // quieter than the floor
        {{0x00, 0x00, 0xFF}, true, -60.0},        // a lone trailing byte is no sample
    };
    for (const TCase& c : cases)
        EXPECT_NEAR(PeakDbfs(c.Bytes.data(), c.Bytes.size(), c.Wide), c.Db, 0.01)
            << "case " << &c - cases;
}

TEST(LevelMeter, MailboxHandsOverTheLoudestOfferOnce) {
    TPeakMailbox box;
    EXPECT_EQ(box.Take(), MeterFloorDb);
    for (double db : {-30.0, -10.5, -20.0})
        box.Offer(db);
    EXPECT_DOUBLE_EQ(box.Take(), -10.5);
    EXPECT_EQ(box.Take(), MeterFloorDb);
}

TEST(LevelMeter, LevelFallsAtOnceAndTheHoldAfterASecond) {
    struct TStep {
        double Peak;
        uint32_t Now;
        double Level, Hold;
    };
    const TStep steps[] = {
        {-10, 4294966796u, -10, -10}, // half a second before the counter wraps
        {-60, 0, -25, -10},           {-60, 500, -40, -10}, // the hold's last moment
        {-60, 1000, -55, -25},                              // it fell for 500 ms
        {-20, 1100, -20, -20},                              // louder than the falling hold
        {-30, 2100, -30, -20},        {-60, 5000, -60, -60},
    };
    TPeakHold hold;
    for (const TStep& s : steps) {
        hold.Update(s.Peak, s.Now);
        EXPECT_NEAR(hold.Level(), s.Level, 1e-9) << "at " << s.Now;
        EXPECT_NEAR(hold.Hold(), s.Hold, 1e-9) << "at " << s.Now;
    }
    hold.Reset();
    EXPECT_EQ(hold.Level(), MeterFloorDb);
    EXPECT_EQ(hold.Hold(), MeterFloorDb);
}

int main(int argc, char** argv) {
    return RunWindowTests(argc, argv, false);
}
