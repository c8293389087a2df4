#pragma once

// The receive path under fuzzing: one input drives the port layer's input
// callback and the protocol's receive handler, single-threaded, through a
// platform that delivers each chunk on the caller's thread. Shared by the
// libFuzzer target (fuzz_receive) and the corpus replay of the tests.
//
// Input: byte 0 picks the state the protocol waits in (kStartStates, modulo
// its size). Then records, each a flags byte, a 12-bit little-endian length in
// two bytes and that many bytes (fewer when the input ends first). Records
// without kThroughPort go straight to the receive handler as one message.

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <string>
#include <vector>

namespace velnor::fuzz {

/// The record is one chunk of the input port, handed to the port layer's
/// input callback (cut to its 2000-byte buffer as a driver would).
constexpr std::uint8_t kThroughPort = 0x01;
/// The ports are opened and the input started afresh before the record.
constexpr std::uint8_t kRestartInput = 0x02;
constexpr std::size_t kMaxRecord = 0xFFF;

/// Every protocol state, the waiting ones first.
constexpr int kStartStates[] = {1,  5,  10, 15, 19, 23, 27, 0,  2,  3,  4,  6,  8, 11,
                                12, 13, 14, 16, 17, 18, 20, 21, 22, 24, 28, 29, 30};

/// The first byte of an input that starts in `state`.
inline std::uint8_t StartByte(int state) {
    for (std::size_t i = 0; i < std::size(kStartStates); ++i)
        if (kStartStates[i] == state) return static_cast<std::uint8_t>(i);
    return 0;
}

inline void AppendRecord(std::vector<std::uint8_t>& input, std::uint8_t flags,
                         const std::vector<std::uint8_t>& bytes) {
    const std::size_t n = bytes.size() < kMaxRecord ? bytes.size() : kMaxRecord;
    input.push_back(flags);
    input.push_back(static_cast<std::uint8_t>(n & 0xFF));
    input.push_back(static_cast<std::uint8_t>(n >> 8));
    input.insert(input.end(), bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(n));
}

/// Runs one input and checks, after every record: the state moved only from a
/// waiting state to one of its own results; the device and slot names end in
/// a NUL; every frame sent is one well-formed SysEx message (F0h, 7-bit bytes,
/// F7h, at most 48 bytes). At the end, an acknowledgement of the next packet
/// sent must arrive. Returns "" when all held, else what failed. Needs the
/// port layer unused (no instance); leaves it so.
std::string RunReceiveInput(const std::uint8_t* data, std::size_t size);

}  // namespace velnor::fuzz
