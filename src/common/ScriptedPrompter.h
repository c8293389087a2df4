#pragma once

#include <deque>
#include <string>
#include <vector>

#include "common/Prompter.h"

namespace velnor {

/// A prompter for tests: records every text it is shown and answers questions
/// from a script. A question with no scripted answer left is answered No and
/// counted in `unscripted`, so a test sees questions it did not expect.
class ScriptedPrompter : public Prompter {
  public:
    struct Entry {
        std::string text;
        PromptButtons buttons;
        std::string caption;
        PromptIcon icon;
    };

    PromptAnswer Ask(const std::string& text, PromptButtons buttons, const std::string& caption,
                     PromptIcon icon) override {
        entries.push_back({text, buttons, caption, icon});
        if (buttons == PromptButtons::Ok) return PromptAnswer::Ok;
        if (answers.empty()) {
            ++unscripted;
            return PromptAnswer::No;
        }
        PromptAnswer answer = answers.front();
        answers.pop_front();
        return answer;
    }
    using Prompter::Ask;

    /// The texts shown so far, in order.
    std::vector<std::string> Texts() const {
        std::vector<std::string> texts;
        for (const Entry& e : entries) texts.push_back(e.text);
        return texts;
    }

    std::deque<PromptAnswer> answers;
    std::vector<Entry> entries;
    int unscripted = 0;
};

}  // namespace velnor
