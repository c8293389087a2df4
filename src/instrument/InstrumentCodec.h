#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

/// The instrument's own view of its System Exclusive messages. The instrument
/// is a separate device, so it keeps its own encoder and decoder rather than
/// sharing the program's.
namespace velnor::instrument {

using Bytes = std::vector<std::uint8_t>;

constexpr std::uint8_t SYSEX_START = 0xF0;
constexpr std::uint8_t SYSEX_END = 0xF7;
/// Manufacturer identifier (extended form) and the instrument's identity bytes.
constexpr std::uint8_t IDENTITY[7] = {0x00, 0x1E, 0x2D, 0x55, 0x52, 0x53, 0x57};
constexpr std::size_t HEADER_SIZE = 8;  // F0 + identity
constexpr std::size_t PACKET_SIZE = 48;

constexpr std::uint8_t CMD_CONNECT = 0x00;
constexpr std::uint8_t CMD_ACK = 0x08;
constexpr std::uint8_t CMD_SONG_LIST = 0x12;
constexpr std::uint8_t CMD_SONG_WRITE = 0x13;
constexpr std::uint8_t CMD_SONG_READ = 0x14;
constexpr std::uint8_t CMD_SONG_DELETE = 0x15;

constexpr std::uint8_t ST_OK = 0;
constexpr std::uint8_t ST_LIST_END = 1;
constexpr std::uint8_t ST_FAIL = 1;
constexpr std::uint8_t ST_CHECKSUM = 2;
constexpr std::uint8_t ST_NO_CAPACITY = 6;

/// The 10-byte acknowledgement the instrument sends after every packet.
Bytes AckMessage();

/// Sum modulo 256 of `count` bytes.
std::uint8_t SumBytes(const std::uint8_t* data, std::size_t count);

/// A whole message: F0, identity, command, payload two bytes per byte (low 7
/// bits, then bit 7), checksum of the bytes between F0 and the checksum, F7.
Bytes EncodeMessage(std::uint8_t command, const Bytes& payload);

/// The same layout with a checksum given by the caller (the song data
/// message carries the sum of the raw song bytes instead).
Bytes EncodeMessageWithChecksum(std::uint8_t command, const Bytes& payload, std::uint8_t checksum);

/// A message as the instrument sees it after deframing.
struct DecodedMessage {
    std::uint8_t command = 0;
    Bytes payload;
    /// Checksum carried by the message, and the sum over its header, command
    /// and encoded payload.
    std::uint8_t carriedChecksum = 0;
    std::uint8_t computedChecksum = 0;
    bool ChecksumMatches() const { return carriedChecksum == computedChecksum; }
};

/// Decodes a message that starts with F0 and the identity bytes and ends with
/// F7; nothing when the frame is not one of the instrument's messages.
std::optional<DecodedMessage> DecodeMessage(const std::uint8_t* data, std::size_t size);

/// True when `data` begins with F0 and the identity bytes.
bool HasIdentityHeader(const std::uint8_t* data, std::size_t size);

void PutU16(Bytes& out, std::uint16_t value);
void PutU32(Bytes& out, std::uint32_t value);
std::uint32_t GetU32(const Bytes& in, std::size_t offset);

}  // namespace velnor::instrument
