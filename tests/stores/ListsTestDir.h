#pragma once

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "SmfBuilder.h"
#include "common/Utf8Path.h"

namespace velnor::testing {

/// The names of the entries of `folder`, sorted.
inline std::vector<std::string> SortedNames(const std::filesystem::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(Utf8FromPath(entry.path().filename()));
    std::sort(names.begin(), names.end());
    return names;
}

/// A fresh folder under the system's temporary folder, removed afterwards,
/// with paths given as strings relative to it.
class ListsTestDir {
  public:
    std::string Path(const std::string& relative = {}) const {
        return relative.empty() ? m_root.str() : (m_root / relative).string();
    }

    /// Writes `size` bytes into `relative` (folders created as needed).
    std::string File(const std::string& relative, std::size_t size = 0) const {
        const std::filesystem::path path = m_root / relative;
        std::filesystem::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary) << std::string(size, 'x');
        return path.string();
    }

    std::string Folder(const std::string& relative) const {
        std::filesystem::create_directories(m_root / relative);
        return Path(relative);
    }

  private:
    test::TempFolder m_root;
};

}  // namespace velnor::testing
