#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "instrument/InstrumentCodec.h"
#include "instrument/InstrumentFaults.h"
#include "instrument/InstrumentSongs.h"

namespace velnor::instrument {

constexpr const char* INSTRUMENT_NAME = "Velnor Virtual Instrument";
constexpr std::uint32_t BLOCK_SIZE = 256;

/// What an instrument holds when it is switched on. A default-constructed
/// value has 16 empty slots; Defaults() adds the demo songs.
struct InstrumentOptions {
    unsigned slotCount = 16;
    std::uint32_t capacity = 256 * 1024;                     ///< bytes for all songs together
    std::vector<std::pair<unsigned, InstrumentSong>> songs;  ///< slot, song
    std::string deviceName = INSTRUMENT_NAME;

    /// What a new user sees: 16 slots, the three demo songs in slots 0 to 2,
    /// 256 KB of song memory.
    static InstrumentOptions Defaults();
    /// No songs at all, `slots` empty slots.
    static InstrumentOptions Empty(unsigned slots = 16);
};

/// The instrument's side of the dialogue, without threads or timing: packets
/// go in, the messages it sends back come out, in order. Not thread-safe; the
/// platform that hosts it serialises access.
class InstrumentDevice {
  public:
    using Clock = std::chrono::steady_clock;

    explicit InstrumentDevice(InstrumentOptions options = InstrumentOptions::Defaults());

    /// Takes one packet as it came off the wire and returns what the
    /// instrument sends back: the acknowledgement of the packet, then the
    /// reply to the message the packet completed, if any.
    std::vector<Bytes> ReceivePacket(const std::uint8_t* data, std::size_t size,
                                     Clock::time_point now = Clock::now());

    /// Sets the faults in force; counting of packets and replies restarts.
    void SetFaults(InstrumentFaults faults);
    const InstrumentFaults& Faults() const { return m_faults; }

    /// Back to `options`: slots, no faults, empty records, no exchange under way.
    void Reset(InstrumentOptions options);

    const std::vector<std::optional<InstrumentSong>>& Slots() const { return m_slots; }
    std::uint32_t UsedMemory() const;
    std::uint32_t Capacity() const { return m_options.capacity; }

    /// Records of the traffic, oldest first (only the latest entries are kept).
    const std::deque<Bytes>& PacketsReceived() const { return m_packets; }
    const std::deque<Bytes>& MessagesReceived() const { return m_messages; }
    const std::deque<Bytes>& MessagesSent() const { return m_sent; }

  private:
    enum class Session { Idle, List, WriteData, Read };
    struct Reply {
        std::uint8_t command;
        Bytes payload;
        std::optional<std::uint8_t> checksum;  ///< overrides the computed one
    };

    void Deframe(const std::uint8_t* data, std::size_t size, std::vector<Bytes>& out);
    void HandleMessage(const Bytes& message, std::vector<Bytes>& out);
    std::optional<Reply> Dispatch(const DecodedMessage& msg);
    Reply HandleList(std::uint8_t request);
    Reply HandleWrite(const DecodedMessage& msg);
    Reply HandleData(const DecodedMessage& msg);
    std::optional<Reply> HandleRead(std::uint8_t request);
    Reply BlockReply(std::uint32_t block);
    Reply SlotNameReply(unsigned slot) const;
    Bytes Finish(Reply reply);
    bool TakeReplyFault(Fault::Kind kind, std::uint8_t command, std::uint32_t& value);
    bool TakeBlockFault(Fault::Kind kind, std::uint32_t block, std::uint32_t& value);
    void Record(std::deque<Bytes>& log, const Bytes& bytes);

    InstrumentOptions m_options;
    std::vector<std::optional<InstrumentSong>> m_slots;
    InstrumentFaults m_faults;
    std::vector<std::uint32_t> m_faultHits;  ///< per fault: matching replies seen
    std::vector<bool> m_faultSpent;
    std::uint32_t m_packetCount = 0;

    Bytes m_assembly;
    bool m_inMessage = false;

    Session m_session = Session::Idle;
    Clock::time_point m_now;
    Clock::time_point m_readExpiry;
    unsigned m_listNext = 0;  ///< next slot of the list to report
    unsigned m_writeSlot = 0;
    std::uint32_t m_writeLength = 0;
    std::string m_writeName;
    unsigned m_readSlot = 0;
    std::uint32_t m_readNext = 0;  ///< next block to send
    std::optional<Reply> m_lastReply;

    std::deque<Bytes> m_packets;
    std::deque<Bytes> m_messages;
    std::deque<Bytes> m_sent;
};

}  // namespace velnor::instrument
