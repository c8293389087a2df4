// The link model and the demo songs.

#include <gtest/gtest.h>

#include "ProgramSide.h"
#include "instrument/InstrumentSongs.h"
#include "instrument/LinkModel.h"
#include "instrument/VirtualInstrumentPlatform.h"

namespace velnor::testing {
namespace {

using instrument::InstrumentOptions;
using instrument::Link;
using instrument::Micros;
using Clock = std::chrono::steady_clock;

TEST(InstrumentLink, TransferTimesOfEachModel) {
    EXPECT_EQ(instrument::TransferTime(Link::None, 536), Micros(0));
    EXPECT_EQ(instrument::TransferTime(Link::Din, 48), Micros(48 * 320));
    EXPECT_EQ(instrument::TransferTime(Link::Usb, 10), Micros(1000));
    EXPECT_EQ(instrument::TransferTime(Link::Usb, 48), Micros(1000));
    EXPECT_EQ(instrument::TransferTime(Link::Usb, 49), Micros(2000));
}

TEST(InstrumentLink, MinimumTimesCountEveryByteOnTheWire) {
    EXPECT_EQ(instrument::MinimumDownloadTime(Link::None, 2500), Micros(0));
    // 2,500 bytes: header 32 + ack 10 + reply 14; the 5,012-byte data message
    // as 108 packets of 48 and one of 44, 109 acks, then the reply.
    EXPECT_EQ(instrument::MinimumDownloadTime(Link::Din, 2500),
              Micros(320 * (32 + 10 + 14 + 108 * 48 + 44 + 109 * 10 + 14)));
    // 600 bytes: read request, ack, 30-byte reply; three rounds of next
    // request and ack with blocks of 536, 536 and 200 bytes.
    EXPECT_EQ(instrument::MinimumUploadTime(Link::Din, 600),
              Micros(320 * (14 + 10 + 30 + 3 * (14 + 10) + 536 + 536 + 200)));
    // USB: one frame per message of up to 48 bytes.
    EXPECT_EQ(instrument::MinimumUploadTime(Link::Usb, 256),
              Micros(1000 * (1 + 1 + 1 + 1 + 1 + 12)));
}

TEST(InstrumentLink, DinAcknowledgesAFullPacketNoEarlierThanTheWireAllows) {
    instrument::VirtualInstrumentPlatform platform(InstrumentOptions::Defaults(), Link::Din);
    ProgramSide program(platform);
    const auto packets = Packets(BuildSongData(Bytes(100, 0x11)));
    ASSERT_EQ(packets[0].size(), 48u);
    auto start = Clock::now();
    ASSERT_EQ(program.SendPacket(packets[0]), MMSYSERR_NOERROR);  // returns at once
    ASSERT_TRUE(program.WaitForAcks(1));
    EXPECT_GE(Clock::now() - start, Micros((48 + 10) * 320));

    // Two packets sent back to back queue on the serial wire.
    start = Clock::now();
    program.SendPacket(packets[0]);
    program.SendPacket(packets[0]);
    ASSERT_TRUE(program.WaitForAcks(3));
    EXPECT_GE(Clock::now() - start, Micros((48 + 48 + 10) * 320));
}

TEST(InstrumentLink, UsbTakesAFrameEachWay) {
    // A packet goes in the frame it is sent in, the acknowledgement in the
    // next one: more than one whole frame passes, however late in its frame
    // the packet was sent.
    instrument::VirtualInstrumentPlatform platform(InstrumentOptions::Defaults(), Link::Usb);
    ProgramSide program(platform);
    auto start = Clock::now();
    ASSERT_TRUE(program.SendMessage(BuildMessage(0x12, {0})));
    EXPECT_GE(Clock::now() - start, Micros(1000));
    // Ten round trips: at least 19 frames.
    start = Clock::now();
    for (int i = 0; i < 10; ++i) ASSERT_TRUE(program.SendMessage(BuildMessage(0x12, {0})));
    EXPECT_GE(Clock::now() - start, Micros(19000));
}

TEST(InstrumentLink, UsbArrivesAtTheEndOfFrames) {
    const auto epoch = Clock::now();
    using std::chrono::microseconds;
    // Sent 0.3 ms into frame 4: arrives at the end of frame 4.
    EXPECT_EQ(instrument::ArrivalTime(Link::Usb, epoch, epoch + microseconds(4300), 14),
              epoch + microseconds(5000));
    // 60 bytes need two frames.
    EXPECT_EQ(instrument::ArrivalTime(Link::Usb, epoch, epoch + microseconds(5000), 60),
              epoch + microseconds(7000));
    EXPECT_EQ(instrument::ArrivalTime(Link::Din, epoch, epoch + microseconds(4300), 10),
              epoch + microseconds(4300 + 3200));
}

TEST(InstrumentLink, ADownloadTakesAtLeastTheModelsMinimum) {
    instrument::VirtualInstrumentPlatform platform(InstrumentOptions::Empty(), Link::Din);
    ProgramSide program(platform);
    const Bytes song = instrument::MakeSong("Timed", {{60}, {64}, {67}}, 120);
    const auto start = Clock::now();
    auto header = program.Ask(BuildMessage(0x13, SongHeader(1, std::uint32_t(song.size()))));
    ASSERT_TRUE(header);
    auto data = program.Ask(BuildSongData(song));
    ASSERT_TRUE(data);
    EXPECT_EQ(Payload(*data)[0], 0);
    EXPECT_GE(Clock::now() - start,
              instrument::MinimumDownloadTime(Link::Din, std::uint32_t(song.size())));
}

std::uint32_t BigEndian(const Bytes& b, std::size_t at) {
    return (b[at] << 24) | (b[at + 1] << 16) | (b[at + 2] << 8) | b[at + 3];
}

TEST(InstrumentSongs, DemoSongsAreFormat0Division120WithANamedEndedTrack) {
    const auto songs = instrument::DemoSongs();
    ASSERT_EQ(songs.size(), 3u);
    for (const auto& song : songs) {
        const Bytes& d = song.data;
        ASSERT_GT(d.size(), 26u);
        EXPECT_EQ(Bytes(d.begin(), d.begin() + 14),
                  (Bytes{'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1, 0, 120}));
        EXPECT_EQ(Bytes(d.begin() + 14, d.begin() + 18), (Bytes{'M', 'T', 'r', 'k'}));
        EXPECT_EQ(BigEndian(d, 18), d.size() - 22);
        EXPECT_EQ(Bytes(d.end() - 3, d.end()), (Bytes{0xFF, 0x2F, 0x00}));
        // The track name event comes first and names the song.
        EXPECT_EQ(Bytes(d.begin() + 22, d.begin() + 25), (Bytes{0x00, 0xFF, 0x03}));
        EXPECT_EQ(instrument::FirstTrackName(d) + ".mid", song.name);
    }
}

TEST(InstrumentSongs, ReceivedSongsAreNamedByTheirFirstTrackName) {
    const Bytes song = instrument::MakeSong("Exactly12Chr", {{60}}, 120);
    EXPECT_EQ(instrument::NameForReceivedSong(song, 3), "Exactly12Chr.mid");
    EXPECT_EQ(instrument::NameForReceivedSong(instrument::MakeSong("Thirteen Char", {}, 1), 3),
              "Thirteen Cha.mid");
    EXPECT_EQ(instrument::NameForReceivedSong(instrument::MakeSong("", {}, 1), 3), "SONG03.mid");
    EXPECT_EQ(instrument::NameForReceivedSong(Bytes{1, 2, 3}, 12), "SONG12.mid");
    // Running status before the name, and a name after other meta events.
    Bytes track = {0x00, 0x90, 60,   100,  0x10, 62,  100, 0x00, 0xFF, 0x01, 0x02, 'h', 'i',
                   0x00, 0xFF, 0x03, 0x04, 'L',  'a', 't', 'e',  0x00, 0xFF, 0x2F, 0x00};
    Bytes smf = {'M', 'T', 'h', 'd', 0,   0,   0,   6, 0, 0, 0,
                 1,   0,   120, 'M', 'T', 'r', 'k', 0, 0, 0, std::uint8_t(track.size())};
    smf.insert(smf.end(), track.begin(), track.end());
    EXPECT_EQ(instrument::NameForReceivedSong(smf, 0), "Late.mid");
}

TEST(InstrumentSongs, TruncatedOrGarbledSongsNeverBreakTheNaming) {
    const Bytes song = instrument::DemoSongs()[1].data;
    for (std::size_t n = 0; n <= song.size(); ++n) {
        const Bytes cut(song.begin(), song.begin() + n);
        const std::string name = instrument::NameForReceivedSong(cut, 9);
        EXPECT_TRUE(name == "Chord Cycle.mid" || name == "SONG09.mid") << n << " " << name;
    }
    Bytes garbled = song;
    garbled[18] = 0xFF;  // track length far past the end
    garbled[24] = 0xFF;  // name length runs past the end
    EXPECT_EQ(instrument::NameForReceivedSong(garbled, 9), "SONG09.mid");
}

}  // namespace
}  // namespace velnor::testing
