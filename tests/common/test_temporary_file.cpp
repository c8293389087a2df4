// The one writer of temporary files: a file of its own beside the target,
// renamed into place, and nothing left behind either way.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "common/TemporaryFile.h"
#include "support/Portable.h"
#include "support/TemporaryFiles.h"

namespace velnor {
namespace {

namespace fs = std::filesystem;

std::string Read(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

TEST(TemporaryFile, ReplacesTheTargetOrLeavesItAsItWas) {
    const fs::path folder = fs::path(::testing::TempDir()) / "velnor-temporary-file";
    fs::remove_all(folder);
    fs::create_directories(folder);
    const fs::path target = folder / "song.mid";
    std::ofstream(target) << "old";

    EXPECT_TRUE(WriteFileSafely(target, "new", 3));
    EXPECT_EQ(Read(target), "new");
    {
        CTemporaryFile unfinished(folder);
        ASSERT_TRUE(unfinished.IsOpen());
        EXPECT_EQ(unfinished.Path().parent_path(), folder);
        EXPECT_TRUE(unfinished.Write("half", 4));
    }
    EXPECT_EQ(Read(target), "new");
    EXPECT_FALSE(WriteFileSafely(folder / "missing" / "song.mid", "x", 1));
    EXPECT_FALSE(velnor::testing::TemporaryFileLeft(folder));
    fs::remove_all(folder);
}

TEST(TemporaryFile, ALinkAtTheTargetIsReplacedAndWhatItPointsToKept) {
    VELNOR_NEEDS_LINKS_AND_PIPES();
    const fs::path folder = fs::path(::testing::TempDir()) / "velnor-temporary-link";
    fs::remove_all(folder);
    fs::create_directories(folder);
    std::ofstream(folder / "mine.txt") << "mine";
    fs::create_symlink(folder / "mine.txt", folder / "song.mid");
    EXPECT_TRUE(WriteFileSafely(folder / "song.mid", "new", 3));
    EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(folder / "song.mid")));
    EXPECT_EQ(Read(folder / "song.mid"), "new");
    EXPECT_EQ(Read(folder / "mine.txt"), "mine");
    fs::remove_all(folder);
}

}  // namespace
}  // namespace velnor
