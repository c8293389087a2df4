#include <gtest/gtest.h>

#include "ListsTestDir.h"
#include "stores/DropFiles.h"

using namespace velnor;
namespace fs = std::filesystem;

TEST(DropPlan, KeepsSongsWithTheirOwnCaseAndUpperCasesOnlyTheTarget) {
    const std::vector<DroppedSong> songs =
        PlanDrop({"/music/Songs", "/music/notes.txt", "/music/jazz.mid", "/music/x.mid.bak",
                  "/music/Live/Encore.Mid", "plain.mid", "/root.mid", "/music/café.mid"});
    ASSERT_EQ(songs.size(), 3u);
    EXPECT_EQ(songs[0].sourceFolder, "/music");
    EXPECT_EQ(songs[0].sourceName, "jazz.mid");
    EXPECT_EQ(songs[0].targetName, "JAZZ.MID");
    EXPECT_EQ(songs[1].sourceFolder, "/music/Live");
    EXPECT_EQ(songs[1].sourceName, "Encore.Mid");
    EXPECT_EQ(songs[1].targetName, "ENCORE.MID");
    EXPECT_EQ(songs[2].targetName, "CAFé.MID") << "bytes beyond ASCII are left alone";
}

TEST(DropCopy, CopiesOnlyTheSongsFromWhereTheyAreIntoUpperCaseNames) {
    velnor::testing::ListsTestDir dir;
    const std::string repository = dir.Folder("Repository") + "/";
    dir.File("desk/song.mid", 10);
    dir.File("desk/Other.Mid", 11);
    dir.File("desk/notes.txt", 12);
    dir.Folder("desk/Folder");
    dir.File("search/hit.mid", 13);
    CopyOneSong copy = [](const std::string& sourceFolder, const std::string& sourceName,
                          const std::string& targetFolder, const std::string& targetName) {
        fs::copy_file(fs::path(sourceFolder) / sourceName, fs::path(targetFolder) / targetName);
        return CopyStep::Continue;
    };

    EXPECT_TRUE(CopyDroppedSongs(
        {dir.Path("desk/Folder"), dir.Path("desk/notes.txt"), dir.Path("desk/song.mid"),
         dir.Path("desk/Other.Mid"), dir.Path("search/hit.mid")},
        repository, copy));
    EXPECT_EQ(velnor::testing::SortedNames(repository),
              (std::vector<std::string>{"HIT.MID", "OTHER.MID", "SONG.MID"}));
    EXPECT_EQ(fs::file_size(dir.Path("Repository/SONG.MID")), 10u);
}

TEST(DropCopy, CancelEndsTheBatchAndADropWithoutSongsDoesNotReload) {
    std::vector<std::string> seen;
    CopyOneSong cancelFirst = [&](const std::string&, const std::string& sourceName,
                                  const std::string&, const std::string&) {
        seen.push_back(sourceName);
        return CopyStep::Cancel;
    };
    EXPECT_TRUE(CopyDroppedSongs({"/a/one.mid", "/a/two.mid"}, "/repo/", cancelFirst));
    EXPECT_EQ(seen, std::vector<std::string>{"one.mid"});

    seen.clear();
    EXPECT_FALSE(CopyDroppedSongs({"/a/notes.txt", "/a/Folder"}, "/repo/", cancelFirst));
    EXPECT_FALSE(CopyDroppedSongs({"/a/one.mid"}, "/", cancelFirst));
    EXPECT_FALSE(CopyDroppedSongs({"a/one.mid"}, "/repo/", cancelFirst))
        << "a one-character source folder is passed over";
    EXPECT_TRUE(seen.empty());
}
