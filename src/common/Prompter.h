#pragma once

#include <string>

namespace velnor {

/// The buttons a message box offers.
enum class PromptButtons { Ok, YesNo, YesNoCancel };

/// The button the user pressed.
enum class PromptAnswer { Ok, Yes, No, Cancel };

/// The icon a message box shows; the program's own boxes show none.
enum class PromptIcon { None, Stop };

/// Every message and question the user sees goes through a Prompter: the
/// window shows modal message boxes titled "Velnor", tests script the answers,
/// the command-line tool prints. Only Yes continues a question.
class Prompter {
  public:
    virtual ~Prompter() = default;

    /// Shows `text` with the given buttons and returns the button pressed.
    virtual PromptAnswer Ask(const std::string& text, PromptButtons buttons,
                             const std::string& caption, PromptIcon icon) = 0;

    /// A notice that does not wait for the user, for news while work goes
    /// on (the window shows it beside the work); by default a plain message.
    virtual void Notify(const std::string& text) { Show(text); }

    /// A plain message box titled "Velnor" with an OK button and no icon.
    void Show(const std::string& text) { Ask(text, PromptButtons::Ok, kCaption, PromptIcon::None); }

    /// A question titled "Velnor" without an icon.
    PromptAnswer Ask(const std::string& text, PromptButtons buttons) {
        return Ask(text, buttons, kCaption, PromptIcon::None);
    }

    static constexpr const char* kCaption = "Velnor";
};

/// The process-wide prompter; never null (a silent one answering No stands in
/// until the program installs its own).
Prompter& GetPrompter();

/// Installs `prompter` as the process-wide prompter (null restores the silent
/// one). The caller keeps ownership.
void SetPrompter(Prompter* prompter);

}  // namespace velnor
