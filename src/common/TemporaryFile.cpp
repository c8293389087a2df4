#include "common/TemporaryFile.h"

#include <fcntl.h>

#include <cstdint>
#include <random>

#ifdef _WIN32
#include <io.h>
#include <sys/stat.h>
#else
#include <unistd.h>
#endif

namespace velnor {

namespace fs = std::filesystem;

namespace {

/// Opens a new file for writing; null when an entry of that name exists
/// (a dangling link included) or it cannot be made.
std::FILE* CreateExclusively(const fs::path& path) {
#ifdef _WIN32
    const int fd = ::_wopen(path.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY | _O_NOINHERIT,
                            _S_IREAD | _S_IWRITE);
    if (fd < 0) return nullptr;
    std::FILE* file = ::_fdopen(fd, "wb");
    if (!file) ::_close(fd);
#else
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) return nullptr;
    std::FILE* file = ::fdopen(fd, "wb");
    if (!file) ::close(fd);
#endif
    return file;
}

}  // namespace

CTemporaryFile::CTemporaryFile(const fs::path& folder) {
    static std::random_device s_seed;
    std::mt19937_64 random((std::uint64_t(s_seed()) << 32) ^ s_seed());
    const fs::path base = folder.empty() ? fs::path(".") : folder;
    for (int attempt = 0; attempt < 16 && !m_file; ++attempt) {
        char name[40];
        std::snprintf(name, sizeof name, ".velnor-%016llx.tmp",
                      static_cast<unsigned long long>(random()));
        m_path = base / name;
        m_file = CreateExclusively(m_path);
    }
    if (!m_file) m_path.clear();
}

CTemporaryFile::~CTemporaryFile() {
    Close();
    std::error_code ec;
    if (!m_bPlaced && !m_path.empty()) fs::remove(m_path, ec);
}

bool CTemporaryFile::Write(const void* data, std::size_t size) {
    if (!m_file) return false;
    if (size > 0 && std::fwrite(data, 1, size, m_file) != size) m_bFailed = true;
    return !m_bFailed;
}

bool CTemporaryFile::Close() {
    if (!m_file) return !m_path.empty() && !m_bFailed;
    if (std::fclose(m_file) != 0) m_bFailed = true;
    m_file = nullptr;
    return !m_bFailed;
}

bool CTemporaryFile::RenameTo(const fs::path& target) {
    if (m_path.empty() || m_bPlaced || !Close()) return false;
    std::error_code ec;
    fs::rename(m_path, target, ec);
    if (ec) return false;
    m_bPlaced = true;
    return true;
}

bool WriteFileSafely(const fs::path& target, const void* data, std::size_t size) {
    CTemporaryFile temporary(target.parent_path());
    return temporary.Write(data, size) && temporary.RenameTo(target);
}

}  // namespace velnor
