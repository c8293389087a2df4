#include "stores/SongCopy.h"
#include "common/Utf8Path.h"

#include <cstdio>
#include <filesystem>
#include <random>

namespace velnor {

namespace fs = std::filesystem;

namespace {

/// A source the copy takes: it exists and, links followed, is a regular file.
/// A real folder is passed over as the design says; a link to a folder, a
/// pipe or a device is passed over too, since none of them holds a song and
/// reading a pipe would hang the program.
bool IsSongSource(const std::string& path) {
    std::error_code ec;
    const fs::path source = PathFromUtf8(path);
    fs::file_status own = fs::symlink_status(source, ec);
    if (ec || !fs::exists(own) || fs::is_directory(own)) return false;
    return fs::is_regular_file(fs::status(source, ec)) && !ec;
}

/// The target exists when it has an entry of any kind (a folder of the
/// song's name, or a link, brings the question too).
bool TargetExists(const std::string& path) {
    std::error_code ec;
    return fs::exists(fs::symlink_status(PathFromUtf8(path), ec)) && !ec;
}

bool SameFile(const std::string& a, const std::string& b) {
    std::error_code ec;
    return fs::equivalent(PathFromUtf8(a), PathFromUtf8(b), ec) && !ec;
}

/// Creates a new, exclusive temporary file in `folder`; null when none can be made.
std::FILE* CreateTemporary(const fs::path& folder, fs::path& made) {
    static std::random_device seed;
    std::mt19937 random(seed());
    for (int attempt = 0; attempt < 16; ++attempt) {
        char name[40];
        std::snprintf(name, sizeof name, ".velnor-copy-%08x.tmp", unsigned(random()));
        made = folder / name;
        if (std::FILE* file = OpenFile(made, "wbx")) return file;
    }
    return nullptr;
}

bool CopyBytes(std::FILE* in, std::FILE* out) {
    static constexpr size_t kBlock = 64 * 1024;
    std::vector<char> buffer(kBlock);
    for (;;) {
        size_t got = std::fread(buffer.data(), 1, kBlock, in);
        if (got && std::fwrite(buffer.data(), 1, got, out) != got) return false;
        if (got < kBlock) return !std::ferror(in);
    }
}

}  // namespace

std::string SongPath(const std::string& folder, const std::string& name) {
    return folder + "/" + name;
}

bool CopyFileSafely(const std::string& sourceName, const std::string& targetName) {
    const fs::path source = PathFromUtf8(sourceName);
    const fs::path target = PathFromUtf8(targetName);
    std::FILE* in = OpenFile(source, "rb");
    if (!in) return false;
    fs::path parent = target.parent_path();
    if (parent.empty()) parent = ".";
    fs::path temporary;
    std::FILE* out = CreateTemporary(parent, temporary);
    if (!out) {
        std::fclose(in);
        return false;
    }
    bool copied = CopyBytes(in, out);
    std::fclose(in);
    copied = (std::fclose(out) == 0) && copied;
    std::error_code ec;
    if (copied) {
        // Like the platform's own file copy, the copy keeps the source's
        // modification time and permissions; neither matters enough to fail for.
        std::error_code ignored;
        fs::last_write_time(temporary, fs::last_write_time(source, ignored), ignored);
        fs::permissions(temporary, fs::status(source, ignored).permissions(), ignored);
        fs::rename(temporary, target, ec);
    }
    if (!copied || ec) {
        fs::remove(temporary, ec);
        return false;
    }
    return true;
}

void CopySongFiles(const std::vector<std::string>& names, const std::string& sourceFolder,
                   const std::string& targetFolder, bool checkSongs, Prompter& prompter) {
    CopySongFiles(names, sourceFolder, targetFolder, checkSongs, prompter, CheckSongFile);
}

void CopySongFiles(const std::vector<std::string>& names, const std::string& sourceFolder,
                   const std::string& targetFolder, bool checkSongs, Prompter& prompter,
                   const SongChecker& checker) {
    const size_t count = names.size();
    for (size_t i = 0; i < count; ++i) {
        if (!CopySongFile(sourceFolder, names[i], targetFolder, names[i], checkSongs, prompter,
                          checker)) {
            return;
        }
    }
}

bool CopySongFile(const std::string& sourceFolder, const std::string& sourceName,
                  const std::string& targetFolder, const std::string& targetName, bool checkSongs,
                  Prompter& prompter, const SongChecker& checker) {
    const std::string source = SongPath(sourceFolder, sourceName);
    const std::string target = SongPath(targetFolder, targetName);
    if (!IsSongSource(source)) return true;
    if (checkSongs) {
        SongVerdict verdict = checker(source);
        if (verdict != SongVerdict::Accepted) {
            prompter.Show(SongVerdictMessage(verdict, targetName));
            return verdict != SongVerdict::CannotOpen;
        }
    }
    // Copying a song onto itself would only put the same song in its own
    // place, and a failing copy could lose it: it stays as it is.
    if (SameFile(source, target)) return true;
    if (TargetExists(target)) {
        PromptAnswer answer = prompter.Ask("Overwrite?  " + targetName, PromptButtons::YesNoCancel);
        if (answer == PromptAnswer::Cancel) return false;
        if (answer != PromptAnswer::Yes) return true;
    }
    CopyFileSafely(source, target);  // a failed copy shows nothing
    return true;
}

}  // namespace velnor
