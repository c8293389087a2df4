#include "workflows/MidiTransOperations.h"

#include <utility>

namespace velnor {

namespace {

// The adapter the port layer reports progress to (UI thread only: it is set
// and cleared by the panes, and read back only here).
CMidiTransOperations* s_pProgressOwner = nullptr;

}  // namespace

CMidiTransOperations::~CMidiTransOperations() {
    if (s_pProgressOwner != this) return;
    CMidiDevice::EnableProgress(false);
    CMidiDevice::SetProgressWindow(nullptr);
    s_pProgressOwner = nullptr;
}

bool CMidiTransOperations::OpenPorts(int nInPort, int nOutPort) {
    return m_trans.OpenPorts(nInPort, nOutPort);
}

bool CMidiTransOperations::Connect(std::string& strDeviceName) {
    return m_trans.Connect(strDeviceName);
}

bool CMidiTransOperations::ReadSongList(std::vector<SlotEntry>& slots) {
    return m_trans.ReadSongList(slots);
}

bool CMidiTransOperations::DeleteSong(unsigned nSlot) {
    return m_trans.DeleteSong(nSlot);
}

bool CMidiTransOperations::DownloadSong(const std::string& path, int nSlot, unsigned nTimeoutMs) {
    return m_trans.DownloadSong(path, nSlot, nTimeoutMs);
}

bool CMidiTransOperations::UploadSong(const std::string& path, int nSlot, unsigned nTimeoutMs) {
    return m_trans.UploadSong(path, nSlot, nTimeoutMs);
}

void CMidiTransOperations::SetProgressHandler(std::function<void()> onPacketAcknowledged) {
    m_onPacket = std::move(onPacketAcknowledged);
    s_pProgressOwner = this;
    CMidiDevice::SetProgressWindow(this);
}

void CMidiTransOperations::EnableProgress(bool bEnable) {
    CMidiDevice::EnableProgress(bEnable);
}

void CMidiTransOperations::OnTransferProgress() {
    if (m_onPacket) m_onPacket();
}

}  // namespace velnor
