#pragma once

#include <functional>

namespace velnor {

// Closing the main window while a device command is on the stack would
// destroy the panes under it: the transfers wait for the instrument inside a
// nested event loop, and the command's message boxes run their own. So every
// device command holds a DeviceCommandScope for its whole run, the main
// window's close handler asks RequestMainWindowClose() first, and a close
// that comes too early is remembered and carried out once the last command
// has returned.
//
// UI thread only: the state below is plain, never touched by the MIDI input
// thread.
//
// Intended use in the main window:
//
//   SetDeferredCloseHandler([this] {
//       QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
//   });
//   void MainFrame::closeEvent(QCloseEvent* e) {
//       if (!RequestMainWindowClose(device.IsIdle())) { e->ignore(); return; }
//       ...
//   }
//
// The handler must post the close, not close at once: it runs while the
// command's own frames are still unwinding.
//
// The workflow functions (OnConnect, RefreshSlotList, OnDeleteSlot,
// DeleteSelectedSlots, OnDownload, DownloadFiles, OnUpload) hold their own
// scope; a pane holds one itself only around work of its own that runs a
// nested event loop, such as the port dialog.

/// Marks a device command as running for as long as it lives. Nestable.
class DeviceCommandScope {
  public:
    DeviceCommandScope();
    ~DeviceCommandScope();
    DeviceCommandScope(const DeviceCommandScope&) = delete;
    DeviceCommandScope& operator=(const DeviceCommandScope&) = delete;
};

/// True while a device command is on the stack.
bool DeviceCommandRunning();

/// Asked by the main window before it closes. `bDeviceIdle` is IsIdle() of
/// the device. Returns true when the window may close now; false when a
/// command or a device operation is under way: the close is then remembered
/// and the caller must refuse this one.
bool RequestMainWindowClose(bool bDeviceIdle);

/// True while a refused close waits for the running command to return.
bool MainWindowClosePending();

/// Called once when the outermost DeviceCommandScope ends with a close
/// pending (the pending flag is cleared first). Empty: the close is dropped.
void SetDeferredCloseHandler(std::function<void()> closeAgain);

}  // namespace velnor
