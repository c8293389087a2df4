#pragma once

#include <string>
#include <vector>

#include "midi/CMidiTrans.h"
#include "ui/FillPane.h"
#include "workflows/MidiTransOperations.h"
#include "workflows/SlotSelection.h"

class DevListCtrl;

/// Top row, left column: the instrument's slot list. The pane fills the list
/// from the instrument and carries out the list's reload and delete requests;
/// repository songs dropped on a slot go there through the Download command.
class CTopLeftView : public CFillPane {
    Q_OBJECT

  public:
    explicit CTopLeftView(QWidget* parent = nullptr);

    /// The list filling the pane (child id 103).
    DevListCtrl* SlotList() const;

    /// Reloads the list from the instrument; does nothing unless connected,
    /// with a port layer and idle. Shows "Connection error!" when the slot
    /// names cannot be read (the list then stays empty).
    void RefreshSlotList();

    /// One mark per row: selected, else free or a song. True when a selected
    /// row holds a song.
    bool MarkSelectedSlots(std::vector<velnor::SlotMark>& marked) const;
    /// One entry per row: the song name of selected rows holding a song,
    /// else the empty string.
    void GetSelectedSongs(std::vector<std::string>& songs) const;

    /// The slots as the list shows them, in row order.
    std::vector<velnor::SlotEntry> SlotRows() const;
    /// The selected rows, top row first.
    std::vector<int> SelectedSlots() const;

    /// The slot names of the last reload.
    const std::vector<velnor::SlotEntry>& SlotNames() const { return m_arrSlotNames; }

  protected:
    bool event(QEvent* event) override;

  private:
    void OnRefreshList();
    void OnDeleteSlot(int nSlot);
    void OnUploadRequested();
    void OnSongsDropped(int nSlot, const QStringList& paths);

    DevListCtrl* m_wndSlotList = nullptr;
    velnor::CMidiTrans m_Trans;
    velnor::CMidiTransOperations m_Device{m_Trans};
    std::vector<velnor::SlotEntry> m_arrSlotNames;
};
