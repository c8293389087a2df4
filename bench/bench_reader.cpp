// Song reader throughput and memory: generates a corpus of songs (1 KB to
// 1 MB, formats 0 and 1) in a temporary folder, then times LoadFile +
// ParseHeader + ParseTracks over all of them and records the heap's peak for
// each file with a counting allocator.
//   bench_reader [songs=500] [passes=5]
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <new>
#include <random>
#include <string>
#include <vector>

#include "songs/MidiReader.h"

// ---- counting allocator: every block carries its size in front of it ----
namespace {
std::atomic<size_t> g_current{0};
std::atomic<size_t> g_peak{0};
constexpr size_t kPrefix = alignof(std::max_align_t);

void* Allocate(size_t size) {
    void* block = std::malloc(size + kPrefix);
    if (!block) return nullptr;
    *static_cast<size_t*>(block) = size;
    size_t now = g_current += size;
    size_t peak = g_peak.load();
    while (now > peak && !g_peak.compare_exchange_weak(peak, now)) {
    }
    return static_cast<char*>(block) + kPrefix;
}

void Free(void* p) {
    if (!p) return;
    void* block = static_cast<char*>(p) - kPrefix;
    g_current -= *static_cast<size_t*>(block);
    std::free(block);
}
}  // namespace

void* operator new(size_t size) {
    if (void* p = Allocate(size)) return p;
    throw std::bad_alloc();
}
void* operator new[](size_t size) {
    return operator new(size);
}
void* operator new(size_t size, const std::nothrow_t&) noexcept {
    return Allocate(size);
}
void* operator new[](size_t size, const std::nothrow_t&) noexcept {
    return Allocate(size);
}
void operator delete(void* p) noexcept {
    Free(p);
}
void operator delete[](void* p) noexcept {
    Free(p);
}
void operator delete(void* p, size_t) noexcept {
    Free(p);
}
void operator delete[](void* p, size_t) noexcept {
    Free(p);
}

// ---- corpus ----
namespace {

using Bytes = std::vector<uint8_t>;

void Quantity(Bytes& b, uint32_t v) {
    uint8_t groups[5];
    int n = 0;
    do {
        groups[n++] = uint8_t(v & 0x7F);
        v >>= 7;
    } while (v);
    while (n > 1) b.push_back(uint8_t(groups[--n] | 0x80));
    b.push_back(groups[0]);
}

/// Events of a played track filling about `size` bytes: notes with running
/// status, controllers, bends, program changes, some text and SysEx.
Bytes TrackEvents(size_t size, std::mt19937& random, bool named) {
    Bytes b;
    b.reserve(size + 64);
    if (named) {
        const std::string name = "Generated song";
        b.insert(b.end(), {0x00, 0xFF, 0x03, uint8_t(name.size())});
        b.insert(b.end(), name.begin(), name.end());
    }
    uint8_t channel = uint8_t(random() % 16);
    // This reader keeps a meta or SysEx status running like any other, so a
    // note after one of them carries its status again.
    uint8_t running = 0;
    while (b.size() < size) {
        unsigned kind = random() % 100;
        Quantity(b, random() % 8 == 0 ? random() % 2000 : random() % 120);
        if (kind < 70) {  // note on/off, running status most of the time
            if (kind < 10 || running != (0x90 | channel)) b.push_back(uint8_t(0x90 | channel));
            running = uint8_t(0x90 | channel);
            b.push_back(uint8_t(random() % 128));
            b.push_back(uint8_t(random() % 128));
        } else if (kind < 85) {
            b.insert(b.end(), {uint8_t(0xB0 | channel), uint8_t(random() % 120), 0x40});
            running = uint8_t(0xB0 | channel);
        } else if (kind < 95) {
            b.insert(b.end(), {uint8_t(0xE0 | channel), uint8_t(random() % 128), 0x40});
            running = uint8_t(0xE0 | channel);
        } else if (kind < 98) {
            b.insert(b.end(), {uint8_t(0xC0 | channel), uint8_t(random() % 128)});
            running = uint8_t(0xC0 | channel);
        } else if (kind < 99) {
            b.insert(b.end(), {0xFF, 0x01, 0x0C});
            for (int i = 0; i < 12; ++i) b.push_back(uint8_t('a' + random() % 26));
            running = 0xFF;
        } else {
            b.insert(b.end(), {0xF0, 0x0A, 0x43, 0x10, 0x4C, 0, 0, 0x7E, 0, 0, 0, 0xF7});
            running = 0xF0;
        }
    }
    b.insert(b.end(), {0x00, 0xFF, 0x2F, 0x00});
    return b;
}

void Chunk(Bytes& file, const char* tag, const Bytes& data) {
    file.insert(file.end(), tag, tag + 4);
    uint32_t n = uint32_t(data.size());
    file.insert(file.end(), {uint8_t(n >> 24), uint8_t(n >> 16), uint8_t(n >> 8), uint8_t(n)});
    file.insert(file.end(), data.begin(), data.end());
}

Bytes Song(size_t size, int format, std::mt19937& random) {
    int tracks = format == 0 ? 1 : 2 + int(random() % 14);
    Bytes file;
    Chunk(file, "MThd", {0, uint8_t(format), 0, uint8_t(tracks), 0, 120});
    for (int t = 0; t < tracks; ++t)
        Chunk(file, "MTrk", TrackEvents(size / tracks, random, t == 0));
    return file;
}

double Seconds(std::chrono::steady_clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

}  // namespace

int main(int argc, char** argv) {
    const int songs = argc > 1 ? std::atoi(argv[1]) : 500;
    const int passes = argc > 2 ? std::atoi(argv[2]) : 5;
    namespace fs = std::filesystem;
    const fs::path dir = fs::temp_directory_path() / ("velnor-bench-" + std::to_string(getpid()));
    fs::create_directories(dir);

    std::mt19937 random(20261207);
    std::vector<std::string> paths;
    std::vector<size_t> sizes;
    size_t total = 0;
    for (int i = 0; i < songs; ++i) {
        // Sizes spread evenly on a log scale from 1 KB to 1 MB; the last is 1 MB.
        double f = songs > 1 ? double(i) / (songs - 1) : 1.0;
        size_t size = size_t(1000.0 * std::pow(1000.0, f));
        if (i % 97 == 13) size = 1000 + random() % 9000;
        Bytes song = Song(size, i % 2, random);
        paths.push_back((dir / ("song" + std::to_string(i) + ".mid")).string());
        std::ofstream(paths.back(), std::ios::binary)
            .write(reinterpret_cast<const char*>(song.data()), std::streamsize(song.size()));
        sizes.push_back(song.size());
        total += song.size();
    }

    double best = 1e9, bestCpu = 1e9;
    size_t accepted = 0, largest = 0, peakOfLargest = 0;
    double worstRatio = 0;
    for (int pass = 0; pass < passes; ++pass) {
        accepted = 0;
        auto start = std::chrono::steady_clock::now();
        std::clock_t cpuStart = std::clock();
        for (size_t i = 0; i < paths.size(); ++i) {
            size_t base = g_current.load();
            g_peak = base;
            velnor::CMidiReader reader;
            reader.m_strFileName = paths[i];
            bool ok = reader.LoadFile() == velnor::LoadResult::Loaded &&
                      reader.ParseHeader() == 0 && reader.ParseTracks();
            accepted += ok;
            size_t peak = g_peak.load() - base;
            worstRatio = std::max(worstRatio, double(peak) / double(sizes[i]));
            if (sizes[i] >= largest) largest = sizes[i], peakOfLargest = peak;
        }
        best = std::min(best, Seconds(std::chrono::steady_clock::now() - start));
        bestCpu = std::min(bestCpu, double(std::clock() - cpuStart) / CLOCKS_PER_SEC);
    }
    struct rusage usage {};
    getrusage(RUSAGE_SELF, &usage);

    std::printf("songs            %d (%zu read correctly), %.1f MB in all, largest %zu bytes\n",
                songs, accepted, total / 1e6, largest);
    std::printf(
        "load+header+tracks  best of %d passes: %.3f s wall -> %.0f MB/s; %.3f s CPU -> "
        "%.0f MB/s per core\n",
        passes, best, total / 1e6 / best, bestCpu, total / 1e6 / bestCpu);
    std::printf("heap peak        largest file: %zu bytes (%.2f x its size); worst ratio %.2f\n",
                peakOfLargest, double(peakOfLargest) / double(largest), worstRatio);
    std::printf("process ru_maxrss %ld KB (corpus generation included)\n", usage.ru_maxrss);
    fs::remove_all(dir);
    return accepted == size_t(songs) ? 0 : 1;
}
