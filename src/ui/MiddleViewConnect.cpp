// The Connect button: the port dialog, then the connect request, then the
// slot list.
#include "common/Prompter.h"
#include "ui/MiddleView.h"
#include "ui/MidiDeviceDlg.h"
#include "ui/PaneLookup.h"
#include "ui/TopLeftView.h"
#include "workflows/CloseGuard.h"
#include "workflows/Connection.h"

void CMiddleView::OnConnect() {
    if (!velnor::ConnectAllowed(m_Device)) return;
    bool bAccepted = false;
    {
        // The dialog runs its own event loop: a close of the main window
        // meanwhile waits until it has ended.
        velnor::DeviceCommandScope scope;
        CMidiDeviceDlg dlg(window());
        dlg.m_pnInPort = &m_nInPort;
        dlg.m_pnOutPort = &m_nOutPort;
        dlg.m_pTrans = &m_Trans;
        bAccepted = dlg.exec() == QDialog::Accepted;
    }
    velnor::OnConnect(m_Device, velnor::GetPrompter(), bAccepted, m_nInPort, m_nOutPort,
                      m_strDeviceName, [this] {
                          if (CTopLeftView* pSlots = GetTopLeftView(this))
                              pSlots->RefreshSlotList();
                      });
}
