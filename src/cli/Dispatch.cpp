#include <iomanip>
#include <ostream>

#include "Commands.h"

namespace velnor::cli {

void PrintUsage(const std::vector<Command>& commands, std::ostream& to) {
    to << "usage: velnor-cli COMMAND [ARGUMENTS]\n\ncommands:\n";
    for (const Command& c : commands) {
        std::string line = std::string(c.name) + " " + c.arguments;
        to << "  " << std::left << std::setw(28) << line << " " << c.summary << "\n";
    }
}

void PrintDeviceOptions(std::ostream& to) {
    to << "\ndevice options:\n"
          "  --in ID|NAME, --out ID|NAME  the ports (as 'ports' lists them); default: the\n"
          "                               virtual instrument\n"
          "  --link none|usb|din          the virtual instrument's link (default:\n"
          "                               VELNOR_INSTRUMENT_LINK, else usb)\n"
          "  --faults TEXT                faults for the virtual instrument to inject,\n"
          "                               e.g. drop-ack:3,bad-checksum:13; short-read:N\n"
          "                               announces N bytes more than an upload's\n"
          "                               blocks carry (all kinds: velnor-instrument\n"
          "                               --help)\n"
          "  --trace                      every packet sent and received, on stderr\n"
          "exit status: 0 done, 1 the operation failed, 2 bad usage\n";
}

int Dispatch(const std::vector<Command>& commands, const Args& argv, std::ostream& out,
             std::ostream& err) {
    if (!argv.empty() && (argv[0] == "help" || argv[0] == "--help" || argv[0] == "-h")) {
        PrintUsage(commands, out);
        return 0;
    }
    if (!argv.empty()) {
        for (const Command& c : commands) {
            if (argv[0] == c.name) return c.run(Args(argv.begin() + 1, argv.end()), out, err);
        }
        err << "velnor-cli: unknown command '" << argv[0] << "'\n";
    }
    PrintUsage(commands, err);
    return kExitUsage;
}

}  // namespace velnor::cli
