#pragma once
// Shared pieces of the computer-side widget tests: songs on disk, the popup
// menus the lists open, and a stand-in for the desktop's "open".

#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QDesktopServices>
#include <QDir>
#include <QDropEvent>
#include <QFile>
#include <QMenu>
#include <QMimeData>
#include <QTimer>
#include <QTreeWidget>
#include <QUrl>
#include <QtTest>
#include <functional>
#include <memory>

#include "SmfBuilder.h"
#include "common/Utf8Path.h"

namespace computer_test {

/// Makes `path` the user's home folder, the first root of the folder tree:
/// HOME, or USERPROFILE on Windows.
inline void SetHomeFolder(const QString& path) {
#ifdef Q_OS_WIN
    qputenv("USERPROFILE", QDir::toNativeSeparators(path).toLocal8Bit());
#else
    qputenv("HOME", path.toLocal8Bit());
#endif
}

/// Skips a test built on symbolic links where QFile::link makes a Windows
/// shortcut (a .lnk file) instead.
#ifdef Q_OS_WIN
#define SKIP_WITHOUT_SYMLINKS() \
    QSKIP("needs symbolic links; QFile::link makes .lnk shortcuts on Windows")
#else
#define SKIP_WITHOUT_SYMLINKS() static_cast<void>(0)
#endif

/// Writes a format-0 song at 120 ticks named `name` to `path`.
inline void WriteSong(const QString& path, const std::string& name = "Tune") {
    // By way of UTF-8: a narrow path would be read in Windows' ANSI code page.
    velnor::test::WriteFile(velnor::PathFromUtf8(path.toStdString()), velnor::test::GoodSong(name));
}

inline void WriteBytes(const QString& path, qsizetype size) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(QByteArray(size, 'x'));
}

inline QByteArray ReadBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

/// The column-0 texts of every row, top first.
inline QStringList RowNames(const QTreeWidget* list) {
    QStringList names;
    for (int i = 0; i < list->topLevelItemCount(); ++i) names << list->topLevelItem(i)->text(0);
    return names;
}

/// The same, sorted: for lists whose order is not what is checked.
inline QStringList SortedRowNames(const QTreeWidget* list) {
    QStringList names = RowNames(list);
    names.sort();
    return names;
}

inline QTreeWidgetItem* FindRow(const QTreeWidget* list, const QString& name) {
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
        if (list->topLevelItem(i)->text(0) == name) return list->topLevelItem(i);
    }
    return nullptr;
}

inline void SelectRows(QTreeWidget* list, const QStringList& names) {
    list->clearSelection();
    for (const QString& name : names) {
        QTreeWidgetItem* item = FindRow(list, name);
        QVERIFY2(item, qPrintable(name));
        item->setSelected(true);
    }
}

/// Right-clicks `view` at `pos` (viewport coordinates), reads the texts of
/// the popup menu that opens and picks the entry `choose` ("" closes the
/// menu). Returns the texts; empty when no menu opened.
inline QStringList RightClick(QAbstractItemView* view, const QPoint& pos,
                              const QString& choose = {}) {
    QStringList texts;
    QTimer poll;
    poll.setInterval(5);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        if (!menu) return;
        poll.stop();
        QAction* pick = nullptr;
        for (QAction* action : menu->actions()) {
            if (action->isSeparator()) continue;
            texts << action->text();
            if (action->text() == choose) pick = action;
        }
        if (pick) {
            menu->setActiveAction(pick);
            QTest::keyClick(menu, Qt::Key_Return);
        } else {
            menu->close();
        }
    });
    poll.start();
    QContextMenuEvent event(QContextMenuEvent::Mouse, pos, view->viewport()->mapToGlobal(pos));
    QApplication::sendEvent(view->viewport(), &event);
    poll.stop();
    return texts;
}

/// Drag data holding the local files `paths`, as the desktop offers it.
inline QMimeData* FileUrls(const QStringList& paths) {
    auto* mime = new QMimeData;
    QList<QUrl> urls;
    for (const QString& path : paths) urls << QUrl::fromLocalFile(path);
    mime->setUrls(urls);
    return mime;
}

/// Drops `mime` (taken over) on `view` as a drag would end there; true when
/// both the entry and the drop are accepted.
inline bool Drop(QAbstractItemView* view, QMimeData* mime) {
    const std::unique_ptr<QMimeData> owned(mime);
    const QPoint at(10, 10);
    QDragEnterEvent enter(at, Qt::CopyAction, mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(view->viewport(), &enter);
    if (!enter.isAccepted()) return false;
    QDropEvent drop(QPointF(at), Qt::CopyAction, mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(view->viewport(), &drop);
    return drop.isAccepted();
}

/// Takes the desktop's "open" of local files while it lives.
class OpenRecorder : public QObject {
    Q_OBJECT

  public:
    OpenRecorder() { QDesktopServices::setUrlHandler(QStringLiteral("file"), this, "open"); }
    ~OpenRecorder() override { QDesktopServices::unsetUrlHandler(QStringLiteral("file")); }

    QStringList opened;
    QList<QUrl> urls;

  public slots:
    void open(const QUrl& url) {
        opened << url.toLocalFile();
        urls << url;
    }
};

}  // namespace computer_test
