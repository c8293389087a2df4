#pragma once

#include <QDialog>
#include <string>
#include <vector>

class QListWidget;
class QPushButton;

namespace velnor {
class CMidiTrans;
}

/// "MIDI Device": the modal dialog in which the user picks the MIDI input
/// and output ports that lead to the instrument. Listing the ports closes
/// both ports and installs the protocol's receive handler, so every
/// connection starts from a fresh listing.
///
/// The lists show the names sorted (the entries are inserted in display
/// order; the widgets never sort). The caller's stored port identifiers
/// preselect the entries and are written on OK; Enter (while no button has
/// the focus) accepts and Esc cancels without reading the lists.
class CMidiDeviceDlg : public QDialog {
    Q_OBJECT

  public:
    explicit CMidiDeviceDlg(QWidget* parent = nullptr);

    int* m_pnInPort = nullptr;
    int* m_pnOutPort = nullptr;
    /// Set by the caller; the dialog does not use it.
    velnor::CMidiTrans* m_pTrans = nullptr;

    /// Lists the ports and fills and preselects both lists.
    void FillPortLists();

    QListWidget* InputList() const { return m_InList; }
    QListWidget* OutputList() const { return m_OutList; }
    QPushButton* RefreshButton() const { return m_btnRefresh; }
    QPushButton* OkButton() const { return m_btnOk; }
    QPushButton* CancelButton() const { return m_btnCancel; }
    const std::vector<std::string>& InputNames() const { return m_InNames; }
    const std::vector<std::string>& OutputNames() const { return m_OutNames; }

    int exec() override;

  protected:
    void keyPressEvent(QKeyEvent* event) override;

  private:
    void OnRefreshPorts();
    void OnOk();

    QListWidget* m_InList;
    QListWidget* m_OutList;
    QPushButton* m_btnRefresh;
    QPushButton* m_btnOk;
    QPushButton* m_btnCancel;
    std::vector<std::string> m_InNames;
    std::vector<std::string> m_OutNames;
};
