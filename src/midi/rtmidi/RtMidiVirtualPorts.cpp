// The virtual ports of the stand-alone instrument: RtMidi's input on ALSA
// (our own elsewhere on Linux), and our own outputs (see RtMidiOutput.h).

#include <RtMidi.h>

#include "midi/rtmidi/RtMidiOutput.h"
#include "midi/rtmidi/RtMidiPlatform.h"
#include "midi/rtmidi/RtMidiShared.h"

#ifdef VELNOR_HAVE_ALSA
#include "midi/rtmidi/AlsaMidiOut.h"
#endif
#ifdef VELNOR_HAVE_JACK
#include "midi/rtmidi/JackClient.h"
#include "midi/rtmidi/JackMidiIn.h"
#include "midi/rtmidi/JackMidiOut.h"
#endif

namespace velnor {

using namespace rtmidi;

struct RtMidiVirtualPorts::Impl {
    std::unique_ptr<RtMidiIn> in;
#ifdef VELNOR_HAVE_JACK
    std::unique_ptr<JackMidiIn> jackIn;
#endif
    RtMidiOutPort out;
    Receive receive;
    ErrorSink error;

    bool OpenIn(RtMidiSystem system, const std::string& name, std::string& text);
    bool OpenOut(RtMidiSystem system, const std::string& name, std::string& text);
    void CloseIn() {
#ifdef VELNOR_HAVE_JACK
        if (jackIn) jackIn->Close();
#endif
        if (in) {
            in->cancelCallback();
            in->closePort();
        }
    }
};

bool RtMidiVirtualPorts::Impl::OpenIn(RtMidiSystem system, const std::string& name,
                                      std::string& text) {
#ifdef VELNOR_HAVE_JACK
    if (system == RtMidiSystem::Jack) {
        jackIn = std::make_unique<JackMidiIn>(
            [this](const std::uint8_t* data, std::size_t size) { receive(data, size); });
        return jackIn->Open(name, name, text);
    }
#endif
    (void)text;
    in = std::make_unique<RtMidiIn>(
        system == RtMidiSystem::Jack ? RtMidi::UNIX_JACK : RtMidi::LINUX_ALSA, name);
    SendErrorsTo(*in, error);
    in->ignoreTypes(false, true, true);
    in->setCallback(
        [](double, std::vector<unsigned char>* message, void* user) {
            auto* self = static_cast<Impl*>(user);
            if (message != nullptr && !message->empty()) {
                self->receive(message->data(), message->size());
            }
        },
        this);
    in->openVirtualPort(name);
    return true;
}

bool RtMidiVirtualPorts::Impl::OpenOut(RtMidiSystem system, const std::string& name,
                                       std::string& text) {
#ifdef VELNOR_HAVE_JACK
    if (system == RtMidiSystem::Jack) {
        out.jack = std::make_unique<JackMidiOut>();
        return out.jack->Open(name, name, text);
    }
#endif
#ifdef VELNOR_HAVE_ALSA
    out.alsa = std::make_unique<AlsaMidiOut>();
    return out.alsa->Open(name, name, text);
#else
    (void)system;
    (void)name;
    text = "The ALSA sequencer is not available";
    return false;
#endif
}

RtMidiVirtualPorts::RtMidiVirtualPorts() = default;
RtMidiVirtualPorts::~RtMidiVirtualPorts() {
    Close();
}

bool RtMidiVirtualPorts::Open(RtMidiSystem system, const std::string& name, Receive onMessage,
                              std::string& error) {
    Close();
    ForbidJackServerStart();
    if (system == RtMidiSystem::Alsa && !AlsaSequencerPresent()) {
        error = "The ALSA sequencer is not available";
        return false;
    }
#ifdef VELNOR_HAVE_JACK
    if (system == RtMidiSystem::Jack) {
        if (!JackClient::Open(name)) {
            error = "The JACK server is not running";
            return false;
        }
        AskPipeWireForShortCycles();
    }
#endif
    auto impl = std::make_unique<Impl>();
    impl->receive = std::move(onMessage);
    try {
        if (!impl->OpenIn(system, name, error) || !impl->OpenOut(system, name, error)) {
            impl->CloseIn();
            return false;
        }
    } catch (const RtMidiError& e) {
        error = e.getMessage();
        impl->CloseIn();
        return false;
    }
    // Some failures come through the error callback rather than a throw.
    {
        std::lock_guard lock(impl->error.mutex);
        if (impl->error.failed) {
            error = impl->error.text;
            impl->CloseIn();
            return false;
        }
    }
    // Only ports that are wholly open are seen by Send.
    std::lock_guard lock(m_mutex);
    m_impl = std::move(impl);
    return true;
}

bool RtMidiVirtualPorts::Send(const std::uint8_t* data, std::size_t size) {
    std::lock_guard lock(m_mutex);
    if (!m_impl) return false;
    return m_impl->out.Send(data, size, m_impl->error);
}

void RtMidiVirtualPorts::Close() {
    std::unique_ptr<Impl> impl;
    {
        // Waits for a Send under way; none comes after.
        std::lock_guard lock(m_mutex);
        impl = std::move(m_impl);
    }
    if (!impl) return;
    // Outside the lock: a message still arriving may be answered (and the
    // answer dropped) while the ports close.
    impl->CloseIn();
    impl->out.Close();
}

bool RtMidiVirtualPorts::IsOpen() const {
    std::lock_guard lock(m_mutex);
    return m_impl != nullptr;
}

}  // namespace velnor
