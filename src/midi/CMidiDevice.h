#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "midi/MidiPlatform.h"
#include "midi/SysExAssembler.h"

// Where the threads meet. Two threads use the port layer:
//  - the UI thread opens, closes and sends, and waits for acknowledgements and
//    replies by sleeping in the process-wide EventPump (never spinning);
//  - the platform's MIDI input thread runs MidiInCallback, assembles each
//    System Exclusive message and hands it to the receive handler, which may
//    set the acknowledgement flag, change the protocol state and send a short
//    reply; after each such change it calls GetEventPump().Wake().
// Every flag shared between them is a std::atomic; buffers written on the
// input thread are published by a release store of the flag or state that lets
// the UI thread read them.

namespace velnor {

/// One MIDI port as the system lists it.
struct MidiPortEntry {
    int m_nId = 0;
    std::string m_strName;
};

constexpr int MAX_PORTS = 64;
constexpr int SYSEX_BUFFER_SIZE = 2000;
constexpr unsigned ACK_TIMEOUT_MS = 100;

constexpr int PORT_CLOSED = 0;
constexpr int PORT_OPEN = 1;
constexpr int PORT_STARTED = 2;

/// Receives a note after each acknowledged packet of a transfer while progress
/// is enabled. Called synchronously on the thread that sends.
class ProgressSink {
  public:
    virtual ~ProgressSink() = default;
    virtual void OnTransferProgress() = 0;
};

/// Handler of complete incoming SysEx messages; runs on the MIDI input thread
/// and must not keep the pointer after it returns.
using MidiReceiveHandler = void (*)(const std::uint8_t* data, int length);

/// Dispatches every event waiting for this thread (through the process-wide
/// EventPump). Returns false when a quit request was seen; it stays pending.
bool PumpPendingMessages();

/// The one MIDI input port and the one MIDI output port through which the
/// program talks to the instrument. Written against MidiPlatform only.
class CMidiDevice {
  public:
    virtual ~CMidiDevice();
    CMidiDevice(const CMidiDevice&) = delete;
    CMidiDevice& operator=(const CMidiDevice&) = delete;

    /// Gives the port layer its platform; call before GetInstance. The caller
    /// keeps ownership. Null restores a platform without ports.
    static void SetPlatform(MidiPlatform* platform);
    static MidiPlatform& Platform();

    /// Creates the instance and both receive buffers if none exists, counts
    /// one more use and returns the instance.
    static CMidiDevice* GetInstance();
    /// Counts one use less; at zero closes both ports and destroys the
    /// instance. A count already at zero stays there.
    static void Release();
    /// The instance, or null when none exists; does not count a use.
    static CMidiDevice* Current() { return s_pInstance.load(std::memory_order_acquire); }
    static int UseCount() { return s_nUseCount; }

    /// Lists the ports of the system into m_InPorts and m_OutPorts; leaves both
    /// ports closed.
    void EnumeratePorts();
    bool OpenInput(int id);
    bool OpenOutput(int id);
    bool StartInput();
    bool CloseInput();
    bool CloseOutput();

    /// Frames one chunk of 1 to 47 bytes as a complete SysEx packet and sends
    /// it, returning when the platform has finished with it.
    bool SendPacket(const std::uint8_t* data, int length);
    /// Sends a whole SysEx message as packets of at most 48 bytes, each of
    /// which the instrument must acknowledge within ACK_TIMEOUT_MS.
    bool SendSysEx(const std::uint8_t* data, int length);

    /// Marks the last packet as acknowledged and wakes the waiting thread.
    static void SignalAck();
    static void SetReceiveHandler(MidiReceiveHandler handler);
    static void SetProgressWindow(ProgressSink* sink);
    static void EnableProgress(bool enable);

    static void MidiInCallback(HMIDIIN handle, unsigned message, void* instance, MIDIHDR* header);

    unsigned m_nInCount = 0;
    unsigned m_nOutCount = 0;
    MidiPortEntry m_InPorts[MAX_PORTS];
    MidiPortEntry m_OutPorts[MAX_PORTS];
    std::atomic<int> m_nInState{PORT_CLOSED};
    std::atomic<int> m_nOutState{PORT_CLOSED};

  private:
    CMidiDevice() = default;
    bool StopInput();
    bool WaitForAck();
    /// Hands a complete message to the receive handler (input thread).
    static void Deliver(void* context, const std::uint8_t* message, int length);

    static std::atomic<MidiPlatform*> s_pPlatform;
    static std::atomic<CMidiDevice*> s_pInstance;
    static int s_nUseCount;
    static std::atomic<HMIDIIN> s_hMidiIn;
    static std::atomic<HMIDIOUT> s_hMidiOut;
    static MIDIHDR s_InHeader;
    static std::unique_ptr<std::uint8_t[]> s_pInBuffer;
    static std::unique_ptr<SysExAssembler> s_pAssembly;
    static std::atomic<bool> s_bInputStopping;
    static std::atomic<MidiReceiveHandler> s_pfnReceive;
    static std::atomic<bool> s_bAcked;
    static std::atomic<bool> s_bProgress;
    static std::atomic<ProgressSink*> s_hProgressWnd;
};

}  // namespace velnor
