#include "common/Mhtml.h"

#include <algorithm>
#include <cctype>

namespace velnor {

namespace {

// Nested multiparts deeper than this are read as plain parts: a hostile
// document cannot exhaust the stack.
constexpr int kMaxNesting = 8;

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    return text;
}

std::string_view Trim(std::string_view text) {
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!text.empty() && blank(text.front())) text.remove_prefix(1);
    while (!text.empty() && blank(text.back())) text.remove_suffix(1);
    return text;
}

/// The next line of `text` from `pos` without its line break; `pos` moves
/// past the break.
std::string_view NextLine(std::string_view text, std::size_t& pos) {
    const std::size_t end = text.find('\n', pos);
    std::string_view line = text.substr(pos, end == std::string_view::npos ? end : end - pos);
    pos = end == std::string_view::npos ? text.size() : end + 1;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    return line;
}

/// Reads the header block; false when the text does not start with one.
bool ReadHeaders(std::string_view text, std::size_t& pos, MimePart& part) {
    std::string last;
    while (pos < text.size()) {
        const std::string_view line = NextLine(text, pos);
        if (line.empty()) return !part.headers.empty();
        if ((line.front() == ' ' || line.front() == '\t') && !last.empty()) {
            part.headers[last] += " " + std::string(Trim(line));
            continue;
        }
        const std::size_t colon = line.find(':');
        if (colon == std::string_view::npos || colon == 0) return false;
        last = Lower(std::string(Trim(line.substr(0, colon))));
        part.headers[last] = std::string(Trim(line.substr(colon + 1)));
    }
    return !part.headers.empty();
}

/// The bodies between the boundary lines of a multipart body.
std::vector<std::string_view> SplitMultipart(std::string_view body, const std::string& boundary) {
    std::vector<std::string_view> bodies;
    const std::string delimiter = "--" + boundary;
    std::size_t pos = 0;
    std::size_t start = std::string_view::npos;  // none before the first delimiter
    while (pos < body.size()) {
        const std::size_t lineStart = pos;
        const std::string_view line = Trim(NextLine(body, pos));
        if (line.substr(0, delimiter.size()) != delimiter) continue;
        const std::string_view rest = line.substr(delimiter.size());
        if (!rest.empty() && rest != "--") continue;
        if (start != std::string_view::npos) {
            // The line break before a delimiter belongs to the delimiter.
            std::size_t end = lineStart;
            if (end > start && body[end - 1] == '\n') --end;
            if (end > start && body[end - 1] == '\r') --end;
            bodies.push_back(body.substr(start, end - start));
        }
        if (rest == "--") return bodies;
        start = pos;
    }
    if (start != std::string_view::npos && start < body.size())
        bodies.push_back(body.substr(start));
    return bodies;
}

std::string DecodeBody(std::string_view raw, const std::string& encoding) {
    const std::string kind = Lower(std::string(Trim(encoding)));
    if (kind == "quoted-printable") return DecodeQuotedPrintable(raw);
    if (kind == "base64") return DecodeBase64(raw);
    return std::string(raw);
}

void ReadEntity(std::string_view text, int depth, MhtmlDocument& document) {
    MimePart part;
    std::size_t pos = 0;
    if (!ReadHeaders(text, pos, part)) return;
    const std::string_view raw = text.substr(pos);
    const std::string boundary = part.Parameter("boundary");
    if (part.MediaType().rfind("multipart/", 0) == 0 && !boundary.empty() && depth < kMaxNesting) {
        for (std::string_view inner : SplitMultipart(raw, boundary)) {
            ReadEntity(inner, depth + 1, document);
        }
        return;
    }
    part.body = DecodeBody(raw, part.Header("content-transfer-encoding"));
    if (document.htmlIndex < 0 && part.MediaType() == "text/html") {
        document.htmlIndex = int(document.parts.size());
    }
    document.parts.push_back(std::move(part));
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

int Base64Value(char c) {
    if (c >= 'A' && c <= 'Z') return c - 'A';
    if (c >= 'a' && c <= 'z') return c - 'a' + 26;
    if (c >= '0' && c <= '9') return c - '0' + 52;
    if (c == '+') return 62;
    if (c == '/') return 63;
    return -1;
}

}  // namespace

std::string MimePart::Header(const std::string& name) const {
    const auto it = headers.find(Lower(name));
    return it == headers.end() ? std::string() : it->second;
}

std::string MimePart::MediaType() const {
    const std::string value = Header("content-type");
    if (value.empty()) return "text/plain";
    return Lower(std::string(Trim(std::string_view(value).substr(0, value.find(';')))));
}

std::string MimePart::Parameter(const std::string& name) const {
    const std::string value = Header("content-type");
    const std::string wanted = Lower(name);
    std::size_t pos = value.find(';');
    while (pos != std::string::npos) {
        const std::size_t equals = value.find('=', pos);
        if (equals == std::string::npos) break;
        const std::string key =
            Lower(std::string(Trim(std::string_view(value).substr(pos + 1, equals - pos - 1))));
        std::size_t end;
        std::string parameter;
        if (equals + 1 < value.size() && value[equals + 1] == '"') {
            end = value.find('"', equals + 2);
            parameter = value.substr(equals + 2, end == std::string::npos ? end : end - equals - 2);
            end = end == std::string::npos ? end : value.find(';', end);
        } else {
            end = value.find(';', equals);
            parameter = std::string(Trim(std::string_view(value).substr(
                equals + 1, end == std::string::npos ? end : end - equals - 1)));
        }
        if (key == wanted) return parameter;
        pos = end;
    }
    return {};
}

const MimePart* MhtmlDocument::Find(const std::string& url) const {
    const bool bCid = Lower(url.substr(0, 4)) == "cid:";
    for (const MimePart& part : parts) {
        if (bCid) {
            std::string id(Trim(part.Header("content-id")));
            if (id.size() >= 2 && id.front() == '<' && id.back() == '>')
                id = id.substr(1, id.size() - 2);
            if (!id.empty() && id == url.substr(4)) return &part;
        } else if (!url.empty() && part.Header("content-location") == url) {
            return &part;
        }
    }
    return nullptr;
}

MhtmlDocument ReadMhtml(std::string_view document) {
    MhtmlDocument result;
    ReadEntity(document, 0, result);
    return result;
}

std::string DecodeQuotedPrintable(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '=') {
            out += text[i];
            continue;
        }
        if (i + 1 < text.size() && text[i + 1] == '\n') {
            i += 1;  // soft line break
        } else if (i + 2 < text.size() && text[i + 1] == '\r' && text[i + 2] == '\n') {
            i += 2;
        } else if (i + 2 < text.size() && HexValue(text[i + 1]) >= 0 &&
                   HexValue(text[i + 2]) >= 0) {
            out += char(HexValue(text[i + 1]) * 16 + HexValue(text[i + 2]));
            i += 2;
        } else {
            out += '=';
        }
    }
    return out;
}

std::string DecodeBase64(std::string_view text) {
    std::string out;
    out.reserve(text.size() * 3 / 4);
    unsigned bits = 0;
    int nBits = 0;
    for (char c : text) {
        if (c == '=') break;
        const int value = Base64Value(c);
        if (value < 0) continue;
        bits = (bits << 6) | unsigned(value);
        nBits += 6;
        if (nBits >= 8) {
            nBits -= 8;
            out += char((bits >> nBits) & 0xFF);
        }
    }
    return out;
}

}  // namespace velnor
