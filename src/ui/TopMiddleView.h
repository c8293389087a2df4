#pragma once

#include <QWidget>
#include <memory>
#include <string>
#include <vector>

#include "midi/CMidiTrans.h"
#include "workflows/MidiTransOperations.h"

class CGdipButton;
class CXProgressCtrl;
class CProgressBarAdapter;
class QAction;

/// Top row, middle column: the Download button and, under it, the progress
/// bar (hidden until a transfer shows it). Also the home of the Upload
/// command (Ctrl+U, and the slot list's context menu).
class CTopMiddleView : public QWidget {
    Q_OBJECT

  public:
    explicit CTopMiddleView(QWidget* parent = nullptr);
    ~CTopMiddleView() override;

    CGdipButton* DownloadButton() const { return m_btnDownload; }
    CXProgressCtrl* ProgressCtrl() const { return m_wndProgress; }
    /// The Upload command's action (shortcut Ctrl+U in the window).
    QAction* UploadAction() const { return m_pUploadAction; }

    /// Sends the selected repository file into the chosen slot.
    void OnDownload();
    /// The same for files dropped on the slot list (`paths`, in the drag's
    /// order), which stand for the repository's selection.
    void DownloadDropped(const QStringList& paths);
    /// Fetches the songs of the selected slots into the repository.
    void OnUpload();
    /// One acknowledged packet: steps the bar, held at 98 percent.
    void OnTransferProgress();

  signals:
    void downloadClicked();

  protected:
    void resizeEvent(QResizeEvent* event) override;

  private:
    /// Download of `files` (names in `folder`) into the slots as the slot
    /// list has them chosen.
    void RunDownload(const std::vector<std::string>& files, const std::string& folder);

    CGdipButton* m_btnDownload;
    CXProgressCtrl* m_wndProgress;
    QAction* m_pUploadAction;
    std::unique_ptr<CProgressBarAdapter> m_pProgress;
    velnor::CMidiTrans m_Trans;
    velnor::CMidiTransOperations m_Device{m_Trans};
};
