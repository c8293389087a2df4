#include <gtest/gtest.h>

#include "Fakes.h"
#include "workflows/Connection.h"
#include "workflows/SlotSelection.h"

using namespace velnor;
using namespace velnor::test;

namespace {

class ConnectionTest : public ::testing::Test {
  protected:
    void SetUp() override { g_bConnected = 0; }
    void TearDown() override { g_bConnected = 0; }

    /// The Connect command as the middle pane runs it after the dialog.
    void Connect(bool bAccepted) {
        OnConnect(device, prompter, bAccepted, 1, 2, name,
                  [this] { RefreshSlotList(device, prompter, list, names); });
    }

    Log log;
    FakeDevice device{log};
    LoggingPrompter prompter{log};
    FakeSlotList list{log};
    std::vector<SlotEntry> names;
    std::string name = "OLD";
};

TEST_F(ConnectionTest, CancelledDialogShowsNothingAndKeepsTheFlag) {
    g_bConnected = 1;
    Connect(false);
    EXPECT_EQ(g_bConnected, 1);
    EXPECT_TRUE(log.empty());
    g_bConnected = 0;
    Connect(false);
    EXPECT_EQ(g_bConnected, 0);
    EXPECT_TRUE(log.empty());
}

TEST_F(ConnectionTest, FailedOpenOrConnectEndsTheConnectionAndKeepsTheRows) {
    g_bConnected = 1;
    list.rows = {"Song1", "Empty"};
    device.bOpenResult = false;
    Connect(true);
    EXPECT_EQ(log, (Log{"OpenPorts 1 2", "show Device cannot be opened!"}));
    EXPECT_EQ(g_bConnected, 0);

    log.clear();
    g_bConnected = 1;
    device.bOpenResult = true;
    device.bConnectResult = false;
    Connect(true);
    EXPECT_EQ(log, (Log{"OpenPorts 1 2", "Connect", "show Connect request error!"}));
    EXPECT_EQ(g_bConnected, 0);
    EXPECT_EQ(list.rows, (std::vector<std::string>{"Song1", "Empty"}));
    EXPECT_EQ(name, "OLD");
}

TEST_F(ConnectionTest, NoPortLayerCannotBeOpened) {
    device.bLayer = false;
    Connect(true);
    EXPECT_EQ(log, (Log{"show Device cannot be opened!"}));
    EXPECT_FALSE(ConnectAllowed(device));
}

TEST_F(ConnectionTest, SuccessReloadsTheListBeforeGreeting) {
    device.deviceName = "Ku%s 50";
    device.slotNames = {"Song1", "Empty"};
    Connect(true);
    EXPECT_EQ(g_bConnected, 1);
    EXPECT_EQ(log, (Log{"OpenPorts 1 2", "Connect", "DeleteAllItems", "ReadSongList",
                        "show Ku%s 50 Connected!"}));
    EXPECT_EQ(list.rows, device.slotNames);
    EXPECT_EQ(list.free, (std::vector<bool>{false, true}));
    EXPECT_EQ(Names(names), device.slotNames);
}

TEST_F(ConnectionTest, FailingListReadIsReportedBeforeTheGreetingAndStaysConnected) {
    list.rows = {"Old"};
    device.bListResult = false;
    Connect(true);
    EXPECT_EQ(g_bConnected, 1);
    EXPECT_EQ(prompter.Texts(), (std::vector<std::string>{"Connection error!", "DEV Connected!"}));
    EXPECT_TRUE(list.rows.empty());
    EXPECT_TRUE(names.empty());
}

TEST_F(ConnectionTest, DeviceCommandsAreIgnoredWhenNotConnectedNoLayerOrBusy) {
    list.rows = {"Old"};
    for (int nCase = 0; nCase < 3; ++nCase) {
        g_bConnected = nCase == 0 ? 0 : 1;
        device.bLayer = nCase != 1;
        device.bIdle = nCase != 2;
        EXPECT_FALSE(RefreshSlotList(device, prompter, list, names));
        OnDeleteSlot(device, prompter, list, names, 3);
        OnDeleteSlot(device, prompter, list, names, -1);
    }
    EXPECT_TRUE(log.empty());
    EXPECT_EQ(list.rows, (std::vector<std::string>{"Old"}));
}

TEST_F(ConnectionTest, DeleteRequestDeletesOrReloads) {
    g_bConnected = 1;
    device.slotNames = {"Empty", "B"};
    OnDeleteSlot(device, prompter, list, names, 0);
    OnDeleteSlot(device, prompter, list, names, -1);
    EXPECT_EQ(log, (Log{"DeleteSong 0", "DeleteAllItems", "ReadSongList"}));
    EXPECT_EQ(list.rows, device.slotNames);
}

TEST(SlotSelection, MarkSelectedSlotsBlanksSelectedRowsAndTellsWhetherOneHeldASong) {
    const std::vector<SlotEntry> rows = Slots({"A", "Empty", "empty", "D"});
    std::vector<SlotMark> slots = {SlotMark::Song};
    using enum SlotMark;
    EXPECT_FALSE(MarkSelectedSlots(rows, {}, slots));
    EXPECT_EQ(slots, (std::vector<SlotMark>{Song, Free, Song, Song}));
    EXPECT_FALSE(MarkSelectedSlots(rows, {1}, slots));
    EXPECT_EQ(slots, (std::vector<SlotMark>{Song, Selected, Song, Song}));
    // A name that differs from "Empty" only in case is a song.
    EXPECT_TRUE(MarkSelectedSlots(rows, {2, 1, 7, -1}, slots));
    EXPECT_EQ(slots, (std::vector<SlotMark>{Song, Selected, Selected, Song}));
}

TEST(SlotSelection, GetSelectedSongsKeepsOnlySelectedSongs) {
    const std::vector<SlotEntry> rows = Slots({"A", "Empty", "empty", "D"});
    std::vector<std::string> songs = {"stale"};
    GetSelectedSongs(rows, {}, songs);
    EXPECT_EQ(songs, (std::vector<std::string>(4, "")));
    GetSelectedSongs(rows, {3, 1, 2, 3}, songs);
    EXPECT_EQ(songs, (std::vector<std::string>{"", "", "empty", "D"}));
}

TEST(SlotSelection, DeleteBatchAsksPerSongSkipsEmptyAndAlwaysEndsWithMinusOne) {
    Log log;
    LoggingPrompter prompter(log);
    prompter.answers = {PromptAnswer::Yes, PromptAnswer::No};
    const std::vector<SlotEntry> rows = Slots({"Song1", "Empty", "Song3", "Song4"});
    auto record = [&](int nRow) { log.push_back("delete " + std::to_string(nRow)); };
    DeleteSelectedSlots(prompter, rows, {2, 0, 1}, record);
    EXPECT_EQ(log, (Log{"ask Delete Song1?", "delete 0", "ask Delete Song3?", "delete -1"}));
    EXPECT_EQ(prompter.unscripted, 0);

    log.clear();
    DeleteSelectedSlots(prompter, rows, {1}, record);
    EXPECT_EQ(log, (Log{"delete -1"}));

    log.clear();
    DeleteSelectedSlots(prompter, rows, {}, record);
    EXPECT_TRUE(log.empty());
}

TEST_F(ConnectionTest, DeleteBatchThroughThePaneDeletesThenReloadsOnce) {
    g_bConnected = 1;
    device.slotNames = {"Empty", "Empty", "C"};
    prompter.answers = {PromptAnswer::Yes, PromptAnswer::Yes};
    const std::vector<SlotEntry> rows = Slots({"A", "B", "C"});
    DeleteSelectedSlots(prompter, rows, {0, 1},
                        [&](int nSlot) { OnDeleteSlot(device, prompter, list, names, nSlot); });
    EXPECT_EQ(log, (Log{"ask Delete A?", "DeleteSong 0", "ask Delete B?", "DeleteSong 1",
                        "DeleteAllItems", "ReadSongList"}));
    EXPECT_EQ(list.rows, device.slotNames);
}

}  // namespace
