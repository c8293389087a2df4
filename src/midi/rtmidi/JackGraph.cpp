#include "midi/rtmidi/JackGraph.h"

#include <jack/jack.h>

#include <algorithm>

#include "common/EventPump.h"

namespace velnor {

namespace {

using Clock = std::chrono::steady_clock;

/// How many process cycles the graph runs with a new connection before it
/// counts as made. jackd carries data in the first; PipeWire's JACK library
/// shows the link as soon as the server has made it, while the two ends take
/// it up on their own threads a little later: data written in between is
/// lost (3 first messages of 150 in a row of `velnor-cli slots`, none of 200
/// after two cycles).
constexpr unsigned kSettleCycles = 2;

/// The longest sleep between two looks at the graph, for a server that does
/// not send its connection notice (the notice only wakes the wait sooner).
constexpr std::chrono::milliseconds kLookAgain{5};

bool EndsWithShortName(const std::string& name, const std::string& shortName) {
    const std::size_t colon = name.find(':');
    return colon != std::string::npos && name.compare(colon + 1, std::string::npos, shortName) == 0;
}

/// Sleeps in the event pump (serving the window) until woken or `until`.
void PumpUntil(Clock::time_point until) {
    EventPump& pump = GetEventPump();
    pump.WaitUntil(until);
    pump.PumpPendingMessages();
}

}  // namespace

JackGraph::JackGraph() : m_client(JackClient::Open("Velnor")) {
    if (!m_client) return;
    jack_client_t* client = m_client->Get();
    // JACK's notice thread: only a wake-up for a waiting opening.
    jack_set_port_connect_callback(
        client, [](jack_port_id_t, jack_port_id_t, int, void*) { GetEventPump().Wake(); }, nullptr);
    jack_activate(client);  // notices go to active clients
}

JackGraph::~JackGraph() = default;

std::vector<std::string> JackGraph::Connections(const std::string& port) const {
    std::vector<std::string> names;
    if (!m_client) return names;
    m_client->With([&](jack_client_t* client) {
        jack_port_t* handle = jack_port_by_name(client, port.c_str());
        if (handle == nullptr) return;
        // Read from the graph the process cycles run, not from the one the
        // server is building.
        const char** connections = jack_port_get_all_connections(client, handle);
        if (connections == nullptr) return;
        for (const char** name = connections; *name != nullptr; ++name) names.emplace_back(*name);
        jack_free(connections);
    });
    return names;
}

void JackGraph::WaitForCycles(unsigned cycles, Clock::time_point deadline) const {
    jack_nframes_t start = 0;
    jack_nframes_t frames = 0;
    std::chrono::microseconds cycle{0};
    if (!m_client->With([&](jack_client_t* client) {
            start = jack_frame_time(client);
            frames = cycles * jack_get_buffer_size(client);
            cycle = std::chrono::microseconds(
                1000000ull * jack_get_buffer_size(client) /
                std::max<jack_nframes_t>(1, jack_get_sample_rate(client)));
        })) {
        return;
    }
    for (;;) {
        jack_nframes_t now = start;
        // Unsigned differences: the frame counter wraps.
        if (!m_client->With([&](jack_client_t* client) { now = jack_frame_time(client); }) ||
            now - start >= frames || Clock::now() >= deadline) {
            return;
        }
        PumpUntil(std::min(deadline, Clock::now() + cycle));
    }
}

bool JackGraph::WaitForNewConnection(const std::string& port, const std::string& shortName,
                                     const std::vector<std::string>& before,
                                     std::chrono::milliseconds timeout) const {
    const auto deadline = Clock::now() + timeout;
    for (;;) {
        for (const std::string& name : Connections(port)) {
            if (EndsWithShortName(name, shortName) &&
                std::find(before.begin(), before.end(), name) == before.end()) {
                WaitForCycles(kSettleCycles, deadline);
                return true;
            }
        }
        if (Clock::now() >= deadline || !Valid()) return false;
        PumpUntil(std::min(deadline, Clock::now() + kLookAgain));
    }
}

}  // namespace velnor
