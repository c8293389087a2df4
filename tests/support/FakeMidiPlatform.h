#pragma once

// A test substitute for the MIDI platform: records every frame sent, scripts
// the result of each call, counts calls, and feeds chunks to the input
// callback from its own input thread, as a real backend does. It can answer
// every packet with an acknowledgement and pass every complete message sent
// to a responder that returns the instrument's replies (a tiny scripted
// instrument), and hold each reply until a time the test chooses (a slow one).

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "midi/MidiPlatform.h"

namespace velnor::testing {

using Bytes = std::vector<std::uint8_t>;

/// Builds an instrument message the way the instrument does: header, command,
/// payload two bytes each, checksum of the wire bytes, F7h. Written apart from
/// the program's own builder so tests do not check the code against itself.
inline Bytes DeviceMessage(std::uint8_t command, const Bytes& payload) {
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

/// The instrument's 10-byte packet acknowledgement.
inline Bytes AckMessage() {
    return {0xF0, 0x00, 0x1E, 0x2D, 0x55, 0x52, 0x53, 0x57, 0x08, 0xF7};
}

/// Decodes the payload of a message (two wire bytes per byte).
inline Bytes DecodePayload(const Bytes& m) {
    Bytes p;
    for (std::size_t i = 9; i + 3 < m.size(); i += 2)
        p.push_back(static_cast<std::uint8_t>(m[i] | (m[i + 1] << 7)));
    return p;
}

class FakeMidiPlatform : public MidiPlatform {
  public:
    using Clock = std::chrono::steady_clock;
    /// Gets each complete message sent (packets joined back) and returns the
    /// chunks to feed to the input, in order. Runs on the sending thread.
    using Responder = std::function<std::vector<Bytes>(const Bytes& message)>;

    FakeMidiPlatform() : m_thread([this] { InputLoop(); }) {}
    ~FakeMidiPlatform() override {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_bQuit = true;
        }
        m_cv.notify_all();
        m_thread.join();
    }

    // --- configuration -----------------------------------------------------
    std::vector<std::string> inputNames{"Fake In"};
    std::vector<std::string> outputNames{"Fake Out"};

    /// The next results of `call` (e.g. "midiInClose"); once used up, 0.
    void Script(const std::string& call, std::vector<MidiResult> results) {
        std::lock_guard<std::mutex> lock(m_mutex);
        auto& queue = m_scripted[call];
        queue.insert(queue.end(), results.begin(), results.end());
    }
    void SetAutoAck(bool on) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_bAutoAck = on;
    }
    /// Acknowledges only the first `count` packets (then stays silent).
    void AckOnly(int count) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_nAcksLeft = count;
    }
    void SetResponder(Responder responder) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_responder = std::move(responder);
    }
    /// Gives each reply of the responder the time before which it is not
    /// delivered (acknowledgements are not held). Null: at once.
    void SetReplyDue(std::function<Clock::time_point()> due) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_replyDue = std::move(due);
    }

    /// Queues a chunk for the input thread; delivered once input is started,
    /// a buffer is queued and `due` has come, in the order fed.
    void Feed(Bytes chunk, Clock::time_point due = {}) {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_pending.push_back(Pending{std::move(chunk), due});
        }
        m_cv.notify_all();
    }

    /// Waits until every fed chunk has been handed to the callback and the
    /// callback has returned. False if that did not happen within 30 s (a bound
    /// that only stops a hang).
    bool WaitDelivered() {
        std::unique_lock<std::mutex> lock(m_mutex);
        return m_cv.wait_for(lock, std::chrono::seconds(30),
                             [this] { return m_pending.empty() && !m_bInCallback; });
    }

    // --- observations ------------------------------------------------------
    std::vector<Bytes> Frames() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_frames;
    }
    /// The frames joined back into the messages they carry.
    std::vector<Bytes> Messages() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_messages;
    }
    void ClearSent() {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_frames.clear();
        m_messages.clear();
    }
    int Calls(const std::string& call) {
        std::lock_guard<std::mutex> lock(m_mutex);
        return static_cast<int>(m_calls[call].size());
    }
    std::vector<Clock::time_point> CallTimes(const std::string& call) {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_calls[call];
    }
    bool InputOpen() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_bInOpen;
    }
    bool OutputOpen() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_bOutOpen;
    }

    // --- MidiPlatform ------------------------------------------------------
    unsigned midiInGetNumDevs() override {
        Result("midiInGetNumDevs");
        return static_cast<unsigned>(inputNames.size());
    }
    unsigned midiOutGetNumDevs() override {
        Result("midiOutGetNumDevs");
        return static_cast<unsigned>(outputNames.size());
    }
    MidiResult midiInGetDevCaps(unsigned id, std::string& name) override {
        if (id >= inputNames.size()) return MMSYSERR_BADDEVICEID;
        name = inputNames[id];
        return Result("midiInGetDevCaps");
    }
    MidiResult midiOutGetDevCaps(unsigned id, std::string& name) override {
        if (id >= outputNames.size()) return MMSYSERR_BADDEVICEID;
        name = outputNames[id];
        return Result("midiOutGetDevCaps");
    }
    MidiResult midiInOpen(HMIDIIN* handle, unsigned id, MidiInProc callback,
                          void* instance) override {
        MidiResult r = Result("midiInOpen");
        if (r != MMSYSERR_NOERROR) return r;
        if (id >= inputNames.size()) return MMSYSERR_BADDEVICEID;
        std::lock_guard<std::mutex> lock(m_mutex);
        m_callback = callback;
        m_instance = instance;
        m_bInOpen = true;
        *handle = kInHandle;
        return r;
    }
    MidiResult midiInPrepareHeader(HMIDIIN, MIDIHDR*) override {
        return Result("midiInPrepareHeader");
    }
    MidiResult midiInUnprepareHeader(HMIDIIN, MIDIHDR*) override {
        return Result("midiInUnprepareHeader");
    }
    MidiResult midiInAddBuffer(HMIDIIN, MIDIHDR* header) override {
        MidiResult r = Result("midiInAddBuffer");
        if (r == MMSYSERR_NOERROR) {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_pQueued = header;
        }
        m_cv.notify_all();
        return r;
    }
    MidiResult midiInStart(HMIDIIN) override {
        MidiResult r = Result("midiInStart");
        if (r == MMSYSERR_NOERROR) {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_bStarted = true;
        }
        m_cv.notify_all();
        return r;
    }
    MidiResult midiInStop(HMIDIIN) override {
        MidiResult r = Result("midiInStop");
        if (r == MMSYSERR_NOERROR) Halt(false);
        return r;
    }
    MidiResult midiInReset(HMIDIIN) override {
        MidiResult r = Result("midiInReset");
        if (r == MMSYSERR_NOERROR) Halt(true);
        return r;
    }
    MidiResult midiInClose(HMIDIIN) override {
        MidiResult r = Result("midiInClose");
        if (r != MIDIERR_STILLPLAYING) {
            Halt(true);
            std::lock_guard<std::mutex> lock(m_mutex);
            m_bInOpen = false;
            m_pending.clear();
        }
        return r;
    }
    MidiResult midiOutOpen(HMIDIOUT* handle, unsigned id) override {
        MidiResult r = Result("midiOutOpen");
        if (r != MMSYSERR_NOERROR) return r;
        if (id >= outputNames.size()) return MMSYSERR_BADDEVICEID;
        std::lock_guard<std::mutex> lock(m_mutex);
        m_bOutOpen = true;
        *handle = kOutHandle;
        return r;
    }
    MidiResult midiOutPrepareHeader(HMIDIOUT, MIDIHDR*) override {
        return Result("midiOutPrepareHeader");
    }
    MidiResult midiOutUnprepareHeader(HMIDIOUT, MIDIHDR*) override {
        return Result("midiOutUnprepareHeader");
    }
    MidiResult midiOutLongMsg(HMIDIOUT, MIDIHDR* header) override {
        MidiResult r = Result("midiOutLongMsg");
        if (r != MMSYSERR_NOERROR) return r;
        Bytes frame(header->lpData, header->lpData + header->dwBufferLength);
        Bytes complete;
        Responder responder;
        std::function<Clock::time_point()> replyDue;
        bool ack = false;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_frames.push_back(frame);
            if (m_bAutoAck && m_nAcksLeft != 0) {
                ack = true;
                if (m_nAcksLeft > 0) --m_nAcksLeft;
            }
            if (Join(frame)) {
                complete = m_assembling;
                m_messages.push_back(complete);
                m_assembling.clear();
                responder = m_responder;
                replyDue = m_replyDue;
            }
        }
        if (ack) Feed(AckMessage());
        if (responder)
            for (Bytes& reply : responder(complete))
                Feed(std::move(reply), replyDue ? replyDue() : Clock::time_point{});
        return r;
    }
    MidiResult midiOutReset(HMIDIOUT) override { return Result("midiOutReset"); }
    MidiResult midiOutClose(HMIDIOUT) override {
        MidiResult r = Result("midiOutClose");
        if (r == MMSYSERR_NOERROR) {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_bOutOpen = false;
        }
        return r;
    }

    static constexpr HMIDIIN kInHandle = 0x1001;
    static constexpr HMIDIOUT kOutHandle = 0x2002;

  private:
    struct Pending {
        Bytes data;
        Clock::time_point due;
    };

    MidiResult Result(const std::string& call) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_calls[call].push_back(Clock::now());
        auto& queue = m_scripted[call];
        if (queue.empty()) return MMSYSERR_NOERROR;
        MidiResult r = queue.front();
        queue.pop_front();
        return r;
    }

    /// Undoes the packet framing: a 48-byte frame opens or continues a long
    /// message; any other frame is a whole message or the last piece of one.
    /// Returns true when a message is complete in m_assembling.
    bool Join(const Bytes& frame) {
        if (frame.empty()) return false;
        const bool first = m_assembling.empty();
        if (frame.size() == 48) {
            if (first)
                m_assembling.assign(frame.begin(), frame.end() - 1);
            else
                m_assembling.insert(m_assembling.end(), frame.begin() + 1, frame.end() - 1);
            return false;
        }
        if (first)
            m_assembling = frame;
        else
            m_assembling.insert(m_assembling.end(), frame.begin() + 1, frame.end());
        return true;
    }

    /// Stops delivery (and returns the queued buffer on reset); waits for a
    /// callback in progress unless called from the callback itself.
    void Halt(bool returnBuffer) {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_bStarted = false;
        if (returnBuffer) m_pQueued = nullptr;
        if (std::this_thread::get_id() != m_thread.get_id())
            m_cv.wait(lock, [this] { return !m_bInCallback; });
    }

    void InputLoop() {
        std::unique_lock<std::mutex> lock(m_mutex);
        for (;;) {
            m_cv.wait(lock, [this] {
                return m_bQuit || (!m_pending.empty() && m_bStarted && m_pQueued);
            });
            if (m_bQuit) return;
            const Clock::time_point due = m_pending.front().due;
            if (due > Clock::now()) {
                m_cv.wait_until(lock, due);
                continue;
            }
            Bytes chunk = std::move(m_pending.front().data);
            m_pending.pop_front();
            MIDIHDR* header = m_pQueued;
            m_pQueued = nullptr;
            std::size_t n = std::min<std::size_t>(chunk.size(), header->dwBufferLength);
            std::copy(chunk.begin(), chunk.begin() + static_cast<std::ptrdiff_t>(n),
                      header->lpData);
            header->dwBytesRecorded = static_cast<std::uint32_t>(n);
            header->dwFlags |= MHDR_DONE;
            MidiInProc callback = m_callback;
            void* instance = m_instance;
            m_bInCallback = true;
            lock.unlock();
            callback(kInHandle, MIM_LONGDATA, instance, header);
            lock.lock();
            m_bInCallback = false;
            m_cv.notify_all();
        }
    }

    std::mutex m_mutex;
    std::condition_variable m_cv;
    std::map<std::string, std::deque<MidiResult>> m_scripted;
    std::map<std::string, std::vector<Clock::time_point>> m_calls;
    std::vector<Bytes> m_frames;
    std::vector<Bytes> m_messages;
    Bytes m_assembling;
    std::deque<Pending> m_pending;
    Responder m_responder;
    std::function<Clock::time_point()> m_replyDue;
    MidiInProc m_callback = nullptr;
    void* m_instance = nullptr;
    MIDIHDR* m_pQueued = nullptr;
    bool m_bAutoAck = false;
    int m_nAcksLeft = -1;
    bool m_bStarted = false;
    bool m_bInOpen = false;
    bool m_bOutOpen = false;
    bool m_bInCallback = false;
    bool m_bQuit = false;
    std::thread m_thread;  // last: starts after every other member exists
};

}  // namespace velnor::testing
