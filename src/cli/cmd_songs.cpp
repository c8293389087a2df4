// velnor-cli check and info: the song acceptance rule and a look inside a song.
#include <filesystem>
#include <ostream>

#include "Commands.h"
#include "Printable.h"
#include "common/Utf8Path.h"
#include "songs/SongRule.h"

namespace velnor::cli {

namespace {

/// The file's name as it may be printed.
std::string BareName(const std::string& path) {
    return Printable(Utf8FileName(path));
}

/// The file arguments: every word, and after `--` every argument. False, with
/// the complaint printed, when an option stands among them (these commands
/// take none).
bool FileArguments(const Args& args, Args& files, std::ostream& err) {
    bool optionsEnded = false;
    for (const std::string& a : args) {
        if (optionsEnded || !IsOption(a)) {
            files.push_back(a);
        } else if (a == "--") {
            optionsEnded = true;
        } else {
            err << "velnor-cli: unknown option " << Printable(a) << "\n";
            return false;
        }
    }
    return true;
}

int RunCheck(const Args& args, std::ostream& out, std::ostream& err) {
    Args files;
    if (!FileArguments(args, files, err) || files.empty()) {
        err << "usage: velnor-cli check FILE...\n";
        return kExitUsage;
    }
    bool allAccepted = true;
    for (const std::string& path : files) {
        const std::string name = BareName(path);
        const std::string message = SongRefusalMessage(path, name);
        if (message.empty()) {
            out << name << " OK\n";
        } else {
            out << message << "\n";
            allAccepted = false;
        }
    }
    return allAccepted ? 0 : 1;
}

void PrintTracks(const CMidiReader& reader, std::ostream& out) {
    bool allEnd = true;
    for (int t = 0; t < reader.GetTrackCount(); ++t) {
        const MidiEvent* last = reader.GetLastEvent(t);
        bool ends = last && last->IsEndOfTrack();
        if (last && !ends) allEnd = false;
        out << "track " << t << ":     " << reader.GetEventCount(t) << " events"
            << (last ? (ends ? ", ends with End of Track" : ", no End of Track at its end") : "")
            << "\n";
    }
    out << "end of track: " << (allEnd ? "every track ends with it" : "missing") << "\n";
}

int RunInfo(const Args& args, std::ostream& out, std::ostream& err) {
    Args files;
    if (!FileArguments(args, files, err) || files.size() != 1) {
        err << "usage: velnor-cli info FILE\n";
        return kExitUsage;
    }
    const std::string name = BareName(files[0]);
    CMidiReader reader;
    reader.m_strFileName = files[0];
    LoadResult loaded = reader.LoadFile();
    if (loaded != LoadResult::Loaded) {
        out << (loaded == LoadResult::CannotOpen ? name + ": cannot be opened"
                                                 : name + ": cannot be read")
            << "\n";
        return 1;
    }
    out << "file:         " << name << " (" << reader.GetFileSize() << " bytes)\n";
    int header = reader.ParseHeader();
    if (header != CMidiReader::kHeaderOk) {
        out << "layout:       not a valid Standard MIDI File (header result " << header << ")\n";
        return 1;
    }
    bool tracksEnd = reader.ParseTracks();
    out << "format:       " << int(reader.GetFormat()) << "\n"
        << "tracks:       " << reader.GetTrackCount() << "\n"
        << "division:     " << reader.GetDivision() << "\n"
        << "song name:    " << Printable(reader.GetSongName()) << "\n";
    PrintTracks(reader, out);
    SongVerdict verdict = JudgeParsedSong(reader, tracksEnd);
    out << "acceptance:   "
        << (verdict == SongVerdict::Accepted ? name + " OK" : SongVerdictMessage(verdict, name))
        << "\n";
    return 0;
}

}  // namespace

std::vector<Command> SongCommands() {
    return {
        {"check", "FILE...", "apply the repository's song rule to each file", RunCheck},
        {"info", "FILE", "format, tracks, division, song name and events of a song", RunInfo},
    };
}

}  // namespace velnor::cli
