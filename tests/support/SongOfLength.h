#pragma once
// A song the repository accepts, of exactly the length a test needs.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace velnor::testing {

/// A format-0 song at 120 ticks per quarter note of `nBytes` bytes: one track
/// holding the track name (when one is given), a text event that fills the
/// length, and End of Track. Without a name, 22 bytes give a song with an
/// empty track. Lengths below the shortest filled song (31 bytes plus the
/// name event) give that shortest song.
inline std::vector<std::uint8_t> SongOfLength(std::size_t nBytes, const std::string& name = "") {
    constexpr std::size_t kHeaders = 22;  // the MThd chunk and the MTrk chunk's header
    std::vector<std::uint8_t> events;
    // push_back throughout: insert trips a false GCC 12 bounds warning.
    auto put = [&events](std::initializer_list<unsigned> bytes) {
        for (unsigned b : bytes) events.push_back(static_cast<std::uint8_t>(b));
    };
    if (!name.empty()) {
        put({0x00, 0xFF, 0x03, static_cast<unsigned>(name.size() & 0x7F)});
        for (char c : name) events.push_back(static_cast<std::uint8_t>(c));
    }
    if (!(name.empty() && nBytes == kHeaders)) {
        // A text event with a two-byte length, then End of Track: 9 bytes and the text.
        const std::size_t nUsed = kHeaders + events.size() + 9;
        const std::size_t nText = nBytes > nUsed ? nBytes - nUsed : 0;
        put({0x00, 0xFF, 0x01, static_cast<unsigned>(0x80 | ((nText >> 7) & 0x7F)),
             static_cast<unsigned>(nText & 0x7F)});
        for (std::size_t i = 0; i < nText; ++i) events.push_back('x');
        put({0x00, 0xFF, 0x2F, 0x00});
    }
    const std::size_t n = events.size();
    std::vector<std::uint8_t> song;
    song.reserve(kHeaders + n);
    for (char c : std::string("MThd\0\0\0\6\0\0\0\1\0\170MTrk", 18))
        song.push_back(static_cast<std::uint8_t>(c));
    for (int shift = 24; shift >= 0; shift -= 8)
        song.push_back(static_cast<std::uint8_t>(n >> shift));
    for (std::uint8_t b : events) song.push_back(b);
    return song;
}

}  // namespace velnor::testing
