#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "midi/rtmidi/JackClient.h"
#include "midi/rtmidi/MessageQueue.h"

struct _jack_port;

namespace velnor {

/// A MIDI output port on JACK, with a client of its own. Messages are handed
/// to JACK's process thread through a lock-free queue and written at the
/// start of the next cycle, whole and in order; one that does not fit into
/// a cycle waits for the next.
///
/// It takes the place of RtMidi's JACK output, which frees its queue before
/// it closes its client, while the process thread may still be reading it
/// (a crash on closing, 4 of 300 runs on a busy machine). Here the client is
/// closed first: no cycle runs after that, and the queue goes last.
class JackMidiOut {
  public:
    JackMidiOut();
    ~JackMidiOut();
    JackMidiOut(const JackMidiOut&) = delete;
    JackMidiOut& operator=(const JackMidiOut&) = delete;

    /// Opens a client named `clientName` (JACK may add a number to it) with
    /// one output port `portName` and starts it; never starts a server.
    bool Open(const std::string& clientName, const std::string& portName, std::string& error);

    /// Connects the port to the input port `destination` (a full name).
    bool Connect(const std::string& destination, std::string& error);

    /// Queues one message for the next cycle; false when the queue is full
    /// or the port is not open. Any thread: senders take turns.
    bool Send(const std::uint8_t* data, std::size_t size);

  private:
    static int Process(std::uint32_t frames, void* self);

    MessageQueue m_queue{64 * 1024};
    std::shared_ptr<JackClient> m_client;
    _jack_port* m_port = nullptr;
};

}  // namespace velnor
