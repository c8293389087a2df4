#include "widgets/CJShell.h"

#include <QAction>
#include <QDesktopServices>
#include <QFile>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMenu>
#include <QMimeDatabase>
#include <QProcess>
#include <QTreeWidgetItem>
#include <QUrl>
#include <QWidget>

#include <algorithm>

#include "common/Utf8Path.h"
#include "songs/SongRule.h"
#include "stores/BrowserRules.h"

QString CCJShell::Key(const velnor::FileRow& row) {
    if (row.isFolder) return QStringLiteral("/");
    return QFileInfo(QString::fromStdString(row.name)).suffix().toLower();
}

QIcon CCJShell::Icon(const velnor::FileRow& row) {
    const QString key = Key(row);
    auto found = m_icons.constFind(key);
    if (found != m_icons.constEnd()) return *found;
    static const QFileIconProvider s_provider;
    const QIcon icon = row.isFolder ? s_provider.icon(QFileIconProvider::Folder)
                                    : s_provider.icon(QFileInfo(QString::fromStdString(row.path)));
    m_icons.insert(key, icon);
    return icon;
}

QString CCJShell::TypeName(const velnor::FileRow& row) {
    const QString key = Key(row);
    auto found = m_types.constFind(key);
    if (found != m_types.constEnd()) return *found;
    static const QMimeDatabase s_types;
    // The type follows the name, as the desktop shows it; the contents are
    // not read.
    const QMimeType type = row.isFolder ? s_types.mimeTypeForName(QStringLiteral("inode/directory"))
                                        : s_types.mimeTypeForFile(QString::fromStdString(row.name),
                                                                  QMimeDatabase::MatchExtension);
    const QString name = type.comment();
    m_types.insert(key, name);
    return name;
}

QTreeWidgetItem* CCJShell::MakeItem(const velnor::FileRow& row) {
    auto* item = new QTreeWidgetItem;
    item->setText(0, QString::fromStdString(row.name));
    item->setIcon(0, Icon(row));
    item->setData(0, kIsFolderRole, row.isFolder);
    item->setData(0, kNameRole, QByteArray::fromStdString(row.name));
    item->setText(1, QString::fromStdString(row.songName));
    item->setText(2, QString::fromStdString(row.sizeText));
    item->setTextAlignment(2, Qt::AlignRight | Qt::AlignVCenter);
    item->setText(3, row.typeName.empty() ? TypeName(row) : QString::fromStdString(row.typeName));
    item->setText(4, QString::fromStdString(row.modifiedText));
    return item;
}

std::string CCJShell::ItemName(const QTreeWidgetItem* item) {
    const QVariant name = item->data(0, kNameRole);
    return name.isValid() ? name.toByteArray().toStdString() : item->text(0).toStdString();
}

void CCJShell::OpenFile(const std::string& path) {
#ifdef _WIN32
    const QUrl url = QUrl::fromLocalFile(QString::fromStdU16String(velnor::Utf16FromWtf8(path)));
#else
    // The path's own bytes, percent-encoded: a name that is not UTF-8 reaches
    // the desktop as it is on disk.
    const QUrl url = QUrl::fromEncoded(
        "file://" + QByteArray::fromStdString(path).toPercentEncoding("/"), QUrl::StrictMode);
#endif
    if (QDesktopServices::openUrl(url)) return;
    const QString browser = qEnvironmentVariable("BROWSER");
    if (!browser.isEmpty()) QProcess::startDetached(browser, {QFile::decodeName(path.c_str())});
}

velnor::SongNameReader CCJShell::SongNames() {
    return [](const std::string& path) -> std::optional<std::string> {
        std::string name = velnor::ReadListSongName(path);
        if (name.empty()) return std::nullopt;
        return name;
    };
}

void SortByName(std::vector<velnor::FileRow>& rows) {
    std::stable_sort(rows.begin(), rows.end(),
                     [](const velnor::FileRow& a, const velnor::FileRow& b) {
                         return velnor::BrowserRowLess(a, b, velnor::BrowserColumn::Name);
                     });
}

int TrackListMenu(QWidget* parent, const QPoint& globalPos, bool bOnRow, bool bConvert) {
    QMenu menu(parent);
    menu.setObjectName(QStringLiteral("5032"));
    if (bOnRow) menu.addAction(QObject::tr("Delete"))->setData(ID_LIST_DELETE);
    if (bOnRow && bConvert) {
        menu.addAction(QObject::tr("Convert into Repository"))->setData(ID_LIST_CONVERT);
    }
    menu.addAction(QObject::tr("Refresh"))->setData(ID_LIST_REFRESH);
    const QAction* chosen = menu.exec(globalPos);
    return chosen ? chosen->data().toInt() : 0;
}

CWaitAndFreeze::CWaitAndFreeze(QWidget* widget)
    : m_pWidget(widget), m_bWasEnabled(widget->updatesEnabled()) {
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    m_pWidget->setUpdatesEnabled(false);
}

CWaitAndFreeze::~CWaitAndFreeze() {
    m_pWidget->setUpdatesEnabled(m_bWasEnabled);
    QGuiApplication::restoreOverrideCursor();
}
