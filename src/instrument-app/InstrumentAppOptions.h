#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "instrument/InstrumentDevice.h"
#include "instrument/InstrumentFaults.h"
#include "instrument/LinkModel.h"

namespace velnor::instrument {

/// What velnor-instrument was asked for on its command line.
struct InstrumentAppOptions {
    std::string system = "alsa";  ///< "alsa" or "jack"
    Link link = Link::Usb;
    std::string faultSpec;  ///< as given; already known to parse
    InstrumentFaults faults;
    InstrumentOptions instrument = InstrumentOptions::Defaults();
    bool help = false;
};

/// Reads the arguments after the program's name. Options: --api alsa|jack,
/// --link none|usb|din, --fault TEXT, --slots N (1-256), --capacity BYTES,
/// --empty (no demo songs), --name NAME, --help. `link` starts from the
/// environment (VELNOR_INSTRUMENT_LINK). False with a message in `error` for
/// anything it cannot use.
bool ParseInstrumentAppArgs(const std::vector<std::string>& args, InstrumentAppOptions& options,
                            std::string& error);

/// The usage text, one option a line.
std::string InstrumentAppUsage();

}  // namespace velnor::instrument
