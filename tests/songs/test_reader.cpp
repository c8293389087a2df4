#include <gtest/gtest.h>

#include "SmfBuilder.h"
#include "songs/MidiReader.h"

using namespace velnor;
using namespace velnor::test;

namespace {

/// A reader loaded with `bytes` whose header has been parsed.
int Header(CMidiReader& reader, const Bytes& bytes) {
    EXPECT_TRUE(reader.LoadFromMemory(bytes));
    return reader.ParseHeader();
}

/// Parses a format-0 file of one track holding `events`; returns ParseTracks.
bool ParseOneTrack(CMidiReader& reader, const Bytes& events) {
    EXPECT_EQ(Header(reader, Smf(0, 120, {events})), CMidiReader::kHeaderOk);
    return reader.ParseTracks();
}

std::string DataOf(const MidiEvent& e) {
    return std::string(reinterpret_cast<const char*>(e.Data()), e.length);
}

}  // namespace

TEST(MidiReaderHeader, LayoutRules) {
    CMidiReader r;
    EXPECT_EQ(r.ParseHeader(), CMidiReader::kHeaderNothingLoaded);

    EXPECT_EQ(Header(r, GoodSong()), CMidiReader::kHeaderOk);
    EXPECT_EQ(r.GetFormat(), 0);
    EXPECT_EQ(r.GetTrackCount(), 1);
    EXPECT_EQ(r.GetDivision(), 120);

    // A header length of 7 with the seventh byte present is still invalid.
    Bytes long_header = Header(0, 1, 120, 7) + Bytes{0} + Track(kEndOfTrack);
    EXPECT_EQ(Header(r, long_header), CMidiReader::kHeaderInvalid);
    EXPECT_EQ(Header(r, GoodSong() + Bytes{0}), CMidiReader::kHeaderInvalid) << "trailing byte";
    EXPECT_EQ(Header(r, GoodSong() + Chunk("XFIH", {1, 2})), CMidiReader::kHeaderInvalid);
    // A foreign chunk before the track counts as the track and is refused.
    Bytes foreign_first = Header(0, 1, 120) + Chunk("MThd", {}) + Track(kEndOfTrack);
    EXPECT_EQ(Header(r, foreign_first), CMidiReader::kHeaderInvalid);
    EXPECT_EQ(Header(r, Smf(0, 120, {kEndOfTrack}) + Track(kEndOfTrack)),
              CMidiReader::kHeaderInvalid)
        << "more chunks than tracks";
    Bytes announced_two = Header(0, 2, 120) + Track(kEndOfTrack);
    EXPECT_EQ(Header(r, announced_two), CMidiReader::kHeaderInvalid) << "shortfall";
    Bytes chunk_past_end =
        Header(0, 1, 120) + Bytes{'M', 'T', 'r', 'k'} + Big32(0xFFFFFFF0) + kEndOfTrack;
    EXPECT_EQ(Header(r, chunk_past_end), CMidiReader::kHeaderInvalid);
    EXPECT_EQ(Header(r, {}), CMidiReader::kHeaderInvalid) << "empty file";
    EXPECT_EQ(Header(r, Bytes{'M', 'T', 'h', 'd', 0, 0, 0, 6, 0}), CMidiReader::kHeaderInvalid);
}

TEST(MidiReaderHeader, FormatIsTheLowByteAndOnlyZeroOrOneRead) {
    CMidiReader r;
    EXPECT_EQ(Header(r, Smf(2, 120, {kEndOfTrack})), CMidiReader::kHeaderInvalid);
    EXPECT_EQ(r.GetFormat(), 2);
    EXPECT_EQ(Header(r, Smf(0x0100, 120, {kEndOfTrack})), CMidiReader::kHeaderOk);
    EXPECT_EQ(r.GetFormat(), 0);
    EXPECT_EQ(Header(r, Smf(0x0201, 96, {kEndOfTrack})), CMidiReader::kHeaderOk);
    EXPECT_EQ(r.GetFormat(), 1);
    EXPECT_EQ(r.GetDivision(), 96);
}

TEST(MidiReaderHeader, ZeroTracksAndFourteenBytesIsValid) {
    CMidiReader r;
    EXPECT_EQ(Header(r, Header(0, 0, 120)), CMidiReader::kHeaderOk);
    EXPECT_TRUE(r.ParseTracks());
    EXPECT_EQ(r.GetTrackCount(), 0);
    EXPECT_EQ(Header(r, Header(0, 0, 120) + Bytes{0}), CMidiReader::kHeaderInvalid);
}

TEST(MidiReaderTracks, DecodesEveryKindOfEvent) {
    CMidiReader r;
    ASSERT_TRUE(ParseOneTrack(r, TuneEvents("Tune") + Bytes{0x00, 0xF3, 0x02, 0xAA, 0xBB} +
                                     Bytes{0x00, 0xF0, 0xF7} + kEndOfTrack));
    std::vector<MidiEvent> ev = r.GetEvents(0);
    ASSERT_EQ(ev.size(), 11u);
    EXPECT_EQ(r.GetEventCount(0), ev.size());
    EXPECT_EQ(ev[0].status, 0xFF);
    EXPECT_EQ(DataOf(ev[0]), "\x03Tune");
    EXPECT_EQ(DataOf(ev[1]), "\x51\x07\xA1\x20");
    EXPECT_EQ(ev[2].status, 0xC0);
    EXPECT_EQ(ev[2].length, 1u);
    // The SMF length after F0 stays the first data byte, up to and with F7.
    EXPECT_EQ(ev[3].status, 0xF0);
    EXPECT_EQ(DataOf(ev[3]), "\x05\x7E\x7F\x09\x01\xF7");
    EXPECT_EQ(ev[4].status, 0x90);
    EXPECT_EQ(ev[5].status, 0x90) << "running status";
    EXPECT_EQ(ev[5].time, 480u);
    EXPECT_EQ(DataOf(ev[5]), std::string("\x3C\x00", 2));
    EXPECT_EQ(ev[6].time, 480u);
    EXPECT_TRUE(ev[7].IsEndOfTrack());
    EXPECT_EQ(ev[8].status, 0xF3) << "End of Track does not stop the loop";
    EXPECT_EQ(DataOf(ev[8]), "\xAA\xBB");
    EXPECT_EQ(ev[9].status, 0xF0);
    EXPECT_EQ(DataOf(ev[9]), "\xF7");
    EXPECT_TRUE(ev[10].IsEndOfTrack());
    EXPECT_TRUE(r.GetLastEvent(0)->IsEndOfTrack());
}

// An event with status F7 runs up to and with the first F7, as an F0 event
// does: the length a file writes after it stays the first data byte. Alone
// and after F0, in a format-0 file and in the second track of a format-1 file.
TEST(MidiReaderTracks, AnF7EventRunsUpToTheFirstF7) {
    struct Case {
        const char* what;
        Bytes events;
        std::vector<std::string> data;  // of the events before End of Track
    } cases[] = {
        {"alone", Bytes{0x00, 0xF7, 0x7E, 0x01, 0xF7}, {"\x7E\x01\xF7"}},
        {"after F0",
         Bytes{0x00, 0xF0, 0x02, 0x43, 0xF7, 0x00, 0xF7, 0x03, 0x10, 0x11, 0xF7},
         {"\x02\x43\xF7", "\x03\x10\x11\xF7"}},
    };
    for (const Case& c : cases) {
        for (int format : {0, 1}) {
            std::vector<Bytes> tracks = {c.events + kEndOfTrack};
            if (format == 1) tracks.insert(tracks.begin(), Meta(0x03, "Conductor") + kEndOfTrack);
            CMidiReader r;
            ASSERT_EQ(Header(r, Smf(format, 120, tracks)), CMidiReader::kHeaderOk);
            EXPECT_TRUE(r.ParseTracks()) << c.what << ", format " << format;
            const std::vector<MidiEvent> ev = r.GetEvents(format);
            EXPECT_EQ(ev.size(), c.data.size() + 1) << c.what << ", format " << format;
            if (ev.size() != c.data.size() + 1) continue;
            for (std::size_t i = 0; i < c.data.size(); ++i)
                EXPECT_EQ(DataOf(ev[i]), c.data[i]) << c.what << ", format " << format;
            EXPECT_EQ(ev.back().status, 0xFF);
        }
    }
}

TEST(MidiReaderTracks, LongDataAndLongQuantities) {
    CMidiReader r;
    const std::string title = "A title longer than seven bytes";
    Bytes sysex{0x00, 0xF0, 0x0A, 1, 2, 3, 4, 5, 6, 7, 8, 9, 0xF7};
    Bytes padded_delta{0x80, 0x80, 0x80, 0x80, 0x80, 0x81, 0x00, 0x90, 0x3C, 0x40};
    ASSERT_TRUE(ParseOneTrack(r, Meta(0x03, title) + sysex + padded_delta + kEndOfTrack));
    std::vector<MidiEvent> ev = r.GetEvents(0);
    ASSERT_EQ(ev.size(), 4u);
    EXPECT_EQ(DataOf(ev[0]), "\x03" + title);
    EXPECT_EQ(ev[1].length, 11u);
    EXPECT_EQ(ev[1].Data()[10], 0xF7);
    EXPECT_EQ(ev[2].time, 128u) << "leading zero groups add nothing";
    EXPECT_EQ(r.GetSongName(), title);
}

TEST(MidiReaderTracks, RunningStatusAfterAMetaEventReadsAnotherMetaEvent) {
    CMidiReader r;
    // After the text event, "00 03 01 42" is a meta event of type 03; then
    // "00 2F 00" is End of Track itself.
    ASSERT_TRUE(ParseOneTrack(r, Meta(0x01, "A") + Bytes{0x00, 0x03, 0x01, 'B', 0x00, 0x2F, 0x00}));
    std::vector<MidiEvent> ev = r.GetEvents(0);
    ASSERT_EQ(ev.size(), 3u);
    EXPECT_EQ(ev[1].status, 0xFF);
    EXPECT_EQ(DataOf(ev[1]),
              "\x03"
              "B");
    EXPECT_TRUE(ev[2].IsEndOfTrack());
}

TEST(MidiReaderTracks, EndOfTrackRule) {
    CMidiReader r;
    EXPECT_TRUE(ParseOneTrack(r, Bytes{0x00, 0x90, 0x3C, 0x40} + kEndOfTrack));
    EXPECT_FALSE(ParseOneTrack(r, Bytes{0x00, 0xFF, 0x2F, 0x01, 0x00}));
    EXPECT_FALSE(ParseOneTrack(r, kEndOfTrack + Bytes{0x00, 0x90, 0x3C, 0x40}))
        << "an event after End of Track is the last one";
    EXPECT_TRUE(ParseOneTrack(r, {})) << "a zero-length track has no events and passes";
    EXPECT_EQ(r.GetEventCount(0), 0u);
    EXPECT_EQ(r.GetLastEvent(0), nullptr);
    // Data with no status byte before it ends the track at once: no events, passes.
    EXPECT_TRUE(ParseOneTrack(r, Bytes{0x00, 0x3C, 0x40} + kEndOfTrack));
    EXPECT_EQ(r.GetEventCount(0), 0u);
    // Every track is judged: a bad second track fails the file.
    ASSERT_EQ(Header(r, Smf(1, 120, {kEndOfTrack, Bytes{0x00, 0x90, 0x3C, 0x40}})), 0);
    EXPECT_FALSE(r.ParseTracks());
}

TEST(MidiReaderTracks, AnEventRunningPastTheChunkEndsTheTrack) {
    CMidiReader r;
    // Decoding keeps what it has; the track is judged by its last good event.
    EXPECT_TRUE(ParseOneTrack(r, kEndOfTrack + Bytes{0x00, 0xF0, 0x01, 0x02}));
    EXPECT_EQ(r.GetEventCount(0), 1u) << "SysEx without F7";
    EXPECT_TRUE(ParseOneTrack(r, kEndOfTrack + Bytes{0x00, 0xFF, 0x03, 0x05, 'a'}));
    EXPECT_TRUE(ParseOneTrack(r, kEndOfTrack + Bytes{0x00, 0x90, 0x3C}));
    EXPECT_TRUE(ParseOneTrack(r, kEndOfTrack + Bytes{0x81, 0x82}));
    EXPECT_TRUE(ParseOneTrack(r, kEndOfTrack + Bytes{0x00, 0xF4, 0x85}));
    // A meta length beyond 32 bits is never taken for a small one.
    EXPECT_TRUE(ParseOneTrack(r, kEndOfTrack + Bytes{0x00, 0xFF, 0x01, 0x90, 0x80, 0x80, 0x80, 0x00,
                                                     0x00, 0xFF, 0x2F, 0x00}));
    EXPECT_EQ(r.GetEventCount(0), 1u);
}

struct SongNameCase {
    const char* what;
    std::vector<Bytes> tracks;
    std::string name;
};

TEST(MidiReaderSongName, FirstTrackNameElseFirstTextOfTheFirstTrackElseBlank) {
    const Bytes tempo{0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20};
    const Bytes signature{0x00, 0xFF, 0x58, 0x04, 0x04, 0x02, 0x18, 0x08};
    const Bytes note{0x00, 0x90, 0x3C, 0x40};
    const SongNameCase cases[] = {
        {"tempo and signature first", {tempo + signature + Meta(3, "Blue") + kEndOfTrack}, "Blue"},
        {"the first track name", {Meta(3, "Blue") + Meta(3, "Green") + kEndOfTrack}, "Blue"},
        {"a copyright notice", {Meta(2, "(c) 1999") + Meta(3, "Blue") + kEndOfTrack}, "Blue"},
        {"a text before the name", {Meta(1, "made by") + Meta(3, "Blue") + kEndOfTrack}, "Blue"},
        {"no track name: the first text",
         {tempo + Meta(1, "First") + Meta(1, "Second") + kEndOfTrack},
         "First"},
        {"no text at all", {tempo + signature + note + kEndOfTrack}, ""},
        {"only the first track", {tempo + kEndOfTrack, Meta(3, "Two") + kEndOfTrack}, ""},
        {"an empty name stays empty", {Meta(3, "") + Meta(3, "Later") + kEndOfTrack}, ""},
        {"up to the first zero byte", {Meta(3, std::string("Bl\0ue", 5)) + kEndOfTrack}, "Bl"},
        {"UTF-8", {Meta(3, "\xCE\xA9\xCE\xB4\xCE\xAE") + kEndOfTrack}, "\u03A9\u03B4\u03AE"},
        {"Windows-1252", {Meta(3, "Caf\xE9 \x80") + kEndOfTrack}, "Caf\u00E9 \u20AC"},
    };
    for (const SongNameCase& c : cases) {
        CMidiReader r;
        ASSERT_EQ(Header(r, Smf(c.tracks.size() == 1 ? 0 : 1, 120, c.tracks)), 0) << c.what;
        EXPECT_TRUE(r.ParseTracks()) << c.what;
        EXPECT_EQ(r.GetSongName(), c.name) << c.what;
    }
}

TEST(MidiReader, ResetEmptiesEverything) {
    CMidiReader r;
    r.m_strFileName = "/somewhere/song.mid";
    ParseOneTrack(r, Meta(3, "Name") + kEndOfTrack);
    r.Reset();
    EXPECT_EQ(r.GetSongName(), "");
    EXPECT_EQ(r.m_strFileName, "");
    EXPECT_EQ(r.GetTrackCount(), 0);
    EXPECT_EQ(r.GetFileSize(), 0u);
    EXPECT_EQ(r.GetEventCount(0), 0u);
    EXPECT_EQ(r.ParseHeader(), CMidiReader::kHeaderNothingLoaded);
    // Loading other bytes drops the tables that pointed into the old ones.
    ParseOneTrack(r, TuneEvents("A long track") + TuneEvents("more"));
    ASSERT_TRUE(r.LoadFromMemory(Header(0, 0, 120)));
    EXPECT_TRUE(r.GetEvents(0).empty());
    EXPECT_EQ(r.GetEventCount(0), 0u);
    r.Reset();
    // The name can be taken again after a reset.
    ParseOneTrack(r, Meta(3, "Again") + kEndOfTrack);
    EXPECT_EQ(r.GetSongName(), "Again");
}

// Cutting a small valid file at every offset: the chunk walk refuses every
// cut, and a track chunk whose length is fitted to a cut decodes what is left
// without reading past it (run under AddressSanitizer by `make test-asan`).
TEST(MidiReaderTruncation, EveryCutOfASmallFile) {
    const Bytes whole = TwoTrackSong();
    for (size_t n = 0; n < whole.size(); ++n) {
        CMidiReader r;
        ASSERT_TRUE(r.LoadFromMemory(std::span(whole.data(), n)));
        EXPECT_EQ(r.ParseHeader(), CMidiReader::kHeaderInvalid) << "cut at " << n;
        EXPECT_TRUE(r.ParseTracks()) << "no tracks after a refused header";
    }
    const Bytes events = TuneEvents("Cut");
    for (size_t n = 0; n <= events.size(); ++n) {
        CMidiReader r;
        Bytes cut(events.begin(), events.begin() + std::ptrdiff_t(n));
        // Until the first event (the 7-byte name) is whole the track has no
        // events and passes; after that only the whole track ends properly.
        const bool passes = n < 7 || n == events.size();
        EXPECT_EQ(ParseOneTrack(r, cut), passes) << "cut at " << n;
        EXPECT_EQ(r.GetEventCount(0) == 0, n < 7) << "cut at " << n;
        EXPECT_LE(r.GetEventCount(0), 8u);
        EXPECT_EQ(r.GetEvents(0).size(), r.GetEventCount(0));
    }
}
