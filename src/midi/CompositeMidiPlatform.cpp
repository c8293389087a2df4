#include "midi/CompositeMidiPlatform.h"

namespace velnor {

CompositeMidiPlatform::~CompositeMidiPlatform() {
    // Close what the caller left open so that no callback outlives its entry.
    for (auto& [outer, port] : m_inputs) {
        port->platform->midiInReset(port->inner);
        port->platform->midiInClose(port->inner);
    }
    for (auto& [outer, port] : m_outputs) port->platform->midiOutClose(port->inner);
}

void CompositeMidiPlatform::Add(MidiPlatform& platform) {
    m_platforms.push_back(&platform);
}

void CompositeMidiPlatform::Add(std::unique_ptr<MidiPlatform> platform) {
    m_platforms.push_back(platform.get());
    m_owned.push_back(std::move(platform));
}

unsigned CompositeMidiPlatform::midiInGetNumDevs() {
    unsigned count = 0;
    for (MidiPlatform* p : m_platforms) count += p->midiInGetNumDevs();
    return count;
}

unsigned CompositeMidiPlatform::midiOutGetNumDevs() {
    unsigned count = 0;
    for (MidiPlatform* p : m_platforms) count += p->midiOutGetNumDevs();
    return count;
}

MidiPlatform* CompositeMidiPlatform::Locate(unsigned id, bool input, unsigned& localId) {
    for (MidiPlatform* p : m_platforms) {
        const unsigned count = input ? p->midiInGetNumDevs() : p->midiOutGetNumDevs();
        if (id < count) {
            localId = id;
            return p;
        }
        id -= count;
    }
    return nullptr;
}

const MidiPlatform* CompositeMidiPlatform::PortOwner(unsigned id, bool input) {
    unsigned local = 0;
    return Locate(id, input, local);
}

CompositeMidiPlatform::OpenPort* CompositeMidiPlatform::Find(
    const std::map<std::uintptr_t, std::unique_ptr<OpenPort>>& ports, std::uintptr_t handle) {
    std::lock_guard lock(m_mutex);
    const auto it = ports.find(handle);
    return it == ports.end() ? nullptr : it->second.get();
}

MidiResult CompositeMidiPlatform::midiInGetDevCaps(unsigned id, std::string& name) {
    unsigned local = 0;
    MidiPlatform* p = Locate(id, true, local);
    return p ? p->midiInGetDevCaps(local, name) : MMSYSERR_BADDEVICEID;
}

MidiResult CompositeMidiPlatform::midiOutGetDevCaps(unsigned id, std::string& name) {
    unsigned local = 0;
    MidiPlatform* p = Locate(id, false, local);
    return p ? p->midiOutGetDevCaps(local, name) : MMSYSERR_BADDEVICEID;
}

void CompositeMidiPlatform::ForwardInput(HMIDIIN, unsigned message, void* instance,
                                         MIDIHDR* header) {
    const auto* port = static_cast<const OpenPort*>(instance);
    port->callback(port->outer, message, port->instance, header);
}

MidiResult CompositeMidiPlatform::midiInOpen(HMIDIIN* handle, unsigned id, MidiInProc callback,
                                             void* instance) {
    unsigned local = 0;
    MidiPlatform* p = Locate(id, true, local);
    if (p == nullptr) return MMSYSERR_BADDEVICEID;
    if (handle == nullptr || callback == nullptr) return MMSYSERR_INVALPARAM;
    auto port = std::make_unique<OpenPort>();
    port->platform = p;
    port->callback = callback;
    port->instance = instance;
    {
        std::lock_guard lock(m_mutex);
        port->outer = ++m_nextHandle;
    }
    // The entry is complete before the platform can call back through it.
    const MidiResult result = p->midiInOpen(&port->inner, local, &ForwardInput, port.get());
    if (result != MMSYSERR_NOERROR) return result;
    *handle = port->outer;
    std::lock_guard lock(m_mutex);
    m_inputs[port->outer] = std::move(port);
    return MMSYSERR_NOERROR;
}

#define VELNOR_FORWARD_IN(call)                       \
    OpenPort* port = Find(m_inputs, handle);          \
    if (port == nullptr) return MMSYSERR_INVALHANDLE; \
    return port->platform->call

MidiResult CompositeMidiPlatform::midiInPrepareHeader(HMIDIIN handle, MIDIHDR* header) {
    VELNOR_FORWARD_IN(midiInPrepareHeader(port->inner, header));
}
MidiResult CompositeMidiPlatform::midiInUnprepareHeader(HMIDIIN handle, MIDIHDR* header) {
    VELNOR_FORWARD_IN(midiInUnprepareHeader(port->inner, header));
}
MidiResult CompositeMidiPlatform::midiInAddBuffer(HMIDIIN handle, MIDIHDR* header) {
    VELNOR_FORWARD_IN(midiInAddBuffer(port->inner, header));
}
MidiResult CompositeMidiPlatform::midiInStart(HMIDIIN handle) {
    VELNOR_FORWARD_IN(midiInStart(port->inner));
}
MidiResult CompositeMidiPlatform::midiInStop(HMIDIIN handle) {
    VELNOR_FORWARD_IN(midiInStop(port->inner));
}
MidiResult CompositeMidiPlatform::midiInReset(HMIDIIN handle) {
    VELNOR_FORWARD_IN(midiInReset(port->inner));
}

MidiResult CompositeMidiPlatform::midiInClose(HMIDIIN handle) {
    OpenPort* port = Find(m_inputs, handle);
    if (port == nullptr) return MMSYSERR_INVALHANDLE;
    const MidiResult result = port->platform->midiInClose(port->inner);
    // A port still busy stays open; any other result counts as closed.
    if (result != MIDIERR_STILLPLAYING) {
        std::lock_guard lock(m_mutex);
        m_inputs.erase(handle);
    }
    return result;
}

MidiResult CompositeMidiPlatform::midiOutOpen(HMIDIOUT* handle, unsigned id) {
    unsigned local = 0;
    MidiPlatform* p = Locate(id, false, local);
    if (p == nullptr) return MMSYSERR_BADDEVICEID;
    if (handle == nullptr) return MMSYSERR_INVALPARAM;
    auto port = std::make_unique<OpenPort>();
    port->platform = p;
    const MidiResult result = p->midiOutOpen(&port->inner, local);
    if (result != MMSYSERR_NOERROR) return result;
    std::lock_guard lock(m_mutex);
    port->outer = ++m_nextHandle;
    *handle = port->outer;
    m_outputs[port->outer] = std::move(port);
    return MMSYSERR_NOERROR;
}

#define VELNOR_FORWARD_OUT(call)                      \
    OpenPort* port = Find(m_outputs, handle);         \
    if (port == nullptr) return MMSYSERR_INVALHANDLE; \
    return port->platform->call

MidiResult CompositeMidiPlatform::midiOutPrepareHeader(HMIDIOUT handle, MIDIHDR* header) {
    VELNOR_FORWARD_OUT(midiOutPrepareHeader(port->inner, header));
}
MidiResult CompositeMidiPlatform::midiOutUnprepareHeader(HMIDIOUT handle, MIDIHDR* header) {
    VELNOR_FORWARD_OUT(midiOutUnprepareHeader(port->inner, header));
}
MidiResult CompositeMidiPlatform::midiOutLongMsg(HMIDIOUT handle, MIDIHDR* header) {
    VELNOR_FORWARD_OUT(midiOutLongMsg(port->inner, header));
}
MidiResult CompositeMidiPlatform::midiOutReset(HMIDIOUT handle) {
    VELNOR_FORWARD_OUT(midiOutReset(port->inner));
}

MidiResult CompositeMidiPlatform::midiOutClose(HMIDIOUT handle) {
    OpenPort* port = Find(m_outputs, handle);
    if (port == nullptr) return MMSYSERR_INVALHANDLE;
    const MidiResult result = port->platform->midiOutClose(port->inner);
    if (result == MMSYSERR_NOERROR) {
        std::lock_guard lock(m_mutex);
        m_outputs.erase(handle);
    }
    return result;
}

}  // namespace velnor
