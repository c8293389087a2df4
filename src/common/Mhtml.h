#pragma once

#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace velnor {

/// One part of a MIME document: its headers and its body with the transfer
/// encoding (quoted-printable, base64) undone.
struct MimePart {
    /// Header names in lower case; folded lines joined with one blank.
    std::map<std::string, std::string> headers;
    std::string body;

    /// The header's value; empty when the part has none.
    std::string Header(const std::string& name) const;
    /// "type/subtype" of Content-Type in lower case; "text/plain" without one.
    std::string MediaType() const;
    /// A parameter of Content-Type ("charset", "boundary"), quotes removed;
    /// empty when absent.
    std::string Parameter(const std::string& name) const;
};

/// A web page saved as one MIME message (MHTML, ".mht"): usually a
/// multipart/related message holding the page and the pictures it uses.
struct MhtmlDocument {
    /// Every leaf part in document order; nested multiparts are flattened.
    std::vector<MimePart> parts;
    /// The page: the first text/html part; -1 when there is none.
    int htmlIndex = -1;

    const MimePart* Html() const {
        return htmlIndex >= 0 ? &parts[std::size_t(htmlIndex)] : nullptr;
    }
    /// The part a page refers to by `url`: "cid:" + its Content-ID, or its
    /// Content-Location; null when none matches.
    const MimePart* Find(const std::string& url) const;
};

/// Reads an MHTML document. Anything that is not a MIME message (no header
/// block) gives no parts; a malformed part is kept as far as it reads.
MhtmlDocument ReadMhtml(std::string_view document);

/// Undoes quoted-printable: "=XX" is the byte XX, "=" at a line's end joins
/// it to the next; any other "=" stays as it is.
std::string DecodeQuotedPrintable(std::string_view text);

/// Undoes base64, passing over line breaks and other characters outside the
/// alphabet; decoding stops at the first "=".
std::string DecodeBase64(std::string_view text);

}  // namespace velnor
