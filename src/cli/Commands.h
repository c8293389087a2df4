#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace velnor::cli {

/// Exit status for a command line that does not make sense.
inline constexpr int kExitUsage = 2;

/// The arguments after the command's name.
using Args = std::vector<std::string>;

/// One command of velnor-cli: its name, its arguments and a line about it for
/// the usage text, and the function that runs it. The function returns the
/// exit status; it writes its results to `out` and its complaints to `err`.
struct Command {
    const char* name;
    const char* arguments;
    const char* summary;
    int (*run)(const Args& args, std::ostream& out, std::ostream& err);
};

/// The song file commands: check, info.
std::vector<Command> SongCommands();

/// Prints the usage text for `commands`.
void PrintUsage(const std::vector<Command>& commands, std::ostream& to);

/// Runs the command named by `argv[0]` with the rest of `argv`; prints the
/// usage text and returns `kExitUsage` when there is no such command.
int Dispatch(const std::vector<Command>& commands, const Args& argv, std::ostream& out,
             std::ostream& err);

}  // namespace velnor::cli
