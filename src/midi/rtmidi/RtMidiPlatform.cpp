// The real ports through RtMidi, with our own JACK input and output and our
// own ALSA output (see RtMidiInput.h, RtMidiOutput.h, JackClient.h).

#include "midi/rtmidi/RtMidiPlatform.h"

#include <RtMidi.h>

#include <algorithm>
#include <map>

#include "midi/rtmidi/RtMidiInput.h"
#include "midi/rtmidi/RtMidiOutput.h"
#include "midi/rtmidi/RtMidiShared.h"

#ifdef _WIN32
#include "midi/rtmidi/WinMmPorts.h"
#endif
#ifdef VELNOR_HAVE_ALSA
#include "midi/rtmidi/AlsaMidiOut.h"
#endif
#ifdef VELNOR_HAVE_JACK
#include "midi/rtmidi/JackGraph.h"
#include "midi/rtmidi/JackMidiIn.h"
#include "midi/rtmidi/JackMidiOut.h"
#endif

namespace velnor {

using namespace rtmidi;

namespace {

/// How long an opening on JACK waits for the process cycles to run with its
/// connection: one or two cycles as a rule, more while they overrun.
constexpr std::chrono::milliseconds kJackConnectTimeout{2000};

/// False when a system has no ports of a direction that RtMidi would warn
/// about on the console.
template <typename Midi>
bool HasPorts([[maybe_unused]] RtMidi::Api api) {
#ifdef _WIN32
    if (api == RtMidi::WINDOWS_MM) {
        return std::is_same_v<Midi, RtMidiIn> ? WinMmInputCount() > 0 : WinMmOutputCount() > 0;
    }
#endif
    return true;
}

struct PortRef {
    RtMidi::Api api;
    unsigned index;
    std::string name;
};

/// The index `ref` has in the listing of `midi`, a new client: ports made
/// since the listing `ref` comes from may stand before it now.
template <typename Midi>
bool FindIndex(Midi& midi, const PortRef& ref, unsigned& index) {
    if (midi.getPortName(ref.index) == ref.name) {
        index = ref.index;
        return true;
    }
    const unsigned count = midi.getPortCount();
    for (unsigned i = 0; i < count; ++i) {
        if (midi.getPortName(i) == ref.name) {
            index = i;
            return true;
        }
    }
    return false;
}

}  // namespace

bool ParseRtMidiSystem(const std::string& text, RtMidiSystem& system) {
    if (text == "alsa") {
        system = RtMidiSystem::Alsa;
        return true;
    }
    if (text == "jack") {
        system = RtMidiSystem::Jack;
        return true;
    }
    return false;
}

struct RtMidiPlatform::Impl {
    std::vector<RtMidi::Api> apis;
    std::vector<PortRef> ins;
    std::vector<PortRef> outs;
    std::map<std::uintptr_t, std::unique_ptr<RtMidiInPort>> inPorts;
    std::map<std::uintptr_t, std::unique_ptr<RtMidiOutPort>> outPorts;
    std::uintptr_t nextHandle = 0x200;
    ErrorSink error;
#ifdef VELNOR_HAVE_JACK
    std::unique_ptr<JackGraph> jackGraph;  ///< made on the first opening on JACK
#endif

    template <typename Midi>
    std::vector<PortRef> List();
    /// Runs `open`, which makes our port `portName` and joins it to `ref`;
    /// on JACK it returns once the process cycles run with the connection,
    /// so that the first message sent is carried.
    template <typename Open>
    MidiResult Joined(const PortRef& ref, const char* portName, Open open);
    MidiResult OpenIn(RtMidiInPort& port, const PortRef& ref);
    MidiResult OpenOut(RtMidiOutPort& port, const PortRef& ref);
    RtMidiInPort* FindIn(HMIDIIN handle) {
        auto it = inPorts.find(handle);
        return it == inPorts.end() ? nullptr : it->second.get();
    }
    RtMidiOutPort* FindOut(HMIDIOUT handle) {
        auto it = outPorts.find(handle);
        return it == outPorts.end() ? nullptr : it->second.get();
    }
};

template <typename Midi>
std::vector<PortRef> RtMidiPlatform::Impl::List() {
    std::vector<PortRef> ports;
    for (RtMidi::Api api : apis) {
#ifdef VELNOR_HAVE_JACK
        if (api == RtMidi::UNIX_JACK) {
            // Our ports receive from the server's senders, and send to its receivers.
            const bool senders = std::is_same_v<Midi, RtMidiIn>;
            for (std::string& name : ListJackMidiPorts(senders)) {
                ports.push_back({api, unsigned(ports.size()), std::move(name)});
            }
            continue;
        }
#endif
        if (api == RtMidi::LINUX_ALSA && !AlsaSequencerPresent()) continue;
        if (!HasPorts<Midi>(api)) continue;
        try {
            // A client for this listing only; none is kept.
            Midi probe(api, kClientName);
            SendErrorsTo(probe, error);
            const unsigned count = probe.getPortCount();
            for (unsigned i = 0; i < count; ++i) ports.push_back({api, i, probe.getPortName(i)});
        } catch (const RtMidiError& e) {
            error.Store(e.getMessage());
        }
    }
    return ports;
}

template <typename Open>
MidiResult RtMidiPlatform::Impl::Joined([[maybe_unused]] const PortRef& ref,
                                        [[maybe_unused]] const char* portName, Open open) {
#ifdef VELNOR_HAVE_JACK
    std::vector<std::string> before;
    if (ref.api == RtMidi::UNIX_JACK) {
        if (!jackGraph || !jackGraph->Valid()) {
            jackGraph.reset();
            auto graph = std::make_shared<std::unique_ptr<JackGraph>>();
            if (RunBounded([graph] { *graph = std::make_unique<JackGraph>(); }, kJackAnswerBound)) {
                jackGraph = std::move(*graph);
            }
        }
        if (!jackGraph || !jackGraph->Valid()) {
            error.Store("The JACK server cannot be reached");
            return MMSYSERR_ERROR;
        }
        before = jackGraph->Connections(ref.name);
    }
#endif
    if (const MidiResult result = open(); result != MMSYSERR_NOERROR) return result;
#ifdef VELNOR_HAVE_JACK
    if (ref.api == RtMidi::UNIX_JACK &&
        !jackGraph->WaitForNewConnection(ref.name, portName, before, kJackConnectTimeout)) {
        error.Store(std::string("JACK did not connect ") + portName + " and " + ref.name +
                    " in time");
        return MMSYSERR_ERROR;
    }
#endif
    return MMSYSERR_NOERROR;
}

MidiResult RtMidiPlatform::Impl::OpenIn(RtMidiInPort& port, const PortRef& ref) {
#ifdef VELNOR_HAVE_JACK
    if (ref.api == RtMidi::UNIX_JACK) {
        AskPipeWireForShortCycles();
        port.jack = std::make_unique<JackMidiIn>(
            [&port](const std::uint8_t* data, std::size_t size) { port.OnMessage(data, size); });
        return Joined(ref, kInPortName, [&] {
            std::string text;
            if (port.jack->Open(kClientName, kInPortName, text) &&
                port.jack->Connect(ref.name, text)) {
                return MMSYSERR_NOERROR;
            }
            error.Store(text);
            return MMSYSERR_ERROR;
        });
    }
#endif
    port.midi = std::make_unique<RtMidiIn>(ref.api, kClientName);
    SendErrorsTo(*port.midi, error);
    port.midi->ignoreTypes(false, true, true);  // System Exclusive is wanted
    port.midi->setCallback(
        [](double, std::vector<unsigned char>* message, void* user) {
            if (message != nullptr) {
                static_cast<RtMidiInPort*>(user)->OnMessage(message->data(), message->size());
            }
        },
        &port);
    unsigned index = 0;
    if (!FindIndex(*port.midi, ref, index)) return MMSYSERR_BADDEVICEID;
    port.midi->openPort(index, kInPortName);
    return port.midi->isPortOpen() ? MMSYSERR_NOERROR : MMSYSERR_ALLOCATED;
}

MidiResult RtMidiPlatform::Impl::OpenOut(RtMidiOutPort& port, const PortRef& ref) {
    std::string text;
#ifdef VELNOR_HAVE_JACK
    if (ref.api == RtMidi::UNIX_JACK) {
        AskPipeWireForShortCycles();
        port.jack = std::make_unique<JackMidiOut>();
        return Joined(ref, kOutPortName, [&] {
            if (port.jack->Open(kClientName, kOutPortName, text) &&
                port.jack->Connect(ref.name, text)) {
                return MMSYSERR_NOERROR;
            }
            error.Store(text);
            return MMSYSERR_ERROR;
        });
    }
#endif
#ifdef VELNOR_HAVE_ALSA
    if (ref.api == RtMidi::LINUX_ALSA) {
        port.alsa = std::make_unique<AlsaMidiOut>();
        if (port.alsa->Open(kClientName, kOutPortName, text) &&
            port.alsa->Connect(ref.name, text)) {
            return MMSYSERR_NOERROR;
        }
        error.Store(text);
        return MMSYSERR_BADDEVICEID;
    }
#endif
    port.midi = std::make_unique<RtMidiOut>(ref.api, kClientName);
    SendErrorsTo(*port.midi, error);
    unsigned index = 0;
    if (!FindIndex(*port.midi, ref, index)) return MMSYSERR_BADDEVICEID;
    port.midi->openPort(index, kOutPortName);
    return port.midi->isPortOpen() ? MMSYSERR_NOERROR : MMSYSERR_ALLOCATED;
}

RtMidiPlatform::RtMidiPlatform() : m_impl(std::make_unique<Impl>()) {
    ForbidJackServerStart();
    std::vector<RtMidi::Api> compiled;
    RtMidi::getCompiledApi(compiled);
    for (RtMidi::Api api : compiled) {
        if (api != RtMidi::RTMIDI_DUMMY && api != RtMidi::UNSPECIFIED) m_impl->apis.push_back(api);
    }
}

RtMidiPlatform::RtMidiPlatform(std::vector<RtMidiSystem> systems)
    : m_impl(std::make_unique<Impl>()) {
    ForbidJackServerStart();
    std::vector<RtMidi::Api> compiled;
    RtMidi::getCompiledApi(compiled);
    for (RtMidiSystem system : systems) {
        const RtMidi::Api api =
            system == RtMidiSystem::Jack ? RtMidi::UNIX_JACK : RtMidi::LINUX_ALSA;
        if (std::find(compiled.begin(), compiled.end(), api) != compiled.end()) {
            m_impl->apis.push_back(api);
        }
    }
}

RtMidiPlatform::~RtMidiPlatform() {
    for (auto& [handle, port] : m_impl->inPorts) {
        port->Stop(true);
        port->Close();
    }
    for (auto& [handle, port] : m_impl->outPorts) port->Close();
}

std::string RtMidiPlatform::LastError() const {
    return m_impl->error.Text();
}

unsigned RtMidiPlatform::midiInGetNumDevs() {
    m_impl->ins = m_impl->List<RtMidiIn>();
    return static_cast<unsigned>(m_impl->ins.size());
}

unsigned RtMidiPlatform::midiOutGetNumDevs() {
    m_impl->outs = m_impl->List<RtMidiOut>();
    return static_cast<unsigned>(m_impl->outs.size());
}

MidiResult RtMidiPlatform::midiInGetDevCaps(unsigned id, std::string& name) {
    if (id >= m_impl->ins.size()) return MMSYSERR_BADDEVICEID;
    name = m_impl->ins[id].name;
    return MMSYSERR_NOERROR;
}

MidiResult RtMidiPlatform::midiOutGetDevCaps(unsigned id, std::string& name) {
    if (id >= m_impl->outs.size()) return MMSYSERR_BADDEVICEID;
    name = m_impl->outs[id].name;
    return MMSYSERR_NOERROR;
}

// ---- input ----

MidiResult RtMidiPlatform::midiInOpen(HMIDIIN* handle, unsigned id, MidiInProc callback,
                                      void* instance) {
    if (id >= m_impl->ins.size()) return MMSYSERR_BADDEVICEID;
    if (handle == nullptr || callback == nullptr) return MMSYSERR_INVALPARAM;
    auto port = std::make_unique<RtMidiInPort>();
    port->callback = callback;
    port->instance = instance;
    port->handle = ++m_impl->nextHandle;
    try {
        const MidiResult result = m_impl->OpenIn(*port, m_impl->ins[id]);
        if (result != MMSYSERR_NOERROR) {
            port->Close();  // its thread ends before the port it calls back goes
            return result;
        }
    } catch (const RtMidiError& e) {
        m_impl->error.Store(e.getMessage());
        port->Close();
        return MMSYSERR_ERROR;
    }
    *handle = port->handle;
    m_impl->inPorts[port->handle] = std::move(port);
    return MMSYSERR_NOERROR;
}

MidiResult RtMidiPlatform::midiInPrepareHeader(HMIDIIN handle, MIDIHDR* header) {
    if (m_impl->FindIn(handle) == nullptr) return MMSYSERR_INVALHANDLE;
    if (header == nullptr || header->lpData == nullptr) return MMSYSERR_INVALPARAM;
    header->dwFlags |= MHDR_PREPARED;
    return MMSYSERR_NOERROR;
}

MidiResult RtMidiPlatform::midiInUnprepareHeader(HMIDIIN handle, MIDIHDR* header) {
    RtMidiInPort* port = m_impl->FindIn(handle);
    if (port == nullptr) return MMSYSERR_INVALHANDLE;
    if (header == nullptr) return MMSYSERR_INVALPARAM;
    return port->UnprepareHeader(header);
}

MidiResult RtMidiPlatform::midiInAddBuffer(HMIDIIN handle, MIDIHDR* header) {
    RtMidiInPort* port = m_impl->FindIn(handle);
    if (port == nullptr) return MMSYSERR_INVALHANDLE;
    if (header == nullptr || header->dwBufferLength == 0) return MMSYSERR_INVALPARAM;
    if (!(header->dwFlags & MHDR_PREPARED)) return MIDIERR_UNPREPARED;
    return port->AddBuffer(header);
}

MidiResult RtMidiPlatform::midiInStart(HMIDIIN handle) {
    RtMidiInPort* port = m_impl->FindIn(handle);
    if (port == nullptr) return MMSYSERR_INVALHANDLE;
    port->Start();
    return MMSYSERR_NOERROR;
}

MidiResult RtMidiPlatform::midiInStop(HMIDIIN handle) {
    RtMidiInPort* port = m_impl->FindIn(handle);
    if (port == nullptr) return MMSYSERR_INVALHANDLE;
    port->Stop(false);
    return MMSYSERR_NOERROR;
}

MidiResult RtMidiPlatform::midiInReset(HMIDIIN handle) {
    RtMidiInPort* port = m_impl->FindIn(handle);
    if (port == nullptr) return MMSYSERR_INVALHANDLE;
    port->Stop(true);
    return MMSYSERR_NOERROR;
}

MidiResult RtMidiPlatform::midiInClose(HMIDIIN handle) {
    RtMidiInPort* port = m_impl->FindIn(handle);
    if (port == nullptr) return MMSYSERR_INVALHANDLE;
    if (!port->Close()) return MIDIERR_STILLPLAYING;
    m_impl->inPorts.erase(handle);
    return MMSYSERR_NOERROR;
}

// ---- output ----

MidiResult RtMidiPlatform::midiOutOpen(HMIDIOUT* handle, unsigned id) {
    if (id >= m_impl->outs.size()) return MMSYSERR_BADDEVICEID;
    if (handle == nullptr) return MMSYSERR_INVALPARAM;
    auto port = std::make_unique<RtMidiOutPort>();
    try {
        if (const MidiResult result = m_impl->OpenOut(*port, m_impl->outs[id]);
            result != MMSYSERR_NOERROR) {
            return result;
        }
    } catch (const RtMidiError& e) {
        m_impl->error.Store(e.getMessage());
        return MMSYSERR_ERROR;
    }
    *handle = ++m_impl->nextHandle;
    m_impl->outPorts[*handle] = std::move(port);
    return MMSYSERR_NOERROR;
}

MidiResult RtMidiPlatform::midiOutPrepareHeader(HMIDIOUT handle, MIDIHDR* header) {
    if (m_impl->FindOut(handle) == nullptr) return MMSYSERR_INVALHANDLE;
    if (header == nullptr || header->lpData == nullptr) return MMSYSERR_INVALPARAM;
    header->dwFlags |= MHDR_PREPARED;
    return MMSYSERR_NOERROR;
}

MidiResult RtMidiPlatform::midiOutUnprepareHeader(HMIDIOUT handle, MIDIHDR* header) {
    if (m_impl->FindOut(handle) == nullptr) return MMSYSERR_INVALHANDLE;
    if (header == nullptr) return MMSYSERR_INVALPARAM;
    header->dwFlags &= ~MHDR_PREPARED;  // sending is synchronous: never still playing
    return MMSYSERR_NOERROR;
}

MidiResult RtMidiPlatform::midiOutLongMsg(HMIDIOUT handle, MIDIHDR* header) {
    RtMidiOutPort* port = m_impl->FindOut(handle);
    if (port == nullptr) return MMSYSERR_INVALHANDLE;
    if (header == nullptr || header->lpData == nullptr) return MMSYSERR_INVALPARAM;
    if (!(header->dwFlags & MHDR_PREPARED)) return MIDIERR_UNPREPARED;
    if (!port->Send(header->lpData, header->dwBufferLength, m_impl->error)) return MMSYSERR_ERROR;
    header->dwFlags |= MHDR_DONE;
    return MMSYSERR_NOERROR;
}

MidiResult RtMidiPlatform::midiOutReset(HMIDIOUT handle) {
    return m_impl->FindOut(handle) ? MMSYSERR_NOERROR : MMSYSERR_INVALHANDLE;
}

MidiResult RtMidiPlatform::midiOutClose(HMIDIOUT handle) {
    RtMidiOutPort* port = m_impl->FindOut(handle);
    if (port == nullptr) return MMSYSERR_INVALHANDLE;
    port->Close();
    m_impl->outPorts.erase(handle);
    return MMSYSERR_NOERROR;
}

}  // namespace velnor
