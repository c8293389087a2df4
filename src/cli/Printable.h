#pragma once

#include <string>
#include <string_view>

namespace velnor::cli {

/// `text` made safe to print on a terminal or in a line of tab-separated
/// output: every byte of a control character (below 20h, 7Fh, and the C1
/// controls U+0080 to U+009F of valid UTF-8) and every byte that is not part
/// of valid UTF-8 is shown as \xNN, two upper-case hex digits. Everything else,
/// a backslash included, stays as it is. Names that come from song files,
/// from the file system or from the instrument go through it before they are
/// printed, so no name can move the cursor, set a title or colour, or break
/// a line.
std::string Printable(std::string_view text);

}  // namespace velnor::cli
