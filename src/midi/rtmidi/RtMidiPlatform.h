#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "midi/MidiPlatform.h"

namespace velnor {

/// The MIDI systems RtMidi may be built with on Linux.
enum class RtMidiSystem { Alsa, Jack };

/// Names "alsa" and "jack"; false for any other text.
bool ParseRtMidiSystem(const std::string& text, RtMidiSystem& system);

/// The computer's real MIDI ports through RtMidi: the ports of every MIDI
/// system RtMidi was built with and that is running, one system after
/// another (ALSA sequencer, then JACK). A system that cannot be reached or
/// has no ports simply lists none. A JACK server is never started by this
/// class.
///
/// Port names are RtMidi's, not cut: ALSA names such as
/// "Midi Through:Midi Through Port-0 14:0" exceed 31 characters and the
/// client:port numbers at their end are what tells two like devices apart.
///
/// Threads: the MidiInProc is called with MIM_LONGDATA on the input's thread
/// (RtMidi's on ALSA, ours on JACK; see RtMidiInPort). midiOutLongMsg sends
/// synchronously, so the header is free again when it returns; the window's
/// thread and the input thread may send at once, and take turns.
///
/// JACK: no client is kept between listings; a server that stops or
/// restarts is noticed and its clients closed before new ones open (see
/// JackClient); a server that does not answer is left out of the listing
/// after kJackAnswerBound.
class RtMidiPlatform : public MidiPlatform {
  public:
    /// Every system RtMidi was built with.
    RtMidiPlatform();
    /// Only the given systems, in this order (tests use it to look at one).
    explicit RtMidiPlatform(std::vector<RtMidiSystem> systems);
    ~RtMidiPlatform() override;
    RtMidiPlatform(const RtMidiPlatform&) = delete;
    RtMidiPlatform& operator=(const RtMidiPlatform&) = delete;

    /// The last error RtMidi reported (for a log or a message; may be empty).
    std::string LastError() const;

    unsigned midiInGetNumDevs() override;
    unsigned midiOutGetNumDevs() override;
    MidiResult midiInGetDevCaps(unsigned id, std::string& name) override;
    MidiResult midiOutGetDevCaps(unsigned id, std::string& name) override;
    MidiResult midiInOpen(HMIDIIN* handle, unsigned id, MidiInProc callback,
                          void* instance) override;
    MidiResult midiInPrepareHeader(HMIDIIN handle, MIDIHDR* header) override;
    MidiResult midiInUnprepareHeader(HMIDIIN handle, MIDIHDR* header) override;
    MidiResult midiInAddBuffer(HMIDIIN handle, MIDIHDR* header) override;
    MidiResult midiInStart(HMIDIIN handle) override;
    MidiResult midiInStop(HMIDIIN handle) override;
    MidiResult midiInReset(HMIDIIN handle) override;
    MidiResult midiInClose(HMIDIIN handle) override;
    MidiResult midiOutOpen(HMIDIOUT* handle, unsigned id) override;
    MidiResult midiOutPrepareHeader(HMIDIOUT handle, MIDIHDR* header) override;
    MidiResult midiOutUnprepareHeader(HMIDIOUT handle, MIDIHDR* header) override;
    MidiResult midiOutLongMsg(HMIDIOUT handle, MIDIHDR* header) override;
    MidiResult midiOutReset(HMIDIOUT handle) override;
    MidiResult midiOutClose(HMIDIOUT handle) override;

    struct Impl;

  private:
    std::unique_ptr<Impl> m_impl;
};

/// A virtual MIDI input and output pair that other programs connect to (for
/// the stand-alone instrument). Messages received are handed to `onMessage`
/// on RtMidi's thread, whole.
///
/// Threads: Send may be called on any thread, also while Open or Close runs
/// on another; it sends only through ports that are wholly open.
class RtMidiVirtualPorts {
  public:
    using Receive = std::function<void(const std::uint8_t* data, std::size_t size)>;

    RtMidiVirtualPorts();
    ~RtMidiVirtualPorts();
    RtMidiVirtualPorts(const RtMidiVirtualPorts&) = delete;
    RtMidiVirtualPorts& operator=(const RtMidiVirtualPorts&) = delete;

    /// Opens both ports named `name` on `system`; false and a message in
    /// `error` when the system is missing or not running.
    bool Open(RtMidiSystem system, const std::string& name, Receive onMessage, std::string& error);
    /// Sends one message on the virtual output; false when it cannot.
    bool Send(const std::uint8_t* data, std::size_t size);
    void Close();
    bool IsOpen() const;

    struct Impl;

  private:
    mutable std::mutex m_mutex;  ///< guards m_impl
    std::unique_ptr<Impl> m_impl;
};

}  // namespace velnor
