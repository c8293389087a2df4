#include "Printable.h"

namespace velnor::cli {

namespace {

void AppendEscaped(std::string& to, unsigned char byte) {
    constexpr char kHex[] = "0123456789ABCDEF";
    to += "\\x";
    to += kHex[byte >> 4];
    to += kHex[byte & 0x0F];
}

bool IsContinuation(unsigned char byte) {
    return (byte & 0xC0) == 0x80;
}

/// The length of the valid UTF-8 sequence at the start of `text` (shortest
/// form, no surrogates, at most U+10FFFF), or 0 when there is none.
std::size_t SequenceLength(std::string_view text) {
    const auto at = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = at(0);
    if (lead < 0x80) return 1;
    std::size_t length = 0;
    unsigned char low = 0x80, high = 0xBF;  // the allowed range of the second byte
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0) low = 0xA0;
        if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;
    } else {
        return 0;
    }
    if (text.size() < length || at(1) < low || at(1) > high) return 0;
    for (std::size_t i = 2; i < length; ++i)
        if (!IsContinuation(at(i))) return 0;
    return length;
}

}  // namespace

std::string Printable(std::string_view text) {
    std::string shown;
    shown.reserve(text.size());
    while (!text.empty()) {
        const auto lead = static_cast<unsigned char>(text[0]);
        const std::size_t length = SequenceLength(text);
        // A C1 control is C2h followed by 80h to 9Fh.
        const bool control =
            length == 1 ? lead < 0x20 || lead == 0x7F
                        : length == 2 && lead == 0xC2 && static_cast<unsigned char>(text[1]) < 0xA0;
        if (length == 0) {
            AppendEscaped(shown, lead);
            text.remove_prefix(1);
            continue;
        }
        for (std::size_t i = 0; i < length; ++i) {
            if (control)
                AppendEscaped(shown, static_cast<unsigned char>(text[i]));
            else
                shown += text[i];
        }
        text.remove_prefix(length);
    }
    return shown;
}

}  // namespace velnor::cli
