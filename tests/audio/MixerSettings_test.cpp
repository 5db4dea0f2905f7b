// The mixer object through the device double: the line list and its
// control values, kinds, reopening, partial failures and the change
// notification posted to the GUI thread.
#include "audio/Audio.h"

#include "AudioTestHelpers.h"
#include "FakeWaveService.h"

#include <gtest/gtest.h>

namespace {

TFakeWaveService::TLine Line(uint32_t dest, uint32_t id, uint32_t type, uint32_t channels,
                             const char* name, std::vector<TMixerControl> controls) {
    TFakeWaveService::TLine l;
    l.Line.Destination = dest;
    l.Line.LineID = id;
    l.Line.ComponentType = type;
    l.Line.Channels = channels;
    l.Line.Controls = static_cast<uint32_t>(controls.size());
    l.Line.Name = name;
    l.Controls = std::move(controls);
    return l;
}

constexpr uint32_t Vol = MIXERCONTROL_CONTROLTYPE_VOLUME, Mute = MIXERCONTROL_CONTROLTYPE_MUTE,
                   Meter = MIXERCONTROL_CONTROLTYPE_PEAKMETER;

class MixerTest : public ::testing::Test {
protected:
    void SetUp() override {
        EnsureApp();
        Fake.MixerDevs = 1;
        auto speakers = Line(0, 100, MIXERLINE_COMPONENTTYPE_DST_SPEAKERS, 2, "Master",
                             {{11, Vol}, {12, Mute}});
        // One-channel volume, no mute.
        speakers.Sources.push_back(Line(0, 101, 0x1004, 1, "CD", {{21, Vol}}));
        // Two-channel volume before a mute, a second mute ignored, a meter.
        speakers.Sources.push_back(
            Line(0, 102, 0x1003, 2, "Line", {{31, Vol}, {32, Mute}, {33, Mute}, {34, Meter}}));
        auto wavein = Line(1, 200, MIXERLINE_COMPONENTTYPE_DST_WAVEIN, 1, "Recording", {});
        wavein.Sources.push_back(Line(1, 201, 0x1003, 1, "Mic", {{41, Mute}, {42, Vol}}));
        Fake.MixerLines = {speakers, wavein};
        Fake.ControlValues = {{11, {1000, 2000}}, {12, {1}}, {21, {555}},
                              {31, {7, 8}},       {32, {0}}, {33, {1}},
                              {34, {3, 4}},       {41, {0}}, {42, {65535}}};
    }
    TFakeWaveService Fake;
};

TEST_F(MixerTest, ListsDeviceDestinationsAndSources) {
    TAudio audio(&Fake);
    ASSERT_TRUE(audio.Mixer()->Available());
    struct Expect {
        uint16_t Dest, Src;
        const char* Name;
        uint32_t VolId, MuteId, MeterId;
        uint16_t Left, Right, MeterChannels, Kind;
        bool Muted, Uniform, Speakers, HasControls;
    };
    const Expect expected[] = {
        {0xFFFF, 0xFFFF, "Fake Mixer", 0xFFFF, 0xFFFF, 0xFFFF, 0, 0, 0, 0, false, false, false,
         false},
        {0, 0, "Master", 11, 12, 0xFFFF, 1000, 2000, 0, 0x00, true, false, true, true},
        {0, 1, "CD", 21, 0xFFFF, 0xFFFF, 555, 0, 0, 0xC0, false, true, true, true},
        {0, 2, "Line", 31, 32, 34, 7, 8, 2, 0x00, false, false, true, true},
        {1, 0, "Recording", 0xFFFF, 0xFFFF, 0xFFFF, 0, 0, 0, 0x80, false, false, false, false},
        // Mute first keeps 0x00, then the one-channel volume adds 0x40.
        {1, 1, "Mic", 42, 41, 0xFFFF, 65535, 0, 0, 0x40, false, true, false, true},
    };
    const TMixDetails* n = audio.Mixer()->List();
    for (const Expect& e : expected) {
        SCOPED_TRACE(e.Name);
        ASSERT_NE(n, nullptr);
        EXPECT_EQ(n->Destination, e.Dest);
        EXPECT_EQ(n->Source, e.Src);
        EXPECT_EQ(n->Name, e.Name);
        EXPECT_EQ(n->VolumeControl, e.VolId);
        EXPECT_EQ(n->MuteControl, e.MuteId);
        EXPECT_EQ(n->MeterControl, e.MeterId);
        EXPECT_EQ(n->LeftVolume, e.Left);
        EXPECT_EQ(n->RightVolume, e.Right);
        EXPECT_EQ(n->MeterChannels, e.MeterChannels);
        EXPECT_EQ(n->Kind, e.Kind);
        EXPECT_EQ(n->Muted, e.Muted);
        EXPECT_EQ(n->UniformVolume, e.Uniform);
        EXPECT_EQ(n->Speakers, e.Speakers);
        EXPECT_EQ(n->HasControls, e.HasControls);
        n = n->Next.get();
    }
    EXPECT_EQ(n, nullptr);
}

TEST_F(MixerTest, ChangeNotificationRunsOnTheGuiThread) {
    TAudio audio(&Fake);
    std::vector<std::pair<uint16_t, uint16_t>> seen;
    audio.OnMixerChange = [&](TMixerSettings* sender, uint16_t d, uint16_t s) {
        EXPECT_EQ(sender, audio.Mixer());
        EXPECT_TRUE(IsGuiThread());
        seen.emplace_back(d, s);
    };
    Fake.ChangeControl(32);
    EXPECT_TRUE(seen.empty()) << "posted, not called on the mixer's thread";
    PumpEvents();
    // First the raw handle and identifier, then the line that owns it.
    const std::vector<std::pair<uint16_t, uint16_t>> expected = {{0x2345, 32}, {0, 2}};
    EXPECT_EQ(seen, expected);
    seen.clear();
    Fake.ChangeControl(34); // a meter: only the raw event
    Fake.ChangeControl(0x10015);
    PumpEvents();
    const std::vector<std::pair<uint16_t, uint16_t>> raw = {{0x2345, 34}, {0x2345, 0x15}};
    EXPECT_EQ(seen, raw);
}

TEST_F(MixerTest, NoMixerMeansUnavailableAndSilent) {
    Fake.MixerDevs = 0;
    TAudio audio(&Fake);
    EXPECT_FALSE(audio.Mixer()->Available());
    EXPECT_EQ(audio.Mixer()->List(), nullptr);
    EXPECT_EQ(audio.ErrorMessage(), "");
    EXPECT_EQ(Fake.Count("MixerOpen"), 0u);
}

TEST_F(MixerTest, FailedListingKeepsNodesButIsNotAvailable) {
    Fake.Fail("MixerGetLineInfo", MMSYSERR_ERROR, 3); // the second source of destination 0
    TAudio audio(&Fake);
    EXPECT_FALSE(audio.Mixer()->Available());
    int nodes = 0;
    for (const TMixDetails* n = audio.Mixer()->List(); n; n = n->Next.get())
        ++nodes;
    EXPECT_EQ(nodes, 3);
    int calls = 0;
    audio.OnMixerChange = [&](TMixerSettings*, uint16_t, uint16_t) { ++calls; };
    Fake.ChangeControl(11);
    PumpEvents();
    EXPECT_EQ(calls, 0);
}

TEST_F(MixerTest, FailedValueReadSkipsTheControl) {
    Fake.Fail("MixerGetControlDetails", MMSYSERR_ERROR, 1); // Master's volume
    TAudio audio(&Fake);
    const TMixDetails* master = audio.Mixer()->List()->Next.get();
    EXPECT_EQ(master->VolumeControl, 0xFFFFu);
    EXPECT_EQ(master->MuteControl, 12u);
    EXPECT_TRUE(master->HasControls);
}

TEST_F(MixerTest, ReopeningAndDestructionCloseTheDevice) {
    {
        TAudio audio(&Fake);
        EXPECT_EQ(Fake.MixerOpenCount, 1u);
        audio.SetMixerDeviceID(0); // same: nothing
        EXPECT_EQ(Fake.MixerOpenCount, 1u);
        audio.SetMixerDeviceID(1);
        EXPECT_EQ(audio.MixerDeviceID(), 1);
        EXPECT_EQ(Fake.MixerCloseCount, 1u);
        EXPECT_EQ(Fake.MixerOpenCount, 2u);
        EXPECT_TRUE(audio.Mixer()->Available());
    }
    EXPECT_EQ(Fake.MixerCloseCount, 2u) << "destruction closes the open one";
}

} // namespace
