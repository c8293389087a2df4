#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace velnor {

/// The length of the valid UTF-8 sequence at the start of `text` (shortest
/// form, no surrogates, at most U+10FFFF), or 0 when there is none.
std::size_t Utf8SequenceLength(std::string_view text);

/// The character of the valid sequence of `length` bytes at the start of
/// `text` (a length Utf8SequenceLength gave).
char32_t Utf8Character(std::string_view text, std::size_t length);

/// True when every byte of `text` belongs to a valid UTF-8 sequence.
bool IsValidUtf8(std::string_view text);

/// A name or text from outside the program (a slot or device name from the
/// instrument, a text event of a song, a file name from another system) as
/// valid UTF-8. Bytes that hold at least one valid multi-byte UTF-8 sequence
/// are UTF-8: a byte that starts no valid sequence (a character the
/// instrument's 12-byte limit cut short, say) is left out and the rest stays.
/// Bytes of 80h and more without any valid multi-byte sequence are
/// Windows-1252, the code page of the instrument's first platform
/// ("Caf\xE9" reads as "Café"). ASCII stays as it is.
std::string NameAsUtf8(std::string_view bytes);

}  // namespace velnor
