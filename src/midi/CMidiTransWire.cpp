// The instrument's message layout and the receive state machine. OnReceive and
// everything it calls run on the MIDI input thread.

#include <algorithm>
#include <chrono>
#include <cstring>
#include <string>

#include "common/EventPump.h"
#include "common/Utf8Text.h"
#include "midi/CMidiDevice.h"
#include "midi/CMidiTrans.h"

namespace velnor {

namespace {

constexpr std::uint8_t kHeader[8] = {0xF0, 0x00, 0x1E, 0x2D, 0x55, 0x52, 0x53, 0x57};
constexpr std::uint8_t kSysExEnd = 0xF7;
constexpr int kAckLength = 10;

/// Sum modulo 256 of the bytes from offset 1 up to the byte before the checksum.
std::uint8_t Checksum(const std::uint8_t* message, int length) {
    unsigned sum = 0;
    for (int i = 1; i <= length - 4; ++i) sum += message[i];
    return static_cast<std::uint8_t>(sum & 0xFF);
}

bool IsWaitingState(int state) {
    switch (state) {
        case TS_CONNECT_WAIT:
        case TS_LIST_WAIT:
        case TS_HEADER_WAIT:
        case TS_DATA_WAIT:
        case TS_FETCH_WAIT:
        case TS_BLOCK_WAIT:
        case TS_DELETE_WAIT:
            return true;
        default:
            return false;
    }
}

std::uint8_t ExpectedCommand(int state) {
    switch (state) {
        case TS_CONNECT_WAIT:
            return CMD_CONNECT;
        case TS_LIST_WAIT:
            return CMD_SONG_LIST;
        case TS_HEADER_WAIT:
        case TS_DATA_WAIT:
            return CMD_SONG_WRITE;
        case TS_FETCH_WAIT:
        case TS_BLOCK_WAIT:
            return CMD_SONG_READ;
        default:
            return CMD_SONG_DELETE;
    }
}

/// Whether the checksum complaint about a message with `command` may go out.
/// The complaint is a 14-byte message with the command and status 2, which on
/// the wire is also a request: for 15h it reads "delete slot 2", so a corrupted
/// delete reply must never be answered (the delete then times out and the slot
/// list shows the truth). For 14h it reads "read slot 2"; the instrument takes
/// it as "send the last reply again" only while it serves a read, so it goes
/// out only while an upload waits for the read reply or a block.
bool ComplaintIsSafe(std::uint8_t command, int state) {
    if (command == CMD_SONG_DELETE) return false;
    if (command == CMD_SONG_READ) return state == TS_FETCH_WAIT || state == TS_BLOCK_WAIT;
    return true;
}

/// Copies a name of `announced` bytes from payload offset 3 into a 100-byte
/// buffer: cut to the bytes the payload really holds and to 99 characters, so
/// the buffer always ends with a NUL.
void StoreName(char* buffer, const std::uint8_t* payload, int payloadLength, int announced) {
    std::memset(buffer, 0, NAME_BUFFER_SIZE);
    int n = std::min({announced, payloadLength - 3, NAME_BUFFER_SIZE - 1});
    if (n > 0) std::memcpy(buffer, payload + 3, static_cast<std::size_t>(n));
}

}  // namespace

std::string NamelessSlotName(std::size_t slot) {
    return "Slot " + std::to_string(slot) + ".mid";
}

std::atomic<int> CMidiTrans::s_nState{TS_UNEXPECTED};
std::unique_ptr<std::uint8_t[]> CMidiTrans::s_pPayload{new std::uint8_t[PAYLOAD_BUFFER_SIZE]()};
int CMidiTrans::s_nPayloadLength = 0;
std::unique_ptr<char[]> CMidiTrans::s_pDeviceName{new char[NAME_BUFFER_SIZE]()};
std::unique_ptr<char[]> CMidiTrans::s_pSlotName{new char[NAME_BUFFER_SIZE]()};
std::vector<std::string> CMidiTrans::s_SongNames;
std::vector<bool> CMidiTrans::s_SlotFree;
std::mutex CMidiTrans::s_SongNamesLock;
std::atomic<bool> CMidiTrans::s_bIdle{true};

void CMidiTrans::BuildMessage(std::uint8_t* buffer, int length) {
    if (!buffer || length < MSG_OVERHEAD) return;
    std::memcpy(buffer, kHeader, sizeof kHeader);
    buffer[length - 1] = kSysExEnd;
    std::uint8_t sum = Checksum(buffer, length);
    buffer[length - 3] = sum & 0x7F;
    buffer[length - 2] = sum >> 7;
}

std::vector<std::uint8_t> CMidiTrans::MakeMessage(std::uint8_t command, const std::uint8_t* payload,
                                                  int count) {
    std::vector<std::uint8_t> message(MSG_OVERHEAD + 2 * static_cast<std::size_t>(count));
    message[MSG_COMMAND] = command;
    for (int i = 0; i < count; ++i) {
        message[MSG_PAYLOAD + 2 * i] = payload[i] & 0x7F;
        message[MSG_PAYLOAD + 2 * i + 1] = payload[i] >> 7;
    }
    BuildMessage(message.data(), static_cast<int>(message.size()));
    return message;
}

bool CMidiTrans::HasFrame(const std::uint8_t* message, int length) {
    if (!message || length < MSG_OVERHEAD) return false;
    if (std::memcmp(message, kHeader, sizeof kHeader) != 0) return false;
    if (message[length - 1] != kSysExEnd) return false;
    // The instrument's command bytes are 7-bit; any other is not its message,
    // and a complaint repeating it would break the SysEx frame.
    return (message[MSG_COMMAND] & 0x80) == 0;
}

bool CMidiTrans::ChecksumMatches(const std::uint8_t* message, int length) {
    unsigned expected = (message[length - 3] | (message[length - 2] << 7)) & 0xFF;
    return Checksum(message, length) == expected;
}

bool CMidiTrans::IsIntact(const std::uint8_t* message, int length) {
    return HasFrame(message, length) && ChecksumMatches(message, length);
}

bool CMidiTrans::CheckMessage(const std::uint8_t* message, int length) {
    if (!HasFrame(message, length)) return false;
    if (!ChecksumMatches(message, length)) {
        const std::uint8_t command = message[MSG_COMMAND];
        if (ComplaintIsSafe(command, s_nState.load(std::memory_order_acquire)))
            SendReply(command, false);
        return false;
    }
    return (length - MSG_OVERHEAD) / 2 <= PAYLOAD_BUFFER_SIZE;
}

void CMidiTrans::Decode(const std::uint8_t* message, int length) {
    std::uint8_t* payload = s_pPayload.get();
    int count = (length - MSG_OVERHEAD) / 2;
    for (int i = 0; i < count; ++i)
        payload[i] = static_cast<std::uint8_t>(message[MSG_PAYLOAD + 2 * i] |
                                               (message[MSG_PAYLOAD + 2 * i + 1] << 7));
    s_nPayloadLength = count;
}

bool CMidiTrans::VerifyMessage(const std::uint8_t* message, int length) {
    if (!CheckMessage(message, length) || !s_pPayload) return false;
    Decode(message, length);
    return true;
}

void CMidiTrans::SendReply(std::uint8_t command, bool ok) {
    CMidiDevice* device = CMidiDevice::Current();
    // Inside a SysEx message every byte is 7-bit.
    if (!device || (command & 0x80)) return;
    std::uint8_t status = ok ? ST_OK : ST_CHECKSUM;
    std::vector<std::uint8_t> reply = MakeMessage(command, &status, 1);
    device->SendPacket(reply.data(), static_cast<int>(reply.size()));
}

void CMidiTrans::SetState(int from, int to) {
    // A reply moves on only the wait it was judged against, so a slow reply
    // cannot overwrite the state of an operation that has started since.
    s_nState.compare_exchange_strong(from, to, std::memory_order_acq_rel);
    GetEventPump().Wake();
}

int CMidiTrans::StatusState(std::uint8_t status, int ok, int checksum, int fail) {
    if (status == ST_OK) return ok;
    if (status == ST_CHECKSUM) return checksum;
    return fail;
}

void CMidiTrans::OnConnectReply(std::uint8_t status) {
    if (status == ST_OK) {
        // The name length sits at payload offset 2; without it there is no name.
        if (s_nPayloadLength < 3 || !s_pDeviceName) return;
        StoreName(s_pDeviceName.get(), s_pPayload.get(), s_nPayloadLength, s_pPayload[2]);
        SetState(TS_CONNECT_WAIT, TS_CONNECT_OK);
        return;
    }
    SetState(TS_CONNECT_WAIT, status == ST_CHECKSUM ? TS_CONNECT_CHECKSUM : TS_CONNECT_FAIL);
}

void CMidiTrans::OnSlotNameReply(std::uint8_t status) {
    if (status == ST_LIST_END) {
        SetState(TS_LIST_WAIT, TS_LIST_DONE);
        return;
    }
    // Any other status than a name changes nothing; the list then times out.
    if (status != ST_OK || s_nPayloadLength < 3 || !s_pSlotName) return;
    const std::uint8_t* p = s_pPayload.get();
    {
        std::lock_guard<std::mutex> lock(s_SongNamesLock);
        if (p[1] == s_SongNames.size()) {
            StoreName(s_pSlotName.get(), p, s_nPayloadLength, p[2]);
            const bool bFree = p[2] == 0;
            std::string name = bFree ? std::string(kEmptySlot) : NameAsUtf8(s_pSlotName.get());
            if (name.empty()) name = NamelessSlotName(s_SongNames.size());
            s_SongNames.push_back(std::move(name));
            s_SlotFree.push_back(bFree);
        } else {
            SetState(TS_LIST_WAIT, TS_LIST_ORDER);
            return;
        }
    }
    SendReply(CMD_SONG_LIST, true);  // asks for the next name
}

void CMidiTrans::OnReceive(const std::uint8_t* message, int length) {
    if (!message) return;
    if (length == kAckLength && message[MSG_COMMAND] == CMD_ACK) {
        CMidiDevice::SignalAck();
        return;
    }
    const int state = s_nState.load(std::memory_order_acquire);
    if (!IsWaitingState(state)) {
        // Nobody waits: a bad checksum is still answered, nothing else changes
        // (and the payload a finished operation may be reading stays as it is).
        CheckMessage(message, length);
        return;
    }
    if (!VerifyMessage(message, length)) return;
    if (message[MSG_COMMAND] != ExpectedCommand(state)) {
        SetState(state, TS_UNEXPECTED);
        return;
    }
    if (state == TS_BLOCK_WAIT) {
        SetState(state, TS_BLOCK_OK);  // the operation checks the block itself
        return;
    }
    if (s_nPayloadLength < 1) return;  // a reply without its status byte is ignored
    const std::uint8_t status = s_pPayload[0];
    switch (state) {
        case TS_CONNECT_WAIT:
            OnConnectReply(status);
            break;
        case TS_LIST_WAIT:
            OnSlotNameReply(status);
            break;
        case TS_HEADER_WAIT:
            SetState(state,
                     status == ST_NO_CAPACITY
                         ? TS_HEADER_NO_CAPACITY
                         : StatusState(status, TS_HEADER_OK, TS_HEADER_CHECKSUM, TS_HEADER_FAIL));
            break;
        case TS_DATA_WAIT:
            SetState(state, StatusState(status, TS_DATA_OK, TS_DATA_CHECKSUM, TS_DATA_FAIL));
            break;
        case TS_FETCH_WAIT:
            SetState(state, StatusState(status, TS_FETCH_OK, TS_FETCH_CHECKSUM, TS_FETCH_FAIL));
            break;
        default:
            SetState(state, StatusState(status, TS_DELETE_OK, TS_DELETE_CHECKSUM, TS_DELETE_FAIL));
            break;
    }
}

void CMidiTrans::WaitForState(unsigned timeoutMs, int target) {
    using Clock = EventPump::Clock;
    const auto t0 = Clock::now();
    const auto deadline = t0 + std::chrono::milliseconds(timeoutMs) + std::chrono::milliseconds(1);
    PumpPendingMessages();
    if (s_nState.load(std::memory_order_acquire) == target) return;
    for (;;) {
        auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t0);
        if (static_cast<unsigned long long>(elapsed.count()) > timeoutMs) return;
        // Sleeps until the input thread wakes us after a state change, an event
        // arrives, or the time runs out.
        GetEventPump().WaitUntil(deadline);
        PumpPendingMessages();
        if (s_nState.load(std::memory_order_acquire) == target) return;
    }
}

}  // namespace velnor
