#pragma once

#include "ui/FillPane.h"

class CCJListCtrl;

/// Top row, left column: the device's slot list.
class CTopLeftView : public CFillPane {
    Q_OBJECT

  public:
    explicit CTopLeftView(QWidget* parent = nullptr);

    /// The list filling the pane (child id 103).
    CCJListCtrl* SlotList() const;
};
