#pragma once

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "midi/rtmidi/JackClient.h"

namespace velnor {

/// The running graph of the JACK server, seen through a client of its own
/// (no ports). JACK makes a connection in two steps: jack_connect returns
/// once the server has recorded it, and the graph the process cycles run
/// takes it up at the start of a later cycle, later still while cycles
/// overrun on a busy machine. MIDI data written before then goes nowhere, so
/// an opening waits for the second step.
///
/// Waiting goes through the process-wide EventPump, so a window keeps being
/// served while an opening waits; the graph's connection notice wakes it.
class JackGraph {
  public:
    /// Opens the client; never starts a server. Valid() tells if it could.
    JackGraph();
    ~JackGraph();
    JackGraph(const JackGraph&) = delete;
    JackGraph& operator=(const JackGraph&) = delete;

    /// False when no server answered, or the server has gone since.
    bool Valid() const { return m_client && !m_client->Gone(); }

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

    std::shared_ptr<JackClient> m_client;
};

}  // namespace velnor
