// The whole dialogue with the virtual instrument, through its MIDI platform.

#include <gtest/gtest.h>

#include <string>

#include "ProgramSide.h"
#include "instrument/VirtualInstrumentPlatform.h"
#include "support/SongOfLength.h"

namespace velnor::testing {
namespace {

using instrument::InstrumentOptions;
using instrument::Link;
using instrument::VirtualInstrumentPlatform;

std::string NameOf(const Bytes& payload, std::size_t at) {
    return std::string(payload.begin() + at + 1, payload.begin() + at + 1 + payload[at]);
}

/// Downloads `song` into `slot`; returns the two status bytes (header, data).
std::pair<int, int> Download(ProgramSide& program, std::uint8_t slot, const Bytes& song) {
    auto header = program.Ask(BuildMessage(0x13, SongHeader(slot, std::uint32_t(song.size()))));
    if (!header) return {-1, -1};
    const int headerStatus = Payload(*header)[0];
    if (headerStatus != 0) return {headerStatus, -1};
    auto data = program.Ask(BuildSongData(song));
    return {headerStatus, data ? Payload(*data)[0] : -1};
}

// The one port pair and its name: CompositePlatform.ListsThePortsOfEachPlatformInTurn.
TEST(InstrumentDialogue, RefusesPortsPastItsOnePair) {
    VirtualInstrumentPlatform platform(InstrumentOptions::Defaults(), Link::None);
    std::string in;
    EXPECT_EQ(platform.midiInGetDevCaps(1, in), MMSYSERR_BADDEVICEID);
    HMIDIOUT h = 0;
    EXPECT_EQ(platform.midiOutOpen(&h, 1), MMSYSERR_BADDEVICEID);
}

TEST(InstrumentDialogue, ConnectListDownloadReadDelete) {
    VirtualInstrumentPlatform platform(InstrumentOptions::Defaults(), Link::None);
    ProgramSide program(platform);
    ASSERT_TRUE(program.opened);

    // Connect: the reply carries the device name.
    auto reply = program.Ask(BuildMessage(0x00, {0}));
    ASSERT_TRUE(reply);
    EXPECT_EQ((*reply)[8], 0x00);
    EXPECT_EQ(Payload(*reply)[0], 0);
    EXPECT_EQ(NameOf(Payload(*reply), 2), "Velnor Virtual Instrument");

    // Slot list: 16 slots, the demo songs first, each name asked for in turn.
    std::vector<std::string> names;
    reply = program.Ask(BuildMessage(0x12, {1}));
    while (reply && Payload(*reply)[0] == 0) {
        const Bytes p = Payload(*reply);
        EXPECT_EQ(p[1], names.size());
        names.push_back(p[2] == 0 ? "Empty" : NameOf(p, 2));
        reply = program.Ask(BuildMessage(0x12, {0}));
    }
    ASSERT_TRUE(reply);
    EXPECT_EQ(Payload(*reply)[0], 1);
    ASSERT_EQ(names.size(), 16u);
    EXPECT_EQ(names[0], "Scale.mid");
    EXPECT_EQ(names[1], "Chord Cycle.mid");
    EXPECT_EQ(names[2], "Arpeggio.mid");
    for (std::size_t i = 3; i < 16; ++i) EXPECT_EQ(names[i], "Empty") << i;

    // Download a 600-byte song: stored under its track name cut to 12.
    const Bytes song = SongOfLength(600, "A Very Long Track Name");
    EXPECT_EQ(Download(program, 7, song), std::make_pair(0, 0));
    auto slots = platform.Slots();
    ASSERT_TRUE(slots[7]);
    EXPECT_EQ(slots[7]->name, "A Very Long .mid");
    EXPECT_EQ(slots[7]->data, song);

    // Read it back in blocks of 256, 256 and 88 bytes.
    reply = program.Ask(BuildMessage(0x14, {7}));
    ASSERT_TRUE(reply);
    Bytes p = Payload(*reply);
    EXPECT_EQ(p[0], 0);
    EXPECT_EQ(U32(p, 1), 600u);
    ASSERT_EQ(U32(p, 5), 3u);
    Bytes readBack;
    const std::size_t sizes[] = {256, 256, 88};
    for (std::uint32_t i = 0; i < 3; ++i) {
        reply = program.Ask(BuildMessage(0x14, {0}));
        ASSERT_TRUE(reply);
        p = Payload(*reply);
        EXPECT_EQ(U32(p, 0), i);
        const std::size_t m = p[4] | (p[5] << 8);
        EXPECT_EQ(m, sizes[i]);
        readBack.insert(readBack.end(), p.begin() + 6, p.begin() + 6 + m);
    }
    EXPECT_EQ(readBack, song);
    // The closing request is acknowledged and gets no reply.
    ASSERT_TRUE(program.SendMessage(BuildMessage(0x14, {0})));
    ASSERT_TRUE(platform.WaitUntilIdle(30s));
    EXPECT_EQ(program.PendingReplies(), 0u);

    reply = program.Ask(BuildMessage(0x15, {7}));
    ASSERT_TRUE(reply);
    EXPECT_EQ((*reply)[8], 0x15);
    EXPECT_EQ(Payload(*reply)[0], 0);
    EXPECT_FALSE(platform.Slots()[7]);

    // Every packet was acknowledged, with the 10-byte acknowledgement.
    EXPECT_EQ(program.AckCount(), platform.PacketsReceived().size());
    for (const Bytes& m : program.AllMessages()) {
        if (m.size() == 10) {
            EXPECT_EQ(m, (Bytes{0xF0, 0x00, 0x1E, 0x2D, 0x55, 0x52, 0x53, 0x57, 0x08, 0xF7}));
        }
    }
}

TEST(InstrumentDialogue, SongWithoutTrackNameIsNamedAfterItsSlot) {
    VirtualInstrumentPlatform platform(InstrumentOptions::Empty(), Link::None);
    ProgramSide program(platform);
    EXPECT_EQ(Download(program, 5, SongOfLength(22)), std::make_pair(0, 0));
    ASSERT_TRUE(platform.Slots()[5]);
    EXPECT_EQ(platform.Slots()[5]->name, "SONG05.mid");
}

TEST(InstrumentDialogue, RefusesSongsThatDoNotFitTheMemory) {
    InstrumentOptions options = InstrumentOptions::Empty(4);
    options.capacity = 1000;
    options.songs.push_back({0, {"Old.mid", Bytes(600, 1)}});
    VirtualInstrumentPlatform platform(options, Link::None);
    ProgramSide program(platform);

    // 600 used, 400 free: 500 bytes into another slot do not fit.
    EXPECT_EQ(Download(program, 1, SongOfLength(500, "Big")).first, 6);
    EXPECT_FALSE(platform.Slots()[1]);
    // Replacing the 600-byte song frees its room: 900 bytes fit there.
    EXPECT_EQ(Download(program, 0, SongOfLength(900, "Big")), std::make_pair(0, 0));
    EXPECT_EQ(platform.UsedMemory(), 900u);
    EXPECT_EQ(Download(program, 2, SongOfLength(101, "Tiny")).first, 6);
    EXPECT_EQ(Download(program, 2, SongOfLength(100, "Tiny")), std::make_pair(0, 0));
}

TEST(InstrumentDialogue, SongDataIsCheckedAgainstTheSumOfItsRawBytes) {
    VirtualInstrumentPlatform platform(InstrumentOptions::Empty(), Link::None);
    ProgramSide program(platform);
    const Bytes song = SongOfLength(300, "Sum");
    // The ordinary checksum over the encoded bytes is not what the data carries.
    ASSERT_EQ(Payload(*program.Ask(BuildMessage(0x13, SongHeader(3, 300))))[0], 0);
    const Bytes wrong = BuildMessage(0x13, song);
    ASSERT_NE(wrong, BuildSongData(song));
    auto reply = program.Ask(wrong);
    ASSERT_TRUE(reply);
    EXPECT_EQ(*reply, BuildMessage(0x13, {2}));
    EXPECT_FALSE(platform.Slots()[3]);

    EXPECT_EQ(Download(program, 3, song), std::make_pair(0, 0));
    EXPECT_EQ(platform.Slots()[3]->data, song);
}

TEST(InstrumentDialogue, BadChecksumGetsTheChecksumReplyWithTheSameCommand) {
    VirtualInstrumentPlatform platform(InstrumentOptions::Defaults(), Link::None);
    ProgramSide program(platform);
    Bytes bad = BuildMessage(0x15, {1});
    bad[bad.size() - 3] ^= 0x01;
    auto reply = program.Ask(bad);
    ASSERT_TRUE(reply);
    EXPECT_EQ(*reply, (Bytes{0xF0, 0x00, 0x1E, 0x2D, 0x55, 0x52, 0x53, 0x57, 0x15, 0x02, 0x00, 0x33,
                             0x01, 0xF7}));
    EXPECT_TRUE(platform.Slots()[1]);  // nothing was deleted
}

TEST(InstrumentDialogue, RequestsForMissingSlotsFail) {
    VirtualInstrumentPlatform platform(InstrumentOptions::Defaults(), Link::None);
    ProgramSide program(platform);
    EXPECT_EQ(Payload(*program.Ask(BuildMessage(0x14, {16})))[0], 1);   // no such slot
    EXPECT_EQ(Payload(*program.Ask(BuildMessage(0x14, {5})))[0], 1);    // empty slot
    EXPECT_EQ(Payload(*program.Ask(BuildMessage(0x15, {200})))[0], 1);  // no such slot
    EXPECT_EQ(Payload(*program.Ask(BuildMessage(0x13, SongHeader(16, 10))))[0], 1);
    EXPECT_EQ(Payload(*program.Ask(BuildMessage(0x13, SongHeader(1, 0))))[0], 1);
}

TEST(InstrumentDialogue, AnInstrumentWithoutSlotsEndsTheListAtOnce) {
    VirtualInstrumentPlatform platform(InstrumentOptions::Empty(0), Link::None);
    ProgramSide program(platform);
    auto reply = program.Ask(BuildMessage(0x12, {1}));
    ASSERT_TRUE(reply);
    EXPECT_EQ((*reply)[8], 0x12);
    EXPECT_EQ(Payload(*reply)[0], 1);
}

TEST(InstrumentDialogue, ABlockTheProgramCouldNotVerifyIsSentAgain) {
    VirtualInstrumentPlatform platform(InstrumentOptions::Defaults(), Link::None);
    ProgramSide program(platform);
    ASSERT_EQ(Payload(*program.Ask(BuildMessage(0x14, {0})))[0], 0);
    auto first = program.Ask(BuildMessage(0x14, {0}));
    ASSERT_TRUE(first);
    auto again = program.Ask(BuildMessage(0x14, {2}));
    ASSERT_TRUE(again);
    EXPECT_EQ(*again, *first);
}

TEST(InstrumentDialogue, ResetBringsBackWhatANewUserSees) {
    VirtualInstrumentPlatform platform(InstrumentOptions::Defaults(), Link::None);
    {
        ProgramSide program(platform);
        ASSERT_EQ(Payload(*program.Ask(BuildMessage(0x15, {0})))[0], 0);
    }
    EXPECT_FALSE(platform.Slots()[0]);
    platform.ResetToDefaults();
    EXPECT_TRUE(platform.Slots()[0]);
    EXPECT_TRUE(platform.PacketsReceived().empty());
    EXPECT_EQ(platform.Slots().size(), 16u);
}

}  // namespace
}  // namespace velnor::testing
