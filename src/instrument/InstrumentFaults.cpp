#include "instrument/InstrumentFaults.h"

#include <charconv>

namespace velnor::instrument {

bool InstrumentFaults::Silent() const {
    for (const Fault& f : faults) {
        if (f.kind == Fault::Kind::Silent) return true;
    }
    return false;
}

unsigned InstrumentFaults::SplitCount() const {
    for (const Fault& f : faults) {
        if (f.kind == Fault::Kind::Split && f.number > 1) return f.number;
    }
    return 1;
}

namespace {

bool ParseNumber(const std::string& text, int base, std::uint32_t& out) {
    std::string digits = text;
    if (base == 16 && digits.size() > 2 && digits[0] == '0' &&
        (digits[1] == 'x' || digits[1] == 'X')) {
        digits = digits.substr(2);
    }
    if (digits.empty()) return false;
    const char* end = digits.data() + digits.size();
    auto [ptr, ec] = std::from_chars(digits.data(), end, out, base);
    return ec == std::errc() && ptr == end;
}

bool ParseCommand(const std::string& text, std::uint8_t& out) {
    std::uint32_t value = 0;
    if (!ParseNumber(text, 16, value) || value > 0x7F) return false;
    out = static_cast<std::uint8_t>(value);
    return true;
}

/// Splits "A=B@K" into its parts; missing parts stay empty.
void SplitArgument(const std::string& arg, std::string& a, std::string& b, std::string& k) {
    std::string rest = arg;
    const auto at = rest.find('@');
    if (at != std::string::npos) {
        k = rest.substr(at + 1);
        rest = rest.substr(0, at);
    }
    const auto eq = rest.find('=');
    a = rest.substr(0, eq);
    if (eq != std::string::npos) b = rest.substr(eq + 1);
}

bool ParseOne(const std::string& text, Fault& fault) {
    const auto colon = text.find(':');
    const std::string name = text.substr(0, colon);
    const std::string arg = colon == std::string::npos ? "" : text.substr(colon + 1);
    std::string a, b, k;
    SplitArgument(arg, a, b, k);
    if (!k.empty() && (!ParseNumber(k, 10, fault.occurrence) || fault.occurrence == 0)) {
        return false;
    }
    if (name == "silent") {
        fault.kind = Fault::Kind::Silent;
        return arg.empty();
    }
    if (name == "drop-ack" || name == "oversized-block" || name == "split") {
        fault.kind = name == "drop-ack"          ? Fault::Kind::DropAck
                     : name == "oversized-block" ? Fault::Kind::OversizedBlock
                                                 : Fault::Kind::Split;
        const bool positive = fault.kind != Fault::Kind::OversizedBlock;
        return b.empty() && ParseNumber(a, 10, fault.number) && (!positive || fault.number > 0);
    }
    if (name == "short-read") {
        fault.kind = Fault::Kind::ShortRead;
        fault.command = 0x14;  // it hits the replies to read requests
        return b.empty() && ParseNumber(a, 10, fault.value) && fault.value > 0;
    }
    if (name == "block-index") {
        fault.kind = Fault::Kind::BlockIndex;
        return ParseNumber(a, 10, fault.number) && ParseNumber(b, 10, fault.value);
    }
    if (name == "bad-checksum") {
        fault.kind = Fault::Kind::BadChecksum;
        return b.empty() && ParseCommand(a, fault.command);
    }
    if (name == "wrong-command") {
        fault.kind = Fault::Kind::WrongCommand;
        fault.value = 0x7E;
        return ParseCommand(a, fault.command) &&
               (b.empty() || (ParseNumber(b, 16, fault.value) && fault.value <= 0x7F));
    }
    if (name == "wrong-status") {
        fault.kind = Fault::Kind::WrongStatus;
        return ParseCommand(a, fault.command) && ParseNumber(b, 10, fault.value) &&
               fault.value <= 0xFF;
    }
    return false;
}

}  // namespace

std::optional<InstrumentFaults> ParseFaults(const std::string& text, std::string& error) {
    InstrumentFaults result;
    std::size_t start = 0;
    while (start <= text.size()) {
        const auto comma = text.find(',', start);
        const std::string one =
            text.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        if (!one.empty()) {
            Fault fault;
            if (!ParseOne(one, fault)) {
                error = "Unknown instrument fault \"" + one + "\"";
                return std::nullopt;
            }
            result.faults.push_back(fault);
        }
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    return result;
}

}  // namespace velnor::instrument
