// Reading the help document's format: MIME headers, multipart bodies and the
// two transfer encodings, on documents built here and on the shipped help.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "common/Mhtml.h"

namespace velnor {
namespace {

const char* const kSaved =
    "From: <Saved by a browser>\r\n"
    "MIME-Version: 1.0\r\n"
    "Content-Type: multipart/related;\r\n"
    "\ttype=\"text/html\";\r\n"
    "\tboundary=\"----=_Part_7\"\r\n"
    "\r\n"
    "preamble\r\n"
    "------=_Part_7\r\n"
    "Content-Type: text/html; charset=\"utf-8\"\r\n"
    "Content-Transfer-Encoding: quoted-printable\r\n"
    "Content-Location: file:///page.htm\r\n"
    "\r\n"
    "<p class=3D\"x\">caf=C3=A9 with a long=\r\n"
    " line</p><img src=3D\"cid:pic1\">\r\n"
    "------=_Part_7\r\n"
    "Content-Type: image/png\r\n"
    "Content-Transfer-Encoding: base64\r\n"
    "Content-ID: <pic1>\r\n"
    "Content-Location: file:///pic.png\r\n"
    "\r\n"
    "iVBO\r\n"
    "Rw==\r\n"
    "------=_Part_7--\r\n"
    "epilogue\r\n";

TEST(Mhtml, SavedPageGivesItsPageAndPictures) {
    const MhtmlDocument doc = ReadMhtml(kSaved);
    ASSERT_EQ(doc.parts.size(), 2u);
    ASSERT_NE(doc.Html(), nullptr);
    EXPECT_EQ(doc.Html()->body,
              "<p class=\"x\">caf\xC3\xA9 with a long line</p><img src=\"cid:pic1\">");
    EXPECT_EQ(doc.Html()->Parameter("charset"), "utf-8");
    EXPECT_EQ(doc.parts[1].body, "\x89PNG");
    EXPECT_EQ(doc.Find("cid:pic1"), &doc.parts[1]);
    EXPECT_EQ(doc.Find("file:///pic.png"), &doc.parts[1]);
    EXPECT_EQ(doc.Find("cid:other"), nullptr);
}

struct ShapeCase {
    const char* name;
    std::string document;
    std::size_t nParts;
    int htmlIndex;
    std::string htmlBody;
};

class MhtmlShapes : public ::testing::TestWithParam<ShapeCase> {};

TEST_P(MhtmlShapes, ReadAsFarAsTheyGo) {
    const ShapeCase& c = GetParam();
    const MhtmlDocument doc = ReadMhtml(c.document);
    EXPECT_EQ(doc.parts.size(), c.nParts);
    EXPECT_EQ(doc.htmlIndex, c.htmlIndex);
    if (doc.Html()) {
        EXPECT_EQ(doc.Html()->body, c.htmlBody);
    }
}

std::string Nested(int depth) {
    std::string doc;
    for (int i = 0; i < depth; ++i) {
        const std::string b = "b" + std::to_string(i);
        doc += "Content-Type: multipart/mixed; boundary=" + b + "\n\n--" + b + "\n";
    }
    return doc + "Content-Type: text/html\n\n<p>deep</p>\n";
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MhtmlShapes,
    ::testing::Values(
        ShapeCase{"single_part_page",
                  "Content-Type: Text/HTML\nContent-Transfer-Encoding: 7bit\n\n<b>x</b>", 1, 0,
                  "<b>x</b>"},
        ShapeCase{"not_mime", "<html><body>x</body></html>", 0, -1, ""},
        ShapeCase{"empty", "", 0, -1, ""},
        ShapeCase{"unclosed_boundary",
                  "Content-Type: multipart/related; boundary=zz\n\n--zz\nContent-Type: "
                  "text/html\n\n<i>a</i>\n",
                  1, 0, "<i>a</i>\n"},
        ShapeCase{"page_after_a_picture",
                  "Content-Type: multipart/related; boundary=q\n\n--q\nContent-Type: "
                  "image/gif\n\nGIF\n--q\n"
                  "Content-Type: text/html\n\n<u>p</u>\n--q--\n",
                  2, 1, "<u>p</u>"},
        ShapeCase{"nested_alternative",
                  "Content-Type: multipart/related; boundary=o\n\n--o\n"
                  "Content-Type: multipart/alternative; boundary=i\n\n--i\nContent-Type: "
                  "text/plain\n\nt\n--i\n"
                  "Content-Type: text/html\n\n<s>h</s>\n--i--\n--o--\n",
                  2, 1, "<s>h</s>"},
        ShapeCase{"hostile_nesting", Nested(5000), 1, -1, ""},
        ShapeCase{"header_without_colon", "Content-Type text/html\n\n<p>x</p>", 0, -1, ""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Mhtml, TransferEncodings) {
    const std::pair<std::string, std::string> qp[] = {
        {"a=3Db", "a=b"},
        {"soft=\r\nbreak", "softbreak"},
        {"soft=\nbreak", "softbreak"},
        {"=G1 stays", "=G1 stays"},
        {"end=", "end="},
        {"=e9", "\xE9"},
        {"=0A=af=F0", "\x0A\xAF\xF0"},  // the edges of both hex alphabets
    };
    for (const auto& [in, out] : qp) EXPECT_EQ(DecodeQuotedPrintable(in), out) << in;
    const std::pair<std::string, std::string> b64[] = {
        {"SGVsbG8=", "Hello"}, {"SGVs\r\nbG8=", "Hello"}, {"", ""},
        {"SGVsbG8", "Hello"},  {"Zm9v!YmFy", "foobar"},   {"AZaz09+/", "\x01\x96\xB3\xD3\xDF\xBF"},
    };
    for (const auto& [in, out] : b64) EXPECT_EQ(DecodeBase64(in), out) << in;
}

TEST(Mhtml, ShippedHelpHasItsPage) {
    std::ifstream file(VELNOR_SOURCE_DIR "/res/Help.mht", std::ios::binary);
    ASSERT_TRUE(file);
    std::stringstream bytes;
    bytes << file.rdbuf();
    const MhtmlDocument doc = ReadMhtml(bytes.str());
    ASSERT_NE(doc.Html(), nullptr);
    EXPECT_NE(doc.Html()->body.find("<title>Velnor Help</title>"), std::string::npos);
    EXPECT_NE(doc.Html()->body.find("</html>"), std::string::npos);
}

}  // namespace
}  // namespace velnor
