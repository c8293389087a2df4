// velnor-cli check, info and convert: the song acceptance rule, a look inside a
// song, and the making of songs from other MIDI files.
#include <filesystem>
#include <ostream>

#include "Commands.h"
#include "Printable.h"
#include "common/TemporaryFile.h"
#include "common/Utf8Path.h"
#include "songs/SongConverter.h"
#include "songs/SongRule.h"
#include "stores/SongCopy.h"

namespace velnor::cli {

namespace {

/// The file's name as it may be printed.
std::string BareName(const std::string& path) {
    return Printable(Utf8FileName(path));
}

/// The file arguments: every word, and after `--` every argument. False, with
/// the complaint printed, when an option stands among them other than
/// --overwrite where `overwrite` takes it (the other commands take none).
bool FileArguments(const Args& args, Args& files, std::ostream& err, bool* overwrite = nullptr) {
    bool optionsEnded = false;
    for (const std::string& a : args) {
        if (optionsEnded || !IsOption(a)) {
            files.push_back(a);
        } else if (a == "--") {
            optionsEnded = true;
        } else if (overwrite && a == "--overwrite") {
            *overwrite = true;
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
            continue;
        }
        out << message << "\n";
        allAccepted = false;
        if (ConvertSongFile(path).status == ConversionStatus::Converted) {
            out << name << ": velnor-cli convert makes it a song\n";
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

/// Converts one file into `target`; prints what happened. False when the
/// file was refused or could not be written.
bool ConvertOne(const std::string& source, const std::string& target, bool overwrite,
                std::ostream& out) {
    const std::string name = BareName(source);
    const std::string shownTarget = Printable(target);
    std::error_code ec;
    if (std::filesystem::exists(std::filesystem::symlink_status(PathFromUtf8(target), ec)) &&
        !overwrite) {
        out << name << ": " << shownTarget << " exists (--overwrite replaces it)\n";
        return false;
    }
    const SongConversion conversion = ConvertSongFile(source);
    if (conversion.status == ConversionStatus::Refused) {
        out << ConversionRefusalMessage(conversion, name) << "\n";
        return false;
    }
    if (!WriteFileSafely(PathFromUtf8(target), conversion.song.data(), conversion.song.size())) {
        out << name << ": " << shownTarget << " cannot be written\n";
        return false;
    }
    out << name << " -> " << shownTarget << ": "
        << (conversion.status == ConversionStatus::AlreadySong
                ? std::string("already a song, copied as it is")
                : "converted, " + ConversionReportText(conversion.report))
        << "\n";
    return true;
}

int RunConvert(const Args& args, std::ostream& out, std::ostream& err) {
    const char* usage =
        "usage: velnor-cli convert SOURCE TARGET [--overwrite]\n"
        "       velnor-cli convert SOURCE... FOLDER [--overwrite]\n";
    Args files;
    bool overwrite = false;
    if (!FileArguments(args, files, err, &overwrite) || files.size() < 2) {
        err << usage;
        return kExitUsage;
    }
    const std::string target = files.back();
    files.pop_back();
    std::error_code ec;
    const bool intoFolder = std::filesystem::is_directory(PathFromUtf8(target), ec);
    if (!intoFolder && files.size() > 1) {
        err << "velnor-cli: " << Printable(target) << " is not a folder\n" << usage;
        return kExitUsage;
    }
    bool allConverted = true;
    for (const std::string& source : files) {
        const std::string into = intoFolder ? SongPath(target, Utf8FileName(source)) : target;
        allConverted = ConvertOne(source, into, overwrite, out) && allConverted;
    }
    return allConverted ? 0 : 1;
}

}  // namespace

std::vector<Command> SongCommands() {
    return {
        {"check", "FILE...", "apply the repository's song rule to each file", RunCheck},
        {"info", "FILE", "format, tracks, division, song name and events of a song", RunInfo},
        {"convert", "SOURCE... TARGET", "make files of format 0 or 1 into songs (--overwrite)",
         RunConvert},
    };
}

}  // namespace velnor::cli
