// velnor-cli: the song tools of Velnor on the command line.
#include <iostream>

#include "Commands.h"

int main(int argc, char** argv) {
    using namespace velnor::cli;
    // One line per command group.
    std::vector<Command> commands = SongCommands();

    Args args(argv + 1, argv + argc);
    return Dispatch(commands, args, std::cout, std::cerr);
}
