// The search for the instrument among many ports, on a scripted platform.
#include <gtest/gtest.h>

#include "common/EventPump.h"
#include "midi/CompositeMidiPlatform.h"
#include "midi/InstrumentSearch.h"
#include "support/ScriptedPorts.h"
#include "support/SettlingEventPump.h"

namespace velnor {
namespace {

using testing::Answers;
using testing::Bytes;
using testing::ConnectReply;
using testing::DeviceMessage;
using testing::Echo;
using testing::Instrument;
using testing::OutputBehaviour;
using testing::ScriptedPorts;

/// The connect request, byte for byte.
const Bytes kRequest = {0xF0, 0x00, 0x1E, 0x2D, 0x55, 0x52, 0x53,
                        0x57, 0x00, 0x00, 0x00, 0x1C, 0x01, 0xF7};

/// Records the time-out of every wait; may cancel at the n-th wait.
class RecordingSearch : public CInstrumentSearch {
  public:
    using CInstrumentSearch::CInstrumentSearch;
    std::vector<unsigned> waits;
    std::size_t cancelAtWait = 0;

  protected:
    void WaitFor(unsigned timeoutMs, const std::function<bool()>& done) override {
        waits.push_back(timeoutMs);
        if (waits.size() == cancelAtWait) Cancel();
        CInstrumentSearch::WaitFor(timeoutMs, done);
    }
};

/// A scripted platform and an event pump that lets it deliver before a wait
/// runs out, so a busy machine never loses an answer on its way.
struct Scene {
    Scene(std::vector<std::string> ins, std::vector<std::string> outs)
        : ports(std::move(ins), std::move(outs)), pump([this] { ports.WaitDelivered(); }) {
        SetEventPump(&pump);
    }
    ~Scene() { SetEventPump(nullptr); }

    std::vector<FoundInstrument> Run(bool bFirstOnly = false) {
        return search.Run(PortsToSearch(ports, nullptr), bFirstOnly);
    }

    ScriptedPorts ports;
    testing::SettlingEventPump pump;
    RecordingSearch search{ports};
};

struct Pair {
    unsigned in;
    unsigned out;
    std::string device;
    bool operator==(const Pair&) const = default;
};

std::vector<Pair> Pairs(const std::vector<FoundInstrument>& found) {
    std::vector<Pair> pairs;
    for (const FoundInstrument& f : found) pairs.push_back({f.in.id, f.out.id, f.deviceName});
    return pairs;
}

struct Case {
    const char* what;
    std::vector<std::string> ins;
    std::vector<std::string> outs;
    std::vector<std::pair<unsigned, OutputBehaviour>> behaviour;  // output: what it does
    bool bFirstOnly;
    std::vector<Pair> expected;
};

TEST(InstrumentSearch, FindsThePairThatAnswersAndNothingElse) {
    const Bytes badChecksum = [] {
        Bytes m = ConnectReply("Liar");
        m[m.size() - 3] ^= 1;
        return m;
    }();
    const std::vector<Case> cases = {
        {"among silent ports",
         {"Keys:Keys MIDI 1", "Pad:Pad MIDI 1", "Synth:Synth MIDI 1"},
         {"Keys:Keys MIDI 1", "Pad:Pad MIDI 1", "Synth:Synth MIDI 1"},
         {{2, Instrument(2, "SY-1")}},
         false,
         {{2, 2, "SY-1"}}},
        {"a loopback echoes the request",
         {"Midi Through:Midi Through Port-0", "Synth:Synth MIDI 1"},
         {"Midi Through:Midi Through Port-0", "Synth:Synth MIDI 1"},
         {{0, Echo(0)}, {1, Instrument(1, "SY-1")}},
         false,
         {{1, 1, "SY-1"}}},
        {"only a loopback",
         {"Midi Through:Midi Through Port-0"},
         {"Midi Through:Midi Through Port-0"},
         {{0, Echo(0)}},
         false,
         {}},
        {"answers on an input whose name matches no output",
         {"Keys:Keys MIDI 1", "USB Device 2"},
         {"Keys:Keys MIDI 1", "Synth:Synth in"},
         {{1, Instrument(1, "SY-1")}},
         false,
         {{1, 1, "SY-1"}}},
        {"two ports of the same name",
         {"Synth MIDI 1", "Synth MIDI 1"},
         {"Synth MIDI 1", "Synth MIDI 1"},
         {{1, Instrument(1, "SY-1")}},
         false,
         {{1, 1, "SY-1"}}},
        {"bad checksum, refusal, another command: no pair, no complaint",
         {"Odd:Odd MIDI 1"},
         {"Odd:Odd MIDI 1"},
         {{0, Answers(0, {badChecksum, ConnectReply("No", 4), ConnectReply("Bad", 2),
                          DeviceMessage(0x12, {0, 0, 4, 'S', 'o', 'n', 'g'})})}},
         false,
         {}},
        {"two instruments, all wanted",
         {"A:A MIDI 1", "B:B MIDI 1"},
         {"A:A MIDI 1", "B:B MIDI 1"},
         {{0, Instrument(0, "First")}, {1, Instrument(1, "Second")}},
         false,
         {{0, 0, "First"}, {1, 1, "Second"}}},
        {"two instruments, the first wanted",
         {"A:A MIDI 1", "B:B MIDI 1"},
         {"A:A MIDI 1", "B:B MIDI 1"},
         {{0, Instrument(0, "First")}, {1, Instrument(1, "Second")}},
         true,
         {{0, 0, "First"}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Scene scene(c.ins, c.outs);
        for (const auto& [out, behaviour] : c.behaviour) scene.ports.Behave(out, behaviour);
        EXPECT_EQ(Pairs(scene.Run(c.bFirstOnly)), c.expected);
        EXPECT_EQ(scene.ports.Opened(true), static_cast<int>(c.ins.size()));
        EXPECT_EQ(scene.ports.StillOpen(), 0);
        for (unsigned out = 0; out < c.outs.size(); ++out) {
            for (const Bytes& sent : scene.ports.Sent(out)) EXPECT_EQ(sent, kRequest);
            // One request, and one more where an answer was heard.
            EXPECT_LE(scene.ports.Sent(out).size(), 2u);
        }
    }
}

// A reply that comes after the waits of the output it answers is heard while
// the next output is tried: that output gets a second request, and only an
// output answered both times counts.
TEST(InstrumentSearch, ALateReplyIsNotCreditedToTheNextOutput) {
    Scene scene({"A:in", "B:in"}, {"A:out", "B:out"});
    scene.ports.Behave(1, [first = std::make_shared<bool>(true)](const Bytes&) {
        const bool late = std::exchange(*first, false);
        return late ? testing::Heard{{0, ConnectReply("SY-1")}} : testing::Heard{};
    });
    EXPECT_TRUE(scene.Run().empty());
    EXPECT_EQ(scene.ports.SendOrder(), (std::vector<unsigned>{0, 1, 1}));
}

TEST(InstrumentSearch, SilentOutputsCostConnectsOwnWaitsEach) {
    Scene scene({"A:in", "B:in"}, {"A:out", "B:out", "C:out"});
    EXPECT_TRUE(scene.Run().empty());
    // Per output: the acknowledgement's 100 ms, then the connect reply's 200 ms.
    EXPECT_EQ(scene.search.waits, (std::vector<unsigned>{100, 200, 100, 200, 100, 200}));
}

TEST(InstrumentSearch, TriesOutputsOfAListenedDeviceFirst) {
    Scene scene(
        {"Drums:out 20:0", "Midi-Bridge:USB MIDI 1 (capture): port", "Synth:out 24:0"},
        {"Alpha:in", "Synth:in 24:0", "Beta:in", "Drums:in 20:0",
         "Midi-Bridge:USB MIDI 1 (playback): port", "Midi-Bridge:USB MIDI 2 (playback): port"});
    scene.Run();
    EXPECT_EQ(scene.ports.SendOrder(), (std::vector<unsigned>{1, 3, 4, 0, 2, 5}));
}

TEST(InstrumentSearch, PortDeviceName) {
    const std::vector<std::pair<std::string, std::string>> names = {
        {"Midi Through:Midi Through Port-0 14:0", "Midi Through"},
        {"Velnor Virtual Instrument:out", "Velnor Virtual Instrument"},
        {"Velnor Virtual Instrument-01:Velnor Virtual Instrument", "Velnor Virtual Instrument"},
        {"Synth-A:in", "Synth-A"},
        {"Midi-Bridge:USB MIDI 1 (capture): MIDI 1", "Midi-Bridge:USB MIDI 1"},
        {"Midi-Bridge:USB MIDI 1 (playback): MIDI 1", "Midi-Bridge:USB MIDI 1"},
        {"USB MIDI Device", "USB MIDI Device"},
    };
    for (const auto& [name, device] : names) EXPECT_EQ(PortDeviceName(name), device) << name;
}

TEST(InstrumentSearch, CancelClosesEveryPort) {
    Scene scene({"A:in", "B:in"}, {"A:out", "B:out", "C:out"});
    scene.ports.Behave(2, Instrument(1, "SY-1"));
    scene.search.cancelAtWait = 3;  // while the second output waits for its acknowledgement
    EXPECT_TRUE(scene.Run().empty());
    EXPECT_TRUE(scene.search.Cancelled());
    EXPECT_EQ(scene.ports.SendOrder(), (std::vector<unsigned>{0, 1}));
    EXPECT_EQ(scene.search.waits.size(), 3u);
    EXPECT_EQ(scene.ports.StillOpen(), 0);
}

TEST(InstrumentSearch, CancelledBeforeItRunsOpensNothing) {
    Scene scene({"A:in"}, {"A:out"});
    scene.search.Cancel();
    EXPECT_TRUE(scene.Run().empty());
    EXPECT_EQ(scene.ports.Opened(true) + scene.ports.Opened(false), 0);
}

TEST(InstrumentSearch, LeavesOutTheBuiltInInstrument) {
    ScriptedPorts real({"Synth:out", "Keys:out"}, {"Synth:in"});
    ScriptedPorts builtIn({"Velnor Virtual Instrument"}, {"Velnor Virtual Instrument"});
    CompositeMidiPlatform program;
    program.Add(real);
    program.Add(builtIn);
    const SearchPorts ports = PortsToSearch(program, &builtIn);
    ASSERT_EQ(ports.inputs.size(), 2u);
    EXPECT_EQ(ports.inputs[1].name, "Keys:out");
    ASSERT_EQ(ports.outputs.size(), 1u);
    EXPECT_EQ(ports.outputs[0].name, "Synth:in");
    EXPECT_TRUE(PortsToSearch(builtIn, &builtIn).inputs.empty());
}

}  // namespace
}  // namespace velnor
