// velnor-cli: the song tools of Velnor on the command line.
#include <iostream>

#include "CommandLine.h"
#include "Commands.h"
#include "program/ProgramPlatform.h"

int main(int argc, char** argv) {
    using namespace velnor::cli;
    // One line per command group.
    std::vector<Command> commands = SongCommands();
    for (Command& c : DeviceCommands()) commands.push_back(c);

    // The system's ports, then the virtual instrument as the last port.
    SetDevicePlatformFactory([](std::optional<velnor::instrument::Link> link) {
        std::shared_ptr<velnor::ProgramPlatform> program = velnor::MakeProgramPlatform(link);
        return DevicePlatform{std::shared_ptr<velnor::MidiPlatform>(program, &program->Platform()),
                              &program->Instrument()};
    });

    UseUtf8Console();
    Args args = CommandLineArguments(argc, argv);
    const int status = Dispatch(commands, args, std::cout, std::cerr);
    if (IsHelpRequest(args)) PrintDeviceOptions(std::cout);
    if (args.empty()) PrintDeviceOptions(std::cerr);
    return status;
}
