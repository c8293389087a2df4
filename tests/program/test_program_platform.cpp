// The program's platform: the system's ports, then the virtual instrument as
// the last input and output port, reached through the port layer like any
// other.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "midi/CMidiDevice.h"
#include "midi/CMidiTrans.h"
#include "program/ProgramPlatform.h"
#include "support/Portable.h"

namespace velnor {
namespace {

using instrument::Link;

TEST(ProgramPlatform, TheInstrumentIsTheLastPortAndAnswers) {
    auto program = MakeProgramPlatform(Link::None);
    MidiPlatform& platform = program->Platform();
    const unsigned ins = platform.midiInGetNumDevs();
    const unsigned outs = platform.midiOutGetNumDevs();
    ASSERT_GE(ins, 1u);
    ASSERT_GE(outs, 1u);
    std::string name;
    ASSERT_EQ(platform.midiInGetDevCaps(ins - 1, name), MMSYSERR_NOERROR);
    EXPECT_EQ(name, "Velnor Virtual Instrument");
    ASSERT_EQ(platform.midiOutGetDevCaps(outs - 1, name), MMSYSERR_NOERROR);
    EXPECT_EQ(name, "Velnor Virtual Instrument");
    EXPECT_EQ(program->Instrument().GetLink(), Link::None);

    CMidiDevice::SetPlatform(&platform);
    CMidiDevice::GetInstance()->EnumeratePorts();
    CMidiDevice::SetReceiveHandler(&CMidiTrans::OnReceive);
    {
        CMidiTrans trans;
        ASSERT_TRUE(trans.OpenPorts(int(ins - 1), int(outs - 1)));
        std::string device;
        EXPECT_TRUE(trans.Connect(device));
        EXPECT_EQ(device, "Velnor Virtual Instrument");
        std::vector<std::string> slots;
        EXPECT_TRUE(trans.ReadSongList(slots));
        ASSERT_EQ(slots.size(), 16u);
        EXPECT_EQ(slots[0], "Scale.mid");
    }
    CMidiDevice::SetReceiveHandler(nullptr);
    CMidiDevice::SetPlatform(nullptr);
}

TEST(ProgramPlatform, WithoutAChoiceTheLinkComesFromTheEnvironment) {
    ::setenv("VELNOR_INSTRUMENT_LINK", "din", 1);
    EXPECT_EQ(MakeProgramPlatform()->Instrument().GetLink(), Link::Din);
    ::setenv("VELNOR_INSTRUMENT_LINK", "none", 1);
    EXPECT_EQ(MakeProgramPlatform()->Instrument().GetLink(), Link::None);
    EXPECT_EQ(MakeProgramPlatform(Link::Usb)->Instrument().GetLink(), Link::Usb);
    ::unsetenv("VELNOR_INSTRUMENT_LINK");
    EXPECT_EQ(MakeProgramPlatform()->Instrument().GetLink(), Link::Usb);
}

}  // namespace
}  // namespace velnor
