// The search for the instrument among the system's ports. Run and its waits
// run on the caller's thread; OnInput and Judge on the platform's input
// threads, which hand each complete message over under m_mutex and wake the
// waiter through the EventPump.

#include "midi/InstrumentSearch.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <set>
#include <thread>

#include "common/EventPump.h"
#include "common/Utf8Text.h"
#include "midi/CMidiDevice.h"
#include "midi/CMidiTrans.h"
#include "midi/CompositeMidiPlatform.h"
#include "midi/SysExAssembler.h"

namespace velnor {

namespace {

using namespace std::chrono_literals;

constexpr std::uint8_t kHeader[8] = {0xF0, 0x00, 0x1E, 0x2D, 0x55, 0x52, 0x53, 0x57};
constexpr int kAckLength = 10;
constexpr int kCloseAttempts = 12;
constexpr auto kClosePause = 10ms;
constexpr auto kUnpreparePause = 5ms;

std::vector<SearchPort> ListPorts(MidiPlatform& platform, bool input, const MidiPlatform* leftOut) {
    auto* composite = dynamic_cast<CompositeMidiPlatform*>(&platform);
    std::vector<SearchPort> ports;
    if (&platform == leftOut) return ports;
    const unsigned count = input ? platform.midiInGetNumDevs() : platform.midiOutGetNumDevs();
    for (unsigned id = 0; id < count; ++id) {
        if (composite && leftOut && composite->PortOwner(id, input) == leftOut) continue;
        SearchPort port{id, {}};
        const MidiResult result = input ? platform.midiInGetDevCaps(id, port.name)
                                        : platform.midiOutGetDevCaps(id, port.name);
        if (result == MMSYSERR_NOERROR) ports.push_back(std::move(port));
    }
    return ports;
}

bool IsAck(const std::uint8_t* message, int length) {
    return length == kAckLength && std::memcmp(message, kHeader, sizeof kHeader) == 0 &&
           message[MSG_COMMAND] == CMD_ACK;
}

/// The decoded payload byte `i` of `message`.
std::uint8_t PayloadByte(const std::uint8_t* message, int i) {
    return static_cast<std::uint8_t>(message[MSG_PAYLOAD + 2 * i] |
                                     (message[MSG_PAYLOAD + 2 * i + 1] << 7));
}

/// The device's name from a connect reply with status 0, cut as Connect cuts
/// it; nothing for any other message.
std::optional<std::string> ConnectAnswer(const std::uint8_t* message, int length) {
    if (!CMidiTrans::IsIntact(message, length) || message[MSG_COMMAND] != CMD_CONNECT)
        return std::nullopt;
    const int payload = (length - MSG_OVERHEAD) / 2;
    // Status, a byte not read, the name's length: without them there is no name.
    if (payload < 3 || PayloadByte(message, 0) != ST_OK) return std::nullopt;
    const int n =
        std::min({static_cast<int>(PayloadByte(message, 2)), payload - 3, NAME_BUFFER_SIZE - 1});
    std::string name;
    for (int i = 0; i < n; ++i) name.push_back(static_cast<char>(PayloadByte(message, 3 + i)));
    return NameAsUtf8(name.c_str());
}

}  // namespace

namespace {
std::atomic<const MidiPlatform*> s_pBuiltIn{nullptr};
}  // namespace

void SetBuiltInInstrument(const MidiPlatform* platform) {
    s_pBuiltIn.store(platform);
}

const MidiPlatform* BuiltInInstrument() {
    return s_pBuiltIn.load();
}

SearchPorts PortsToSearch(MidiPlatform& platform, const MidiPlatform* leftOut) {
    return SearchPorts{ListPorts(platform, true, leftOut), ListPorts(platform, false, leftOut)};
}

std::string PortDeviceName(const std::string& portName) {
    const std::size_t colon = portName.find(':');
    if (colon == std::string::npos) return portName;
    std::string device = portName.substr(0, colon);
    // JACK tells a second client of one name apart by "-01", "-02", ...: the
    // two clients of one device may carry the name with and without it.
    const std::size_t dash = device.rfind('-');
    if (dash != std::string::npos && dash + 1 < device.size() &&
        device.find_first_not_of("0123456789", dash + 1) == std::string::npos)
        device.erase(dash);
    const std::string rest = portName.substr(colon + 1);
    for (const char* direction : {" (capture)", " (playback)"}) {
        const std::size_t at = rest.find(direction);
        if (at != std::string::npos && rest.find(':') > at)
            return device + ":" + rest.substr(0, at);
    }
    return device;
}

std::vector<SearchPort> OutputsInTryOrder(const SearchPorts& ports) {
    std::set<std::string> devices;
    for (const SearchPort& in : ports.inputs) devices.insert(PortDeviceName(in.name));
    std::vector<SearchPort> order = ports.outputs;
    std::stable_sort(order.begin(), order.end(),
                     [](const SearchPort& a, const SearchPort& b) { return a.id < b.id; });
    std::stable_partition(order.begin(), order.end(), [&](const SearchPort& out) {
        return devices.count(PortDeviceName(out.name)) != 0;
    });
    return order;
}

/// One input the search listens on, with its own receive buffer and message
/// assembly; the instance of its callback.
struct CInstrumentSearch::Listener {
    CInstrumentSearch* owner = nullptr;
    std::size_t index = 0;
    HMIDIIN handle = 0;
    MIDIHDR header;
    std::unique_ptr<std::uint8_t[]> buffer{new std::uint8_t[SYSEX_BUFFER_SIZE]()};
    SysExAssembler assembly{SYSEX_BUFFER_SIZE};
    bool prepared = false;
    std::atomic<bool> stopping{false};
};

CInstrumentSearch::CInstrumentSearch(MidiPlatform& platform)
    : m_platform(platform), m_request([] {
          const std::uint8_t zero = 0;
          return CMidiTrans::MakeMessage(CMD_CONNECT, &zero, 1);
      }()) {}

CInstrumentSearch::~CInstrumentSearch() {
    for (auto& listener : m_listeners) CloseListener(*listener);
}

void CInstrumentSearch::Cancel() {
    m_bCancelled.store(true, std::memory_order_release);
    GetEventPump().Wake();
}

std::vector<FoundInstrument> CInstrumentSearch::Run(const SearchPorts& ports, bool bFirstOnly) {
    std::vector<FoundInstrument> found;
    if (Cancelled()) return found;
    OpenListeners(ports.inputs);
    // With nothing to listen on no answer could be heard: nothing is sent.
    if (!m_listeners.empty()) {
        for (const SearchPort& output : OutputsInTryOrder(ports)) {
            if (Cancelled()) break;
            TryOutput(output, found);
            if (bFirstOnly && !found.empty()) break;
        }
    }
    for (auto& listener : m_listeners) CloseListener(*listener);
    m_listeners.clear();
    m_inputPorts.clear();
    return found;
}

std::optional<unsigned> CInstrumentSearch::Resolve(const SearchPort& port, bool input) {
    std::string name;
    const MidiResult result = input ? m_platform.midiInGetDevCaps(port.id, name)
                                    : m_platform.midiOutGetDevCaps(port.id, name);
    if (result == MMSYSERR_NOERROR && name == port.name) return port.id;
    // Ports made since the listing stand after the ones it had on JACK and
    // ALSA; anything else moved is not tried.
    return std::nullopt;
}

void CInstrumentSearch::OpenListeners(const std::vector<SearchPort>& inputs) {
    for (const SearchPort& port : inputs) {
        const std::optional<unsigned> id = Resolve(port, true);
        if (!id) continue;
        auto listener = std::make_unique<Listener>();
        listener->owner = this;
        listener->index = m_listeners.size();
        if (m_platform.midiInOpen(&listener->handle, *id, &CInstrumentSearch::OnInput,
                                  listener.get()) != MMSYSERR_NOERROR)
            continue;
        {
            std::lock_guard lock(m_mutex);
            m_acked.push_back(false);
            m_answers.emplace_back();
        }
        listener->header.lpData = listener->buffer.get();
        listener->header.dwBufferLength = SYSEX_BUFFER_SIZE;
        Listener& l = *listener;
        m_listeners.push_back(std::move(listener));
        m_inputPorts.push_back(port);
        l.prepared = m_platform.midiInPrepareHeader(l.handle, &l.header) == MMSYSERR_NOERROR;
        if (!l.prepared || m_platform.midiInAddBuffer(l.handle, &l.header) != MMSYSERR_NOERROR ||
            m_platform.midiInStart(l.handle) != MMSYSERR_NOERROR) {
            CloseListener(l);  // stays in the table, closed, and hears nothing
        }
    }
}

void CInstrumentSearch::CloseListener(Listener& listener) {
    if (!listener.handle) return;
    listener.stopping.store(true, std::memory_order_release);
    m_platform.midiInStop(listener.handle);
    m_platform.midiInReset(listener.handle);
    if (listener.prepared) m_platform.midiInUnprepareHeader(listener.handle, &listener.header);
    listener.prepared = false;
    MidiResult result = m_platform.midiInClose(listener.handle);
    for (int attempt = 1; result == MIDIERR_STILLPLAYING && attempt < kCloseAttempts; ++attempt) {
        m_platform.midiInReset(listener.handle);
        std::this_thread::sleep_for(kClosePause);
        result = m_platform.midiInClose(listener.handle);
    }
    listener.handle = 0;
}

void CInstrumentSearch::OnInput(HMIDIIN handle, unsigned message, void* instance, MIDIHDR* header) {
    auto* listener = static_cast<Listener*>(instance);
    if (message != MIM_LONGDATA || !header || !listener) return;
    if (listener->stopping.load(std::memory_order_acquire)) return;
    listener->assembly.Add(header->lpData, header->dwBytesRecorded, &CInstrumentSearch::OnMessage,
                           listener);
    listener->owner->m_platform.midiInAddBuffer(handle, header);
}

void CInstrumentSearch::OnMessage(void* context, const std::uint8_t* message, int length) {
    auto* listener = static_cast<Listener*>(context);
    listener->owner->Judge(listener->index, message, length);
}

void CInstrumentSearch::Judge(std::size_t input, const std::uint8_t* message, int length) {
    const bool bAck = IsAck(message, length);
    // The request coming back is a loopback, never the instrument's reply.
    const bool bEcho = static_cast<std::size_t>(length) == m_request.size() &&
                       std::equal(m_request.begin(), m_request.end(), message);
    std::optional<std::string> answer;
    if (!bAck && !bEcho) answer = ConnectAnswer(message, length);
    if (!bAck && !answer) return;
    {
        std::lock_guard lock(m_mutex);
        if (!m_bTrying || input >= m_acked.size()) return;
        if (bAck) m_acked[input] = true;
        if (answer && !m_answers[input]) m_answers[input] = std::move(answer);
    }
    GetEventPump().Wake();
}

bool CInstrumentSearch::Acknowledged() {
    std::lock_guard lock(m_mutex);
    return std::find(m_acked.begin(), m_acked.end(), true) != m_acked.end();
}

bool CInstrumentSearch::Answered() {
    std::lock_guard lock(m_mutex);
    return std::any_of(m_answers.begin(), m_answers.end(),
                       [](const auto& answer) { return answer.has_value(); });
}

std::vector<std::optional<std::string>> CInstrumentSearch::Ask(HMIDIOUT handle) {
    {
        std::lock_guard lock(m_mutex);
        std::fill(m_acked.begin(), m_acked.end(), false);
        for (auto& answer : m_answers) answer.reset();
        m_bTrying = true;
    }
    Send(handle);
    // As Connect: the acknowledgement, then the reply; only the reply decides.
    WaitFor(ACK_TIMEOUT_MS, [this] { return Cancelled() || Acknowledged() || Answered(); });
    if (!Cancelled()) WaitFor(CONNECT_TIMEOUT_MS, [this] { return Cancelled() || Answered(); });
    std::lock_guard lock(m_mutex);
    m_bTrying = false;
    return m_answers;
}

void CInstrumentSearch::TryOutput(const SearchPort& output, std::vector<FoundInstrument>& found) {
    const std::optional<unsigned> id = Resolve(output, false);
    HMIDIOUT handle = 0;
    if (!id || m_platform.midiOutOpen(&handle, *id) != MMSYSERR_NOERROR) return;
    std::vector<std::optional<std::string>> answers = Ask(handle);
    // A reply heard now may be a late one to the output tried before; an
    // instrument on this output answers a second request as well.
    if (!Cancelled() && std::any_of(answers.begin(), answers.end(),
                                    [](const auto& answer) { return answer.has_value(); })) {
        const std::vector<std::optional<std::string>> again = Ask(handle);
        for (std::size_t i = 0; i < answers.size(); ++i) {
            if (i >= again.size() || !again[i]) answers[i].reset();
        }
    }
    for (std::size_t i = 0; i < answers.size(); ++i) {
        if (answers[i]) found.push_back({m_inputPorts[i], output, *answers[i]});
    }
    CloseOutput(handle);
}

void CInstrumentSearch::Send(HMIDIOUT handle) {
    // The request fits one packet; a copy, since the platform may hold it
    // until it is unprepared.
    std::vector<std::uint8_t> frame = m_request;
    MIDIHDR header;
    header.lpData = frame.data();
    header.dwBufferLength = static_cast<std::uint32_t>(frame.size());
    if (m_platform.midiOutPrepareHeader(handle, &header) != MMSYSERR_NOERROR) return;
    if (m_platform.midiOutLongMsg(handle, &header) != MMSYSERR_NOERROR) return;
    while (m_platform.midiOutUnprepareHeader(handle, &header) == MIDIERR_STILLPLAYING)
        std::this_thread::sleep_for(kUnpreparePause);
}

void CInstrumentSearch::CloseOutput(HMIDIOUT handle) {
    MidiResult result = m_platform.midiOutClose(handle);
    for (int attempt = 1; result != MMSYSERR_NOERROR && attempt < kCloseAttempts; ++attempt) {
        m_platform.midiOutReset(handle);
        std::this_thread::sleep_for(kClosePause);
        result = m_platform.midiOutClose(handle);
    }
}

void CInstrumentSearch::WaitFor(unsigned timeoutMs, const std::function<bool()>& done) {
    using Clock = EventPump::Clock;
    const auto t0 = Clock::now();
    const auto deadline = t0 + std::chrono::milliseconds(timeoutMs) + 1ms;
    for (;;) {
        PumpPendingMessages();
        if (done()) return;
        const auto elapsed =
            std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t0);
        if (static_cast<unsigned long long>(elapsed.count()) > timeoutMs) return;
        GetEventPump().WaitUntil(deadline);
    }
}

}  // namespace velnor
