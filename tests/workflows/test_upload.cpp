#include <gtest/gtest.h>

#include <filesystem>
#include <iterator>

#include "Fakes.h"
#include "support/Portable.h"
#include "workflows/Connection.h"
#include "workflows/Upload.h"

using namespace velnor;
using namespace velnor::test;

namespace {

class UploadTest : public ::testing::Test {
  protected:
    void SetUp() override {
        g_bConnected = 1;
        repo = folder.path.string() + "/";
        device.uploadFolder = folder.path;
    }
    void TearDown() override { g_bConnected = 0; }

    void Upload(const std::vector<int>& selected) {
        OnUpload(device, prompter, rows, selected, repo, [this] { log.push_back("reload"); });
    }
    std::string Call(const std::string& name, int nSlot) {
        return "UploadSong " + (std::filesystem::path(repo) / name).string() + " " +
               std::to_string(nSlot) + " 200";
    }

    TempFolder folder;
    std::string repo;
    Log log;
    FakeDevice device{log};
    LoggingPrompter prompter{log};
    std::vector<SlotEntry> rows = Slots({"A", "B", "Song2.mid", "Empty", "empty", "Song5.mid"});
};

TEST_F(UploadTest, TwoSlotsAreFetchedInSlotOrderWithoutQuestions) {
    Upload({5, 2, 3});
    EXPECT_EQ(log, (Log{Call("Song2.mid", 2), Call("Song5.mid", 5), "reload"}));
    EXPECT_EQ(folder.Read("Song2.mid"), "MThd");
    EXPECT_EQ(folder.Read("Song5.mid"), "MThd");
}

TEST_F(UploadTest, EmptyIsPassedOverButItsOtherSpellingsAreSongs) {
    Upload({3, 4});
    EXPECT_EQ(log, (Log{Call("empty", 4), "reload"}));
}

// A file whose name equals the slot's ignoring case is the same song: the
// repository never holds two songs that differ only in case.
TEST_F(UploadTest, ReplaceIsAskedBeforeAnyExchangeAndNoKeepsTheFile) {
    for (const std::string existing : {"Song2.mid", "song2.MID"}) {
        log.clear();
        std::filesystem::remove_all(folder.path);
        std::filesystem::create_directories(folder.path);
        folder.Write(existing, 3);
        prompter.answers = {PromptAnswer::No};
        Upload({2});
        EXPECT_EQ(log, (Log{"ask Replace existed file?", "reload"})) << existing;
        EXPECT_EQ(folder.Read(existing), "xxx") << existing;

        log.clear();
        prompter.answers = {PromptAnswer::Yes};
        Upload({2});
        EXPECT_EQ(log, (Log{"ask Replace existed file?", Call(existing, 2), "reload"})) << existing;
        EXPECT_EQ(folder.Read(existing), "MThd") << existing;
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.path),
                                std::filesystem::directory_iterator()),
                  1)
            << existing;
    }
}

TEST_F(UploadTest, ARealFolderOfTheNameIsSkippedSilently) {
    std::filesystem::create_directory(folder.path / "Song2.mid");
    Upload({2, 5});
    EXPECT_EQ(log, (Log{Call("Song5.mid", 5), "reload"}));
}

TEST_F(UploadTest, ALinkOfTheNameIsAFileEvenIfItLeadsNowhereOrToAFolder) {
    VELNOR_NEEDS_LINKS_AND_PIPES();
    std::filesystem::create_symlink(folder.path / "gone.mid", folder.path / "Song2.mid");
    std::filesystem::create_directory_symlink(folder.path, folder.path / "Song5.mid");
    prompter.answers = {PromptAnswer::No, PromptAnswer::No};
    Upload({2, 5});
    EXPECT_EQ(log, (Log{"ask Replace existed file?", "ask Replace existed file?", "reload"}));
}

TEST_F(UploadTest, AFailedSlotIsReportedAndTheNextIsStillFetched) {
    device.uploadResults = {false, true};
    rows[2].name = "Song1";
    Upload({2, 5});
    EXPECT_EQ(log,
              (Log{Call("Song1", 2), "show Song1  Upload error!", Call("Song5.mid", 5), "reload"}));
    EXPECT_FALSE(std::filesystem::exists(folder.path / "Song1"));
}

TEST_F(UploadTest, SlotNamesThatWouldLeaveTheRepositoryWriteNothing) {
    rows = Slots({"../evil.mid", "..", ".", "a/b", "a\\b", "/etc/x", "ok.mid"});
    Upload({0, 1, 2, 3, 4, 5, 6});
    EXPECT_EQ(log,
              (Log{"show ../evil.mid  Upload error!", "show ..  Upload error!",
                   "show .  Upload error!", "show a/b  Upload error!", "show a\\b  Upload error!",
                   "show /etc/x  Upload error!", Call("ok.mid", 6), "reload"}));
    EXPECT_FALSE(std::filesystem::exists(folder.path.parent_path() / "evil.mid"));
    EXPECT_FALSE(IsSafeSlotFileName(""));
    EXPECT_TRUE(IsSafeSlotFileName("..mid"));
    EXPECT_TRUE(IsSafeSlotFileName("My Song"));
}

TEST_F(UploadTest, NothingAtAllUnlessConnectedAndNoReloadWithoutRows) {
    for (int nCase = 0; nCase < 3; ++nCase) {
        g_bConnected = nCase == 0 ? 0 : 1;
        device.bLayer = nCase != 1;
        device.bIdle = nCase != 2;
        Upload({2});
    }
    EXPECT_TRUE(log.empty());

    device.bLayer = true;
    device.bIdle = true;
    rows.clear();
    Upload({});
    EXPECT_TRUE(log.empty());

    rows = Slots({"Empty", "A"});
    Upload({});
    EXPECT_EQ(log, (Log{"reload"}));
}

}  // namespace
