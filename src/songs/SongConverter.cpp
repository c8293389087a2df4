#include "songs/SongConverter.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iterator>
#include <new>

#include "common/Utf8Path.h"
#include "songs/SmfWriter.h"
#include "songs/StandardMidiFile.h"

namespace velnor {

namespace {

constexpr uint16_t kSongDivision = 120;
constexpr uint32_t kDefaultTempo = 500000;  // microseconds per quarter note: 120 beats a minute
/// Ticks beyond this would make the time arithmetic lose exactness; no real
/// song comes near it (2^40 ticks at 960 per quarter is years at any tempo).
constexpr uint64_t kMaxTick = uint64_t(1) << 40;
constexpr int kKeys = 16 * 128;

enum Kind : uint8_t { kChannel, kNoteOn, kNoteOff, kMeta, kSysEx, kTempo, kName, kDropped };

/// An event on its way into the song.
struct Placed {
    uint64_t tick = 0;     ///< original tick
    uint64_t newTick = 0;  ///< tick in the song
    uint32_t begin = 0;    ///< as in SmfEvent
    uint32_t size = 0;
    uint32_t order = 0;  ///< place in the merged order of original times
    /// A note-on while its note is open: the next open note of its key. A
    /// note-off: the order of the note-on it ends, or -1 for none.
    int32_t link = -1;
    uint16_t key = 0;  ///< channel * 128 + key, for note events
    uint8_t status = 0;
    uint8_t kind = kChannel;
    bool moved = false;  ///< put later than its nearest tick to keep a note whole
};

/// The data bytes of a meta event at `begin` (after its type and length).
std::span<const uint8_t> MetaData(std::span<const uint8_t> file, const Placed& e) {
    uint64_t pos = e.begin + 2;
    uint32_t length = 0;
    ReadQuantity(file.data(), pos, e.begin + uint64_t(e.size), length);
    return file.subspan(size_t(pos), length);
}

/// Places original ticks on the song's ticks by their time in seconds. The
/// song's tempo map is built as the tempo changes come, in time order: each
/// change goes to the tick nearest its original time under the map so far,
/// and the time between that tick and the change's original time is carried
/// as an offset, so each event lands within half a tick of its own time.
class TimePlacer {
  public:
    /// `num`/`den`: song ticks per original tick at the starting tempo.
    TimePlacer(uint64_t num, uint64_t den, uint32_t tempo)
        : m_num(num), m_den(den), m_tempo(tempo) {}

    /// The song tick nearest original `tick` (never before the last tempo
    /// change's tick); `shiftUs` gets how far in time it moves the event.
    uint64_t Place(uint64_t tick, double& shiftUs) const {
        double x = 0;
        const uint64_t steps = Steps(tick, x);
        shiftUs = std::fabs(double(steps) - x) * m_tempo / kSongDivision;
        return m_newTick + steps;
    }

    /// A tempo change at original `tick`: placed like an event, then the map
    /// goes on from there at `tempo`.
    uint64_t ChangeTempo(uint64_t tick, uint32_t tempo, double& shiftUs) {
        double x = 0;
        const uint64_t steps = Steps(tick, x);
        shiftUs = std::fabs(double(steps) - x) * m_tempo / kSongDivision;
        tempo = std::max<uint32_t>(tempo, 1);  // a tempo of 0 would stop time
        // The original time of the change, seen from its tick, in ticks of the new tempo.
        m_offset = (x - double(steps)) * double(m_tempo) / double(tempo);
        m_tick = tick;
        m_newTick += steps;
        m_tempo = tempo;
        return m_newTick;
    }

  private:
    /// Song ticks from the last change to the one nearest `tick`; `x` gets
    /// the exact distance in song ticks.
    uint64_t Steps(uint64_t tick, double& x) const {
        x = m_offset;
        if (tick == m_tick) return 0;  // with the change itself
        // One integer product and one division: exact wherever the result is
        // a multiple of a power of two, as halves of a tick are.
        x += double((tick - m_tick) * m_num) / double(m_den);
        // Halves go up; before the change's own tick is never nearer.
        const double nearest = x + 0.5;
        return nearest >= 1 ? uint64_t(nearest) : 0;
    }

    uint64_t m_num;
    uint64_t m_den;
    uint32_t m_tempo;
    uint64_t m_tick = 0;     ///< original tick of the last tempo change
    uint64_t m_newTick = 0;  ///< its song tick
    double m_offset = 0;     ///< its original time minus its song tick's time, in song ticks
};

/// The places of the events in `source`, in the order of their original
/// ticks; at equal ticks the first track first and, within a track, its own
/// order. The tracks lie one after the other, each in order already: their
/// runs are merged pairwise as keys of tick and place, which order exactly so.
std::vector<uint32_t> MergeTracks(const SmfContents& source) {
    constexpr int kPlaceBits = 24;
    const std::vector<SmfEvent>& events = source.events;
    std::vector<uint32_t> order(events.size());
    for (size_t i = 0; i < order.size(); ++i) order[i] = uint32_t(i);
    std::vector<uint32_t> runs = source.trackStarts;
    if (runs.size() <= 2) return order;
    if (events.size() >= (size_t(1) << kPlaceBits)) {  // more events than a key holds
        std::stable_sort(order.begin(), order.end(), [&events](uint32_t a, uint32_t b) {
            return events[a].tick < events[b].tick;
        });
        return order;
    }
    std::vector<uint64_t> keys(events.size());
    for (size_t i = 0; i < events.size(); ++i) keys[i] = events[i].tick << kPlaceBits | i;
    std::vector<uint64_t> other(keys.size());
    while (runs.size() > 2) {
        std::vector<uint32_t> merged{0};
        for (size_t r = 0; r + 1 < runs.size(); r += 2) {
            const uint32_t last = r + 2 < runs.size() ? runs[r + 2] : runs[r + 1];
            std::merge(keys.begin() + runs[r], keys.begin() + runs[r + 1],
                       keys.begin() + runs[r + 1], keys.begin() + last, other.begin() + runs[r]);
            merged.push_back(last);
        }
        keys.swap(other);
        runs.swap(merged);
    }
    const uint64_t place = (uint64_t(1) << kPlaceBits) - 1;
    for (size_t i = 0; i < keys.size(); ++i) order[i] = uint32_t(keys[i] & place);
    return order;
}

/// The events in merged order, each with its kind.
std::vector<Placed> Classify(std::span<const uint8_t> file, const SmfContents& source,
                             const std::vector<uint32_t>& order, bool timeCode,
                             ConversionReport& report) {
    std::vector<Placed> events(order.size());
    bool nameTaken = false;
    for (size_t i = 0; i < events.size(); ++i) {
        const SmfEvent& s = source.events[order[i]];
        Placed& e = events[i];
        e.tick = s.tick;
        e.begin = s.begin;
        e.size = s.size;
        e.status = s.status;
        if (s.status < 0xF0) {
            const uint8_t kind = s.status & 0xF0;
            const uint8_t* data = file.data() + s.begin;
            if (kind == 0x80 || (kind == 0x90 && data[1] == 0)) {
                e.kind = kNoteOff;
            } else if (kind == 0x90) {
                e.kind = kNoteOn;
            }
            e.key = uint16_t((s.status & 0x0F) << 7 | data[0]);
        } else if (s.status != 0xFF) {
            e.kind = kSysEx;
        } else if (s.type == 0x2F) {
            e.kind = kDropped;  // one End of Track closes the song
        } else if (s.type == 0x00 || s.type == 0x20 || s.type == 0x21) {
            e.kind = kDropped;
            ++report.eventsLeftOut;
        } else if (s.type == 0x51 && MetaData(file, e).size() == 3) {
            e.kind = timeCode ? kDropped : kTempo;
        } else if (s.type == 0x03 && s.track == 0 && !nameTaken) {
            // The merge keeps each track's order: the first met is the first.
            e.kind = kName;
            nameTaken = true;
        } else {
            e.kind = kMeta;
        }
    }
    return events;
}

/// Gives every event its song tick in merged order, pairs the notes and keeps
/// each whole. Returns the song tick of the song's end.
uint64_t PlaceEvents(std::span<const uint8_t> file, std::vector<Placed>& events, TimePlacer& placer,
                     uint64_t songEnd, ConversionReport& report, bool& meets) {
    std::vector<int32_t> head(kKeys, -1);  // the earliest open note of each key
    std::vector<int32_t> tail(kKeys, -1);
    std::vector<uint64_t> lastOff(kKeys, 0);
    std::vector<int64_t> lastOn(kKeys, -1);  // the latest note-on of each key: its place
    meets = false;
    double largest = 0;
    Placed* lastTempo = nullptr;
    uint64_t latest = 0;
    for (size_t i = 0; i < events.size(); ++i) {
        Placed& e = events[i];
        e.order = uint32_t(i);
        double shift = 0;
        if (e.kind == kTempo) {
            const uint8_t* t = MetaData(file, e).data();
            e.newTick = placer.ChangeTempo(e.tick, uint32_t(t[0]) << 16 | t[1] << 8 | t[2], shift);
            // Several changes on one tick: the last one holds.
            if (lastTempo && lastTempo->newTick == e.newTick) lastTempo->kind = kDropped;
            lastTempo = &e;
        } else {
            e.newTick = placer.Place(e.tick, shift);
        }
        if (e.kind == kNoteOn) {
            if (head[e.key] < 0 && lastOff[e.key] > e.newTick) {
                // The note before it was lengthened onto this tick or past it.
                e.newTick = lastOff[e.key];
                e.moved = true;
                ++report.notesDelayed;
            }
            e.link = -1;
            (tail[e.key] >= 0 ? events[size_t(tail[e.key])].link : head[e.key]) = int32_t(i);
            tail[e.key] = int32_t(i);
            lastOn[e.key] = int64_t(i);
        } else if (e.kind == kNoteOff) {
            const int32_t on = head[e.key];
            e.link = on;
            if (on >= 0) {
                Placed& start = events[size_t(on)];
                head[e.key] = start.link;
                if (head[e.key] < 0) tail[e.key] = -1;
                // A note that had a length keeps one tick at least.
                const uint64_t least = start.newTick + (e.tick > start.tick ? 1 : 0);
                if (e.newTick < least) {
                    e.newTick = least;
                    e.moved = true;
                    ++report.notesLengthened;
                }
            }
            lastOff[e.key] = std::max(lastOff[e.key], e.newTick);
            // A later note of the key starts on this tick or after it: the two
            // may meet on one tick with the on first.
            const int64_t later = lastOn[e.key];
            if (later > int64_t(on) && events[size_t(later)].newTick >= e.newTick) meets = true;
        }
        if (e.kind != kDropped && e.kind != kName) {  // the name goes first, at tick 0
            latest = std::max(latest, e.newTick);
            if (!e.moved) largest = std::max(largest, shift);
        }
    }
    double shift = 0;
    const uint64_t end = placer.Place(songEnd, shift);
    if (end >= latest) largest = std::max(largest, shift);
    report.largestShiftMs = largest / 1000.0;
    return std::max(end, latest);
}

bool EarlierInSong(const Placed& a, const Placed& b) {
    return a.newTick != b.newTick ? a.newTick < b.newTick : a.order < b.order;
}

/// On one tick, an off that ends an earlier note of a key comes before an
/// on of that key, whatever the original order.
void PutOffsBeforeOns(std::vector<Placed>& song) {
    struct On {
        uint16_t key;
        size_t pos;
        uint32_t order;
    };
    std::vector<On> ons;
    std::vector<std::pair<uint64_t, size_t>> ranks;  // (rank, position) in the group
    std::vector<Placed> group;
    for (size_t a = 0, b = 0; a < song.size(); a = b) {
        bool hasOn = false;
        bool hasOff = false;
        for (b = a; b < song.size() && song[b].newTick == song[a].newTick; ++b) {
            hasOn |= song[b].kind == kNoteOn;
            hasOff |= song[b].kind == kNoteOff;
        }
        if (!hasOn || !hasOff) continue;
        ons.clear();
        ranks.clear();
        bool reorder = false;
        for (size_t q = a; q < b; ++q) {
            const Placed& e = song[q];
            uint64_t rank = 2 * (q - a) + 1;
            if (e.kind == kNoteOn) {
                ons.push_back({e.key, q, e.order});
            } else if (e.kind == kNoteOff) {
                for (const On& on : ons) {
                    if (on.key == e.key && (e.link < 0 || on.order > uint32_t(e.link))) {
                        rank = 2 * (on.pos - a);  // just before that on
                        reorder = true;
                        break;
                    }
                }
            }
            ranks.push_back({rank, q});
        }
        if (!reorder) continue;
        std::stable_sort(ranks.begin(), ranks.end(),
                         [](const auto& x, const auto& y) { return x.first < y.first; });
        group.clear();
        for (const auto& r : ranks) group.push_back(song[r.second]);
        std::copy(group.begin(), group.end(), song.begin() + std::ptrdiff_t(a));
    }
}

/// The events to write, in song order: those placed at their nearest tick
/// are in order already; the few put later for their notes' sake join them.
std::vector<Placed> SongOrder(std::vector<Placed> events) {
    std::vector<Placed> moved;
    size_t kept = 0;
    for (size_t i = 0; i < events.size(); ++i) {
        const Placed& e = events[i];
        if (e.kind == kDropped || e.kind == kName) continue;
        if (e.moved) {
            moved.push_back(e);
        } else {
            events[kept++] = e;
        }
    }
    events.resize(kept);
    if (!std::is_sorted(events.begin(), events.end(), EarlierInSong)) {
        std::stable_sort(events.begin(), events.end(), EarlierInSong);
    }
    if (moved.empty()) return events;
    std::sort(moved.begin(), moved.end(), EarlierInSong);
    events.insert(events.end(), moved.begin(), moved.end());
    std::inplace_merge(events.begin(), events.end() - std::ptrdiff_t(moved.size()), events.end(),
                       EarlierInSong);
    return events;
}

/// Whether the repository's song reader, which takes a SysEx as the bytes up
/// to the first F7, reads `bytes` (status first) as the same event.
bool ReaderTakesSysExWhole(std::span<const uint8_t> bytes) {
    const void* f7 = std::memchr(bytes.data() + 1, 0xF7, bytes.size() - 1);
    return f7 == bytes.data() + bytes.size() - 1;
}

/// Writes the song; false when a pause is too long for the file format.
/// `readerSafe` is cleared when a SysEx is written that the repository's
/// reader would read otherwise than as written.
bool WriteSong(std::span<const uint8_t> file, const std::vector<Placed>& events,
               const std::vector<Placed>& song, uint64_t end, bool timeCode,
               std::vector<uint8_t>& out, bool& readerSafe) {
    // Running status may add a status byte where the source had none.
    SmfWriter writer(out, kSongDivision, file.size() + song.size() / 2);
    for (const Placed& e : events) {
        if (e.kind == kName) {
            if (!writer.Raw(0, file.subspan(e.begin, e.size))) return false;
            break;
        }
    }
    if (timeCode) {
        static constexpr uint8_t kTempo[] = {0x07, 0xA1, 0x20};  // 500000: 120 beats a minute
        writer.Meta(0, 0x51, kTempo);
    }
    readerSafe = true;
    for (const Placed& e : song) {
        if (e.status < 0xF0) {
            if (!writer.Channel(e.newTick, e.status, file.data() + e.begin, e.size)) return false;
            continue;
        }
        const auto bytes = file.subspan(e.begin, e.size);
        if (e.status != 0xFF && !ReaderTakesSysExWhole(bytes)) readerSafe = false;
        if (!writer.Raw(e.newTick, bytes)) return false;
    }
    return writer.Finish(end);
}

/// Song ticks per original tick: num/den, and whether time is counted in frames.
bool TickScale(uint16_t division, uint64_t& num, uint64_t& den, bool& timeCode) {
    timeCode = (division & 0x8000) != 0;
    if (!timeCode) {
        if (division == 0) return false;
        num = kSongDivision;
        den = division;
        return true;
    }
    const int frames = -int(int8_t(division >> 8));
    const uint64_t perFrame = division & 0xFF;
    if (perFrame == 0) return false;
    // Original ticks per second: frames x perFrame; 29 means 30 drop-frame, 29.97.
    uint64_t framesNum = uint64_t(frames);
    uint64_t framesDen = 1;
    if (frames == 29) {
        framesNum = 30000;
        framesDen = 1001;
    } else if (frames != 24 && frames != 25 && frames != 30) {
        return false;
    }
    // Song ticks per second at the written tempo: 120 * 1e6 / 500000 = 240.
    num = 240 * framesDen;
    den = framesNum * perFrame;
    return true;
}

SongConversion Refuse(SongConversion conversion, std::string problem) {
    conversion.status = ConversionStatus::Refused;
    conversion.problem = std::move(problem);
    conversion.song.clear();
    return conversion;
}

}  // namespace

SongConversion ConvertSong(std::span<const uint8_t> file) {
    SongConversion conversion;
    // Only a file whose header says format 0 at 120 can already be a song.
    const bool songHeader = file.size() >= 14 && file[9] == 0 && file[12] == 0 && file[13] == 120;
    conversion.verdict = songHeader ? CheckSongBytes(file) : SongVerdict::FormatError;
    if (conversion.verdict == SongVerdict::Accepted) {
        conversion.status = ConversionStatus::AlreadySong;
        conversion.song.assign(file.begin(), file.end());
        return conversion;
    }
    try {
        SmfContents source;
        if (ReadStandardMidiFile(file, source) != SmfReadResult::Ok) return conversion;
        uint64_t num = 0;
        uint64_t den = 1;
        bool timeCode = false;
        if (!TickScale(source.division, num, den, timeCode)) return conversion;
        uint64_t songEnd = 0;
        for (uint64_t end : source.trackEnds) songEnd = std::max(songEnd, end);
        if (songEnd > kMaxTick) return Refuse(conversion, "the song is too long");
        ConversionReport& report = conversion.report;
        report.tracksMerged = source.trackCount;
        report.timeCode = timeCode;
        std::vector<Placed> events = Classify(file, source, MergeTracks(source), timeCode, report);
        TimePlacer placer(num, den, kDefaultTempo);
        bool meets = false;
        const uint64_t end = PlaceEvents(file, events, placer, songEnd, report, meets);
        std::vector<Placed> song = SongOrder(events);  // (events stays for the name)
        if (meets) PutOffsBeforeOns(song);
        bool readerSafe = true;
        if (!WriteSong(file, events, song, end, timeCode, conversion.song, readerSafe)) {
            return Refuse(conversion, "a pause in it is longer than a song file can hold");
        }
        if (!readerSafe) {
            // A SysEx in packets: the repository's reader must still take the song.
            if (CheckSongBytes(conversion.song) != SongVerdict::Accepted) {
                return Refuse(
                    conversion,
                    "it holds a SysEx message in packets that the song reader cannot take");
            }
        }
    } catch (const std::bad_alloc&) {
        return Refuse(conversion, "not enough memory");
    }
    conversion.status = ConversionStatus::Converted;
    return conversion;
}

SongConversion ConvertSongFile(const std::string& path) {
    SongConversion conversion;
    std::error_code ec;
    const std::filesystem::path source = PathFromUtf8(path);
    if (!std::filesystem::is_regular_file(source, ec)) {
        conversion.verdict = SongVerdict::CannotOpen;
        return conversion;
    }
    std::FILE* in = OpenFile(source, "rb");
    if (!in) {
        conversion.verdict = SongVerdict::CannotOpen;
        return conversion;
    }
    std::vector<uint8_t> bytes;
    try {
        uint8_t block[65536];
        for (size_t got; (got = std::fread(block, 1, sizeof block, in)) > 0;) {
            bytes.insert(bytes.end(), block, block + got);
        }
    } catch (const std::bad_alloc&) {
        std::fclose(in);
        return conversion;
    }
    const bool failed = std::ferror(in) != 0;
    std::fclose(in);
    if (failed) return conversion;
    return ConvertSong(bytes);
}

std::string ConversionRefusalMessage(const SongConversion& conversion, const std::string& name) {
    if (conversion.problem.empty()) {
        const SongVerdict verdict = conversion.verdict == SongVerdict::CannotOpen
                                        ? SongVerdict::CannotOpen
                                        : SongVerdict::FormatError;
        return SongVerdictMessage(verdict, name);
    }
    return name + " cannot be converted: " + conversion.problem;
}

std::string ConversionReportText(const ConversionReport& report) {
    char shift[64];
    std::snprintf(shift, sizeof shift, "largest time shift %.2f ms", report.largestShiftMs);
    const auto count = [](int n, const char* one, const char* many) {
        return n == 0 ? std::string("no ") + one : std::to_string(n) + " " + (n == 1 ? one : many);
    };
    std::string text = count(report.tracksMerged, "track", "tracks") + " merged, " + shift + ", " +
                       count(report.notesLengthened, "note", "notes") + " lengthened";
    if (report.notesDelayed > 0)
        text += ", " + count(report.notesDelayed, "note", "notes") + " delayed";
    if (report.eventsLeftOut > 0) {
        text += ", " + count(report.eventsLeftOut, "event", "events") +
                " left out (sequence number, channel prefix, port)";
    }
    if (report.timeCode) text += ", frame time set to 120 beats a minute";
    return text;
}

}  // namespace velnor
