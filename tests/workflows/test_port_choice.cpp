#include <gtest/gtest.h>

#include "workflows/PortChoice.h"

using namespace velnor;

namespace {

using Names = std::vector<std::string>;

TEST(PortChoice, DisplayOrderIgnoresCaseAndKeepsTableOrderAmongEqualNames) {
    EXPECT_EQ(DisplayedPortNames({"z", "b", "C", "a", "Z", "B", "A"}),
              (Names{"A", "a", "B", "b", "C", "Z", "z"}));
    EXPECT_EQ(DisplayedPortNames({"Midi 2", "Midi 10", "Midi"}),
              (Names{"Midi", "Midi 10", "Midi 2"}));
    EXPECT_TRUE(DisplayedPortNames({}).empty());
}

TEST(PortChoice, SameNamedPortsPreselectTheLastDisplayedAndOkStoresTheFirst) {
    const Names names = {"USB MIDI", "USB MIDI", "Another"};
    // Displayed: Another, USB MIDI, USB MIDI.
    EXPECT_EQ(WantedPortText(names, 1), "USB MIDI");
    EXPECT_EQ(PreselectedPortRow(names, 1), 2);
    EXPECT_EQ(PreselectedPortRow(names, 0), 2);
    EXPECT_EQ(PreselectedPortRow(names, 2), 0);
    EXPECT_EQ(ChosenPortId(names, std::string("USB MIDI"), 1), 0);
    EXPECT_EQ(ChosenPortId(names, std::string("Another"), 1), 2);
}

TEST(PortChoice, IdentifierOutsideTheListSelectsNothing) {
    // A port with an empty name must not be taken for "no identifier".
    const Names names = {"", "Synth"};
    for (int nId : {-1, 2, 64, -858993460}) {
        EXPECT_EQ(WantedPortText(names, nId), "") << nId;
        EXPECT_EQ(PreselectedPortRow(names, nId), -1) << nId;
    }
    EXPECT_EQ(PreselectedPortRow({}, 0), -1);
}

TEST(PortChoice, OkWithoutSelectionOrWithAVanishedNameKeepsTheStoredId) {
    const Names names = {"A", "B"};
    EXPECT_EQ(ChosenPortId(names, std::nullopt, 7), 7);
    EXPECT_EQ(ChosenPortId(names, std::string("C"), 1), 1);
    EXPECT_EQ(ChosenPortId(names, std::string("b"), 0), 0);  // exact match only
}

}  // namespace
