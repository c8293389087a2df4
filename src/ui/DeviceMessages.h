#pragma once

#include <QEvent>

// The requests the device slot list sends to its pane, delivered
// synchronously with QCoreApplication::sendEvent: the sender goes on only
// once the pane has handled each one.
inline constexpr QEvent::Type WM_REFRESH_LIST = QEvent::Type(QEvent::User + 130);
inline constexpr QEvent::Type WM_DELETE_SLOT = QEvent::Type(QEvent::User + 131);

/// A request with its one argument (the slot number of WM_DELETE_SLOT, -1
/// once the batch is over; 0 for WM_REFRESH_LIST).
class CDeviceRequestEvent : public QEvent {
  public:
    CDeviceRequestEvent(QEvent::Type type, int wParam) : QEvent(type), m_wParam(wParam) {}
    int WParam() const { return m_wParam; }

  private:
    int m_wParam;
};
