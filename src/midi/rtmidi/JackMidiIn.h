#pragma once

#include <semaphore.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "midi/rtmidi/JackClient.h"
#include "midi/rtmidi/MessageQueue.h"

struct _jack_port;

namespace velnor {

/// A MIDI input port on JACK, with a client of its own, in place of RtMidi's
/// (which calls back on JACK's process thread, after allocating there).
///
/// Threads: JACK's process thread only copies each event into a lock-free
/// queue and posts a semaphore (no lock, no allocation, no wait); a thread of
/// ours takes the messages off the queue and hands each to `receive`, so the
/// protocol runs there, one message at a time.
class JackMidiIn {
  public:
    using Receive = std::function<void(const std::uint8_t* data, std::size_t size)>;

    explicit JackMidiIn(Receive receive);
    ~JackMidiIn();
    JackMidiIn(const JackMidiIn&) = delete;
    JackMidiIn& operator=(const JackMidiIn&) = delete;

    /// Opens a client named `clientName` with one input port `portName` and
    /// starts it; never starts a server.
    bool Open(const std::string& clientName, const std::string& portName, std::string& error);
    /// Connects the output port `source` (a full name) to ours.
    bool Connect(const std::string& source, std::string& error);
    /// Closes the client and ends our thread; `receive` is not called after.
    void Close();

    /// Messages JACK delivered that found the queue full (lost).
    std::size_t Dropped() const { return m_dropped.load(std::memory_order_relaxed); }

  private:
    static int Process(std::uint32_t frames, void* self);
    void Run();

    Receive m_receive;
    MessageQueue m_queue{64 * 1024};
    std::shared_ptr<JackClient> m_client;
    _jack_port* m_port = nullptr;
    sem_t m_ready;  ///< posted by the process thread after queueing
    std::atomic<bool> m_stop{false};
    std::atomic<std::size_t> m_dropped{0};
    std::thread m_thread;
};

}  // namespace velnor
