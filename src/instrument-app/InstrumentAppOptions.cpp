#include "InstrumentAppOptions.h"

#include <charconv>

namespace velnor::instrument {

namespace {

/// A whole decimal number in [low, high], nothing else.
bool ParseNumber(const std::string& text, std::uint64_t low, std::uint64_t high,
                 std::uint64_t& value) {
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, value);
    return !text.empty() && ec == std::errc() && ptr == end && value >= low && value <= high;
}

/// Keeps the demo songs that still fit in `slots` slots.
void KeepSongsWithin(InstrumentOptions& instrument) {
    auto& songs = instrument.songs;
    std::erase_if(songs, [&](const auto& entry) { return entry.first >= instrument.slotCount; });
}

}  // namespace

std::string InstrumentAppUsage() {
    return "usage: velnor-instrument [options]\n"
           "  --api alsa|jack     MIDI system to open the ports on (default alsa)\n"
           "  --link none|usb|din how the instrument is attached (default usb, or\n"
           "                      VELNOR_INSTRUMENT_LINK)\n"
           "  --fault TEXT        misbehave once, e.g. drop-ack:3 or bad-checksum:13\n"
           "  --slots N           number of song slots, 1 to 256 (default 16)\n"
           "  --capacity BYTES    song memory for all slots together (default 262144)\n"
           "  --empty             start with no songs (default: three demo songs)\n"
           "  --name NAME         port name (default \"Velnor Virtual Instrument\")\n"
           "Faults, comma-separated (CMD hexadecimal, N and K counted from 1):\n"
           "  drop-ack:N  bad-checksum:CMD[@K]  wrong-command:CMD[=NEW][@K]\n"
           "  wrong-status:CMD=VALUE[@K]  block-index:I=J  oversized-block:I  split:N  silent\n"
           "  short-read:N[@K] (the K-th read announces N bytes more than its blocks carry)\n"
           "Runs until interrupted (Ctrl+C or SIGTERM).\n";
}

bool ParseInstrumentAppArgs(const std::vector<std::string>& args, InstrumentAppOptions& options,
                            std::string& error) {
    options.link = LinkFromEnvironment();
    bool empty = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--help" || arg == "-h") {
            options.help = true;
            continue;
        }
        if (arg == "--empty") {
            empty = true;
            continue;
        }
        if (arg != "--api" && arg != "--link" && arg != "--fault" && arg != "--slots" &&
            arg != "--capacity" && arg != "--name") {
            error = "unknown option: " + arg;
            return false;
        }
        if (i + 1 >= args.size()) {
            error = arg + " needs a value";
            return false;
        }
        const std::string& value = args[++i];
        std::uint64_t number = 0;
        if (arg == "--api") {
            if (value != "alsa" && value != "jack") {
                error = "--api takes alsa or jack, not \"" + value + "\"";
                return false;
            }
            options.system = value;
        } else if (arg == "--link") {
            const auto link = ParseLink(value);
            if (!link) {
                error = "--link takes none, usb or din, not \"" + value + "\"";
                return false;
            }
            options.link = *link;
        } else if (arg == "--fault") {
            auto faults = ParseFaults(value, error);
            if (!faults) return false;
            options.faultSpec = value;
            options.faults = std::move(*faults);
        } else if (arg == "--slots") {
            if (!ParseNumber(value, 1, 256, number)) {
                error = "--slots takes a number from 1 to 256, not \"" + value + "\"";
                return false;
            }
            options.instrument.slotCount = static_cast<unsigned>(number);
        } else if (arg == "--capacity") {
            if (!ParseNumber(value, 0, UINT32_MAX, number)) {
                error = "--capacity takes a number of bytes, not \"" + value + "\"";
                return false;
            }
            options.instrument.capacity = static_cast<std::uint32_t>(number);
        } else {  // --name
            if (value.empty()) {
                error = "--name needs a name";
                return false;
            }
            options.instrument.deviceName = value;
        }
    }
    if (empty) options.instrument.songs.clear();
    KeepSongsWithin(options.instrument);
    return true;
}

}  // namespace velnor::instrument
