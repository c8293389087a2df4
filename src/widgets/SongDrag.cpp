#include "widgets/SongDrag.h"

#include <QDrag>
#include <QMimeData>
#include <QUrl>
#include <QWidget>

namespace {

const QString kOriginFormat = QStringLiteral("application/x-velnor-song-origin");

QByteArray OriginName(SongDragOrigin origin) {
    switch (origin) {
        case SongDragOrigin::Browser:
            return "browser";
        case SongDragOrigin::Repository:
            return "repository";
        case SongDragOrigin::None:
            break;
    }
    return {};
}

}  // namespace

QMimeData* MakeSongDrag(const QString& folder, const QStringList& names, SongDragOrigin origin) {
    auto* mime = new QMimeData;
    QString base = folder;
    if (!base.endsWith('/')) base += '/';
    QList<QUrl> urls;
    for (const QString& name : names) urls << QUrl::fromLocalFile(base + name);
    mime->setUrls(urls);
    mime->setData(kOriginFormat, OriginName(origin));
    return mime;
}

SongDragOrigin SongDragOriginOf(const QMimeData* mime) {
    if (!mime) return SongDragOrigin::None;
    const QByteArray origin = mime->data(kOriginFormat);
    if (origin == OriginName(SongDragOrigin::Browser)) return SongDragOrigin::Browser;
    if (origin == OriginName(SongDragOrigin::Repository)) return SongDragOrigin::Repository;
    return SongDragOrigin::None;
}

QStringList SongDragPaths(const QMimeData* mime) {
    QStringList paths;
    if (!mime || !mime->hasUrls()) return paths;
    for (const QUrl& url : mime->urls()) {
        if (url.isLocalFile()) paths << url.toLocalFile();
    }
    return paths;
}

void ExecSongDrag(QWidget* source, QMimeData* mime) {
    auto* drag = new QDrag(source);
    drag->setMimeData(mime);
    drag->exec(Qt::CopyAction, Qt::CopyAction);
}
