#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "midi/SlotEntry.h"

namespace velnor {

/// Command bytes of the instrument's messages.
constexpr std::uint8_t CMD_CONNECT = 0x00;
constexpr std::uint8_t CMD_ACK = 0x08;
constexpr std::uint8_t CMD_SONG_LIST = 0x12;
constexpr std::uint8_t CMD_SONG_WRITE = 0x13;
constexpr std::uint8_t CMD_SONG_READ = 0x14;
constexpr std::uint8_t CMD_SONG_DELETE = 0x15;

/// Status bytes.
constexpr std::uint8_t ST_OK = 0;
constexpr std::uint8_t ST_LIST_END = 1;
constexpr std::uint8_t ST_CHECKSUM = 2;
constexpr std::uint8_t ST_NO_CAPACITY = 6;

/// Protocol states. The waiting states are set by an operation just before it
/// sends; the receive handler moves them on.
constexpr int TS_UNEXPECTED = 0;
constexpr int TS_CONNECT_WAIT = 1;
constexpr int TS_CONNECT_OK = 2;
constexpr int TS_CONNECT_CHECKSUM = 3;
constexpr int TS_CONNECT_FAIL = 4;
constexpr int TS_LIST_WAIT = 5;
constexpr int TS_LIST_DONE = 6;
constexpr int TS_LIST_ORDER = 8;
constexpr int TS_HEADER_WAIT = 10;
constexpr int TS_HEADER_OK = 11;
constexpr int TS_HEADER_NO_CAPACITY = 12;
constexpr int TS_HEADER_CHECKSUM = 13;
constexpr int TS_HEADER_FAIL = 14;
constexpr int TS_DATA_WAIT = 15;
constexpr int TS_DATA_OK = 16;
constexpr int TS_DATA_CHECKSUM = 17;
constexpr int TS_DATA_FAIL = 18;
constexpr int TS_FETCH_WAIT = 19;
constexpr int TS_FETCH_OK = 20;
constexpr int TS_FETCH_CHECKSUM = 21;
constexpr int TS_FETCH_FAIL = 22;
constexpr int TS_BLOCK_WAIT = 23;
constexpr int TS_BLOCK_OK = 24;
constexpr int TS_DELETE_WAIT = 27;
constexpr int TS_DELETE_OK = 28;
constexpr int TS_DELETE_CHECKSUM = 29;
constexpr int TS_DELETE_FAIL = 30;

/// How long Connect waits for the connect reply after the request.
constexpr unsigned CONNECT_TIMEOUT_MS = 200;

constexpr int PAYLOAD_BUFFER_SIZE = 10240;
constexpr int NAME_BUFFER_SIZE = 100;
/// Offset of the command byte and of the encoded payload in a message.
constexpr int MSG_COMMAND = 8;
constexpr int MSG_PAYLOAD = 9;
/// A message with a k-byte payload is MSG_OVERHEAD + 2k bytes long.
constexpr int MSG_OVERHEAD = 12;
/// The longest song a transfer accepts in either direction. Far above what an
/// instrument holds; refuses lengths whose message would not fit in memory or
/// in the message length.
constexpr std::uint32_t MAX_SONG_LENGTH = 16u * 1024u * 1024u;

/// The name shown for the song in `slot` when the instrument gives it a name
/// that reads as no text (its bytes start with 00, or they are missing):
/// "Slot N.mid". Every slot that holds a song then has a name the user can see
/// and select, and the empty text never stands for a song.
std::string NamelessSlotName(std::size_t slot);

/// The System Exclusive dialogue with the instrument: message layout, the
/// receive state machine, and the transfer operations the panes call. The
/// objects carry no state of their own; every one shares the process-wide
/// protocol state below.
///
/// The operations run on the UI thread and wait through the EventPump; the
/// receive handler OnReceive runs on the MIDI input thread. Install it with
/// CMidiDevice::SetReceiveHandler(&CMidiTrans::OnReceive) before OpenPorts.
class CMidiTrans {
  public:
    CMidiTrans();
    virtual ~CMidiTrans();
    CMidiTrans(const CMidiTrans&) = delete;
    CMidiTrans& operator=(const CMidiTrans&) = delete;

    // Transfer operations (UI thread).
    static bool IsIdle() { return s_bIdle.load(); }
    /// Told on the operation's own thread when an operation starts (false)
    /// and when it has ended (true); the window shows the busy pointer
    /// meanwhile. Empty: nobody is told.
    static void SetIdleObserver(std::function<void(bool bIdle)> observer);
    bool OpenPorts(int inputId, int outputId);
    /// Names from the instrument, the device's and the slots', come as valid
    /// UTF-8 (NameAsUtf8): the instrument cuts them to a few bytes, in the
    /// middle of a character too, and its first platform wrote Windows-1252.
    bool Connect(std::string& deviceName);
    /// The slots in slot order: each slot's name and whether it is free.
    bool ReadSongList(std::vector<SlotEntry>& slots);
    /// The names only ("Empty" for a free slot).
    bool ReadSongList(std::vector<std::string>& names);
    bool DeleteSong(unsigned slot);
    /// Sends the song file `path` into slot `slot`; `timeoutMs` per reply
    /// (and per started 1000 bytes for the data reply).
    bool DownloadSong(const std::string& path, int slot, unsigned timeoutMs);
    /// Fetches the song of slot `slot` into the file `path`; the file is
    /// written only when the whole song has arrived.
    bool UploadSong(const std::string& path, int slot, unsigned timeoutMs);

    // Wire format.
    /// Writes the header, the end byte and the checksum around the command
    /// byte and encoded payload a caller put at offsets 8 to length - 4.
    static void BuildMessage(std::uint8_t* buffer, int length);
    /// Builds a whole message: command, the payload encoded two bytes each.
    static std::vector<std::uint8_t> MakeMessage(std::uint8_t command, const std::uint8_t* payload,
                                                 int count);
    /// Checks header, end byte and checksum (answering a bad checksum) and
    /// decodes the payload into s_pPayload.
    static bool VerifyMessage(const std::uint8_t* message, int length);
    /// Whether `message` is a whole instrument message with a right checksum.
    /// Looks at nothing else and answers nothing (any thread).
    static bool IsIntact(const std::uint8_t* message, int length);
    static void SendReply(std::uint8_t command, bool ok);
    static void OnReceive(const std::uint8_t* message, int length);
    /// Waits until s_nState is `target` or `timeoutMs` has passed, sleeping
    /// in the EventPump.
    static void WaitForState(unsigned timeoutMs, int target);

    // Process-wide protocol state.
    static std::atomic<int> s_nState;
    static std::unique_ptr<std::uint8_t[]> s_pPayload;
    /// Number of payload bytes decoded into s_pPayload by the last message.
    static int s_nPayloadLength;
    static std::unique_ptr<char[]> s_pDeviceName;
    static std::unique_ptr<char[]> s_pSlotName;
    static std::vector<std::string> s_SongNames;
    /// Per slot of s_SongNames: the instrument gave it no name (a free slot).
    static std::vector<bool> s_SlotFree;
    /// Guards s_SongNames and s_SlotFree: the input thread appends while a
    /// list is read, and a new list empties them while a late name may still
    /// arrive.
    static std::mutex s_SongNamesLock;
    static std::atomic<bool> s_bIdle;

  private:
    static bool HasFrame(const std::uint8_t* message, int length);
    static bool ChecksumMatches(const std::uint8_t* message, int length);
    static bool CheckMessage(const std::uint8_t* message, int length);
    static void Decode(const std::uint8_t* message, int length);
    static void SetState(int from, int to);
    static void OnConnectReply(std::uint8_t status);
    static void OnSlotNameReply(std::uint8_t status);
    static int StatusState(std::uint8_t status, int ok, int checksum, int fail);
    static bool SendRequest(std::uint8_t command, std::uint8_t value, bool acknowledged);
    static bool ReadSongFile(const std::string& path, std::vector<std::uint8_t>& song);
    static bool SendSongData(const std::vector<std::uint8_t>& song, unsigned timeoutMs);
    static bool FetchSong(std::uint8_t slot, std::vector<std::uint8_t>& song, unsigned timeoutMs);
    static bool FetchBlocks(std::vector<std::uint8_t>& song, std::uint32_t blocks,
                            unsigned timeoutMs);
    static bool WriteSongFile(const std::string& path, const std::vector<std::uint8_t>& song);
};

}  // namespace velnor
