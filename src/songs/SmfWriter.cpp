#include "songs/SmfWriter.h"

#include <cstring>

namespace velnor {

SmfWriter::SmfWriter(std::vector<uint8_t>& out, uint16_t division, size_t expected) : m_out(out) {
    m_out.clear();
    m_out.resize(expected + 64);
    static constexpr uint8_t kHeader[] = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1};
    std::memcpy(m_out.data(), kHeader, sizeof kHeader);
    m_out[12] = uint8_t(division >> 8);
    m_out[13] = uint8_t(division);
    m_trackStart = 14;
    static constexpr uint8_t kTrack[] = {'M', 'T', 'r', 'k', 0, 0, 0, 0};
    std::memcpy(m_out.data() + m_trackStart, kTrack, sizeof kTrack);
    m_size = m_trackStart + sizeof kTrack;
}

void SmfWriter::Room(size_t count) {
    if (m_out.size() - m_size < count) m_out.resize(2 * m_out.size() + count);
}

void SmfWriter::Quantity(uint32_t value) {
    uint8_t bytes[5];
    int count = 0;
    bytes[count++] = uint8_t(value & 0x7F);
    while (value >>= 7) bytes[count++] = uint8_t(0x80 | (value & 0x7F));
    while (count > 0) m_out[m_size++] = bytes[--count];
}

bool SmfWriter::Delta(uint64_t tick) {
    if (tick < m_tick || tick - m_tick > kMaxDelta) return false;
    Quantity(uint32_t(tick - m_tick));
    m_tick = tick;
    return true;
}

bool SmfWriter::Raw(uint64_t tick, std::span<const uint8_t> bytes) {
    Room(5 + bytes.size());
    if (!Delta(tick)) return false;
    if (!bytes.empty()) std::memcpy(m_out.data() + m_size, bytes.data(), bytes.size());
    m_size += bytes.size();
    m_running = 0;
    return true;
}

bool SmfWriter::Meta(uint64_t tick, uint8_t type, std::span<const uint8_t> data) {
    Room(12 + data.size());
    if (!Delta(tick)) return false;
    m_out[m_size++] = 0xFF;
    m_out[m_size++] = type;
    Quantity(uint32_t(data.size()));
    if (!data.empty()) std::memcpy(m_out.data() + m_size, data.data(), data.size());
    m_size += data.size();
    m_running = 0;
    return true;
}

bool SmfWriter::Finish(uint64_t tick) {
    if (!Meta(tick, 0x2F, {})) return false;
    m_out.resize(m_size);
    const uint64_t length = m_size - m_trackStart - 8;
    if (length > UINT32_MAX) return false;
    for (int i = 0; i < 4; ++i)
        m_out[m_trackStart + 4 + size_t(i)] = uint8_t(length >> (24 - 8 * i));
    return true;
}

}  // namespace velnor
