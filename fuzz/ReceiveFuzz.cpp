#include "ReceiveFuzz.h"

#include <algorithm>
#include <cstring>
#include <mutex>

#include "midi/CMidiDevice.h"
#include "midi/CMidiTrans.h"

namespace velnor::fuzz {

namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr HMIDIIN kIn = 0x10;
constexpr HMIDIOUT kOut = 0x20;
const Bytes kAck = {0xF0, 0x00, 0x1E, 0x2D, 0x55, 0x52, 0x53, 0x57, 0x08, 0xF7};

/// One input and one output port, run on the caller's thread: Deliver hands a
/// chunk to the input callback at once; frames sent are recorded, and the
/// next one is acknowledged on request.
class SyncMidiPlatform : public MidiPlatform {
  public:
    unsigned midiInGetNumDevs() override { return 1; }
    unsigned midiOutGetNumDevs() override { return 1; }
    MidiResult midiInGetDevCaps(unsigned, std::string& name) override {
        name = "Fuzz In";
        return MMSYSERR_NOERROR;
    }
    MidiResult midiOutGetDevCaps(unsigned, std::string& name) override {
        name = "Fuzz Out";
        return MMSYSERR_NOERROR;
    }
    MidiResult midiInOpen(HMIDIIN* handle, unsigned, MidiInProc callback, void* instance) override {
        m_callback = callback;
        m_instance = instance;
        *handle = kIn;
        return MMSYSERR_NOERROR;
    }
    MidiResult midiInPrepareHeader(HMIDIIN, MIDIHDR*) override { return MMSYSERR_NOERROR; }
    MidiResult midiInUnprepareHeader(HMIDIIN, MIDIHDR*) override { return MMSYSERR_NOERROR; }
    MidiResult midiInAddBuffer(HMIDIIN, MIDIHDR* header) override {
        m_pQueued = header;
        return MMSYSERR_NOERROR;
    }
    MidiResult midiInStart(HMIDIIN) override {
        m_bStarted = true;
        return MMSYSERR_NOERROR;
    }
    MidiResult midiInStop(HMIDIIN) override {
        m_bStarted = false;
        return MMSYSERR_NOERROR;
    }
    MidiResult midiInReset(HMIDIIN) override {
        m_bStarted = false;
        m_pQueued = nullptr;
        return MMSYSERR_NOERROR;
    }
    MidiResult midiInClose(HMIDIIN) override {
        midiInReset(kIn);
        m_callback = nullptr;
        return MMSYSERR_NOERROR;
    }
    MidiResult midiOutOpen(HMIDIOUT* handle, unsigned) override {
        *handle = kOut;
        return MMSYSERR_NOERROR;
    }
    MidiResult midiOutPrepareHeader(HMIDIOUT, MIDIHDR*) override { return MMSYSERR_NOERROR; }
    MidiResult midiOutUnprepareHeader(HMIDIOUT, MIDIHDR*) override { return MMSYSERR_NOERROR; }
    MidiResult midiOutLongMsg(HMIDIOUT, MIDIHDR* header) override {
        frames.emplace_back(header->lpData, header->lpData + header->dwBufferLength);
        if (ackNext && !m_bInCallback) {
            ackNext = false;
            Deliver(kAck);
        }
        return MMSYSERR_NOERROR;
    }
    MidiResult midiOutReset(HMIDIOUT) override { return MMSYSERR_NOERROR; }
    MidiResult midiOutClose(HMIDIOUT) override { return MMSYSERR_NOERROR; }

    /// Hands `chunk` to the input callback, cut to the queued buffer as a
    /// driver would. False when the input is not started or holds no buffer.
    bool Deliver(const Bytes& chunk) {
        if (!m_bStarted || !m_pQueued || !m_callback) return false;
        MIDIHDR* header = m_pQueued;
        m_pQueued = nullptr;
        const std::size_t n = std::min<std::size_t>(chunk.size(), header->dwBufferLength);
        if (n > 0) std::memcpy(header->lpData, chunk.data(), n);
        header->dwBytesRecorded = static_cast<std::uint32_t>(n);
        header->dwFlags |= MHDR_DONE;
        m_bInCallback = true;
        m_callback(kIn, MIM_LONGDATA, m_instance, header);
        m_bInCallback = false;
        return true;
    }

    std::vector<Bytes> frames;
    bool ackNext = false;

  private:
    MidiInProc m_callback = nullptr;
    void* m_instance = nullptr;
    MIDIHDR* m_pQueued = nullptr;
    bool m_bStarted = false;
    bool m_bInCallback = false;
};

/// Whether a reply may move the protocol from `from` to `to`.
bool MayMove(int from, int to) {
    if (from == to) return true;
    if (to == TS_UNEXPECTED)
        return from == TS_CONNECT_WAIT || from == TS_LIST_WAIT || from == TS_HEADER_WAIT ||
               from == TS_DATA_WAIT || from == TS_FETCH_WAIT || from == TS_BLOCK_WAIT ||
               from == TS_DELETE_WAIT;
    switch (from) {
        case TS_CONNECT_WAIT:
            return to >= TS_CONNECT_OK && to <= TS_CONNECT_FAIL;
        case TS_LIST_WAIT:
            return to == TS_LIST_DONE || to == TS_LIST_ORDER;
        case TS_HEADER_WAIT:
            return to >= TS_HEADER_OK && to <= TS_HEADER_FAIL;
        case TS_DATA_WAIT:
            return to >= TS_DATA_OK && to <= TS_DATA_FAIL;
        case TS_FETCH_WAIT:
            return to >= TS_FETCH_OK && to <= TS_FETCH_FAIL;
        case TS_BLOCK_WAIT:
            return to == TS_BLOCK_OK;
        case TS_DELETE_WAIT:
            return to >= TS_DELETE_OK && to <= TS_DELETE_FAIL;
        default:
            return false;
    }
}

std::string CheckFrames(const std::vector<Bytes>& frames, std::size_t& checked) {
    for (; checked < frames.size(); ++checked) {
        const Bytes& f = frames[checked];
        if (f.size() < 2 || f.size() > 48)
            return "a frame of " + std::to_string(f.size()) + " bytes was sent";
        if (f.front() != 0xF0 || f.back() != 0xF7) return "a frame without F0h or F7h was sent";
        for (std::size_t i = 1; i + 1 < f.size(); ++i)
            if (f[i] & 0x80) return "a frame with a status byte inside was sent";
    }
    return "";
}

std::string CheckNames() {
    if (CMidiTrans::s_pDeviceName && CMidiTrans::s_pDeviceName[NAME_BUFFER_SIZE - 1] != 0)
        return "the device name does not end in a NUL";
    if (CMidiTrans::s_pSlotName && CMidiTrans::s_pSlotName[NAME_BUFFER_SIZE - 1] != 0)
        return "the slot name does not end in a NUL";
    return "";
}

std::string Drive(CMidiTrans& trans, SyncMidiPlatform& platform, const std::uint8_t* data,
                  std::size_t size) {
    int state = kStartStates[data[0] % std::size(kStartStates)];
    CMidiTrans::s_nState = state;
    std::size_t pos = 1;
    std::size_t checked = 0;
    while (pos < size) {
        const std::uint8_t flags = data[pos++];
        std::size_t n = pos < size ? data[pos++] : 0;
        if (pos < size) n |= static_cast<std::size_t>(data[pos++]) << 8;
        n = std::min(n & kMaxRecord, size - pos);
        // A copy of its own, so reading past the record is caught.
        const Bytes record(data + pos, data + pos + n);
        pos += n;
        if ((flags & kRestartInput) && !trans.OpenPorts(0, 0)) return "the ports did not open";
        if (flags & kThroughPort) {
            if (!platform.Deliver(record)) return "the input took no chunk";
        } else {
            CMidiTrans::OnReceive(record.data(), static_cast<int>(record.size()));
        }
        const int now = CMidiTrans::s_nState;
        if (!MayMove(state, now))
            return "state " + std::to_string(state) + " became " + std::to_string(now);
        state = now;
        std::string failure = CheckNames();
        if (failure.empty()) failure = CheckFrames(platform.frames, checked);
        if (!failure.empty()) return failure;
    }
    // Whatever came before, the next packet's acknowledgement gets through.
    platform.ackNext = true;
    const std::uint8_t zero = 0;
    Bytes request = CMidiTrans::MakeMessage(CMD_CONNECT, &zero, 1);
    if (!CMidiDevice::Current()->SendSysEx(request.data(), static_cast<int>(request.size())))
        return "the acknowledgement after the input did not arrive";
    return CheckFrames(platform.frames, checked);
}

void ClearSongNames() {
    std::lock_guard<std::mutex> lock(CMidiTrans::s_SongNamesLock);
    CMidiTrans::s_SongNames.clear();
    CMidiTrans::s_SlotFree.clear();
}

}  // namespace

std::string RunReceiveInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return "";
    if (CMidiDevice::Current()) return "the port layer is in use";
    SyncMidiPlatform platform;
    CMidiDevice::SetPlatform(&platform);
    CMidiDevice::GetInstance();
    std::string failure;
    {
        CMidiTrans trans;  // its end releases the port layer and closes the ports
        CMidiDevice::SetReceiveHandler(&CMidiTrans::OnReceive);
        ClearSongNames();
        failure =
            trans.OpenPorts(0, 0) ? Drive(trans, platform, data, size) : "the ports did not open";
        CMidiDevice::SetReceiveHandler(nullptr);
    }
    CMidiDevice::SetPlatform(nullptr);
    CMidiTrans::s_nState = TS_UNEXPECTED;
    ClearSongNames();
    return failure;
}

}  // namespace velnor::fuzz
