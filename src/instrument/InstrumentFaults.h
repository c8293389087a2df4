#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace velnor::instrument {

/// One misbehaviour of the instrument, for tests and for the command line.
/// Reply faults hit the `occurrence`-th reply with the given command (counted
/// from when the faults were set) and then stay spent.
struct Fault {
    enum class Kind {
        DropAck,         ///< no acknowledgement for packet number `number` (from 1)
        BadChecksum,     ///< the reply's checksum is off by one
        WrongCommand,    ///< the reply carries command `value` instead
        WrongStatus,     ///< the reply's first payload byte becomes `value`
        BlockIndex,      ///< block `number` is sent with block index `value`
        OversizedBlock,  ///< block `number` carries 64 bytes more than 256 apart allows
        Split,           ///< every message is delivered in `number` chunks
        Silent,          ///< no acknowledgement and no reply at all
        ShortRead,       ///< the read reply announces `value` bytes more than the blocks carry
    };
    Kind kind = Kind::Silent;
    std::uint8_t command = 0;
    std::uint32_t number = 0;
    std::uint32_t value = 0;
    std::uint32_t occurrence = 1;
};

/// The faults in force; empty means a well-behaved instrument.
struct InstrumentFaults {
    std::vector<Fault> faults;

    bool Silent() const;
    /// Chunks per delivered message (1 unless a split fault is set).
    unsigned SplitCount() const;
};

/// Parses a comma-separated list of fault specs: "drop-ack:N",
/// "bad-checksum:CMD[@K]", "wrong-command:CMD[=NEW][@K]",
/// "wrong-status:CMD=VALUE[@K]", "block-index:I=J", "oversized-block:I",
/// "split:N", "silent", "short-read:N[@K]" (K counts the reads of a song).
/// Commands are hexadecimal (13 or 0x13), other numbers decimal. On a bad
/// text returns nothing and puts a message in `error`.
std::optional<InstrumentFaults> ParseFaults(const std::string& text, std::string& error);

}  // namespace velnor::instrument
