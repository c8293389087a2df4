#include "ui/MiddleView.h"

#include <QAction>

#include "ui/AboutDlg.h"
#include "ui/HelpViewer.h"
#include "ui/Resource.h"
#include "widgets/GdipButton.h"

CMiddleView::CMiddleView(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("CMiddleView"));
    // Pictures given button by button: Connect, Copy Up, Copy Down, Refresh,
    // Help, About.
    m_btnConnect = MakeButton(IDC_BTN_CONNECT, 152, 151, &CMiddleView::connectClicked);
    m_btnCopyUp = MakeButton(IDC_BTN_COPY_UP, 158, 159, &CMiddleView::copyUpClicked);
    m_btnCopyDown = MakeButton(IDC_BTN_COPY_DOWN, 156, 157, &CMiddleView::copyDownClicked);
    m_btnRefresh = MakeButton(IDC_BTN_REFRESH, 162, 153, &CMiddleView::refreshClicked);
    m_btnHelp = MakeButton(IDC_BTN_HELP, 160, 161, &CMiddleView::helpClicked);
    m_btnAbout = MakeButton(IDC_BTN_ABOUT, 154, 155, &CMiddleView::aboutClicked);
    m_btnConnect->setAccessibleName(tr("Connect"));
    m_btnRefresh->setAccessibleName(tr("Refresh"));
    m_btnCopyUp->setAccessibleName(tr("Copy Up"));
    m_btnCopyDown->setAccessibleName(tr("Copy Down"));
    m_btnHelp->setAccessibleName(tr("Help"));
    m_btnAbout->setAccessibleName(tr("About"));
    // Tab follows the buttons as they stand, left to right.
    setTabOrder(m_btnConnect, m_btnRefresh);
    setTabOrder(m_btnRefresh, m_btnCopyUp);
    SetButtonHints();
    AddKey(Qt::Key_F1, &CMiddleView::helpClicked);
    AddKey(Qt::Key_F5, &CMiddleView::refreshClicked);
    connect(this, &CMiddleView::aboutClicked, this, &CMiddleView::OnAbout);
    connect(this, &CMiddleView::helpClicked, this, &CMiddleView::OnHelp);
    ConnectComputerCommands();
    connect(this, &CMiddleView::connectClicked, this, &CMiddleView::OnConnect);
}

CGdipButton* CMiddleView::MakeButton(int id, int normalPng, int hotPng,
                                     void (CMiddleView::*signal)()) {
    auto* button = new CGdipButton(this);
    button->setObjectName(QString::number(id));
    button->LoadImages(normalPng, hotPng);
    connect(button, &CGdipButton::clicked, this, signal);
    return button;
}

void CMiddleView::SetButtonHints() {
    // In the help's own words.
    m_btnConnect->setToolTip(tr("Choose the MIDI ports and connect to the instrument"));
    m_btnRefresh->setToolTip(
        tr("Reads the Repository, the browser and, while connected, the instrument's slots "
           "again (F5)"));
    m_btnCopyUp->setToolTip(
        tr("Copies the songs selected in the browser into the Repository. Each song is "
           "checked first (format 0, 120 ticks per quarter note)."));
    m_btnCopyDown->setToolTip(
        tr("Copies the songs selected in the Repository into the browser's folder, as they "
           "are."));
    m_btnHelp->setToolTip(tr("Shows the help (F1)"));
    m_btnAbout->setToolTip(tr("Shows Velnor's version"));
}

void CMiddleView::AddKey(Qt::Key key, void (CMiddleView::*signal)()) {
    auto* action = new QAction(this);
    action->setShortcut(QKeySequence(key));
    action->setShortcutContext(Qt::WindowShortcut);
    addAction(action);
    connect(action, &QAction::triggered, this, signal);
}

void CMiddleView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    const int W = width();
    m_btnConnect->setGeometry(30, 18, 110, 40);
    m_btnRefresh->setGeometry(180, 18, 110, 40);
    m_btnCopyUp->setGeometry(W - 450, 18, 100, 40);
    m_btnCopyDown->setGeometry(W - 320, 18, 110, 40);
    m_btnHelp->setGeometry(W - 190, 18, 70, 40);
    m_btnAbout->setGeometry(W - 100, 18, 70, 40);
}

void CMiddleView::OnAbout() {
    CAboutDlg about(window());
    about.exec();
    for (CGdipButton* button :
         {m_btnConnect, m_btnCopyUp, m_btnCopyDown, m_btnRefresh, m_btnHelp, m_btnAbout}) {
        button->update();
    }
}

void CMiddleView::OnHelp() {
    ShowHelpDocument(window());
}
