#include "midi/rtmidi/JackGraph.h"

#include <jack/jack.h>

#include <algorithm>
#include <thread>

namespace velnor {

namespace {

/// How often the graph is looked at while waiting: well under one process
/// cycle of a usual server (256 frames at 48 kHz are 5.3 ms).
constexpr std::chrono::milliseconds kPollInterval{1};

/// How many process cycles the graph runs with a new connection before it
/// counts as made. jackd carries data in the first; PipeWire's JACK library
/// shows the link as soon as the server has made it, while the two ends take
/// it up on their own threads a little later: data written in between is
/// lost (3 first messages of 150 in a row of `velnor-cli slots`, none of 200
/// after two cycles).
constexpr unsigned kSettleCycles = 2;

bool EndsWithShortName(const std::string& name, const std::string& shortName) {
    const std::size_t colon = name.find(':');
    return colon != std::string::npos && name.compare(colon + 1, std::string::npos, shortName) == 0;
}

}  // namespace

JackGraph::JackGraph() {
    jack_status_t status;
    m_client = jack_client_open("Velnor", JackNoStartServer, &status);
}

JackGraph::~JackGraph() {
    if (m_client != nullptr) jack_client_close(m_client);
}

std::vector<std::string> JackGraph::Connections(const std::string& port) const {
    std::vector<std::string> names;
    if (m_client == nullptr) return names;
    jack_port_t* handle = jack_port_by_name(m_client, port.c_str());
    if (handle == nullptr) return names;
    // Read from the graph the process cycles run, not from the one the
    // server is building.
    const char** connections = jack_port_get_all_connections(m_client, handle);
    if (connections == nullptr) return names;
    for (const char** name = connections; *name != nullptr; ++name) names.emplace_back(*name);
    jack_free(connections);
    return names;
}

void JackGraph::WaitForCycles(unsigned cycles,
                              std::chrono::steady_clock::time_point deadline) const {
    const jack_nframes_t start = jack_frame_time(m_client);
    const jack_nframes_t frames = cycles * jack_get_buffer_size(m_client);
    // Unsigned differences: the frame counter wraps.
    while (jack_frame_time(m_client) - start < frames &&
           std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(kPollInterval);
    }
}

bool JackGraph::WaitForNewConnection(const std::string& port, const std::string& shortName,
                                     const std::vector<std::string>& before,
                                     std::chrono::milliseconds timeout) const {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        for (const std::string& name : Connections(port)) {
            if (EndsWithShortName(name, shortName) &&
                std::find(before.begin(), before.end(), name) == before.end()) {
                WaitForCycles(kSettleCycles, deadline);
                return true;
            }
        }
        if (std::chrono::steady_clock::now() >= deadline) return false;
        // JACK tells a client of a new connection as soon as the server has
        // recorded it, before the cycles run with it, so there is no event to
        // wait for: the graph is looked at again a little later.
        std::this_thread::sleep_for(kPollInterval);
    }
}

}  // namespace velnor
