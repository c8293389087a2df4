#include "stores/SongCopy.h"
#include "common/TemporaryFile.h"
#include "common/Utf8Path.h"
#include "common/Utf8Text.h"

#include <cstdio>
#include <cwchar>
#include <filesystem>
#include <locale>
#include <stdexcept>

namespace velnor {

namespace fs = std::filesystem;

// A real folder is passed over as the design says; a link to a folder, a
// pipe or a device is passed over too, since none of them holds a song and
// reading a pipe would hang the program.
bool IsSongSource(const std::string& path) {
    std::error_code ec;
    const fs::path source = PathFromUtf8(path);
    fs::file_status own = fs::symlink_status(source, ec);
    if (ec || !fs::exists(own) || fs::is_directory(own)) return false;
    return fs::is_regular_file(fs::status(source, ec)) && !ec;
}

namespace {

/// The target exists when it has an entry of any kind (a folder of the
/// song's name, or a link, brings the question too).
bool TargetExists(const std::string& path) {
    std::error_code ec;
    return fs::exists(fs::symlink_status(PathFromUtf8(path), ec)) && !ec;
}

/// The next character of the UTF-8 `text` at `i`. A byte that starts no
/// valid character stands for itself, above the Unicode range, so it only
/// ever equals the same byte.
char32_t NextCharacter(const std::string& text, size_t& i) {
    const std::string_view rest = std::string_view(text).substr(i);
    const size_t length = Utf8SequenceLength(rest);
    if (length == 0) return 0x110000 + static_cast<unsigned char>(text[i++]);
    i += length;
    return Utf8Character(rest, length);
}

}  // namespace

std::u32string FoldedName(const std::string& name) {
    static const std::locale unicode = [] {
        try {
            return std::locale("C.UTF-8");
        } catch (const std::runtime_error&) {
            return std::locale::classic();  // ASCII letters only
        }
    }();
    const auto& ctype = std::use_facet<std::ctype<wchar_t>>(unicode);
    std::u32string folded;
    for (size_t i = 0; i < name.size();) {
        char32_t c = NextCharacter(name, i);
        if (c < 0x80) {
            if (c >= 'A' && c <= 'Z') c += 'a' - 'A';
        } else if (c <= 0x10FFFF && c <= char32_t(WCHAR_MAX)) {
            c = char32_t(ctype.tolower(wchar_t(c)));
        }
        folded.push_back(c);
    }
    return folded;
}

std::string ExistingNameIgnoringCase(const std::string& folder, const std::string& name) {
    // The folder is read even where the file system itself ignores case: only
    // its listing tells the name an existing file goes by.
    const std::u32string wanted = FoldedName(name);
    std::string found;
    std::error_code ec;
    for (fs::directory_iterator it(PathFromUtf8(folder), ec), end; !ec && it != end;
         it.increment(ec)) {
        std::string entry = Utf8FromPath(it->path().filename());
        if (entry == name) return name;
        if ((found.empty() || entry < found) && FoldedName(entry) == wanted) {
            found = std::move(entry);
        }
    }
    return found.empty() ? name : found;
}

namespace {

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
    CTemporaryFile temporary(target.parent_path());
    const bool copied = temporary.IsOpen() && CopyBytes(in, temporary.File());
    std::fclose(in);
    if (!copied || !temporary.Close()) return false;
    // Like the platform's own file copy, the copy keeps the source's
    // modification time and permissions; neither matters enough to fail for.
    std::error_code ignored;
    fs::last_write_time(temporary.Path(), fs::last_write_time(source, ignored), ignored);
    fs::permissions(temporary.Path(), fs::status(source, ignored).permissions(), ignored);
    return temporary.RenameTo(target);
}

void CopySongFiles(const std::vector<std::string>& names, const std::string& sourceFolder,
                   const std::string& targetFolder, bool checkSongs, Prompter& prompter,
                   TargetNames targetNames) {
    CopySongFiles(names, sourceFolder, targetFolder, checkSongs, prompter, CheckSongFile,
                  targetNames);
}

void CopySongFiles(const std::vector<std::string>& names, const std::string& sourceFolder,
                   const std::string& targetFolder, bool checkSongs, Prompter& prompter,
                   const SongChecker& checker, TargetNames targetNames) {
    const size_t count = names.size();
    for (size_t i = 0; i < count; ++i) {
        // A file name Velnor writes is always UTF-8: a name from elsewhere
        // that is not gets the characters it reads as.
        if (!CopySongFile(sourceFolder, names[i], targetFolder, NameAsUtf8(names[i]), checkSongs,
                          prompter, checker, targetNames)) {
            return;
        }
    }
}

bool CopySongFile(const std::string& sourceFolder, const std::string& sourceName,
                  const std::string& targetFolder, const std::string& targetName, bool checkSongs,
                  Prompter& prompter, const SongChecker& checker, TargetNames targetNames) {
    const std::string source = SongPath(sourceFolder, sourceName);
    if (!IsSongSource(source)) return true;
    if (checkSongs) {
        SongVerdict verdict = checker(source);
        if (verdict != SongVerdict::Accepted) {
            prompter.Show(SongVerdictMessage(verdict, targetName));
            return verdict != SongVerdict::CannotOpen;
        }
    }
    // A song copied onto itself (the same folder, or a link to it) is asked
    // about like any other: the copy goes through a temporary file and a
    // rename, so Yes leaves the same bytes in place.
    return PutSong(targetFolder, targetName, prompter, targetNames,
                   [&source](const std::string& target) {
                       return CopyFileSafely(source, target);  // a failed copy shows nothing
                   });
}

bool PutSong(const std::string& targetFolder, const std::string& targetName, Prompter& prompter,
             TargetNames targetNames, const std::function<bool(const std::string&)>& write) {
    const std::string target =
        SongPath(targetFolder, targetNames == TargetNames::IgnoreCase
                                   ? ExistingNameIgnoringCase(targetFolder, targetName)
                                   : targetName);
    if (TargetExists(target)) {
        PromptAnswer answer = prompter.Ask("Overwrite?  " + targetName, PromptButtons::YesNoCancel);
        if (answer == PromptAnswer::Cancel) return false;
        if (answer != PromptAnswer::Yes) return true;
    }
    write(target);
    return true;
}

}  // namespace velnor
