#include <gtest/gtest.h>

#include "common/ScriptedPrompter.h"

using namespace velnor;

TEST(Prompter, TheSilentDefaultNeverSaysYes) {
    SetPrompter(nullptr);
    EXPECT_EQ(GetPrompter().Ask("Overwrite?", PromptButtons::YesNo), PromptAnswer::No);
    EXPECT_EQ(GetPrompter().Ask("Overwrite?", PromptButtons::YesNoCancel), PromptAnswer::No);
}

TEST(Prompter, ScriptedAnswersComeInOrderAndUnscriptedQuestionsAreCounted) {
    ScriptedPrompter scripted;
    scripted.answers = {PromptAnswer::Yes, PromptAnswer::Cancel};
    SetPrompter(&scripted);
    GetPrompter().Show("Download successfully!");
    EXPECT_EQ(GetPrompter().Ask("a", PromptButtons::YesNo), PromptAnswer::Yes);
    EXPECT_EQ(GetPrompter().Ask("b", PromptButtons::YesNoCancel), PromptAnswer::Cancel);
    EXPECT_EQ(GetPrompter().Ask("c", PromptButtons::YesNo), PromptAnswer::No);
    SetPrompter(nullptr);
    EXPECT_EQ(scripted.unscripted, 1);
    ASSERT_EQ(scripted.entries.size(), 4u);
    EXPECT_EQ(scripted.entries[0].caption, "Velnor");
    EXPECT_EQ(scripted.entries[0].buttons, PromptButtons::Ok);
    EXPECT_EQ(scripted.Texts()[3], "c");
}
