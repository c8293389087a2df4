#include "instrument/InstrumentDevice.h"

#include <algorithm>

namespace velnor::instrument {

namespace {
constexpr std::size_t kRecordLimit = 8192;
/// A read that sees no request for this long is over; a later 14h/0 is
/// then a read of slot 0 again, not a request for the next block.
constexpr auto kReadIdle = std::chrono::seconds(1);
}  // namespace

InstrumentOptions InstrumentOptions::Defaults() {
    InstrumentOptions options;
    const auto demos = DemoSongs();
    for (std::size_t i = 0; i < demos.size(); ++i) {
        options.songs.emplace_back(static_cast<unsigned>(i), demos[i]);
    }
    return options;
}

InstrumentOptions InstrumentOptions::Empty(unsigned slots) {
    InstrumentOptions options;
    options.slotCount = slots;
    return options;
}

InstrumentDevice::InstrumentDevice(InstrumentOptions options) {
    Reset(std::move(options));
}

void InstrumentDevice::Reset(InstrumentOptions options) {
    m_options = std::move(options);
    m_options.slotCount = std::min(m_options.slotCount, 256u);
    m_slots.assign(m_options.slotCount, std::nullopt);
    for (const auto& [slot, song] : m_options.songs) {
        if (slot < m_slots.size()) m_slots[slot] = song;
    }
    SetFaults({});
    m_assembly.clear();
    m_inMessage = false;
    m_session = Session::Idle;
    m_lastReply.reset();
    m_packets.clear();
    m_messages.clear();
    m_sent.clear();
}

void InstrumentDevice::SetFaults(InstrumentFaults faults) {
    m_faults = std::move(faults);
    m_faultHits.assign(m_faults.faults.size(), 0);
    m_faultSpent.assign(m_faults.faults.size(), false);
    m_packetCount = 0;
}

std::uint32_t InstrumentDevice::UsedMemory() const {
    std::uint32_t used = 0;
    for (const auto& slot : m_slots) {
        if (slot) used += static_cast<std::uint32_t>(slot->data.size());
    }
    return used;
}

void InstrumentDevice::Record(std::deque<Bytes>& log, const Bytes& bytes) {
    if (log.size() >= kRecordLimit) log.pop_front();
    log.push_back(bytes);
}

std::vector<Bytes> InstrumentDevice::ReceivePacket(const std::uint8_t* data, std::size_t size,
                                                   Clock::time_point now) {
    std::vector<Bytes> out;
    if (size == 0) return out;
    m_now = now;
    Record(m_packets, Bytes(data, data + size));
    ++m_packetCount;
    bool dropAck = false;
    for (std::size_t i = 0; i < m_faults.faults.size(); ++i) {
        const Fault& f = m_faults.faults[i];
        if (f.kind == Fault::Kind::DropAck && f.number == m_packetCount) dropAck = true;
    }
    // The instrument acknowledges every packet before it acts on a message.
    if (!dropAck) out.push_back(AckMessage());
    Deframe(data, size, out);
    if (m_faults.Silent()) out.clear();
    for (const Bytes& message : out) Record(m_sent, message);
    return out;
}

void InstrumentDevice::Deframe(const std::uint8_t* data, std::size_t size,
                               std::vector<Bytes>& out) {
    // A 48-byte packet is the first or a middle piece of a longer message and
    // carries a framing F7; a shorter packet ends the message or is a whole one.
    const bool piece = size == PACKET_SIZE;
    std::size_t begin = 0;
    std::size_t end = piece ? size - 1 : size;
    if (HasIdentityHeader(data, size) || !m_inMessage) {
        m_assembly.clear();  // a new message; an unfinished one is abandoned
    } else if (data[0] == SYSEX_START) {
        begin = 1;  // framing F0 of a continuing piece
    }
    const std::size_t limit = 2 * std::size_t(m_options.capacity) + 64;
    if (m_assembly.size() + (end - begin) > limit) {
        m_assembly.clear();
        m_inMessage = false;
        return;
    }
    m_assembly.insert(m_assembly.end(), data + begin, data + end);
    m_inMessage = piece;
    if (!piece) {
        const Bytes message = std::move(m_assembly);
        m_assembly.clear();
        HandleMessage(message, out);
    }
}

void InstrumentDevice::HandleMessage(const Bytes& message, std::vector<Bytes>& out) {
    Record(m_messages, message);
    const auto msg = DecodeMessage(message.data(), message.size());
    if (!msg) return;  // not one of ours: ignored
    if (m_session == Session::Read && m_now >= m_readExpiry) m_session = Session::Idle;
    std::optional<Reply> reply = Dispatch(*msg);
    if (m_session == Session::Read) m_readExpiry = m_now + kReadIdle;
    if (reply) out.push_back(Finish(*reply));
}

std::optional<InstrumentDevice::Reply> InstrumentDevice::Dispatch(const DecodedMessage& msg) {
    const std::uint8_t first = msg.payload.empty() ? 0 : msg.payload[0];
    // The song data carries the sum of the raw song bytes as its checksum.
    if (m_session == Session::WriteData && msg.command == CMD_SONG_WRITE &&
        msg.payload.size() == m_writeLength) {
        return HandleData(msg);
    }
    if (!msg.ChecksumMatches()) return Reply{msg.command, {ST_CHECKSUM}, std::nullopt};
    // The program's own reply with ST_CHECKSUM: it could not verify what the
    // instrument sent last, so the instrument sends it again.
    const bool resendable = m_lastReply && m_lastReply->command == msg.command &&
                            msg.payload.size() == 1 && first == ST_CHECKSUM;
    if (resendable && (m_session != Session::Idle || msg.command == CMD_SONG_WRITE)) {
        return m_lastReply;
    }
    if (msg.command != CMD_SONG_READ && m_session == Session::Read) m_session = Session::Idle;
    switch (msg.command) {
        case CMD_CONNECT: {
            m_session = Session::Idle;
            Bytes payload = {ST_OK, 0, static_cast<std::uint8_t>(m_options.deviceName.size())};
            payload.insert(payload.end(), m_options.deviceName.begin(), m_options.deviceName.end());
            return Reply{CMD_CONNECT, payload, std::nullopt};
        }
        case CMD_SONG_LIST:
            return HandleList(first);
        case CMD_SONG_WRITE:
            return HandleWrite(msg);
        case CMD_SONG_READ:
            return HandleRead(first);
        case CMD_SONG_DELETE: {
            m_session = Session::Idle;
            if (first >= m_slots.size()) return Reply{CMD_SONG_DELETE, {ST_FAIL}, std::nullopt};
            m_slots[first].reset();
            return Reply{CMD_SONG_DELETE, {ST_OK}, std::nullopt};
        }
        default:
            return std::nullopt;  // unknown commands are ignored
    }
}

InstrumentDevice::Reply InstrumentDevice::SlotNameReply(unsigned slot) const {
    Bytes payload = {ST_OK, static_cast<std::uint8_t>(slot), 0};
    if (m_slots[slot]) {
        const std::string& name = m_slots[slot]->name;
        const std::size_t n = std::min<std::size_t>(name.size(), 255);
        payload[2] = static_cast<std::uint8_t>(n);
        payload.insert(payload.end(), name.begin(), name.begin() + n);
    }
    return Reply{CMD_SONG_LIST, payload, std::nullopt};
}

InstrumentDevice::Reply InstrumentDevice::HandleList(std::uint8_t request) {
    if (request == 1) {
        m_session = Session::List;
        m_listNext = 0;
    } else if (request != ST_OK || m_session != Session::List) {
        m_session = Session::Idle;
        return Reply{CMD_SONG_LIST, {ST_LIST_END}, std::nullopt};
    }
    if (m_listNext >= m_slots.size()) {
        m_session = Session::Idle;
        return Reply{CMD_SONG_LIST, {ST_LIST_END}, std::nullopt};
    }
    return SlotNameReply(m_listNext++);
}

InstrumentDevice::Reply InstrumentDevice::HandleWrite(const DecodedMessage& msg) {
    m_session = Session::Idle;
    const Bytes& p = msg.payload;
    if (p.size() < 10 || p.size() < std::size_t(10) + p[1]) {
        return Reply{CMD_SONG_WRITE, {ST_FAIL}, std::nullopt};
    }
    const unsigned slot = p[0];
    const std::uint8_t n = p[1];
    const std::uint32_t length = GetU32(p, 2 + n);
    if (slot >= m_slots.size() || length == 0) {
        return Reply{CMD_SONG_WRITE, {ST_FAIL}, std::nullopt};
    }
    // The song it replaces gives its room back.
    const std::uint32_t replaced = m_slots[slot] ? std::uint32_t(m_slots[slot]->data.size()) : 0;
    const std::uint32_t free = m_options.capacity - std::min(m_options.capacity, UsedMemory());
    if (std::uint64_t(length) > std::uint64_t(free) + replaced) {
        return Reply{CMD_SONG_WRITE, {ST_NO_CAPACITY}, std::nullopt};
    }
    m_session = Session::WriteData;
    m_writeSlot = slot;
    m_writeLength = length;
    m_writeName.assign(p.begin() + 2, p.begin() + 2 + n);
    return Reply{CMD_SONG_WRITE, {ST_OK}, std::nullopt};
}

InstrumentDevice::Reply InstrumentDevice::HandleData(const DecodedMessage& msg) {
    m_session = Session::Idle;
    if (msg.carriedChecksum != SumBytes(msg.payload.data(), msg.payload.size())) {
        return Reply{CMD_SONG_WRITE, {ST_CHECKSUM}, std::nullopt};
    }
    InstrumentSong song;
    song.data = msg.payload;
    song.name = m_writeName.empty() ? NameForReceivedSong(song.data, m_writeSlot) : m_writeName;
    m_slots[m_writeSlot] = std::move(song);
    return Reply{CMD_SONG_WRITE, {ST_OK}, std::nullopt};
}

std::optional<InstrumentDevice::Reply> InstrumentDevice::HandleRead(std::uint8_t request) {
    if (m_session == Session::Read && request == ST_OK) {
        const std::uint32_t length = std::uint32_t(m_slots[m_readSlot]->data.size());
        const std::uint32_t blocks = (length + BLOCK_SIZE - 1) / BLOCK_SIZE;
        if (m_readNext >= blocks) {
            m_session = Session::Idle;  // the closing request gets no reply
            return std::nullopt;
        }
        Reply block = BlockReply(m_readNext++);
        m_lastReply = Reply{CMD_SONG_READ, block.payload, std::nullopt};
        return block;
    }
    m_session = Session::Idle;
    if (request >= m_slots.size() || !m_slots[request]) {
        return Reply{CMD_SONG_READ, {ST_FAIL}, std::nullopt};
    }
    m_session = Session::Read;
    m_readSlot = request;
    m_readNext = 0;
    const std::uint32_t length = std::uint32_t(m_slots[request]->data.size());
    // A short read announces more than the blocks will carry.
    std::uint32_t missing = 0;
    TakeReplyFault(Fault::Kind::ShortRead, CMD_SONG_READ, missing);
    Bytes payload = {ST_OK};
    PutU32(payload, static_cast<std::uint32_t>(
                        std::min<std::uint64_t>(std::uint64_t(length) + missing, UINT32_MAX)));
    PutU32(payload, (length + BLOCK_SIZE - 1) / BLOCK_SIZE);
    return Reply{CMD_SONG_READ, payload, std::nullopt};
}

InstrumentDevice::Reply InstrumentDevice::BlockReply(std::uint32_t block) {
    const Bytes& data = m_slots[m_readSlot]->data;
    const std::size_t offset = std::size_t(block) * BLOCK_SIZE;
    std::size_t count = std::min<std::size_t>(BLOCK_SIZE, data.size() - offset);
    std::uint32_t index = block;
    std::uint32_t unused = 0;
    TakeBlockFault(Fault::Kind::BlockIndex, block, index);
    if (TakeBlockFault(Fault::Kind::OversizedBlock, block, unused)) count += 64;
    Bytes payload;
    PutU32(payload, index);
    PutU16(payload, static_cast<std::uint16_t>(count));
    for (std::size_t i = 0; i < count; ++i) {
        payload.push_back(offset + i < data.size() ? data[offset + i] : 0x55);
    }
    return Reply{CMD_SONG_READ, payload, std::nullopt};
}

bool InstrumentDevice::TakeBlockFault(Fault::Kind kind, std::uint32_t block, std::uint32_t& value) {
    for (std::size_t i = 0; i < m_faults.faults.size(); ++i) {
        const Fault& f = m_faults.faults[i];
        if (f.kind != kind || f.number != block || m_faultSpent[i]) continue;
        m_faultSpent[i] = true;
        value = f.value;
        return true;
    }
    return false;
}

bool InstrumentDevice::TakeReplyFault(Fault::Kind kind, std::uint8_t command,
                                      std::uint32_t& value) {
    for (std::size_t i = 0; i < m_faults.faults.size(); ++i) {
        const Fault& f = m_faults.faults[i];
        if (f.kind != kind || f.command != command || m_faultSpent[i]) continue;
        if (++m_faultHits[i] < f.occurrence) continue;
        m_faultSpent[i] = true;
        value = f.value;
        return true;
    }
    return false;
}

Bytes InstrumentDevice::Finish(Reply reply) {
    if (!(reply.command == CMD_SONG_READ && m_session == Session::Read && m_readNext > 0)) {
        m_lastReply = reply;  // block replies were kept before their faults
    }
    const std::uint8_t command = reply.command;
    std::uint32_t value = 0;
    if (TakeReplyFault(Fault::Kind::WrongStatus, command, value) && !reply.payload.empty()) {
        reply.payload[0] = static_cast<std::uint8_t>(value);
    }
    if (TakeReplyFault(Fault::Kind::WrongCommand, command, value)) {
        reply.command = static_cast<std::uint8_t>(value);
    }
    Bytes out = reply.checksum
                    ? EncodeMessageWithChecksum(reply.command, reply.payload, *reply.checksum)
                    : EncodeMessage(reply.command, reply.payload);
    if (TakeReplyFault(Fault::Kind::BadChecksum, command, value)) {
        out[out.size() - 3] = (out[out.size() - 3] + 1) & 0x7F;
    }
    return out;
}

}  // namespace velnor::instrument
