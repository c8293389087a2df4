#include "widgets/StringTable.h"

#include <QHash>

QString LoadResString(int id) {
    // Only the titles the lists use are filled; the other numbers of the
    // block are unused.
    static const QHash<int, QString> s_table = {
        {5001, QStringLiteral("Name")},      {5003, QStringLiteral("Size")},
        {5005, QStringLiteral("Type")},      {5006, QStringLiteral("Modified")},
        {5035, QStringLiteral("Song Name")}, {5036, QStringLiteral("Repository")},
        {5037, QStringLiteral("Device")},
    };
    return s_table.value(id);
}
