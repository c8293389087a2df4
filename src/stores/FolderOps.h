#pragma once

#include <string>
#include <vector>

#include "common/Prompter.h"

namespace velnor {

/// How a delete of selected rows ended. The list reloads unless nothing was
/// selected (then nothing at all happened: no question, no reload).
enum class DeleteOutcome { NothingSelected, Declined, Deleted };

inline bool NeedsReload(DeleteOutcome outcome) {
    return outcome != DeleteOutcome::NothingSelected;
}

/// The repository list's Delete: with at least one name, asks "Delete files?"
/// (Yes/No) once; on Yes deletes folder/name for each name in order, as a file
/// only (a real directory of that name is left alone). Failures are silent.
DeleteOutcome DeleteRepositoryFiles(const std::string& folder,
                                    const std::vector<std::string>& names, Prompter& prompter);

/// The browser list's Delete: as above, but a name that is a real directory is
/// emptied depth first and removed (`RemoveFolderTree`); anything else,
/// a link to a folder included, is deleted as a file.
DeleteOutcome DeleteBrowserEntries(const std::string& folder, const std::vector<std::string>& names,
                                   Prompter& prompter);

/// Removes a real directory and everything in it, depth first, carrying on
/// past entries it cannot remove. A symbolic link inside is removed as a link;
/// its target is never touched, so the removal cannot leave the folder.
/// Returns true when the folder is gone.
bool RemoveFolderTree(const std::string& folder);

/// What a double-click on a browser row leads to.
enum class OpenAction {
    SelectFolder,  ///< select `path` in the folder tree (which reloads the list)
    OpenFile,      ///< hand `path` to the desktop's "open"
    Reload,        ///< the item was gone; the message has been shown, reload
};

struct OpenDecision {
    OpenAction action;
    std::string path;
};

/// Decides the double-click on a browser row named `name` in `folder`. A row
/// whose item no longer exists shows "Folder is not exist!" or "File is not
/// exist!" through `prompter` and asks for a reload.
OpenDecision DecideBrowserOpen(const std::string& folder, const std::string& name, bool isFolderRow,
                               Prompter& prompter);

/// How the end of an in-place rename ended.
struct RenameResult {
    enum class Status { Unchanged, Renamed, Failed } status;
    /// For Failed: "Cannot rename <old> to <new>: <reason>", for the window to
    /// show. Nothing was changed on disk.
    std::string message;
    /// Unchanged and Renamed reload the list; a failed rename keeps it as is.
    bool reload() const { return status != Status::Failed; }
};

/// Renames folder/oldName to folder/newName when the names differ. Refuses an
/// empty name, "." or "..", a name holding a separator, and an existing
/// target: an existing file is never overwritten. A change of letter case
/// only of the same item is allowed; entries are compared as they are, links
/// never followed. (The existence test and the rename are
/// two steps; the standard library offers no rename that refuses a target.)
RenameResult RenameBrowserEntry(const std::string& folder, const std::string& oldName,
                                const std::string& newName);

/// Copy Up's names: the selected row names (top row first) except those whose
/// path folder/name is a real directory. A name whose path does not exist is
/// kept (the copy passes over it silently).
std::vector<std::string> GetSelectedBrowserFiles(const std::string& folder,
                                                 const std::vector<std::string>& selectedNames);

/// Copy Up and Copy Down run only with at least one name and source and target
/// folders longer than one character; otherwise they do nothing, silently.
bool CopyArgumentsUsable(const std::vector<std::string>& names, const std::string& source,
                         const std::string& target);

}  // namespace velnor
