#pragma once

#include <functional>

#include "midi/CMidiDevice.h"
#include "midi/CMidiTrans.h"
#include "workflows/DeviceOperations.h"

namespace velnor {

/// The device workflows' view of the real port layer: the transfer
/// operations of a CMidiTrans and the progress switches of CMidiDevice. The
/// adapter keeps no protocol state; each pane that holds a CMidiTrans wraps
/// it in one.
///
/// SetProgressHandler makes this adapter the port layer's progress sink:
/// after each acknowledged packet (on the UI thread, inside DownloadSong) the
/// handler is called. The adapter withdraws itself as the sink when it is
/// destroyed, so the port layer never calls into a dead pane.
class CMidiTransOperations : public DeviceOperations, private ProgressSink {
  public:
    explicit CMidiTransOperations(CMidiTrans& trans) : m_trans(trans) {}
    ~CMidiTransOperations() override;
    CMidiTransOperations(const CMidiTransOperations&) = delete;
    CMidiTransOperations& operator=(const CMidiTransOperations&) = delete;

    bool PortLayerExists() const override { return CMidiDevice::Current() != nullptr; }
    bool IsIdle() const override { return CMidiTrans::IsIdle(); }
    bool OpenPorts(int nInPort, int nOutPort) override;
    bool Connect(std::string& strDeviceName) override;
    bool ReadSongList(std::vector<SlotEntry>& slots) override;
    bool DeleteSong(unsigned nSlot) override;
    bool DownloadSong(const std::string& path, int nSlot, unsigned nTimeoutMs) override;
    bool UploadSong(const std::string& path, int nSlot, unsigned nTimeoutMs) override;
    void SetProgressHandler(std::function<void()> onPacketAcknowledged) override;
    void EnableProgress(bool bEnable) override;

  private:
    void OnTransferProgress() override;

    CMidiTrans& m_trans;
    std::function<void()> m_onPacket;
};

}  // namespace velnor
