#pragma once

#include <QHash>
#include <QIcon>
#include <QPoint>
#include <QString>
#include <Qt>

#include "stores/FileRows.h"

class QTreeWidgetItem;
class QWidget;

/// Shell services of the song lists: the icon and the type name of a file
/// (looked up once per file-name suffix, so a reload of thousands of rows
/// asks the desktop only a handful of times), the row items, and the
/// desktop's "open".
class CCJShell {
  public:
    QIcon Icon(const velnor::FileRow& row);
    QString TypeName(const velnor::FileRow& row);

    /// A new row item: column 0 the name with the file type's icon, then song
    /// name, size, type and modified texts. Whether the row is a folder rides
    /// on column 0 as `kIsFolderRole`, the file's own name as `kNameRole`.
    QTreeWidgetItem* MakeItem(const velnor::FileRow& row);

    static constexpr int kIsFolderRole = Qt::UserRole + 1;
    /// The name as the file system holds it (bytes on POSIX systems). A name
    /// that is not UTF-8 cannot pass through the row's text, which shows
    /// U+FFFD for each stray byte: every command takes the name from here.
    static constexpr int kNameRole = Qt::UserRole + 2;

    /// The file name of a row made by MakeItem; its text for any other.
    static std::string ItemName(const QTreeWidgetItem* item);

    /// Opens the file `path` (the file system's form, as the core keeps it)
    /// with the program the system associates with its type; where nothing
    /// takes it, with the web browser named in $BROWSER, if any. Nothing is
    /// reported either way.
    static void OpenFile(const std::string& path);

    /// The song names of the lists: a name when the file loads, its header
    /// parses and its tracks end properly; nothing otherwise.
    static velnor::SongNameReader SongNames();

  private:
    static QString Key(const velnor::FileRow& row);

    QHash<QString, QIcon> m_icons;
    QHash<QString, QString> m_types;
};

/// The order a folder's entries come in before any header click: by name,
/// folders first, ignoring case. (The first platform's file system yields its
/// entries in name order; others yield them in an order of their own, which
/// means nothing to the user.)
void SortByName(std::vector<velnor::FileRow>& rows);

/// Commands of the song lists' context menu (menu 5032).
inline constexpr int ID_LIST_DELETE = 32773;
inline constexpr int ID_LIST_REFRESH = 32775;
/// The browser list's own addition: "Convert into Repository".
inline constexpr int ID_LIST_CONVERT = 32776;

/// Shows menu 5032 ("Delete", "Refresh") at `globalPos`, without "Delete"
/// when the click was off the rows; with `bConvert`, "Convert into
/// Repository" after "Delete". Returns the chosen command, 0 for none.
int TrackListMenu(QWidget* parent, const QPoint& globalPos, bool bOnRow, bool bConvert = false);

/// While it lives: the wait cursor, and no painting of `widget`.
class CWaitAndFreeze {
  public:
    explicit CWaitAndFreeze(QWidget* widget);
    ~CWaitAndFreeze();
    CWaitAndFreeze(const CWaitAndFreeze&) = delete;
    CWaitAndFreeze& operator=(const CWaitAndFreeze&) = delete;

  private:
    QWidget* m_pWidget;
    bool m_bWasEnabled;
};
