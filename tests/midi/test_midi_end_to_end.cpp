// The transfer operations end to end: CMidiDevice and CMidiTrans against the
// virtual instrument, with its faults.
#include <gtest/gtest.h>

#include <cctype>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>

#include "common/ScriptedPrompter.h"
#include "instrument/VirtualInstrumentPlatform.h"
#include "midi/CMidiDevice.h"
#include "midi/CMidiTrans.h"
#include "support/SettlingEventPump.h"
#include "support/TemporaryFiles.h"

using namespace std::chrono_literals;
using namespace velnor;
using instrument::InstrumentOptions;
using instrument::InstrumentSong;
using instrument::Link;
using instrument::VirtualInstrumentPlatform;
using Bytes = std::vector<std::uint8_t>;
namespace fs = std::filesystem;

namespace {

/// Every byte value, in an order that is not a plain count.
Bytes MakeSong(std::size_t size) {
    Bytes song(size);
    for (std::size_t i = 0; i < size; ++i) song[i] = static_cast<std::uint8_t>(i * 167 + i / 256);
    return song;
}

void WriteFile(const fs::path& path, const Bytes& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

Bytes ReadFile(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

class EndToEnd : public ::testing::Test {
  protected:
    void TearDown() override {
        trans.reset();
        for (int i = 0; i < 8 && CMidiDevice::Current(); ++i) CMidiDevice::Release();
        CMidiDevice::SetReceiveHandler(nullptr);
        CMidiDevice::SetPlatform(nullptr);
        SetPrompter(nullptr);
        SetEventPump(nullptr);
        vi.reset();
        fs::remove_all(folder);
    }

    /// Switches an instrument on, opens its ports and connects, as the
    /// program does.
    void Start(InstrumentOptions options, Link link = Link::None) {
        std::string test = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        for (char& c : test)
            if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
        folder = fs::path(::testing::TempDir()) / ("velnor-e2e-" + test);
        fs::remove_all(folder);
        fs::create_directories(folder);
        vi = std::make_unique<VirtualInstrumentPlatform>(std::move(options), link);
        SetEventPump(&pump);
        SetPrompter(&prompter);
        CMidiDevice::SetPlatform(vi.get());
        CMidiDevice* device = CMidiDevice::GetInstance();
        device->EnumeratePorts();
        CMidiDevice::SetReceiveHandler(&CMidiTrans::OnReceive);
        trans = std::make_unique<CMidiTrans>();
        ASSERT_TRUE(trans->OpenPorts(0, 0));
        std::string name;
        ASSERT_TRUE(trans->Connect(name));
        ASSERT_EQ(name, "Velnor Virtual Instrument");
    }

    static InstrumentOptions WithSong(unsigned slot, const Bytes& song) {
        InstrumentOptions options = InstrumentOptions::Empty(16);
        options.songs.push_back({slot, InstrumentSong{"Song.mid", song}});
        return options;
    }

    void SetFaults(const std::string& faultText) {
        std::string error;
        ASSERT_TRUE(vi->SetFaults(faultText, error)) << error;
    }

    fs::path File(const std::string& name) const { return folder / name; }

    /// The upload target and its temporary file are both absent.
    void ExpectNoFile(const fs::path& path) const {
        EXPECT_FALSE(fs::exists(path)) << path;
        EXPECT_FALSE(velnor::testing::TemporaryFileLeft(path.parent_path())) << path;
    }

    std::unique_ptr<VirtualInstrumentPlatform> vi;
    std::unique_ptr<CMidiTrans> trans;
    /// A wait runs out only once the instrument has nothing left in flight.
    velnor::testing::SettlingEventPump pump{[this] { vi->WaitUntilIdle(30s); }};
    ScriptedPrompter prompter;
    fs::path folder;
};

TEST_F(EndToEnd, A2500ByteSongTravelsAs109PacketsAndTheDataWaitGrowsWithTheLength) {
    Start(InstrumentOptions::Empty(16));
    const Bytes song = MakeSong(2500);
    WriteFile(File("song.mid"), song);
    ASSERT_TRUE(vi->WaitUntilIdle(30s));
    const std::size_t before = vi->PacketsReceived().size();
    ASSERT_TRUE(trans->DownloadSong(File("song.mid").string(), 4, 200));
    const auto packets = vi->PacketsReceived();
    ASSERT_EQ(packets.size() - before, 1u + 109u);  // the header, then the data
    EXPECT_EQ(packets[before].size(), 32u);
    EXPECT_EQ(packets[before + 1].size(), 48u);
    for (std::size_t i = before + 2; i < packets.size() - 1; ++i) ASSERT_EQ(packets[i].size(), 48u);
    EXPECT_EQ(packets.back().size(), 44u);
    EXPECT_EQ(vi->Slots()[4]->data, song);

    // The data reply comes back with another command: the wait runs out, and
    // it lasts 200 ms for each started 1000 bytes.
    SetFaults("wrong-command:13=77@2");
    const auto t0 = std::chrono::steady_clock::now();
    EXPECT_FALSE(trans->DownloadSong(File("song.mid").string(), 5, 200));
    EXPECT_GE(std::chrono::steady_clock::now() - t0, 600ms);
    EXPECT_TRUE(CMidiTrans::IsIdle());
}

TEST_F(EndToEnd, ARefusalForLackOfRoomSaysSoAndSendsNoSongData) {
    InstrumentOptions options = InstrumentOptions::Empty(4);
    options.capacity = 1000;
    Start(options);
    WriteFile(File("big.mid"), MakeSong(2500));
    ASSERT_TRUE(vi->WaitUntilIdle(30s));
    const std::size_t before = vi->PacketsReceived().size();
    EXPECT_FALSE(trans->DownloadSong(File("big.mid").string(), 0, 200));
    EXPECT_EQ(prompter.Texts(), std::vector<std::string>{"Capacity is not allowed!"});
    EXPECT_EQ(vi->PacketsReceived().size() - before, 1u);  // the header only
    EXPECT_FALSE(vi->Slots()[0].has_value());
    EXPECT_TRUE(CMidiTrans::IsIdle());
}

TEST_F(EndToEnd, SlotsBeyond255AreRefusedWithNothingSent) {
    Start(InstrumentOptions::Defaults());
    WriteFile(File("song.mid"), MakeSong(100));
    ASSERT_TRUE(vi->WaitUntilIdle(30s));
    const std::size_t before = vi->PacketsReceived().size();
    EXPECT_FALSE(trans->DeleteSong(256));
    EXPECT_TRUE(CMidiTrans::IsIdle());
    EXPECT_FALSE(trans->UploadSong(File("back.mid").string(), 300, 200));
    EXPECT_FALSE(trans->UploadSong(File("back.mid").string(), -1, 200));
    EXPECT_TRUE(CMidiTrans::IsIdle());
    // Slot 256 would reach the instrument as slot 0 and replace its song.
    EXPECT_FALSE(trans->DownloadSong(File("song.mid").string(), 256, 200));
    EXPECT_FALSE(trans->DownloadSong(File("song.mid").string(), -1, 200));
    EXPECT_TRUE(CMidiTrans::IsIdle());
    EXPECT_EQ(vi->PacketsReceived().size(), before);
    ExpectNoFile(File("back.mid"));
    EXPECT_EQ(vi->Slots()[0]->name, "Scale.mid");
}

TEST_F(EndToEnd, ACorruptedDeleteReplyNeverDeletesSlot2) {
    Start(InstrumentOptions::Defaults());
    ASSERT_TRUE(vi->Slots()[2].has_value());
    SetFaults("bad-checksum:15");
    EXPECT_FALSE(trans->DeleteSong(5));
    ASSERT_TRUE(vi->WaitUntilIdle(30s));
    EXPECT_TRUE(vi->Slots()[2].has_value());
    for (const Bytes& m : vi->MessagesReceived())
        EXPECT_FALSE(m.size() == 14 && m[8] == CMD_SONG_DELETE && m[9] == 2);
    // The slot list shows the truth: slot 5 was empty anyway, 2 keeps its song.
    std::vector<std::string> names;
    ASSERT_TRUE(trans->ReadSongList(names));
    EXPECT_EQ(names[2], "Arpeggio.mid");
}

// A download then an upload of the same slot gives the file back byte for byte.
class RoundTrip : public EndToEnd, public ::testing::WithParamInterface<std::size_t> {};

TEST_P(RoundTrip, GivesTheFileBackByteForByte) {
    InstrumentOptions options = InstrumentOptions::Empty(8);
    options.capacity = 1024 * 1024;
    Start(options);
    const Bytes song = MakeSong(GetParam());
    WriteFile(File("out.mid"), song);
    ASSERT_TRUE(trans->DownloadSong(File("out.mid").string(), 7, 200));
    ASSERT_TRUE(trans->UploadSong(File("in.mid").string(), 7, 200));
    EXPECT_EQ(ReadFile(File("in.mid")), song);
    EXPECT_FALSE(velnor::testing::TemporaryFileLeft(folder));
}

INSTANTIATE_TEST_SUITE_P(Sizes, RoundTrip,
                         ::testing::Values(1, 45, 46, 47, 255, 256, 257, 2500, 65536, 200 * 1024));

/// A fault, and whether the operation still succeeds.
struct FaultCase {
    const char* faultText;
    bool succeeds;
};

std::ostream& operator<<(std::ostream& os, const FaultCase& c) {
    return os << c.faultText;
}

std::string CaseName(const ::testing::TestParamInfo<FaultCase>& info) {
    std::string name;
    for (const char* p = info.param.faultText; *p; ++p)
        name += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
    return name;
}

class DownloadFault : public EndToEnd, public ::testing::WithParamInterface<FaultCase> {};

TEST_P(DownloadFault, EndsAsItShouldAndLeavesTheSlotAlone) {
    Start(InstrumentOptions::Empty(4));
    const Bytes song = MakeSong(300);
    WriteFile(File("song.mid"), song);
    SetFaults(GetParam().faultText);
    EXPECT_EQ(trans->DownloadSong(File("song.mid").string(), 2, 200), GetParam().succeeds);
    EXPECT_TRUE(CMidiTrans::IsIdle());
    ASSERT_TRUE(vi->WaitUntilIdle(30s));
    if (GetParam().succeeds) {
        ASSERT_TRUE(vi->Slots()[2].has_value());
        EXPECT_EQ(vi->Slots()[2]->data, song);
    } else if (vi->Slots()[2]) {
        // Only a data reply lost on the way back may leave the song stored.
        EXPECT_EQ(vi->Slots()[2]->data, song);
    }
}

// A checksum complaint about a write reply makes the instrument send the reply
// again, so a corrupted reply costs a round trip, not the download. A lost
// acknowledgement of the header costs nothing either: only the reply decides.
INSTANTIATE_TEST_SUITE_P(
    Faults, DownloadFault,
    ::testing::Values(FaultCase{"drop-ack:1", true}, FaultCase{"drop-ack:3", false},
                      FaultCase{"bad-checksum:13", true}, FaultCase{"bad-checksum:13@2", true},
                      FaultCase{"wrong-command:13", false},
                      FaultCase{"wrong-command:13=77@2", false},
                      FaultCase{"wrong-status:13=1", false},
                      FaultCase{"wrong-status:13=2@2", false}, FaultCase{"split:3", true},
                      FaultCase{"split:7", true}, FaultCase{"silent", false}),
    CaseName);

class UploadFault : public EndToEnd, public ::testing::WithParamInterface<FaultCase> {};

TEST_P(UploadFault, EndsAsItShouldAndWritesAWholeFileOrNone) {
    const Bytes song = MakeSong(1000);
    Start(WithSong(1, song));
    SetFaults(GetParam().faultText);
    const fs::path target = File("back.mid");
    EXPECT_EQ(trans->UploadSong(target.string(), 1, 200), GetParam().succeeds);
    EXPECT_TRUE(CMidiTrans::IsIdle());
    if (GetParam().succeeds) {
        EXPECT_EQ(ReadFile(target), song);
        EXPECT_FALSE(velnor::testing::TemporaryFileLeft(target.parent_path()));
    } else {
        ExpectNoFile(target);
    }
}

// A checksum complaint during a read makes the instrument send the reply or
// block again.
INSTANTIATE_TEST_SUITE_P(
    Faults, UploadFault,
    ::testing::Values(FaultCase{"bad-checksum:14", true}, FaultCase{"bad-checksum:14@3", true},
                      FaultCase{"wrong-command:14", false},
                      FaultCase{"wrong-command:14=13@3", false},
                      FaultCase{"wrong-status:14=1", false}, FaultCase{"wrong-status:14=2", false},
                      FaultCase{"block-index:0=1", false}, FaultCase{"block-index:3=2", false},
                      FaultCase{"oversized-block:3", false}, FaultCase{"oversized-block:1", false},
                      FaultCase{"split:2", true}, FaultCase{"split:9", true},
                      FaultCase{"silent", false}),
    CaseName);

}  // namespace
