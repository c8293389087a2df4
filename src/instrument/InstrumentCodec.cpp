#include "instrument/InstrumentCodec.h"

#include <algorithm>

namespace velnor::instrument {

std::uint8_t SumBytes(const std::uint8_t* data, std::size_t count) {
    unsigned sum = 0;
    for (std::size_t i = 0; i < count; ++i) sum += data[i];
    return static_cast<std::uint8_t>(sum & 0xFF);
}

static Bytes FrameStart(std::uint8_t command) {
    Bytes out(HEADER_SIZE + 1);
    out[0] = SYSEX_START;
    std::copy(std::begin(IDENTITY), std::end(IDENTITY), out.begin() + 1);
    out[HEADER_SIZE] = command;
    return out;
}

static void PutEncoded(Bytes& out, std::uint8_t value) {
    out.push_back(value & 0x7F);
    out.push_back(value >> 7);
}

Bytes AckMessage() {
    Bytes out = FrameStart(CMD_ACK);
    out.push_back(SYSEX_END);
    return out;
}

Bytes EncodeMessageWithChecksum(std::uint8_t command, const Bytes& payload, std::uint8_t checksum) {
    Bytes out = FrameStart(command);
    out.reserve(12 + 2 * payload.size());
    for (std::uint8_t b : payload) PutEncoded(out, b);
    PutEncoded(out, checksum);
    out.push_back(SYSEX_END);
    return out;
}

Bytes EncodeMessage(std::uint8_t command, const Bytes& payload) {
    Bytes out = EncodeMessageWithChecksum(command, payload, 0);
    // The checksum covers everything between F0 and the checksum bytes.
    const std::uint8_t sum = SumBytes(out.data() + 1, out.size() - 4);
    out[out.size() - 3] = sum & 0x7F;
    out[out.size() - 2] = sum >> 7;
    return out;
}

bool HasIdentityHeader(const std::uint8_t* data, std::size_t size) {
    return size >= HEADER_SIZE && data[0] == SYSEX_START &&
           std::equal(std::begin(IDENTITY), std::end(IDENTITY), data + 1);
}

std::optional<DecodedMessage> DecodeMessage(const std::uint8_t* data, std::size_t size) {
    if (size < 12 || !HasIdentityHeader(data, size) || data[size - 1] != SYSEX_END) {
        return std::nullopt;
    }
    DecodedMessage msg;
    msg.command = data[8];
    const std::size_t count = (size - 12) / 2;
    msg.payload.resize(count);
    for (std::size_t i = 0; i < count; ++i) {
        msg.payload[i] = static_cast<std::uint8_t>((data[9 + 2 * i] | (data[10 + 2 * i] << 7)));
    }
    msg.carriedChecksum = static_cast<std::uint8_t>(data[size - 3] | (data[size - 2] << 7));
    msg.computedChecksum = SumBytes(data + 1, size - 4);
    return msg;
}

void PutU16(Bytes& out, std::uint16_t value) {
    out.push_back(value & 0xFF);
    out.push_back(value >> 8);
}

void PutU32(Bytes& out, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) out.push_back((value >> (8 * i)) & 0xFF);
}

std::uint32_t GetU32(const Bytes& in, std::size_t offset) {
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < 4 && offset + i < in.size(); ++i) {
        value |= static_cast<std::uint32_t>(in[offset + i]) << (8 * i);
    }
    return value;
}

}  // namespace velnor::instrument
