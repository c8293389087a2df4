#include <gtest/gtest.h>

#include <cstdlib>

#include "InstrumentAppOptions.h"
#include "support/Portable.h"

namespace velnor::instrument {
namespace {

using Args = std::vector<std::string>;

class InstrumentAppOptionsTest : public ::testing::Test {
  protected:
    void SetUp() override { ::unsetenv("VELNOR_INSTRUMENT_LINK"); }
};

TEST_F(InstrumentAppOptionsTest, NoArgumentsGiveWhatANewUserSees) {
    InstrumentAppOptions options;
    std::string error;
    ASSERT_TRUE(ParseInstrumentAppArgs({}, options, error)) << error;
    EXPECT_EQ(options.system, "alsa");
    EXPECT_EQ(options.link, Link::Usb);
    EXPECT_TRUE(options.faults.faults.empty());
    EXPECT_EQ(options.instrument.slotCount, 16u);
    EXPECT_EQ(options.instrument.songs.size(), 3u);
    EXPECT_EQ(options.instrument.deviceName, "Velnor Virtual Instrument");
    EXPECT_FALSE(options.help);
}

TEST_F(InstrumentAppOptionsTest, EveryOptionIsTaken) {
    ::setenv("VELNOR_INSTRUMENT_LINK", "din", 1);
    InstrumentAppOptions options;
    std::string error;
    ASSERT_TRUE(
        ParseInstrumentAppArgs({"--api", "jack", "--fault", "drop-ack:3,split:2", "--slots", "200",
                                "--capacity", "1000", "--empty", "--name", "Bench", "--help"},
                               options, error))
        << error;
    EXPECT_EQ(options.system, "jack");
    EXPECT_EQ(options.link, Link::Din);  // from the environment
    EXPECT_EQ(options.faultSpec, "drop-ack:3,split:2");
    ASSERT_EQ(options.faults.faults.size(), 2u);
    EXPECT_EQ(options.faults.faults[0].kind, Fault::Kind::DropAck);
    EXPECT_EQ(options.faults.faults[0].number, 3u);
    EXPECT_EQ(options.instrument.slotCount, 200u);
    EXPECT_EQ(options.instrument.capacity, 1000u);
    EXPECT_TRUE(options.instrument.songs.empty());
    EXPECT_EQ(options.instrument.deviceName, "Bench");
    EXPECT_TRUE(options.help);  // noticed after every other option

    ASSERT_TRUE(ParseInstrumentAppArgs({"--link", "none"}, options, error));
    EXPECT_EQ(options.link, Link::None);  // the option wins over the environment
}

TEST_F(InstrumentAppOptionsTest, FewerSlotsKeepOnlyTheDemoSongsThatFit) {
    InstrumentAppOptions options;
    std::string error;
    ASSERT_TRUE(ParseInstrumentAppArgs({"--slots", "2"}, options, error));
    ASSERT_EQ(options.instrument.songs.size(), 2u);
    EXPECT_EQ(options.instrument.songs[0].first, 0u);
    EXPECT_EQ(options.instrument.songs[1].first, 1u);
    ASSERT_TRUE(ParseInstrumentAppArgs({"--slots", "256"}, options, error));
    EXPECT_EQ(options.instrument.slotCount, 256u);
}

struct BadArgs {
    Args args;
    const char* message;
};

void PrintTo(const BadArgs& bad, std::ostream* os) {
    for (const std::string& arg : bad.args) *os << "[" << arg << "]";
}

class InstrumentAppBadOptions : public ::testing::TestWithParam<BadArgs> {};

TEST_P(InstrumentAppBadOptions, AreRefusedWithAMessage) {
    InstrumentAppOptions options;
    std::string error;
    EXPECT_FALSE(ParseInstrumentAppArgs(GetParam().args, options, error));
    EXPECT_NE(error.find(GetParam().message), std::string::npos) << error;
}

INSTANTIATE_TEST_SUITE_P(
    All, InstrumentAppBadOptions,
    ::testing::Values(
        BadArgs{{"--port"}, "unknown option: --port"}, BadArgs{{"jack"}, "unknown option: jack"},
        BadArgs{{"--api"}, "--api needs a value"},
        BadArgs{{"--api", "coremidi"}, "--api takes alsa or jack"},
        BadArgs{{"--link", "wifi"}, "--link takes none, usb or din"},
        BadArgs{{"--fault", "drop-ack"}, "drop-ack"}, BadArgs{{"--fault", "melt"}, "melt"},
        BadArgs{{"--slots", "0"}, "--slots takes a number from 1 to 256"},
        BadArgs{{"--slots", "257"}, "--slots takes"}, BadArgs{{"--slots", "12x"}, "--slots takes"},
        BadArgs{{"--capacity", "-1"}, "--capacity takes a number of bytes"},
        BadArgs{{"--capacity", "4294967296"}, "--capacity takes"},
        BadArgs{{"--name", ""}, "--name needs a name"}));

}  // namespace
}  // namespace velnor::instrument
