#pragma once

#include <chrono>
#include <string>
#include <vector>

struct _jack_client;

namespace velnor {

/// The running graph of the JACK server, seen through a client of its own
/// (no ports, never activated). JACK makes a connection in two steps:
/// jack_connect returns once the server has recorded it, and the graph the
/// process cycles run takes it up at the start of a later cycle, later still
/// while cycles overrun on a busy machine. MIDI data written before then
/// goes nowhere, so an opening waits for the second step.
class JackGraph {
  public:
    /// Opens the client; never starts a server. Valid() tells if it could.
    JackGraph();
    ~JackGraph();
    JackGraph(const JackGraph&) = delete;
    JackGraph& operator=(const JackGraph&) = delete;

    bool Valid() const { return m_client != nullptr; }

    /// The full names of the ports the running graph joins to `port` (none
    /// when there is no such port).
    std::vector<std::string> Connections(const std::string& port) const;

    /// Waits until the running graph joins `port` to a port whose short name
    /// is `shortName` and whose full name is not in `before` (the connections
    /// taken before the new port was made) and has run a few cycles with it;
    /// false after `timeout`.
    bool WaitForNewConnection(const std::string& port, const std::string& shortName,
                              const std::vector<std::string>& before,
                              std::chrono::milliseconds timeout) const;

  private:
    /// Waits until the graph has run `cycles` process cycles, or until
    /// `deadline` (a stopped graph runs none).
    void WaitForCycles(unsigned cycles, std::chrono::steady_clock::time_point deadline) const;

    _jack_client* m_client = nullptr;
};

}  // namespace velnor
