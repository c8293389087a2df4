// The checked copy of dropped songs: the source keeps its own case, the
// repository copy gets the upper-case name, and the song copy's rules hold.
#include <gtest/gtest.h>

#include <filesystem>

#include "ListsTestDir.h"
#include "SmfBuilder.h"
#include "common/ScriptedPrompter.h"
#include "stores/DropFiles.h"
#include "support/Portable.h"

using namespace velnor;
using namespace velnor::test;
namespace fs = std::filesystem;

namespace {

struct DropCopyFixture : ::testing::Test {
    TempFolder root;
    fs::path desk = root / "desk";
    fs::path repository = root / "Repository";
    ScriptedPrompter prompter;

    void SetUp() override {
        fs::create_directories(desk);
        fs::create_directories(repository);
    }
    bool Drop(const std::vector<std::string>& paths) {
        return CopyDroppedSongs(
            paths, repository.string() + "/",
            [this](const std::string& sf, const std::string& sn, const std::string& tf,
                   const std::string& tn) { return CopyDroppedSong(sf, sn, tf, tn, prompter); });
    }
};

}  // namespace

TEST_F(DropCopyFixture, MixedCaseSourceOnACaseSensitiveSystemArrivesUnderTheUpperCaseName) {
    VELNOR_POSIX_ONLY("Windows file names ignore case");
    WriteFile(desk / "myTune.Mid", GoodSong("Mine"));
    EXPECT_TRUE(Drop({(desk / "myTune.Mid").string()}));
    EXPECT_EQ(ReadFile(repository / "MYTUNE.MID"), GoodSong("Mine"));
    EXPECT_FALSE(fs::exists(repository / "myTune.Mid"));
    EXPECT_TRUE(prompter.entries.empty());
}

TEST_F(DropCopyFixture, RefusalComesBeforeTheOverwriteQuestionAndNamesTheTarget) {
    WriteFile(desk / "two.mid", TwoTrackSong());
    WriteFile(repository / "TWO.MID", GoodSong("Old"));
    EXPECT_TRUE(Drop({(desk / "two.mid").string()}));
    EXPECT_EQ(prompter.Texts(),
              std::vector<std::string>{"TWO.MID Midi Format Error!(Format 0 required)"});
    EXPECT_EQ(ReadFile(repository / "TWO.MID"), GoodSong("Old"));
}

TEST_F(DropCopyFixture, OverwriteAsksWithTheUpperCaseNameAndCancelEndsTheBatch) {
    WriteFile(desk / "a.mid", GoodSong("New A"));
    WriteFile(desk / "b.mid", GoodSong("New B"));
    WriteFile(repository / "A.MID", GoodSong("Old A"));
    prompter.answers = {PromptAnswer::Cancel};
    EXPECT_TRUE(Drop({(desk / "a.mid").string(), (desk / "b.mid").string()}));
    ASSERT_EQ(prompter.entries.size(), 1u);
    EXPECT_EQ(prompter.entries[0].text, "Overwrite?  A.MID");
    EXPECT_EQ(prompter.entries[0].buttons, PromptButtons::YesNoCancel);
    EXPECT_EQ(ReadFile(repository / "A.MID"), GoodSong("Old A"));
    EXPECT_FALSE(fs::exists(repository / "B.MID")) << "Cancel ends the batch";
}

TEST_F(DropCopyFixture, YesReplacesThroughATemporaryFileAndASongOntoItselfStaysIntact) {
    WriteFile(desk / "a.mid", GoodSong("New A"));
    WriteFile(repository / "A.MID", GoodSong("Old A"));
    WriteFile(repository / "SELF.MID", GoodSong("Self"));
    WriteFile(desk / "b.mid", GoodSong("New B"));
    WriteFile(repository / "b.mid", GoodSong("Old B"));  // the same song to the repository
    prompter.answers = {PromptAnswer::Yes, PromptAnswer::Yes, PromptAnswer::Yes};
    EXPECT_TRUE(Drop({(desk / "a.mid").string(), (repository / "SELF.MID").string(),
                      (desk / "b.mid").string()}));
    EXPECT_EQ(prompter.Texts(),
              (std::vector<std::string>{"Overwrite?  A.MID", "Overwrite?  SELF.MID",
                                        "Overwrite?  B.MID"}));
    EXPECT_EQ(ReadFile(repository / "A.MID"), GoodSong("New A"));
    EXPECT_EQ(ReadFile(repository / "SELF.MID"), GoodSong("Self"));
    EXPECT_EQ(ReadFile(repository / "b.mid"), GoodSong("New B"));
    EXPECT_EQ(velnor::testing::SortedNames(repository),
              (std::vector<std::string>{"A.MID", "SELF.MID", "b.mid"}))
        << "one file per song, no temporary file left";
}
