// The mixer object through the device double: the line list and its
// control values, kinds, reopening, partial failures and the change
// notification posted to the GUI thread.
#include "audio/Audio.h"

#include "AudioTestHelpers.h"
#include "FakeWaveService.h"

#include <gtest/gtest.h>

#include <cstdio>

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

// Every field of a node: "dest/src name vol=ID:left,right mute=ID meter=ID:channels
// kind flags", 65535 for no control, flags M(uted) U(niform) S(peakers) C(ontrols).
std::string Describe(const TMixDetails& n) {
    char text[200];
    std::snprintf(text, sizeof text, "%u/%u %s vol=%u:%u,%u mute=%u meter=%u:%u kind=%02X %c%c%c%c",
                  n.Destination, n.Source, n.Name.c_str(), n.VolumeControl, n.LeftVolume,
                  n.RightVolume, n.MuteControl, n.MeterControl, n.MeterChannels, n.Kind,
                  n.Muted ? 'M' : '-', n.UniformVolume ? 'U' : '-', n.Speakers ? 'S' : '-',
                  n.HasControls ? 'C' : '-');
    return text;
}

TEST_F(MixerTest, ListsDeviceDestinationsAndSources) {
    TAudio audio(&Fake);
    ASSERT_TRUE(audio.Mixer()->Available());
    std::vector<std::string> nodes;
    for (const TMixDetails* n = audio.Mixer()->List(); n; n = n->Next.get())
        nodes.push_back(Describe(*n));
    const std::vector<std::string> expected = {
        "65535/65535 Fake Mixer vol=65535:0,0 mute=65535 meter=65535:0 kind=00 ----",
        "0/0 Master vol=11:1000,2000 mute=12 meter=65535:0 kind=00 M-SC",
        "0/1 CD vol=21:555,0 mute=65535 meter=65535:0 kind=C0 -USC",
        "0/2 Line vol=31:7,8 mute=32 meter=34:2 kind=00 --SC",
        "1/0 Recording vol=65535:0,0 mute=65535 meter=65535:0 kind=80 ----",
        // Mute first keeps 0x00, then the one-channel volume adds 0x40.
        "1/1 Mic vol=42:65535,0 mute=41 meter=65535:0 kind=40 -U-C",
    };
    EXPECT_EQ(nodes, expected);
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
