#pragma once
// Builds Standard MIDI Files byte by byte for the tests, and temporary folders
// to put them in.

#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace velnor::test {

using Bytes = std::vector<uint8_t>;

inline Bytes operator+(Bytes a, const Bytes& b) {
    a.reserve(a.size() + b.size());
    for (uint8_t byte : b) a.push_back(byte);  // (insert trips a false GCC 12 bounds warning)
    return a;
}

inline Bytes Big32(uint32_t v) {
    return {uint8_t(v >> 24), uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v)};
}

/// MThd with the given fields; `length` is the header length field.
inline Bytes Header(int format, int tracks, int division, uint32_t length = 6) {
    return Bytes{'M', 'T', 'h', 'd'} + Big32(length) +
           Bytes{uint8_t(format >> 8), uint8_t(format),        uint8_t(tracks >> 8),
                 uint8_t(tracks),      uint8_t(division >> 8), uint8_t(division)};
}

/// A chunk with any tag around `data`.
inline Bytes Chunk(const char* tag, const Bytes& data) {
    return Bytes{uint8_t(tag[0]), uint8_t(tag[1]), uint8_t(tag[2]), uint8_t(tag[3])} +
           Big32(uint32_t(data.size())) + data;
}

inline Bytes Track(const Bytes& events) {
    return Chunk("MTrk", events);
}

inline const Bytes kEndOfTrack = {0x00, 0xFF, 0x2F, 0x00};

/// A meta event at delta 0 with a short text.
inline Bytes Meta(uint8_t type, const std::string& text) {
    Bytes b{0x00, 0xFF, type, uint8_t(text.size())};
    for (char c : text) b.push_back(uint8_t(c));
    return b;
}

/// A file of the given format and division holding `tracks` (event bytes each).
inline Bytes Smf(int format, int division, const std::vector<Bytes>& tracks) {
    Bytes file = Header(format, int(tracks.size()), division);
    for (const Bytes& t : tracks) file = file + Track(t);
    return file;
}

/// The events of a short tune named `name`: a name, a tempo, notes with
/// running status, a program change, a SysEx, End of Track.
inline Bytes TuneEvents(const std::string& name) {
    return Meta(0x03, name) +
           Bytes{0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20,                                // tempo
                 0x00, 0xC0, 0x05,                                                        // program
                 0x00, 0xF0, 0x05, 0x7E, 0x7F, 0x09, 0x01, 0xF7, 0x00, 0x90, 0x3C, 0x40,  // note on
                 0x83, 0x60, 0x3C, 0x00,  // running status, delta 480
                 0x00, 0x40, 0x40} +
           kEndOfTrack;
}

/// A format-0 song that the repository accepts.
inline Bytes GoodSong(const std::string& name = "Tune", int division = 120) {
    return Smf(0, division, {TuneEvents(name)});
}

/// A format-1 song of two tracks.
inline Bytes TwoTrackSong(int division = 120) {
    return Smf(1, division, {Meta(0x03, "Conductor") + kEndOfTrack, TuneEvents("Melody")});
}

inline void WriteFile(const std::filesystem::path& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

inline Bytes ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

/// A fresh folder under the system's temporary folder, removed with its
/// contents when the object goes.
class TempFolder {
  public:
    TempFolder() {
        std::random_device seed;
        path_ = std::filesystem::temp_directory_path() /
                ("velnor-test-" + std::to_string(getpid()) + "-" + std::to_string(seed()));
        std::filesystem::create_directories(path_);
    }
    ~TempFolder() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::string str() const { return path_.string(); }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

  private:
    std::filesystem::path path_;
};

}  // namespace velnor::test
