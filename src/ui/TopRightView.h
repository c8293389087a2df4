#pragma once

#include <QString>
#include <QStringList>
#include <string>
#include <vector>

#include "ui/FillPane.h"

class CCJListCtrl;
class RepListCtrl;

/// Top row, right column: the repository list.
class CTopRightView : public CFillPane {
    Q_OBJECT

  public:
    /// Shows the repository folder (GetRepositoryPath()), or `repositoryPath`
    /// when one is given.
    explicit CTopRightView(QWidget* parent = nullptr, const QString& repositoryPath = {});

    /// The list filling the pane (child id 103).
    CCJListCtrl* RepositoryList() const;
    RepListCtrl* GetListCtrl() const;

    /// The repository folder, ending in "/".
    const QString& RepositoryPath() const { return m_strRepositoryPath; }

    /// Reloads the list from the repository folder.
    void RefreshList();
    /// Fills `names` with the names of the selected rows, top row first.
    void GetSelectedFiles(std::vector<std::string>& names);
    /// WM_FILES_DROPPED: copies the dropped songs in and reloads the list.
    void OnFilesDropped(const QStringList& paths);
    /// "Convert into Repository": converts the songs `names` of `sourceFolder`
    /// into the repository under their own names, then reloads the list.
    void ConvertIntoRepository(const QString& sourceFolder, const std::vector<std::string>& names);

  private:
    QString m_strRepositoryPath;
    std::vector<std::string> m_arrSelectedNames;
};
