#include "stores/FileRows.h"
#include "common/Utf8Path.h"

#include <chrono>
#include <cstdio>
#include <ctime>

#ifdef _WIN32
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#endif

namespace fs = std::filesystem;

namespace velnor {

namespace {

bool LocalTime(std::time_t t, std::tm& out) {
#ifdef _WIN32
    return localtime_s(&out, &t) == 0;
#else
    return localtime_r(&t, &out) != nullptr;
#endif
}

bool IsSeparator(char c) {
#ifdef _WIN32
    return c == '/' || c == '\\';
#else
    return c == '/';
#endif
}

// The reader of a damaged song must never take the list down with it: any
// exception it lets out only leaves the name blank.
std::string ReadSongName(const SongNameReader& readSongName, const std::string& path) {
    if (!readSongName) return {};
    try {
        std::optional<std::string> name = readSongName(path);
        return name ? *name : std::string();
    } catch (...) {
        return {};
    }
}

std::string EntryModifiedText(const fs::directory_entry& entry) {
    std::error_code ec;
    fs::file_time_type time = entry.last_write_time(ec);
    return ec ? std::string() : ModifiedText(time);
}

}  // namespace

std::string SizeText(std::uintmax_t size) {
    if (size == 0) return {};
    if (size < 1000) return "1KB";
    return std::to_string(size / 1000) + "KB";
}

std::string ModifiedText(fs::file_time_type time) {
    using namespace std::chrono;
    const auto sys = time_point_cast<system_clock::duration>(file_clock::to_sys(time));
    std::tm tm{};
    if (!LocalTime(system_clock::to_time_t(sys), tm)) return {};
    char text[64];
    std::snprintf(text, sizeof text, "%.2d/%.2d/%d %.2d:%.2d", tm.tm_mon + 1, tm.tm_mday,
                  tm.tm_year + 1900, tm.tm_hour, tm.tm_min);
    return text;
}

std::string JoinPath(const std::string& folder, const std::string& name) {
    if (folder.empty() || IsSeparator(folder.back())) return folder + name;
    return folder + "/" + name;
}

bool IsRealFolder(const std::string& path) {
    std::error_code ec;
    return fs::is_directory(fs::symlink_status(PathFromUtf8(path), ec));
}

bool HasSongExtension(const std::string& name) {
    static constexpr char kExtension[] = ".mid";
    constexpr std::size_t n = sizeof kExtension - 1;
    if (name.size() < n) return false;
    for (std::size_t i = 0; i < n; ++i) {
        char c = name[name.size() - n + i];
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c != kExtension[i]) return false;
    }
    return true;
}

std::optional<FileRow> MakeFileRow(const fs::directory_entry& entry,
                                   const SongNameReader& readSongName) {
    std::error_code ec;
    FileRow row;
    row.path = Utf8FromPath(entry.path());
    row.name = Utf8FromPath(entry.path().filename());
    // The entry's type is cached from the directory pass; only the size and
    // the time cost a look at the file itself.
    const bool link = entry.is_symlink(ec);
    if (!link && entry.is_directory(ec)) {
        row.isFolder = true;
        row.modifiedText = EntryModifiedText(entry);
        return row;
    }
    if (!entry.is_regular_file(ec)) return std::nullopt;
    row.size = entry.file_size(ec);
    if (ec) return std::nullopt;  // vanished since the directory was read
    row.sizeText = SizeText(row.size);
    row.modifiedText = EntryModifiedText(entry);
    row.songName = ReadSongName(readSongName, row.path);
    return row;
}

std::optional<FileRow> MakeFileRow(const std::string& path, const SongNameReader& readSongName) {
    fs::path p = PathFromUtf8(path);
    if (!p.has_filename() && p.has_parent_path() && p.parent_path() != p.root_path()) {
        p = p.parent_path();  // "folder/" names the folder itself
    }
    std::error_code ec;
    fs::directory_entry entry(p, ec);
    if (ec) return std::nullopt;
    return MakeFileRow(entry, readSongName);
}

std::vector<FileRow> ListRepository(const std::string& folder, const SongNameReader& readSongName) {
    std::vector<FileRow> rows;
    std::error_code ec;
    for (fs::directory_iterator it(PathFromUtf8(folder), ec), end; !ec && it != end;
         it.increment(ec)) {
        if (!HasSongExtension(Utf8FromPath(it->path().filename()))) continue;
        std::optional<FileRow> row = MakeFileRow(*it, readSongName);
        if (row && !row->isFolder) rows.push_back(std::move(*row));
    }
    return rows;
}

bool IsHiddenEntry(const fs::path& path) {
    const std::string name = Utf8FromPath(path.filename());
    if (name.empty() || name.front() == '.') return true;
#ifdef _WIN32
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_HIDDEN)) return true;
#endif
    return false;
}

std::vector<FileRow> ListBrowserFolder(const std::string& folder,
                                       const SongNameReader& readSongName) {
    std::vector<FileRow> rows;
    std::error_code ec;
    for (fs::directory_iterator it(PathFromUtf8(folder), ec), end; !ec && it != end;
         it.increment(ec)) {
        if (IsHiddenEntry(it->path())) continue;
        const std::string name = Utf8FromPath(it->path().filename());
        std::error_code typeError;
        const bool folderEntry = !it->is_symlink(typeError) && it->is_directory(typeError);
        if (!folderEntry && !HasSongExtension(name)) continue;
        std::optional<FileRow> row = MakeFileRow(*it, readSongName);
        if (row) rows.push_back(std::move(*row));
    }
    return rows;
}

}  // namespace velnor
