#pragma once

#include <memory>
#include <mutex>
#include <optional>
#include <ostream>
#include <string>

#include "Commands.h"
#include "common/Prompter.h"
#include "midi/CMidiDevice.h"
#include "midi/CMidiTrans.h"
#include "midi/InstrumentSearch.h"

namespace velnor {
class TracingMidiPlatform;
}

namespace velnor::cli {

/// The options every device command takes, and the words left over.
struct DeviceOptions {
    std::optional<std::string> in;   ///< --in ID|NAME
    std::optional<std::string> out;  ///< --out ID|NAME
    std::optional<instrument::Link> link;
    std::string faults;  ///< --faults TEXT for the virtual instrument
    bool trace = false;
    bool verify = false;     ///< download --verify
    bool convert = false;    ///< download --convert
    bool overwrite = false;  ///< backup --overwrite
    Args words;
};

/// Reads the options out of `args`; false with a message in `error` when one
/// is unknown or lacks its value.
bool ParseDeviceOptions(const Args& args, DeviceOptions& options, std::string& error);

/// Reads a slot number 0 to 255.
bool ParseSlot(const std::string& text, int& slot);

/// One device command's link to the instrument: the platform, the port layer,
/// the receive handler, a prompter that prints, and (with --trace) a tracer.
/// Everything is put back when the session ends, so commands can run one
/// after another in one process.
///
/// The complaints of a session go to `err` through Err(), which the tracer's
/// lines share, so lines from the two threads never mix.
class DeviceSession : private Prompter, private ProgressSink {
  public:
    DeviceSession(const DeviceOptions& options, std::ostream& err);
    ~DeviceSession() override;
    DeviceSession(const DeviceSession&) = delete;
    DeviceSession& operator=(const DeviceSession&) = delete;

    /// Builds the platform and lists the ports; an exit status other than 0
    /// when that fails (bad --faults: usage).
    int Start();
    CMidiDevice& Device() { return *m_device; }
    CMidiTrans& Trans() { return *m_trans; }

    /// Chooses the ports, opens them and connects; 0 or the exit status,
    /// having printed the reason.
    int OpenAndConnect(std::string& deviceName);

    /// The pairs on which an instrument answered the connect request (the
    /// virtual instrument left out), restricted to the port --in or --out
    /// names when it is not "auto"; only the first pair when `bFirstOnly`.
    /// Empty, having printed the reason, when a named port does not exist.
    std::vector<FoundInstrument> FindInstruments(bool bFirstOnly);

    /// Writes one line to the error stream.
    void Err(const std::string& line);

    /// Shows a progress line while the next download runs (when stderr is a
    /// terminal): `packets` is the number of packets the song data takes.
    void BeginProgress(const std::string& name, long long packets);
    void EndProgress();

  private:
    PromptAnswer Ask(const std::string& text, PromptButtons buttons, const std::string& caption,
                     PromptIcon icon) override;
    void OnTransferProgress() override;
    /// The port named by `choice` (identifier or exact name), or the virtual
    /// instrument's when there is no choice; -1 when there is none such.
    int ChoosePort(const std::optional<std::string>& choice, bool input) const;
    /// Keeps only the port `choice` names in `ports` unless it says "auto";
    /// false, having printed why, when it names none.
    bool Restrict(const std::optional<std::string>& choice, bool input,
                  std::vector<SearchPort>& ports);
    /// The first pair that answers; 0 or the exit status, having printed why.
    int ChooseFoundPair(int& in, int& out);

    const DeviceOptions& m_options;
    std::ostream& m_err;
    std::mutex m_errLock;
    DevicePlatform m_platform;
    std::unique_ptr<TracingMidiPlatform> m_tracer;
    CMidiDevice* m_device = nullptr;
    std::unique_ptr<CMidiTrans> m_trans;
    std::string m_progressName;
    long long m_progressTotal = 0;
    long long m_progressDone = 0;
    int m_progressShown = -1;
};

}  // namespace velnor::cli
