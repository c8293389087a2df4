#include "midi/rtmidi/AlsaMidiOut.h"

#include <alsa/asoundlib.h>

#include <cstdio>

namespace velnor {

AlsaMidiOut::AlsaMidiOut() = default;

AlsaMidiOut::~AlsaMidiOut() {
    if (m_seq != nullptr) snd_seq_close(m_seq);
}

bool AlsaMidiOut::Open(const std::string& clientName, const std::string& portName,
                       std::string& error) {
    // Blocking: a write returns once the sequencer has taken the event.
    if (snd_seq_open(&m_seq, "default", SND_SEQ_OPEN_OUTPUT, 0) < 0) {
        m_seq = nullptr;
        error = "The ALSA sequencer cannot be opened";
        return false;
    }
    snd_seq_set_client_name(m_seq, clientName.c_str());
    m_port = snd_seq_create_simple_port(
        m_seq, portName.c_str(), SND_SEQ_PORT_CAP_READ | SND_SEQ_PORT_CAP_SUBS_READ,
        SND_SEQ_PORT_TYPE_MIDI_GENERIC | SND_SEQ_PORT_TYPE_APPLICATION);
    if (m_port < 0) {
        error = "ALSA refused the port " + portName;
        return false;
    }
    return true;
}

bool AlsaMidiOut::Connect(const std::string& destination, std::string& error) {
    error = "No ALSA port " + destination;
    if (m_seq == nullptr) return false;
    const std::size_t space = destination.rfind(' ');
    int client = -1;
    int port = -1;
    if (space == std::string::npos ||
        std::sscanf(destination.c_str() + space + 1, "%d:%d", &client, &port) != 2) {
        return false;
    }
    // The numbers may have passed to another port since the listing: the
    // names must still be the ones listed.
    snd_seq_client_info_t* clientInfo = nullptr;
    snd_seq_port_info_t* portInfo = nullptr;
    snd_seq_client_info_alloca(&clientInfo);
    snd_seq_port_info_alloca(&portInfo);
    if (snd_seq_get_any_client_info(m_seq, client, clientInfo) < 0 ||
        snd_seq_get_any_port_info(m_seq, client, port, portInfo) < 0) {
        return false;
    }
    const std::string listed = std::string(snd_seq_client_info_get_name(clientInfo)) + ":" +
                               snd_seq_port_info_get_name(portInfo);
    if (destination.compare(0, space, listed) != 0) return false;
    if (snd_seq_connect_to(m_seq, m_port, client, port) < 0) {
        error = "ALSA could not connect to " + destination;
        return false;
    }
    error.clear();
    return true;
}

bool AlsaMidiOut::Send(const std::uint8_t* data, std::size_t size) {
    if (m_seq == nullptr || data == nullptr || size == 0) return false;
    if (data[0] >= 0x80 && data[0] < 0xF0) return false;  // not System Exclusive data
    std::lock_guard lock(m_send);
    snd_seq_event_t event;
    snd_seq_ev_clear(&event);
    snd_seq_ev_set_source(&event, m_port);
    snd_seq_ev_set_subs(&event);
    snd_seq_ev_set_direct(&event);
    snd_seq_ev_set_sysex(&event, static_cast<unsigned>(size), const_cast<std::uint8_t*>(data));
    // Straight to the sequencer, not through the library's output buffer.
    return snd_seq_event_output_direct(m_seq, &event) >= 0;
}

}  // namespace velnor
