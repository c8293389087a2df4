#include "songs/SongRule.h"

namespace velnor {

SongVerdict JudgeSong(CMidiReader& reader, LoadResult loaded) {
    if (loaded == LoadResult::CannotOpen) return SongVerdict::CannotOpen;
    if (loaded != LoadResult::Loaded) return SongVerdict::FormatError;
    if (reader.ParseHeader() != CMidiReader::kHeaderOk) return SongVerdict::FormatError;
    return JudgeParsedSong(reader, reader.ParseTracks());
}

SongVerdict JudgeParsedSong(const CMidiReader& reader, bool tracksEnd) {
    if (!tracksEnd) return SongVerdict::FormatError;
    // Exact: a time-code division (top bit set) never passes.
    if (reader.GetFormat() != 0) return SongVerdict::Format0Required;
    if (reader.GetDivision() != 120) return SongVerdict::Ppqn120Required;
    return SongVerdict::Accepted;
}

SongVerdict CheckSongFile(const std::string& path) {
    CMidiReader reader;
    reader.m_strFileName = path;
    LoadResult loaded = reader.LoadFile();
    return JudgeSong(reader, loaded);
}

SongVerdict CheckSongBytes(std::span<const uint8_t> bytes) {
    CMidiReader reader;
    if (!reader.LoadFromMemory(bytes)) return SongVerdict::FormatError;
    return JudgeSong(reader, LoadResult::Loaded);
}

std::string SongVerdictMessage(SongVerdict verdict, const std::string& name) {
    switch (verdict) {
        case SongVerdict::Accepted:
            return {};
        case SongVerdict::FormatError:
            return name + " Midi Format Error!";
        case SongVerdict::Format0Required:
            return name + " Midi Format Error!(Format 0 required)";
        case SongVerdict::Ppqn120Required:
            return name + " Midi Format Error!(PPQN=120 required)";
        case SongVerdict::CannotOpen:
            return name + ": cannot be opened";
    }
    return name + " Midi Format Error!";
}

std::string SongRefusalMessage(const std::string& path, const std::string& name) {
    return SongVerdictMessage(CheckSongFile(path), name);
}

std::string ReadListSongName(const std::string& path) {
    CMidiReader reader;
    reader.m_strFileName = path;
    if (reader.LoadFile() != LoadResult::Loaded) return {};
    if (reader.ParseHeader() != CMidiReader::kHeaderOk || !reader.ParseTracks()) return {};
    return reader.GetSongName();
}

}  // namespace velnor
