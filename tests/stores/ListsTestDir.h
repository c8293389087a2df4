#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>

namespace velnor::testing {

/// A fresh folder under the system's temporary folder, removed afterwards.
class ListsTestDir {
  public:
    ListsTestDir() {
        std::random_device seed;
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        m_root = std::filesystem::temp_directory_path() /
                 ("velnor-lists-" + std::string(info ? info->name() : "x") + "-" +
                  std::to_string(seed()));
        std::filesystem::create_directories(m_root);
    }
    ~ListsTestDir() {
        std::error_code ec;
        std::filesystem::remove_all(m_root, ec);
    }
    ListsTestDir(const ListsTestDir&) = delete;
    ListsTestDir& operator=(const ListsTestDir&) = delete;

    std::string Path(const std::string& relative = {}) const {
        return relative.empty() ? m_root.string() : (m_root / relative).string();
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
    std::filesystem::path m_root;
};

}  // namespace velnor::testing
