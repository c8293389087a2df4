#include "workflows/CloseGuard.h"

#include <utility>

namespace velnor {

namespace {

// UI thread only (see the header).
int s_nCommandDepth = 0;
bool s_bClosePending = false;

std::function<void()>& DeferredCloseHandler() {
    static std::function<void()> handler;
    return handler;
}

}  // namespace

DeviceCommandScope::DeviceCommandScope() {
    ++s_nCommandDepth;
}

DeviceCommandScope::~DeviceCommandScope() {
    if (--s_nCommandDepth > 0 || !s_bClosePending) return;
    s_bClosePending = false;
    if (DeferredCloseHandler()) DeferredCloseHandler()();
}

bool DeviceCommandRunning() {
    return s_nCommandDepth > 0;
}

bool RequestMainWindowClose(bool bDeviceIdle) {
    if (s_nCommandDepth == 0 && bDeviceIdle) {
        s_bClosePending = false;
        return true;
    }
    // An operation under way outside any command scope (the port dialog's
    // listing) is refused as well: the ports are never closed in the middle
    // of a wait. With no scope to end, a later close goes through.
    s_bClosePending = true;
    return false;
}

bool MainWindowClosePending() {
    return s_bClosePending;
}

void SetDeferredCloseHandler(std::function<void()> closeAgain) {
    DeferredCloseHandler() = std::move(closeAgain);
}

}  // namespace velnor
