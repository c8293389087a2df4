#include "midi/rtmidi/RtMidiInput.h"

#include <RtMidi.h>

#include <algorithm>

#ifdef VELNOR_HAVE_JACK
#include "midi/rtmidi/JackMidiIn.h"
#endif

namespace velnor {

namespace {
/// Input held while no buffer is queued; more than this is dropped.
constexpr std::size_t kPendingLimit = 64 * 1024;
}  // namespace

RtMidiInPort::RtMidiInPort() = default;

RtMidiInPort::~RtMidiInPort() {
#ifdef VELNOR_HAVE_JACK
    // Our JACK input's thread calls into this port: it ends before the
    // members it uses go.
    if (jack) jack->Close();
#endif
}

void RtMidiInPort::OnMessage(const std::uint8_t* data, std::size_t size) {
    std::unique_lock lock(mutex);
    callbackThread = std::this_thread::get_id();
    if (!started || data == nullptr || size == 0) return;
    // Only System Exclusive data is of use to the port layer.
    if (data[0] != 0xF0 && pending.empty()) return;
    if (pending.size() + size > kPendingLimit) return;
    pending.insert(pending.end(), data, data + size);
    Deliver(lock);
}

void RtMidiInPort::Deliver(std::unique_lock<std::mutex>& lock) {
    while (started && !pending.empty() && !buffers.empty()) {
        MIDIHDR* header = buffers.front();
        buffers.pop_front();
        const std::size_t count = std::min<std::size_t>(pending.size(), header->dwBufferLength);
        std::copy(pending.begin(), pending.begin() + count, header->lpData);
        pending.erase(pending.begin(), pending.begin() + count);
        header->dwBytesRecorded = static_cast<std::uint32_t>(count);
        header->dwFlags = (header->dwFlags & ~MHDR_INQUEUE) | MHDR_DONE;
        inCallback = true;
        lock.unlock();
        callback(handle, MIM_LONGDATA, instance, header);
        lock.lock();
        inCallback = false;
        idle.notify_all();
    }
}

MidiResult RtMidiInPort::AddBuffer(MIDIHDR* header) {
    std::lock_guard lock(mutex);
    if (header->dwFlags & MHDR_INQUEUE) return MMSYSERR_NOERROR;
    header->dwFlags = (header->dwFlags | MHDR_INQUEUE) & ~MHDR_DONE;
    header->dwBytesRecorded = 0;
    buffers.push_back(header);
    return MMSYSERR_NOERROR;
}

MidiResult RtMidiInPort::UnprepareHeader(MIDIHDR* header) {
    std::lock_guard lock(mutex);
    if (header->dwFlags & MHDR_INQUEUE) return MIDIERR_STILLPLAYING;
    header->dwFlags &= ~MHDR_PREPARED;
    return MMSYSERR_NOERROR;
}

void RtMidiInPort::Start() {
    std::lock_guard lock(mutex);
    started = true;
    pending.clear();
}

void RtMidiInPort::Stop(bool reset) {
    std::unique_lock lock(mutex);
    started = false;
    if (std::this_thread::get_id() != callbackThread) {
        idle.wait(lock, [this] { return !inCallback; });
    }
    if (!reset) return;
    for (MIDIHDR* header : buffers) {
        header->dwFlags = (header->dwFlags & ~MHDR_INQUEUE) | MHDR_DONE;
        header->dwBytesRecorded = 0;
    }
    buffers.clear();
    pending.clear();
}

bool RtMidiInPort::Close() {
    {
        std::lock_guard lock(mutex);
        if (!buffers.empty()) return false;
    }
    Stop(false);
    // No callback comes after this: the system's thread has ended.
#ifdef VELNOR_HAVE_JACK
    if (jack) jack->Close();
#endif
    if (midi) {
        midi->cancelCallback();
        midi->closePort();
    }
    return true;
}

}  // namespace velnor
