#pragma once

#include <string>
#include <vector>

class QWidget;

// What the device commands need of the repository pane (CTopRightView): the
// selected files, the folder, and a reload after an upload. Each call looks
// the pane up from `from`, a widget of the main window. Paths and names are
// the file system's bytes.

/// The column-0 texts of the selected repository rows, top row first.
std::vector<std::string> SelectedRepositoryFiles(const QWidget* from);

/// The repository folder, ending in a separator.
std::string RepositoryFolder(const QWidget* from);

/// Reloads the repository list from the folder.
void RefreshRepositoryList(const QWidget* from);
