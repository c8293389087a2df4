#pragma once

#include <cstddef>
#include <string_view>

namespace velnor {

/// The length of the valid UTF-8 sequence at the start of `text` (shortest
/// form, no surrogates, at most U+10FFFF), or 0 when there is none.
std::size_t Utf8SequenceLength(std::string_view text);

/// The character of the valid sequence of `length` bytes at the start of
/// `text` (a length Utf8SequenceLength gave).
char32_t Utf8Character(std::string_view text, std::size_t length);

}  // namespace velnor
