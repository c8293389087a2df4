#include "InstrumentBridge.h"

namespace velnor::instrument {

namespace {
/// Larger than any message the instrument sends, so each callback carries one
/// whole message (or one piece of a split one).
constexpr std::uint32_t kBufferSize = 64 * 1024;
constexpr std::size_t kBufferCount = 2;
}  // namespace

InstrumentBridge::InstrumentBridge(VirtualInstrumentPlatform& instrument, Send send)
    : m_instrument(instrument),
      m_send(std::move(send)),
      m_storage(kBufferCount, std::vector<std::uint8_t>(kBufferSize)),
      m_headers(kBufferCount) {}

InstrumentBridge::~InstrumentBridge() {
    Stop();
}

bool InstrumentBridge::Start(std::string& error) {
    if (m_started) return true;
    if (m_instrument.midiOutOpen(&m_out, 0) != MMSYSERR_NOERROR) {
        error = "the instrument's input cannot be opened";
        return false;
    }
    if (m_instrument.midiInOpen(&m_in, 0, &InstrumentBridge::OnInstrumentData, this) !=
        MMSYSERR_NOERROR) {
        m_instrument.midiOutClose(m_out);
        error = "the instrument's output cannot be opened";
        return false;
    }
    for (std::size_t i = 0; i < kBufferCount; ++i) {
        MIDIHDR& header = m_headers[i];
        header = MIDIHDR{};
        header.lpData = m_storage[i].data();
        header.dwBufferLength = kBufferSize;
        m_instrument.midiInPrepareHeader(m_in, &header);
        m_instrument.midiInAddBuffer(m_in, &header);
    }
    m_instrument.midiInStart(m_in);
    m_started = true;
    return true;
}

void InstrumentBridge::Receive(const std::uint8_t* data, std::size_t size) {
    if (!m_started || data == nullptr || size == 0) return;
    // The instrument copies the packet before midiOutLongMsg returns.
    std::vector<std::uint8_t> packet(data, data + size);
    MIDIHDR header{};
    header.lpData = packet.data();
    header.dwBufferLength = static_cast<std::uint32_t>(packet.size());
    if (m_instrument.midiOutPrepareHeader(m_out, &header) != MMSYSERR_NOERROR) return;
    m_instrument.midiOutLongMsg(m_out, &header);
    m_instrument.midiOutUnprepareHeader(m_out, &header);
}

void InstrumentBridge::Stop() {
    if (!m_started) return;
    m_started = false;
    // midiInReset waits for a callback under way and hands the buffers back.
    m_instrument.midiInReset(m_in);
    for (MIDIHDR& header : m_headers) m_instrument.midiInUnprepareHeader(m_in, &header);
    m_instrument.midiInClose(m_in);
    m_instrument.midiOutClose(m_out);
}

void InstrumentBridge::OnInstrumentData(HMIDIIN handle, unsigned message, void* instance,
                                        MIDIHDR* header) {
    if (message != MIM_LONGDATA || header == nullptr) return;
    auto* self = static_cast<InstrumentBridge*>(instance);
    if (header->dwBytesRecorded > 0) self->m_send(header->lpData, header->dwBytesRecorded);
    self->m_instrument.midiInAddBuffer(handle, header);
}

}  // namespace velnor::instrument
