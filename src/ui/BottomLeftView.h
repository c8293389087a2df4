#pragma once

#include "ui/FillPane.h"

class QTreeWidget;
class CCJShellTree;

/// Bottom row, left column: the folder tree of the file browser.
class CBottomLeftView : public CFillPane {
    Q_OBJECT

  public:
    explicit CBottomLeftView(QWidget* parent = nullptr);

    /// The tree filling the pane (child id 102).
    QTreeWidget* FolderTree() const;
    CCJShellTree* GetTreeCtrl() const;
};
