#pragma once

#include <QStringList>

class QMimeData;
class QWidget;

/// Songs dragged out of one of the window's two file lists. The drag carries
/// the files as local file addresses, so other programs take it as a drop of
/// files, and says which list it came from.
enum class SongDragOrigin { None, Browser, Repository };

/// The drag of the files `names` of `folder` (ending in "/" or not) out of
/// the list `origin`. The caller owns the result.
QMimeData* MakeSongDrag(const QString& folder, const QStringList& names, SongDragOrigin origin);

/// The list a drag came from; None for drags from other programs.
SongDragOrigin SongDragOriginOf(const QMimeData* mime);

/// The local paths a drag carries, in its order.
QStringList SongDragPaths(const QMimeData* mime);

/// Runs the drag of `mime` out of `source` as a copy; takes ownership.
void ExecSongDrag(QWidget* source, QMimeData* mime);
