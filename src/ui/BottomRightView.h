#pragma once

#include "ui/FillPane.h"

class CCJListCtrl;
class CCJShellList;

/// Bottom row, right column: the file list of the browser.
class CBottomRightView : public CFillPane {
    Q_OBJECT

  public:
    explicit CBottomRightView(QWidget* parent = nullptr);

    /// The list filling the pane (child id 103).
    CCJListCtrl* FileList() const;
    CCJShellList* GetListCtrl() const;
};
