// The bridge between real ports and the virtual instrument, with the ports
// replaced by a function that collects what would go out on the wire.

#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>

#include "InstrumentBridge.h"
#include "ProgramSide.h"

namespace velnor::instrument {
namespace {

using namespace velnor::testing;
using namespace std::chrono_literals;

/// What the bridge sent out, one entry per send.
class Wire {
  public:
    bool Send(const std::uint8_t* data, std::size_t size) {
        {
            std::lock_guard lock(m_mutex);
            m_sent.emplace_back(data, data + size);
        }
        m_cv.notify_all();
        return true;
    }
    bool WaitForCount(std::size_t count, std::chrono::milliseconds timeout = 30s) {
        std::unique_lock lock(m_mutex);
        return m_cv.wait_for(lock, timeout, [&] { return m_sent.size() >= count; });
    }
    std::vector<Bytes> Sent() {
        std::lock_guard lock(m_mutex);
        return m_sent;
    }

  private:
    std::mutex m_mutex;
    std::condition_variable m_cv;
    std::vector<Bytes> m_sent;
};

struct BridgeFixture {
    explicit BridgeFixture(InstrumentOptions options = InstrumentOptions::Defaults())
        : instrument(std::move(options), Link::None),
          bridge(instrument,
                 [this](const std::uint8_t* d, std::size_t n) { return wire.Send(d, n); }) {}
    /// Sends `message` packet by packet, each after the previous one's
    /// acknowledgement, and returns the reply that follows.
    std::optional<Bytes> Ask(const Bytes& message) {
        std::size_t next = wire.Sent().size();
        for (const Bytes& packet : Packets(message)) {
            bridge.Receive(packet.data(), packet.size());
            if (!wire.WaitForCount(next + 1) || !IsAck(wire.Sent()[next])) return std::nullopt;
            ++next;
        }
        if (!wire.WaitForCount(next + 1)) return std::nullopt;
        return wire.Sent()[next];
    }

    Wire wire;
    VirtualInstrumentPlatform instrument;
    InstrumentBridge bridge;
};

TEST(InstrumentBridge, ConnectsAndTakesASongLongerThanOnePacket) {
    BridgeFixture f;
    std::string error;
    ASSERT_TRUE(f.bridge.Start(error)) << error;

    auto reply = f.Ask(BuildMessage(0x00, {0}));
    ASSERT_TRUE(reply);
    EXPECT_EQ((*reply)[8], 0x00);
    EXPECT_EQ(Payload(*reply)[0], 0);

    Bytes song = MakeSong("Bridge", {{60}, {62}, {64}, {65}, {67}, {69}, {71}, {72}}, 120);
    ASSERT_GT(BuildSongData(song).size(), 48u);  // several packets, each acknowledged
    reply = f.Ask(BuildMessage(0x13, SongHeader(5, std::uint32_t(song.size()))));
    ASSERT_TRUE(reply);
    ASSERT_EQ(Payload(*reply)[0], 0);
    reply = f.Ask(BuildSongData(song));
    ASSERT_TRUE(reply);
    EXPECT_EQ(Payload(*reply)[0], 0);
    const auto slots = f.instrument.Slots();
    ASSERT_TRUE(slots[5]);
    EXPECT_EQ(slots[5]->data, song);
}

TEST(InstrumentBridge, FaultsReachTheWire) {
    BridgeFixture f;
    std::string error;
    ASSERT_TRUE(f.instrument.SetFaults("drop-ack:1,split:2", error)) << error;
    ASSERT_TRUE(f.bridge.Start(error)) << error;

    // The first packet gets no acknowledgement, only the reply, in two pieces.
    const Bytes request = BuildMessage(0x00, {0});
    f.bridge.Receive(request.data(), request.size());
    ASSERT_TRUE(f.wire.WaitForCount(2));
    ASSERT_TRUE(f.instrument.WaitUntilIdle(30s));
    const auto sent = f.wire.Sent();
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[0].front(), 0xF0);
    EXPECT_NE(sent[0].back(), 0xF7);
    EXPECT_EQ(sent[1].back(), 0xF7);
    Bytes whole = sent[0];
    whole.insert(whole.end(), sent[1].begin(), sent[1].end());
    EXPECT_EQ(whole[8], 0x00);
    EXPECT_FALSE(IsAck(whole));
}

TEST(InstrumentBridge, NothingPassesBeforeStartOrAfterStop) {
    BridgeFixture f;
    const Bytes request = BuildMessage(0x00, {0});
    f.bridge.Receive(request.data(), request.size());
    ASSERT_TRUE(f.instrument.WaitUntilIdle(30s));
    EXPECT_TRUE(f.instrument.PacketsReceived().empty());

    std::string error;
    ASSERT_TRUE(f.bridge.Start(error)) << error;
    ASSERT_TRUE(f.Ask(request));
    f.bridge.Stop();
    const std::size_t before = f.wire.Sent().size();
    f.bridge.Receive(request.data(), request.size());
    ASSERT_TRUE(f.instrument.WaitUntilIdle(30s));
    EXPECT_EQ(f.wire.Sent().size(), before);
    EXPECT_EQ(f.instrument.PacketsReceived().size(), 1u);

    // The instrument's ports are free again: a second bridge can start.
    InstrumentBridge again(f.instrument, [](const std::uint8_t*, std::size_t) { return true; });
    EXPECT_TRUE(again.Start(error)) << error;
}

}  // namespace
}  // namespace velnor::instrument
