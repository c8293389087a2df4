#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>

#include "midi/MidiPlatform.h"

class RtMidiIn;

namespace velnor {

class JackMidiIn;

/// One open input port: the buffers the port layer lends (midiInAddBuffer),
/// and the System Exclusive data that arrives, copied into them in
/// buffer-sized chunks and handed to the MidiInProc with MIM_LONGDATA. The
/// data comes from RtMidi's input thread (ALSA, WinMM) or from our JACK
/// input's thread, never from JACK's process thread. Data that finds no
/// buffer queued waits until a buffer is added within a callback or until
/// more data arrives.
struct RtMidiInPort {
    RtMidiInPort();
    ~RtMidiInPort();

    std::unique_ptr<RtMidiIn> midi;  ///< ALSA, WinMM
#ifdef VELNOR_HAVE_JACK
    std::unique_ptr<JackMidiIn> jack;
#endif
    MidiInProc callback = nullptr;
    void* instance = nullptr;
    HMIDIIN handle = 0;

    std::mutex mutex;
    std::condition_variable idle;
    std::deque<MIDIHDR*> buffers;
    std::deque<std::uint8_t> pending;
    bool started = false;
    bool inCallback = false;
    std::thread::id callbackThread;

    /// One whole message from the MIDI system (the input thread).
    void OnMessage(const std::uint8_t* data, std::size_t size);
    MidiResult AddBuffer(MIDIHDR* header);
    MidiResult UnprepareHeader(MIDIHDR* header);
    void Start();
    /// Stops delivery and waits for a callback under way (unless called from
    /// within it); with `reset`, every queued buffer is handed back.
    void Stop(bool reset);
    /// False while buffers are queued.
    bool Close();

  private:
    void Deliver(std::unique_lock<std::mutex>& lock);
};

}  // namespace velnor
