// The middle pane's commands that work on the computer's side only: Copy Up,
// Copy Down and the refresh of every list.
#include "common/Prompter.h"
#include "stores/FolderOps.h"
#include "stores/SongConvert.h"
#include "stores/SongCopy.h"
#include "ui/BottomView.h"
#include "ui/MiddleView.h"
#include "ui/PaneLookup.h"
#include "ui/TopLeftView.h"
#include "ui/TopRightView.h"
#include "widgets/CJShellList.h"
#include "workflows/Connection.h"

namespace {

CCJShellList* BrowserList(const QWidget* from) {
    CBottomView* bottom = GetBottomView(from);
    return bottom ? bottom->FileList() : nullptr;
}

}  // namespace

void GetSelectedBrowserFiles(const CCJShellList* list, std::vector<std::string>& names) {
    names.clear();
    if (!list) return;
    const std::vector<std::string> selected = list->SelectedNames();
    if (selected.empty()) return;
    names = velnor::GetSelectedBrowserFiles(list->GetFolderPath().toStdString(), selected);
}

void CMiddleView::ConnectComputerCommands() {
    connect(this, &CMiddleView::refreshClicked, this, &CMiddleView::OnRefreshAll);
    connect(this, &CMiddleView::copyUpClicked, this, &CMiddleView::OnCopyUp);
    connect(this, &CMiddleView::copyDownClicked, this, &CMiddleView::OnCopyDown);
}

void CMiddleView::OnRefreshAll() {
    if (CTopRightView* repository = GetTopRightView(this)) repository->RefreshList();
    if (CBottomView* bottom = GetBottomView(this)) bottom->RefreshBrowser();
    // The device's list too while connected; RefreshSlotList itself does
    // nothing while no port layer exists or an operation runs.
    if (velnor::g_bConnected.load() != 0) {
        if (CTopLeftView* device = GetTopLeftView(this)) device->RefreshSlotList();
    }
}

void CMiddleView::OnCopyUp() {
    CCJShellList* list = BrowserList(this);
    CTopRightView* repository = GetTopRightView(this);
    if (!list || !repository) return;
    const std::string source = list->GetFolderPath().toStdString();
    std::vector<std::string> names;
    GetSelectedBrowserFiles(list, names);
    const std::string target = repository->RepositoryPath().toStdString();
    if (!velnor::CopyArgumentsUsable(names, source, target)) return;
    // Songs refused only for their format or division are offered for
    // conversion once the batch is through.
    std::vector<velnor::SongToConvert> refused;
    velnor::CopySongFiles(names, source, target, true, velnor::GetPrompter(),
                          velnor::NoteSongsToConvert(refused), velnor::TargetNames::IgnoreCase);
    velnor::OfferConversion(refused, target, velnor::GetPrompter());
    repository->RefreshList();
}

void CMiddleView::OnCopyDown() {
    CTopRightView* repository = GetTopRightView(this);
    if (!repository) return;
    std::vector<std::string> names;
    repository->GetSelectedFiles(names);
    CopyDown(names);
}

void CMiddleView::CopyDown(const std::vector<std::string>& names) {
    CCJShellList* list = BrowserList(this);
    CTopRightView* repository = GetTopRightView(this);
    if (!list || !repository) return;
    const std::string source = repository->RepositoryPath().toStdString();
    const std::string target = list->GetFolderPath().toStdString();
    if (!velnor::CopyArgumentsUsable(names, source, target)) return;
    velnor::CopySongFiles(names, source, target, false, velnor::GetPrompter());
    list->Reload();
}
