// Fault injection: each fault does what it says, and the parser reads the
// specs the command line takes.

#include <gtest/gtest.h>

#include "ProgramSide.h"
#include "instrument/InstrumentDevice.h"
#include "instrument/VirtualInstrumentPlatform.h"

namespace velnor::testing {
namespace {

using instrument::InstrumentDevice;
using instrument::InstrumentFaults;
using instrument::InstrumentOptions;
using instrument::Link;

/// Sends a whole message to the device; returns everything it sent back.
std::vector<Bytes> Send(InstrumentDevice& device, const Bytes& message) {
    std::vector<Bytes> out;
    for (const Bytes& packet : Packets(message)) {
        for (Bytes& m : device.ReceivePacket(packet.data(), packet.size())) out.push_back(m);
    }
    return out;
}

/// The messages that are not acknowledgements.
std::vector<Bytes> Replies(const std::vector<Bytes>& messages) {
    std::vector<Bytes> out;
    for (const Bytes& m : messages) {
        if (!IsAck(m)) out.push_back(m);
    }
    return out;
}

InstrumentFaults Parse(const std::string& text) {
    std::string error;
    auto faults = instrument::ParseFaults(text, error);
    EXPECT_TRUE(faults) << text << ": " << error;
    return faults.value_or(InstrumentFaults{});
}

bool ChecksumOk(const Bytes& m) {
    unsigned sum = 0;
    for (std::size_t i = 1; i + 3 < m.size(); ++i) sum += m[i];
    return (sum & 0xFF) == unsigned(m[m.size() - 3] | (m[m.size() - 2] << 7));
}

/// A device holding a 600-byte song in slot 0 and reading it: returns the
/// three block replies.
std::vector<Bytes> ReadBlocks(InstrumentDevice& device) {
    Send(device, BuildMessage(0x14, {0}));
    std::vector<Bytes> blocks;
    for (int i = 0; i < 3; ++i) {
        auto r = Replies(Send(device, BuildMessage(0x14, {0})));
        if (r.size() == 1) blocks.push_back(r[0]);
    }
    return blocks;
}

InstrumentOptions WithSong600() {
    InstrumentOptions options = InstrumentOptions::Empty(4);
    Bytes song(600);
    for (std::size_t i = 0; i < song.size(); ++i) song[i] = std::uint8_t(i * 7);
    options.songs.push_back({0, {"Six.mid", song}});
    return options;
}

TEST(InstrumentFaults, DropAckLeavesOutTheAcknowledgementOfThatPacketOnly) {
    InstrumentDevice device;
    device.SetFaults(Parse("drop-ack:2"));
    const Bytes next = BuildMessage(0x12, {0});
    EXPECT_TRUE(IsAck(device.ReceivePacket(next.data(), next.size()).at(0)));
    auto second = device.ReceivePacket(next.data(), next.size());
    EXPECT_TRUE(second.empty() || !IsAck(second.at(0)));
    EXPECT_TRUE(IsAck(device.ReceivePacket(next.data(), next.size()).at(0)));
}

TEST(InstrumentFaults, BadChecksumCorruptsTheChosenReplyOnce) {
    InstrumentDevice device;
    device.SetFaults(Parse("bad-checksum:00"));
    auto first = Replies(Send(device, BuildMessage(0x00, {0})));
    ASSERT_EQ(first.size(), 1u);
    EXPECT_FALSE(ChecksumOk(first[0]));
    auto second = Replies(Send(device, BuildMessage(0x00, {0})));
    ASSERT_EQ(second.size(), 1u);
    EXPECT_TRUE(ChecksumOk(second[0]));
}

TEST(InstrumentFaults, OccurrencePicksTheKthReplyOfACommand) {
    InstrumentDevice device(WithSong600());
    device.SetFaults(Parse("bad-checksum:14@2"));
    EXPECT_TRUE(ChecksumOk(Replies(Send(device, BuildMessage(0x14, {0})))[0]));  // read reply
    auto block = Replies(Send(device, BuildMessage(0x14, {0})));                 // block 0
    EXPECT_FALSE(ChecksumOk(block[0]));
    // The program cannot verify the block and says so: the block comes again, whole.
    auto again = Replies(Send(device, BuildMessage(0x14, {2})));
    ASSERT_EQ(again.size(), 1u);
    EXPECT_TRUE(ChecksumOk(again[0]));
    EXPECT_EQ(U32(Payload(again[0]), 0), 0u);
}

TEST(InstrumentFaults, WrongCommandAndWrongStatusChangeTheReply) {
    InstrumentDevice device;
    device.SetFaults(Parse("wrong-command:12,wrong-status:15=9"));
    auto list = Replies(Send(device, BuildMessage(0x12, {1})));
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0][8], 0x7E);
    EXPECT_TRUE(ChecksumOk(list[0]));
    auto del = Replies(Send(device, BuildMessage(0x15, {3})));
    ASSERT_EQ(del.size(), 1u);
    EXPECT_EQ(del[0][8], 0x15);
    EXPECT_EQ(Payload(del[0])[0], 9);

    device.SetFaults(Parse("wrong-command:00=13"));
    EXPECT_EQ(Replies(Send(device, BuildMessage(0x00, {0})))[0][8], 0x13);
}

TEST(InstrumentFaults, BlockIndexSendsAnotherIndex) {
    InstrumentDevice device(WithSong600());
    device.SetFaults(Parse("block-index:2=3"));
    auto blocks = ReadBlocks(device);
    ASSERT_EQ(blocks.size(), 3u);
    EXPECT_EQ(U32(Payload(blocks[0]), 0), 0u);
    EXPECT_EQ(U32(Payload(blocks[1]), 0), 1u);
    EXPECT_EQ(U32(Payload(blocks[2]), 0), 3u);
}

TEST(InstrumentFaults, OversizedBlockCarriesMoreThanFitsItsPlace) {
    InstrumentDevice device(WithSong600());
    device.SetFaults(Parse("oversized-block:2"));
    auto blocks = ReadBlocks(device);
    ASSERT_EQ(blocks.size(), 3u);
    const Bytes p = Payload(blocks[2]);
    const std::size_t m = p[4] | (p[5] << 8);
    EXPECT_GT(2 * 256 + m, 600u);  // past the end of the announced song
    EXPECT_EQ(p.size(), 6 + m);    // and it really carries those bytes
    EXPECT_EQ(blocks[2].size(), 12 + 2 * p.size());
}

TEST(InstrumentFaults, ShortReadAnnouncesMoreThanTheBlocksCarry) {
    InstrumentDevice device(WithSong600());
    device.SetFaults(Parse("short-read:300"));
    auto read = Replies(Send(device, BuildMessage(0x14, {0})));
    ASSERT_EQ(read.size(), 1u);
    EXPECT_EQ(U32(Payload(read[0]), 1), 900u);  // announced
    EXPECT_EQ(U32(Payload(read[0]), 5), 3u);    // the blocks of the 600 bytes it holds
    std::size_t carried = 0;
    for (int i = 0; i < 3; ++i) {
        auto block = Replies(Send(device, BuildMessage(0x14, {0})));
        ASSERT_EQ(block.size(), 1u);
        carried += Payload(block[0])[4] | (Payload(block[0])[5] << 8);
    }
    EXPECT_EQ(carried, 600u);
    // Spent: after the closing request, the next read announces the song as it is.
    EXPECT_TRUE(Replies(Send(device, BuildMessage(0x14, {0}))).empty());
    EXPECT_EQ(U32(Payload(Replies(Send(device, BuildMessage(0x14, {0})))[0]), 1), 600u);
}

TEST(InstrumentFaults, SilentSendsNothingAtAll) {
    InstrumentDevice device;
    device.SetFaults(Parse("silent"));
    EXPECT_TRUE(Send(device, BuildMessage(0x00, {0})).empty());
    EXPECT_TRUE(Send(device, BuildMessage(0x12, {1})).empty());
    device.SetFaults({});
    EXPECT_EQ(Send(device, BuildMessage(0x00, {0})).size(), 2u);
}

TEST(InstrumentFaults, SplitDeliversEachMessageInSeveralChunks) {
    instrument::VirtualInstrumentPlatform platform(InstrumentOptions::Defaults(), Link::None);
    std::string error;
    ASSERT_TRUE(platform.SetFaults("split:3", error)) << error;
    ProgramSide program(platform);
    auto reply = program.Ask(BuildMessage(0x00, {0}));
    ASSERT_TRUE(reply);  // joined again, whole
    EXPECT_EQ(Payload(*reply)[0], 0);
    // The 10-byte acknowledgement came as 4+4+2, the 68-byte reply as 23+23+22.
    EXPECT_EQ(program.ChunkSizes(), (std::vector<std::uint32_t>{4, 4, 2, 23, 23, 22}));
}

TEST(InstrumentFaults, ParserReadsEveryKindAndRejectsNonsense) {
    const InstrumentFaults f = Parse(
        "drop-ack:3,bad-checksum:0x13,wrong-command:12=7F@2,wrong-status:13=6,"
        "block-index:1=5,oversized-block:0,split:4,silent,short-read:300@2");
    ASSERT_EQ(f.faults.size(), 9u);
    using K = instrument::Fault::Kind;
    EXPECT_EQ(f.faults[0].kind, K::DropAck);
    EXPECT_EQ(f.faults[0].number, 3u);
    EXPECT_EQ(f.faults[1].command, 0x13);
    EXPECT_EQ(f.faults[2].value, 0x7Fu);
    EXPECT_EQ(f.faults[2].occurrence, 2u);
    EXPECT_EQ(f.faults[3].value, 6u);
    EXPECT_EQ(f.faults[4].number, 1u);
    EXPECT_EQ(f.faults[4].value, 5u);
    EXPECT_EQ(f.faults[5].kind, K::OversizedBlock);
    EXPECT_EQ(f.SplitCount(), 4u);
    EXPECT_TRUE(f.Silent());
    EXPECT_EQ(f.faults[8].kind, K::ShortRead);
    EXPECT_EQ(f.faults[8].value, 300u);
    EXPECT_EQ(f.faults[8].occurrence, 2u);

    for (const char* bad :
         {"drop-ack", "drop-ack:x", "drop-ack:0", "bad-checksum:zz", "bad-checksum:80",
          "wrong-status:13", "block-index:1", "split:0", "silent:1", "louder",
          "wrong-status:13=300", "bad-checksum:13@0", "short-read", "short-read:0"}) {
        std::string error;
        EXPECT_FALSE(instrument::ParseFaults(bad, error)) << bad;
        EXPECT_NE(error.find(bad), std::string::npos) << error;
    }
    std::string error;
    EXPECT_TRUE(instrument::ParseFaults("", error)->faults.empty());
}

}  // namespace
}  // namespace velnor::testing
