#pragma once

#include <cstdint>
#include <string>

namespace velnor {

/// Results of the platform calls. 0 means done; the port layer relies on
/// MIDIERR_STILLPLAYING and treats every other value as an error.
using MidiResult = unsigned;
constexpr MidiResult MMSYSERR_NOERROR = 0;
constexpr MidiResult MMSYSERR_ERROR = 1;
constexpr MidiResult MMSYSERR_BADDEVICEID = 2;
constexpr MidiResult MMSYSERR_ALLOCATED = 4;
constexpr MidiResult MMSYSERR_INVALHANDLE = 5;
constexpr MidiResult MMSYSERR_NOMEM = 7;
constexpr MidiResult MMSYSERR_INVALPARAM = 11;
constexpr MidiResult MIDIERR_UNPREPARED = 64;
constexpr MidiResult MIDIERR_STILLPLAYING = 65;
constexpr MidiResult MIDIERR_NOTREADY = 67;

/// Messages of the input callback. The port layer acts on MIM_LONGDATA only.
constexpr unsigned MIM_OPEN = 0x3C1;
constexpr unsigned MIM_CLOSE = 0x3C2;
constexpr unsigned MIM_DATA = 0x3C3;
constexpr unsigned MIM_LONGDATA = 0x3C4;
constexpr unsigned MIM_ERROR = 0x3C5;
constexpr unsigned MIM_LONGERROR = 0x3C6;

/// Header of a System Exclusive buffer lent to the platform, in either
/// direction. On input the platform fills lpData and sets dwBytesRecorded.
struct MIDIHDR {
    std::uint8_t* lpData = nullptr;
    std::uint32_t dwBufferLength = 0;
    std::uint32_t dwBytesRecorded = 0;
    std::uint32_t dwFlags = 0;
};
constexpr std::uint32_t MHDR_DONE = 0x1;
constexpr std::uint32_t MHDR_PREPARED = 0x2;
constexpr std::uint32_t MHDR_INQUEUE = 0x4;

/// An open port; 0 is no port.
using HMIDIIN = std::uintptr_t;
using HMIDIOUT = std::uintptr_t;

/// The input callback. Runs on the platform's MIDI input thread. For
/// MIM_LONGDATA, `header` is the buffer that was queued with midiInAddBuffer,
/// holding dwBytesRecorded bytes; it is no longer queued until it is added
/// again.
using MidiInProc = void (*)(HMIDIIN handle, unsigned message, void* instance, MIDIHDR* header);

/// The multimedia MIDI service the port layer is written against. Backends:
/// RtMidi (real ports), the virtual instrument, the test substitute, and a
/// composite that lists several of them one after another.
///
/// Port identifiers are 0 to count - 1 in each direction. Port names are the
/// product names (at most 31 characters are relied on).
class MidiPlatform {
  public:
    virtual ~MidiPlatform() = default;

    virtual unsigned midiInGetNumDevs() = 0;
    virtual unsigned midiOutGetNumDevs() = 0;
    /// Fills `name` with the product name of input port `id`.
    virtual MidiResult midiInGetDevCaps(unsigned id, std::string& name) = 0;
    virtual MidiResult midiOutGetDevCaps(unsigned id, std::string& name) = 0;

    /// Opens input port `id`; `callback` is called with `instance` for every
    /// message of the port, on the platform's input thread.
    virtual MidiResult midiInOpen(HMIDIIN* handle, unsigned id, MidiInProc callback,
                                  void* instance) = 0;
    virtual MidiResult midiInPrepareHeader(HMIDIIN handle, MIDIHDR* header) = 0;
    virtual MidiResult midiInUnprepareHeader(HMIDIIN handle, MIDIHDR* header) = 0;
    /// Queues `header` to receive System Exclusive data. Callable from the
    /// input callback itself.
    virtual MidiResult midiInAddBuffer(HMIDIIN handle, MIDIHDR* header) = 0;
    virtual MidiResult midiInStart(HMIDIIN handle) = 0;
    virtual MidiResult midiInStop(HMIDIIN handle) = 0;
    /// Stops input and returns every queued buffer (no callback is made for
    /// returned buffers here).
    virtual MidiResult midiInReset(HMIDIIN handle) = 0;
    virtual MidiResult midiInClose(HMIDIIN handle) = 0;

    /// Opens output port `id`, without a callback.
    virtual MidiResult midiOutOpen(HMIDIOUT* handle, unsigned id) = 0;
    virtual MidiResult midiOutPrepareHeader(HMIDIOUT handle, MIDIHDR* header) = 0;
    /// Returns MIDIERR_STILLPLAYING while the platform still sends `header`.
    virtual MidiResult midiOutUnprepareHeader(HMIDIOUT handle, MIDIHDR* header) = 0;
    /// Sends the System Exclusive message in `header` (dwBufferLength bytes).
    /// May be called from the input callback's thread as well.
    virtual MidiResult midiOutLongMsg(HMIDIOUT handle, MIDIHDR* header) = 0;
    virtual MidiResult midiOutReset(HMIDIOUT handle) = 0;
    virtual MidiResult midiOutClose(HMIDIOUT handle) = 0;
};

}  // namespace velnor
