// The virtual instrument's port semantics, and the composite platform.

#include <gtest/gtest.h>

#include <atomic>

#include "ProgramSide.h"
#include "instrument/VirtualInstrumentPlatform.h"
#include "midi/CompositeMidiPlatform.h"

namespace velnor::testing {
namespace {

using instrument::InstrumentOptions;
using instrument::Link;
using instrument::VirtualInstrumentPlatform;

/// An input opened by hand, counting callbacks.
struct RawInput {
    static void Callback(HMIDIIN, unsigned message, void* instance, MIDIHDR* header) {
        auto* self = static_cast<RawInput*>(instance);
        if (message == MIM_LONGDATA) {
            self->bytes += header->dwBytesRecorded;
            ++self->calls;
        }
    }
    std::atomic<int> calls{0};
    std::atomic<std::uint32_t> bytes{0};
};

TEST(InstrumentPorts, ALongReplyComesInBufferSizedChunks) {
    VirtualInstrumentPlatform platform(InstrumentOptions::Defaults(), Link::None);
    ProgramSide program(platform, 0, 0, 16);
    auto reply = program.Ask(BuildMessage(0x00, {0}));
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->size(), 68u);
    EXPECT_EQ(program.ChunkSizes(), (std::vector<std::uint32_t>{10, 16, 16, 16, 16, 4}));
}

TEST(InstrumentPorts, DataWaitsForABufferAndStopsWithTheInput) {
    VirtualInstrumentPlatform platform(InstrumentOptions::Defaults(), Link::None);
    RawInput input;
    HMIDIIN in = 0;
    HMIDIOUT out = 0;
    Bytes buffer(2000);
    MIDIHDR header{buffer.data(), 2000};
    ASSERT_EQ(platform.midiInOpen(&in, 0, &RawInput::Callback, &input), MMSYSERR_NOERROR);
    ASSERT_EQ(platform.midiOutOpen(&out, 0), MMSYSERR_NOERROR);
    EXPECT_EQ(platform.midiOutOpen(&out, 0), MMSYSERR_ALLOCATED);
    ASSERT_EQ(platform.midiInPrepareHeader(in, &header), MMSYSERR_NOERROR);
    ASSERT_EQ(platform.midiInStart(in), MMSYSERR_NOERROR);

    Bytes request = BuildMessage(0x00, {0});
    MIDIHDR send{request.data(), static_cast<std::uint32_t>(request.size())};
    EXPECT_EQ(platform.midiOutLongMsg(out, &send), MIDIERR_UNPREPARED);
    ASSERT_EQ(platform.midiOutPrepareHeader(out, &send), MMSYSERR_NOERROR);
    ASSERT_EQ(platform.midiOutLongMsg(out, &send), MMSYSERR_NOERROR);
    EXPECT_EQ(platform.midiOutUnprepareHeader(out, &send), MMSYSERR_NOERROR);

    // No buffer queued: the acknowledgement is held, not lost.
    EXPECT_FALSE(platform.WaitUntilIdle(50ms));
    EXPECT_EQ(input.calls, 0);
    Bytes buffer2(2000);
    MIDIHDR header2{buffer2.data(), 2000};
    ASSERT_EQ(platform.midiInAddBuffer(in, &header2), MIDIERR_UNPREPARED);
    ASSERT_EQ(platform.midiInPrepareHeader(in, &header2), MMSYSERR_NOERROR);
    ASSERT_EQ(platform.midiInAddBuffer(in, &header), MMSYSERR_NOERROR);
    ASSERT_EQ(platform.midiInAddBuffer(in, &header2), MMSYSERR_NOERROR);
    ASSERT_TRUE(platform.WaitUntilIdle(30s));
    EXPECT_EQ(input.calls, 2);  // the acknowledgement, then the reply
    EXPECT_EQ(header.dwBytesRecorded, 10u);
    EXPECT_EQ(header2.dwBytesRecorded, 68u);
    EXPECT_TRUE(header.dwFlags & MHDR_DONE);
    EXPECT_FALSE(header.dwFlags & MHDR_INQUEUE);

    // After a stop nothing more is delivered; what arrives meanwhile is lost.
    ASSERT_EQ(platform.midiInAddBuffer(in, &header), MMSYSERR_NOERROR);
    ASSERT_EQ(platform.midiInStop(in), MMSYSERR_NOERROR);
    const int before = input.calls;
    ASSERT_EQ(platform.midiOutPrepareHeader(out, &send), MMSYSERR_NOERROR);
    ASSERT_EQ(platform.midiOutLongMsg(out, &send), MMSYSERR_NOERROR);
    ASSERT_TRUE(platform.WaitUntilIdle(30s));
    EXPECT_EQ(input.calls, before);

    // A queued buffer keeps the port from closing until a reset returns it.
    EXPECT_TRUE(header.dwFlags & MHDR_INQUEUE);
    EXPECT_EQ(platform.midiInUnprepareHeader(in, &header), MIDIERR_STILLPLAYING);
    EXPECT_EQ(platform.midiInClose(in), MIDIERR_STILLPLAYING);
    ASSERT_EQ(platform.midiInReset(in), MMSYSERR_NOERROR);
    EXPECT_FALSE(header.dwFlags & MHDR_INQUEUE);
    EXPECT_TRUE(header.dwFlags & MHDR_DONE);
    EXPECT_EQ(platform.midiInUnprepareHeader(in, &header), MMSYSERR_NOERROR);
    EXPECT_EQ(platform.midiInClose(in), MMSYSERR_NOERROR);
    EXPECT_EQ(platform.midiInStart(in), MMSYSERR_INVALHANDLE);
    EXPECT_EQ(platform.midiOutClose(out), MMSYSERR_NOERROR);
    EXPECT_EQ(platform.midiOutLongMsg(out, &send), MMSYSERR_INVALHANDLE);
}

TEST(InstrumentPorts, TheCallbackMayStopTheInputItself) {
    VirtualInstrumentPlatform platform(InstrumentOptions::Defaults(), Link::None);
    struct Stopper {
        VirtualInstrumentPlatform* platform;
        HMIDIIN in = 0;
        std::atomic<int> calls{0};
        static void Callback(HMIDIIN h, unsigned, void* instance, MIDIHDR*) {
            auto* self = static_cast<Stopper*>(instance);
            ++self->calls;
            self->platform->midiInStop(h);  // must not wait for itself
        }
    } stopper{&platform};
    Bytes buffer(100);
    MIDIHDR header{buffer.data(), 100};
    HMIDIOUT out = 0;
    ASSERT_EQ(platform.midiInOpen(&stopper.in, 0, &Stopper::Callback, &stopper), 0u);
    ASSERT_EQ(platform.midiOutOpen(&out, 0), 0u);
    platform.midiInPrepareHeader(stopper.in, &header);
    platform.midiInAddBuffer(stopper.in, &header);
    platform.midiInStart(stopper.in);
    Bytes request = BuildMessage(0x00, {0});
    MIDIHDR send{request.data(), static_cast<std::uint32_t>(request.size())};
    platform.midiOutPrepareHeader(out, &send);
    platform.midiOutLongMsg(out, &send);
    ASSERT_TRUE(platform.WaitUntilIdle(30s));
    EXPECT_EQ(stopper.calls, 1);  // the reply after the stop is dropped
    platform.midiInReset(stopper.in);
    platform.midiInClose(stopper.in);
    platform.midiOutClose(out);
}

/// A platform with fixed ports that hands out handle 1 for everything and
/// records the identifiers it was asked to open.
class FakePlatform : public MidiPlatform {
  public:
    FakePlatform(unsigned ins, unsigned outs, std::string prefix)
        : m_ins(ins), m_outs(outs), m_prefix(std::move(prefix)) {}
    unsigned midiInGetNumDevs() override { return m_ins; }
    unsigned midiOutGetNumDevs() override { return m_outs; }
    MidiResult midiInGetDevCaps(unsigned id, std::string& name) override {
        if (id >= m_ins) return MMSYSERR_BADDEVICEID;
        name = m_prefix + " in " + std::to_string(id);
        return 0;
    }
    MidiResult midiOutGetDevCaps(unsigned id, std::string& name) override {
        if (id >= m_outs) return MMSYSERR_BADDEVICEID;
        name = m_prefix + " out " + std::to_string(id);
        return 0;
    }
    MidiResult midiInOpen(HMIDIIN* h, unsigned id, MidiInProc cb, void* inst) override {
        openedIn = int(id);
        callback = cb;
        instance = inst;
        *h = 1;
        return 0;
    }
    MidiResult midiInPrepareHeader(HMIDIIN h, MIDIHDR*) override { return Seen(h); }
    MidiResult midiInUnprepareHeader(HMIDIIN h, MIDIHDR*) override { return Seen(h); }
    MidiResult midiInAddBuffer(HMIDIIN h, MIDIHDR*) override { return Seen(h); }
    MidiResult midiInStart(HMIDIIN h) override { return Seen(h); }
    MidiResult midiInStop(HMIDIIN h) override { return Seen(h); }
    MidiResult midiInReset(HMIDIIN h) override { return Seen(h); }
    MidiResult midiInClose(HMIDIIN h) override { return Seen(h); }
    MidiResult midiOutOpen(HMIDIOUT* h, unsigned id) override {
        openedOut = int(id);
        *h = 1;
        return 0;
    }
    MidiResult midiOutPrepareHeader(HMIDIOUT h, MIDIHDR*) override { return Seen(h); }
    MidiResult midiOutUnprepareHeader(HMIDIOUT h, MIDIHDR*) override { return Seen(h); }
    MidiResult midiOutLongMsg(HMIDIOUT h, MIDIHDR*) override { return Seen(h); }
    MidiResult midiOutReset(HMIDIOUT h) override { return Seen(h); }
    MidiResult midiOutClose(HMIDIOUT h) override { return Seen(h); }

    int openedIn = -1, openedOut = -1, calls = 0;
    MidiInProc callback = nullptr;
    void* instance = nullptr;

  private:
    MidiResult Seen(std::uintptr_t h) {
        ++calls;
        return h == 1 ? 0 : MMSYSERR_INVALHANDLE;
    }
    unsigned m_ins, m_outs;
    std::string m_prefix;
};

TEST(CompositePlatform, ListsThePortsOfEachPlatformInTurn) {
    FakePlatform a(2, 1, "A"), b(0, 2, "B");
    VirtualInstrumentPlatform instrument(InstrumentOptions::Defaults(), Link::None);
    CompositeMidiPlatform composite;
    composite.Add(a);
    composite.Add(b);
    composite.Add(instrument);
    ASSERT_EQ(composite.midiInGetNumDevs(), 3u);
    ASSERT_EQ(composite.midiOutGetNumDevs(), 4u);
    const char* ins[] = {"A in 0", "A in 1", "Velnor Virtual Instrument"};
    const char* outs[] = {"A out 0", "B out 0", "B out 1", "Velnor Virtual Instrument"};
    std::string name;
    for (unsigned i = 0; i < 3; ++i) {
        ASSERT_EQ(composite.midiInGetDevCaps(i, name), MMSYSERR_NOERROR);
        EXPECT_EQ(name, ins[i]);
    }
    for (unsigned i = 0; i < 4; ++i) {
        ASSERT_EQ(composite.midiOutGetDevCaps(i, name), MMSYSERR_NOERROR);
        EXPECT_EQ(name, outs[i]);
    }
    EXPECT_EQ(composite.midiInGetDevCaps(3, name), MMSYSERR_BADDEVICEID);
    HMIDIOUT out = 0;
    EXPECT_EQ(composite.midiOutOpen(&out, 4), MMSYSERR_BADDEVICEID);
    ASSERT_EQ(composite.midiOutOpen(&out, 2), MMSYSERR_NOERROR);
    EXPECT_EQ(b.openedOut, 1);
    EXPECT_EQ(a.openedOut, -1);
}

TEST(CompositePlatform, ForwardsCallsByHandleAndCallbacksWithItsOwnHandle) {
    FakePlatform a(1, 1, "A"), b(1, 1, "B");
    CompositeMidiPlatform composite;
    composite.Add(a);
    composite.Add(b);
    RawInput input;
    HMIDIIN inA = 0, inB = 0;
    ASSERT_EQ(composite.midiInOpen(&inA, 0, &RawInput::Callback, &input), 0u);
    ASSERT_EQ(composite.midiInOpen(&inB, 1, &RawInput::Callback, &input), 0u);
    EXPECT_NE(inA, inB);  // both platforms said 1; the composite tells them apart
    EXPECT_EQ(b.openedIn, 0);
    const int aCalls = a.calls, bCalls = b.calls;
    EXPECT_EQ(composite.midiInStart(inB), 0u);
    EXPECT_EQ(b.calls, bCalls + 1);
    EXPECT_EQ(a.calls, aCalls);

    // B's callback reaches the caller with the composite's handle.
    struct Seen {
        static void Callback(HMIDIIN h, unsigned, void* instance, MIDIHDR*) {
            *static_cast<HMIDIIN*>(instance) = h;
        }
    };
    HMIDIIN seen = 0;
    ASSERT_EQ(composite.midiInClose(inB), 0u);
    EXPECT_EQ(composite.midiInStart(inB), MMSYSERR_INVALHANDLE);
    ASSERT_EQ(composite.midiInOpen(&inB, 1, &Seen::Callback, &seen), 0u);
    MIDIHDR header;
    b.callback(1, MIM_LONGDATA, b.instance, &header);
    EXPECT_EQ(seen, inB);
    EXPECT_EQ(composite.midiOutLongMsg(12345, &header), MMSYSERR_INVALHANDLE);
}

TEST(CompositePlatform, TheInstrumentAnswersAsTheLastPortPair) {
    FakePlatform real(2, 3, "Real");
    VirtualInstrumentPlatform instrument(InstrumentOptions::Defaults(), Link::None);
    CompositeMidiPlatform composite;
    composite.Add(real);
    composite.Add(instrument);
    ProgramSide program(composite, composite.midiInGetNumDevs() - 1,
                        composite.midiOutGetNumDevs() - 1);
    ASSERT_TRUE(program.opened);
    auto reply = program.Ask(BuildMessage(0x00, {0}));
    ASSERT_TRUE(reply);
    EXPECT_EQ(Payload(*reply)[0], 0);
    EXPECT_EQ(real.openedIn, -1);
    for (HMIDIIN h : program.Handles()) EXPECT_NE(h, 0u);
}

}  // namespace
}  // namespace velnor::testing
