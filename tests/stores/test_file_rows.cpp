#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <stdexcept>

#include "ListsTestDir.h"
#include "stores/FileRows.h"
#include "support/Portable.h"

using namespace velnor;
namespace fs = std::filesystem;

namespace {

std::vector<std::string> Names(const std::vector<FileRow>& rows) {
    std::vector<std::string> names;
    for (const FileRow& row : rows) names.push_back(row.name);
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace

TEST(FileRows, SizeTextRoundsDownToThousandsButShowsOneForSmallFiles) {
    const std::pair<std::uintmax_t, const char*> cases[] = {
        {0, ""},       {1, "1KB"},    {999, "1KB"},      {1000, "1KB"},
        {1999, "1KB"}, {2000, "2KB"}, {123456, "123KB"}, {5000000000ULL, "5000000KB"},
    };
    for (const auto& [size, text] : cases) EXPECT_EQ(SizeText(size), text) << size;
}

TEST(FileRows, ModifiedTextIsLocalMonthDayYearHourMinute) {
    std::tm local{};
    local.tm_year = 2024 - 1900;
    local.tm_mon = 2;  // March
    local.tm_mday = 5;
    local.tm_hour = 7;
    local.tm_min = 9;
    local.tm_isdst = -1;
    const auto sys = std::chrono::system_clock::from_time_t(std::mktime(&local));
    const auto fileTime = std::chrono::file_clock::from_sys(sys);
    EXPECT_EQ(ModifiedText(fileTime), "03/05/2024 07:09");

    velnor::testing::ListsTestDir dir;
    const std::string path = dir.File("song.mid", 10);
    fs::last_write_time(path, fileTime);
    const std::optional<FileRow> row = MakeFileRow(path, {});
    ASSERT_TRUE(row);
    EXPECT_EQ(row->modifiedText, "03/05/2024 07:09");
}

TEST(FileRows, RowCarriesNameSizeAndSongNameOnlyWhenTheReaderGivesOne) {
    velnor::testing::ListsTestDir dir;
    const std::string song = dir.File("Song One.MID", 2000);
    const std::string broken = dir.File("broken.mid", 999);
    const std::string throwing = dir.File("throws.mid", 5);
    const std::string empty = dir.File("empty.mid", 0);
    int calls = 0;
    SongNameReader reader = [&](const std::string& path) -> std::optional<std::string> {
        ++calls;
        if (path == song) return "Ballad";
        if (path == throwing) throw std::runtime_error("read failed");
        return std::nullopt;
    };

    std::optional<FileRow> row = MakeFileRow(song, reader);
    ASSERT_TRUE(row);
    EXPECT_EQ(row->name, "Song One.MID");
    EXPECT_EQ(row->path, song);
    EXPECT_FALSE(row->isFolder);
    EXPECT_EQ(row->sizeText, "2KB");
    EXPECT_EQ(row->songName, "Ballad");

    row = MakeFileRow(broken, reader);
    ASSERT_TRUE(row);
    EXPECT_EQ(row->sizeText, "1KB");
    EXPECT_EQ(row->songName, "");
    row = MakeFileRow(throwing, reader);
    ASSERT_TRUE(row);
    EXPECT_EQ(row->songName, "");
    row = MakeFileRow(empty, reader);
    ASSERT_TRUE(row);
    EXPECT_EQ(row->sizeText, "");
    EXPECT_EQ(row->songName, "");

    const int before = calls;
    row = MakeFileRow(dir.Folder("Sub"), reader);
    ASSERT_TRUE(row);
    EXPECT_TRUE(row->isFolder);
    EXPECT_EQ(row->name, "Sub");
    EXPECT_EQ(row->sizeText, "");
    EXPECT_EQ(calls, before) << "folders are never read as songs";

    EXPECT_FALSE(MakeFileRow(dir.Path("vanished.mid"), reader));
}

TEST(FileRows, RepositoryListsSongFilesOfAnyCaseAndNothingElse) {
    VELNOR_NEEDS_LINKS_AND_PIPES();
    velnor::testing::ListsTestDir dir;
    dir.File("song.MID", 10);
    dir.File("a.mid", 10);
    dir.File("X.Mid", 10);
    dir.File("c.txt", 10);
    dir.File("x.mid.bak", 10);
    dir.Folder("x.mid");
    dir.Folder("Songs");
    dir.File("Songs/inner.mid", 10);
    const std::string outside = dir.Folder("elsewhere");
    dir.File("elsewhere/target.mid", 10);
    fs::create_directory_symlink(outside, dir.Path("linked-folder.mid"));
    fs::create_symlink(dir.Path("elsewhere/target.mid"), dir.Path("linked-song.mid"));
    fs::create_symlink(dir.Path("nowhere.mid"), dir.Path("dangling.mid"));
    ASSERT_EQ(::mkfifo(dir.Path("pipe.mid").c_str(), 0600), 0);

    const std::vector<FileRow> rows = ListRepository(dir.Path(), {});
    EXPECT_EQ(Names(rows),
              (std::vector<std::string>{"X.Mid", "a.mid", "linked-song.mid", "song.MID"}));
    for (const FileRow& row : rows) EXPECT_FALSE(row.isFolder) << row.name;

    EXPECT_TRUE(ListRepository(dir.Path("missing"), {}).empty());
}

TEST(FileRows, BrowserListsSubFoldersAndSongsButNotHiddenOrOtherFiles) {
    VELNOR_NEEDS_LINKS_AND_PIPES();
    velnor::testing::ListsTestDir dir;
    dir.File("a.mid", 10);
    dir.File("b.MID", 10);
    dir.File("X.Mid", 10);
    dir.File("c.txt", 10);
    dir.File("x.mid.bak", 10);
    dir.File(".hidden.mid", 10);
    dir.Folder("sub");
    dir.Folder(".config");
    const std::string outside = dir.Folder("sub/deeper");
    fs::create_directory_symlink(outside, dir.Path("link-to-folder"));

    const std::vector<FileRow> rows = ListBrowserFolder(dir.Path(), {});
    EXPECT_EQ(Names(rows), (std::vector<std::string>{"X.Mid", "a.mid", "b.MID", "sub"}));
    for (const FileRow& row : rows) EXPECT_EQ(row.isFolder, row.name == "sub") << row.name;
}
