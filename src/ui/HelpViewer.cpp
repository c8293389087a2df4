#include "ui/HelpViewer.h"

#include <QDesktopServices>
#include <QFile>
#include <QMimeDatabase>
#include <QProcess>
#include <QStandardPaths>
#include <QStringDecoder>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

#include "common/Prompter.h"
#include "ui/ProgramFolder.h"

namespace {

const QString kHelpName = QStringLiteral("Help.mht");

std::function<bool(const QString&)>& HandlerQuery() {
    static std::function<bool(const QString&)> s_query;
    return s_query;
}

/// Asks the desktop for its program for `mimeType`. Where there is no way to
/// ask, the desktop services are left to try (they fail when they have no
/// launcher, and the viewer takes over).
bool DesktopNamesHandler(const QString& mimeType) {
#if defined(Q_OS_WIN)
    Q_UNUSED(mimeType);
    return true;  // the shell's own viewer reads the format
#else
    const QString tool = QStandardPaths::findExecutable(QStringLiteral("xdg-mime"));
    if (tool.isEmpty()) return true;
    QProcess query;
    query.start(tool, {QStringLiteral("query"), QStringLiteral("default"), mimeType});
    // A short shell script; the bound only guards against a hung desktop.
    if (!query.waitForFinished(5000)) {
        query.kill();
        query.waitForFinished(1000);
        return false;
    }
    return query.exitCode() == 0 && !query.readAllStandardOutput().trimmed().isEmpty();
#endif
}

bool DesktopOpens(const QString& path) {
    const QString mimeType = QMimeDatabase().mimeTypeForFile(path).name();
    const bool bHandler = HandlerQuery() ? HandlerQuery()(mimeType) : DesktopNamesHandler(mimeType);
    // Without a program of its own for the type, a Linux desktop hands the
    // document to the web browser, which may not read it.
    return bHandler && QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

QString PageText(const velnor::MimePart& page) {
    const QByteArray bytes = QByteArray::fromStdString(page.body);
    const QString charset = QString::fromStdString(page.Parameter("charset"));
    if (!charset.isEmpty()) {
        QStringDecoder decoder(charset.toLatin1().constData());
        if (decoder.isValid()) return decoder.decode(bytes);
    }
    return QString::fromUtf8(bytes);
}

/// A text browser that takes the page's pictures from the document.
class CMhtmlBrowser : public QTextBrowser {
  public:
    CMhtmlBrowser(velnor::MhtmlDocument document, QWidget* parent)
        : QTextBrowser(parent), m_document(std::move(document)) {}

  protected:
    QVariant loadResource(int type, const QUrl& name) override {
        if (const velnor::MimePart* part = m_document.Find(name.toString().toStdString())) {
            return QByteArray::fromStdString(part->body);
        }
        return QTextBrowser::loadResource(type, name);
    }

  private:
    velnor::MhtmlDocument m_document;
};

}  // namespace

CHelpViewerDlg::CHelpViewerDlg(velnor::MhtmlDocument document, QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("CHelpViewerDlg"));
    const velnor::MimePart* page = document.Html();
    const QString html = page ? PageText(*page) : QString();
    m_pBrowser = new CMhtmlBrowser(std::move(document), this);
    m_pBrowser->setOpenExternalLinks(true);
    m_pBrowser->setHtml(html);
    const QString title = m_pBrowser->documentTitle();
    setWindowTitle(title.isEmpty() ? QStringLiteral("Velnor") : title);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_pBrowser);
    resize(640, 560);
}

void ShowHelpDocument(QWidget* parent) {
    const QString path = GetProgramFolder() + kHelpName;
    QFile file(path);
    if (!file.exists()) return;  // no help beside the program: nothing to show
    if (DesktopOpens(path)) return;
    velnor::MhtmlDocument document;
    if (file.open(QIODevice::ReadOnly)) document = velnor::ReadMhtml(file.readAll().toStdString());
    if (!document.Html()) {
        velnor::GetPrompter().Show(kHelpName.toStdString() + "  cannot be shown!");
        return;
    }
    // One viewer per window: a second Help brings it to the front.
    if (auto* shown = parent ? parent->findChild<CHelpViewerDlg*>() : nullptr) {
        shown->raise();
        shown->activateWindow();
        return;
    }
    auto* viewer = new CHelpViewerDlg(std::move(document), parent);
    viewer->setAttribute(Qt::WA_DeleteOnClose);
    viewer->show();
}

void SetDesktopHandlerQuery(std::function<bool(const QString&)> query) {
    HandlerQuery() = std::move(query);
}
