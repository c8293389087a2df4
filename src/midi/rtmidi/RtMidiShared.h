#pragma once

// What the files of the real-port backend share: names, where RtMidi's
// complaints go, and the environment JACK clients are opened in.

#include <mutex>
#include <string>

class RtMidi;

namespace velnor::rtmidi {

/// The client name our ports have on the MIDI system, and the ports' names.
inline constexpr const char* kClientName = "Velnor";
inline constexpr const char* kInPortName = "Velnor In";
inline constexpr const char* kOutPortName = "Velnor Out";

/// Where errors go instead of the console: the last one reported.
struct ErrorSink {
    std::mutex mutex;
    std::string text;
    bool failed = false;  ///< an error, not only a warning, was reported

    void Store(const std::string& message, bool isError = true) {
        std::lock_guard lock(mutex);
        text = message;
        failed = failed || isError;
    }
    std::string Text() {
        std::lock_guard lock(mutex);
        return text;
    }
};

/// Sends RtMidi's complaints about `midi` to `sink` instead of the console.
void SendErrorsTo(RtMidi& midi, ErrorSink& sink);

/// JACK must never start a server of its own on our behalf.
void ForbidJackServerStart();

/// Called before a JACK client with a port is opened. PipeWire's JACK
/// library runs a desktop's graph in cycles of 1024 frames (21 ms) unless a
/// client asks for shorter ones, and a request and its reply take a cycle
/// each: a 16-slot list then needs 0.75 s of the 1 s the instrument is given
/// for it, and fails on a busy machine. Asking for JACK's usual 256 frames
/// brings it to 0.2 s. A jackd ignores the request; a value the user set is
/// kept. Only a user of JACK ports asks: programs the window starts inherit
/// the request.
void AskPipeWireForShortCycles();

/// True when the ALSA sequencer device can be opened; without it ALSA
/// would only print that it cannot.
bool AlsaSequencerPresent();

}  // namespace velnor::rtmidi
