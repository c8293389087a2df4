#pragma once

#include "ui/FillPane.h"

class CCJListCtrl;

/// Top row, right column: the repository list.
class CTopRightView : public CFillPane {
    Q_OBJECT

  public:
    explicit CTopRightView(QWidget* parent = nullptr);

    /// The list filling the pane (child id 103).
    CCJListCtrl* RepositoryList() const;
};
