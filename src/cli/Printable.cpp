#include "Printable.h"

#include "common/Utf8Text.h"

namespace velnor::cli {

namespace {

void AppendEscaped(std::string& to, unsigned char byte) {
    constexpr char kHex[] = "0123456789ABCDEF";
    to += "\\x";
    to += kHex[byte >> 4];
    to += kHex[byte & 0x0F];
}

}  // namespace

std::string Printable(std::string_view text) {
    std::string shown;
    shown.reserve(text.size());
    while (!text.empty()) {
        const auto lead = static_cast<unsigned char>(text[0]);
        const std::size_t length = Utf8SequenceLength(text);
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
