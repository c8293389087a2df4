#pragma once

#include <QWidget>
#include <string>
#include <vector>

#include "midi/CMidiTrans.h"
#include "workflows/MidiTransOperations.h"

class CGdipButton;
class CCJShellList;

/// Middle row: the strip of six picture buttons. Connect and Refresh keep
/// their place at the left; Copy Up, Copy Down, Help and About follow the
/// right edge. Later commands connect to the *Clicked signals. F1 is Help and
/// F5 Refresh anywhere in the window.
class CMiddleView : public QWidget {
    Q_OBJECT

  public:
    explicit CMiddleView(QWidget* parent = nullptr);

    CGdipButton* ConnectButton() const { return m_btnConnect; }
    CGdipButton* RefreshButton() const { return m_btnRefresh; }
    CGdipButton* CopyUpButton() const { return m_btnCopyUp; }
    CGdipButton* CopyDownButton() const { return m_btnCopyDown; }
    CGdipButton* HelpButton() const { return m_btnHelp; }
    CGdipButton* AboutButton() const { return m_btnAbout; }

    /// Shows the About box, then redraws the six buttons.
    void OnAbout();
    /// Shows "Help.mht" beside the program (the desktop's program for it, or
    /// the help viewer); shows nothing when it is missing.
    void OnHelp();

    // The computer-side commands (MiddleViewCommands.cpp).
    /// Reloads the repository list and the browser, then the device's list
    /// when connected.
    void OnRefreshAll();
    /// Copies the browser's selected songs into the repository, checked.
    void OnCopyUp();
    /// Copies the repository's selected songs into the browser's folder.
    void OnCopyDown();
    /// Copies the repository's songs `names` into the browser's folder, as
    /// Copy Down does (songs dragged onto the browser list come here).
    void CopyDown(const std::vector<std::string>& names);

    /// Lets the user choose the ports, opens them and greets the instrument;
    /// on success fills the slot list.
    void OnConnect();
    /// The port identifiers chosen in the port dialog (-1 until then).
    int InPort() const { return m_nInPort; }
    int OutPort() const { return m_nOutPort; }
    /// The instrument's name from the last successful connect request.
    const std::string& DeviceName() const { return m_strDeviceName; }

  signals:
    void connectClicked();
    void refreshClicked();
    void copyUpClicked();
    void copyDownClicked();
    void helpClicked();
    void aboutClicked();

  protected:
    void resizeEvent(QResizeEvent* event) override;

  private:
    void ConnectComputerCommands();
    void SetButtonHints();
    /// `key` anywhere in the window does what the button behind `signal` does.
    void AddKey(Qt::Key key, void (CMiddleView::*signal)());
    CGdipButton* MakeButton(int id, int normalPng, int hotPng, void (CMiddleView::*signal)());

    CGdipButton* m_btnConnect;
    CGdipButton* m_btnRefresh;
    CGdipButton* m_btnCopyUp;
    CGdipButton* m_btnCopyDown;
    CGdipButton* m_btnHelp;
    CGdipButton* m_btnAbout;

    // The device connection (MiddleViewConnect.cpp).
    int m_nInPort = -1;
    int m_nOutPort = -1;
    velnor::CMidiTrans m_Trans;
    velnor::CMidiTransOperations m_Device{m_Trans};
    std::string m_strDeviceName;
};

/// Copy Up's names: the selected rows of the browser `list`, top row first,
/// folders left out.
void GetSelectedBrowserFiles(const CCJShellList* list, std::vector<std::string>& names);
