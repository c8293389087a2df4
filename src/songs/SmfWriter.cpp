#include "songs/SmfWriter.h"

namespace velnor {

SmfWriter::SmfWriter(std::vector<uint8_t>& out, uint16_t division) : m_out(out) {
    static constexpr uint8_t kHeader[] = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1};
    m_out.insert(m_out.end(), std::begin(kHeader), std::end(kHeader));
    m_out.push_back(uint8_t(division >> 8));
    m_out.push_back(uint8_t(division));
    m_trackStart = m_out.size();
    static constexpr uint8_t kTrack[] = {'M', 'T', 'r', 'k', 0, 0, 0, 0};
    m_out.insert(m_out.end(), std::begin(kTrack), std::end(kTrack));
}

void SmfWriter::Quantity(uint32_t value) {
    uint8_t bytes[5];
    int count = 0;
    bytes[count++] = uint8_t(value & 0x7F);
    while (value >>= 7) bytes[count++] = uint8_t(0x80 | (value & 0x7F));
    while (count > 0) m_out.push_back(bytes[--count]);
}

bool SmfWriter::Delta(uint64_t tick) {
    if (tick < m_tick || tick - m_tick > kMaxDelta) return false;
    Quantity(uint32_t(tick - m_tick));
    m_tick = tick;
    return true;
}

bool SmfWriter::Channel(uint64_t tick, uint8_t status, std::span<const uint8_t> data) {
    if (!Delta(tick)) return false;
    if (status != m_running) m_out.push_back(status);
    m_running = status;
    m_out.insert(m_out.end(), data.begin(), data.end());
    return true;
}

bool SmfWriter::Raw(uint64_t tick, std::span<const uint8_t> bytes) {
    if (!Delta(tick)) return false;
    m_out.insert(m_out.end(), bytes.begin(), bytes.end());
    m_running = 0;
    return true;
}

bool SmfWriter::Meta(uint64_t tick, uint8_t type, std::span<const uint8_t> data) {
    if (!Delta(tick)) return false;
    m_out.push_back(0xFF);
    m_out.push_back(type);
    Quantity(uint32_t(data.size()));
    m_out.insert(m_out.end(), data.begin(), data.end());
    m_running = 0;
    return true;
}

bool SmfWriter::Finish(uint64_t tick) {
    if (!Meta(tick, 0x2F, {})) return false;
    const uint64_t length = m_out.size() - m_trackStart - 8;
    if (length > UINT32_MAX) return false;
    for (int i = 0; i < 4; ++i)
        m_out[m_trackStart + 4 + size_t(i)] = uint8_t(length >> (24 - 8 * i));
    return true;
}

}  // namespace velnor
