#pragma once

#include <atomic>
#include <functional>
#include <string>
#include <vector>

#include "common/Prompter.h"
#include "workflows/DeviceOperations.h"

namespace velnor {

/// The process-wide connection flag: 0 at start, 1 after a Connect that
/// succeeded, 0 after a Connect that failed once the port dialog was
/// accepted. Only the Connect command writes it, on the UI thread; it is
/// atomic so that any other thread may read it safely.
extern std::atomic<int> g_bConnected;

/// The test every device command makes first: connected, a port layer, and
/// no device operation under way.
bool DeviceCommandAllowed(const DeviceOperations& device);

/// The test the Connect button makes before it shows the port dialog: a port
/// layer and no device operation under way (connected or not).
bool ConnectAllowed(const DeviceOperations& device);

/// Opens the chosen ports and sends the connect request. Shows "Device
/// cannot be opened!" or "Connect request error!" itself on failure.
bool ConnectDevice(DeviceOperations& device, Prompter& prompter, int nInPort,
                   std::string& strDeviceName, int nOutPort);

/// The Connect command after the port dialog closed. `bDialogAccepted` false:
/// nothing happens and g_bConnected keeps its value. Accepted: ConnectDevice;
/// success sets g_bConnected to 1, calls `refreshSlotList` and then shows
/// "<name> Connected!"; failure sets g_bConnected to 0 (the slot list keeps
/// its rows).
///
/// The Connect button: if (!ConnectAllowed(device)) return; then, holding a
/// DeviceCommandScope, run the port dialog; then OnConnect with its result.
void OnConnect(DeviceOperations& device, Prompter& prompter, bool bDialogAccepted, int nInPort,
               int nOutPort, std::string& strDeviceName,
               const std::function<void()>& refreshSlotList);

/// What a reload needs of the slot list widget (DevListCtrl).
class SlotListWidget {
  public:
    virtual ~SlotListWidget() = default;
    virtual void DeleteAllItems() = 0;
    /// Appends a row; free slots get no icon, songs the song icon.
    virtual void AddSlotItem(const SlotEntry& slot) = 0;
};

/// Reloads the slot list from the instrument. Does nothing unless
/// DeviceCommandAllowed. Otherwise empties the list, reads the names into
/// `arrSlotNames` and appends one row per name; when the read fails it shows
/// "Connection error!" and the list stays empty. Returns true when it ran.
bool RefreshSlotList(DeviceOperations& device, Prompter& prompter, SlotListWidget& list,
                     std::vector<SlotEntry>& arrSlotNames);

/// The slot pane's handling of a delete request from its list: `nSlot` 0 or
/// more deletes that slot's song (the result is not shown: the final reload
/// tells the truth), a negative value reloads the list. Ignored unless
/// DeviceCommandAllowed.
void OnDeleteSlot(DeviceOperations& device, Prompter& prompter, SlotListWidget& list,
                  std::vector<SlotEntry>& arrSlotNames, int nSlot);

}  // namespace velnor
