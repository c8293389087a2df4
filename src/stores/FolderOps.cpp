#include "stores/FolderOps.h"

#include <filesystem>
#include <system_error>

#include "common/Utf8Path.h"
#include "stores/BrowserRules.h"
#include "stores/FileRows.h"

namespace fs = std::filesystem;

namespace velnor {

namespace {

// Deletes one path as a file: never a real directory (fs::remove would take
// an empty one), but a link of any kind as the link itself.
void DeleteAsFile(const std::string& path) {
    std::error_code ec;
    const fs::path entry = PathFromUtf8(path);
    if (fs::is_directory(fs::symlink_status(entry, ec))) return;
    fs::remove(entry, ec);
}

bool AskDelete(Prompter& prompter) {
    return prompter.Ask("Delete files?", PromptButtons::YesNo) == PromptAnswer::Yes;
}

// Characters a file name cannot hold on this platform; "" when it is fine.
std::string NameProblem(const std::string& name) {
    if (name.empty()) return "the name is empty";
    if (name == "." || name == "..") return "\"" + name + "\" is not a valid name";
#ifdef _WIN32
    static constexpr char kForbidden[] = "/\\:*?\"<>|";
#else
    static constexpr char kForbidden[] = "/";
#endif
    for (char c : name) {
        if (c == '\0') return "the name holds a NUL character";
        for (const char* f = kForbidden; *f; ++f) {
            if (c == *f) return std::string("a name cannot contain \"") + c + "\"";
        }
    }
    return {};
}

/// True when `folder` holds an entry whose name is exactly `name`, byte for byte.
bool HasEntryNamed(const std::string& folder, const std::string& name) {
    std::error_code ec;
    for (fs::directory_iterator it(PathFromUtf8(folder), ec), end; !ec && it != end;
         it.increment(ec)) {
        if (Utf8FromPath(it->path().filename()) == name) return true;
    }
    return false;
}

}  // namespace

DeleteOutcome DeleteRepositoryFiles(const std::string& folder,
                                    const std::vector<std::string>& names, Prompter& prompter) {
    if (names.empty()) return DeleteOutcome::NothingSelected;
    if (!AskDelete(prompter)) return DeleteOutcome::Declined;
    for (const std::string& name : names) DeleteAsFile(JoinPath(folder, name));
    return DeleteOutcome::Deleted;
}

DeleteOutcome DeleteBrowserEntries(const std::string& folder, const std::vector<std::string>& names,
                                   Prompter& prompter) {
    if (names.empty()) return DeleteOutcome::NothingSelected;
    if (!AskDelete(prompter)) return DeleteOutcome::Declined;
    for (const std::string& name : names) {
        const std::string path = JoinPath(folder, name);
        if (IsRealFolder(path)) {
            RemoveFolderTree(path);
        } else {
            DeleteAsFile(path);
        }
    }
    return DeleteOutcome::Deleted;
}

bool RemoveFolderTree(const std::string& folder) {
    std::error_code ec;
    if (!IsRealFolder(folder)) return false;
    // Gather first: removing entries while the directory is read may skip some.
    std::vector<fs::path> entries;
    for (fs::directory_iterator it(PathFromUtf8(folder), ec), end; !ec && it != end;
         it.increment(ec)) {
        entries.push_back(it->path());
    }
    for (const fs::path& entry : entries) {
        // symlink_status, not status: a link to a folder is a link, removed
        // as such, and its target stays where it is.
        std::error_code typeError;
        if (fs::is_directory(fs::symlink_status(entry, typeError))) {
            RemoveFolderTree(Utf8FromPath(entry));
        } else {
            fs::remove(entry, typeError);
        }
    }
    return fs::remove(PathFromUtf8(folder), ec) && !ec;
}

OpenDecision DecideBrowserOpen(const std::string& folder, const std::string& name, bool isFolderRow,
                               Prompter& prompter) {
    const std::string path = JoinPath(folder, name);
    std::error_code ec;
    const bool exists = fs::exists(PathFromUtf8(path), ec);  // a dangling link has nothing to open
    if (isFolderRow) {
        if (exists) return {OpenAction::SelectFolder, path};
        prompter.Show("Folder is not exist!");
        return {OpenAction::Reload, path};
    }
    if (!exists) {
        prompter.Show("File is not exist!");
        return {OpenAction::Reload, path};
    }
    return {OpenAction::OpenFile, path};
}

RenameResult RenameBrowserEntry(const std::string& folder, const std::string& oldName,
                                const std::string& newName) {
    using Status = RenameResult::Status;
    if (newName == oldName) return {Status::Unchanged, {}};
    auto failed = [&](const std::string& reason) {
        return RenameResult{Status::Failed,
                            "Cannot rename " + oldName + " to " + newName + ": " + reason};
    };
    if (std::string problem = NameProblem(newName); !problem.empty()) return failed(problem);

    const fs::path from = PathFromUtf8(JoinPath(folder, oldName));
    const fs::path to = PathFromUtf8(JoinPath(folder, newName));
    std::error_code ec;
    if (!fs::exists(fs::symlink_status(from, ec))) return failed("it no longer exists");
    if (fs::exists(fs::symlink_status(to, ec))) {
        // On a file system that ignores case, "song.mid" -> "Song.mid" finds
        // the item itself, and the folder holds no entry of exactly the new
        // name. Anything else is another item, never overwritten: a link and
        // the file it leads to are two items (following the link would take
        // song.mid -> SONG.MID for one, and replace the song by the link).
        if (CompareNoCase(oldName, newName) != 0 || HasEntryNamed(folder, newName)) {
            return failed("\"" + newName + "\" already exists");
        }
    }
    fs::rename(from, to, ec);
    if (ec) return failed(ec.message());
    return {Status::Renamed, {}};
}

std::vector<std::string> GetSelectedBrowserFiles(const std::string& folder,
                                                 const std::vector<std::string>& selectedNames) {
    std::vector<std::string> names;
    for (const std::string& name : selectedNames) {
        if (!IsRealFolder(JoinPath(folder, name))) names.push_back(name);
    }
    return names;
}

bool CopyArgumentsUsable(const std::vector<std::string>& names, const std::string& source,
                         const std::string& target) {
    return !names.empty() && source.size() > 1 && target.size() > 1;
}

}  // namespace velnor
