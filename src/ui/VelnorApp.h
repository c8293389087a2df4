#pragma once

#include <QApplication>
#include <memory>

#include "midi/MidiPlatform.h"
#include "ui/QtEventPump.h"
#include "ui/QtPrompter.h"

class CMainFrame;

/// The application: installs the window's pump and prompter, builds the
/// main frame behind the splash, shows it.
class CVelnorApp : public QApplication {
    Q_OBJECT

  public:
    CVelnorApp(int& argc, char** argv);
    ~CVelnorApp() override;

    /// Start-up; false ends the program at once.
    bool InitInstance();
    /// Shut-down after the loop: removes the pump and prompter.
    int ExitInstance(int code);

    CMainFrame* MainFrame() const { return m_pMainFrame.get(); }

  private:
    std::unique_ptr<CQtEventPump> m_pPump;
    CQtPrompter m_prompter;
    /// The MIDI ports; outlives the panes that use them.
    std::unique_ptr<velnor::MidiPlatform> m_pPlatform;
    std::unique_ptr<CMainFrame> m_pMainFrame;
};
