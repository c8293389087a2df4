#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

struct _jack_client;
struct _jack_port;

namespace velnor {

/// One client of ours on the JACK server. A server may stop or restart
/// while the program runs: JACK then tells each client, and every client of
/// the gone server is closed before any new one is opened (the JACK library
/// crashes closing a client of a dead server once a new client is open).
///
/// Threads: the server's shutdown notice comes on a thread of JACK's and
/// only sets a flag. Open, Close and With run on threads of ours.
class JackClient {
  public:
    /// Closes every client of ours whose server has gone, then opens a client
    /// named `name` (JACK may add a number to it); never starts a server.
    /// Null when no server answers.
    static std::shared_ptr<JackClient> Open(const std::string& name);
    ~JackClient();
    JackClient(const JackClient&) = delete;
    JackClient& operator=(const JackClient&) = delete;

    /// The client, for calls made while it is sure to stay open: set-up
    /// before activation, and the process callback (JACK stops calling it
    /// before a close returns).
    _jack_client* Get() const { return m_client; }
    /// True once the server has gone (the client may be closed already).
    bool Gone() const { return m_gone.load(std::memory_order_acquire); }
    /// Calls `use` with the client unless it has been closed; false then.
    bool With(const std::function<void(_jack_client*)>& use);
    /// Closes the client (once); no callback of it runs after this returns.
    void Close();

  private:
    explicit JackClient(_jack_client* client);
    static void OnShutdown(void* self);

    std::mutex m_mutex;  ///< guards closing against With
    _jack_client* m_client = nullptr;
    std::atomic<bool> m_gone{false};
};

/// Closes every client of ours whose server has gone.
void CloseGoneJackClients();

/// The set-up the JACK input and output share. Opens `client` named
/// `clientName` and registers its one MIDI port `portName` (an input when
/// `input`) in `port`; false with `error` set when no server answers or JACK
/// refuses the port (`client` then stays set, for the caller's close).
bool OpenJackMidiPort(const std::string& clientName, const std::string& portName, bool input,
                      std::shared_ptr<JackClient>& client, _jack_port*& port, std::string& error);
/// Sets `process` (called with `arg` on JACK's process thread) and activates
/// the client; false with `error` set.
bool StartJackClient(JackClient& client, int (*process)(std::uint32_t, void*), void* arg,
                     const std::string& clientName, std::string& error);
/// Connects our `port` with the port named `other` (ours sends when
/// `portSends`), unless the client has been closed: true when connected now
/// or already.
bool ConnectJackPort(JackClient& client, _jack_port* port, const std::string& other,
                     bool portSends);

/// Runs `work` on a thread of its own and waits for it at most `timeout`: a
/// JACK server that does not answer (wedged, or overloaded) holds up that
/// thread, never the caller. False when `work` did not end in time; it then
/// ends when it can, and until it has, every other call returns false at
/// once. `work` keeps what it needs alive itself.
bool RunBounded(std::function<void()> work, std::chrono::milliseconds timeout);

/// How long a listing or an opening waits for the JACK server.
inline constexpr std::chrono::milliseconds kJackAnswerBound{3000};

/// The full names of the JACK server's MIDI ports that send (`senders`) or
/// receive; none when no server answers within kJackAnswerBound. No client
/// is kept after the listing.
std::vector<std::string> ListJackMidiPorts(bool senders);

}  // namespace velnor
