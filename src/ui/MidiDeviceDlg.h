#pragma once

#include <QDialog>
#include <optional>
#include <string>
#include <vector>

class QLabel;
class QListWidget;
class QPushButton;

namespace velnor {
class CInstrumentSearch;
class CMidiTrans;
}  // namespace velnor

/// "MIDI Device": the modal dialog in which the user picks the MIDI input
/// and output ports that lead to the instrument. Listing the ports closes
/// both ports and installs the protocol's receive handler, so every
/// connection starts from a fresh listing.
///
/// The lists show the names sorted (the entries are inserted in display
/// order; the widgets never sort). The caller's stored port identifiers
/// preselect the entries and are written on OK; Enter (while no button has
/// the focus) accepts and Esc cancels without reading the lists.
///
/// Find lists the ports afresh and tries the connect request on the real
/// ports (the built-in virtual instrument left out) while the dialog stays
/// responsive with a busy pointer; both lists then select the pair that
/// answered, whose identifiers OK stores while those rows stay selected (ports
/// named alike included), and a line of text names the device or says that
/// no instrument answered. Cancel, Esc or the close box during the search end
/// it first; OK, Refresh and Find wait until it has ended.
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
    QPushButton* FindButton() const { return m_btnFind; }
    QLabel* FoundText() const { return m_FoundText; }
    const std::vector<std::string>& InputNames() const { return m_InNames; }
    const std::vector<std::string>& OutputNames() const { return m_OutNames; }

    int exec() override;
    void done(int result) override;

  protected:
    void keyPressEvent(QKeyEvent* event) override;

  private:
    void OnRefreshPorts();
    void OnOk();
    void OnFind();

    QListWidget* m_InList;
    QListWidget* m_OutList;
    QPushButton* m_btnRefresh;
    QPushButton* m_btnOk;
    QPushButton* m_btnCancel;
    QPushButton* m_btnFind;
    QLabel* m_FoundText;
    /// The search under way, or null.
    velnor::CInstrumentSearch* m_pSearch = nullptr;
    /// How the dialog was closed while the search ran; ends it afterwards.
    std::optional<int> m_nEndAfterSearch;
    /// The pair Find selected (identifiers and rows); -1 when none.
    int m_nFoundIn = -1;
    int m_nFoundOut = -1;
    int m_nFoundInRow = -1;
    int m_nFoundOutRow = -1;
    std::vector<std::string> m_InNames;
    std::vector<std::string> m_OutNames;
};
