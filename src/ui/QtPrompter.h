#pragma once

#include "common/Prompter.h"

/// Message boxes of the window: titled "Velnor" (or the caption given), no
/// icon unless the stop icon is asked for, the buttons the call names.
class CQtPrompter : public velnor::Prompter {
  public:
    using velnor::Prompter::Ask;
    velnor::PromptAnswer Ask(const std::string& text, velnor::PromptButtons buttons,
                             const std::string& caption, velnor::PromptIcon icon) override;
    /// A message box that is not modal and does not wait: it stays up beside
    /// the window until the user closes it.
    void Notify(const std::string& text) override;
};
