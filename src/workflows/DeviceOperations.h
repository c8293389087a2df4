#pragma once

#include <functional>
#include <string>
#include <vector>

#include "midi/SlotEntry.h"

namespace velnor {

/// What the device workflows need of the instrument: the transfer operations
/// of CMidiTrans and the progress switches of the port layer. The program
/// plugs in an adapter over CMidiTrans and CMidiDevice; tests plug in a fake.
///
/// Every call is made on the UI thread. The transfer calls wait for the
/// instrument while the event pump keeps dispatching, so a command handler can
/// run inside another; the workflows test IsIdle() first and do nothing while
/// an operation is under way.
class DeviceOperations {
  public:
    virtual ~DeviceOperations() = default;

    /// True while the process-wide port layer instance exists.
    virtual bool PortLayerExists() const = 0;
    /// False while any device operation is under way.
    virtual bool IsIdle() const = 0;

    virtual bool OpenPorts(int nInPort, int nOutPort) = 0;
    /// Sends the connect request; on success `strDeviceName` receives the
    /// name the instrument reports.
    virtual bool Connect(std::string& strDeviceName) = 0;
    /// Reads the slots in slot order: names ("Empty" for a free slot) and
    /// whether each is free.
    virtual bool ReadSongList(std::vector<SlotEntry>& slots) = 0;
    virtual bool DeleteSong(unsigned nSlot) = 0;
    /// Sends the song file `path` into slot `nSlot` (computer to instrument).
    virtual bool DownloadSong(const std::string& path, int nSlot, unsigned nTimeoutMs) = 0;
    /// Fetches the song of slot `nSlot` into the file `path` (instrument to
    /// computer); writes the file only when the whole song arrived.
    virtual bool UploadSong(const std::string& path, int nSlot, unsigned nTimeoutMs) = 0;

    /// Where the port layer reports each acknowledged packet while progress
    /// is enabled (the Download pane's window on the first platform). Called
    /// on the UI thread, from inside DownloadSong.
    virtual void SetProgressHandler(std::function<void()> onPacketAcknowledged) = 0;
    virtual void EnableProgress(bool bEnable) = 0;
};

}  // namespace velnor
