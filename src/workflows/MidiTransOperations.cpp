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

bool CMidiTransOperations::ReadSongList(std::vector<std::string>& names) {
    return m_trans.ReadSongList(names);
}

bool CMidiTransOperations::DeleteSong(unsigned nSlot) {
    return m_trans.DeleteSong(nSlot);
}

bool CMidiTransOperations::DownloadSong(const std::string& path, int nSlot, unsigned nTimeoutMs) {
    return m_trans.DownloadSong(path, nSlot, nTimeoutMs);
}

bool CMidiTransOperations::UploadSong(const std::string& path, int nSlot, unsigned nTimeoutMs) {
    if (m_trans.UploadSong(path, nSlot, nTimeoutMs)) return true;
    // A read that broke off can leave the instrument waiting for the next
    // block request. In that state a read request for slot 2 reads as a
    // complaint about its last reply, and it would send the broken-off song
    // again, to be stored under slot 2's name. A connect request ends the read
    // on the instrument's side before anything else is asked of it.
    if (CMidiDevice::Current()) {
        std::string strName;
        m_trans.Connect(strName);
    }
    return false;
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
