#include "midi/rtmidi/RtMidiShared.h"

#include <RtMidi.h>

#include <cstdlib>

#ifndef _WIN32
#include <unistd.h>
#endif

namespace velnor::rtmidi {

namespace {
void StoreError(RtMidiError::Type type, const std::string& text, void* sink) {
    static_cast<ErrorSink*>(sink)->Store(
        text, type != RtMidiError::WARNING && type != RtMidiError::DEBUG_WARNING);
}
}  // namespace

void SendErrorsTo(RtMidi& midi, ErrorSink& sink) {
    midi.setErrorCallback(&StoreError, &sink);
}

void ForbidJackServerStart() {
#ifndef _WIN32
    ::setenv("JACK_NO_START_SERVER", "1", 0);
#endif
}

void AskPipeWireForShortCycles() {
#ifndef _WIN32
    ::setenv("PIPEWIRE_LATENCY", "256/48000", 0);
#endif
}

bool AlsaSequencerPresent() {
#ifdef _WIN32
    return false;
#else
    return ::access("/dev/snd/seq", R_OK | W_OK) == 0;
#endif
}

}  // namespace velnor::rtmidi
