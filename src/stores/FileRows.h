#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace velnor {

/// Reads the song name of a file for the "Song Name" column. Returns a name
/// only when the file loads, its header parses to 0 and its tracks parse;
/// nullopt leaves the column blank. An empty function leaves every name blank.
using SongNameReader = std::function<std::optional<std::string>(const std::string& path)>;

/// What the core knows of one row of the repository list or the browser list.
/// The type name and the icon come from the window system.
struct FileRow {
    std::string name;          ///< the file name with its extension (column 0)
    std::string path;          ///< the full path the row was made from
    bool isFolder = false;     ///< a real directory (never a link to one)
    std::uintmax_t size = 0;   ///< bytes; 0 for folders
    std::string sizeText;      ///< "" for 0 bytes, else "1KB", "2KB", ...
    std::string modifiedText;  ///< "MM/DD/YYYY hh:mm" in local time, "" if unknown
    std::string songName;      ///< "" unless the song reads
    std::string typeName;      ///< left "" by the core; the window system fills it
};

/// "" for 0 bytes; "1KB" for 1 to 999 bytes; otherwise size / 1000 (fraction
/// dropped) followed by "KB".
std::string SizeText(std::uintmax_t size);

/// A last-write time as "%.2d/%.2d/%d %.2d:%.2d" (month, day, four-digit year,
/// hour 0-23, minute) in local time; "" when the time cannot be converted.
std::string ModifiedText(std::filesystem::file_time_type time);

/// Joins a folder and a bare name with one "/" (none added when the folder
/// already ends in a separator).
std::string JoinPath(const std::string& folder, const std::string& name);

/// True when `path` is a real directory: not a link to one, not missing.
bool IsRealFolder(const std::string& path);

/// True when `name` ends in ".mid" without regard to case.
bool HasSongExtension(const std::string& name);

/// The row for one file or folder, as the lists add it. No row when the entry
/// has vanished, is a dangling link, or is neither a regular file (links to
/// regular files included) nor a real directory: a pipe or a device named
/// x.mid must never be opened by the song reader. Folders get no size and no
/// song name.
std::optional<FileRow> MakeFileRow(const std::filesystem::directory_entry& entry,
                                   const SongNameReader& readSongName);
std::optional<FileRow> MakeFileRow(const std::string& path, const SongNameReader& readSongName);

/// The repository's songs: the files of `folder` whose names end in ".mid"
/// without regard to case, in the order the directory yields them (unsorted).
/// Folders, links to folders and non-regular files are never listed; a link to
/// a song file is listed (deleting its row removes the link only). A folder
/// that cannot be read gives no rows.
std::vector<FileRow> ListRepository(const std::string& folder, const SongNameReader& readSongName);

/// Whether the file browser leaves an entry out as hidden: its name starts
/// with ".", or on Windows it has the hidden attribute (AppData,
/// $Recycle.Bin and the like).
bool IsHiddenEntry(const std::filesystem::path& path);

/// The browser's rows for `folder`: its real sub-folders and the files whose
/// full path, upper-cased, ends in ".MID"; hidden entries (`IsHiddenEntry`)
/// are left out. Directory order; the caller sorts.
std::vector<FileRow> ListBrowserFolder(const std::string& folder,
                                       const SongNameReader& readSongName);

}  // namespace velnor
