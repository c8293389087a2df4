#include <gtest/gtest.h>

#include <chrono>
#include <mutex>
#include <thread>

#include "common/ScriptedPrompter.h"
#include "midi/CMidiDevice.h"
#include "support/FakeMidiPlatform.h"

using namespace std::chrono_literals;
using namespace velnor;
using velnor::testing::AckMessage;
using velnor::testing::Bytes;
using velnor::testing::FakeMidiPlatform;

namespace {

/// Collects the messages the port layer hands to its receive handler.
std::mutex g_receivedLock;
std::vector<Bytes> g_received;

void Record(const std::uint8_t* data, int length) {
    std::lock_guard<std::mutex> lock(g_receivedLock);
    g_received.emplace_back(data, data + length);
}

std::vector<Bytes> Received() {
    std::lock_guard<std::mutex> lock(g_receivedLock);
    return g_received;
}

/// The port layer with the real acknowledgement path: acknowledgements come
/// back through the input callback and are recognised by this handler.
void AckHandler(const std::uint8_t* data, int length) {
    if (length == 10 && data[8] == 0x08) CMidiDevice::SignalAck();
    Record(data, length);
}

/// A message of `n` bytes: F0h, 7-bit bytes, F7h.
Bytes Message(int n) {
    Bytes m(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) m[i] = static_cast<std::uint8_t>(i % 0x70);
    m.front() = 0xF0;
    m.back() = 0xF7;
    return m;
}

class PortLayer : public ::testing::Test {
  protected:
    void SetUp() override {
        CMidiDevice::SetPlatform(&fake);
        SetPrompter(&prompter);
        {
            std::lock_guard<std::mutex> lock(g_receivedLock);
            g_received.clear();
        }
        CMidiDevice::SetReceiveHandler(&AckHandler);
        device = CMidiDevice::GetInstance();
    }
    void TearDown() override {
        for (int i = 0; i < 8 && CMidiDevice::Current(); ++i) CMidiDevice::Release();
        CMidiDevice::SetReceiveHandler(nullptr);
        CMidiDevice::EnableProgress(false);
        CMidiDevice::SetProgressWindow(nullptr);
        CMidiDevice::SetPlatform(nullptr);
        SetPrompter(nullptr);
    }
    void OpenBoth() {
        ASSERT_TRUE(device->OpenInput(0));
        ASSERT_TRUE(device->OpenOutput(0));
        ASSERT_TRUE(device->StartInput());
    }

    FakeMidiPlatform fake;
    ScriptedPrompter prompter;
    CMidiDevice* device = nullptr;
};

TEST_F(PortLayer, EnumeratePortsFillsBothTablesAndClosesThePorts) {
    fake.inputNames = {"Keys In", "Synth In"};
    fake.outputNames = {"Keys Out"};
    OpenBoth();
    device->EnumeratePorts();
    EXPECT_EQ(device->m_nInState, PORT_CLOSED);
    EXPECT_EQ(device->m_nOutState, PORT_CLOSED);
    EXPECT_FALSE(fake.InputOpen());
    EXPECT_FALSE(fake.OutputOpen());
    ASSERT_EQ(device->m_nInCount, 2u);
    ASSERT_EQ(device->m_nOutCount, 1u);
    EXPECT_EQ(device->m_InPorts[1].m_nId, 1);
    EXPECT_EQ(device->m_InPorts[1].m_strName, "Synth In");
    EXPECT_EQ(device->m_OutPorts[0].m_strName, "Keys Out");
    // More ports than the tables hold: the counts stay within the tables.
    fake.inputNames.assign(70, "Many");
    device->EnumeratePorts();
    EXPECT_EQ(device->m_nInCount, 64u);
    EXPECT_EQ(device->m_InPorts[63].m_nId, 63);
    fake.inputNames = {"Keys In", "Synth In"};
    device->EnumeratePorts();
    // Entries beyond the count are reset, including ones filled before.
    EXPECT_EQ(device->m_InPorts[3].m_nId, 0);
    EXPECT_EQ(device->m_InPorts[3].m_strName, "");
    EXPECT_EQ(device->m_OutPorts[63].m_strName, "");
}

TEST_F(PortLayer, OpenAndStartFailuresLeaveTheStates) {
    fake.Script("midiInOpen", {MMSYSERR_ALLOCATED});
    EXPECT_FALSE(device->OpenInput(0));
    EXPECT_EQ(device->m_nInState, PORT_CLOSED);
    EXPECT_FALSE(device->StartInput());  // not open

    ASSERT_TRUE(device->OpenInput(0));
    fake.Script("midiInAddBuffer", {MMSYSERR_NOMEM});
    EXPECT_FALSE(device->StartInput());
    EXPECT_EQ(device->m_nInState, PORT_OPEN);
    EXPECT_EQ(fake.Calls("midiInStart"), 0);
    EXPECT_TRUE(device->StartInput());
    EXPECT_EQ(device->m_nInState, PORT_STARTED);

    fake.Script("midiOutOpen", {MMSYSERR_BADDEVICEID});
    EXPECT_FALSE(device->OpenOutput(0));
    EXPECT_EQ(device->m_nOutState, PORT_CLOSED);
}

TEST_F(PortLayer, SendPacketFailsOnAClosedPortOrAPlatformErrorAndWaitsForTheDriver) {
    Bytes m = Message(14);
    EXPECT_FALSE(device->SendPacket(m.data(), 14));  // output closed
    ASSERT_TRUE(device->OpenOutput(0));
    const Bytes tooLong = Message(48);  // a packet carries 1 to 47 bytes
    EXPECT_FALSE(device->SendPacket(tooLong.data(), 48));
    EXPECT_FALSE(device->SendPacket(tooLong.data(), 0));
    fake.Script("midiOutPrepareHeader", {MMSYSERR_NOMEM});
    EXPECT_FALSE(device->SendPacket(m.data(), 14));
    fake.Script("midiOutLongMsg", {MIDIERR_NOTREADY});
    EXPECT_FALSE(device->SendPacket(m.data(), 14));
    EXPECT_TRUE(fake.Frames().empty());

    fake.Script("midiOutUnprepareHeader",
                {MIDIERR_STILLPLAYING, MIDIERR_STILLPLAYING, MIDIERR_STILLPLAYING});
    int before = fake.Calls("midiOutUnprepareHeader");
    EXPECT_TRUE(device->SendPacket(m.data(), 14));
    EXPECT_EQ(fake.Calls("midiOutUnprepareHeader") - before, 4);
}

TEST_F(PortLayer, ShortMessagesGoOutAsOnePacketUnchanged) {
    OpenBoth();
    fake.SetAutoAck(true);
    for (int n : {14, 32, 46}) {
        fake.ClearSent();
        Bytes m = Message(n);
        EXPECT_TRUE(device->SendSysEx(m.data(), n)) << n;
        auto frames = fake.Frames();
        ASSERT_EQ(frames.size(), 1u) << n;
        EXPECT_EQ(frames[0], m) << n;
    }
    EXPECT_TRUE(device->SendSysEx(nullptr, 0));
}

TEST_F(PortLayer, ALongMessageGoesOutAsAcknowledgedPacketsOf48Bytes) {
    OpenBoth();
    fake.SetAutoAck(true);
    Bytes m = Message(100);
    ASSERT_TRUE(device->SendSysEx(m.data(), 100));
    auto frames = fake.Frames();
    ASSERT_EQ(frames.size(), 3u);
    Bytes p1(m.begin(), m.begin() + 47);
    p1.push_back(0xF7);
    Bytes p2 = {0xF0};
    p2.insert(p2.end(), m.begin() + 47, m.begin() + 93);
    p2.push_back(0xF7);
    Bytes p3 = {0xF0};
    p3.insert(p3.end(), m.begin() + 93, m.end());
    EXPECT_EQ(frames[0], p1);
    EXPECT_EQ(frames[1], p2);
    EXPECT_EQ(frames[2], p3);
}

TEST_F(PortLayer, AMissingAcknowledgementStopsTheRest) {
    OpenBoth();
    fake.SetAutoAck(true);
    Bytes m = Message(100);

    fake.AckOnly(0);
    EXPECT_FALSE(device->SendSysEx(m.data(), 100));
    EXPECT_EQ(fake.Frames().size(), 1u);

    // The third packet is awaited too: two acknowledgements are not enough.
    fake.ClearSent();
    fake.AckOnly(2);
    EXPECT_FALSE(device->SendSysEx(m.data(), 100));
    EXPECT_EQ(fake.Frames().size(), 3u);
}

class CountingSink : public ProgressSink {
  public:
    void OnTransferProgress() override {
        ++count;
        sameThread = sameThread && std::this_thread::get_id() == owner;
    }
    int count = 0;
    bool sameThread = true;
    std::thread::id owner = std::this_thread::get_id();
};

TEST_F(PortLayer, ProgressIsReportedOnTheSendingThreadPerAcknowledgedPacket) {
    OpenBoth();
    fake.SetAutoAck(true);
    CountingSink sink;
    CMidiDevice::SetProgressWindow(&sink);
    Bytes m = Message(200);  // 47 + 46 + 46 + 46 + 15 bytes: five packets
    ASSERT_TRUE(device->SendSysEx(m.data(), 200));
    EXPECT_EQ(sink.count, 0);  // not enabled
    CMidiDevice::EnableProgress(true);
    ASSERT_TRUE(device->SendSysEx(m.data(), 200));
    EXPECT_EQ(sink.count, 5);
    EXPECT_TRUE(sink.sameThread);
    fake.AckOnly(1);
    EXPECT_FALSE(device->SendSysEx(m.data(), 200));
    EXPECT_EQ(sink.count, 6);
}

TEST_F(PortLayer, WithoutAHandlerAMessageIsDiscardedAndTheNextStartsEmpty) {
    OpenBoth();
    CMidiDevice::SetReceiveHandler(nullptr);
    fake.Feed(Message(20));
    ASSERT_TRUE(fake.WaitDelivered());
    CMidiDevice::SetReceiveHandler(&Record);
    Bytes next = Message(14);
    fake.Feed(next);
    ASSERT_TRUE(fake.WaitDelivered());
    ASSERT_EQ(Received().size(), 1u);
    EXPECT_EQ(Received()[0], next);
}

/// `n` bytes of one incoming message that has not ended: F0h, then `fill`.
Bytes Unended(int n, std::uint8_t fill) {
    Bytes m(static_cast<std::size_t>(n), fill);
    m.front() = 0xF0;
    return m;
}

/// Bytes `from` to `to` of Message(n).
Bytes Piece(int n, int from, int to) {
    const Bytes m = Message(n);
    return Bytes(m.begin() + from, m.begin() + to);
}

Bytes operator+(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

/// An acknowledgement as the protocol knows it (10 bytes, byte 8 is 08h) that
/// does not begin with F0h, so only an empty assembly delivers it alone.
const Bytes kBareAck = {0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x08, 0xF7};

struct AssemblyCase {
    const char* name;
    std::vector<Bytes> chunks;
    bool restart;              // the input is stopped and started again, then
    std::vector<Bytes> later;  // these chunks arrive
    std::vector<Bytes> delivered;
};

const AssemblyCase kAssemblyCases[] = {
    // A message split over chunks is delivered once, whole.
    {"Split", {Piece(60, 0, 25), Piece(60, 25, 60)}, false, {}, {Message(60)}},
    // The longest message that fits the 2000-byte buffer still gets through.
    {"Longest", {Message(1999)}, false, {}, {Message(1999)}},
    {"OneByteTooLong", {Message(2000)}, false, {}, {}},
    // 1999 bytes without an end fill the buffer: the acknowledgement after
    // them must still arrive.
    {"UnendedThenAck", {Unended(1999, 0x00), AckMessage()}, false, {}, {AckMessage()}},
    // A chunk that does not fit is dropped with the message it belongs to, up
    // to that message's end, however many chunks that takes; nothing of it is
    // delivered, not even a tail that looks like an acknowledgement.
    {"OverflowDropsTheMessage",
     {Unended(1000, 0x10), Bytes(1000, 0x20), Bytes(10, 0x30), kBareAck, kBareAck},
     false,
     {},
     {kBareAck}},
    {"OverflowThenNewMessage",
     {Unended(1500, 0x10), Bytes(600, 0x20), Message(14)},
     false,
     {},
     {Message(14)}},
    // F0h while a message is half assembled starts a new message.
    {"StartByteStartsAgain", {Unended(21, 0x11), Message(14)}, false, {}, {Message(14)}},
    // A message that lost its F7h on the wire ends at the F0h inside a chunk,
    // and the acknowledgement after it is delivered.
    {"StartByteInsideAChunk", {Unended(21, 0x11) + AckMessage()}, false, {}, {AckMessage()}},
    {"StartByteAfterAPiece",
     {Unended(21, 0x11), Bytes(5, 0x22) + AckMessage()},
     false,
     {},
     {AckMessage()}},
    // Whole messages that arrive together are each delivered.
    {"TwoMessagesInOneChunk", {Message(14) + AckMessage()}, false, {}, {Message(14), AckMessage()}},
    // Starting the input starts with an empty assembly.
    {"RestartEmptiesTheAssembly", {Unended(500, 0x12)}, true, {kBareAck}, {kBareAck}},
};

void PrintTo(const AssemblyCase& c, std::ostream* os) {
    *os << c.name;
}

class Assembly : public PortLayer, public ::testing::WithParamInterface<AssemblyCase> {};

TEST_P(Assembly, DeliversWholeMessagesAndTheNextAcknowledgement) {
    const AssemblyCase& c = GetParam();
    OpenBoth();
    for (const Bytes& chunk : c.chunks) fake.Feed(chunk);
    ASSERT_TRUE(fake.WaitDelivered());
    if (c.restart) {
        ASSERT_TRUE(device->CloseInput());
        ASSERT_TRUE(device->OpenInput(0));
        ASSERT_TRUE(device->StartInput());
    }
    for (const Bytes& chunk : c.later) fake.Feed(chunk);
    ASSERT_TRUE(fake.WaitDelivered());
    // The buffer goes back to the driver after every chunk, dropped or not.
    EXPECT_EQ(fake.Calls("midiInAddBuffer"),
              static_cast<int>(1 + c.restart + c.chunks.size() + c.later.size()));
    EXPECT_EQ(Received(), c.delivered);

    fake.SetAutoAck(true);
    Bytes m = Message(14);
    EXPECT_TRUE(device->SendSysEx(m.data(), 14));
    ASSERT_TRUE(fake.WaitDelivered());
    ASSERT_EQ(Received().size(), c.delivered.size() + 1);
    EXPECT_EQ(Received().back(), AckMessage());
}

INSTANTIATE_TEST_SUITE_P(PortLayer, Assembly, ::testing::ValuesIn(kAssemblyCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(PortLayer, InputClosesAfterElevenResetsOrReportsThatItCannot) {
    OpenBoth();
    fake.Script("midiInClose", std::vector<MidiResult>(12, MIDIERR_STILLPLAYING));
    EXPECT_FALSE(device->CloseInput());
    EXPECT_EQ(prompter.Texts(), std::vector<std::string>{"midiInClose failed"});
    EXPECT_EQ(fake.Calls("midiInClose"), 12);
    // One reset while stopping, then one before each of the 11 retries.
    EXPECT_EQ(fake.Calls("midiInReset"), 1 + 11);
    auto closes = fake.CallTimes("midiInClose");
    for (std::size_t i = 1; i < closes.size(); ++i) EXPECT_GE(closes[i] - closes[i - 1], 10ms);
    EXPECT_EQ(device->m_nInState, PORT_OPEN);
    EXPECT_TRUE(fake.InputOpen());

    // Nothing scripted any more: the next close succeeds at once.
    EXPECT_TRUE(device->CloseInput());
    EXPECT_EQ(device->m_nInState, PORT_CLOSED);
    EXPECT_EQ(prompter.Texts().size(), 1u);
}

TEST_F(PortLayer, InputCloseTreatsOtherErrorsAsClosedAndReportsAnUnprepareFailure) {
    ASSERT_TRUE(device->OpenInput(0));
    fake.Script("midiInClose", {MIDIERR_STILLPLAYING, MIDIERR_STILLPLAYING, MMSYSERR_ERROR});
    fake.Script("midiInUnprepareHeader", {MMSYSERR_INVALHANDLE});
    EXPECT_TRUE(device->CloseInput());
    EXPECT_EQ(device->m_nInState, PORT_CLOSED);
    EXPECT_EQ(fake.Calls("midiInClose"), 3);
    EXPECT_EQ(fake.Calls("midiInReset"), 2);
    EXPECT_EQ(prompter.Texts(), std::vector<std::string>{"midiInUnprepareHeader failed"});
    EXPECT_TRUE(device->CloseInput());  // already closed
    EXPECT_EQ(fake.Calls("midiInClose"), 3);
}

TEST_F(PortLayer, AStopFailureKeepsTheInputStarted) {
    OpenBoth();
    fake.Script("midiInStop", {MMSYSERR_ERROR});
    EXPECT_FALSE(device->CloseInput());
    EXPECT_EQ(device->m_nInState, PORT_STARTED);
    EXPECT_EQ(fake.Calls("midiInClose"), 0);
}

TEST_F(PortLayer, OutputCloseRetriesOnEveryErrorAndFailsSilently) {
    ASSERT_TRUE(device->OpenOutput(0));
    fake.Script("midiOutClose", std::vector<MidiResult>(12, MMSYSERR_ERROR));
    EXPECT_FALSE(device->CloseOutput());
    EXPECT_EQ(fake.Calls("midiOutClose"), 12);
    EXPECT_EQ(fake.Calls("midiOutReset"), 11);
    EXPECT_TRUE(prompter.Texts().empty());
    EXPECT_EQ(device->m_nOutState, PORT_OPEN);

    fake.Script("midiOutClose", {MIDIERR_STILLPLAYING, MMSYSERR_NOMEM});
    EXPECT_TRUE(device->CloseOutput());
    EXPECT_EQ(fake.Calls("midiOutClose"), 15);
    EXPECT_EQ(device->m_nOutState, PORT_CLOSED);
    EXPECT_TRUE(device->CloseOutput());  // closed: nothing to do
    EXPECT_EQ(fake.Calls("midiOutClose"), 15);
}

TEST_F(PortLayer, ReleaseTearsDownOnceAndLaterReleasesDoNothing) {
    OpenBoth();
    CMidiDevice::Release();
    EXPECT_EQ(CMidiDevice::Current(), nullptr);
    EXPECT_FALSE(fake.InputOpen());
    EXPECT_FALSE(fake.OutputOpen());
    EXPECT_EQ(fake.Calls("midiInClose"), 1);
    EXPECT_EQ(fake.Calls("midiOutClose"), 1);
    CMidiDevice::Release();
    CMidiDevice::Release();
    EXPECT_EQ(fake.Calls("midiInClose"), 1);
    EXPECT_EQ(fake.Calls("midiOutClose"), 1);
    EXPECT_EQ(CMidiDevice::UseCount(), 0);

    // A later GetInstance starts afresh, and its Release tears it down again.
    CMidiDevice* again = CMidiDevice::GetInstance();
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(again->m_nInState, PORT_CLOSED);
    CMidiDevice::GetInstance();
    CMidiDevice::Release();
    EXPECT_NE(CMidiDevice::Current(), nullptr);
    CMidiDevice::Release();
    EXPECT_EQ(CMidiDevice::Current(), nullptr);
}

}  // namespace
