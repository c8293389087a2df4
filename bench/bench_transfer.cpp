// Transfers through the virtual instrument with each link model: wall time
// against the least time the link allows, the process's CPU time, and for the
// link without delays the acknowledged packets per second.
//   bench_transfer [repeats=5] [none|usb|din]
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "instrument/VirtualInstrumentPlatform.h"
#include "midi/CMidiDevice.h"
#include "midi/CMidiTrans.h"

namespace fs = std::filesystem;
using namespace velnor;
using namespace velnor::instrument;
using Clock = std::chrono::steady_clock;

namespace {

constexpr unsigned kTimeoutMs = 200;
constexpr int kSlot = 1;

double CpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    auto seconds = [](const timeval& t) { return double(t.tv_sec) + double(t.tv_usec) / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

std::vector<std::uint8_t> MakeSong(std::size_t size) {
    std::vector<std::uint8_t> song(size);
    for (std::size_t i = 0; i < size; ++i) song[i] = static_cast<std::uint8_t>(i * 131 + 17);
    return song;
}

struct Sample {
    double wall = 0;
    double cpu = 0;
};

/// One connected session with an instrument holding `song` in kSlot.
class Session {
  public:
    Session(Link link, const std::vector<std::uint8_t>& song) {
        InstrumentOptions options = InstrumentOptions::Empty(4);
        options.capacity = 4 * 1024 * 1024;
        options.songs.push_back({kSlot, InstrumentSong{"Bench.mid", song}});
        m_vi = std::make_unique<VirtualInstrumentPlatform>(options, link);
        CMidiDevice::SetPlatform(m_vi.get());
        CMidiDevice::GetInstance()->EnumeratePorts();
        CMidiDevice::SetReceiveHandler(&CMidiTrans::OnReceive);
        m_trans = std::make_unique<CMidiTrans>();
        std::string name;
        m_ok = m_trans->OpenPorts(0, 0) && m_trans->Connect(name);
    }
    ~Session() {
        m_trans.reset();
        CMidiDevice::SetReceiveHandler(nullptr);
        CMidiDevice::SetPlatform(nullptr);
    }
    bool Ok() const { return m_ok; }
    CMidiTrans& Trans() { return *m_trans; }
    VirtualInstrumentPlatform& Instrument() { return *m_vi; }

  private:
    std::unique_ptr<VirtualInstrumentPlatform> m_vi;
    std::unique_ptr<CMidiTrans> m_trans;
    bool m_ok = false;
};

/// Times `repeats` runs of one direction; false when a transfer failed.
bool Measure(Link link, std::size_t size, bool download, int repeats, const fs::path& folder,
             std::vector<Sample>& samples) {
    const std::vector<std::uint8_t> song = MakeSong(size);
    const fs::path file = folder / "bench.mid";
    std::ofstream(file, std::ios::binary)
        .write(reinterpret_cast<const char*>(song.data()), std::streamsize(song.size()));
    Session session(link, song);
    if (!session.Ok()) return false;
    for (int i = 0; i < repeats; ++i) {
        session.Instrument().WaitUntilIdle(std::chrono::seconds(2));
        const double cpu0 = CpuSeconds();
        const auto t0 = Clock::now();
        const bool done = download ? session.Trans().DownloadSong(file.string(), kSlot, kTimeoutMs)
                                   : session.Trans().UploadSong(file.string(), kSlot, kTimeoutMs);
        const auto t1 = Clock::now();
        const double cpu1 = CpuSeconds();
        if (!done) return false;
        samples.push_back({std::chrono::duration<double>(t1 - t0).count(), cpu1 - cpu0});
    }
    return true;
}

void Report(Link link, std::size_t size, bool download, const std::vector<Sample>& samples) {
    std::vector<Sample> sorted = samples;
    std::sort(sorted.begin(), sorted.end(),
              [](const Sample& a, const Sample& b) { return a.wall < b.wall; });
    const Sample median = sorted[sorted.size() / 2];
    const Sample worst = sorted.back();
    double cpuShare = 0;
    for (const Sample& s : samples) cpuShare = std::max(cpuShare, s.cpu / s.wall);
    std::printf("%-8s %-4s %7zu B  median %9.3f ms  worst %9.3f ms  cpu %5.2f%%",
                download ? "download" : "upload", LinkName(link), size, median.wall * 1e3,
                worst.wall * 1e3, cpuShare * 100);
    if (link == Link::None) {
        // Download: the header's packet and the data's; upload: the read
        // request and one request per block.
        const long wire = 2 * long(size) + 12;
        const long messages =
            download ? 1 + 1 + (wire - 47 + 45) / 46 : 1 + (long(size) + 255) / 256;
        std::printf("  %8.0f %s/s\n", double(messages) / median.wall,
                    download ? "acknowledged packets" : "requests");
        return;
    }
    const auto least = download ? MinimumDownloadTime(link, std::uint32_t(size))
                                : MinimumUploadTime(link, std::uint32_t(size));
    const double minimum = double(least.count()) / 1e6;
    std::printf("  minimum %9.3f ms  median/min %6.4f  worst/min %6.4f\n", minimum * 1e3,
                median.wall / minimum, worst.wall / minimum);
}

}  // namespace

int main(int argc, char** argv) {
    const int repeats = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    const fs::path folder =
        fs::temp_directory_path() / ("velnor-bench-" + std::to_string(getpid()));
    fs::create_directories(folder);
    struct Case {
        Link link;
        std::size_t size;
    };
    const Case cases[] = {{Link::None, 64 * 1024}, {Link::Usb, 64 * 1024}, {Link::Din, 8 * 1024}};
    int status = 0;
    const std::optional<Link> only = argc > 2 ? ParseLink(argv[2]) : std::nullopt;
    for (const Case& c : cases) {
        if (only && c.link != *only) continue;
        for (bool download : {true, false}) {
            std::vector<Sample> samples;
            if (!Measure(c.link, c.size, download, repeats, folder, samples)) {
                std::printf("%s %s %zu: transfer failed\n", download ? "download" : "upload",
                            LinkName(c.link), c.size);
                status = 1;
                continue;
            }
            Report(c.link, c.size, download, samples);
        }
    }
    fs::remove_all(folder);
    return status;
}
