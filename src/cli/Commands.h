#pragma once

#include <functional>
#include <iosfwd>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "instrument/LinkModel.h"
#include "midi/MidiPlatform.h"

namespace velnor::instrument {
class VirtualInstrumentPlatform;
}

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

/// The device commands: ports, find, slots, download, upload, delete, backup.
std::vector<Command> DeviceCommands();

/// What the device commands talk through: a platform, and the virtual
/// instrument among its ports when there is one (for --faults).
struct DevicePlatform {
    std::shared_ptr<MidiPlatform> platform;
    instrument::VirtualInstrumentPlatform* instrument = nullptr;
};

/// Builds the platform for one command; the link is the --link choice.
using DevicePlatformFactory = std::function<DevicePlatform(std::optional<instrument::Link> link)>;

/// Installs the factory the device commands use. Without one (or with null)
/// they talk to a virtual instrument of their own and see no other port.
void SetDevicePlatformFactory(DevicePlatformFactory factory);

/// Prints the options the device commands share.
void PrintDeviceOptions(std::ostream& to);

/// Whether `word` is an option ("-x", "--name"; "-" alone is a word).
bool IsOption(const std::string& word);

/// Whether the option `word` takes the next argument as its value.
bool OptionTakesValue(const std::string& word);

/// Whether the command line asks for the usage text (--help, -h or the
/// command help).
bool IsHelpRequest(const Args& argv);

/// Prints the usage text for `commands`.
void PrintUsage(const std::vector<Command>& commands, std::ostream& to);

/// Runs the command named in `argv` with the other arguments. The command is
/// the first word that is neither an option nor an option's value, so options
/// may stand before or after it; `--` ends the options. --help (or -h, or the
/// command help) prints the usage text on `out`, --version the program's
/// version; both return 0. Prints the usage text on `err` and returns
/// `kExitUsage` when there is no such command.
int Dispatch(const std::vector<Command>& commands, const Args& argv, std::ostream& out,
             std::ostream& err);

}  // namespace velnor::cli
