// A System Exclusive round trip through JACK with a dummy-driver server of
// its own: the virtual ports of the stand-alone instrument on one side, the
// RtMidi platform on the other. Skips when JACK's programs are missing or the
// server does not come up. Not run under the sanitizers (the JACK server is
// not built with them).

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <jack/jack.h>

#include <unistd.h>

#include "common/EventPump.h"
#include "midi/rtmidi/JackGraph.h"
#include "midi/rtmidi/RtMidiPlatform.h"
#include "support/JackServer.h"

namespace velnor {
namespace {

using Bytes = std::vector<std::uint8_t>;

/// A client that overruns every process cycle, as on a machine too busy to
/// keep up: the server takes up a new connection only at the start of a
/// cycle after the graph has finished, so it does so late.
class OverrunningClient {
  public:
    OverrunningClient() {
        m_client = jack_client_open("VelnorTestOverrun", JackNoStartServer, nullptr);
        if (m_client == nullptr) return;
        jack_set_process_callback(m_client, &OverrunningClient::Process, this);
        jack_activate(m_client);
    }
    ~OverrunningClient() { Stop(); }
    bool Running() const { return m_client != nullptr; }
    void Stop() {
        if (m_client == nullptr) return;
        jack_client_close(m_client);
        m_client = nullptr;
    }

  private:
    static int Process(jack_nframes_t, void*) {
        // The load this client stands for; five cycles long.
        std::this_thread::sleep_for(std::chrono::milliseconds(27));
        return 0;
    }
    jack_client_t* m_client = nullptr;
};

struct Received {
    std::mutex mutex;
    std::condition_variable cv;
    Bytes bytes;
    MidiPlatform* platform = nullptr;
    HMIDIIN in = 0;

    static void Callback(HMIDIIN, unsigned message, void* instance, MIDIHDR* header) {
        auto* self = static_cast<Received*>(instance);
        if (message != MIM_LONGDATA) return;
        {
            std::lock_guard lock(self->mutex);
            self->bytes.insert(self->bytes.end(), header->lpData,
                               header->lpData + header->dwBytesRecorded);
        }
        self->cv.notify_all();
        self->platform->midiInAddBuffer(self->in, header);
    }
};

TEST(RtMidiJack, SysExTravelsBothWaysBetweenVirtualAndRealPorts) {
    const std::string server = "velnor-test-" + std::to_string(::getpid());
    JackServer jack(server);
    if (!jack.Running()) GTEST_SKIP() << "no JACK server could be started";
    ::setenv("JACK_DEFAULT_SERVER", server.c_str(), 1);

    // The instrument's side: answers every message with a fixed reply.
    RtMidiVirtualPorts ports;
    const Bytes reply = {0xF0, 0x00, 0x1E, 0x2D, 0x55, 0x52, 0x53, 0x57, 0x08, 0xF7};
    std::mutex seenMutex;
    std::vector<Bytes> seen;  // every message that arrived, in order
    std::string error;
    ASSERT_TRUE(ports.Open(
        RtMidiSystem::Jack, "VelnorTestInstrument",
        [&](const std::uint8_t* data, std::size_t size) {
            {
                std::lock_guard lock(seenMutex);
                seen.emplace_back(data, data + size);
            }
            ports.Send(reply.data(), reply.size());
        },
        error))
        << error;

    RtMidiPlatform platform({RtMidiSystem::Jack});
    const int inId = FindPort(platform, true, "VelnorTestInstrument");
    const int outId = FindPort(platform, false, "VelnorTestInstrument");
    ASSERT_GE(inId, 0);
    ASSERT_GE(outId, 0);

    Received received;
    received.platform = &platform;
    Bytes buffer(4);  // smaller than the reply: it comes in chunks
    MIDIHDR header{buffer.data(), 4};
    JackGraph graph;  // what the process cycles of the server run with
    ASSERT_TRUE(graph.Valid());
    OverrunningClient load;
    ASSERT_TRUE(load.Running());
    ASSERT_EQ(platform.midiInOpen(&received.in, unsigned(inId), &Received::Callback, &received),
              0u);
    EXPECT_EQ(graph.Connections("VelnorTestInstrument-01:VelnorTestInstrument").size(), 1u);
    HMIDIOUT out = 0;
    ASSERT_EQ(platform.midiOutOpen(&out, unsigned(outId)), 0u);
    // Once open, the cycles JACK runs carry the connection.
    EXPECT_EQ(graph.Connections("VelnorTestInstrument:VelnorTestInstrument").size(), 1u);
    load.Stop();
    // A connection counts as made only once the graph has run two cycles
    // with it: PipeWire shows a link before both ends carry data on it.
    jack_client_t* clock = jack_client_open("VelnorTestClock", JackNoStartServer, nullptr);
    ASSERT_NE(clock, nullptr);
    const jack_nframes_t start = jack_frame_time(clock);
    EXPECT_TRUE(graph.WaitForNewConnection("VelnorTestInstrument:VelnorTestInstrument",
                                           "Velnor Out", {}, std::chrono::seconds(20)));
    EXPECT_GE(jack_frame_time(clock) - start, 2 * jack_get_buffer_size(clock));
    jack_client_close(clock);
    ASSERT_EQ(platform.midiInPrepareHeader(received.in, &header), 0u);
    ASSERT_EQ(platform.midiInAddBuffer(received.in, &header), 0u);
    ASSERT_EQ(platform.midiInStart(received.in), 0u);

    Bytes request = {0xF0, 0x00, 0x1E, 0x2D, 0x55, 0x52, 0x53,
                     0x57, 0x00, 0x00, 0x00, 0x1C, 0x01, 0xF7};
    MIDIHDR send{request.data(), std::uint32_t(request.size())};
    // The very first message arrives: no second try (the deadline only
    // bounds a hang).
    ASSERT_EQ(platform.midiOutPrepareHeader(out, &send), 0u);
    ASSERT_EQ(platform.midiOutLongMsg(out, &send), 0u);
    EXPECT_EQ(platform.midiOutUnprepareHeader(out, &send), 0u);
    bool answered = false;
    {
        std::unique_lock lock(received.mutex);
        answered = received.cv.wait_for(lock, std::chrono::seconds(20),
                                        [&] { return received.bytes.size() >= reply.size(); });
    }
    ASSERT_TRUE(answered);
    {
        std::lock_guard lock(received.mutex);
        EXPECT_EQ(Bytes(received.bytes.begin(), received.bytes.begin() + 10), reply);
    }
    // A second request, once the first is answered. Its answer can only come
    // after it has arrived; by then each request must have arrived once (a
    // request sent again in a later cycle arrives before the second).
    Bytes second = request;
    second[12] = 0x02;
    MIDIHDR sendSecond{second.data(), std::uint32_t(second.size())};
    ASSERT_EQ(platform.midiOutPrepareHeader(out, &sendSecond), 0u);
    ASSERT_EQ(platform.midiOutLongMsg(out, &sendSecond), 0u);
    EXPECT_EQ(platform.midiOutUnprepareHeader(out, &sendSecond), 0u);
    {
        std::unique_lock lock(received.mutex);
        EXPECT_TRUE(received.cv.wait_for(lock, std::chrono::seconds(20), [&] {
            return received.bytes.size() >= 2 * reply.size();
        }));
    }
    {
        std::lock_guard lock(seenMutex);
        EXPECT_EQ(seen, (std::vector<Bytes>{request, second}));
    }
    platform.midiInStop(received.in);
    platform.midiInReset(received.in);
    platform.midiInUnprepareHeader(received.in, &header);
    EXPECT_EQ(platform.midiInClose(received.in), 0u);
    EXPECT_EQ(platform.midiOutClose(out), 0u);
    ports.Close();
}

/// The server stops while the program has ports open on it, and starts again:
/// the next listing has the ports of the new server, and closing everything
/// (as quitting does) ends the process cleanly. Runs in a child process, so
/// that a crash on quitting fails the test.
int RestartScenario(const std::string& server) {
    ::setenv("JACK_DEFAULT_SERVER", server.c_str(), 1);
    auto first = std::make_unique<JackServer>(server);
    if (!first->Running()) return 3;
    auto ports = std::make_unique<RtMidiVirtualPorts>();
    std::string error;
    auto nothing = [](const std::uint8_t*, std::size_t) {};
    if (!ports->Open(RtMidiSystem::Jack, "VelnorTestRestart", nothing, error)) return 4;
    auto platform = std::make_unique<RtMidiPlatform>(std::vector{RtMidiSystem::Jack});
    const int inId = FindPort(*platform, true, "VelnorTestRestart");
    const int outId = FindPort(*platform, false, "VelnorTestRestart");
    if (inId < 0 || outId < 0) return 5;
    HMIDIIN in = 0;
    HMIDIOUT out = 0;
    if (platform->midiInOpen(
            &in, unsigned(inId), [](HMIDIIN, unsigned, void*, MIDIHDR*) {}, nullptr) != 0 ||
        platform->midiOutOpen(&out, unsigned(outId)) != 0) {
        return 6;
    }
    ports.reset();
    first.reset();  // the server stops under the open ports
    JackServer second(server);
    if (!second.Running()) return 3;
    ports = std::make_unique<RtMidiVirtualPorts>();
    if (!ports->Open(RtMidiSystem::Jack, "VelnorTestRestart", nothing, error)) return 4;
    // The dialog's listing: the port dialog closes both ports first.
    platform->midiInClose(in);
    platform->midiOutClose(out);
    if (FindPort(*platform, true, "VelnorTestRestart") < 0 ||
        FindPort(*platform, false, "VelnorTestRestart") < 0) {
        return 7;
    }
    ports.reset();
    platform.reset();
    return 0;
}

/// The servers started are stopped before the child ends (they would hold
/// the test's pipe open).
void RestartAndQuit(const std::string& server) {
    std::exit(RestartScenario(server));
}

TEST(RtMidiJackDeathTest, AfterAServerRestartThePortsAreListedAgainAndQuittingIsClean) {
    if (!JackInstalled()) GTEST_SKIP() << "jackd is not installed";
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const std::string server = "velnor-restart-" + std::to_string(::getpid());
    EXPECT_EXIT(RestartAndQuit(server), testing::ExitedWithCode(0), "");
}

/// Counts the events served while it waits, as a window would.
class CountingPump : public EventPump {
  public:
    bool PumpPendingMessages() override {
        ++pumped;
        return true;
    }
    void WaitUntil(Clock::time_point deadline) override {
        std::unique_lock lock(m_mutex);
        m_cv.wait_until(lock, deadline, [&] { return m_woken; });
        m_woken = false;
    }
    void Wake() override {
        std::lock_guard lock(m_mutex);
        m_woken = true;
        m_cv.notify_all();
    }
    int pumped = 0;

  private:
    std::mutex m_mutex;
    std::condition_variable m_cv;
    bool m_woken = false;
};

// An opening waits for JACK to connect it; a connection that never comes
// must not freeze the window: the wait goes through the event pump.
TEST(RtMidiJack, WaitingForAConnectionServesTheWindow) {
    const std::string server = "velnor-wait-" + std::to_string(::getpid());
    JackServer jack(server);
    if (!jack.Running()) GTEST_SKIP() << "no JACK server could be started";
    ::setenv("JACK_DEFAULT_SERVER", server.c_str(), 1);
    JackGraph graph;
    ASSERT_TRUE(graph.Valid());
    CountingPump pump;
    SetEventPump(&pump);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(graph.WaitForNewConnection("system:nothing", "Velnor In", {},
                                            std::chrono::milliseconds(300)));
    SetEventPump(nullptr);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(300));
    EXPECT_GE(pump.pumped, 2);
}

}  // namespace
}  // namespace velnor
