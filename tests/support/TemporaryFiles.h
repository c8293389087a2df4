#pragma once

#include <filesystem>
#include <string>

namespace velnor::testing {

/// True when `folder` still holds a temporary file of the program's writer
/// (named ".velnor-….tmp").
inline bool TemporaryFileLeft(const std::filesystem::path& folder) {
    std::error_code ec;
    for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end;
         it.increment(ec)) {
        if (it->path().filename().string().rfind(".velnor-", 0) == 0) return true;
    }
    return false;
}

}  // namespace velnor::testing
