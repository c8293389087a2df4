// Writes the seed corpus of the reader's fuzzer from the songs the tests
// build: make_reader_seeds FOLDER
#include <cstdio>

#include "SmfBuilder.h"

using namespace velnor::test;

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_reader_seeds FOLDER\n");
        return 2;
    }
    const std::filesystem::path dir = argv[1];
    std::filesystem::create_directories(dir);
    const Bytes long_sysex{0x00, 0xF0, 0x0A, 1, 2, 3, 4, 5, 6, 7, 8, 9, 0xF7};
    const std::vector<std::pair<const char*, Bytes>> seeds = {
        {"good-format0.mid", GoodSong()},
        {"format1-two-tracks.mid", TwoTrackSong()},
        {"division96.mid", GoodSong("Slow", 96)},
        {"format2.mid", Smf(2, 120, {kEndOfTrack})},
        {"zero-tracks.mid", Header(0, 0, 120)},
        {"header-length7.mid", Header(0, 1, 120, 7) + Bytes{0} + Track(kEndOfTrack)},
        {"trailing-byte.mid", GoodSong() + Bytes{0}},
        {"foreign-chunk.mid", GoodSong() + Chunk("XFIH", {1, 2})},
        {"meta-running-status.mid",
         Smf(0, 120, {Meta(1, "A") + Bytes{0x00, 0x03, 0x01, 'B', 0x00, 0x2F, 0x00}})},
        {"tempo-first.mid",
         Smf(0, 120, {Bytes{0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20} + kEndOfTrack})},
        {"eot-length1.mid", Smf(0, 120, {{0x00, 0xFF, 0x2F, 0x01, 0x00}})},
        {"empty-track.mid", Smf(0, 120, {{}})},
        {"sysex-no-end.mid", Smf(0, 120, {kEndOfTrack + Bytes{0x00, 0xF0, 0x01, 0x02}})},
        {"long-events.mid",
         Smf(0, 120, {Meta(3, "A title longer than seven bytes") + long_sysex + kEndOfTrack})},
        {"system-common.mid", Smf(0, 120, {Bytes{0x00, 0xF3, 0x02, 0xAA, 0xBB} + kEndOfTrack})},
        {"long-quantity.mid",
         Smf(0, 120, {Bytes{0x00, 0xFF, 0x01, 0x90, 0x80, 0x80, 0x80, 0x00} + kEndOfTrack})},
    };
    for (const auto& [name, bytes] : seeds) WriteFile(dir / name, bytes);
    std::printf("%zu seeds written to %s\n", seeds.size(), dir.string().c_str());
    return 0;
}
