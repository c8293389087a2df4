#pragma once

#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>

namespace velnor {

// Every path the program keeps in a std::string is UTF-8, whatever the
// system. A std::filesystem::path made from a narrow string takes the bytes
// in the system's own narrow encoding (on Windows, the ANSI code page, which
// cannot hold most names), so paths cross between the two only here.

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
