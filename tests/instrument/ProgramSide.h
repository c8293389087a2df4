#pragma once

// A small stand-in for the program's side of the dialogue, written for the
// tests only: it frames messages into packets the way the program does, sends
// them through a MidiPlatform and collects what comes back.

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <vector>

#include "midi/MidiPlatform.h"

namespace velnor::testing {

using Bytes = std::vector<std::uint8_t>;
using namespace std::chrono_literals;

/// Builds a message with its own little encoder (not the instrument's).
inline Bytes BuildMessage(std::uint8_t command, const Bytes& payload) {
    Bytes m = {0xF0, 0x00, 0x1E, 0x2D, 0x55, 0x52, 0x53, 0x57, command};
    for (std::uint8_t b : payload) {
        m.push_back(b & 0x7F);
        m.push_back(b >> 7);
    }
    unsigned sum = 0;
    for (std::size_t i = 1; i < m.size(); ++i) sum += m[i];
    m.push_back(sum & 0x7F);
    m.push_back((sum & 0xFF) >> 7);
    m.push_back(0xF7);
    return m;
}

/// The song data message: the song bytes encoded, checksum = raw-byte sum.
inline Bytes BuildSongData(const Bytes& song) {
    Bytes m = BuildMessage(0x13, song);
    unsigned sum = 0;
    for (std::uint8_t b : song) sum += b;
    m[m.size() - 3] = sum & 0x7F;
    m[m.size() - 2] = (sum & 0xFF) >> 7;
    return m;
}

/// The song header's payload: the slot, then the song's length little-endian.
inline Bytes SongHeader(std::uint8_t slot, std::uint32_t length) {
    Bytes h = {slot, 0, 0, 0, 0, 0, 1, 0, 0, 0};
    for (int i = 0; i < 4; ++i) h[2 + i] = std::uint8_t(length >> (8 * i));
    return h;
}

/// Decoded payload of a message (no checks).
inline Bytes Payload(const Bytes& m) {
    Bytes p;
    for (std::size_t i = 9; i + 3 < m.size(); i += 2) p.push_back(m[i] | (m[i + 1] << 7));
    return p;
}

inline std::uint32_t U32(const Bytes& p, std::size_t at) {
    return p[at] | (p[at + 1] << 8) | (p[at + 2] << 16) | (std::uint32_t(p[at + 3]) << 24);
}

/// Cuts a message into packets as the program does: 47 bytes + F7 first,
/// then F0 + 46 bytes + F7, the last piece F0 + the rest.
inline std::vector<Bytes> Packets(const Bytes& m) {
    std::vector<Bytes> out;
    std::size_t pos = 0;
    while (pos < m.size()) {
        const std::size_t n = std::min<std::size_t>(m.size() - pos, pos == 0 ? 47 : 46);
        Bytes c(m.begin() + pos, m.begin() + pos + n);
        pos += n;
        Bytes frame;
        if (n == 47) {
            frame = c;
            frame.push_back(0xF7);
        } else if (n == 46 && c.back() != 0xF7) {
            frame.push_back(0xF0);
            frame.insert(frame.end(), c.begin(), c.end());
            frame.push_back(0xF7);
        } else {
            if (c.front() != 0xF0) frame.push_back(0xF0);
            frame.insert(frame.end(), c.begin(), c.end());
        }
        out.push_back(frame);
    }
    return out;
}

inline bool IsAck(const Bytes& m) {
    return m.size() == 10 && m[8] == 0x08;
}

class ProgramSide {
  public:
    explicit ProgramSide(MidiPlatform& platform, unsigned inId = 0, unsigned outId = 0,
                         std::uint32_t bufferSize = 2000)
        : m_platform(platform), m_buffer(bufferSize), m_header{m_buffer.data(), bufferSize} {
        opened = platform.midiInOpen(&m_in, inId, &Callback, this) == MMSYSERR_NOERROR &&
                 platform.midiOutOpen(&m_out, outId) == MMSYSERR_NOERROR &&
                 platform.midiInPrepareHeader(m_in, &m_header) == MMSYSERR_NOERROR &&
                 platform.midiInAddBuffer(m_in, &m_header) == MMSYSERR_NOERROR &&
                 platform.midiInStart(m_in) == MMSYSERR_NOERROR;
    }
    ~ProgramSide() { Close(); }

    void Close() {
        if (m_closed) return;
        m_closed = true;
        m_platform.midiInStop(m_in);
        m_platform.midiInReset(m_in);
        m_platform.midiInUnprepareHeader(m_in, &m_header);
        m_platform.midiInClose(m_in);
        m_platform.midiOutClose(m_out);
    }

    MidiResult SendPacket(const Bytes& frame) {
        Bytes copy = frame;
        MIDIHDR h{copy.data(), static_cast<std::uint32_t>(copy.size())};
        MidiResult r = m_platform.midiOutPrepareHeader(m_out, &h);
        if (r == MMSYSERR_NOERROR) r = m_platform.midiOutLongMsg(m_out, &h);
        if (r == MMSYSERR_NOERROR) r = m_platform.midiOutUnprepareHeader(m_out, &h);
        return r;
    }

    /// Sends a message packet by packet, each after the previous one's
    /// acknowledgement; false when an acknowledgement does not come.
    bool SendMessage(const Bytes& message, std::chrono::milliseconds ackTimeout = 30s) {
        for (const Bytes& packet : Packets(message)) {
            const std::size_t acks = AckCount();
            if (SendPacket(packet) != MMSYSERR_NOERROR) return false;
            if (!WaitFor([&] { return m_acks > acks; }, ackTimeout)) return false;
        }
        return true;
    }

    /// The next message that is not an acknowledgement.
    std::optional<Bytes> NextReply(std::chrono::milliseconds timeout = 30s) {
        std::unique_lock lock(m_mutex);
        if (!m_cv.wait_for(lock, timeout, [&] { return !m_replies.empty(); })) return std::nullopt;
        Bytes m = m_replies.front();
        m_replies.pop_front();
        return m;
    }

    /// Sends a request and returns the reply to it.
    std::optional<Bytes> Ask(const Bytes& message) {
        if (!SendMessage(message)) return std::nullopt;
        return NextReply();
    }

    /// Waits with the lock held: `pred` must not call the locking getters.
    template <typename Pred>
    bool WaitFor(Pred pred, std::chrono::milliseconds timeout) {
        std::unique_lock lock(m_mutex);
        return m_cv.wait_for(lock, timeout, pred);
    }

    /// Waits until `count` acknowledgements have arrived in all.
    bool WaitForAcks(std::size_t count, std::chrono::milliseconds timeout = 30s) {
        return WaitFor([&] { return m_acks >= count; }, timeout);
    }

    std::size_t AckCount() {
        std::lock_guard lock(m_mutex);
        return m_acks;
    }
    std::vector<std::uint32_t> ChunkSizes() {
        std::lock_guard lock(m_mutex);
        return m_chunks;
    }
    std::vector<Bytes> AllMessages() {
        std::lock_guard lock(m_mutex);
        return m_all;
    }
    std::size_t PendingReplies() {
        std::lock_guard lock(m_mutex);
        return m_replies.size();
    }

    bool opened = false;

  private:
    static void Callback(HMIDIIN handle, unsigned message, void* instance, MIDIHDR* header) {
        auto* self = static_cast<ProgramSide*>(instance);
        if (message != MIM_LONGDATA) return;
        {
            std::lock_guard lock(self->m_mutex);
            self->m_handles.push_back(handle);
            self->m_chunks.push_back(header->dwBytesRecorded);
            self->m_assembly.insert(self->m_assembly.end(), header->lpData,
                                    header->lpData + header->dwBytesRecorded);
            if (!self->m_assembly.empty() && self->m_assembly.back() == 0xF7) {
                self->m_all.push_back(self->m_assembly);
                if (IsAck(self->m_assembly)) {
                    ++self->m_acks;
                } else {
                    self->m_replies.push_back(self->m_assembly);
                }
                self->m_assembly.clear();
            }
        }
        self->m_cv.notify_all();
        self->m_platform.midiInAddBuffer(self->m_in, header);
    }

    MidiPlatform& m_platform;
    Bytes m_buffer;
    MIDIHDR m_header;
    HMIDIIN m_in = 0;
    HMIDIOUT m_out = 0;
    bool m_closed = false;

    std::mutex m_mutex;
    std::condition_variable m_cv;
    Bytes m_assembly;
    std::deque<Bytes> m_replies;
    std::vector<Bytes> m_all;
    std::vector<std::uint32_t> m_chunks;
    std::vector<HMIDIIN> m_handles;
    std::size_t m_acks = 0;

  public:
    std::vector<HMIDIIN> Handles() {
        std::lock_guard lock(m_mutex);
        return m_handles;
    }
};

}  // namespace velnor::testing
