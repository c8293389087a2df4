#include "ui/AboutDlg.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>

#include "ui/MainFrame.h"

namespace {

/// Dialog units of the 8-point dialog font in pixels: 4 horizontal units
/// are 6 pixels and 8 vertical units 13 pixels at 96 dots per inch.
QSize DialogUnitsToPixels(const QWidget& dialog, int nWidth, int nHeight) {
    const double scaleX = dialog.logicalDpiX() / 96.0;
    const double scaleY = dialog.logicalDpiY() / 96.0;
    return {qRound(nWidth * 6 / 4.0 * scaleX), qRound(nHeight * 13 / 8.0 * scaleY)};
}

}  // namespace

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("CAboutDlg"));
    setWindowTitle(QStringLiteral("About Velnor"));
    auto* grid = new QGridLayout(this);
    auto* icon = new QLabel(this);
    icon->setPixmap(CMainFrame::ProgramIcon().pixmap(32, 32));
    icon->setAlignment(Qt::AlignTop);
    grid->addWidget(icon, 0, 0, 3, 1);
    const QStringList lines = {
        QStringLiteral("Velnor Version 1.0.1"),
        QStringLiteral("Copyright (C) 2026 the Velnor authors."),
        QStringLiteral("Made by the Velnor project for musicians."),
    };
    for (int i = 0; i < lines.size(); ++i) {
        auto* label = new QLabel(lines[i], this);
        label->setTextFormat(Qt::PlainText);
        label->setWordWrap(i > 0);  // a large font wraps rather than clips
        grid->addWidget(label, i, 1);
    }
    grid->setColumnStretch(1, 1);
    grid->setRowStretch(3, 1);  // free room between the texts and OK
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    buttons->button(QDialogButtonBox::Ok)->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    grid->addWidget(buttons, 4, 0, 1, 2);
    // The box has the size of its 235 by 83 dialog units, not of its texts.
    setFixedSize(DialogUnitsToPixels(*this, 235, 83));
}
