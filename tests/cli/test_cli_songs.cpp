#include <gtest/gtest.h>

#include <sstream>

#include "Commands.h"
#include "Printable.h"
#include "SmfBuilder.h"

using namespace velnor;
using namespace velnor::test;

namespace {

struct CliRun {
    int status;
    std::string out;
    std::string err;
};

CliRun Cli(const std::vector<std::string>& argv) {
    std::ostringstream out, err;
    int status = cli::Dispatch(cli::SongCommands(), argv, out, err);
    return {status, out.str(), err.str()};
}

}  // namespace

TEST(CliCheck, OneLinePerFileAndTheStatusSaysWhetherAllPassed) {
    TempFolder dir;
    WriteFile(dir / "GOOD.MID", GoodSong());
    WriteFile(dir / "SONG.MID", TwoTrackSong());
    WriteFile(dir / "S96.MID", GoodSong("x", 96));
    WriteFile(dir / "JUNK.MID", {'M', 'T', 'h', 'd'});
    const std::string good = (dir / "GOOD.MID").string();

    CliRun ok = Cli({"check", good, good});
    EXPECT_EQ(ok.status, 0);
    EXPECT_EQ(ok.out, "GOOD.MID OK\nGOOD.MID OK\n");

    CliRun mixed = Cli({"check", good, (dir / "SONG.MID").string(), (dir / "S96.MID").string(),
                        (dir / "JUNK.MID").string(), (dir / "NONE.MID").string()});
    EXPECT_EQ(mixed.status, 1);
    EXPECT_EQ(mixed.out,
              "GOOD.MID OK\n"
              "SONG.MID Midi Format Error!(Format 0 required)\n"
              "SONG.MID: velnor-cli convert makes it a song\n"
              "S96.MID Midi Format Error!(PPQN=120 required)\n"
              "S96.MID: velnor-cli convert makes it a song\n"
              "JUNK.MID Midi Format Error!\n"
              "NONE.MID: cannot be opened\n");

    EXPECT_EQ(Cli({"check", (dir / "NONE.MID").string()}).status, 1);
}

TEST(CliCheck, BadUsageIsStatusTwoWithTheUsageText) {
    CliRun none = Cli({});
    EXPECT_EQ(none.status, cli::kExitUsage);
    EXPECT_NE(none.err.find("check FILE..."), std::string::npos);
    EXPECT_EQ(Cli({"frobnicate"}).status, cli::kExitUsage);
    EXPECT_EQ(Cli({"check"}).status, cli::kExitUsage);
    EXPECT_EQ(Cli({"info"}).status, cli::kExitUsage);
    EXPECT_EQ(Cli({"info", "a", "b"}).status, cli::kExitUsage);
    CliRun help = Cli({"help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("info FILE"), std::string::npos);
}

TEST(CliInfo, DescribesTheSong) {
    TempFolder dir;
    WriteFile(dir / "TWO.MID", TwoTrackSong());
    CliRun two = Cli({"info", (dir / "TWO.MID").string()});
    EXPECT_EQ(two.status, 0);
    EXPECT_NE(two.out.find("format:       1\n"), std::string::npos) << two.out;
    EXPECT_NE(two.out.find("tracks:       2\n"), std::string::npos);
    EXPECT_NE(two.out.find("division:     120\n"), std::string::npos);
    EXPECT_NE(two.out.find("song name:    Conductor\n"), std::string::npos);
    EXPECT_NE(two.out.find("track 1:     8 events, ends with End of Track\n"), std::string::npos);
    EXPECT_NE(two.out.find("every track ends with it"), std::string::npos);
    EXPECT_NE(two.out.find("TWO.MID Midi Format Error!(Format 0 required)"), std::string::npos);

    WriteFile(dir / "OPEN.MID", Smf(0, 120, {Bytes{0x00, 0x90, 0x3C, 0x40}}));
    CliRun open = Cli({"info", (dir / "OPEN.MID").string()});
    EXPECT_NE(open.out.find("track 0:     1 events, no End of Track at its end"), std::string::npos)
        << open.out;
    EXPECT_NE(open.out.find("end of track: missing"), std::string::npos);

    WriteFile(dir / "BAD.MID", GoodSong() + Bytes{0});
    CliRun bad = Cli({"info", (dir / "BAD.MID").string()});
    EXPECT_EQ(bad.status, 1);
    EXPECT_NE(bad.out.find("header result 2"), std::string::npos);
    EXPECT_EQ(Cli({"info", (dir / "NONE.MID").string()}).out, "NONE.MID: cannot be opened\n");
}

// What the CLI prints of a name: control characters and bytes that are not
// UTF-8 as \xNN, everything else as it is.
TEST(CliPrintable, ControlsAndInvalidUtf8AreShownAsHexAndTheRestStays) {
    const std::pair<std::string, std::string> cases[] = {
        {"Plain ~ a\\b.mid", "Plain ~ a\\b.mid"},
        {std::string("\0\x1F \x7F", 4), "\\x00\\x1F \\x7F"},
        {"\xC2\x80|\xC2\x9F|\xC2\xA0", "\\xC2\\x80|\\xC2\\x9F|\xC2\xA0"},  // C1; NBSP stays
        {"\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80", "\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80"},
        {"\xC0\xAF", "\\xC0\\xAF"},                    // overlong
        {"\xE0\x80\xAF", "\\xE0\\x80\\xAF"},           // overlong
        {"\xED\xA0\x80", "\\xED\\xA0\\x80"},           // a surrogate
        {"\xF4\x90\x80\x80", "\\xF4\\x90\\x80\\x80"},  // beyond U+10FFFF
        {"\xE2\x82", "\\xE2\\x82"},                    // cut short
        {"\xE2\x82"
         "A\x80",
         "\\xE2\\x82"
         "A\\x80"},  // cut short; a lone continuation
    };
    for (const auto& [text, shown] : cases) EXPECT_EQ(cli::Printable(text), shown) << shown;
}

TEST(CliConvert, ConvertsIntoATargetOrAFolderAndReplacesOnlyWhenAsked) {
    TempFolder dir;
    const auto path = [&](const char* name) { return (dir / name).string(); };
    WriteFile(dir / "TWO.MID", TwoTrackSong(480));
    WriteFile(dir / "GOOD.MID", GoodSong());
    WriteFile(dir / "JUNK.MID", {'M', 'T', 'h', 'd'});
    std::filesystem::create_directory(dir / "out");

    CliRun one = Cli({"convert", path("TWO.MID"), path("song.mid")});
    EXPECT_EQ(one.status, 0) << one.err;
    EXPECT_EQ(one.out.rfind("TWO.MID -> " + path("song.mid") + ": converted, 2 tracks merged", 0),
              0u)
        << one.out;
    EXPECT_EQ(Cli({"check", path("song.mid")}).status, 0);
    EXPECT_EQ(Cli({"convert", path("TWO.MID"), path("song.mid")}).status, 1);  // it exists now
    EXPECT_EQ(Cli({"convert", "--overwrite", path("TWO.MID"), path("song.mid")}).status, 0);

    CliRun many =
        Cli({"convert", path("TWO.MID"), path("GOOD.MID"), path("JUNK.MID"), path("out")});
    EXPECT_EQ(many.status, 1);
    EXPECT_NE(many.out.find("GOOD.MID -> " + path("out") +
                            "/GOOD.MID: already a song, copied as it is\n"),
              std::string::npos)
        << many.out;
    EXPECT_NE(many.out.find("JUNK.MID Midi Format Error!\n"), std::string::npos);
    EXPECT_EQ(ReadFile(dir / "out" / "GOOD.MID"), GoodSong());
    EXPECT_FALSE(std::filesystem::exists(dir / "out" / "JUNK.MID"));
    EXPECT_EQ(ReadFile(dir / "TWO.MID"), TwoTrackSong(480));

    EXPECT_EQ(Cli({"convert", path("TWO.MID")}).status, cli::kExitUsage);
    EXPECT_EQ(Cli({"convert", path("TWO.MID"), path("GOOD.MID"), path("new.mid")}).status,
              cli::kExitUsage);  // several files need a folder
}
