#pragma once

#include <QIcon>
#include <QString>
#include <functional>

/// The folder of the running program, ending in "/"; computed once.
QString GetProgramFolder();

/// Opens program folder + `name` with its associated program. False (and
/// nothing shown) when the file is missing or nothing could open it.
bool OpenProgramFile(const QString& name);

/// Creates every missing level of the folder `path`; failures are ignored.
void CreateFolderPath(const QString& path);

/// Whether files can be created in `folder` (tried with a temporary file, so
/// it also holds for root and for read-only file systems).
bool IsFolderWritable(const QString& folder);

/// Where start-up puts its probe file and the repository.
struct StartupPaths {
    QString probeFolder;     // ends in "/"
    QString repositoryPath;  // ends in "/"
    bool probeInProgramFolder = false;
};

/// The program folder when it can be written (or already holds a writable
/// "Repository"); otherwise the temporary folder for the probe and the
/// user's data folder for the repository.
StartupPaths ChooseStartupPaths(const QString& programFolder,
                                const std::function<bool(const QString&)>& isWritable,
                                const QString& tempFolder, const QString& dataFolder);

/// Fixes `paths` for this process: probes the song icon in the probe folder,
/// keeps the repository path and creates the repository folder.
void ApplyStartupPaths(const StartupPaths& paths);

/// Chooses the start-up paths for this process, probes the song icon and
/// creates the repository folder. Called once by the main frame.
void InitStartupPaths();

/// The repository folder, ending in "/" (the program folder's "Repository/",
/// or the user's data folder's when the program folder cannot be written).
QString GetRepositoryPath();

/// The icon of song (".mid") files, fixed at start-up; null before.
QIcon GetSongIcon();

/// The icon of song files, asked for a probe file in `folder`. In the
/// program's own folder the probe is "tmp.mid" (created or truncated, then
/// deleted). Anywhere else it is a new file of a unique name, so no file that
/// was there before is touched.
QIcon ProbeSongIcon(const QString& folder, bool programFolder);
