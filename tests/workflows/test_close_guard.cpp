#include <gtest/gtest.h>

#include "Fakes.h"
#include "workflows/CloseGuard.h"
#include "workflows/Connection.h"
#include "workflows/Download.h"

using namespace velnor;
using namespace velnor::test;

namespace {

TEST(CloseGuard, CloseDuringATransferIsDeferredUntilTheCommandReturns) {
    int nCloses = 0;
    SetDeferredCloseHandler([&] { ++nCloses; });
    EXPECT_TRUE(RequestMainWindowClose(true));

    g_bConnected = 1;
    TempFolder folder;
    folder.WriteSong("a.mid", 50);
    Log log;
    FakeDevice device(log);
    LoggingPrompter prompter(log);
    FakeBar bar;
    device.downloadPackets = 1;
    bool bRefused = false;
    // The user closes the window while the transfer waits for the instrument.
    device.afterPacket = [&] {
        device.bIdle = false;
        bRefused = !RequestMainWindowClose(device.IsIdle());
        EXPECT_TRUE(MainWindowClosePending());
        device.bIdle = true;
        EXPECT_FALSE(RequestMainWindowClose(true));  // still inside the command
    };
    DownloadChoice choice{{"a.mid"}, folder.path.string(), Slots({"Empty"}), {0}};
    OnDownload(device, prompter, bar, choice, [&] {
        EXPECT_TRUE(DeviceCommandRunning());
        EXPECT_EQ(nCloses, 0);
    });
    EXPECT_TRUE(bRefused);
    EXPECT_EQ(nCloses, 1);
    EXPECT_FALSE(MainWindowClosePending());
    EXPECT_FALSE(DeviceCommandRunning());
    EXPECT_TRUE(RequestMainWindowClose(true));

    SetDeferredCloseHandler(nullptr);
    g_bConnected = 0;
}

TEST(CloseGuard, NestedCommandsCloseOnlyWhenTheOutermostEnds) {
    int nCloses = 0;
    SetDeferredCloseHandler([&] { ++nCloses; });
    {
        DeviceCommandScope outer;
        {
            DeviceCommandScope inner;
            EXPECT_FALSE(RequestMainWindowClose(true));
        }
        EXPECT_EQ(nCloses, 0);
    }
    EXPECT_EQ(nCloses, 1);
    { DeviceCommandScope later; }
    EXPECT_EQ(nCloses, 1);
    SetDeferredCloseHandler(nullptr);
}

}  // namespace
