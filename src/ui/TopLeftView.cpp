#include "ui/TopLeftView.h"

#include "common/Prompter.h"
#include "ui/DevListCtrl.h"
#include "ui/DeviceMessages.h"
#include "ui/PaneLookup.h"
#include "ui/TopMiddleView.h"
#include "workflows/Connection.h"
#include "workflows/SlotSelection.h"

CTopLeftView::CTopLeftView(QWidget* parent) : CFillPane(parent) {
    setObjectName(QStringLiteral("CTopLeftView"));
    m_wndSlotList = new DevListCtrl(this);
    m_wndSlotList->setObjectName(QStringLiteral("103"));
    m_wndSlotList->SetNotifyWindow(this);
    m_wndSlotList->BuildColumns({{5037, 150}});
    m_wndSlotList->InstallFlatHeader(false);
    m_wndSlotList->InitControl();
    connect(m_wndSlotList, &DevListCtrl::uploadRequested, this, &CTopLeftView::OnUploadRequested);
    // The Download runs once the drop has returned to the drag.
    connect(m_wndSlotList, &DevListCtrl::repositorySongsDropped, this,
            &CTopLeftView::OnSongsDropped, Qt::QueuedConnection);
    SetPaneControl(m_wndSlotList);
}

DevListCtrl* CTopLeftView::SlotList() const {
    return m_wndSlotList;
}

void CTopLeftView::RefreshSlotList() {
    velnor::RefreshSlotList(m_Device, velnor::GetPrompter(), *m_wndSlotList, m_arrSlotNames);
}

bool CTopLeftView::MarkSelectedSlots(std::vector<velnor::SlotMark>& marked) const {
    return velnor::MarkSelectedSlots(SlotRows(), SelectedSlots(), marked);
}

void CTopLeftView::GetSelectedSongs(std::vector<std::string>& songs) const {
    velnor::GetSelectedSongs(SlotRows(), SelectedSlots(), songs);
}

std::vector<velnor::SlotEntry> CTopLeftView::SlotRows() const {
    return m_wndSlotList->SlotRows();
}

std::vector<int> CTopLeftView::SelectedSlots() const {
    return m_wndSlotList->SelectedSlots();
}

bool CTopLeftView::event(QEvent* event) {
    if (event->type() == WM_REFRESH_LIST) {
        OnRefreshList();
        return true;
    }
    if (event->type() == WM_DELETE_SLOT) {
        if (auto* request = dynamic_cast<CDeviceRequestEvent*>(event)) {
            OnDeleteSlot(request->WParam());
        }
        return true;
    }
    return CFillPane::event(event);
}

void CTopLeftView::OnRefreshList() {
    RefreshSlotList();
}

void CTopLeftView::OnDeleteSlot(int nSlot) {
    velnor::OnDeleteSlot(m_Device, velnor::GetPrompter(), *m_wndSlotList, m_arrSlotNames, nSlot);
}

void CTopLeftView::OnUploadRequested() {
    // The Upload command belongs to the Download pane, as Ctrl+U does.
    if (CTopMiddleView* pane = GetTopMiddleView(this)) pane->OnUpload();
}

void CTopLeftView::OnSongsDropped(int nSlot, const QStringList& paths) {
    QTreeWidgetItem* item = m_wndSlotList->GetItem(nSlot);
    if (!item) return;  // the list was rebuilt meanwhile
    // The slot the songs landed on is the one selected, as if the user had
    // clicked it before pressing Download.
    m_wndSlotList->setCurrentItem(item, 0, QItemSelectionModel::ClearAndSelect);
    if (CTopMiddleView* pane = GetTopMiddleView(this)) pane->DownloadDropped(paths);
}
