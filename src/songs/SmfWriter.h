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

    /// Starts the file with its header and the track's chunk header.
    SmfWriter(std::vector<uint8_t>& out, uint16_t division);

    /// A channel event: its status and its one or two data bytes.
    bool Channel(uint64_t tick, uint8_t status, std::span<const uint8_t> data);
    /// A meta or SysEx event written exactly as `bytes` (status byte first).
    bool Raw(uint64_t tick, std::span<const uint8_t> bytes);
    /// A meta event of `type` with `data`.
    bool Meta(uint64_t tick, uint8_t type, std::span<const uint8_t> data);
    /// End of Track at `tick`, and the chunk's length; the file is then whole.
    bool Finish(uint64_t tick);

  private:
    /// The delta time up to `tick`; false when it is earlier or too far on.
    bool Delta(uint64_t tick);
    void Quantity(uint32_t value);

    std::vector<uint8_t>& m_out;
    size_t m_trackStart = 0;
    uint64_t m_tick = 0;
    uint8_t m_running = 0;
};

}  // namespace velnor
