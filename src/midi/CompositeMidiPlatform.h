#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "midi/MidiPlatform.h"

namespace velnor {

/// Lists the ports of several platforms one after another and forwards every
/// call to the platform that owns the port or handle. Port identifiers are
/// renumbered: the ports of the first platform come first. The program puts
/// the real ports first and the virtual instrument last.
///
/// Handles given out are the composite's own, so that two platforms may use
/// the same handle values; the input callback receives the composite handle.
class CompositeMidiPlatform : public MidiPlatform {
  public:
    CompositeMidiPlatform() = default;
    ~CompositeMidiPlatform() override;
    CompositeMidiPlatform(const CompositeMidiPlatform&) = delete;
    CompositeMidiPlatform& operator=(const CompositeMidiPlatform&) = delete;

    /// Appends a platform that outlives the composite.
    void Add(MidiPlatform& platform);
    /// Appends a platform the composite owns.
    void Add(std::unique_ptr<MidiPlatform> platform);

    /// The platform that owns input (or output) port `id`; null when none does.
    const MidiPlatform* PortOwner(unsigned id, bool input);

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

  private:
    /// An open port: which platform, its own handle there, and for inputs the
    /// caller's callback (the entry is the instance of the forwarding callback).
    struct OpenPort {
        MidiPlatform* platform = nullptr;
        std::uintptr_t inner = 0;
        std::uintptr_t outer = 0;
        MidiInProc callback = nullptr;
        void* instance = nullptr;
    };

    static void ForwardInput(HMIDIIN handle, unsigned message, void* instance, MIDIHDR* header);
    /// The platform owning port `id` of a direction, and the id there.
    MidiPlatform* Locate(unsigned id, bool input, unsigned& localId);
    OpenPort* Find(const std::map<std::uintptr_t, std::unique_ptr<OpenPort>>& ports,
                   std::uintptr_t handle);

    std::vector<MidiPlatform*> m_platforms;
    std::vector<std::unique_ptr<MidiPlatform>> m_owned;
    std::mutex m_mutex;  ///< guards the two maps and the handle counter
    std::map<std::uintptr_t, std::unique_ptr<OpenPort>> m_inputs;
    std::map<std::uintptr_t, std::unique_ptr<OpenPort>> m_outputs;
    std::uintptr_t m_nextHandle = 0x100;
};

}  // namespace velnor
