#pragma once

#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>

namespace velnor {

// Every path the program keeps in a std::string is the system's own name,
// losslessly: its bytes on POSIX systems (UTF-8, unless a file was named
// otherwise elsewhere), its UTF-16 as UTF-8 on Windows, where a lone
// surrogate that no UTF-8 can hold is written as its own three bytes
// (WTF-8). A std::filesystem::path made from a narrow string takes the bytes
// in the system's own narrow encoding (on Windows, the ANSI code page, which
// cannot hold most names), so paths cross between the two only here.

/// UTF-16 from UTF-8 in which a lone surrogate may stand as three bytes; a
/// byte that starts no character becomes U+FFFD.
std::u16string Utf16FromWtf8(std::string_view text);
/// UTF-8 from UTF-16, a lone surrogate written as three bytes: every UTF-16
/// name comes back from Utf16FromWtf8 as it was.
std::string Wtf8FromUtf16(std::u16string_view text);

/// The path a UTF-8 string names.
std::filesystem::path PathFromUtf8(std::string_view text);
/// A path as UTF-8.
std::string Utf8FromPath(const std::filesystem::path& path);
/// The last part of a path ("Café.mid"), as UTF-8.
std::string Utf8FileName(const std::string& path);
/// std::fopen for a path of any name.
std::FILE* OpenFile(const std::filesystem::path& path, const char* mode);
/// An environment variable's value as UTF-8; empty when it is not set.
std::string Utf8Environment(const char* name);

}  // namespace velnor
