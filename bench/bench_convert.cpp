// Song conversion throughput: reads every MIDI file of a folder into memory,
// then times, over the same bytes, the raw read from disk, the standard
// reading alone, the conversion in memory and the conversion from file to
// file (read, convert, write through a temporary file and a rename).
//   bench_convert FOLDER [seconds=2]
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "common/TemporaryFile.h"
#include "songs/SongConverter.h"
#include "songs/StandardMidiFile.h"

namespace fs = std::filesystem;

namespace {

struct Song {
    fs::path path;
    std::vector<uint8_t> bytes;
};

std::vector<uint8_t> ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

/// Runs `pass` over all songs until `seconds` have gone; MB/s of input.
double Rate(const char* what, const std::vector<Song>& songs, double seconds,
            const std::function<size_t(const Song&)>& pass) {
    // Processor time, not the wall clock: other programs on the machine then
    // hardly change the figure.
    size_t bytes = 0;
    size_t passes = 0;
    const std::clock_t start = std::clock();
    double elapsed = 0;
    do {
        for (const Song& song : songs) bytes += pass(song);
        ++passes;
        elapsed = double(std::clock() - start) / CLOCKS_PER_SEC;
    } while (elapsed < seconds);
    const double rate = double(bytes) / elapsed / 1e6;
    std::printf("%-34s %9.1f MB/s  (%zu passes)\n", what, rate, passes);
    return rate;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench_convert FOLDER [seconds]\n");
        return 2;
    }
    const double seconds = argc > 2 ? std::atof(argv[2]) : 2.0;
    std::vector<Song> songs;
    size_t total = 0;
    for (const auto& entry : fs::directory_iterator(argv[1])) {
        if (!entry.is_regular_file()) continue;
        songs.push_back({entry.path(), ReadAll(entry.path())});
        total += songs.back().bytes.size();
    }
    int converted = 0;
    int refused = 0;
    for (const Song& song : songs) {
        const auto status = velnor::ConvertSong(song.bytes).status;
        converted += status != velnor::ConversionStatus::Refused;
        refused += status == velnor::ConversionStatus::Refused;
    }
    std::printf("%zu files, %.2f MB; %d become songs, %d refused\n", songs.size(), total / 1e6,
                converted, refused);
    Rate("raw read from disk", songs, seconds,
         [](const Song& s) { return ReadAll(s.path).size(); });
    Rate("standard reading in memory", songs, seconds, [](const Song& s) {
        velnor::SmfContents contents;
        velnor::ReadStandardMidiFile(s.bytes, contents);
        return s.bytes.size();
    });
    Rate("conversion in memory", songs, seconds, [](const Song& s) {
        velnor::ConvertSong(s.bytes);
        return s.bytes.size();
    });
    const fs::path out = fs::temp_directory_path() / "velnor-bench-convert";
    fs::create_directories(out);
    Rate("conversion file to file", songs, seconds, [&out](const Song& s) {
        const velnor::SongConversion c = velnor::ConvertSongFile(s.path.string());
        if (c.status != velnor::ConversionStatus::Refused) {
            velnor::WriteFileSafely(out / s.path.filename(), c.song.data(), c.song.size());
        }
        return s.bytes.size();
    });
    fs::remove_all(out);
    return 0;
}
