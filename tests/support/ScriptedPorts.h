#pragma once

// A test platform with many ports, for the search for the instrument: named
// inputs and outputs, and for each output what is heard when a message is
// sent to it (nothing, an echo on an input, an instrument that acknowledges
// and answers on an input). Records every message sent per output, every
// open and close, and delivers what it hears from its own input thread, to
// each input's own callback, as a real backend does.

#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "midi/MidiPlatform.h"
#include "support/FakeMidiPlatform.h"

namespace velnor::testing {

/// What an output makes heard: (input identifier, chunk) pairs.
using Heard = std::vector<std::pair<unsigned, Bytes>>;
using OutputBehaviour = std::function<Heard(const Bytes& message)>;

/// The instrument's connect reply naming `name`, with `status`.
inline Bytes ConnectReply(const std::string& name, std::uint8_t status = 0) {
    Bytes payload = {status, 0, static_cast<std::uint8_t>(name.size())};
    payload.insert(payload.end(), name.begin(), name.end());
    return DeviceMessage(0x00, payload);
}

inline OutputBehaviour Silent() {
    return [](const Bytes&) { return Heard{}; };
}
/// A loopback: everything sent comes back on input `in`.
inline OutputBehaviour Echo(unsigned in) {
    return [in](const Bytes& m) { return Heard{{in, m}}; };
}
/// An instrument whose output is input `in`: acknowledges each packet and
/// answers the connect request with status 0 and `name`.
inline OutputBehaviour Instrument(unsigned in, std::string name) {
    return [in, name](const Bytes& m) {
        Heard heard{{in, AckMessage()}};
        if (m.size() == 14 && m[8] == 0x00) heard.push_back({in, ConnectReply(name)});
        return heard;
    };
}
/// Answers every message with each of `replies` on input `in` (no acknowledgement).
inline OutputBehaviour Answers(unsigned in, std::vector<Bytes> replies) {
    return [in, replies](const Bytes&) {
        Heard heard;
        for (const Bytes& r : replies) heard.push_back({in, r});
        return heard;
    };
}

class ScriptedPorts : public MidiPlatform {
  public:
    using Clock = std::chrono::steady_clock;

    ScriptedPorts(std::vector<std::string> inputs, std::vector<std::string> outputs)
        : m_inNames(std::move(inputs)),
          m_outNames(std::move(outputs)),
          m_behaviour(m_outNames.size(), Silent()),
          m_sent(m_outNames.size()),
          m_in(m_inNames.size()),
          m_thread([this] { InputLoop(); }) {}
    ~ScriptedPorts() override {
        {
            std::lock_guard lock(m_mutex);
            m_bQuit = true;
        }
        m_cv.notify_all();
        m_thread.join();
    }

    void Behave(unsigned out, OutputBehaviour behaviour) {
        std::lock_guard lock(m_mutex);
        m_behaviour.at(out) = std::move(behaviour);
    }
    /// Makes `chunk` heard on input `in` now (if it is listened to).
    void Hear(unsigned in, Bytes chunk) {
        {
            std::lock_guard lock(m_mutex);
            if (m_in.at(in).open) m_pending.push_back({in, std::move(chunk)});
        }
        m_cv.notify_all();
    }

    /// Waits until everything heard has been handed to the callbacks (30 s
    /// only bound a hang).
    bool WaitDelivered() {
        std::unique_lock lock(m_mutex);
        return m_cv.wait_for(lock, std::chrono::seconds(30),
                             [this] { return !Deliverable() && !m_bInCallback; });
    }

    /// The messages sent to output `out`, in order.
    std::vector<Bytes> Sent(unsigned out) {
        std::lock_guard lock(m_mutex);
        return m_sent.at(out);
    }
    /// The outputs sent to, in the order of sending.
    std::vector<unsigned> SendOrder() {
        std::lock_guard lock(m_mutex);
        return m_order;
    }
    int Opened(bool input) {
        std::lock_guard lock(m_mutex);
        return input ? m_nInOpened : m_nOutOpened;
    }
    /// Ports open now, and ports with a receive buffer still prepared.
    int StillOpen() {
        std::lock_guard lock(m_mutex);
        int n = static_cast<int>(m_outOpen.size());
        for (const In& in : m_in) n += (in.open ? 1 : 0) + (in.prepared ? 1 : 0);
        return n;
    }

    unsigned midiInGetNumDevs() override { return static_cast<unsigned>(m_inNames.size()); }
    unsigned midiOutGetNumDevs() override { return static_cast<unsigned>(m_outNames.size()); }
    MidiResult midiInGetDevCaps(unsigned id, std::string& name) override {
        if (id >= m_inNames.size()) return MMSYSERR_BADDEVICEID;
        name = m_inNames[id];
        return MMSYSERR_NOERROR;
    }
    MidiResult midiOutGetDevCaps(unsigned id, std::string& name) override {
        if (id >= m_outNames.size()) return MMSYSERR_BADDEVICEID;
        name = m_outNames[id];
        return MMSYSERR_NOERROR;
    }
    MidiResult midiInOpen(HMIDIIN* handle, unsigned id, MidiInProc callback,
                          void* instance) override {
        std::lock_guard lock(m_mutex);
        if (id >= m_in.size()) return MMSYSERR_BADDEVICEID;
        if (m_in[id].open) return MMSYSERR_ALLOCATED;
        m_in[id] = In{true, false, false, callback, instance, nullptr};
        ++m_nInOpened;
        *handle = kIn + id;
        return MMSYSERR_NOERROR;
    }
    MidiResult midiInPrepareHeader(HMIDIIN h, MIDIHDR*) override {
        return WithIn(h, [](In& in) { in.prepared = true; });
    }
    MidiResult midiInUnprepareHeader(HMIDIIN h, MIDIHDR*) override {
        return WithIn(h, [](In& in) { in.prepared = false; });
    }
    MidiResult midiInAddBuffer(HMIDIIN h, MIDIHDR* header) override {
        MidiResult r = WithIn(h, [header](In& in) { in.buffer = header; });
        m_cv.notify_all();
        return r;
    }
    MidiResult midiInStart(HMIDIIN h) override {
        MidiResult r = WithIn(h, [](In& in) { in.started = true; });
        m_cv.notify_all();
        return r;
    }
    MidiResult midiInStop(HMIDIIN h) override { return Halt(h, false); }
    MidiResult midiInReset(HMIDIIN h) override { return Halt(h, true); }
    MidiResult midiInClose(HMIDIIN h) override {
        Halt(h, true);
        return WithIn(h, [](In& in) { in.open = false; });
    }
    MidiResult midiOutOpen(HMIDIOUT* handle, unsigned id) override {
        std::lock_guard lock(m_mutex);
        if (id >= m_outNames.size()) return MMSYSERR_BADDEVICEID;
        if (!m_outOpen.insert(id).second) return MMSYSERR_ALLOCATED;
        ++m_nOutOpened;
        *handle = kOut + id;
        return MMSYSERR_NOERROR;
    }
    MidiResult midiOutPrepareHeader(HMIDIOUT, MIDIHDR*) override { return MMSYSERR_NOERROR; }
    MidiResult midiOutUnprepareHeader(HMIDIOUT, MIDIHDR*) override { return MMSYSERR_NOERROR; }
    MidiResult midiOutLongMsg(HMIDIOUT h, MIDIHDR* header) override {
        const unsigned out = static_cast<unsigned>(h - kOut);
        Bytes message(header->lpData, header->lpData + header->dwBufferLength);
        OutputBehaviour behaviour;
        {
            std::lock_guard lock(m_mutex);
            if (!m_outOpen.count(out)) return MMSYSERR_INVALHANDLE;
            m_sent[out].push_back(message);
            m_order.push_back(out);
            behaviour = m_behaviour[out];
        }
        for (auto& [in, chunk] : behaviour(message)) Hear(in, std::move(chunk));
        return MMSYSERR_NOERROR;
    }
    MidiResult midiOutReset(HMIDIOUT) override { return MMSYSERR_NOERROR; }
    MidiResult midiOutClose(HMIDIOUT h) override {
        std::lock_guard lock(m_mutex);
        return m_outOpen.erase(static_cast<unsigned>(h - kOut)) ? MMSYSERR_NOERROR
                                                                : MMSYSERR_INVALHANDLE;
    }

  private:
    static constexpr HMIDIIN kIn = 0x100;
    static constexpr HMIDIOUT kOut = 0x200;

    struct In {
        bool open = false;
        bool prepared = false;
        bool started = false;
        MidiInProc callback = nullptr;
        void* instance = nullptr;
        MIDIHDR* buffer = nullptr;
    };

    template <typename Change>
    MidiResult WithIn(HMIDIIN h, Change change) {
        std::lock_guard lock(m_mutex);
        const std::size_t id = h - kIn;
        if (id >= m_in.size() || !m_in[id].open) return MMSYSERR_INVALHANDLE;
        change(m_in[id]);
        return MMSYSERR_NOERROR;
    }

    /// Stops delivery to the input (and takes back its buffer and what it has
    /// not heard yet on reset); waits for a callback in progress unless called
    /// from it.
    MidiResult Halt(HMIDIIN h, bool reset) {
        std::unique_lock lock(m_mutex);
        const std::size_t id = h - kIn;
        if (id >= m_in.size() || !m_in[id].open) return MMSYSERR_INVALHANDLE;
        m_in[id].started = false;
        if (reset) {
            m_in[id].buffer = nullptr;
            std::erase_if(m_pending, [id](const auto& p) { return p.first == id; });
        }
        if (std::this_thread::get_id() != m_thread.get_id())
            m_cv.wait(lock, [this] { return !m_bInCallback; });
        m_cv.notify_all();
        return MMSYSERR_NOERROR;
    }

    /// The first chunk its input can take now.
    std::deque<std::pair<unsigned, Bytes>>::iterator Next() {
        return std::find_if(m_pending.begin(), m_pending.end(), [this](const auto& p) {
            const In& in = m_in[p.first];
            return in.open && in.started && in.buffer;
        });
    }
    bool Deliverable() { return Next() != m_pending.end(); }

    void InputLoop() {
        std::unique_lock lock(m_mutex);
        for (;;) {
            m_cv.wait(lock, [this] { return m_bQuit || Deliverable(); });
            if (m_bQuit) return;
            auto it = Next();
            const unsigned id = it->first;
            Bytes chunk = std::move(it->second);
            m_pending.erase(it);
            In& in = m_in[id];
            MIDIHDR* header = in.buffer;
            in.buffer = nullptr;
            const std::size_t n = std::min<std::size_t>(chunk.size(), header->dwBufferLength);
            std::copy(chunk.begin(), chunk.begin() + static_cast<std::ptrdiff_t>(n),
                      header->lpData);
            header->dwBytesRecorded = static_cast<std::uint32_t>(n);
            MidiInProc callback = in.callback;
            void* instance = in.instance;
            m_bInCallback = true;
            lock.unlock();
            callback(kIn + id, MIM_LONGDATA, instance, header);
            lock.lock();
            m_bInCallback = false;
            m_cv.notify_all();
        }
    }

    std::vector<std::string> m_inNames;
    std::vector<std::string> m_outNames;
    std::vector<OutputBehaviour> m_behaviour;
    std::vector<std::vector<Bytes>> m_sent;
    std::vector<unsigned> m_order;
    std::vector<In> m_in;
    std::set<unsigned> m_outOpen;
    std::deque<std::pair<unsigned, Bytes>> m_pending;
    int m_nInOpened = 0;
    int m_nOutOpened = 0;
    bool m_bInCallback = false;
    bool m_bQuit = false;
    std::mutex m_mutex;
    std::condition_variable m_cv;
    std::thread m_thread;  // last: starts after every other member exists
};

}  // namespace velnor::testing
