// The converter: songs from elsewhere become format 0 at 120 ticks per quarter
// note and play the same.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <map>
#include <random>

#include "SmfBuilder.h"
#include "SongPlayback.h"
#include "songs/MidiReader.h"
#include "songs/SongConverter.h"
#include "songs/SongRule.h"

using namespace velnor;
using namespace velnor::test;

namespace {

Bytes Vlq(uint32_t v) {
    Bytes out{uint8_t(v & 0x7F)};
    while (v >>= 7) out.insert(out.begin(), uint8_t(0x80 | (v & 0x7F)));
    return out;
}

/// A track from (absolute tick, event bytes) pairs, End of Track after the last.
Bytes At(std::vector<std::pair<uint32_t, Bytes>> events, uint32_t end = 0) {
    Bytes track;
    uint32_t now = 0;
    for (auto& [tick, bytes] : events) {
        track = track + Vlq(tick - now) + bytes;
        now = tick;
    }
    return track + Vlq(std::max(end, now) - now) + Bytes{0xFF, 0x2F, 0x00};
}

Bytes Tempo(uint32_t us) {
    return {0xFF, 0x51, 0x03, uint8_t(us >> 16), uint8_t(us >> 8), uint8_t(us)};
}

std::string Hex(const Bytes& bytes) {
    std::string text;
    char byte[4];
    for (uint8_t b : bytes) {
        std::snprintf(byte, sizeof byte, "%s%02X", text.empty() ? "" : " ", b);
        text += byte;
    }
    return text;
}

/// The song's events as "tick: bytes", End of Track included.
std::vector<std::string> Listing(const Bytes& song) {
    SmfContents c;
    std::vector<std::string> lines;
    if (ReadStandardMidiFile(song, c) != SmfReadResult::Ok) return {"unreadable"};
    for (const SmfEvent& e : c.events) {
        Bytes bytes;
        if (e.status < 0xF0) bytes.push_back(e.status);
        for (uint32_t k = 0; k < e.size; ++k) bytes.push_back(song[e.begin + k]);
        lines.push_back(std::to_string(e.tick) + ": " + Hex(bytes));
    }
    return lines;
}

/// The first way `song` does not play `source`, or empty text. Every event
/// must be there at its time within half a tick of the song (notes: on time
/// within half a tick, or right at the end of the note of its key before it;
/// off time within half a tick, or one tick after a start it would have met);
/// the song ends within half a tick of the source's end, or at its last event.
std::string Unfaithful(const Bytes& source, const Bytes& song) {
    const Playback a = Play(source);
    const Playback b = Play(song);
    if (!a.ok || !b.ok) return "does not read";
    const double slack = 1e-9;
    // Any other event: the k-th of its bytes in the song is the k-th in the source.
    std::map<Bytes, std::vector<const Heard*>> others;
    for (const Heard& h : a.events) {
        const bool name =
            h.bytes.size() > 1 && h.bytes[0] == 0xFF && h.bytes[1] == 0x03 && h.track == 0;
        const bool tempo = h.bytes.size() > 1 && h.bytes[0] == 0xFF && h.bytes[1] == 0x51;
        if (!IsNoteOn(h.bytes) && !IsNoteOff(h.bytes) && !name && !tempo)
            others[h.bytes].push_back(&h);
    }
    std::map<Bytes, size_t> seen;
    for (const Heard& h : b.events) {
        if (IsNoteOn(h.bytes) || IsNoteOff(h.bytes) || !others.count(h.bytes)) continue;
        const size_t k = seen[h.bytes]++;
        if (k >= others[h.bytes].size()) return "an extra " + Hex(h.bytes);
        const Heard& was = *others[h.bytes][k];
        if (std::fabs(was.seconds - h.seconds) >
            std::max(was.tickSeconds, h.tickSeconds) / 2 + slack) {
            return Hex(h.bytes) + " moved from " + std::to_string(was.seconds) + " to " +
                   std::to_string(h.seconds) + " s";
        }
    }
    for (const auto& [bytes, heard] : others) {
        if (seen[bytes] != heard.size()) return Hex(bytes) + " lost";
    }
    const auto from = Notes(a);
    const auto to = Notes(b);
    for (const auto& [key, notes] : from) {
        const std::string where = "key " + std::to_string(key) + ", note ";
        const auto found = to.find(key);
        if (found == to.end() || found->second.size() != notes.size())
            return "notes lost, " + where;
        for (size_t i = 0; i < notes.size(); ++i) {
            const Note& was = notes[i];
            const Note& is = found->second[i];
            const std::string note = where + std::to_string(i) + ": " + std::to_string(was.on) +
                                     "-" + std::to_string(was.off) + " became " +
                                     std::to_string(is.on) + "-" + std::to_string(is.off);
            // A note lengthened to one tick, and a note started at the end of
            // such a note before it, are the only ones that move further.
            const auto lengthened = [&](size_t n) {
                const Note& w = notes[n];
                const Note& s = found->second[n];
                return std::fabs(s.off - s.on - s.nextTick) < slack &&
                       w.off - w.on < s.tick + slack;
            };
            const bool delayed =
                i > 0 && lengthened(i - 1) && std::fabs(is.on - found->second[i - 1].off) < slack;
            if (std::fabs(is.on - was.on) > std::max(was.tick, is.tick) / 2 + slack && !delayed) {
                return "a note moved, " + note;
            }
            if ((was.off < 0) != (is.off < 0)) return "a note's end lost, " + note;
            if (was.off < 0) continue;
            if (was.off > was.on && is.off <= is.on) return "a note cut to nothing, " + note;
            if (std::fabs(is.off - was.off) > std::max(was.offTick, is.offTick) / 2 + slack &&
                !lengthened(i) && !delayed) {
                return "a note's end moved, " + note;
            }
        }
    }
    const double lastEvent = b.events.empty() ? 0 : b.events.back().seconds;
    const double endTick = b.events.empty() ? 1.0 / 240 : b.events.back().tickSeconds;
    if (std::fabs(b.end - a.end) > endTick / 2 + slack && b.end > lastEvent + slack)
        return "the end moved";
    return {};
}

SongConversion Convert(const Bytes& file) {
    return ConvertSong(file);
}

}  // namespace

struct RuleCase {
    const char* rule;
    Bytes file;
    std::vector<std::string> song;  // the converted song's events
};

class ConverterRules : public testing::TestWithParam<RuleCase> {};

TEST_P(ConverterRules, SongHoldsTheEventsAtTheirTicks) {
    const RuleCase& c = GetParam();
    SongConversion conversion = Convert(c.file);
    ASSERT_EQ(conversion.status, ConversionStatus::Converted) << conversion.problem;
    EXPECT_EQ(Listing(conversion.song), c.song);
    EXPECT_EQ(CheckSongBytes(conversion.song), SongVerdict::Accepted);
    EXPECT_EQ(Unfaithful(c.file, conversion.song), "");
}

const Bytes kOn60{0x90, 0x3C, 0x40};
const Bytes kOff60{0x80, 0x3C, 0x40};

INSTANTIATE_TEST_SUITE_P(
    Cases, ConverterRules,
    testing::Values(
        RuleCase{
            "equal times keep the order of the tracks",
            Smf(1, 480, {At({}), At({{0, {0xB0, 0x07, 0x64}}}), At({{0, {0xB0, 0x07, 0x32}}})}),
            {"0: B0 07 64", "0: B0 07 32", "0: FF 2F 00"}},
        RuleCase{"events on one tick keep the order of their times, not of their tracks",
                 Smf(1, 960, {At({{3, {0xB0, 0x40, 0x58}}}), At({{1, {0xB0, 0x40, 0x7F}}})}),
                 {"0: B0 40 7F", "0: B0 40 58", "0: FF 2F 00"}},
        RuleCase{
            "an off meets an on of the same key: the off first, whatever the tracks",
            Smf(1, 480, {At({{480, kOn60}, {960, kOff60}}), At({{0, kOn60}, {480, kOff60}})}),
            {"0: 90 3C 40", "120: 80 3C 40", "120: 90 3C 40", "240: 80 3C 40", "240: FF 2F 00"}},
        RuleCase{"a short note keeps one tick; a note of no length keeps its on first",
                 Smf(0, 960,
                     {At({{0, {0x99, 0x24, 0x64}},
                          {2, {0x99, 0x24, 0x00}},
                          {16, {0x90, 0x40, 0x40}},
                          {16, {0x80, 0x40, 0x40}}})}),
                 {"0: 99 24 64", "1: 99 24 00", "2: 90 40 40", "2: 80 40 40", "2: FF 2F 00"}},
        RuleCase{"a note waits for the lengthened note of its key before it",
                 Smf(0, 960, {At({{0, kOn60}, {2, kOff60}, {3, kOn60}, {5, kOff60}})}),
                 {"0: 90 3C 40", "1: 80 3C 40", "1: 90 3C 40", "2: 80 3C 40", "2: FF 2F 00"}},
        RuleCase{"the latest End of Track keeps the silence after the music",
                 Smf(1, 480, {At({}, 960), At({{0, kOn60}, {480, kOff60}}, 1920)}),
                 {"0: 90 3C 40", "120: 80 3C 40", "480: FF 2F 00"}},
        RuleCase{
            "of tempo changes on one tick the last is written; track-bound metas go",
            Smf(1, 960,
                {At({{0, {0xFF, 0x00, 0x02, 0x00, 0x01}}, {0, Tempo(400000)}, {2, Tempo(600000)}}),
                 At({{0, {0xFF, 0x20, 0x01, 0x00}},
                     {0, {0xFF, 0x21, 0x01, 0x01}},
                     {8, kOn60},
                     {16, kOff60}})}),
            {"0: FF 51 03 09 27 C0", "1: 90 3C 40", "2: 80 3C 40", "2: FF 2F 00"}},
        RuleCase{"the first track's name comes first, other names stay",
                 Smf(1, 480,
                     {At({{0, Tempo(500000)}, {0, {0xFF, 0x03, 0x04, 'S', 'o', 'n', 'g'}}}),
                      At({{0, {0xFF, 0x03, 0x02, 'P', 'n'}}, {0, {0xC0, 0x00}}})}),
                 {"0: FF 03 04 53 6F 6E 67", "0: FF 51 03 07 A1 20", "0: FF 03 02 50 6E",
                  "0: C0 00", "0: FF 2F 00"}},
        RuleCase{"SysEx packets stay in order around other tracks' events",
                 Smf(1, 480,
                     {At({{0, {0xF0, 0x03, 0x43, 0x12, 0x00}}, {480, {0xF7, 0x02, 0x01, 0xF7}}}),
                      At({{240, kOn60}, {480, kOff60}})}),
                 {"0: F0 03 43 12 00", "60: 90 3C 40", "120: F7 02 01 F7", "120: 80 3C 40",
                  "120: FF 2F 00"}},
        RuleCase{"time code: a tempo of 120 beats a minute, the file's own tempo left out",
                 Smf(0, 0xE728,
                     {At({{0, Tempo(300000)},
                          {0, kOn60},
                          {1000, kOff60},
                          {1002, kOn60},
                          {1003, kOff60}})}),
                 {"0: FF 51 03 07 A1 20", "0: 90 3C 40", "240: 80 3C 40", "240: 90 3C 40",
                  "241: 80 3C 40", "241: FF 2F 00"}}),
    [](const testing::TestParamInfo<RuleCase>& info) {
        return "rule" + std::to_string(info.index);
    });

TEST(Converter, PlacesEventsByTimeSoHundredsOfTempoChangesDoNotDrift) {
    // 1000 ticks a quarter and a tempo change every 7 ticks: in scaled ticks
    // each change would round, and the error would add up over the song.
    std::vector<std::pair<uint32_t, Bytes>> conductor;
    std::vector<std::pair<uint32_t, Bytes>> notes;
    for (uint32_t i = 0; i < 600; ++i) {
        conductor.push_back({7 * i, Tempo(i % 2 ? 431111 : 523457)});
        const uint8_t key = uint8_t(60 + i % 3);
        notes.push_back({7 * i + 1, {0xB0, 0x0B, uint8_t(i % 128)}});
        notes.push_back({7 * i + 3, {0x90, key, 0x40}});
        notes.push_back({7 * i + 5, {0x80, key, 0x40}});
    }
    const Bytes file = Smf(1, 1000, {At(conductor), At(notes)});
    SongConversion conversion = Convert(file);
    ASSERT_EQ(conversion.status, ConversionStatus::Converted);
    EXPECT_EQ(Unfaithful(file, conversion.song), "");
    EXPECT_LE(conversion.report.largestShiftMs, 523457 / 1000.0 / 120 / 2 + 1e-6);
}

TEST(Converter, RandomSongsPlayTheSame) {
    std::mt19937 random(20261207);
    const int divisions[] = {96, 120, 192, 384, 480, 960, 1000, 0xE250 /* 30 fps x 80 */, 0xE328};
    for (int n = 0; n < 150; ++n) {
        const int division = divisions[random() % std::size(divisions)];
        std::vector<Bytes> tracks;
        const int trackCount = 1 + int(random() % 5);
        for (int t = 0; t < trackCount; ++t) {
            std::vector<std::pair<uint32_t, Bytes>> events;
            uint32_t tick = 0;
            for (int e = int(random() % 60); e > 0; --e) {
                tick += random() % 3 == 0 ? 0 : random() % 200;
                const uint8_t key = uint8_t(60 + random() % 3);
                const uint8_t channel = uint8_t(random() % 2);
                switch (random() % 6) {
                    case 0:
                        events.push_back({tick, Tempo(200000 + random() % 800000)});
                        break;
                    case 1:
                        events.push_back(
                            {tick, {uint8_t(0xB0 | channel), 0x40, uint8_t(random() % 128)}});
                        break;
                    case 2:
                        events.push_back({tick, {0xFF, 0x01, 0x01, 'x'}});
                        break;
                    case 3:
                        events.push_back({tick, {uint8_t(0x80 | channel), key, 0x40}});
                        break;
                    default:
                        events.push_back(
                            {tick,
                             {uint8_t(0x90 | channel), key, uint8_t(random() % 2 ? 0x40 : 0)}});
                        break;
                }
            }
            tracks.push_back(At(events, tick + random() % 500));
        }
        const Bytes file = Smf(trackCount > 1 ? 1 : 0, division, tracks);
        SongConversion conversion = Convert(file);
        if (conversion.status == ConversionStatus::AlreadySong) continue;
        ASSERT_EQ(conversion.status, ConversionStatus::Converted) << n;
        ASSERT_EQ(CheckSongBytes(conversion.song), SongVerdict::Accepted) << n;
        ASSERT_EQ(Unfaithful(file, conversion.song), "")
            << "song " << n << " of division " << division << testing::PrintToString(Listing(file))
            << "\n"
            << testing::PrintToString(Listing(conversion.song));
        // A song converts to itself.
        EXPECT_EQ(Convert(conversion.song).status, ConversionStatus::AlreadySong);
    }
}

TEST(Converter, RefusesWhatItCannotMakeIntoASongAndWritesNothing) {
    const Bytes tune = TuneEvents("Tune");
    struct Case {
        Bytes file;
        SongVerdict verdict;
        bool problem;
    };
    const Case cases[] = {
        {Smf(2, 480, {tune, tune}), SongVerdict::FormatError, false},
        {[&] {
             Bytes cut = Smf(1, 480, {tune});
             cut.resize(cut.size() - 2);
             return cut;
         }(),
         SongVerdict::FormatError, false},
        {Smf(1, 480, {Bytes{0x00, 0x3C, 0x40} + kEndOfTrack}), SongVerdict::FormatError, false},
        {Smf(1, 0, {tune}), SongVerdict::FormatError, false},
        // A packet that starts a SysEx and never meets an F7: the repository's
        // reader would run past it.
        {Smf(1, 480, {At({{0, kOn60}, {5, {0xF0, 0x02, 0x43, 0x12}}, {20, kOff60}})}),
         SongVerdict::FormatError, true},
    };
    for (const Case& c : cases) {
        SongConversion conversion = Convert(c.file);
        EXPECT_EQ(conversion.status, ConversionStatus::Refused) << Hex(c.file);
        EXPECT_TRUE(conversion.song.empty());
        EXPECT_EQ(!conversion.problem.empty(), c.problem) << conversion.problem;
    }
    EXPECT_EQ(ConversionRefusalMessage(Convert(Smf(2, 480, {tune})), "A.MID"),
              "A.MID Midi Format Error!");
}

TEST(Converter, TakesASongAsItIs) {
    const Bytes song = GoodSong("Tune");
    SongConversion conversion = Convert(song);
    EXPECT_EQ(conversion.status, ConversionStatus::AlreadySong);
    EXPECT_EQ(conversion.song, song);
}

TEST(Converter, ReportSaysWhatChanged) {
    ConversionReport report;
    report.tracksMerged = 3;
    report.largestShiftMs = 1.04;
    report.notesLengthened = 1;
    report.eventsLeftOut = 2;
    EXPECT_EQ(ConversionReportText(report),
              "3 tracks merged, largest time shift 1.04 ms, 1 note lengthened, 2 events left out "
              "(sequence number, channel prefix, port)");
}
