#pragma once

#include <QDialog>
#include <functional>

#include "common/Mhtml.h"

class QTextBrowser;

/// A small window showing the help document's page, with the pictures the
/// page takes from the same document. Used where the desktop has no program
/// that reads the document. Not modal: the main window stays usable.
class CHelpViewerDlg : public QDialog {
    Q_OBJECT

  public:
    CHelpViewerDlg(velnor::MhtmlDocument document, QWidget* parent = nullptr);

    QTextBrowser* Browser() const { return m_pBrowser; }

  private:
    QTextBrowser* m_pBrowser;
};

/// Shows "Help.mht" beside the program: with the desktop's program for it
/// when the desktop has one, otherwise (or when that fails) in the help
/// viewer. A missing document shows nothing; a document that cannot be shown
/// at all is reported with a message.
void ShowHelpDocument(QWidget* parent);

/// Whether the desktop names a program for files of `mimeType`. Replaceable
/// for tests; an empty function restores the desktop's own answer.
void SetDesktopHandlerQuery(std::function<bool(const QString& mimeType)> query);
