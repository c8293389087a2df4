// The RtMidi backend without hardware: systems that are not running list no
// ports and raise no error, and no JACK server is started for us.

#include <gtest/gtest.h>

#include <barrier>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include <unistd.h>

#include "midi/rtmidi/MessageQueue.h"
#include "midi/rtmidi/RtMidiPlatform.h"

namespace velnor {
namespace {

/// Points JACK clients at a server name nobody runs.
void UseAbsentJackServer() {
    const std::string name = "velnor-absent-" + std::to_string(::getpid());
    ::setenv("JACK_DEFAULT_SERVER", name.c_str(), 1);
}

TEST(RtMidiPlatform, JackWithoutAServerListsNoPortsAndStartsNone) {
    UseAbsentJackServer();
    RtMidiPlatform platform({RtMidiSystem::Jack});
    // Asking the JACK library leaves nothing on the terminal.
    testing::internal::CaptureStderr();
    EXPECT_EQ(platform.midiInGetNumDevs(), 0u);
    EXPECT_EQ(platform.midiOutGetNumDevs(), 0u);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    // Asked again, still nothing: the first listing started no server.
    EXPECT_EQ(platform.midiInGetNumDevs(), 0u);
    const char* noStart = std::getenv("JACK_NO_START_SERVER");
    ASSERT_NE(noStart, nullptr);
    std::string name;
    EXPECT_EQ(platform.midiInGetDevCaps(0, name), MMSYSERR_BADDEVICEID);
    HMIDIIN in = 0;
    HMIDIOUT out = 0;
    EXPECT_EQ(platform.midiInOpen(
                  &in, 0, [](HMIDIIN, unsigned, void*, MIDIHDR*) {}, nullptr),
              MMSYSERR_BADDEVICEID);
    EXPECT_EQ(platform.midiOutOpen(&out, 0), MMSYSERR_BADDEVICEID);
    EXPECT_EQ(platform.midiInStart(in), MMSYSERR_INVALHANDLE);
    EXPECT_EQ(platform.midiOutClose(out), MMSYSERR_INVALHANDLE);
}

TEST(RtMidiPlatform, EverySystemTogetherListsNamedPortsWithoutThrowing) {
    UseAbsentJackServer();
    RtMidiPlatform platform;
    const unsigned ins = platform.midiInGetNumDevs();
    const unsigned outs = platform.midiOutGetNumDevs();
    std::string name;
    for (unsigned i = 0; i < ins; ++i) {
        ASSERT_EQ(platform.midiInGetDevCaps(i, name), MMSYSERR_NOERROR);
        EXPECT_FALSE(name.empty());
    }
    for (unsigned i = 0; i < outs; ++i) {
        ASSERT_EQ(platform.midiOutGetDevCaps(i, name), MMSYSERR_NOERROR);
        EXPECT_FALSE(name.empty());
    }
    EXPECT_EQ(platform.midiInGetDevCaps(ins, name), MMSYSERR_BADDEVICEID);
    EXPECT_EQ(platform.midiOutGetDevCaps(outs, name), MMSYSERR_BADDEVICEID);
}

TEST(RtMidiVirtualPorts, OpeningOnAJackThatIsNotRunningFailsWithAMessage) {
    UseAbsentJackServer();
    RtMidiVirtualPorts ports;
    std::string error;
    EXPECT_FALSE(ports.Open(
        RtMidiSystem::Jack, "Velnor Test", [](const std::uint8_t*, std::size_t) {}, error));
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(ports.IsOpen());
    const std::uint8_t byte = 0xF8;
    EXPECT_FALSE(ports.Send(&byte, 1));
}

// The JACK output's queue. 37 bytes hold a few short messages at a time, so
// lengths and bytes wrap round the end of the buffer at every offset; the
// queue is filled until it refuses, then emptied, again and again.
TEST(MessageQueue, MessagesComeOutWholeAndInOrderAcrossTheWrap) {
    MessageQueue queue(37);
    const std::vector<std::uint8_t> tooLong(34, 0xF0);
    EXPECT_FALSE(queue.Push(tooLong.data(), tooLong.size()));  // 4 + 34 > 37
    auto message = [](int i) {
        std::vector<std::uint8_t> bytes(1 + i % 19);
        for (std::size_t k = 0; k < bytes.size(); ++k) bytes[k] = std::uint8_t(i * 31 + k);
        return bytes;
    };
    int pushed = 0;
    int popped = 0;
    for (int round = 0; round < 2000 && pushed < 2000; ++round) {
        for (std::vector<std::uint8_t> bytes = message(pushed);
             queue.Push(bytes.data(), bytes.size()); bytes = message(++pushed)) {
        }
        for (std::size_t size; (size = queue.NextSize()) != 0; ++popped) {
            ASSERT_LE(size, 19u) << "message " << popped;
            std::vector<std::uint8_t> bytes(size);
            queue.Pop(bytes.data());
            ASSERT_EQ(bytes, message(popped)) << "message " << popped;
        }
    }
    EXPECT_GE(popped, 2000);
    EXPECT_EQ(popped, pushed);
}

// An output is written by the window's thread (packets) and the input thread
// (replies) at once. Two writers push at the same time, and every message
// must come out whole, each writer's in its own order. The messages are
// large, so that a writer is often interrupted in the middle of one: the
// other then writes at the same place, even on one free core.
TEST(MessageQueue, TwoWritersAtOnceLoseNothing) {
    constexpr int kEach = 24;
    constexpr std::size_t kSize = 2 << 20;
    MessageQueue queue(2 * kEach * (4 + kSize));
    std::barrier start(2);
    auto writer = [&](std::uint8_t id) {
        start.arrive_and_wait();
        for (int i = 0; i < kEach; ++i) {
            const std::vector<std::uint8_t> bytes(kSize, std::uint8_t(id * 16 + i % 16));
            if (!queue.Push(bytes.data(), bytes.size())) return;
        }
    };
    std::thread first(writer, 1);
    std::thread second(writer, 2);
    first.join();
    second.join();
    int next[3] = {0, 0, 0};
    int broken = 0;
    std::vector<std::uint8_t> bytes(kSize);
    for (std::size_t size; (size = queue.NextSize()) != 0;) {
        queue.Pop(size == kSize ? bytes.data() : nullptr);
        const int id = size == kSize ? bytes[0] / 16 : 0;
        // A message another writer wrote over differs in long runs: every
        // 4 KB is looked at, and the last byte.
        bool same = bytes.back() == bytes[0];
        for (std::size_t at = 0; at < kSize && same; at += 4096) same = bytes[at] == bytes[0];
        const bool whole = (id == 1 || id == 2) && bytes[0] % 16 == next[id] % 16 && same;
        broken += !whole;
        if (whole) ++next[id];
    }
    EXPECT_EQ(broken, 0);
    EXPECT_EQ(next[1], kEach);
    EXPECT_EQ(next[2], kEach);
}

TEST(RtMidiSystem, ParsesTheNamesTheCommandLineTakes) {
    RtMidiSystem system = RtMidiSystem::Alsa;
    EXPECT_TRUE(ParseRtMidiSystem("jack", system));
    EXPECT_EQ(system, RtMidiSystem::Jack);
    EXPECT_TRUE(ParseRtMidiSystem("alsa", system));
    EXPECT_EQ(system, RtMidiSystem::Alsa);
    EXPECT_FALSE(ParseRtMidiSystem("winmm", system));
}

}  // namespace
}  // namespace velnor
