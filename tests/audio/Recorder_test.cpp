// The recorder through the device double: notification order, the file it
// writes, pause, trigger, split channels, writing from streams, and every
// failure text with the platform-text rule.
#include "audio/Audio.h"

#include "AudioTestHelpers.h"
#include "FakeWaveService.h"

#include <atomic>
#include <csignal>
#include <gtest/gtest.h>
#include <sys/resource.h>

namespace {

class RecorderTest : public ::testing::Test {
protected:
    void SetUp() override { EnsureApp(); }

    // Hands one buffer back and lets the GUI thread re-queue it.
    void Deliver(const std::vector<uint8_t>& data) {
        ASSERT_TRUE(Fake.DeliverInput(data));
        PumpEvents();
    }
    std::vector<uint8_t> Full(uint8_t start) {
        return Ramp(Audio->Recorder()->BufferSize(), start);
    }

    TScratchDir Dir;
    TFakeWaveService Fake;
    std::unique_ptr<TAudio> Audio = std::make_unique<TAudio>(&Fake);
    TRecorder* Rec = Audio->Recorder();
    std::string Wav = Dir.File("rec.wav");
};

TEST_F(RecorderTest, FullBuffersMakeAConsistentFileInNotificationOrder) {
    Rec->RecordToFile(Wav);
    EXPECT_TRUE(Rec->Saving());
    ASSERT_TRUE(Rec->Start());
    EXPECT_EQ(Fake.InQueued(), 4u);
    std::vector<uint8_t> expected;
    for (int i = 0; i < 6; ++i) {
        Deliver(Full(static_cast<uint8_t>(i)));
        const auto f = Full(static_cast<uint8_t>(i));
        expected.insert(expected.end(), f.begin(), f.end());
        EXPECT_EQ(Fake.InQueued(), 4u) << "buffer " << i << " re-queued";
    }
    EXPECT_TRUE(Rec->Stop());
    EXPECT_FALSE(Rec->Saving());
    const std::vector<uint8_t> b = ReadBytes(Wav);
    ASSERT_EQ(b.size(), 44u + 6 * 8192);
    EXPECT_EQ(Le32(b, 4), b.size() - 8);
    EXPECT_EQ(Le32(b, 40), b.size() - 44);
    EXPECT_EQ(std::vector<uint8_t>(b.begin() + 44, b.end()), expected);

    std::vector<std::string> order = {"InOpen", "WIM_OPEN"};
    order.insert(order.end(), 4, "InPrepareHeader");
    order.push_back("InAddBuffer");
    order.push_back("InStart");
    order.insert(order.end(), 3, "InAddBuffer");
    for (int i = 0; i < 6; ++i) {
        order.push_back("WIM_DATA");
        order.push_back("InAddBuffer");
    }
    order.push_back("InReset");
    order.insert(order.end(), 4, "WIM_DATA");
    order.insert(order.end(), 4, "InUnprepareHeader");
    order.push_back("InClose");
    order.push_back("WIM_CLOSE");
    EXPECT_EQ(Fake.Log(), order);
}

TEST_F(RecorderTest, PauseDropsBuffersAndStopClearsIt) {
    Rec->Pause(); // closed: ignored
    EXPECT_FALSE(Rec->Paused());
    Rec->RecordToFile(Wav);
    ASSERT_TRUE(Rec->Start());
    Deliver(Full(1));
    Rec->Pause();
    Deliver(Full(2));
    EXPECT_EQ(Fake.InQueued(), 4u) << "dropped buffers still circulate";
    Rec->Resume();
    Deliver(Full(3));
    Rec->Pause();
    Rec->Stop();
    auto b = ReadBytes(Wav);
    std::vector<uint8_t> expected = Full(1);
    const auto three = Full(3);
    expected.insert(expected.end(), three.begin(), three.end());
    EXPECT_EQ(std::vector<uint8_t>(b.begin() + 44, b.end()), expected);

    // Pause, Stop, then a new recording captures from its first buffer.
    Rec->RecordToFile(Wav);
    ASSERT_TRUE(Rec->Start());
    Deliver(Full(7));
    Rec->Stop();
    b = ReadBytes(Wav);
    EXPECT_EQ(std::vector<uint8_t>(b.begin() + 44, b.end()), Full(7));
}

TEST_F(RecorderTest, EmptyBufferIsNeitherRequeuedNorCounted) {
    Rec->RecordToFile(Wav);
    ASSERT_TRUE(Rec->Start());
    Deliver({});
    EXPECT_EQ(Fake.InQueued(), 3u);
    Rec->Stop();
    EXPECT_EQ(ReadBytes(Wav).size(), 44u);
}

// total bytes of fill samples with the given samples at the end.
std::vector<uint8_t> Samples16(std::initializer_list<int16_t> values, size_t total,
                               int16_t fill = -1) {
    std::vector<uint8_t> b(total, 0);
    for (size_t i = 0; i + 1 < total; i += 2) {
        b[i] = static_cast<uint8_t>(fill);
        b[i + 1] = static_cast<uint8_t>(static_cast<uint16_t>(fill) >> 8);
    }
    size_t at = total - 2 * values.size();
    for (int16_t v : values) {
        b[at++] = static_cast<uint8_t>(v);
        b[at++] = static_cast<uint8_t>(static_cast<uint16_t>(v) >> 8);
    }
    return b;
}

TEST_F(RecorderTest, TriggerHoldsBackQuietBuffers) {
    struct Case {
        const char* Why;
        TBPS Bits;
        uint16_t Level;
        std::vector<std::vector<uint8_t>> Buffers; // of 1000 bytes
        std::vector<bool> Written;
    };
    auto bytes = [](uint8_t fill, int at = -1, uint8_t v = 0) {
        std::vector<uint8_t> b(1000, fill);
        if (at >= 0)
            b[static_cast<size_t>(at)] = v;
        return b;
    };
    const std::vector<Case> cases = {
        {"8-bit level 200: quiet dropped, loud written, later quiet kept",
         TBPS::_8,
         200,
         {bytes(199), bytes(10, 999, 200), bytes(0)},
         {false, true, true}},
        {"8-bit level 0 triggers on the first buffer",
         TBPS::_8,
         0,
         {bytes(0), bytes(0)},
         {true, true}},
        {"16-bit level 0: -1 samples dropped, a 0 sample triggers",
         TBPS::_16,
         0,
         {Samples16({}, 1000), Samples16({0}, 1000), Samples16({}, 1000)},
         {false, true, true}},
        {"16-bit level compared signed: 0xFF00 is -256",
         TBPS::_16,
         0xFF00,
         {Samples16({-300}, 1000, -1000), Samples16({-256}, 1000, -1000)},
         {false, true}},
        {"16-bit level 1000 not reached by 999",
         TBPS::_16,
         1000,
         {Samples16({999}, 1000), Samples16({1000}, 1000)},
         {false, true}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Why);
        TFakeWaveService fake;
        TAudio audio(&fake);
        TRecorder* r = audio.Recorder();
        r->SetBitsPerSample(c.Bits);
        r->SetNoSamples(c.Bits == TBPS::_16 ? 500 : 1000);
        r->SetTrigLevel(c.Level);
        r->RecordToFile(Wav);
        ASSERT_TRUE(r->Start());
        std::vector<uint8_t> expected;
        for (size_t i = 0; i < c.Buffers.size(); ++i) {
            ASSERT_TRUE(fake.DeliverInput(c.Buffers[i]));
            PumpEvents();
            if (c.Written[i])
                expected.insert(expected.end(), c.Buffers[i].begin(), c.Buffers[i].end());
        }
        r->Stop();
        const auto b = ReadBytes(Wav);
        EXPECT_EQ(std::vector<uint8_t>(b.begin() + 44, b.end()), expected);
        EXPECT_TRUE(r->Triggered());
        r->RecordToFile(Wav);
        ASSERT_TRUE(r->Start());
        ASSERT_TRUE(fake.DeliverInput(c.Buffers[0]));
        r->Stop();
        EXPECT_EQ(ReadBytes(Wav).size(), 44u + 1000) << "the latch survives Stop and Start";
    }
}

TEST_F(RecorderTest, TriggerWritesExactlyTheAcceptedBuffers) {
    Rec->SetNoSamples(1000);
    Rec->SetTrigLevel(200);
    Rec->RecordToFile(Wav);
    ASSERT_TRUE(Rec->Start());
    Deliver(std::vector<uint8_t>(1000, 199));
    std::vector<uint8_t> loud(1000, 5);
    loud[999] = 255;
    Deliver(loud);
    Deliver(std::vector<uint8_t>(1000, 1));
    Rec->Stop();
    std::vector<uint8_t> expected = loud;
    expected.insert(expected.end(), 1000, 1);
    const auto b = ReadBytes(Wav);
    EXPECT_EQ(std::vector<uint8_t>(b.begin() + 44, b.end()), expected);
}

TEST_F(RecorderTest, SplitChannelsReachOnRecordWhileFileKeepsInterleavedData) {
    struct Seen {
        uint16_t Size = 0;
        std::vector<uint8_t> L, R;
        bool RpNull = false;
        std::thread::id Thread;
    };
    for (TBPS bits : {TBPS::_16, TBPS::_8}) {
        SCOPED_TRACE(bits == TBPS::_16 ? "16-bit" : "8-bit");
        TFakeWaveService fake;
        TAudio audio(&fake);
        TRecorder* r = audio.Recorder();
        r->SetChannels(TChannels::Stereo);
        r->SetBitsPerSample(bits);
        r->SetSplitChannels(true);
        Seen seen;
        audio.OnRecord = [&](TRecorder* sender, uint8_t* lp, uint8_t* rp, uint16_t size) {
            EXPECT_EQ(sender, r);
            seen.Size = size;
            seen.L.assign(lp, lp + size);
            seen.RpNull = rp == nullptr;
            if (rp)
                seen.R.assign(rp, rp + size);
            seen.Thread = std::this_thread::get_id();
        };
        r->RecordToFile(Wav);
        ASSERT_TRUE(r->Start());
        const std::vector<uint8_t> data = Ramp(r->BufferSize());
        ASSERT_TRUE(fake.DeliverInput(data));
        r->Stop();
        const size_t half = data.size() / 2;
        ASSERT_EQ(seen.Size, half);
        EXPECT_EQ(data.size(), bits == TBPS::_16 ? 32768u : 16384u);
        EXPECT_NE(seen.Thread, std::this_thread::get_id()) << "OnRecord runs on the driver thread";
        std::vector<uint8_t> left, right;
        const size_t sample = bits == TBPS::_16 ? 2 : 1;
        for (size_t i = 0; i < data.size(); i += 2 * sample) {
            left.insert(left.end(), data.begin() + i, data.begin() + i + sample);
            right.insert(right.end(), data.begin() + i + sample, data.begin() + i + 2 * sample);
        }
        EXPECT_EQ(seen.L, left);
        EXPECT_EQ(seen.R, right);
        const auto b = ReadBytes(Wav);
        EXPECT_EQ(std::vector<uint8_t>(b.begin() + 44, b.end()), data);

        // Without the split the whole buffer comes with a null right channel.
        r->SetSplitChannels(false);
        ASSERT_TRUE(r->Start());
        ASSERT_TRUE(fake.DeliverInput(data));
        r->Stop();
        EXPECT_EQ(seen.Size, data.size());
        EXPECT_TRUE(seen.RpNull);
    }
}

TEST_F(RecorderTest, CapturingWithoutAFileStillReportsBuffers) {
    int calls = 0;
    Audio->OnRecord = [&](TRecorder*, uint8_t*, uint8_t*, uint16_t) { ++calls; };
    Rec->RecordToFile("");
    EXPECT_FALSE(Rec->Saving());
    ASSERT_TRUE(Rec->Start());
    Deliver(Full(0));
    Deliver(Full(1));
    Rec->Stop();
    EXPECT_EQ(calls, 2);
}

TEST_F(RecorderTest, RecordToFileFromStreams) {
    struct Case {
        const char* Why;
        TBPS Bits;
        size_t LeftSize, RightSize;
    };
    const Case cases[] = {
        {"16-bit pairs, more than one 1000-byte block", TBPS::_16, 1204, 1204},
        {"8-bit pairs, exactly one block", TBPS::_8, 500, 500},
        {"sizes differ: left only", TBPS::_16, 300, 302},
        {"no right stream: left only", TBPS::_8, 77, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Why);
        Rec->SetBitsPerSample(c.Bits);
        TMemoryStream left, right;
        left.Data = Ramp(c.LeftSize, 0);
        right.Data = Ramp(c.RightSize, 100);
        left.SetPosition(5); // rewound by the recorder
        Rec->RecordToFile(Wav, &left, c.RightSize ? &right : nullptr);
        EXPECT_FALSE(Rec->Saving());
        std::vector<uint8_t> expected;
        if (c.LeftSize == c.RightSize) {
            const size_t s = c.Bits == TBPS::_16 ? 2 : 1;
            for (size_t i = 0; i < c.LeftSize; i += s) {
                expected.insert(expected.end(), left.Data.begin() + i, left.Data.begin() + i + s);
                expected.insert(expected.end(), right.Data.begin() + i, right.Data.begin() + i + s);
            }
        } else {
            expected = left.Data;
        }
        const auto b = ReadBytes(Wav);
        ASSERT_GE(b.size(), 44u);
        EXPECT_EQ(std::vector<uint8_t>(b.begin() + 44, b.end()), expected);
        EXPECT_EQ(Le32(b, 40), expected.size());
        EXPECT_EQ(Le16(b, 34), c.Bits == TBPS::_16 ? 16 : 8);
    }
}

TEST_F(RecorderTest, RecordToFileRaisesTheFileCreationError) {
    try {
        Rec->RecordToFile(Dir.File("no/such/dir.wav"));
        FAIL() << "no error";
    } catch (const EFCreateError& e) {
        EXPECT_EQ(std::string(e.what()).rfind(
                      "Cannot create file \"" + Dir.File("no/such/dir.wav") + "\". ", 0),
                  0u);
    }
    EXPECT_FALSE(Rec->Saving());
}

TEST_F(RecorderTest, StartFailureTexts) {
    struct Case {
        const char* Op;
        int Nth;
        TMMResult Code;
        std::string Message;
        bool ClosedAgain; // InClose ran
    };
    const std::vector<Case> cases = {
        {"InOpen", 0, 4, "Could not open the input device for recording:  in error 4", false},
        {"InOpen", 0, TFakeWaveService::SilentCode,
         "Could not open the input device for recording: ", false},
        {"InPrepareHeader", 3, 11, "Error preparing header for recording:  in error 11", true},
        {"InStart", 0, 1, "Error starting wave record:  in error 1", true},
        {"InStart", 0, TFakeWaveService::SilentCode, "Error starting wave record: ", true},
        {"InAddBuffer", 1, 7, "Error adding next input buffer", true},
        {"InAddBuffer", 3, 7, "Error adding next input buffer", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.Op) + " " + std::to_string(c.Nth));
        TFakeWaveService fake;
        fake.Fail(c.Op, c.Code, c.Nth);
        TAudio audio(&fake);
        audio.Recorder()->RecordToFile(Wav);
        EXPECT_FALSE(audio.Recorder()->Start());
        EXPECT_EQ(audio.ErrorMessage(), c.Message);
        EXPECT_EQ(fake.Count("InClose"), c.ClosedAgain ? 1u : 0u);
        EXPECT_FALSE(audio.Recorder()->IsOpen());
        const bool queueFailed = std::string(c.Op) == "InAddBuffer";
        // A failed queueing has stopped the recorder and finished the file;
        // the other failures leave it begun until Stop.
        EXPECT_EQ(audio.Recorder()->Saving(), !queueFailed);
        audio.Recorder()->Stop();
        EXPECT_EQ(audio.ErrorMessage(), "Recorder already closed");
        EXPECT_EQ(ReadBytes(Wav).size(), 44u);
        EXPECT_EQ(Le32(ReadBytes(Wav), 4), 36u);
    }
}

TEST_F(RecorderTest, StopFailureTexts) {
    struct Case {
        const char* Op;
        TMMResult Code;
        std::string Message;
    };
    const std::vector<Case> cases = {
        {"InReset", 5, "Error in waveInReset"},
        {"InUnprepareHeader", 5, "Error in waveInUnprepareHeader in error 5"},
        {"InClose", 5, "Error closing input device"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Op);
        TFakeWaveService fake;
        TAudio audio(&fake);
        audio.Recorder()->RecordToFile(Wav);
        ASSERT_TRUE(audio.Recorder()->Start());
        fake.Fail(c.Op, c.Code);
        EXPECT_FALSE(audio.Recorder()->Stop());
        EXPECT_EQ(audio.ErrorMessage(), c.Message);
        EXPECT_FALSE(audio.Recorder()->Saving()) << "the file is finished anyway";
        fake.Fail(c.Op, 0);
    }
}

TEST_F(RecorderTest, RequeueFailureStopsAndFinishes) {
    Rec->RecordToFile(Wav);
    ASSERT_TRUE(Rec->Start());
    Fake.Fail("InAddBuffer", 7, 5); // the first re-queue
    Deliver(Full(3));
    EXPECT_EQ(Audio->ErrorMessage(), "Error adding input buffer in error 7");
    EXPECT_FALSE(Rec->IsOpen());
    EXPECT_FALSE(Rec->Saving());
    const auto b = ReadBytes(Wav);
    EXPECT_EQ(b.size(), 44u + 8192);
    EXPECT_EQ(Le32(b, 40), 8192u);
}

TEST_F(RecorderTest, VanishedDeviceStopsTheTakeAndSaysWhichDevice) {
    std::vector<std::string> reported;
    Audio->OnRecordError = [&](const std::string& m) { reported.push_back(m); };
    Audio->SetInputDevice("default");
    Rec->RecordToFile(Wav);
    ASSERT_TRUE(Rec->Start());
    Deliver(Full(3));
    Fake.LoseInput();
    PumpEvents();
    ASSERT_EQ(reported.size(), 1u);
    EXPECT_EQ(reported[0], "The input device \"default\" is no longer available. The take was "
                           "stopped; what was recorded is kept.");
    EXPECT_FALSE(Rec->IsOpen());
    EXPECT_FALSE(Rec->Saving());
    const auto b = ReadBytes(Wav);
    EXPECT_EQ(b.size(), 44u + 8192) << "the part before is kept";
    EXPECT_EQ(Le32(b, 40), 8192u);
}

TEST_F(RecorderTest, StopWaitsForTheBufferBeingWritten) {
    std::atomic<bool> inHandler{false}, release{false}, handlerDone{false};
    Audio->OnRecord = [&](TRecorder*, uint8_t*, uint8_t*, uint16_t) {
        inHandler = true;
        while (!release)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        handlerDone = true;
    };
    Rec->RecordToFile(Wav);
    ASSERT_TRUE(Rec->Start());
    std::thread driver([&] { Fake.DeliverInput(Full(4)); });
    while (!inHandler)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    std::thread releaser([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        release = true;
    });
    Rec->Stop();
    EXPECT_TRUE(handlerDone) << "Stop returned while a buffer was still being handled";
    driver.join();
    releaser.join();
    const auto b = ReadBytes(Wav);
    ASSERT_EQ(b.size(), 44u + 8192);
    EXPECT_EQ(Le32(b, 40), 8192u);
}

TEST_F(RecorderTest, StopOfAClosedRecorder) {
    EXPECT_TRUE(Rec->Stop());
    EXPECT_EQ(Audio->ErrorMessage(), "Recorder already closed");
    EXPECT_TRUE(Fake.Log().empty());
}

TEST_F(RecorderTest, DestroyingTheComponentCompletesTheRecording) {
    Rec->RecordToFile(Wav);
    ASSERT_TRUE(Rec->Start());
    Deliver(Full(0));
    Deliver(Full(1));
    Audio.reset();
    const auto b = ReadBytes(Wav);
    ASSERT_EQ(b.size(), 44u + 2 * 8192);
    EXPECT_EQ(Le32(b, 4), b.size() - 8);
    EXPECT_EQ(Le32(b, 40), 2u * 8192);
    EXPECT_FALSE(Fake.InIsOpen);
}

TEST_F(RecorderTest, SizesFollowTheDataWhileRecording) {
    const auto started = std::chrono::steady_clock::now();
    Rec->RecordToFile(Wav);
    ASSERT_TRUE(Rec->Start());
    Deliver(Full(0));
    // Only a buffer that came within the half second may find them unwritten.
    if (std::chrono::steady_clock::now() - started < std::chrono::milliseconds(400)) {
        EXPECT_EQ(Le32(ReadBytes(Wav), 40), 0u) << "not rewritten at every buffer";
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(600));
    Deliver(Full(1));
    const auto b = ReadBytes(Wav); // what a crash right now would leave
    EXPECT_EQ(Le32(b, 4), b.size() - 8);
    EXPECT_EQ(Le32(b, 40), 2u * 8192);
    Rec->Stop();
}

// A file size limit stands in for a full disk: the append fails part-way.
TEST_F(RecorderTest, AFailedWriteStopsTheTakeWithWholeBlocks) {
    struct Case {
        TChannels Channels;
        TBPS Bits;
        uint32_t PastTwoBuffers; // bytes of the third buffer that fit
        uint32_t Kept;           // of those, what the file keeps
    };
    const std::vector<Case> cases = {
        {TChannels::Mono, TBPS::_8, 100, 100},
        {TChannels::Stereo, TBPS::_16, 6, 4}, // a partial frame is cut
        {TChannels::Stereo, TBPS::_16, 0, 0}, // fails at a buffer's start
    };
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.PastTwoBuffers);
        TFakeWaveService fake;
        TAudio audio(&fake);
        TRecorder* rec = audio.Recorder();
        rec->SetChannels(c.Channels);
        rec->SetBitsPerSample(c.Bits);
        std::vector<std::string> errors;
        audio.OnRecordError = [&](const std::string& m) {
            EXPECT_TRUE(IsGuiThread());
            errors.push_back(m);
        };
        const uint32_t buffer = rec->BufferSize();
        rec->RecordToFile(Wav);
        ASSERT_TRUE(rec->Start());
        rlimit limit = old;
        limit.rlim_cur = 44 + 2 * buffer + c.PastTwoBuffers;
        setrlimit(RLIMIT_FSIZE, &limit);
        for (int i = 0; i < 4 && fake.DeliverInput(Ramp(buffer, static_cast<uint8_t>(i))); ++i) {
        }
        PumpUntil([&] { return !errors.empty(); });
        setrlimit(RLIMIT_FSIZE, &old);
        ASSERT_EQ(errors,
                  std::vector<std::string>{"Cannot write file \"" + Wav + "\". File too large"});
        EXPECT_EQ(audio.ErrorMessage(), errors[0]);
        EXPECT_FALSE(fake.InIsOpen) << "the take is stopped";
        EXPECT_FALSE(rec->Saving());
        const auto b = ReadBytes(Wav);
        ASSERT_EQ(b.size(), 44 + 2 * buffer + c.Kept);
        EXPECT_EQ(Le32(b, 4), b.size() - 8);
        EXPECT_EQ(Le32(b, 40), b.size() - 44);
        EXPECT_EQ(std::vector<uint8_t>(b.begin() + 44, b.begin() + 44 + buffer), Ramp(buffer, 0));
    }
}

} // namespace
