// libFuzzer target: any bytes through the song reader, as the song copy and
// the song lists would read a file, and through the converter, whose every
// song must pass the song rule.
#include <cstddef>
#include <cstdint>

#include "songs/MidiReader.h"
#include "songs/SongConverter.h"
#include "songs/SongRule.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const velnor::SongConversion conversion = velnor::ConvertSong({data, size});
    if (conversion.status == velnor::ConversionStatus::Converted &&
        velnor::CheckSongBytes(conversion.song) != velnor::SongVerdict::Accepted) {
        __builtin_trap();
    }
    velnor::CMidiReader reader;
    if (!reader.LoadFromMemory({data, size})) return 0;
    int header = reader.ParseHeader();
    bool ends = reader.ParseTracks();
    if (header == velnor::CMidiReader::kHeaderOk) {
        (void)velnor::JudgeParsedSong(reader, ends);
        size_t events = 0;
        for (int t = 0; t < reader.GetTrackCount(); ++t) {
            events = reader.GetEvents(t).size();
            // Decoding a track again must give what the first pass counted.
            if (events != reader.GetEventCount(t)) __builtin_trap();
        }
    }
    return 0;
}
