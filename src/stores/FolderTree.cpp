#include "stores/FolderTree.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>

#ifdef _WIN32
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#endif

#include "common/Utf8Path.h"
#include "stores/BrowserRules.h"

namespace fs = std::filesystem;

namespace velnor {

namespace {

// Whether `target` is `folder` itself or a folder above it (both as the file
// system resolves them).
bool IsSelfOrAbove(const fs::path& target, const fs::path& folder) {
    return std::mismatch(target.begin(), target.end(), folder.begin(), folder.end()).first ==
           target.end();
}

// A visible sub-directory, or a link to a directory that does not lead back
// to `folder` or above it (opening that would show the same folder again, one
// level deeper each time). The type of a real directory comes from the
// directory pass, so no extra look at the entry is needed on most file
// systems; only links are resolved.
bool IsTreeFolder(const fs::directory_entry& entry, const fs::path& folder) {
    if (IsHiddenEntry(entry.path())) return false;
    std::error_code ec;
    if (!entry.is_symlink(ec)) return entry.is_directory(ec);
    if (!fs::is_directory(entry.path(), ec)) return false;  // a file, or nowhere
    const fs::path target = fs::canonical(entry.path(), ec);
    if (ec) return false;
    return !IsSelfOrAbove(target, fs::canonical(folder, ec));
}

fs::path Normal(const std::string& path) {
    std::error_code ec;
    fs::path p = fs::absolute(PathFromUtf8(path), ec).lexically_normal();
    if (p.has_relative_path() && !p.has_filename()) p = p.parent_path();  // drop a final "/"
    return p;
}

// Whether two components of a path name the same entry: Windows' file
// systems ignore case ("c:" and "C:", "Users" and "users").
bool SameComponent(const fs::path& a, const fs::path& b) {
#ifdef _WIN32
    return CompareNoCase(Utf8FromPath(a), Utf8FromPath(b)) == 0;
#else
    return a == b;
#endif
}

// The components of `target` below `base`, when `target` is `base` or lies
// inside it (both normal and absolute); nullopt when it lies elsewhere.
std::optional<std::vector<fs::path>> Below(const fs::path& target, const fs::path& base) {
    auto t = target.begin();
    for (const fs::path& part : base) {
        if (t == target.end() || !SameComponent(*t, part)) return std::nullopt;
        ++t;
    }
    return std::vector<fs::path>(t, target.end());
}

// A path's root as the tree lists it: its drive as "C:\\" (however the path
// spells it: "c:/"), or "/".
std::string RootText(const fs::path& path) {
    std::string root = Utf8FromPath(path.root_path());
    if (root.size() == 3 && root[1] == ':') {
        root[0] = char(std::toupper(static_cast<unsigned char>(root[0])));
        root[2] = '\\';
    }
    return root;
}

}  // namespace

std::string HomeFolder() {
#ifdef _WIN32
    return Utf8Environment("USERPROFILE");
#else
    return Utf8Environment("HOME");
#endif
}

std::vector<std::string> DriveRoots(unsigned long mask) {
    std::vector<std::string> roots;
    for (int letter = 0; letter < 26; ++letter) {
        if (mask & (1ul << letter)) roots.push_back(std::string(1, char('A' + letter)) + ":\\");
    }
    return roots;
}

std::vector<std::string> FolderTreeRoots() {
    std::vector<std::string> roots;
    const std::string home = HomeFolder();
    std::error_code ec;
    if (!home.empty() && fs::is_directory(PathFromUtf8(home), ec) &&
        Normal(home).has_relative_path()) {
        roots.push_back(home);
    }
#ifdef _WIN32
    const std::vector<std::string> drives = DriveRoots(::GetLogicalDrives());
    roots.insert(roots.end(), drives.begin(), drives.end());
#else
    roots.push_back("/");
#endif
    return roots;
}

std::vector<SubFolder> ListSubFolders(const std::string& folder) {
    std::vector<SubFolder> folders;
    std::error_code ec;
    const fs::path where = PathFromUtf8(folder);
    for (fs::directory_iterator it(where, ec), end; !ec && it != end; it.increment(ec)) {
        if (IsTreeFolder(*it, where)) {
            folders.push_back({Utf8FromPath(it->path().filename()), Utf8FromPath(it->path())});
        }
    }
    std::sort(folders.begin(), folders.end(), [](const SubFolder& a, const SubFolder& b) {
        const int order = CompareNoCase(a.name, b.name);
        return order != 0 ? order < 0 : a.name < b.name;
    });
    return folders;
}

bool HasSubFolders(const std::string& folder) {
    std::error_code ec;
    const fs::path where = PathFromUtf8(folder);
    for (fs::directory_iterator it(where, ec), end; !ec && it != end; it.increment(ec)) {
        if (IsTreeFolder(*it, where)) return true;
    }
    return false;
}

std::optional<FolderSelection> SplitFolderPath(const std::string& path, const std::string& home,
                                               Prompter& prompter) {
    std::error_code ec;
    if (path.empty() || !fs::exists(PathFromUtf8(path), ec)) {
        prompter.Ask(path, PromptButtons::Ok, "Folder not found", PromptIcon::Stop);
        return std::nullopt;
    }
    const fs::path target = Normal(path);
    FolderSelection selection;
    std::optional<std::vector<fs::path>> below;
    if (!home.empty() && (below = Below(target, Normal(home)))) {
        selection.root = home;
    } else {
        selection.root = RootText(target);
        below = Below(target, target.root_path());
    }
    for (const fs::path& part : below.value_or(std::vector<fs::path>{})) {
        if (!part.empty() && part != ".") selection.components.push_back(Utf8FromPath(part));
    }
    return selection;
}

}  // namespace velnor
