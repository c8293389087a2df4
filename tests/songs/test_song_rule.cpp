#include <gtest/gtest.h>

#include "SmfBuilder.h"
#include "songs/SongRule.h"

using namespace velnor;
using namespace velnor::test;

namespace {

std::string Message(const TempFolder& folder, const std::string& name, const Bytes& bytes) {
    WriteFile(folder / name, bytes);
    return SongRefusalMessage((folder / name).string(), name);
}

}  // namespace

TEST(SongRule, MessagesInTheOrderOfTheTests) {
    TempFolder dir;
    EXPECT_EQ(Message(dir, "GOOD.MID", GoodSong()), "");
    EXPECT_EQ(Message(dir, "SONG.MID", TwoTrackSong()),
              "SONG.MID Midi Format Error!(Format 0 required)");
    EXPECT_EQ(Message(dir, "S96.MID", GoodSong("x", 96)),
              "S96.MID Midi Format Error!(PPQN=120 required)");
    EXPECT_EQ(Message(dir, "F1D96.MID", TwoTrackSong(96)),
              "F1D96.MID Midi Format Error!(Format 0 required)")
        << "a format-1 file is reported for its format only";
    EXPECT_EQ(Message(dir, "F2.MID", Smf(2, 120, {kEndOfTrack})), "F2.MID Midi Format Error!");
    EXPECT_EQ(Message(dir, "EOT.MID", Smf(0, 120, {{0x00, 0xFF, 0x2F, 0x01, 0x00}})),
              "EOT.MID Midi Format Error!");
    EXPECT_EQ(Message(dir, "EMPTY.MID", {}), "EMPTY.MID Midi Format Error!");
    // A time-code division (SMPTE, top bit set) never passes.
    EXPECT_EQ(Message(dir, "SMPTE.MID", GoodSong("x", 0xE728)),
              "SMPTE.MID Midi Format Error!(PPQN=120 required)");
    EXPECT_EQ(Message(dir, "TC120.MID", GoodSong("x", 0x8078)),
              "TC120.MID Midi Format Error!(PPQN=120 required)")
        << "a time-code division whose low bits read 120";
    EXPECT_EQ(Message(dir, "ZERO.MID", Header(0, 0, 120)), "") << "14 bytes, no tracks";
}

TEST(SongRule, AFileThatCannotBeOpenedIsToldApart) {
    TempFolder dir;
    EXPECT_EQ(CheckSongFile((dir / "missing.mid").string()), SongVerdict::CannotOpen);
    EXPECT_EQ(CheckSongFile(dir.str()), SongVerdict::CannotOpen) << "a folder";
    EXPECT_EQ(SongRefusalMessage((dir / "gone.mid").string(), "gone.mid"),
              "gone.mid: cannot be opened");
    CMidiReader reader;
    reader.m_strFileName = (dir / "missing.mid").string();
    EXPECT_EQ(reader.LoadFile(), LoadResult::CannotOpen);
    EXPECT_EQ(reader.ParseHeader(), CMidiReader::kHeaderNothingLoaded);
}

TEST(SongRule, LoadFileReadsEveryByte) {
    TempFolder dir;
    const Bytes song = TwoTrackSong();
    WriteFile(dir / "two.mid", song);
    CMidiReader reader;
    reader.m_strFileName = (dir / "two.mid").string();
    ASSERT_EQ(reader.LoadFile(), LoadResult::Loaded);
    EXPECT_EQ(reader.GetFileSize(), song.size());
    ASSERT_EQ(reader.ParseHeader(), 0);
    EXPECT_TRUE(reader.ParseTracks());
    EXPECT_EQ(reader.GetSongName(), "Conductor");
    EXPECT_EQ(reader.GetEventCount(1), 8u);
}

TEST(SongRule, ListsShowTheNameWhateverFormatAndDivision) {
    TempFolder dir;
    WriteFile(dir / "f1.mid", TwoTrackSong(96));
    EXPECT_EQ(ReadListSongName((dir / "f1.mid").string()), "Conductor");
    WriteFile(dir / "bad.mid", Smf(0, 120, {Meta(3, "Bad") + Bytes{0x00, 0x90, 0x3C, 0x40}}));
    EXPECT_EQ(ReadListSongName((dir / "bad.mid").string()), "") << "tracks must end properly";
    EXPECT_EQ(ReadListSongName((dir / "none.mid").string()), "");
}
