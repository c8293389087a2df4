// velnor-instrument: the virtual instrument on a pair of real MIDI ports, for
// other programs (and velnor-cli) to talk to. Runs until SIGINT or SIGTERM.
//
// Threads: the MIDI system's thread hands each incoming packet to the
// instrument; the instrument's thread sends its replies; the main thread does
// nothing but wait for the signal that ends the program.

#include <csignal>
#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include <pthread.h>

#include "InstrumentAppOptions.h"
#include "InstrumentBridge.h"
#include "instrument/VirtualInstrumentPlatform.h"
#include "midi/rtmidi/RtMidiPlatform.h"

namespace {

using namespace velnor;
using namespace velnor::instrument;

/// Blocks SIGINT and SIGTERM in this thread and every thread made after it,
/// so that only sigwait() below sees them.
sigset_t BlockStopSignals() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
    return set;
}

int Run(const InstrumentAppOptions& options, const sigset_t& stopSignals) {
    RtMidiSystem system;
    ParseRtMidiSystem(options.system, system);

    VirtualInstrumentPlatform instrument(options.instrument, options.link);
    instrument.SetFaults(options.faults);

    RtMidiVirtualPorts ports;
    InstrumentBridge bridge(instrument, [&ports](const std::uint8_t* data, std::size_t size) {
        return ports.Send(data, size);
    });
    std::string error;
    if (!bridge.Start(error)) {
        std::cerr << "velnor-instrument: " << error << "\n";
        return 1;
    }
    const std::string& name = options.instrument.deviceName;
    if (!ports.Open(
            system, name,
            [&bridge](const std::uint8_t* data, std::size_t size) { bridge.Receive(data, size); },
            error)) {
        std::cerr << "velnor-instrument: cannot open the ports on " << options.system << ": "
                  << error << "\n";
        return 1;
    }

    std::cout << name << " ready on " << options.system << " (link " << LinkName(options.link)
              << ", " << options.instrument.slotCount << " slots"
              << (options.faultSpec.empty() ? "" : ", faults " + options.faultSpec) << ")"
              << std::endl;

    int signal = 0;
    sigwait(&stopSignals, &signal);

    ports.Close();  // no more packets come in
    bridge.Stop();  // no more replies go out
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const sigset_t stopSignals = BlockStopSignals();

    InstrumentAppOptions options;
    std::string error;
    if (!ParseInstrumentAppArgs(std::vector<std::string>(argv + 1, argv + argc), options, error)) {
        std::cerr << "velnor-instrument: " << error << "\n" << InstrumentAppUsage();
        return 2;
    }
    if (options.help) {
        std::cout << InstrumentAppUsage();
        return 0;
    }
    return Run(options, stopSignals);
}
