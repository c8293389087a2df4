#include "midi/CMidiDevice.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <thread>

#include "common/EventPump.h"
#include "common/Prompter.h"

namespace velnor {

namespace {

using namespace std::chrono_literals;

/// Stands in until the program gives the port layer its platform: no ports,
/// nothing can be opened.
class NoMidiPlatform : public MidiPlatform {
  public:
    unsigned midiInGetNumDevs() override { return 0; }
    unsigned midiOutGetNumDevs() override { return 0; }
    MidiResult midiInGetDevCaps(unsigned, std::string&) override { return MMSYSERR_BADDEVICEID; }
    MidiResult midiOutGetDevCaps(unsigned, std::string&) override { return MMSYSERR_BADDEVICEID; }
    MidiResult midiInOpen(HMIDIIN*, unsigned, MidiInProc, void*) override {
        return MMSYSERR_BADDEVICEID;
    }
    MidiResult midiInPrepareHeader(HMIDIIN, MIDIHDR*) override { return MMSYSERR_INVALHANDLE; }
    MidiResult midiInUnprepareHeader(HMIDIIN, MIDIHDR*) override { return MMSYSERR_INVALHANDLE; }
    MidiResult midiInAddBuffer(HMIDIIN, MIDIHDR*) override { return MMSYSERR_INVALHANDLE; }
    MidiResult midiInStart(HMIDIIN) override { return MMSYSERR_INVALHANDLE; }
    MidiResult midiInStop(HMIDIIN) override { return MMSYSERR_INVALHANDLE; }
    MidiResult midiInReset(HMIDIIN) override { return MMSYSERR_INVALHANDLE; }
    MidiResult midiInClose(HMIDIIN) override { return MMSYSERR_INVALHANDLE; }
    MidiResult midiOutOpen(HMIDIOUT*, unsigned) override { return MMSYSERR_BADDEVICEID; }
    MidiResult midiOutPrepareHeader(HMIDIOUT, MIDIHDR*) override { return MMSYSERR_INVALHANDLE; }
    MidiResult midiOutUnprepareHeader(HMIDIOUT, MIDIHDR*) override { return MMSYSERR_INVALHANDLE; }
    MidiResult midiOutLongMsg(HMIDIOUT, MIDIHDR*) override { return MMSYSERR_INVALHANDLE; }
    MidiResult midiOutReset(HMIDIOUT) override { return MMSYSERR_INVALHANDLE; }
    MidiResult midiOutClose(HMIDIOUT) override { return MMSYSERR_INVALHANDLE; }
};

constexpr int kCloseAttempts = 12;
constexpr auto kClosePause = 10ms;
constexpr auto kUnpreparePause = 5ms;
constexpr int kFirstChunk = 47;
constexpr int kMiddleChunk = 46;
constexpr std::uint8_t kSysExStart = 0xF0;
constexpr std::uint8_t kSysExEnd = 0xF7;

}  // namespace

std::atomic<MidiPlatform*> CMidiDevice::s_pPlatform{nullptr};
std::atomic<CMidiDevice*> CMidiDevice::s_pInstance{nullptr};
int CMidiDevice::s_nUseCount = 0;
std::atomic<HMIDIIN> CMidiDevice::s_hMidiIn{0};
std::atomic<HMIDIOUT> CMidiDevice::s_hMidiOut{0};
MIDIHDR CMidiDevice::s_InHeader;
std::unique_ptr<std::uint8_t[]> CMidiDevice::s_pInBuffer;
std::unique_ptr<SysExAssembler> CMidiDevice::s_pAssembly;
std::atomic<bool> CMidiDevice::s_bInputStopping{false};
std::atomic<MidiReceiveHandler> CMidiDevice::s_pfnReceive{nullptr};
std::atomic<bool> CMidiDevice::s_bAcked{false};
std::atomic<bool> CMidiDevice::s_bProgress{false};
std::atomic<ProgressSink*> CMidiDevice::s_hProgressWnd{nullptr};

bool PumpPendingMessages() {
    return GetEventPump().PumpPendingMessages();
}

void CMidiDevice::SetPlatform(MidiPlatform* platform) {
    s_pPlatform.store(platform, std::memory_order_release);
}

MidiPlatform& CMidiDevice::Platform() {
    static NoMidiPlatform none;
    MidiPlatform* platform = s_pPlatform.load(std::memory_order_acquire);
    return platform ? *platform : none;
}

CMidiDevice::~CMidiDevice() = default;

CMidiDevice* CMidiDevice::GetInstance() {
    if (!s_pInstance.load(std::memory_order_acquire)) {
        s_pInBuffer.reset(new std::uint8_t[SYSEX_BUFFER_SIZE]());
        s_pAssembly = std::make_unique<SysExAssembler>(SYSEX_BUFFER_SIZE);
        s_pInstance.store(new CMidiDevice, std::memory_order_release);
    }
    ++s_nUseCount;
    return s_pInstance.load(std::memory_order_acquire);
}

void CMidiDevice::Release() {
    // Several owners release at shutdown; only the release that brings the
    // count to zero tears down, and the count never goes below zero, so a
    // later GetInstance starts afresh.
    if (s_nUseCount <= 0) return;
    if (--s_nUseCount != 0) return;
    CMidiDevice* device = s_pInstance.load(std::memory_order_acquire);
    if (!device) return;
    device->CloseInput();
    device->CloseOutput();
    s_pInstance.store(nullptr, std::memory_order_release);
    delete device;
    s_pInBuffer.reset();
    s_pAssembly.reset();
}

void CMidiDevice::EnumeratePorts() {
    CloseInput();
    CloseOutput();
    MidiPlatform& platform = Platform();
    // The tables hold MAX_PORTS entries; the counts never exceed them, so a
    // reader of entries 0 to count - 1 stays inside the tables.
    m_nInCount = std::min<unsigned>(platform.midiInGetNumDevs(), MAX_PORTS);
    m_nOutCount = std::min<unsigned>(platform.midiOutGetNumDevs(), MAX_PORTS);
    for (int i = 0; i < MAX_PORTS; ++i) {
        m_InPorts[i] = MidiPortEntry{};
        m_OutPorts[i] = MidiPortEntry{};
    }
    for (unsigned i = 0; i < m_nInCount; ++i) {
        m_InPorts[i].m_nId = static_cast<int>(i);
        platform.midiInGetDevCaps(i, m_InPorts[i].m_strName);
    }
    for (unsigned i = 0; i < m_nOutCount; ++i) {
        m_OutPorts[i].m_nId = static_cast<int>(i);
        platform.midiOutGetDevCaps(i, m_OutPorts[i].m_strName);
    }
}

bool CMidiDevice::OpenInput(int id) {
    HMIDIIN handle = 0;
    if (Platform().midiInOpen(&handle, static_cast<unsigned>(id), &CMidiDevice::MidiInCallback,
                              this) != MMSYSERR_NOERROR)
        return false;
    s_hMidiIn.store(handle);
    m_nInState = PORT_OPEN;
    return true;
}

bool CMidiDevice::OpenOutput(int id) {
    HMIDIOUT handle = 0;
    if (Platform().midiOutOpen(&handle, static_cast<unsigned>(id)) != MMSYSERR_NOERROR)
        return false;
    s_hMidiOut.store(handle);
    m_nOutState = PORT_OPEN;
    return true;
}

bool CMidiDevice::StartInput() {
    if (m_nInState != PORT_OPEN) return false;
    s_InHeader = MIDIHDR{};
    s_InHeader.lpData = s_pInBuffer.get();
    s_InHeader.dwBufferLength = SYSEX_BUFFER_SIZE;
    s_InHeader.dwFlags = 0;
    MidiPlatform& platform = Platform();
    HMIDIIN handle = s_hMidiIn.load();
    // Only one receive buffer is ever queued; the callback hands it back after
    // each chunk. s_bInputStopping is cleared before the start so the first
    // chunk is not ignored. Nothing of a message cut off by an earlier stop
    // stays in front of the first chunk.
    if (s_pAssembly) s_pAssembly->Clear();
    if (platform.midiInPrepareHeader(handle, &s_InHeader) != MMSYSERR_NOERROR) return false;
    if (platform.midiInAddBuffer(handle, &s_InHeader) != MMSYSERR_NOERROR) return false;
    s_bInputStopping = false;
    if (platform.midiInStart(handle) != MMSYSERR_NOERROR) {
        s_bInputStopping = true;
        return false;
    }
    m_nInState = PORT_STARTED;
    return true;
}

bool CMidiDevice::StopInput() {
    MidiPlatform& platform = Platform();
    s_bInputStopping = true;
    if (platform.midiInStop(s_hMidiIn.load()) != MMSYSERR_NOERROR) return false;
    if (platform.midiInReset(s_hMidiIn.load()) != MMSYSERR_NOERROR) return false;
    m_nInState = PORT_OPEN;
    return true;
}

bool CMidiDevice::CloseInput() {
    if (m_nInState == PORT_STARTED && !StopInput()) return false;
    if (m_nInState == PORT_CLOSED) return true;
    MidiPlatform& platform = Platform();
    HMIDIIN handle = s_hMidiIn.load();
    if (platform.midiInUnprepareHeader(handle, &s_InHeader) != MMSYSERR_NOERROR)
        GetPrompter().Show("midiInUnprepareHeader failed");
    MidiResult result = platform.midiInClose(handle);
    for (int attempt = 1; result == MIDIERR_STILLPLAYING; ++attempt) {
        if (attempt == kCloseAttempts) {
            GetPrompter().Show("midiInClose failed");
            return false;
        }
        platform.midiInReset(handle);
        std::this_thread::sleep_for(kClosePause);
        result = platform.midiInClose(handle);
    }
    // Success or any other error: the driver no longer holds the port.
    s_hMidiIn.store(0);
    m_nInState = PORT_CLOSED;
    return true;
}

bool CMidiDevice::CloseOutput() {
    if (m_nOutState != PORT_OPEN) return true;
    MidiPlatform& platform = Platform();
    HMIDIOUT handle = s_hMidiOut.load();
    MidiResult result = platform.midiOutClose(handle);
    for (int attempt = 1; result != MMSYSERR_NOERROR; ++attempt) {
        if (attempt == kCloseAttempts) return false;
        platform.midiOutReset(handle);
        std::this_thread::sleep_for(kClosePause);
        result = platform.midiOutClose(handle);
    }
    s_hMidiOut.store(0);
    m_nOutState = PORT_CLOSED;
    return true;
}

bool CMidiDevice::SendPacket(const std::uint8_t* data, int length) {
    if (!data || length < 1 || length > kFirstChunk) return false;
    std::uint8_t frame[kFirstChunk + 1];
    int size = 0;
    if (length == kFirstChunk) {
        // First piece of a longer message: it already begins with F0h.
        std::memcpy(frame, data, length);
        frame[length] = kSysExEnd;
        size = length + 1;
    } else if (length == kMiddleChunk && data[length - 1] != kSysExEnd) {
        frame[0] = kSysExStart;
        std::memcpy(frame + 1, data, length);
        frame[length + 1] = kSysExEnd;
        size = length + 2;
    } else if (data[0] == kSysExStart) {
        std::memcpy(frame, data, length);
        size = length;
    } else {
        frame[0] = kSysExStart;
        std::memcpy(frame + 1, data, length);
        size = length + 1;
    }
    if (m_nOutState != PORT_OPEN) return false;

    MidiPlatform& platform = Platform();
    HMIDIOUT handle = s_hMidiOut.load();
    MIDIHDR header;
    header.lpData = frame;
    header.dwBufferLength = static_cast<std::uint32_t>(size);
    header.dwFlags = 0;
    if (platform.midiOutPrepareHeader(handle, &header) != MMSYSERR_NOERROR) return false;
    if (platform.midiOutLongMsg(handle, &header) != MMSYSERR_NOERROR) return false;
    // The frame lives on this stack: return only when the driver is done.
    while (platform.midiOutUnprepareHeader(handle, &header) == MIDIERR_STILLPLAYING)
        std::this_thread::sleep_for(kUnpreparePause);
    return true;
}

bool CMidiDevice::WaitForAck() {
    using Clock = EventPump::Clock;
    const auto t0 = Clock::now();
    const auto deadline = t0 + std::chrono::milliseconds(ACK_TIMEOUT_MS + 1);
    for (;;) {
        PumpPendingMessages();
        if (s_bAcked.load(std::memory_order_acquire)) return true;
        auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t0);
        if (static_cast<unsigned long long>(elapsed.count()) > ACK_TIMEOUT_MS) return false;
        GetEventPump().WaitUntil(deadline);
    }
}

bool CMidiDevice::SendSysEx(const std::uint8_t* data, int length) {
    if (length <= 0) return true;
    int offset = 0;
    while (offset < length) {
        int chunk = std::min(length - offset, offset == 0 ? kFirstChunk : kMiddleChunk);
        s_bAcked.store(false, std::memory_order_release);
        if (!SendPacket(data + offset, chunk)) return false;
        if (!WaitForAck()) return false;
        if (s_bProgress.load()) {
            if (ProgressSink* sink = s_hProgressWnd.load()) sink->OnTransferProgress();
        }
        offset += chunk;
    }
    return true;
}

void CMidiDevice::SignalAck() {
    s_bAcked.store(true, std::memory_order_release);
    GetEventPump().Wake();
}

void CMidiDevice::SetReceiveHandler(MidiReceiveHandler handler) {
    s_pfnReceive.store(handler);
}

void CMidiDevice::SetProgressWindow(ProgressSink* sink) {
    s_hProgressWnd.store(sink);
}

void CMidiDevice::EnableProgress(bool enable) {
    s_bProgress.store(enable);
}

void CMidiDevice::MidiInCallback(HMIDIIN handle, unsigned message, void*, MIDIHDR* header) {
    if (message != MIM_LONGDATA || !header) return;
    // While stopping, returned buffers are ignored and not handed back.
    if (s_bInputStopping.load()) return;
    if (s_pAssembly) s_pAssembly->Add(header->lpData, header->dwBytesRecorded, &Deliver, nullptr);
    // Every chunk, appended or dropped, hands the buffer back.
    Platform().midiInAddBuffer(handle, header);
}

void CMidiDevice::Deliver(void*, const std::uint8_t* message, int length) {
    // A complete message, delivered once, whole; dropped without a handler.
    if (MidiReceiveHandler handler = s_pfnReceive.load()) handler(message, length);
}

}  // namespace velnor
