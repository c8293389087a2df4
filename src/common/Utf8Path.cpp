#include "common/Utf8Path.h"

#include <cstdlib>

namespace velnor {

#ifdef _WIN32
// Windows keeps names in UTF-16; they cross to UTF-8 and back unchanged.

std::filesystem::path PathFromUtf8(std::string_view text) {
    const std::u16string wide = Utf16FromWtf8(text);
    return std::filesystem::path(std::wstring(wide.begin(), wide.end()));
}

std::string Utf8FromPath(const std::filesystem::path& path) {
    const std::wstring& text = path.native();
    return Wtf8FromUtf16(std::u16string(text.begin(), text.end()));
}

std::FILE* OpenFile(const std::filesystem::path& path, const char* mode) {
    const std::wstring wideMode(mode, mode + std::char_traits<char>::length(mode));
    return ::_wfopen(path.c_str(), wideMode.c_str());
}

std::string Utf8Environment(const char* name) {
    const std::wstring wideName(name, name + std::char_traits<char>::length(name));
    const wchar_t* value = ::_wgetenv(wideName.c_str());
    return value ? Utf8FromPath(std::filesystem::path(value)) : std::string();
}

#else
// Elsewhere a narrow path is taken byte for byte: UTF-8 stays UTF-8.

std::filesystem::path PathFromUtf8(std::string_view text) {
    return std::filesystem::path(text);
}

std::string Utf8FromPath(const std::filesystem::path& path) {
    return path.native();
}

std::FILE* OpenFile(const std::filesystem::path& path, const char* mode) {
    return std::fopen(path.c_str(), mode);
}

std::string Utf8Environment(const char* name) {
    const char* value = std::getenv(name);
    return value ? std::string(value) : std::string();
}
#endif

std::u16string Utf16FromWtf8(std::string_view text) {
    std::u16string wide;
    wide.reserve(text.size());
    const auto at = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const auto follows = [&](std::size_t i) { return i < text.size() && (at(i) & 0xC0) == 0x80; };
    for (std::size_t i = 0; i < text.size();) {
        const unsigned char lead = at(i);
        char32_t c = 0xFFFD;
        std::size_t length = 1;
        if (lead < 0x80) {
            c = lead;
        } else if (lead >= 0xC2 && lead <= 0xDF && follows(i + 1)) {
            c = char32_t(lead & 0x1F) << 6 | (at(i + 1) & 0x3F);
            length = 2;
        } else if (lead >= 0xE0 && lead <= 0xEF && follows(i + 1) && follows(i + 2) &&
                   (lead != 0xE0 || at(i + 1) >= 0xA0)) {
            c = char32_t(lead & 0x0F) << 12 | char32_t(at(i + 1) & 0x3F) << 6 | (at(i + 2) & 0x3F);
            length = 3;
        } else if (lead >= 0xF0 && lead <= 0xF4 && follows(i + 1) && follows(i + 2) &&
                   follows(i + 3) && (lead != 0xF0 || at(i + 1) >= 0x90) &&
                   (lead != 0xF4 || at(i + 1) < 0x90)) {
            c = char32_t(lead & 0x07) << 18 | char32_t(at(i + 1) & 0x3F) << 12 |
                char32_t(at(i + 2) & 0x3F) << 6 | (at(i + 3) & 0x3F);
            length = 4;
        }
        if (c >= 0x10000) {
            wide += char16_t(0xD800 + ((c - 0x10000) >> 10));
            wide += char16_t(0xDC00 + ((c - 0x10000) & 0x3FF));
        } else {
            wide += char16_t(c);
        }
        i += length;
    }
    return wide;
}

std::string Wtf8FromUtf16(std::u16string_view text) {
    std::string narrow;
    narrow.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t c = text[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] < 0xE000) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
        }
        if (c < 0x80) {
            narrow += char(c);
        } else if (c < 0x800) {
            narrow += char(0xC0 | c >> 6);
            narrow += char(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            narrow += char(0xE0 | c >> 12);
            narrow += char(0x80 | (c >> 6 & 0x3F));
            narrow += char(0x80 | (c & 0x3F));
        } else {
            narrow += char(0xF0 | c >> 18);
            narrow += char(0x80 | (c >> 12 & 0x3F));
            narrow += char(0x80 | (c >> 6 & 0x3F));
            narrow += char(0x80 | (c & 0x3F));
        }
    }
    return narrow;
}

std::string Utf8FileName(const std::string& path) {
    return Utf8FromPath(PathFromUtf8(path).filename());
}

}  // namespace velnor
