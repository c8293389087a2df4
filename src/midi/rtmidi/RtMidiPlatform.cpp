// The only file that includes RtMidi.h.

#include "midi/rtmidi/RtMidiPlatform.h"

#include <RtMidi.h>

#include "midi/rtmidi/JackGraph.h"
#ifdef VELNOR_HAVE_JACK
#include "midi/rtmidi/JackMidiOut.h"
#endif

#include <algorithm>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <mutex>
#include <thread>
#include <type_traits>

#ifdef _WIN32
#include "midi/rtmidi/WinMmPorts.h"
#else
#include <unistd.h>
#endif

#ifdef VELNOR_HAVE_JACK
#include <jack/jack.h>
#endif

namespace velnor {

namespace {

constexpr const char* kClientName = "Velnor";
/// Input held while no buffer is queued; more than this is dropped.
constexpr std::size_t kPendingLimit = 64 * 1024;
/// The names our ports have on the MIDI system.
constexpr const char* kInPortName = "Velnor In";
constexpr const char* kOutPortName = "Velnor Out";
/// How long an opening on JACK waits for the process cycles to run with its
/// connection: one or two cycles as a rule, more while they overrun.
constexpr std::chrono::milliseconds kJackConnectTimeout{2000};

RtMidi::Api ToApi(RtMidiSystem system) {
    return system == RtMidiSystem::Jack ? RtMidi::UNIX_JACK : RtMidi::LINUX_ALSA;
}

/// Where RtMidi's complaints go instead of the console.
struct ErrorSink {
    std::mutex mutex;
    std::string text;
    bool failed = false;  ///< an error, not only a warning, was reported
};

void StoreError(RtMidiError::Type type, const std::string& text, void* user) {
    auto* sink = static_cast<ErrorSink*>(user);
    std::lock_guard lock(sink->mutex);
    sink->text = text;
    if (type != RtMidiError::WARNING && type != RtMidiError::DEBUG_WARNING) sink->failed = true;
}

/// JACK must never start a server of its own on our behalf. RtMidi opens its
/// JACK clients with JackNoStartServer; the variable makes sure of it for
/// every JACK client of the process as well.
void ForbidJackServerStart() {
#ifndef _WIN32
    ::setenv("JACK_NO_START_SERVER", "1", 0);
#endif
}

/// Called before a JACK client with a port is opened. PipeWire's JACK
/// library runs a desktop's graph in cycles of 1024 frames (21 ms) unless a
/// client asks for shorter ones, and a request and its reply take a cycle
/// each: a 16-slot list then needs 0.75 s of the 1 s the instrument is given
/// for it, and fails on a busy machine. Asking for JACK's usual 256 frames
/// brings it to 0.2 s. A jackd ignores the request; a value the user set is
/// kept. Only a user of JACK ports asks: programs the window starts inherit
/// the request.
void AskPipeWireForShortCycles() {
#ifndef _WIN32
    ::setenv("PIPEWIRE_LATENCY", "256/48000", 0);
#endif
}

#ifdef VELNOR_HAVE_JACK
/// Where the JACK library's own messages go: nowhere. Without this it prints
/// to the terminal that it cannot connect whenever no server answers.
void DiscardJackMessage(const char*) {}
#endif

/// True when a JACK server answers, found the way JACK clients find one: a
/// client of our own is opened and closed again. This is how JACK servers
/// of every kind are found: jackd, and the JACK library of PipeWire, which
/// has no jackd socket.
bool JackServerRunning() {
#ifdef VELNOR_HAVE_JACK
    static std::once_flag silenced;
    std::call_once(silenced, [] {
        jack_set_error_function(&DiscardJackMessage);
        jack_set_info_function(&DiscardJackMessage);
    });
    jack_status_t status{};
    jack_client_t* client = jack_client_open(kClientName, JackNoStartServer, &status);
    if (client == nullptr) return false;
    jack_client_close(client);
    return true;
#else
    return false;
#endif
}

/// True when the ALSA sequencer device can be opened; without it ALSA
/// would only print that it cannot.
bool AlsaSequencerPresent() {
#ifdef _WIN32
    return false;
#else
    return ::access("/dev/snd/seq", R_OK | W_OK) == 0;
#endif
}

/// False when a system has no ports of a direction that RtMidi would warn
/// about on the console.
template <typename Midi>
bool HasPorts(RtMidi::Api api) {
#ifdef _WIN32
    if (api == RtMidi::WINDOWS_MM) {
        return std::is_same_v<Midi, RtMidiIn> ? WinMmInputCount() > 0 : WinMmOutputCount() > 0;
    }
#endif
    (void)api;
    return true;
}

/// A system worth asking for its ports.
bool SystemAvailable(RtMidi::Api api) {
    if (api == RtMidi::UNIX_JACK) return JackServerRunning();
    if (api == RtMidi::LINUX_ALSA) return AlsaSequencerPresent();
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

struct RtMidiPlatform::InPort {
    std::unique_ptr<RtMidiIn> midi;
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

    static void OnMessage(double, std::vector<unsigned char>* message, void* user);
    void Deliver(std::unique_lock<std::mutex>& lock);
    void WaitForCallback(std::unique_lock<std::mutex>& lock) {
        if (std::this_thread::get_id() == callbackThread) return;
        idle.wait(lock, [this] { return !inCallback; });
    }
};

/// An output: RtMidi's, or on JACK our own (see JackMidiOut).
struct RtMidiPlatform::OutPort {
    std::unique_ptr<RtMidiOut> midi;
#ifdef VELNOR_HAVE_JACK
    std::unique_ptr<JackMidiOut> jack;
#endif
    /// Sends one message; false when it was not taken.
    bool Send(const std::uint8_t* data, std::size_t size, ErrorSink& error);
};

struct RtMidiPlatform::Impl {
    std::vector<RtMidi::Api> apis;
    // One probe client per system lists its ports; a system whose client
    // cannot be made (no ALSA sequencer device, for one) lists none.
    std::map<RtMidi::Api, std::unique_ptr<RtMidiIn>> probeIn;
    std::map<RtMidi::Api, std::unique_ptr<RtMidiOut>> probeOut;
    std::vector<PortRef> ins;
    std::vector<PortRef> outs;
    std::map<std::uintptr_t, std::unique_ptr<InPort>> inPorts;
    std::map<std::uintptr_t, std::unique_ptr<OutPort>> outPorts;
    std::uintptr_t nextHandle = 0x200;
    ErrorSink error;
#ifdef VELNOR_HAVE_JACK
    std::unique_ptr<JackGraph> jackGraph;  ///< made on the first opening on JACK
#endif

    template <typename Midi>
    void Silence(Midi& midi) {
        midi.setErrorCallback(&StoreError, &error);
    }
    template <typename Midi>
    std::vector<PortRef> List(std::map<RtMidi::Api, std::unique_ptr<Midi>>& probes);
    template <typename Midi>
    MidiResult OpenPort(Midi& midi, const PortRef& ref, const char* portName);
    /// Runs `open`, which makes our port `portName` and joins it to `ref`.
    template <typename Open>
    MidiResult Joined(const PortRef& ref, const char* portName, Open open);
    void Fail(const std::string& text) {
        std::lock_guard lock(error.mutex);
        error.text = text;
    }
    InPort* FindIn(HMIDIIN handle) {
        auto it = inPorts.find(handle);
        return it == inPorts.end() ? nullptr : it->second.get();
    }
    OutPort* FindOut(HMIDIOUT handle) {
        auto it = outPorts.find(handle);
        return it == outPorts.end() ? nullptr : it->second.get();
    }
};

template <typename Midi>
std::vector<PortRef> RtMidiPlatform::Impl::List(
    std::map<RtMidi::Api, std::unique_ptr<Midi>>& probes) {
    std::vector<PortRef> ports;
    for (RtMidi::Api api : apis) {
        if (!SystemAvailable(api) || !HasPorts<Midi>(api)) continue;
        try {
            auto& probe = probes[api];
            if (!probe) {
                probe = std::make_unique<Midi>(api, kClientName);
                Silence(*probe);
            }
            const unsigned count = probe->getPortCount();
            for (unsigned i = 0; i < count; ++i) {
                ports.push_back({api, i, probe->getPortName(i)});
            }
        } catch (const RtMidiError& e) {
            std::lock_guard lock(error.mutex);
            error.text = e.getMessage();
        }
    }
    return ports;
}

/// Opens the port `portName` of `midi` joined to `ref`. On JACK it returns
/// once the process cycles run with the connection, so that the first
/// message sent is carried; a connection that does not come in time fails
/// the opening.
template <typename Midi>
MidiResult RtMidiPlatform::Impl::OpenPort(Midi& midi, const PortRef& ref, const char* portName) {
    unsigned index = 0;
    if (!FindIndex(midi, ref, index)) return MMSYSERR_BADDEVICEID;
    return Joined(ref, portName, [&] {
        midi.openPort(index, portName);
        return midi.isPortOpen() ? MMSYSERR_NOERROR : MMSYSERR_ALLOCATED;
    });
}

template <typename Open>
MidiResult RtMidiPlatform::Impl::Joined([[maybe_unused]] const PortRef& ref,
                                        [[maybe_unused]] const char* portName, Open open) {
#ifdef VELNOR_HAVE_JACK
    std::vector<std::string> before;
    if (ref.api == RtMidi::UNIX_JACK) {
        if (!jackGraph || !jackGraph->Valid()) jackGraph = std::make_unique<JackGraph>();
        if (!jackGraph->Valid()) {
            Fail("The JACK server cannot be reached");
            return MMSYSERR_ERROR;
        }
        before = jackGraph->Connections(ref.name);
    }
#endif
    if (const MidiResult result = open(); result != MMSYSERR_NOERROR) return result;
#ifdef VELNOR_HAVE_JACK
    if (ref.api == RtMidi::UNIX_JACK &&
        !jackGraph->WaitForNewConnection(ref.name, portName, before, kJackConnectTimeout)) {
        Fail(std::string("JACK did not connect ") + portName + " and " + ref.name + " in time");
        return MMSYSERR_ERROR;
    }
#endif
    return MMSYSERR_NOERROR;
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
        const RtMidi::Api api = ToApi(system);
        if (std::find(compiled.begin(), compiled.end(), api) != compiled.end()) {
            m_impl->apis.push_back(api);
        }
    }
}

RtMidiPlatform::~RtMidiPlatform() {
    for (auto& [handle, port] : m_impl->inPorts) {
        midiInReset(handle);
        port->midi->cancelCallback();
    }
}

std::string RtMidiPlatform::LastError() const {
    std::lock_guard lock(m_impl->error.mutex);
    return m_impl->error.text;
}

unsigned RtMidiPlatform::midiInGetNumDevs() {
    m_impl->ins = m_impl->List(m_impl->probeIn);
    return static_cast<unsigned>(m_impl->ins.size());
}

unsigned RtMidiPlatform::midiOutGetNumDevs() {
    m_impl->outs = m_impl->List(m_impl->probeOut);
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

void RtMidiPlatform::InPort::OnMessage(double, std::vector<unsigned char>* message, void* user) {
    auto* port = static_cast<InPort*>(user);
    std::unique_lock lock(port->mutex);
    port->callbackThread = std::this_thread::get_id();
    if (!port->started || message == nullptr || message->empty()) return;
    // Only System Exclusive data is of use to the port layer.
    if ((*message)[0] != 0xF0 && port->pending.empty()) return;
    if (port->pending.size() + message->size() > kPendingLimit) return;
    port->pending.insert(port->pending.end(), message->begin(), message->end());
    port->Deliver(lock);
}

void RtMidiPlatform::InPort::Deliver(std::unique_lock<std::mutex>& lock) {
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

MidiResult RtMidiPlatform::midiInOpen(HMIDIIN* handle, unsigned id, MidiInProc callback,
                                      void* instance) {
    if (id >= m_impl->ins.size()) return MMSYSERR_BADDEVICEID;
    if (handle == nullptr || callback == nullptr) return MMSYSERR_INVALPARAM;
    const PortRef& ref = m_impl->ins[id];
    auto port = std::make_unique<InPort>();
    port->callback = callback;
    port->instance = instance;
    port->handle = ++m_impl->nextHandle;
    if (ref.api == RtMidi::UNIX_JACK) AskPipeWireForShortCycles();
    try {
        port->midi = std::make_unique<RtMidiIn>(ref.api, kClientName);
        m_impl->Silence(*port->midi);
        port->midi->ignoreTypes(false, true, true);  // System Exclusive is wanted
        port->midi->setCallback(&InPort::OnMessage, port.get());
        const MidiResult result = m_impl->OpenPort(*port->midi, ref, kInPortName);
        if (result != MMSYSERR_NOERROR) {
            port->midi.reset();  // its thread ends before the port it calls back goes
            return result;
        }
    } catch (const RtMidiError& e) {
        m_impl->Fail(e.getMessage());
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
    InPort* port = m_impl->FindIn(handle);
    if (port == nullptr) return MMSYSERR_INVALHANDLE;
    if (header == nullptr) return MMSYSERR_INVALPARAM;
    std::lock_guard lock(port->mutex);
    if (header->dwFlags & MHDR_INQUEUE) return MIDIERR_STILLPLAYING;
    header->dwFlags &= ~MHDR_PREPARED;
    return MMSYSERR_NOERROR;
}

MidiResult RtMidiPlatform::midiInAddBuffer(HMIDIIN handle, MIDIHDR* header) {
    InPort* port = m_impl->FindIn(handle);
    if (port == nullptr) return MMSYSERR_INVALHANDLE;
    if (header == nullptr || header->dwBufferLength == 0) return MMSYSERR_INVALPARAM;
    if (!(header->dwFlags & MHDR_PREPARED)) return MIDIERR_UNPREPARED;
    std::lock_guard lock(port->mutex);
    if (header->dwFlags & MHDR_INQUEUE) return MMSYSERR_NOERROR;
    header->dwFlags = (header->dwFlags | MHDR_INQUEUE) & ~MHDR_DONE;
    header->dwBytesRecorded = 0;
    port->buffers.push_back(header);
    return MMSYSERR_NOERROR;
}

MidiResult RtMidiPlatform::midiInStart(HMIDIIN handle) {
    InPort* port = m_impl->FindIn(handle);
    if (port == nullptr) return MMSYSERR_INVALHANDLE;
    std::lock_guard lock(port->mutex);
    port->started = true;
    port->pending.clear();
    return MMSYSERR_NOERROR;
}

MidiResult RtMidiPlatform::midiInStop(HMIDIIN handle) {
    InPort* port = m_impl->FindIn(handle);
    if (port == nullptr) return MMSYSERR_INVALHANDLE;
    std::unique_lock lock(port->mutex);
    port->started = false;
    port->WaitForCallback(lock);
    return MMSYSERR_NOERROR;
}

MidiResult RtMidiPlatform::midiInReset(HMIDIIN handle) {
    InPort* port = m_impl->FindIn(handle);
    if (port == nullptr) return MMSYSERR_INVALHANDLE;
    std::unique_lock lock(port->mutex);
    port->started = false;
    port->WaitForCallback(lock);
    for (MIDIHDR* header : port->buffers) {
        header->dwFlags = (header->dwFlags & ~MHDR_INQUEUE) | MHDR_DONE;
        header->dwBytesRecorded = 0;
    }
    port->buffers.clear();
    port->pending.clear();
    return MMSYSERR_NOERROR;
}

MidiResult RtMidiPlatform::midiInClose(HMIDIIN handle) {
    InPort* port = m_impl->FindIn(handle);
    if (port == nullptr) return MMSYSERR_INVALHANDLE;
    {
        std::unique_lock lock(port->mutex);
        if (!port->buffers.empty()) return MIDIERR_STILLPLAYING;
        port->started = false;
        port->WaitForCallback(lock);
    }
    port->midi->cancelCallback();
    port->midi->closePort();
    m_impl->inPorts.erase(handle);
    return MMSYSERR_NOERROR;
}

// ---- output ----

MidiResult RtMidiPlatform::midiOutOpen(HMIDIOUT* handle, unsigned id) {
    if (id >= m_impl->outs.size()) return MMSYSERR_BADDEVICEID;
    if (handle == nullptr) return MMSYSERR_INVALPARAM;
    const PortRef& ref = m_impl->outs[id];
    auto port = std::make_unique<OutPort>();
    try {
        MidiResult result = MMSYSERR_NOERROR;
#ifdef VELNOR_HAVE_JACK
        if (ref.api == RtMidi::UNIX_JACK) {
            AskPipeWireForShortCycles();
            port->jack = std::make_unique<JackMidiOut>();
            result = m_impl->Joined(ref, kOutPortName, [&] {
                std::string error;
                if (port->jack->Open(kClientName, kOutPortName, error) &&
                    port->jack->Connect(ref.name, error)) {
                    return MMSYSERR_NOERROR;
                }
                m_impl->Fail(error);
                return MMSYSERR_ERROR;
            });
        } else
#endif
        {
            port->midi = std::make_unique<RtMidiOut>(ref.api, kClientName);
            m_impl->Silence(*port->midi);
            result = m_impl->OpenPort(*port->midi, ref, kOutPortName);
        }
        if (result != MMSYSERR_NOERROR) return result;
    } catch (const RtMidiError& e) {
        m_impl->Fail(e.getMessage());
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
    OutPort* port = m_impl->FindOut(handle);
    if (port == nullptr) return MMSYSERR_INVALHANDLE;
    if (header == nullptr || header->lpData == nullptr) return MMSYSERR_INVALPARAM;
    if (!(header->dwFlags & MHDR_PREPARED)) return MIDIERR_UNPREPARED;
    if (!port->Send(header->lpData, header->dwBufferLength, m_impl->error)) {
        return MMSYSERR_ERROR;
    }
    header->dwFlags |= MHDR_DONE;
    return MMSYSERR_NOERROR;
}

bool RtMidiPlatform::OutPort::Send(const std::uint8_t* data, std::size_t size, ErrorSink& error) {
#ifdef VELNOR_HAVE_JACK
    if (jack) {
        if (jack->Send(data, size)) return true;
        std::lock_guard lock(error.mutex);
        error.text = "The JACK output is full";
        return false;
    }
#endif
    try {
        midi->sendMessage(data, size);
    } catch (const RtMidiError& e) {
        std::lock_guard lock(error.mutex);
        error.text = e.getMessage();
        return false;
    }
    return true;
}

MidiResult RtMidiPlatform::midiOutReset(HMIDIOUT handle) {
    return m_impl->FindOut(handle) ? MMSYSERR_NOERROR : MMSYSERR_INVALHANDLE;
}

MidiResult RtMidiPlatform::midiOutClose(HMIDIOUT handle) {
    OutPort* port = m_impl->FindOut(handle);
    if (port == nullptr) return MMSYSERR_INVALHANDLE;
    if (port->midi) port->midi->closePort();
    m_impl->outPorts.erase(handle);
    return MMSYSERR_NOERROR;
}

// ---- virtual ports ----

struct RtMidiVirtualPorts::Impl {
    std::unique_ptr<RtMidiIn> in;
    RtMidiPlatform::OutPort out;
    Receive receive;
    ErrorSink error;

    static void OnMessage(double, std::vector<unsigned char>* message, void* user) {
        auto* self = static_cast<Impl*>(user);
        if (message != nullptr && !message->empty())
            self->receive(message->data(), message->size());
    }
};

RtMidiVirtualPorts::RtMidiVirtualPorts() = default;
RtMidiVirtualPorts::~RtMidiVirtualPorts() {
    Close();
}

bool RtMidiVirtualPorts::Open(RtMidiSystem system, const std::string& name, Receive onMessage,
                              std::string& error) {
    Close();
    ForbidJackServerStart();
    if (!SystemAvailable(ToApi(system))) {
        error = system == RtMidiSystem::Jack ? "The JACK server is not running"
                                             : "The ALSA sequencer is not available";
        return false;
    }
    if (system == RtMidiSystem::Jack) AskPipeWireForShortCycles();
    auto impl = std::make_unique<Impl>();
    impl->receive = std::move(onMessage);
    try {
        impl->in = std::make_unique<RtMidiIn>(ToApi(system), name);
        impl->in->setErrorCallback(&StoreError, &impl->error);
        impl->in->ignoreTypes(false, true, true);
        impl->in->setCallback(&Impl::OnMessage, impl.get());
        impl->in->openVirtualPort(name);
#ifdef VELNOR_HAVE_JACK
        if (system == RtMidiSystem::Jack) {
            impl->out.jack = std::make_unique<JackMidiOut>();
            if (!impl->out.jack->Open(name, name, error)) {
                impl->in->cancelCallback();
                return false;
            }
        } else
#endif
        {
            impl->out.midi = std::make_unique<RtMidiOut>(ToApi(system), name);
            impl->out.midi->setErrorCallback(&StoreError, &impl->error);
            impl->out.midi->openVirtualPort(name);
        }
    } catch (const RtMidiError& e) {
        error = e.getMessage();
        return false;
    }
    // Some failures come through the error callback rather than a throw.
    {
        std::lock_guard lock(impl->error.mutex);
        if (impl->error.failed) {
            error = impl->error.text;
            impl->in->cancelCallback();
            return false;
        }
    }
    // Only ports that are wholly open are seen by Send.
    std::lock_guard lock(m_mutex);
    m_impl = std::move(impl);
    return true;
}

bool RtMidiVirtualPorts::Send(const std::uint8_t* data, std::size_t size) {
    std::lock_guard lock(m_mutex);
    if (!m_impl) return false;
    return m_impl->out.Send(data, size, m_impl->error);
}

void RtMidiVirtualPorts::Close() {
    std::unique_ptr<Impl> impl;
    {
        // Waits for a Send under way; none comes after.
        std::lock_guard lock(m_mutex);
        impl = std::move(m_impl);
    }
    if (!impl) return;
    // Outside the lock: a message still arriving may be answered (and the
    // answer dropped) while the ports close.
    impl->in->cancelCallback();
    impl->in->closePort();
    if (impl->out.midi) impl->out.midi->closePort();
}

bool RtMidiVirtualPorts::IsOpen() const {
    std::lock_guard lock(m_mutex);
    return m_impl != nullptr;
}

}  // namespace velnor
