#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace velnor {

/// Writes a format-0 Standard MIDI File of one track into a byte buffer:
/// events in time order, channel events with running status (a meta or
/// SysEx event always ends it, so every reader takes the next status byte
/// as written), then End of Track and the chunk length.
class SmfWriter {
  public:
    /// The largest delta time a file can hold (four bytes of quantity).
    static constexpr uint64_t kMaxDelta = 0x0FFFFFFF;

    /// Starts the file with its header and the track's chunk header; `expected`
    /// is the size the file will likely have (room is made for it at once).
    SmfWriter(std::vector<uint8_t>& out, uint16_t division, size_t expected = 0);

    /// A channel event: its status and its one or two data bytes. (Inline:
    /// most of a song is channel events.)
    bool Channel(uint64_t tick, uint8_t status, const uint8_t* data, uint32_t count) {
        if (tick < m_tick || tick - m_tick > kMaxDelta) return false;
        if (m_out.size() - m_size < 8) Room(8);  // delta, status and two data bytes at most
        const uint32_t delta = uint32_t(tick - m_tick);
        m_tick = tick;
        if (delta < 0x80) {
            m_out[m_size++] = uint8_t(delta);  // most deltas are one byte
        } else {
            Quantity(delta);
        }
        uint8_t* at = m_out.data() + m_size;
        if (status != m_running) *at++ = status;
        m_running = status;
        *at++ = data[0];
        if (count > 1) *at++ = data[1];
        m_size = size_t(at - m_out.data());
        return true;
    }
    /// A meta or SysEx event written exactly as `bytes` (status byte first).
    bool Raw(uint64_t tick, std::span<const uint8_t> bytes);
    /// A meta event of `type` with `data`.
    bool Meta(uint64_t tick, uint8_t type, std::span<const uint8_t> data);
    /// End of Track at `tick`, and the chunk's length; the file is then whole.
    bool Finish(uint64_t tick);

  private:
    /// Makes room for `count` more bytes.
    void Room(size_t count);
    /// The delta time up to `tick`; false when it is earlier or too far on.
    bool Delta(uint64_t tick);
    void Quantity(uint32_t value);

    std::vector<uint8_t>& m_out;
    size_t m_size = 0;  ///< bytes written; the buffer may be longer
    size_t m_trackStart = 0;
    uint64_t m_tick = 0;
    uint8_t m_running = 0;
};

}  // namespace velnor
