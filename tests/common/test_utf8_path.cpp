// Paths kept as UTF-8 strings name the same file on every system.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "common/Utf8Path.h"

namespace velnor {
namespace {

namespace fs = std::filesystem;

TEST(Utf8Path, NamesOfAnyLetterMakeTheFileAndComeBackAsTheyWere) {
    const fs::path folder = fs::temp_directory_path() / PathFromUtf8("velnor-utf8-Übung");
    fs::create_directories(folder);
    for (const std::string name : {"Café.mid", "Ωδή.mid", "plain.mid"}) {
        const fs::path path = folder / PathFromUtf8(name);
        EXPECT_EQ(Utf8FromPath(path.filename()), name);
        EXPECT_EQ(Utf8FileName(Utf8FromPath(path)), name);
        std::FILE* file = OpenFile(path, "wb");
        ASSERT_NE(file, nullptr) << name;
        std::fclose(file);
        bool listed = false;
        for (const auto& entry : fs::directory_iterator(folder))
            listed = listed || Utf8FromPath(entry.path().filename()) == name;
        EXPECT_TRUE(listed) << name;
    }
    fs::remove_all(folder);
}

// Windows names are UTF-16 and may hold a lone surrogate (made by some other
// program): such a file must still be found again by the name Velnor keeps.
TEST(Utf8Path, EveryUtf16NameComesBackAsItWas) {
    for (const std::u16string& name : {std::u16string(u"Caf\u00E9 \u03A9\U0001F3B5.mid"),
                                       std::u16string{u'a', char16_t(0xD800), u'b'},
                                       std::u16string{char16_t(0xDFFF), char16_t(0xD83C)}}) {
        const std::string kept = Wtf8FromUtf16(name);
        EXPECT_EQ(Utf16FromWtf8(kept), name);
    }
    EXPECT_EQ(Wtf8FromUtf16(u"Caf\u00E9\U0001F3B5"), "Caf\u00E9\U0001F3B5");
    EXPECT_EQ(Utf16FromWtf8("Caf\xE9\xC3"), u"Caf\uFFFD\uFFFD");
}

TEST(Utf8Path, BytesThatAreNotUtf8NeverThrow) {
    EXPECT_NO_THROW(PathFromUtf8("Caf\xE9.mid"));
    EXPECT_FALSE(Utf8FromPath(PathFromUtf8("Caf\xE9.mid")).empty());
    EXPECT_EQ(Utf8Environment("VELNOR_NO_SUCH_VARIABLE"), "");
}

}  // namespace
}  // namespace velnor
