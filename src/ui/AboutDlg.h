#pragma once

#include <QDialog>

/// "About Velnor": the icon, the version, a rights line, a maker line, OK.
class CAboutDlg : public QDialog {
    Q_OBJECT

  public:
    explicit CAboutDlg(QWidget* parent = nullptr);
};
