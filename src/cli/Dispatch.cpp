#include <iomanip>
#include <optional>
#include <ostream>

#include "Commands.h"
#include "Printable.h"

namespace velnor::cli {

namespace {

bool IsHelp(const std::string& word) {
    return word == "--help" || word == "-h";
}

/// Where the command's name stands: the first word that is neither an option
/// nor an option's value (after `--`, the word that follows it).
std::optional<std::size_t> CommandIndex(const Args& argv) {
    for (std::size_t i = 0; i < argv.size(); ++i) {
        const std::string& a = argv[i];
        if (a == "--") return i + 1 < argv.size() ? std::optional(i + 1) : std::nullopt;
        if (OptionTakesValue(a)) {
            ++i;
        } else if (!IsOption(a)) {
            return i;
        }
    }
    return std::nullopt;
}

/// Whether `option` stands among the options (before `--`, not as a value).
bool HasOption(const Args& argv, bool (*matches)(const std::string&)) {
    for (std::size_t i = 0; i < argv.size() && argv[i] != "--"; ++i) {
        if (matches(argv[i])) return true;
        if (OptionTakesValue(argv[i])) ++i;
    }
    return false;
}

}  // namespace

bool OptionTakesValue(const std::string& word) {
    return word == "--in" || word == "--out" || word == "--link" || word == "--faults";
}

bool IsOption(const std::string& word) {
    return word.size() > 1 && word[0] == '-';
}

void PrintUsage(const std::vector<Command>& commands, std::ostream& to) {
    to << "usage: velnor-cli [OPTIONS] COMMAND [ARGUMENTS] [OPTIONS]\n"
          "       velnor-cli --help | --version\n\ncommands:\n";
    for (const Command& c : commands) {
        std::string line = std::string(c.name) + " " + c.arguments;
        to << "  " << std::left << std::setw(28) << line << " " << c.summary << "\n";
    }
    to << "\nOptions may stand before or after the command; -- ends them, so a file\n"
          "named like an option can follow it.\n"
          "Names from song files, the file system and the instrument are printed with\n"
          "every byte of a control character (below 20h, 7Fh, C1 controls) and of\n"
          "invalid UTF-8 shown as \\xNN, e.g. ESC as \\x1B and a tab as \\x09.\n";
}

void PrintDeviceOptions(std::ostream& to) {
    to << "\ndevice options:\n"
          "  --in ID|NAME, --out ID|NAME  the ports (as 'ports' lists them); default: the\n"
          "                               virtual instrument\n"
          "  --in auto, --out auto        the first pair on which an instrument answers\n"
          "                               (as 'find' finds it; the virtual instrument is\n"
          "                               never searched); exit 1 when none answers\n"
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

bool IsHelpRequest(const Args& argv) {
    const std::optional<std::size_t> at = CommandIndex(argv);
    return HasOption(argv, IsHelp) || (at && argv[*at] == "help");
}

int Dispatch(const std::vector<Command>& commands, const Args& argv, std::ostream& out,
             std::ostream& err) {
    const std::optional<std::size_t> at = CommandIndex(argv);
    if (IsHelpRequest(argv)) {
        PrintUsage(commands, out);
        return 0;
    }
    if (HasOption(argv, [](const std::string& a) { return a == "--version"; })) {
        out << "velnor-cli " << VELNOR_VERSION << "\n";
        return 0;
    }
    if (at) {
        Args rest(argv.begin(), argv.begin() + static_cast<std::ptrdiff_t>(*at));
        rest.insert(rest.end(), argv.begin() + static_cast<std::ptrdiff_t>(*at) + 1, argv.end());
        for (const Command& c : commands) {
            if (argv[*at] == c.name) return c.run(rest, out, err);
        }
        err << "velnor-cli: unknown command '" << Printable(argv[*at]) << "'\n";
    }
    PrintUsage(commands, err);
    return kExitUsage;
}

}  // namespace velnor::cli
