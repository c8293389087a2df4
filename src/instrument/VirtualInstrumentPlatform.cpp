#include "instrument/VirtualInstrumentPlatform.h"

#include <algorithm>
#include <cstring>

#ifdef __linux__
#include <sys/prctl.h>
#endif

namespace velnor::instrument {

VirtualInstrumentPlatform::VirtualInstrumentPlatform(InstrumentOptions options, Link link)
    : m_device(std::move(options)), m_link(link), m_epoch(Clock::now()) {
    m_thread = std::thread([this] { Run(); });
}

VirtualInstrumentPlatform::~VirtualInstrumentPlatform() {
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_wake.notify_all();
    m_thread.join();
}

void VirtualInstrumentPlatform::SetLink(Link link) {
    std::lock_guard lock(m_mutex);
    m_link = link;
}

Link VirtualInstrumentPlatform::GetLink() const {
    std::lock_guard lock(m_mutex);
    return m_link;
}

void VirtualInstrumentPlatform::SetFaults(InstrumentFaults faults) {
    std::lock_guard lock(m_mutex);
    m_device.SetFaults(std::move(faults));
}

bool VirtualInstrumentPlatform::SetFaults(const std::string& text, std::string& error) {
    auto faults = ParseFaults(text, error);
    if (!faults) return false;
    SetFaults(std::move(*faults));
    return true;
}

void VirtualInstrumentPlatform::Reset(InstrumentOptions options) {
    std::lock_guard lock(m_mutex);
    m_device.Reset(std::move(options));
    m_inbound.clear();
    m_outbound.clear();
    m_idle.notify_all();
}

std::vector<Bytes> VirtualInstrumentPlatform::PacketsReceived() const {
    std::lock_guard lock(m_mutex);
    return {m_device.PacketsReceived().begin(), m_device.PacketsReceived().end()};
}

std::vector<Bytes> VirtualInstrumentPlatform::MessagesReceived() const {
    std::lock_guard lock(m_mutex);
    return {m_device.MessagesReceived().begin(), m_device.MessagesReceived().end()};
}

std::vector<Bytes> VirtualInstrumentPlatform::MessagesSent() const {
    std::lock_guard lock(m_mutex);
    return {m_device.MessagesSent().begin(), m_device.MessagesSent().end()};
}

std::vector<std::optional<InstrumentSong>> VirtualInstrumentPlatform::Slots() const {
    std::lock_guard lock(m_mutex);
    return m_device.Slots();
}

std::uint32_t VirtualInstrumentPlatform::UsedMemory() const {
    std::lock_guard lock(m_mutex);
    return m_device.UsedMemory();
}

bool VirtualInstrumentPlatform::WaitUntilIdle(std::chrono::milliseconds timeout) {
    std::unique_lock lock(m_mutex);
    return m_idle.wait_for(
        lock, timeout, [this] { return m_inbound.empty() && m_outbound.empty() && !m_inCallback; });
}

// ---- the instrument's thread ----

void VirtualInstrumentPlatform::Run() {
#ifdef __linux__
    // Keep wake-ups close to the link model's deadlines.
    prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
#endif
    std::unique_lock lock(m_mutex);
    m_threadId = std::this_thread::get_id();
    while (!m_stop) {
        ProcessInbound(lock);
        if (DeliverOne(lock)) continue;
        m_idle.notify_all();
        // Only a missing buffer is waited for without a deadline. Whether the
        // next message is due was judged by DeliverOne a moment ago: judged
        // again here, a message that fell due in between was taken for one
        // held by a missing buffer, and slept on until the next packet came
        // in (the reply then arrived with the next dialogue).
        const bool waitForBuffer = !m_outbound.empty() && m_buffers.empty();
        if (m_outbound.empty() || waitForBuffer) {
            m_wake.wait(lock);
        } else {
            m_wake.wait_until(lock, m_outbound.front().due);
        }
    }
}

void VirtualInstrumentPlatform::ProcessInbound(std::unique_lock<std::mutex>&) {
    // The instrument answers a packet as soon as it has arrived; what it sends
    // back queues on the wire towards the program.
    while (!m_inbound.empty()) {
        Inbound packet = std::move(m_inbound.front());
        m_inbound.pop_front();
        const auto replies =
            m_device.ReceivePacket(packet.data.data(), packet.data.size(), packet.arrival);
        const std::size_t split = m_device.Faults().SplitCount();
        for (const Bytes& message : replies) {
            const auto start = std::max(packet.arrival, m_fromInstrumentFree);
            m_fromInstrumentFree = ArrivalTime(m_link, m_epoch, start, message.size());
            const std::size_t chunk = split > 1 ? (message.size() + split - 1) / split : 0;
            m_outbound.push_back({message, m_fromInstrumentFree, 0, chunk});
        }
    }
}

bool VirtualInstrumentPlatform::DeliverOne(std::unique_lock<std::mutex>& lock) {
    if (m_outbound.empty() || m_outbound.front().due > Clock::now()) return false;
    Outbound& message = m_outbound.front();
    if (!m_inOpen || !m_inStarted) {
        m_outbound.pop_front();  // nobody is listening: the message is lost
        return true;
    }
    if (m_buffers.empty()) return false;  // held until a buffer is added
    MIDIHDR* header = m_buffers.front();
    m_buffers.pop_front();
    std::size_t count =
        std::min<std::size_t>(message.data.size() - message.offset, header->dwBufferLength);
    if (message.chunk > 0) count = std::min(count, message.chunk);
    std::memcpy(header->lpData, message.data.data() + message.offset, count);
    header->dwBytesRecorded = static_cast<std::uint32_t>(count);
    header->dwFlags = (header->dwFlags & ~MHDR_INQUEUE) | MHDR_DONE;
    message.offset += count;
    if (message.offset >= message.data.size()) m_outbound.pop_front();

    const MidiInProc callback = m_callback;
    void* instance = m_instance;
    const HMIDIIN handle = m_inHandle;
    m_inCallback = true;
    lock.unlock();
    callback(handle, MIM_LONGDATA, instance, header);
    lock.lock();
    m_inCallback = false;
    m_idle.notify_all();
    return true;
}

void VirtualInstrumentPlatform::WaitForCallbackToEnd(std::unique_lock<std::mutex>& lock) {
    // From inside the callback the caller is the callback: nothing to wait for.
    if (std::this_thread::get_id() == m_threadId) return;
    m_idle.wait(lock, [this] { return !m_inCallback; });
}

// ---- input port ----

MidiResult VirtualInstrumentPlatform::midiInGetDevCaps(unsigned id, std::string& name) {
    if (id != 0) return MMSYSERR_BADDEVICEID;
    name = INSTRUMENT_NAME;
    return MMSYSERR_NOERROR;
}

MidiResult VirtualInstrumentPlatform::midiInOpen(HMIDIIN* handle, unsigned id, MidiInProc callback,
                                                 void* instance) {
    if (id != 0) return MMSYSERR_BADDEVICEID;
    if (handle == nullptr || callback == nullptr) return MMSYSERR_INVALPARAM;
    std::lock_guard lock(m_mutex);
    if (m_inOpen) return MMSYSERR_ALLOCATED;
    m_inOpen = true;
    m_inStarted = false;
    m_inHandle = ++m_nextHandle;
    m_callback = callback;
    m_instance = instance;
    *handle = m_inHandle;
    return MMSYSERR_NOERROR;
}

MidiResult VirtualInstrumentPlatform::midiInPrepareHeader(HMIDIIN handle, MIDIHDR* header) {
    std::lock_guard lock(m_mutex);
    if (!ValidIn(handle)) return MMSYSERR_INVALHANDLE;
    if (header == nullptr || header->lpData == nullptr) return MMSYSERR_INVALPARAM;
    header->dwFlags |= MHDR_PREPARED;
    return MMSYSERR_NOERROR;
}

MidiResult VirtualInstrumentPlatform::midiInUnprepareHeader(HMIDIIN handle, MIDIHDR* header) {
    std::lock_guard lock(m_mutex);
    if (!ValidIn(handle)) return MMSYSERR_INVALHANDLE;
    if (header == nullptr) return MMSYSERR_INVALPARAM;
    if (header->dwFlags & MHDR_INQUEUE) return MIDIERR_STILLPLAYING;
    header->dwFlags &= ~MHDR_PREPARED;
    return MMSYSERR_NOERROR;
}

MidiResult VirtualInstrumentPlatform::midiInAddBuffer(HMIDIIN handle, MIDIHDR* header) {
    {
        std::lock_guard lock(m_mutex);
        if (!ValidIn(handle)) return MMSYSERR_INVALHANDLE;
        if (header == nullptr || header->dwBufferLength == 0) return MMSYSERR_INVALPARAM;
        if (!(header->dwFlags & MHDR_PREPARED)) return MIDIERR_UNPREPARED;
        if (header->dwFlags & MHDR_INQUEUE) return MMSYSERR_NOERROR;
        header->dwFlags = (header->dwFlags | MHDR_INQUEUE) & ~MHDR_DONE;
        header->dwBytesRecorded = 0;
        m_buffers.push_back(header);
    }
    m_wake.notify_all();
    return MMSYSERR_NOERROR;
}

MidiResult VirtualInstrumentPlatform::midiInStart(HMIDIIN handle) {
    {
        std::lock_guard lock(m_mutex);
        if (!ValidIn(handle)) return MMSYSERR_INVALHANDLE;
        m_inStarted = true;
    }
    m_wake.notify_all();
    return MMSYSERR_NOERROR;
}

MidiResult VirtualInstrumentPlatform::midiInStop(HMIDIIN handle) {
    std::unique_lock lock(m_mutex);
    if (!ValidIn(handle)) return MMSYSERR_INVALHANDLE;
    m_inStarted = false;
    WaitForCallbackToEnd(lock);
    return MMSYSERR_NOERROR;
}

MidiResult VirtualInstrumentPlatform::midiInReset(HMIDIIN handle) {
    std::unique_lock lock(m_mutex);
    if (!ValidIn(handle)) return MMSYSERR_INVALHANDLE;
    m_inStarted = false;
    WaitForCallbackToEnd(lock);
    for (MIDIHDR* header : m_buffers) {
        header->dwFlags = (header->dwFlags & ~MHDR_INQUEUE) | MHDR_DONE;
        header->dwBytesRecorded = 0;
    }
    m_buffers.clear();
    return MMSYSERR_NOERROR;
}

MidiResult VirtualInstrumentPlatform::midiInClose(HMIDIIN handle) {
    std::unique_lock lock(m_mutex);
    if (!ValidIn(handle)) return MMSYSERR_INVALHANDLE;
    if (!m_buffers.empty()) return MIDIERR_STILLPLAYING;
    m_inStarted = false;
    WaitForCallbackToEnd(lock);
    m_inOpen = false;
    m_inHandle = 0;
    m_callback = nullptr;
    m_instance = nullptr;
    return MMSYSERR_NOERROR;
}

// ---- output port ----

MidiResult VirtualInstrumentPlatform::midiOutGetDevCaps(unsigned id, std::string& name) {
    if (id != 0) return MMSYSERR_BADDEVICEID;
    name = INSTRUMENT_NAME;
    return MMSYSERR_NOERROR;
}

MidiResult VirtualInstrumentPlatform::midiOutOpen(HMIDIOUT* handle, unsigned id) {
    if (id != 0) return MMSYSERR_BADDEVICEID;
    if (handle == nullptr) return MMSYSERR_INVALPARAM;
    std::lock_guard lock(m_mutex);
    if (m_outOpen) return MMSYSERR_ALLOCATED;
    m_outOpen = true;
    m_outHandle = ++m_nextHandle;
    *handle = m_outHandle;
    return MMSYSERR_NOERROR;
}

MidiResult VirtualInstrumentPlatform::midiOutPrepareHeader(HMIDIOUT handle, MIDIHDR* header) {
    std::lock_guard lock(m_mutex);
    if (!ValidOut(handle)) return MMSYSERR_INVALHANDLE;
    if (header == nullptr || header->lpData == nullptr) return MMSYSERR_INVALPARAM;
    header->dwFlags |= MHDR_PREPARED;
    return MMSYSERR_NOERROR;
}

MidiResult VirtualInstrumentPlatform::midiOutUnprepareHeader(HMIDIOUT handle, MIDIHDR* header) {
    std::lock_guard lock(m_mutex);
    if (!ValidOut(handle)) return MMSYSERR_INVALHANDLE;
    if (header == nullptr) return MMSYSERR_INVALPARAM;
    // The frame was copied when it was sent, so it is never still playing.
    header->dwFlags &= ~MHDR_PREPARED;
    return MMSYSERR_NOERROR;
}

MidiResult VirtualInstrumentPlatform::midiOutLongMsg(HMIDIOUT handle, MIDIHDR* header) {
    {
        std::lock_guard lock(m_mutex);
        if (!ValidOut(handle)) return MMSYSERR_INVALHANDLE;
        if (header == nullptr || header->lpData == nullptr) return MMSYSERR_INVALPARAM;
        if (!(header->dwFlags & MHDR_PREPARED)) return MIDIERR_UNPREPARED;
        const auto now = Clock::now();
        const auto start = std::max(now, m_toInstrumentFree);
        m_toInstrumentFree = ArrivalTime(m_link, m_epoch, start, header->dwBufferLength);
        m_inbound.push_back(
            {Bytes(header->lpData, header->lpData + header->dwBufferLength), m_toInstrumentFree});
        header->dwFlags |= MHDR_DONE;
    }
    m_wake.notify_all();
    return MMSYSERR_NOERROR;
}

MidiResult VirtualInstrumentPlatform::midiOutReset(HMIDIOUT handle) {
    std::lock_guard lock(m_mutex);
    return ValidOut(handle) ? MMSYSERR_NOERROR : MMSYSERR_INVALHANDLE;
}

MidiResult VirtualInstrumentPlatform::midiOutClose(HMIDIOUT handle) {
    std::lock_guard lock(m_mutex);
    if (!ValidOut(handle)) return MMSYSERR_INVALHANDLE;
    m_outOpen = false;
    m_outHandle = 0;
    return MMSYSERR_NOERROR;
}

}  // namespace velnor::instrument
