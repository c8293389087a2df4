// The session every device command of velnor-cli runs in.
#include "DeviceSession.h"

#include <unistd.h>

#include <iostream>

#include "Printable.h"
#include "common/EventPump.h"
#include "instrument/VirtualInstrumentPlatform.h"
#include "midi/TracingMidiPlatform.h"

namespace velnor::cli {

namespace {

constexpr const char* kInstrumentPort = "Velnor Virtual Instrument";

DevicePlatformFactory& Factory() {
    static DevicePlatformFactory factory;
    return factory;
}

DevicePlatform MakePlatform(std::optional<instrument::Link> link) {
    if (Factory()) return Factory()(link);
    auto vi = std::make_shared<instrument::VirtualInstrumentPlatform>(
        instrument::InstrumentOptions::Defaults(),
        link.value_or(instrument::LinkFromEnvironment()));
    return DevicePlatform{vi, vi.get()};
}

bool IsAuto(const std::optional<std::string>& choice) {
    return choice && *choice == "auto";
}

bool IsNumber(const std::string& text) {
    return !text.empty() && text.size() <= 9 &&
           text.find_first_not_of("0123456789") == std::string::npos;
}

/// Where the next value of an option goes, for the options that take one.
bool TakeValue(const Args& args, std::size_t& i, std::string& value) {
    if (i + 1 >= args.size()) return false;
    value = args[++i];
    return true;
}

}  // namespace

void SetDevicePlatformFactory(DevicePlatformFactory factory) {
    Factory() = std::move(factory);
}

bool ParseSlot(const std::string& text, int& slot) {
    if (!IsNumber(text)) return false;
    slot = std::stoi(text);
    return slot <= 255;
}

bool ParseDeviceOptions(const Args& args, DeviceOptions& options, std::string& error) {
    bool optionsEnded = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        std::string value;
        if (optionsEnded || !IsOption(a)) {
            options.words.push_back(a);
        } else if (a == "--") {
            optionsEnded = true;
        } else if (a == "--trace") {
            options.trace = true;
        } else if (a == "--verify") {
            options.verify = true;
        } else if (a == "--convert") {
            options.convert = true;
        } else if (a == "--overwrite") {
            options.overwrite = true;
        } else if (OptionTakesValue(a)) {
            if (!TakeValue(args, i, value)) {
                error = a + " needs a value";
                return false;
            }
            if (a == "--in") options.in = value;
            if (a == "--out") options.out = value;
            if (a == "--faults") options.faults = value;
            if (a == "--link") {
                options.link = instrument::ParseLink(value);
                if (!options.link) {
                    error = "--link takes none, usb or din";
                    return false;
                }
            }
        } else {
            error = "unknown option " + Printable(a);
            return false;
        }
    }
    return true;
}

DeviceSession::DeviceSession(const DeviceOptions& options, std::ostream& err)
    : m_options(options), m_err(err) {}

DeviceSession::~DeviceSession() {
    EndProgress();
    m_trans.reset();  // releases the port layer: both ports close
    for (int i = 0; i < 4 && CMidiDevice::Current(); ++i) CMidiDevice::Release();
    CMidiDevice::SetReceiveHandler(nullptr);
    CMidiDevice::SetProgressWindow(nullptr);
    CMidiDevice::EnableProgress(false);
    CMidiDevice::SetPlatform(nullptr);
    SetPrompter(nullptr);
    m_tracer.reset();
    m_platform = DevicePlatform{};
}

int DeviceSession::Start() {
    m_platform = MakePlatform(m_options.link);
    if (!m_platform.platform) {
        Err("Device cannot be opened!");
        return 1;
    }
    if (!m_options.faults.empty()) {
        std::string error;
        if (!m_platform.instrument) {
            Err("velnor-cli: --faults needs the virtual instrument");
            return kExitUsage;
        }
        if (!m_platform.instrument->SetFaults(m_options.faults, error)) {
            Err("velnor-cli: --faults: " + Printable(error));
            return kExitUsage;
        }
    }
    MidiPlatform* platform = m_platform.platform.get();
    if (m_options.trace) {
        m_tracer = std::make_unique<TracingMidiPlatform>(
            *platform, [this](const std::string& line) { Err(line); });
        platform = m_tracer.get();
    }
    SetPrompter(this);
    CMidiDevice::SetPlatform(platform);
    m_device = CMidiDevice::GetInstance();
    m_trans = std::make_unique<CMidiTrans>();
    m_device->EnumeratePorts();
    CMidiDevice::SetReceiveHandler(&CMidiTrans::OnReceive);
    return 0;
}

int DeviceSession::ChoosePort(const std::optional<std::string>& choice, bool input) const {
    const unsigned count = input ? m_device->m_nInCount : m_device->m_nOutCount;
    const MidiPortEntry* ports = input ? m_device->m_InPorts : m_device->m_OutPorts;
    if (!choice) {
        for (unsigned i = count; i-- > 0;)
            if (ports[i].m_strName == kInstrumentPort) return ports[i].m_nId;
        return -1;
    }
    if (IsNumber(*choice)) {
        const int id = std::stoi(*choice);
        for (unsigned i = 0; i < count; ++i)
            if (ports[i].m_nId == id) return id;
    }
    for (unsigned i = 0; i < count; ++i)
        if (ports[i].m_strName == *choice) return ports[i].m_nId;
    return -1;
}

bool DeviceSession::Restrict(const std::optional<std::string>& choice, bool input,
                             std::vector<SearchPort>& ports) {
    if (!choice || IsAuto(choice)) return true;
    const int id = ChoosePort(choice, input);
    std::erase_if(ports, [id](const SearchPort& port) { return static_cast<int>(port.id) != id; });
    if (!ports.empty()) return true;
    Err(std::string("velnor-cli: no ") + (input ? "input" : "output") + " port '" +
        Printable(*choice) + "' to search (see velnor-cli ports)");
    return false;
}

std::vector<FoundInstrument> DeviceSession::FindInstruments(bool bFirstOnly) {
    // The ports are listed on the platform itself, where the virtual
    // instrument's can be told apart; the search goes through the tracer too.
    SearchPorts ports = PortsToSearch(*m_platform.platform, m_platform.instrument);
    if (!Restrict(m_options.in, true, ports.inputs) ||
        !Restrict(m_options.out, false, ports.outputs))
        return {};
    CInstrumentSearch search(CMidiDevice::Platform());
    return search.Run(ports, bFirstOnly);
}

int DeviceSession::ChooseFoundPair(int& in, int& out) {
    const std::vector<FoundInstrument> found = FindInstruments(true);
    if (found.empty()) {
        Err("velnor-cli: no instrument answered on the ports searched (see velnor-cli find)");
        return 1;
    }
    in = static_cast<int>(found.front().in.id);
    out = static_cast<int>(found.front().out.id);
    return 0;
}

int DeviceSession::OpenAndConnect(std::string& deviceName) {
    int in = 0;
    int out = 0;
    if (IsAuto(m_options.in) || IsAuto(m_options.out)) {
        if (int status = ChooseFoundPair(in, out)) return status;
    } else {
        in = ChoosePort(m_options.in, true);
        out = ChoosePort(m_options.out, false);
    }
    if (in < 0 || out < 0) {
        const bool input = in < 0;
        const auto& choice = input ? m_options.in : m_options.out;
        Err(std::string("velnor-cli: no ") + (input ? "input" : "output") + " port " +
            (choice ? "'" + Printable(*choice) + "'" : "of the virtual instrument") +
            " (see velnor-cli ports)");
        return kExitUsage;
    }
    if (!m_trans->OpenPorts(in, out)) {
        Err("Device cannot be opened!");
        return 1;
    }
    if (!m_trans->Connect(deviceName)) {
        Err("Connect request error!");
        return 1;
    }
    return 0;
}

void DeviceSession::Err(const std::string& line) {
    std::lock_guard lock(m_errLock);
    if (m_progressShown >= 0) {
        m_err << "\n";  // a message never lands on the progress line
        m_progressShown = -1;
    }
    m_err << line << "\n";
    m_err.flush();
}

PromptAnswer DeviceSession::Ask(const std::string& text, PromptButtons buttons, const std::string&,
                                PromptIcon) {
    Err(text);
    return buttons == PromptButtons::Ok ? PromptAnswer::Ok : PromptAnswer::No;
}

void DeviceSession::BeginProgress(const std::string& name, long long packets) {
    // Only a person at a terminal wants to see it; scripts and pipes do not.
    if (&m_err != &std::cerr || !isatty(STDERR_FILENO) || packets <= 0) return;
    m_progressName = Printable(name);
    m_progressTotal = packets;
    m_progressDone = 0;
    CMidiDevice::SetProgressWindow(this);
    CMidiDevice::EnableProgress(true);
}

void DeviceSession::EndProgress() {
    if (m_progressTotal == 0) return;
    CMidiDevice::EnableProgress(false);
    CMidiDevice::SetProgressWindow(nullptr);
    m_progressTotal = 0;
    std::lock_guard lock(m_errLock);
    if (m_progressShown >= 0) m_err << "\n";
    m_progressShown = -1;
}

void DeviceSession::OnTransferProgress() {
    ++m_progressDone;
    const int percent = static_cast<int>(m_progressDone * 100 / m_progressTotal);
    std::lock_guard lock(m_errLock);
    if (percent == m_progressShown) return;
    m_progressShown = percent;
    m_err << "\r" << m_progressName << ": " << percent << "% ";
    m_err.flush();
}

}  // namespace velnor::cli
