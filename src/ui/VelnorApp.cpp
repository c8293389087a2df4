#include "ui/VelnorApp.h"

#include "midi/CMidiDevice.h"
#include "ui/MainFrame.h"
#include "ui/ProgramPlatform.h"
#include "widgets/SplashWnd.h"

CVelnorApp::CVelnorApp(int& argc, char** argv) : QApplication(argc, argv) {
    // Nothing is stored; the names only place the user's data folder.
    setOrganizationName(QStringLiteral("Velnor"));
    setApplicationName(QStringLiteral("Velnor"));
    setApplicationVersion(QStringLiteral("1.0.1"));
}

CVelnorApp::~CVelnorApp() {
    m_pMainFrame.reset();
    velnor::CMidiDevice::SetPlatform(nullptr);
    velnor::SetEventPump(nullptr);
    velnor::SetPrompter(nullptr);
}

bool CVelnorApp::InitInstance() {
    m_pPump = std::make_unique<CQtEventPump>();
    velnor::SetEventPump(m_pPump.get());
    velnor::SetPrompter(&m_prompter);
    m_pPlatform = ProgramPlatform();
    StartPortLayer(m_pPlatform.get());

    m_pMainFrame = std::make_unique<CMainFrame>();  // song icon, repository folder
    CSplashWnd::EnableSplashScreen();
    CSplashWnd::ShowSplashScreen(m_pMainFrame.get());
    if (!m_pMainFrame->Create()) return false;
    m_pMainFrame->show();
    m_pMainFrame->repaint();
    return true;
}

int CVelnorApp::ExitInstance(int code) {
    m_pMainFrame.reset();  // panes and buttons go before the pump; the first
                           // pane-held CMidiTrans releases the port layer
    velnor::CMidiDevice::SetPlatform(nullptr);
    velnor::SetEventPump(nullptr);
    velnor::SetPrompter(nullptr);
    m_pPump.reset();
    return code;
}
