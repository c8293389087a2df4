#pragma once

#include <optional>
#include <string>
#include <vector>

#include "common/Prompter.h"

namespace velnor {

/// The user's home folder ($HOME; %USERPROFILE% on Windows), "" when unset.
std::string HomeFolder();

/// The top level of the browser's folder tree: the home folder first (when it
/// is set, is a folder and is not a root itself), then the file system's
/// roots: "/", or on Windows every drive ("C:\\", "D:\\" ...).
std::vector<std::string> FolderTreeRoots();

/// The roots of the drives in a drive mask as Windows gives it (bit 0 for A:,
/// bit 2 for C:): "A:\\", "C:\\" ... in letter order.
std::vector<std::string> DriveRoots(unsigned long mask);

/// A sub-folder as the tree shows it.
struct SubFolder {
    std::string name;  ///< the folder's own name: the item's text
    std::string path;  ///< its full path
};

/// The sub-directories of `folder` and the links in it to directories
/// (hidden ones left out, as `IsHiddenEntry` sees them, and so are links that lead back
/// to `folder` or a folder above it), sorted by name ignoring the case of
/// ASCII letters, names equal but for case in byte order. One directory pass;
/// a folder that cannot be read has none.
std::vector<SubFolder> ListSubFolders(const std::string& folder);

/// Whether `folder` has at least one sub-folder that `ListSubFolders` would
/// list; stops at the first, so the tree can show an expand button cheaply.
bool HasSubFolders(const std::string& folder);

/// A folder path split for selecting it in the tree step by step: select the
/// root item, then under it each component in turn (matched exactly where
/// the file system is case-sensitive, ignoring case on Windows), stopping at
/// the first one not found.
struct FolderSelection {
    std::string root;                     ///< the home folder, "/" or a drive ("C:\\")
    std::vector<std::string> components;  ///< names below the root, outermost first
};

/// Splits `path` for selection: a path inside `home` (or `home` itself) is
/// selected under the home root, any other under its file system root ("/",
/// or its drive with the letter in capitals). A path that does not exist
/// shows a message box with the path as its text, the caption
/// "Folder not found" and the stop icon, and gives nullopt. A relative path
/// is taken from the current directory.
std::optional<FolderSelection> SplitFolderPath(const std::string& path, const std::string& home,
                                               Prompter& prompter);

}  // namespace velnor
