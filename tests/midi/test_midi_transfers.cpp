#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>

#include "common/ScriptedPrompter.h"
#include "midi/CMidiDevice.h"
#include "midi/CMidiTrans.h"
#include "support/FakeMidiPlatform.h"
#include "support/SettlingEventPump.h"

using namespace std::chrono_literals;
using namespace velnor;
using velnor::testing::Bytes;
using velnor::testing::DecodePayload;
using velnor::testing::DeviceMessage;
using velnor::testing::FakeMidiPlatform;
using velnor::testing::SettlingEventPump;
namespace fs = std::filesystem;

namespace {

/// A scripted instrument behind the fake ports. Called for every complete
/// message the program sends; returns the replies.
struct Instrument {
    std::string name = "Test Keys";
    std::vector<std::string> slots;  // "" is an empty slot
    std::uint8_t headerStatus = ST_OK;
    bool answerData = true;
    std::uint8_t readStatus = ST_OK;
    Bytes song;                               // what a read returns
    std::uint32_t announcedLength = 0;        // 0: the song's length
    std::vector<std::uint16_t> blockSizes;    // bytes carried by each block
    std::vector<std::uint16_t> claimedSizes;  // sizes announced, if different
    int wrongIndexAt = -1;

    Bytes received;  // song data the instrument got
    std::size_t nextSlot = 0;
    std::size_t nextBlock = 0;
    bool expectData = false;

    std::vector<Bytes> Respond(const Bytes& m) {
        Bytes p = DecodePayload(m);
        switch (m[8]) {
            case CMD_CONNECT: {
                Bytes reply = {ST_OK, 0, static_cast<std::uint8_t>(name.size())};
                reply.insert(reply.end(), name.begin(), name.end());
                return {DeviceMessage(CMD_CONNECT, reply)};
            }
            case CMD_SONG_LIST:
                return {ListReply(p[0] == 1)};
            case CMD_SONG_DELETE:
                return {DeviceMessage(CMD_SONG_DELETE,
                                      {p[0] < slots.size() ? ST_OK : Bytes::value_type{9}})};
            case CMD_SONG_WRITE:
                return WriteReply(p);
            default:
                return ReadReply(p);
        }
    }

    Bytes ListReply(bool start) {
        if (start) nextSlot = 0;
        if (nextSlot >= slots.size()) return DeviceMessage(CMD_SONG_LIST, {ST_LIST_END});
        const std::string& slot = slots[nextSlot];
        Bytes reply = {ST_OK, static_cast<std::uint8_t>(nextSlot),
                       static_cast<std::uint8_t>(slot.size())};
        reply.insert(reply.end(), slot.begin(), slot.end());
        ++nextSlot;
        return DeviceMessage(CMD_SONG_LIST, reply);
    }

    std::vector<Bytes> WriteReply(const Bytes& p) {
        if (!expectData) {
            expectData = headerStatus == ST_OK;
            return {DeviceMessage(CMD_SONG_WRITE, {headerStatus})};
        }
        expectData = false;
        received = p;
        if (!answerData) return {};
        return {DeviceMessage(CMD_SONG_WRITE, {ST_OK})};
    }

    std::vector<Bytes> ReadReply(const Bytes& p) {
        if (p[0] != 0) {
            // A read request (slot 0 is never read in these tests).
            std::uint32_t length =
                announcedLength ? announcedLength : static_cast<std::uint32_t>(song.size());
            std::uint32_t blocks = static_cast<std::uint32_t>(blockSizes.size());
            Bytes reply = {readStatus};
            for (std::uint32_t v : {length, blocks})
                for (int i = 0; i < 4; ++i)
                    reply.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
            nextBlock = 0;
            return {DeviceMessage(CMD_SONG_READ, reply)};
        }
        if (nextBlock >= blockSizes.size()) return {};  // the closing next request
        std::size_t i = nextBlock++;
        std::uint32_t index = static_cast<int>(i) == wrongIndexAt
                                  ? static_cast<std::uint32_t>(i + 1)
                                  : static_cast<std::uint32_t>(i);
        std::uint16_t size = blockSizes[i];
        std::uint16_t claimed = i < claimedSizes.size() ? claimedSizes[i] : size;
        Bytes reply;
        for (int b = 0; b < 4; ++b) reply.push_back(static_cast<std::uint8_t>(index >> (8 * b)));
        reply.push_back(static_cast<std::uint8_t>(claimed));
        reply.push_back(static_cast<std::uint8_t>(claimed >> 8));
        for (std::size_t b = 0; b < size; ++b)
            reply.push_back(i * 256 + b < song.size() ? song[i * 256 + b] : 0x55);
        return {DeviceMessage(CMD_SONG_READ, reply)};
    }
};

Bytes Song(std::size_t length) {
    Bytes song(length);
    for (std::size_t i = 0; i < length; ++i) song[i] = static_cast<std::uint8_t>(i * 7 + 3);
    return song;
}

Bytes ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFile(const fs::path& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

class Transfers : public ::testing::Test {
  protected:
    void SetUp() override {
        dir = fs::path(::testing::TempDir()) /
              ("velnor_transfers_" +
               std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(dir);
        fs::create_directories(dir);
        SetEventPump(&pump);
        CMidiDevice::SetPlatform(&fake);
        SetPrompter(&prompter);
        CMidiDevice::GetInstance();
        CMidiDevice::SetReceiveHandler(&CMidiTrans::OnReceive);
        trans = std::make_unique<CMidiTrans>();
        ASSERT_TRUE(trans->OpenPorts(0, 0));
        fake.SetAutoAck(true);
        fake.SetResponder([this](const Bytes& m) { return instrument.Respond(m); });
    }
    void TearDown() override {
        EXPECT_TRUE(CMidiTrans::IsIdle());
        trans.reset();
        for (int i = 0; i < 8 && CMidiDevice::Current(); ++i) CMidiDevice::Release();
        CMidiDevice::SetReceiveHandler(nullptr);
        CMidiDevice::EnableProgress(false);
        CMidiDevice::SetProgressWindow(nullptr);
        CMidiDevice::SetPlatform(nullptr);
        SetPrompter(nullptr);
        SetEventPump(nullptr);
        CMidiTrans::s_nState = TS_UNEXPECTED;
        fs::remove_all(dir);
    }
    std::vector<Bytes> SentMessages() { return fake.Messages(); }
    /// No file is left in the folder but the ones named.
    std::vector<std::string> FilesInDir() {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(dir))
            names.push_back(entry.path().filename().string());
        return names;
    }

    fs::path dir;
    FakeMidiPlatform fake;
    SettlingEventPump pump{[this] { fake.WaitDelivered(); }};
    ScriptedPrompter prompter;
    Instrument instrument;
    std::unique_ptr<CMidiTrans> trans;
};

TEST_F(Transfers, OpenPortsUndoesWhatItOpenedOnFailure) {
    fake.Script("midiInStart", {MMSYSERR_ERROR});
    EXPECT_FALSE(trans->OpenPorts(0, 0));
    EXPECT_FALSE(fake.InputOpen());
    EXPECT_FALSE(fake.OutputOpen());
    fake.Script("midiOutOpen", {MMSYSERR_ALLOCATED});
    EXPECT_FALSE(trans->OpenPorts(0, 0));
    EXPECT_FALSE(fake.InputOpen());
    EXPECT_FALSE(trans->OpenPorts(0, 5));  // no such output
    EXPECT_TRUE(trans->OpenPorts(0, 0));
    EXPECT_TRUE(fake.InputOpen());
    EXPECT_TRUE(fake.OutputOpen());
}

TEST_F(Transfers, ConnectReturnsTheDeviceNameOrFailsWithoutAReply) {
    std::string name;
    EXPECT_TRUE(trans->Connect(name));
    EXPECT_EQ(name, "Test Keys");
    fake.SetResponder(nullptr);
    name = "unchanged";
    EXPECT_FALSE(trans->Connect(name));
    EXPECT_EQ(name, "unchanged");
}

TEST_F(Transfers, ReadSongListCollectsEveryNameInSlotOrder) {
    instrument.slots = {"Ballad", "", "Waltz", ""};
    std::vector<std::string> names = {"stale"};
    EXPECT_TRUE(trans->ReadSongList(names));
    EXPECT_EQ(names, (std::vector<std::string>{"Ballad", "Empty", "Waltz", "Empty"}));
    EXPECT_EQ(SentMessages().size(), 5u);  // start and four next requests

    instrument.slots.clear();
    EXPECT_TRUE(trans->ReadSongList(names));
    EXPECT_TRUE(names.empty());

    fake.SetResponder(nullptr);
    names = {"stale"};
    EXPECT_FALSE(trans->ReadSongList(names));
    EXPECT_TRUE(names.empty());
}

// The whole list must arrive within a second. This test runs on the plain
// pump: it measures the time-out itself, against replies slow on purpose.
TEST_F(Transfers, AListMayTakeMostOfTheSecondAndASilentOneEndsAfterIt) {
    SetEventPump(nullptr);
    using Clock = FakeMidiPlatform::Clock;
    instrument.slots = {"A", "B", "C", "D", "E", "F", "G", "H", "I", "J", "K", "L"};
    // Twelve names and the end of the list, each held to its place in a
    // schedule 50 ms apart counted from the start: the list ends 650 ms in,
    // and a thread run late does not push the later replies back.
    auto start = Clock::now();
    std::atomic<int> replies{0};
    fake.SetReplyDue([&] { return start + ++replies * 50ms; });
    std::vector<std::string> names;
    EXPECT_TRUE(trans->ReadSongList(names));
    EXPECT_EQ(names.size(), 12u);
    EXPECT_GE(Clock::now() - start, 650ms);

    // An instrument that stops after two names: the list fails at the end of
    // its second, not before (the upper bound only stops a hang).
    fake.SetReplyDue(nullptr);
    fake.SetResponder([this](const Bytes& m) {
        const bool next = m[8] == CMD_SONG_LIST && DecodePayload(m)[0] == 0;
        return next && instrument.nextSlot >= 2 ? std::vector<Bytes>{} : instrument.Respond(m);
    });
    start = Clock::now();
    EXPECT_FALSE(trans->ReadSongList(names));
    const auto elapsed = Clock::now() - start;
    EXPECT_GE(elapsed, 1000ms);
    EXPECT_LT(elapsed, 30s);
}

TEST_F(Transfers, DeleteSongSucceedsOnlyWhenTheInstrumentAgrees) {
    instrument.slots = {"a", "b", "c", "d", "e", "f"};
    EXPECT_TRUE(trans->DeleteSong(5));
    EXPECT_FALSE(trans->DeleteSong(9));  // the instrument refuses
}

TEST_F(Transfers, DownloadSendsTheHeaderThenTheSongWithItsChecksum) {
    const Bytes song = Song(2500);
    WriteFile(dir / "song.mid", song);
    instrument.answerData = false;  // the data reply never comes
    auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(trans->DownloadSong((dir / "song.mid").string(), 3, 200));
    auto elapsed = std::chrono::steady_clock::now() - start;

    auto messages = SentMessages();
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(DecodePayload(messages[0]), (Bytes{3, 0, 0xC4, 0x09, 0, 0, 1, 0, 0, 0}));
    ASSERT_EQ(messages[1].size(), 5012u);
    EXPECT_EQ(DecodePayload(messages[1]), song);
    unsigned sum = 0;
    for (std::uint8_t b : song) sum += b;
    EXPECT_EQ(messages[1][5009], sum & 0x7F);
    EXPECT_EQ(messages[1][5010], (sum & 0xFF) >> 7);
    // The data reply is awaited 200 ms for each started 1000 bytes.
    EXPECT_GE(elapsed, 600ms);
}

class ProgressCounter : public ProgressSink {
  public:
    void OnTransferProgress() override {
        ++count;
        busy = busy && !CMidiTrans::IsIdle();
    }
    int count = 0;
    bool busy = true;
};

TEST_F(Transfers, DownloadDeliversTheSongAndReportsEachPacket) {
    const Bytes song = Song(1000);
    WriteFile(dir / "song.mid", song);
    ProgressCounter progress;
    CMidiDevice::SetProgressWindow(&progress);
    CMidiDevice::EnableProgress(true);
    EXPECT_TRUE(trans->DownloadSong((dir / "song.mid").string(), 0, 200));
    EXPECT_EQ(instrument.received, song);
    // One header packet, then 2012 bytes: 47 + 42 × 46 + 33.
    EXPECT_EQ(progress.count, 1 + 44);
    EXPECT_TRUE(progress.busy);
    EXPECT_TRUE(prompter.Texts().empty());
}

TEST_F(Transfers, ARefusedDownloadSendsNoData) {
    WriteFile(dir / "song.mid", Song(300));
    instrument.headerStatus = 9;
    EXPECT_FALSE(trans->DownloadSong((dir / "song.mid").string(), 1, 200));
    EXPECT_TRUE(prompter.Texts().empty());  // refusals but lack of room are the caller's to report
    EXPECT_EQ(SentMessages().size(), 1u);
}

TEST_F(Transfers, ASongThatCannotBeReadOrIsTooLongIsRefusedBeforeAnythingIsSent) {
    EXPECT_FALSE(trans->DownloadSong((dir / "missing.mid").string(), 0, 200));
    EXPECT_FALSE(trans->DownloadSong(dir.string(), 0, 200));  // a folder
    { std::ofstream out(dir / "huge.mid", std::ios::binary); }
    fs::resize_file(dir / "huge.mid", MAX_SONG_LENGTH + 1);
    EXPECT_FALSE(trans->DownloadSong((dir / "huge.mid").string(), 0, 200));
    EXPECT_TRUE(fake.Frames().empty());
    EXPECT_TRUE(prompter.Texts().empty());
}

TEST_F(Transfers, UploadWritesTheSongFromItsBlocks) {
    instrument.song = Song(600);
    instrument.blockSizes = {256, 256, 88};
    WriteFile(dir / "slot.mid", Bytes{1, 2, 3});  // replaced
    EXPECT_TRUE(trans->UploadSong((dir / "slot.mid").string(), 7, 200));
    EXPECT_EQ(ReadFile(dir / "slot.mid"), instrument.song);
    auto messages = SentMessages();
    ASSERT_EQ(messages.size(), 5u);  // read request, three next requests, the closing one
    EXPECT_EQ(DecodePayload(messages[0]), Bytes{7});
    for (std::size_t i = 1; i < 5; ++i) EXPECT_EQ(DecodePayload(messages[i]), Bytes{0});
    EXPECT_EQ(FilesInDir(), std::vector<std::string>{"slot.mid"});
}

TEST_F(Transfers, AWrongBlockIndexFailsTheUploadAndKeepsTheOldFile) {
    instrument.song = Song(600);
    instrument.blockSizes = {256, 256, 88};
    instrument.wrongIndexAt = 2;
    WriteFile(dir / "slot.mid", Bytes{1, 2, 3});
    EXPECT_FALSE(trans->UploadSong((dir / "slot.mid").string(), 4, 200));
    EXPECT_EQ(ReadFile(dir / "slot.mid"), (Bytes{1, 2, 3}));
    EXPECT_EQ(FilesInDir(), std::vector<std::string>{"slot.mid"});
}

TEST_F(Transfers, BlocksThatDoNotDeliverTheSongExactlyFailTheUpload) {
    struct Case {
        std::uint32_t length;
        std::vector<std::uint16_t> sizes;
        std::vector<std::uint16_t> claimed;
    } cases[] = {
        {300, {256, 200}, {}},         // past the announced length
        {600, {256, 50}, {256, 100}},  // announces more than it carries
        {600, {300}, {}},              // more than a block holds
        {0, {0, 0}, {}},               // an empty song whose second block lies beyond it
        {600, {256, 256}, {}},         // too few blocks: the tail never comes
        {600, {256, 100, 88}, {}},     // a block shorter than its share
        {600, {200, 256, 144}, {}},    // as many bytes as announced, but with a gap
        {600, {}, {}},                 // no block at all
    };
    for (const Case& c : cases) {
        instrument.song = Song(c.length);
        instrument.announcedLength = c.length;
        instrument.blockSizes = c.sizes;
        instrument.claimedSizes = c.claimed;
        EXPECT_FALSE(trans->UploadSong((dir / "out.mid").string(), 2, 200)) << c.length;
        EXPECT_TRUE(FilesInDir().empty());
    }
}

TEST_F(Transfers, AnAbsurdSongLengthOrAShortReadReplyFailsBeforeAnyBlock) {
    instrument.announcedLength = 0xFFFFFFFFu;
    instrument.blockSizes = {256};
    // No block is asked for; a connect request ends the read the instrument
    // may still hold open.
    EXPECT_FALSE(trans->UploadSong((dir / "out.mid").string(), 2, 200));
    ASSERT_EQ(SentMessages().size(), 2u);
    EXPECT_EQ(SentMessages()[0][8], CMD_SONG_READ);
    EXPECT_EQ(SentMessages()[1][8], CMD_CONNECT);

    fake.ClearSent();
    fake.SetResponder([](const Bytes&) {
        return std::vector<Bytes>{DeviceMessage(CMD_SONG_READ, {ST_OK, 5, 0})};
    });
    EXPECT_FALSE(trans->UploadSong((dir / "out.mid").string(), 2, 200));
    ASSERT_EQ(SentMessages().size(), 2u);
    EXPECT_EQ(SentMessages()[1][8], CMD_CONNECT);
    EXPECT_TRUE(FilesInDir().empty());
}

TEST_F(Transfers, AnUploadThatCannotWriteItsFileFailsAndLeavesNothing) {
    instrument.song = Song(10);
    instrument.blockSizes = {10};
    EXPECT_FALSE(trans->UploadSong((dir / "no" / "such" / "folder.mid").string(), 2, 200));
    EXPECT_TRUE(FilesInDir().empty());
}

TEST_F(Transfers, SharedBuffersStayWhileThePortLayerLivesOn) {
    CMidiDevice::GetInstance();  // a second owner
    { CMidiTrans first; }
    ASSERT_NE(CMidiDevice::Current(), nullptr);
    EXPECT_NE(CMidiTrans::s_pPayload, nullptr);
    std::string name;
    EXPECT_TRUE(trans->Connect(name));  // replies still land in the buffers
    EXPECT_EQ(name, "Test Keys");
    trans.reset();  // the last owner: ports closed, buffers freed
    EXPECT_EQ(CMidiDevice::Current(), nullptr);
    EXPECT_EQ(CMidiTrans::s_pPayload, nullptr);
    EXPECT_FALSE(fake.InputOpen());
}

TEST_F(Transfers, WithoutAPortLayerTheTransfersFailAtOnce) {
    trans.reset();  // releases the port layer
    ASSERT_EQ(CMidiDevice::Current(), nullptr);
    CMidiTrans other;
    WriteFile(dir / "song.mid", Song(10));
    EXPECT_FALSE(other.DownloadSong((dir / "song.mid").string(), 0, 200));
    EXPECT_FALSE(other.UploadSong((dir / "out.mid").string(), 0, 200));
    EXPECT_FALSE(other.OpenPorts(0, 0));
    EXPECT_TRUE(CMidiTrans::IsIdle());
    EXPECT_TRUE(fake.Frames().empty());
}

}  // namespace
