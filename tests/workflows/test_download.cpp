#include <climits>

#include <gtest/gtest.h>

#include "Fakes.h"
#include "workflows/Connection.h"
#include "workflows/Download.h"

using namespace velnor;
using namespace velnor::test;

namespace {

class DownloadTest : public ::testing::Test {
  protected:
    void SetUp() override {
        g_bConnected = 1;
        folder.WriteSong("song.mid", 100);
        choice.files = {"song.mid"};
        choice.slotRows = Slots({"Empty"});
        choice.selectedSlots = {0};
        choice.repositoryFolder = folder.path.string() + "/";
    }
    void TearDown() override { g_bConnected = 0; }

    void Download() {
        OnDownload(device, prompter, bar, choice, [this] { log.push_back("reload"); });
    }

    TempFolder folder;
    Log log;
    FakeDevice device{log};
    LoggingPrompter prompter{log};
    FakeBar bar;
    DownloadChoice choice;
};

// Which slot takes the file, and what is asked first.
TEST_F(DownloadTest, TheSlotIsChosenFromTheSelectionOrTheSingleFreeSlot) {
    const Log sent = {"EnableProgress 1", "show Download successfully!", "EnableProgress 0",
                      "reload"};
    auto Sent = [&](const char* asked, int nSlot) {
        Log expected = sent;
        expected.insert(expected.begin() + 1,
                        "DownloadSong song.mid " + std::to_string(nSlot) + " 200");
        if (asked) expected.insert(expected.begin(), asked);
        return expected;
    };
    using enum PromptAnswer;
    const char* const kOverwrite = "ask Overwrite?";
    const char* const kFree = "ask Using empty slot?";
    const struct {
        const char* name;
        std::vector<std::string> rows;
        std::vector<int> selected;
        PromptAnswer answer;
        Log log;
    } cases[] = {
        {"selected free", {"A", "B", "C", "Empty", "E"}, {3}, No, Sent(nullptr, 3)},
        // Any selected slot holding a song brings the question; the lowest is used.
        {"overwrite yes", {"A", "Empty", "C", "D", "Song4"}, {4, 1}, Yes, Sent(kOverwrite, 1)},
        {"overwrite no", {"A", "Empty", "C", "D", "Song4"}, {4, 1}, No, {kOverwrite}},
        {"one free, yes", {"A", "B", "Empty"}, {}, Yes, Sent(kFree, 2)},
        {"one free, no", {"A", "B", "Empty"}, {}, No, {kFree, "show Select slot first!"}},
        {"two free", {"Empty", "B", "Empty"}, {}, Yes, {"show Select slot first!"}},
        {"none free", {"A", "B"}, {}, Yes, {kFree, "EnableProgress 0", "reload"}},
    };
    for (const auto& c : cases) {
        log.clear();
        bar = FakeBar();
        choice.slotRows = Slots(c.rows);
        choice.selectedSlots = c.selected;
        prompter.answers = {c.answer};
        Download();
        EXPECT_EQ(log, c.log) << "case " << c.name;
        EXPECT_FALSE(bar.bShown) << "case " << c.name;
        if (c.log.size() < 4) {
            EXPECT_TRUE(bar.positions.empty()) << "case " << c.name;
        }
    }
}

TEST_F(DownloadTest, ASongWithoutReadableNameIsShownAndNeverTakenForASelectedSlot) {
    // Slot 0 holds a song whose name reads as no text at all.
    device.slotNames = {"", "Empty", "Song2"};
    FakeSlotList list(log);
    std::vector<SlotEntry> names;
    RefreshSlotList(device, prompter, list, names);
    ASSERT_EQ(list.rows.size(), 3u);
    EXPECT_FALSE(list.rows[0].empty());
    EXPECT_NE(list.rows[0], "Empty");
    EXPECT_EQ(Names(names), list.rows);
    choice.slotRows = names;
    choice.selectedSlots = {1};
    log.clear();
    Download();
    EXPECT_EQ(log, (Log{"EnableProgress 1", "DownloadSong song.mid 1 200",
                        "show Download successfully!", "EnableProgress 0", "reload"}));

    // Selected itself, it is a song: the user is asked first.
    choice.selectedSlots = {0};
    prompter.answers = {PromptAnswer::No};
    log.clear();
    Download();
    EXPECT_EQ(log, (Log{"ask Overwrite?"}));
}

TEST_F(DownloadTest, WrongFileCountOrNoRowsIsRefused) {
    choice.files = {"a.mid", "b.mid"};
    Download();
    EXPECT_EQ(log, (Log{"show Select one file to download!"}));

    log.clear();
    choice.files.clear();
    Download();
    EXPECT_TRUE(log.empty());

    choice.files = {"song.mid"};
    choice.slotRows.clear();
    choice.selectedSlots.clear();
    Download();
    EXPECT_EQ(log, (Log{"show The capacity of current divice is not enough!"}));
}

TEST_F(DownloadTest, NothingHappensUnlessConnectedWithALayerAndIdle) {
    for (int nCase = 0; nCase < 3; ++nCase) {
        g_bConnected = nCase == 0 ? 0 : 1;
        device.bLayer = nCase != 1;
        device.bIdle = nCase != 2;
        Download();
    }
    EXPECT_TRUE(log.empty());
    EXPECT_TRUE(prompter.entries.empty());
}

TEST_F(DownloadTest, FailedTransferNamesTheFileAndStillReloads) {
    device.bDownloadResult = false;
    Download();
    EXPECT_EQ(log, (Log{"EnableProgress 1", "DownloadSong song.mid 0 200",
                        "show song.mid  Download error!", "EnableProgress 0", "reload"}));
}

// The command ends at the message: no reload, whose failure would only add
// a second message when the instrument has gone.
TEST_F(DownloadTest, VanishedFileIsReportedAndNothingIsSentOrReloaded) {
    choice.files = {"gone.mid"};
    Download();
    EXPECT_EQ(log, (Log{"show gone.mid  cannot be opened!", "EnableProgress 0"}));
    EXPECT_FALSE(bar.bShown);

    // A folder of that name is no song either.
    std::filesystem::create_directory(folder.path / "dir.mid");
    choice.files = {"dir.mid"};
    log.clear();
    Download();
    EXPECT_EQ(log, (Log{"show dir.mid  cannot be opened!", "EnableProgress 0"}));
}

TEST_F(DownloadTest, AFileThatIsNoSongIsRefusedByTheSongRuleAndNothingIsSentForIt) {
    std::vector<std::uint8_t> format1 = velnor::testing::SongOfLength(40);
    format1[9] = 1;
    std::vector<std::uint8_t> ticks480 = velnor::testing::SongOfLength(40);
    ticks480[12] = 0x01;
    ticks480[13] = 0xE0;
    const struct {
        std::string name;
        std::string bytes;
        std::string message;
    } cases[] = {
        {"NOTES.MID", "Shopping list", "NOTES.MID Midi Format Error!"},
        {"f1.mid", std::string(format1.begin(), format1.end()),
         "f1.mid Midi Format Error!(Format 0 required)"},
        {"t480.mid", std::string(ticks480.begin(), ticks480.end()),
         "t480.mid Midi Format Error!(PPQN=120 required)"},
    };
    choice.slotRows = Slots({"Empty", "Empty"});
    choice.selectedSlots = {0};
    for (const auto& c : cases) {
        std::ofstream(folder.path / c.name, std::ios::binary) << c.bytes;
        choice.files = {c.name};
        log.clear();
        Download();
        EXPECT_EQ(log, (Log{"show " + c.message, "EnableProgress 0", "reload"})) << c.name;
        EXPECT_FALSE(bar.bShown);
    }
    // The batch goes on with the next file.
    log.clear();
    using enum SlotMark;
    DownloadFiles(device, prompter, bar, {"NOTES.MID", "song.mid"}, {Selected, Selected, Song},
                  choice.repositoryFolder, Selected, [this] { log.push_back("reload"); });
    EXPECT_EQ(log, (Log{"show NOTES.MID Midi Format Error!", "EnableProgress 1",
                        "DownloadSong song.mid 1 200", "show Download successfully!",
                        "EnableProgress 0", "reload"}));
}

TEST_F(DownloadTest, ProgressOfA2500ByteSongHoldsBelow99PercentUntilSuccess) {
    folder.WriteSong("big.mid", 2500);
    choice.files = {"big.mid"};
    // The bar as the last transfer left it: full.
    bar.SetRange(0, 110);
    bar.SetPos(110);
    device.downloadPackets = 110;  // the song header and 109 data packets
    std::vector<int> after;
    bool bShownDuring = false;
    device.afterPacket = [&] {
        after.push_back(bar.pos);
        bShownDuring = bar.bShown;
    };
    Download();
    EXPECT_EQ(bar.lower, 0);
    EXPECT_EQ(bar.upper, 110);
    EXPECT_EQ(bar.step, 1);
    EXPECT_TRUE(bShownDuring);
    ASSERT_EQ(after.size(), 110u);
    for (int i = 0; i < 108; ++i) EXPECT_EQ(after[i], i + 1) << i;
    EXPECT_EQ(after[108], 107);
    EXPECT_EQ(after[109], 108);
    EXPECT_EQ(bar.pos, 110);
    EXPECT_FALSE(bar.bShown);
}

TEST(TransferProgress, HeldPositionMovesBetween107And108) {
    FakeBar bar;
    bar.SetRange(0, 110);
    bar.SetStep(1);
    bar.SetPos(106);
    std::vector<int> seen;
    for (int i = 0; i < 6; ++i) {
        OnTransferProgress(bar);
        seen.push_back(bar.pos);
    }
    EXPECT_EQ(seen, (std::vector<int>{107, 108, 107, 108, 107, 108}));
}

TEST(TransferProgress, RangeFollowsTheSongLengthWithoutA16BitCut) {
    EXPECT_EQ(ProgressMaximum(0), 2);
    EXPECT_EQ(ProgressMaximum(22), 2);
    EXPECT_EQ(ProgressMaximum(23), 3);
    EXPECT_EQ(ProgressMaximum(2500), 110);
    EXPECT_EQ(ProgressMaximum(10'000'000), 434'784);
    EXPECT_EQ(ProgressMaximum(LLONG_MAX), INT_MAX);

    FakeBar bar;
    bar.SetRange(0, 2);
    bar.SetStep(1);
    OnTransferProgress(bar);
    EXPECT_EQ(bar.pos, 1);
    OnTransferProgress(bar);
    EXPECT_EQ(bar.pos, 1);  // 100 percent is set back to 98 percent of 2
}

TEST_F(DownloadTest, TinySongGetsTheRange0To2) {
    folder.WriteSong("tiny.mid", 22);
    choice.files = {"tiny.mid"};
    Download();
    EXPECT_EQ(bar.lower, 0);
    EXPECT_EQ(bar.upper, 2);
    EXPECT_EQ(bar.pos, 2);
}

TEST_F(DownloadTest, SeveralFilesGoToSuccessiveMarkedSlotsAndExtraFilesAreSkipped) {
    folder.WriteSong("b.mid", 40);
    using enum SlotMark;
    DownloadFiles(device, prompter, bar, {"song.mid", "b.mid", "song.mid"},
                  {Song, Selected, Free, Selected, Song}, choice.repositoryFolder, Selected,
                  [this] { log.push_back("reload"); });
    EXPECT_EQ(log,
              (Log{"EnableProgress 1", "DownloadSong song.mid 1 200", "show Download successfully!",
                   "EnableProgress 1", "DownloadSong b.mid 3 200", "show Download successfully!",
                   "EnableProgress 0", "reload"}));
}

}  // namespace
