#pragma once

#include <cstddef>
#include <cstdio>
#include <filesystem>

namespace velnor {

/// The one writer of temporary files in the program. Every file Velnor writes
/// in place of another (a song copy, a song fetched from the instrument, the
/// read-back of a verify) is written to a new file in the target's folder and
/// renamed over the target only once every byte is there, so a failure never
/// leaves half a song or spoils the file already in place.
///
/// The file is created exclusively with a random name: never an existing
/// file, and never through a link planted at its name, so nobody can make the
/// program write into a file of theirs. The name begins with ".velnor-" and
/// ends with ".tmp".
class CTemporaryFile {
  public:
    /// Creates the file in `folder`; IsOpen() tells whether that worked.
    explicit CTemporaryFile(const std::filesystem::path& folder);
    /// Closes the file and removes it, unless it was renamed into place.
    ~CTemporaryFile();
    CTemporaryFile(const CTemporaryFile&) = delete;
    CTemporaryFile& operator=(const CTemporaryFile&) = delete;

    bool IsOpen() const { return m_file != nullptr; }
    /// The open file, for writing; null once closed or when none was made.
    std::FILE* File() const { return m_file; }
    const std::filesystem::path& Path() const { return m_path; }

    /// Writes `size` bytes; false when they could not all be written.
    bool Write(const void* data, std::size_t size);
    /// Closes the file; false when it was never open or a write or the
    /// close failed. The file stays until the object goes.
    bool Close();
    /// Closes the file and renames it to `target`, replacing whatever entry
    /// has that name (a link is replaced itself; what it points to is never
    /// touched). False when anything failed: the target is then as it was.
    bool RenameTo(const std::filesystem::path& target);

  private:
    std::filesystem::path m_path;
    std::FILE* m_file = nullptr;
    bool m_bFailed = false;
    bool m_bPlaced = false;
};

/// Writes `size` bytes to `target` through a CTemporaryFile in the target's
/// folder. On failure the target is as it was and no temporary file remains.
bool WriteFileSafely(const std::filesystem::path& target, const void* data, std::size_t size);

}  // namespace velnor
