#pragma once

#include <string>
#include <vector>

namespace velnor::cli {

/// The program's arguments after its name, in UTF-8 on every system (on
/// Windows they are read as the wide command line, so that a file named
/// "Café.mid" or "Ωδή.mid" arrives whole whatever the code page).
std::vector<std::string> CommandLineArguments(int argc, char** argv);

/// Makes the console show UTF-8 output as such (Windows; nothing elsewhere).
void UseUtf8Console();

}  // namespace velnor::cli
