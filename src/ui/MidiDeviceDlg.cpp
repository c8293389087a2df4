#include "ui/MidiDeviceDlg.h"

#include <QApplication>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>
#include <optional>

#include "midi/CMidiDevice.h"
#include "midi/CMidiTrans.h"
#include "midi/InstrumentSearch.h"
#include "workflows/PortChoice.h"

namespace {

QListWidget* MakePortList(const QString& title, QHBoxLayout* row, QWidget* parent) {
    auto* group = new QGroupBox(title, parent);
    auto* list = new QListWidget(group);
    list->setSortingEnabled(false);  // entries arrive in display order
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    auto* layout = new QVBoxLayout(group);
    layout->addWidget(list);
    row->addWidget(group);
    return list;
}

/// An ordinary push button: Enter on the dialog does not press it.
QPushButton* MakeButton(const QString& text, QWidget* parent) {
    auto* button = new QPushButton(text, parent);
    button->setAutoDefault(false);
    button->setDefault(false);
    return button;
}

/// A port name as text: UTF-8 when it is, else one character per byte. The
/// entry keeps the name's own bytes, which OK matches.
QListWidgetItem* PortItem(const std::string& name) {
    const QByteArray bytes = QByteArray::fromStdString(name);
    const QString text = QString::fromUtf8(bytes);
    auto* item = new QListWidgetItem(text.toUtf8() == bytes ? text : QString::fromLatin1(bytes));
    item->setData(Qt::UserRole, bytes);
    return item;
}

/// Fills `list` with `names` in display order and preselects the entry of
/// the stored identifier, if any.
void FillList(QListWidget* list, const std::vector<std::string>& names, const int* pnStored) {
    for (const std::string& name : velnor::DisplayedPortNames(names)) list->addItem(PortItem(name));
    const int nRow = velnor::PreselectedPortRow(names, pnStored ? *pnStored : -1);
    if (nRow >= 0) list->setCurrentRow(nRow);
}

/// Stores the identifier of the selected entry through `pnStored`: the one
/// Find chose while its row stays selected, else the first of that name.
void StoreChoice(const QListWidget* list, const std::vector<std::string>& names, int* pnStored,
                 int nFoundRow, int nFoundId) {
    if (!pnStored) return;
    if (nFoundRow >= 0 && list->currentRow() == nFoundRow && list->item(nFoundRow)->isSelected()) {
        *pnStored = nFoundId;
        return;
    }
    std::optional<std::string> selected;
    const QList<QListWidgetItem*> items = list->selectedItems();
    if (!items.isEmpty()) selected = items.front()->data(Qt::UserRole).toByteArray().toStdString();
    *pnStored = velnor::ChosenPortId(names, selected, *pnStored);
}

}  // namespace

CMidiDeviceDlg::CMidiDeviceDlg(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("CMidiDeviceDlg"));
    setWindowTitle(QStringLiteral("MIDI Device"));
    auto* lists = new QHBoxLayout;
    m_InList = MakePortList(tr("Input"), lists, this);
    m_InList->setObjectName(QStringLiteral("1000"));
    m_OutList = MakePortList(tr("Output"), lists, this);
    m_OutList->setObjectName(QStringLiteral("103"));

    m_btnRefresh = MakeButton(tr("Refresh"), this);
    m_btnOk = MakeButton(tr("OK"), this);
    m_btnCancel = MakeButton(tr("Cancel"), this);
    m_btnFind = MakeButton(tr("Find"), this);
    m_FoundText = new QLabel(this);
    m_FoundText->setObjectName(QStringLiteral("FoundText"));
    m_FoundText->setTextFormat(Qt::PlainText);  // a device name is never markup
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_btnRefresh);
    buttons->addWidget(m_btnFind);
    buttons->addStretch(1);
    buttons->addWidget(m_btnOk);
    buttons->addWidget(m_btnCancel);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(lists, 1);
    layout->addWidget(m_FoundText);
    layout->addLayout(buttons);
    resize(675, 326);

    connect(m_btnRefresh, &QPushButton::clicked, this, &CMidiDeviceDlg::OnRefreshPorts);
    connect(m_btnOk, &QPushButton::clicked, this, &CMidiDeviceDlg::OnOk);
    connect(m_btnCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_btnFind, &QPushButton::clicked, this, &CMidiDeviceDlg::OnFind);
}

int CMidiDeviceDlg::exec() {
    FillPortLists();
    m_InList->setFocus();
    return QDialog::exec();
}

void CMidiDeviceDlg::FillPortLists() {
    m_nFoundInRow = m_nFoundOutRow = -1;
    m_InList->clear();
    m_OutList->clear();
    if (velnor::CMidiDevice* device = velnor::CMidiDevice::Current()) {
        velnor::CMidiTrans::s_bIdle = false;
        device->EnumeratePorts();
        velnor::CMidiDevice::SetReceiveHandler(&velnor::CMidiTrans::OnReceive);
        m_InNames.clear();
        m_OutNames.clear();
        for (unsigned i = 0; i < device->m_nInCount; ++i) {
            m_InNames.push_back(device->m_InPorts[i].m_strName);
        }
        for (unsigned i = 0; i < device->m_nOutCount; ++i) {
            m_OutNames.push_back(device->m_OutPorts[i].m_strName);
        }
        velnor::CMidiTrans::s_bIdle = true;
    }
    FillList(m_InList, m_InNames, m_pnInPort);
    FillList(m_OutList, m_OutNames, m_pnOutPort);
}

void CMidiDeviceDlg::OnRefreshPorts() {
    if (m_pSearch) return;
    FillPortLists();
}

void CMidiDeviceDlg::OnOk() {
    if (m_pSearch) return;
    StoreChoice(m_InList, m_InNames, m_pnInPort, m_nFoundInRow, m_nFoundIn);
    StoreChoice(m_OutList, m_OutNames, m_pnOutPort, m_nFoundOutRow, m_nFoundOut);
    accept();
}

void CMidiDeviceDlg::OnFind() {
    if (m_pSearch || !velnor::CMidiDevice::Current() || !velnor::CMidiTrans::IsIdle()) return;
    FillPortLists();  // closes the ports; the search lists the same system
    velnor::MidiPlatform& platform = velnor::CMidiDevice::Platform();
    velnor::CInstrumentSearch search(platform);
    m_pSearch = &search;
    m_FoundText->clear();
    velnor::CMidiTrans::s_bIdle = false;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const std::vector<velnor::FoundInstrument> found =
        search.Run(velnor::PortsToSearch(platform, velnor::BuiltInInstrument()), true);
    QApplication::restoreOverrideCursor();
    velnor::CMidiTrans::s_bIdle = true;
    m_pSearch = nullptr;
    if (m_nEndAfterSearch) {
        QDialog::done(*m_nEndAfterSearch);
        return;
    }
    if (found.empty()) {
        m_FoundText->setText(tr("No instrument answered."));
        return;
    }
    const velnor::FoundInstrument& pair = found.front();
    m_nFoundIn = static_cast<int>(pair.in.id);
    m_nFoundOut = static_cast<int>(pair.out.id);
    // Rows only for the ports the lists show under the same names.
    auto Row = [](const std::vector<std::string>& names, const velnor::SearchPort& port) {
        const int nId = static_cast<int>(port.id);
        const bool bShown = port.id < names.size() && names[port.id] == port.name;
        return bShown ? velnor::DisplayedPortRow(names, nId) : -1;
    };
    m_nFoundInRow = Row(m_InNames, pair.in);
    m_nFoundOutRow = Row(m_OutNames, pair.out);
    if (m_nFoundInRow >= 0) m_InList->setCurrentRow(m_nFoundInRow);
    if (m_nFoundOutRow >= 0) m_OutList->setCurrentRow(m_nFoundOutRow);
    m_FoundText->setText(tr("Found: %1").arg(QString::fromStdString(pair.deviceName)));
}

void CMidiDeviceDlg::done(int result) {
    if (m_pSearch) {
        // Closed while the search waits in its event loop: end it first.
        m_nEndAfterSearch = result;
        m_pSearch->Cancel();
        return;
    }
    QDialog::done(result);
}

void CMidiDeviceDlg::keyPressEvent(QKeyEvent* event) {
    const bool bEnter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (bEnter && (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
        // A focused button is pressed, as on the first platform; otherwise
        // Enter is the dialog's own accept, which reads no selection.
        if (auto* button = qobject_cast<QPushButton*>(focusWidget())) {
            button->click();
        } else {
            accept();
        }
        return;
    }
    QDialog::keyPressEvent(event);  // Esc: reject
}
