#pragma once

#include <QWidget>

class CDisabledCSplitterWnd;
class CCJShellList;
class CCJShellTree;

/// Bottom row: a one-row splitter of two columns, CBottomLeftView (folder
/// tree) and CBottomRightView (file list), one third and two thirds.
class CBottomView : public QWidget {
    Q_OBJECT

  public:
    explicit CBottomView(QWidget* parent = nullptr);

    CDisabledCSplitterWnd* Splitter() const { return m_wndSplitter; }

    /// Reloads the browser list, then rebuilds the folder tree and selects
    /// the same folder again (which reloads the list once more).
    void RefreshBrowser();

    /// The browser's tree and list (null when a pane is missing).
    CCJShellTree* FolderTree() const;
    CCJShellList* FileList() const;

  protected:
    void resizeEvent(QResizeEvent* event) override;

  private:
    CDisabledCSplitterWnd* m_wndSplitter;
};
