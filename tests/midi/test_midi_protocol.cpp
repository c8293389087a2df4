#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <memory>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>

#include "common/ScriptedPrompter.h"
#include "midi/CMidiDevice.h"
#include "midi/CMidiTrans.h"
#include "support/FakeMidiPlatform.h"
#include "support/SettlingEventPump.h"

using namespace velnor;
using velnor::testing::Bytes;
using velnor::testing::DeviceMessage;
using velnor::testing::FakeMidiPlatform;
using velnor::testing::SettlingEventPump;

namespace {

Bytes Hex(const std::string& text) {
    std::istringstream in(text);
    Bytes bytes;
    unsigned value = 0;
    while (in >> std::hex >> value) bytes.push_back(static_cast<std::uint8_t>(value));
    return bytes;
}

Bytes WithName(Bytes payload, const std::string& name) {
    payload.insert(payload.end(), name.begin(), name.end());
    return payload;
}

const Bytes kConnectRequest = Hex("F0 00 1E 2D 55 52 53 57 00 00 00 1C 01 F7");
const Bytes kListStart = Hex("F0 00 1E 2D 55 52 53 57 12 01 00 2F 01 F7");
const Bytes kListNext = Hex("F0 00 1E 2D 55 52 53 57 12 00 00 2E 01 F7");
const Bytes kDeleteSlot5 = Hex("F0 00 1E 2D 55 52 53 57 15 05 00 36 01 F7");
const Bytes kReadSlot200 = Hex("F0 00 1E 2D 55 52 53 57 14 48 01 79 01 F7");
const Bytes kChecksumReply13 = Hex("F0 00 1E 2D 55 52 53 57 13 02 00 31 01 F7");

class Protocol : public ::testing::Test {
  protected:
    void SetUp() override {
        SetEventPump(&pump);
        CMidiDevice::SetPlatform(&fake);
        SetPrompter(&prompter);
        CMidiDevice::GetInstance();
        trans = std::make_unique<CMidiTrans>();
        CMidiDevice::SetReceiveHandler(&CMidiTrans::OnReceive);
        ASSERT_TRUE(trans->OpenPorts(0, 0));
        fake.SetAutoAck(true);
        CMidiTrans::s_nState = TS_UNEXPECTED;
    }
    void TearDown() override {
        trans.reset();
        for (int i = 0; i < 8 && CMidiDevice::Current(); ++i) CMidiDevice::Release();
        CMidiDevice::SetReceiveHandler(nullptr);
        CMidiDevice::SetPlatform(nullptr);
        SetPrompter(nullptr);
        SetEventPump(nullptr);
        CMidiTrans::s_nState = TS_UNEXPECTED;
    }
    /// Hands a message to the receive handler as the input thread would.
    static void Receive(const Bytes& message) {
        CMidiTrans::OnReceive(message.data(), static_cast<int>(message.size()));
    }
    static int State() { return CMidiTrans::s_nState; }
    /// A slot list starts: no names yet, the first reply awaited.
    static void StartList() {
        std::lock_guard<std::mutex> lock(CMidiTrans::s_SongNamesLock);
        CMidiTrans::s_SongNames.clear();
        CMidiTrans::s_SlotFree.clear();
        CMidiTrans::s_nState = TS_LIST_WAIT;
    }
    static Bytes BadChecksum(Bytes message) {
        message[message.size() - 3] ^= 0x01;
        return message;
    }

    FakeMidiPlatform fake;
    SettlingEventPump pump{[this] { fake.WaitDelivered(); }};
    ScriptedPrompter prompter;
    std::unique_ptr<CMidiTrans> trans;
};

TEST_F(Protocol, RequestsGoOutByteForByte) {
    fake.SetResponder([](const Bytes& m) -> std::vector<Bytes> {
        switch (m[8]) {
            case CMD_CONNECT:
                return {DeviceMessage(CMD_CONNECT, WithName({0, 0, 4}, "Keys"))};
            case CMD_SONG_LIST:
                return {DeviceMessage(CMD_SONG_LIST,
                                      m[9] == 1 ? WithName({0, 0, 1}, "A") : Bytes{ST_LIST_END})};
            case CMD_SONG_DELETE:
                return {DeviceMessage(CMD_SONG_DELETE, {ST_OK})};
            default:
                return {DeviceMessage(m[8], {9})};  // refused
        }
    });
    std::string name;
    EXPECT_TRUE(trans->Connect(name));
    EXPECT_EQ(name, "Keys");
    std::vector<std::string> names;
    EXPECT_TRUE(trans->ReadSongList(names));
    EXPECT_EQ(names, std::vector<std::string>{"A"});
    EXPECT_TRUE(trans->DeleteSong(5));
    EXPECT_FALSE(trans->UploadSong(::testing::TempDir() + "velnor_unused.mid", 200, 200));

    auto messages = fake.Messages();
    ASSERT_EQ(messages.size(), 5u);
    EXPECT_EQ(messages[0], kConnectRequest);
    EXPECT_EQ(messages[1], kListStart);
    EXPECT_EQ(messages[2], kListNext);
    EXPECT_EQ(messages[3], kDeleteSlot5);
    EXPECT_EQ(messages[4], kReadSlot200);

    // A 13h message with a bad checksum, arriving on the input thread.
    fake.ClearSent();
    fake.Feed(BadChecksum(DeviceMessage(CMD_SONG_WRITE, {ST_OK})));
    ASSERT_TRUE(fake.WaitDelivered());
    ASSERT_EQ(fake.Frames().size(), 1u);
    EXPECT_EQ(fake.Frames()[0], kChecksumReply13);
}

TEST_F(Protocol, AnAcknowledgementIsRecognisedInEveryStateByLengthAndCommandOnly) {
    fake.SetAutoAck(false);
    const Bytes oddAck = {0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x08, 0xF7};
    fake.SetResponder([&](const Bytes&) { return std::vector<Bytes>{oddAck}; });
    const Bytes request = kListNext;
    for (int state : {TS_UNEXPECTED, TS_CONNECT_WAIT, TS_LIST_WAIT, TS_HEADER_WAIT, TS_BLOCK_OK,
                      TS_BLOCK_WAIT, TS_DELETE_OK}) {
        CMidiTrans::s_nState = state;
        EXPECT_TRUE(CMidiDevice::Current()->SendSysEx(request.data(), 14)) << state;
        ASSERT_TRUE(fake.WaitDelivered());
        EXPECT_EQ(State(), state);
    }
    // Without the acknowledgement the same send fails.
    fake.SetResponder(nullptr);
    EXPECT_FALSE(CMidiDevice::Current()->SendSysEx(request.data(), 14));
}

struct ComplaintCase {
    std::uint8_t command;
    int state;
    bool answered;
};

// A bad checksum is answered with the message's command and status 2, and
// changes no state. The answer is also a request on the wire: for 15h it reads
// "delete slot 2", so a corrupted delete reply is never answered; for 14h it
// reads "read slot 2", so it goes out only while an upload waits.
TEST_F(Protocol, ABadChecksumIsAnsweredOnlyWhereTheAnswerIsSafe) {
    const ComplaintCase cases[] = {
        {CMD_SONG_WRITE, TS_HEADER_WAIT, true},  {CMD_SONG_WRITE, TS_CONNECT_OK, true},
        {CMD_SONG_WRITE, TS_BLOCK_OK, true},     {CMD_SONG_DELETE, TS_DELETE_WAIT, false},
        {CMD_SONG_DELETE, TS_UNEXPECTED, false}, {CMD_SONG_DELETE, TS_DELETE_OK, false},
        {CMD_SONG_READ, TS_UNEXPECTED, false},   {CMD_SONG_READ, TS_CONNECT_OK, false},
        {CMD_SONG_READ, TS_BLOCK_OK, false},     {CMD_SONG_READ, TS_DELETE_WAIT, false},
        {CMD_SONG_READ, TS_FETCH_WAIT, true},    {CMD_SONG_READ, TS_BLOCK_WAIT, true},
    };
    for (const ComplaintCase& c : cases) {
        fake.ClearSent();
        CMidiTrans::s_nState = c.state;
        Receive(BadChecksum(DeviceMessage(c.command, {ST_OK, 1, 2})));
        EXPECT_EQ(State(), c.state);
        const std::vector<Bytes> expected = {DeviceMessage(c.command, {ST_CHECKSUM})};
        EXPECT_EQ(fake.Frames(), c.answered ? expected : std::vector<Bytes>{})
            << "command " << int(c.command) << " state " << c.state;
    }
}

// A reply is judged against the state it finds. When a new operation sets its
// own waiting state while that reply is still being handled, the reply leaves
// the new state alone. The list's name lock holds the handler in that window:
// a slot name out of order is judged against the list wait, then waits for the
// lock while the test starts a delete.
TEST_F(Protocol, AReplyJudgedAgainstAnOldWaitLeavesANewOperationsStateAlone) {
    const Bytes outOfOrder = DeviceMessage(CMD_SONG_LIST, WithName({ST_OK, 5, 1}, "X"));
    int state = TS_UNEXPECTED;
    // A round in which the handler reads the state only after the delete has
    // set it ends in state 0 (a list reply to a delete wait) and is run again.
    for (int round = 0; round < 1000 && state == TS_UNEXPECTED; ++round) {
        std::unique_lock<std::mutex> names(CMidiTrans::s_SongNamesLock);
        CMidiTrans::s_SongNames.clear();
        CMidiTrans::s_SlotFree.clear();
        CMidiTrans::s_nState = TS_LIST_WAIT;
        std::promise<void> entered;
        std::thread input([&] {
            entered.set_value();
            Receive(outOfOrder);
        });
        entered.get_future().wait();
        CMidiTrans::s_nState = TS_DELETE_WAIT;  // the new operation
        names.unlock();
        input.join();
        state = State();
    }
    EXPECT_EQ(state, TS_DELETE_WAIT);
}

TEST_F(Protocol, NoSentFrameHoldsAStatusByteInside) {
    // A command byte of 80h or more is not one of the instrument's: such a
    // message is ignored, with no complaint that would repeat the byte.
    const Bytes foreign[] = {
        Hex("F0 00 1E 2D 55 52 53 57 F7 F7 F7 F7"),
        BadChecksum(DeviceMessage(0x80, {ST_OK})),
        BadChecksum(DeviceMessage(0xF0, {ST_OK})),
        DeviceMessage(0x80, {ST_OK}),
        DeviceMessage(0x93, {ST_OK}),
    };
    for (int state : {TS_UNEXPECTED, TS_HEADER_WAIT, TS_FETCH_WAIT, TS_BLOCK_OK}) {
        CMidiTrans::s_nState = state;
        for (const Bytes& m : foreign) Receive(m);
        EXPECT_EQ(State(), state);
    }
    Receive(BadChecksum(DeviceMessage(CMD_SONG_LIST, {ST_OK})));
    auto frames = fake.Frames();
    ASSERT_EQ(frames.size(), 1u);
    for (const Bytes& frame : frames) {
        EXPECT_EQ(frame.front(), 0xF0);
        EXPECT_EQ(frame.back(), 0xF7);
        for (std::size_t i = 1; i + 1 < frame.size(); ++i) EXPECT_LT(frame[i], 0x80) << i;
    }
}

TEST_F(Protocol, MalformedMessagesAreIgnoredSilently) {
    CMidiTrans::s_nState = TS_HEADER_WAIT;
    Bytes wrongMaker = DeviceMessage(CMD_SONG_WRITE, {ST_OK});
    wrongMaker[2] = 0x1F;
    Bytes noEnd = DeviceMessage(CMD_SONG_WRITE, {ST_OK});
    noEnd.back() = 0x00;
    Bytes tooShort = {0xF0, 0x00, 0x1E, 0x2D, 0x55, 0x52, 0x53, 0x57, 0x13, 0x13, 0xF7};
    for (const Bytes& m : {wrongMaker, noEnd, tooShort}) Receive(m);
    // A reply without the status byte it should carry.
    Receive(DeviceMessage(CMD_SONG_WRITE, {}));
    EXPECT_EQ(State(), TS_HEADER_WAIT);
    EXPECT_TRUE(fake.Frames().empty());
    CMidiTrans::OnReceive(nullptr, 0);
    EXPECT_EQ(State(), TS_HEADER_WAIT);
}

struct StatusCase {
    int state;
    std::uint8_t command;
    std::uint8_t status;
    int expected;
};

TEST_F(Protocol, RepliesMoveEachWaitingStateByTheirStatus) {
    const StatusCase cases[] = {
        {TS_CONNECT_WAIT, CMD_CONNECT, ST_CHECKSUM, TS_CONNECT_CHECKSUM},
        {TS_CONNECT_WAIT, CMD_CONNECT, 5, TS_CONNECT_FAIL},
        {TS_LIST_WAIT, CMD_SONG_LIST, ST_LIST_END, TS_LIST_DONE},
        {TS_LIST_WAIT, CMD_SONG_LIST, 3, TS_LIST_WAIT},
        {TS_HEADER_WAIT, CMD_SONG_WRITE, ST_OK, TS_HEADER_OK},
        {TS_HEADER_WAIT, CMD_SONG_WRITE, ST_CHECKSUM, TS_HEADER_CHECKSUM},
        {TS_HEADER_WAIT, CMD_SONG_WRITE, ST_NO_CAPACITY, TS_HEADER_NO_CAPACITY},
        {TS_HEADER_WAIT, CMD_SONG_WRITE, 9, TS_HEADER_FAIL},
        {TS_DATA_WAIT, CMD_SONG_WRITE, ST_OK, TS_DATA_OK},
        {TS_DATA_WAIT, CMD_SONG_WRITE, ST_CHECKSUM, TS_DATA_CHECKSUM},
        {TS_DATA_WAIT, CMD_SONG_WRITE, ST_NO_CAPACITY, TS_DATA_FAIL},
        {TS_FETCH_WAIT, CMD_SONG_READ, ST_OK, TS_FETCH_OK},
        {TS_FETCH_WAIT, CMD_SONG_READ, ST_CHECKSUM, TS_FETCH_CHECKSUM},
        {TS_FETCH_WAIT, CMD_SONG_READ, ST_LIST_END, TS_FETCH_FAIL},
        {TS_BLOCK_WAIT, CMD_SONG_READ, 0x7E, TS_BLOCK_OK},
        {TS_DELETE_WAIT, CMD_SONG_DELETE, ST_OK, TS_DELETE_OK},
        {TS_DELETE_WAIT, CMD_SONG_DELETE, ST_CHECKSUM, TS_DELETE_CHECKSUM},
        {TS_DELETE_WAIT, CMD_SONG_DELETE, 4, TS_DELETE_FAIL},
    };
    for (const StatusCase& c : cases) {
        CMidiTrans::s_nState = c.state;
        Receive(DeviceMessage(c.command, {c.status, 0, 0, 0, 0, 0, 0, 0, 0}));
        EXPECT_EQ(State(), c.expected) << "state " << c.state << " status " << int(c.status);
    }
    EXPECT_TRUE(fake.Frames().empty());
}

TEST_F(Protocol, AWrongCommandForTheAwaitedReplyGivesStateZero) {
    const std::pair<int, std::uint8_t> cases[] = {
        {TS_CONNECT_WAIT, CMD_SONG_LIST}, {TS_LIST_WAIT, CMD_CONNECT},
        {TS_HEADER_WAIT, CMD_SONG_READ},  {TS_DATA_WAIT, CMD_SONG_DELETE},
        {TS_FETCH_WAIT, CMD_SONG_WRITE},  {TS_BLOCK_WAIT, CMD_SONG_LIST},
        {TS_DELETE_WAIT, CMD_SONG_READ},
    };
    for (auto [state, command] : cases) {
        CMidiTrans::s_nState = state;
        Receive(DeviceMessage(command, {ST_OK}));
        EXPECT_EQ(State(), TS_UNEXPECTED) << state;
    }
}

TEST_F(Protocol, RepliesInStatesThatWaitForNothingAreIgnored) {
    CMidiTrans::s_nState = TS_CONNECT_WAIT;
    Receive(DeviceMessage(CMD_CONNECT, WithName({0, 0, 5}, "Organ")));
    ASSERT_EQ(State(), TS_CONNECT_OK);
    Receive(DeviceMessage(CMD_CONNECT, WithName({0, 0, 5}, "Drums")));
    EXPECT_EQ(State(), TS_CONNECT_OK);
    EXPECT_STREQ(CMidiTrans::s_pDeviceName.get(), "Organ");

    CMidiTrans::s_nState = TS_BLOCK_WAIT;
    Receive(DeviceMessage(CMD_SONG_READ, {0, 0, 0, 0, 1, 0, 0x5A}));
    ASSERT_EQ(State(), TS_BLOCK_OK);
    // A second block while nobody waits leaves the first one to be read.
    Receive(DeviceMessage(CMD_SONG_READ, {1, 0, 0, 0, 1, 0, 0x33}));
    EXPECT_EQ(State(), TS_BLOCK_OK);
    EXPECT_EQ(CMidiTrans::s_pPayload[6], 0x5A);
    EXPECT_TRUE(fake.Frames().empty());
}

TEST_F(Protocol, NamesThatWouldOverrunTheBuffersAreCut) {
    // Announced 250 bytes, 200 present: cut to 99 and a NUL.
    CMidiTrans::s_nState = TS_CONNECT_WAIT;
    Receive(DeviceMessage(CMD_CONNECT, WithName({0, 0, 250}, std::string(200, 'x'))));
    EXPECT_EQ(State(), TS_CONNECT_OK);
    EXPECT_EQ(std::string(CMidiTrans::s_pDeviceName.get()), std::string(99, 'x'));

    // Announced 40 bytes, 5 present: only what the payload holds is read.
    CMidiTrans::s_nState = TS_CONNECT_WAIT;
    Receive(DeviceMessage(CMD_CONNECT, WithName({0, 0, 40}, "Short")));
    EXPECT_STREQ(CMidiTrans::s_pDeviceName.get(), "Short");

    // A name length of 0 replaces the name before with an empty one.
    CMidiTrans::s_nState = TS_CONNECT_WAIT;
    Receive(DeviceMessage(CMD_CONNECT, {0, 0x33, 0}));
    EXPECT_EQ(State(), TS_CONNECT_OK);
    EXPECT_STREQ(CMidiTrans::s_pDeviceName.get(), "");

    // Status 0 but no name length at all: the reply is ignored.
    CMidiTrans::s_nState = TS_CONNECT_WAIT;
    Receive(DeviceMessage(CMD_CONNECT, {0, 0}));
    EXPECT_EQ(State(), TS_CONNECT_WAIT);

    StartList();
    Receive(DeviceMessage(CMD_SONG_LIST, {0, 0}));  // no name length: ignored
    EXPECT_TRUE(CMidiTrans::s_SongNames.empty());
    Receive(DeviceMessage(CMD_SONG_LIST, WithName({0, 0, 200}, std::string(150, 'y'))));
    ASSERT_EQ(CMidiTrans::s_SongNames.size(), 1u);
    EXPECT_EQ(CMidiTrans::s_SongNames[0], std::string(99, 'y'));
    EXPECT_EQ(State(), TS_LIST_WAIT);
}

TEST_F(Protocol, SlotNamesArriveInSequenceAndEachAsksForTheNext) {
    StartList();
    Receive(DeviceMessage(CMD_SONG_LIST, WithName({0, 0, 3}, "One")));
    Receive(DeviceMessage(CMD_SONG_LIST, {0, 1, 0}));
    Receive(DeviceMessage(CMD_SONG_LIST, WithName({0, 2, 5}, "Three")));
    EXPECT_EQ(State(), TS_LIST_WAIT);
    Receive(DeviceMessage(CMD_SONG_LIST, {ST_LIST_END}));
    EXPECT_EQ(State(), TS_LIST_DONE);
    EXPECT_EQ(CMidiTrans::s_SongNames, (std::vector<std::string>{"One", "Empty", "Three"}));
    EXPECT_EQ(fake.Frames(), (std::vector<Bytes>{kListNext, kListNext, kListNext}));

    StartList();
    Receive(DeviceMessage(CMD_SONG_LIST, WithName({0, 0, 3}, "One")));
    Receive(DeviceMessage(CMD_SONG_LIST, WithName({0, 2, 5}, "Three")));
    EXPECT_EQ(State(), TS_LIST_ORDER);
    EXPECT_EQ(CMidiTrans::s_SongNames.size(), 1u);

    // A song whose name reads as no text (its bytes start with 00, or they
    // are missing) still gets a name the user can see.
    StartList();
    Receive(DeviceMessage(CMD_SONG_LIST, WithName({0, 0, 3}, std::string("\0ab", 3))));
    Receive(DeviceMessage(CMD_SONG_LIST, {0, 1, 4}));
    EXPECT_EQ(CMidiTrans::s_SongNames, (std::vector<std::string>{"Slot 0.mid", "Slot 1.mid"}));
}

// The instrument cuts names to 12 bytes, in the middle of a character too;
// names from its first platform are Windows-1252.
TEST_F(Protocol, NamesFromTheInstrumentAreReadAsUtf8OrWindows1252) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"\xCE\xA9\xCE\xB4\xCE\xAE \xCF\x83\xCF\x84\xCE.mid",
         "\u03A9\u03B4\u03AE \u03C3\u03C4.mid"},
        {"Caf\xC3\xA9 au l.mid", "Caf\u00E9 au l.mid"},
        {"Caf\xE9.mid", "Caf\u00E9.mid"},
        {"\x80 Hits \x9F.mid", "\u20AC Hits \u0178.mid"},
        {"Plain.mid", "Plain.mid"},
    };
    std::size_t next = 0;
    fake.SetResponder([&cases, &next](const Bytes& m) -> std::vector<Bytes> {
        if (m[8] == CMD_CONNECT)
            return {DeviceMessage(CMD_CONNECT, WithName({0, 0, 9}, "Caf\xE9 Keys"))};
        if (m[9] == 1) next = 0;
        if (next == cases.size()) return {DeviceMessage(CMD_SONG_LIST, {ST_LIST_END})};
        const std::string& raw = cases[next].first;
        return {DeviceMessage(CMD_SONG_LIST,
                              WithName({0, std::uint8_t(next++), std::uint8_t(raw.size())}, raw))};
    });
    std::string device;
    ASSERT_TRUE(trans->Connect(device));
    EXPECT_EQ(device, "Caf\u00E9 Keys");
    std::vector<std::string> names;
    ASSERT_TRUE(trans->ReadSongList(names));
    ASSERT_EQ(names.size(), cases.size());
    for (std::size_t i = 0; i < cases.size(); ++i) EXPECT_EQ(names[i], cases[i].second) << i;
}

TEST_F(Protocol, PayloadBytesAreDecodedFromTwoWireBytes) {
    Bytes m = DeviceMessage(CMD_SONG_READ, {0xFF, 0x80, 0x7F, 0x00});
    EXPECT_EQ(m[9], 0x7F);
    EXPECT_EQ(m[10], 0x01);
    ASSERT_TRUE(CMidiTrans::VerifyMessage(m.data(), static_cast<int>(m.size())));
    EXPECT_EQ(CMidiTrans::s_nPayloadLength, 4);
    EXPECT_EQ(CMidiTrans::s_pPayload[0], 0xFF);
    EXPECT_EQ(CMidiTrans::s_pPayload[1], 0x80);
    EXPECT_EQ(CMidiTrans::s_pPayload[2], 0x7F);
    EXPECT_EQ(CMidiTrans::s_pPayload[3], 0x00);

    // A payload exactly as large as the buffer is taken whole; one byte more
    // is refused and leaves the buffer as it was.
    const Bytes full = DeviceMessage(CMD_SONG_READ, Bytes(PAYLOAD_BUFFER_SIZE, 0xA5));
    ASSERT_TRUE(CMidiTrans::VerifyMessage(full.data(), static_cast<int>(full.size())));
    EXPECT_EQ(CMidiTrans::s_nPayloadLength, PAYLOAD_BUFFER_SIZE);
    EXPECT_EQ(CMidiTrans::s_pPayload[PAYLOAD_BUFFER_SIZE - 1], 0xA5);
    const Bytes over = DeviceMessage(CMD_SONG_READ, Bytes(PAYLOAD_BUFFER_SIZE + 1, 0x5A));
    EXPECT_FALSE(CMidiTrans::VerifyMessage(over.data(), static_cast<int>(over.size())));
    EXPECT_EQ(CMidiTrans::s_nPayloadLength, PAYLOAD_BUFFER_SIZE);
    EXPECT_EQ(CMidiTrans::s_pPayload[0], 0xA5);

    // The program's builder agrees with the instrument's.
    const std::uint8_t payload[] = {0xC8, 0x01, 0x9A};
    EXPECT_EQ(CMidiTrans::MakeMessage(CMD_SONG_WRITE, payload, 3),
              DeviceMessage(CMD_SONG_WRITE, {0xC8, 0x01, 0x9A}));
}

}  // namespace
