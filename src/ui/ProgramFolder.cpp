#include "ui/ProgramFolder.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryFile>
#include <QUrl>

namespace {

QString WithSlash(QString path) {
    if (!path.endsWith('/')) path += '/';
    return path;
}

QString& RepositoryPathStore() {
    static QString s_strRepositoryPath;
    return s_strRepositoryPath;
}

QIcon& SongIconStore() {
    static QIcon s_songIcon;
    return s_songIcon;
}

}  // namespace

QString GetProgramFolder() {
    static const QString s_strFolder = WithSlash(QCoreApplication::applicationDirPath());
    return s_strFolder;
}

bool OpenProgramFile(const QString& name) {
    const QString path = GetProgramFolder() + name;
    if (!QFileInfo::exists(path)) return false;
    return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

void CreateFolderPath(const QString& path) {
    QDir().mkpath(path);
}

bool IsFolderWritable(const QString& folder) {
    if (!QFileInfo(folder).isDir()) return false;
    QTemporaryFile probe(WithSlash(folder) + QStringLiteral("velnor-XXXXXX"));
    return probe.open();
}

StartupPaths ChooseStartupPaths(const QString& programFolder,
                                const std::function<bool(const QString&)>& isWritable,
                                const QString& tempFolder, const QString& dataFolder) {
    const QString programRepository = WithSlash(programFolder) + QStringLiteral("Repository/");
    const bool bProgramWritable = isWritable(programFolder);
    StartupPaths paths;
    paths.probeFolder = bProgramWritable ? WithSlash(programFolder) : WithSlash(tempFolder);
    paths.probeInProgramFolder = bProgramWritable;
    if (bProgramWritable ||
        (QFileInfo(programRepository).isDir() && isWritable(programRepository))) {
        paths.repositoryPath = programRepository;
    } else {
        paths.repositoryPath = WithSlash(dataFolder) + QStringLiteral("Repository/");
    }
    return paths;
}

QIcon ProbeSongIcon(const QString& folder, bool programFolder) {
    if (!programFolder) {
        // A shared folder may hold a tmp.mid of the user's: the probe gets a
        // name of its own, made exclusively, and removes only that file.
        QTemporaryFile probe(WithSlash(folder) + QStringLiteral("velnor-XXXXXX.mid"));
        const QString path = probe.open() ? probe.fileName() : WithSlash(folder) + "velnor.mid";
        return QFileIconProvider().icon(QFileInfo(path));
    }
    const QString path = WithSlash(folder) + QStringLiteral("tmp.mid");
    QFile probe(path);
    if (probe.open(QIODevice::WriteOnly | QIODevice::Truncate)) probe.close();
    const QIcon icon = QFileIconProvider().icon(QFileInfo(path));
    QFile::remove(path);
    return icon;
}

void ApplyStartupPaths(const StartupPaths& paths) {
    SongIconStore() = ProbeSongIcon(paths.probeFolder, paths.probeInProgramFolder);
    RepositoryPathStore() = paths.repositoryPath;
    CreateFolderPath(paths.repositoryPath);
}

void InitStartupPaths() {
    ApplyStartupPaths(
        ChooseStartupPaths(GetProgramFolder(), IsFolderWritable, QDir::tempPath(),
                           QStandardPaths::writableLocation(QStandardPaths::AppDataLocation)));
}

QString GetRepositoryPath() {
    if (RepositoryPathStore().isEmpty()) InitStartupPaths();
    return RepositoryPathStore();
}

QIcon GetSongIcon() {
    return SongIconStore();
}
