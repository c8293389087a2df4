#include "midi/SysExAssembler.h"

#include <cstring>

namespace velnor {

namespace {

constexpr std::uint8_t kSysExStart = 0xF0;
constexpr std::uint8_t kSysExEnd = 0xF7;

}  // namespace

SysExAssembler::SysExAssembler(int capacity)
    : m_pBuffer(new std::uint8_t[static_cast<std::size_t>(capacity)]()), m_nCapacity(capacity) {}

void SysExAssembler::Clear() {
    m_nAssembled = 0;
    m_bDiscarding = false;
}

void SysExAssembler::Add(const std::uint8_t* chunk, std::uint32_t n, Deliver deliver,
                         void* context) {
    if (!chunk) return;
    // Taken piece by piece, each piece ending at an F7h or just before an F0h.
    std::uint32_t from = 0;
    while (from < n) {
        std::uint32_t to = from + 1;
        while (to < n && chunk[to - 1] != kSysExEnd && chunk[to] != kSysExStart) ++to;
        AddPiece(chunk + from, to - from, deliver, context);
        from = to;
    }
}

void SysExAssembler::AddPiece(const std::uint8_t* piece, std::uint32_t n, Deliver deliver,
                              void* context) {
    const bool ends = piece[n - 1] == kSysExEnd;
    if (piece[0] == kSysExStart) Clear();
    if (m_bDiscarding) {
        // The rest of a message that did not fit, up to its end.
        m_bDiscarding = !ends;
        return;
    }
    if (static_cast<std::uint32_t>(m_nAssembled) + n >= static_cast<std::uint32_t>(m_nCapacity)) {
        // A piece that does not fit is dropped with the message it belongs
        // to, so the next message starts from an empty buffer.
        m_nAssembled = 0;
        m_bDiscarding = !ends;
        return;
    }
    std::memcpy(m_pBuffer.get() + m_nAssembled, piece, n);
    m_nAssembled += static_cast<int>(n);
    if (ends) {
        const int length = m_nAssembled;
        m_nAssembled = 0;
        if (deliver) deliver(context, m_pBuffer.get(), length);
    }
}

}  // namespace velnor
