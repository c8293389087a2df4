#include "workflows/Connection.h"

#include "midi/CMidiTrans.h"
#include "workflows/CloseGuard.h"

namespace velnor {

std::atomic<int> g_bConnected{0};

bool ConnectAllowed(const DeviceOperations& device) {
    return device.PortLayerExists() && device.IsIdle();
}

bool DeviceCommandAllowed(const DeviceOperations& device) {
    return g_bConnected.load() != 0 && ConnectAllowed(device);
}

bool ConnectDevice(DeviceOperations& device, Prompter& prompter, int nInPort,
                   std::string& strDeviceName, int nOutPort) {
    if (device.PortLayerExists() && device.OpenPorts(nInPort, nOutPort)) {
        if (device.PortLayerExists() && device.Connect(strDeviceName)) return true;
        prompter.Show("Connect request error!");
        return false;
    }
    prompter.Show("Device cannot be opened!");
    return false;
}

void OnConnect(DeviceOperations& device, Prompter& prompter, bool bDialogAccepted, int nInPort,
               int nOutPort, std::string& strDeviceName,
               const std::function<void()>& refreshSlotList) {
    if (!bDialogAccepted) return;
    DeviceCommandScope scope;
    if (!ConnectDevice(device, prompter, nInPort, strDeviceName, nOutPort)) {
        g_bConnected = 0;
        return;
    }
    g_bConnected = 1;
    if (refreshSlotList) refreshSlotList();
    // The name is data, never a format: a '%' in it is shown as it is.
    prompter.Show(strDeviceName + " Connected!");
}

bool RefreshSlotList(DeviceOperations& device, Prompter& prompter, SlotListWidget& list,
                     std::vector<SlotEntry>& arrSlotNames) {
    if (!DeviceCommandAllowed(device)) return false;
    DeviceCommandScope scope;
    list.DeleteAllItems();
    if (device.PortLayerExists() && device.ReadSongList(arrSlotNames)) {
        const std::size_t nCount = arrSlotNames.size();
        for (std::size_t i = 0; i < nCount; ++i) {
            // The empty text marks the selected slots for a Download: a song
            // must never be shown with it.
            if (arrSlotNames[i].name.empty()) arrSlotNames[i].name = NamelessSlotName(i);
            list.AddSlotItem(arrSlotNames[i]);
        }
    } else {
        arrSlotNames.clear();
        prompter.Show("Connection error!");
    }
    return true;
}

void OnDeleteSlot(DeviceOperations& device, Prompter& prompter, SlotListWidget& list,
                  std::vector<SlotEntry>& arrSlotNames, int nSlot) {
    if (!DeviceCommandAllowed(device)) return;
    DeviceCommandScope scope;
    if (nSlot >= 0) {
        device.DeleteSong(static_cast<unsigned>(nSlot));
    } else {
        RefreshSlotList(device, prompter, list, arrSlotNames);
    }
}

}  // namespace velnor
