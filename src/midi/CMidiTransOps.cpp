// The transfer operations the panes call. They run on the UI thread, send
// through the port layer and wait for the instrument's reply in WaitForState.

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>
#include <mutex>

#include "common/Prompter.h"
#include "common/TemporaryFile.h"
#include "common/Utf8Path.h"
#include "common/Utf8Text.h"
#include "midi/CMidiDevice.h"
#include "midi/CMidiTrans.h"

namespace velnor {

namespace {

constexpr unsigned kListTimeoutMs = 1000;
constexpr unsigned kDeleteTimeoutMs = 1000;
constexpr int kSongHeaderSize = 10;
constexpr std::uint32_t kBlockSize = 256;
constexpr int kBlockDataOffset = 6;
constexpr int kFetchReplySize = 9;

std::function<void(bool)>& IdleObserver() {
    static std::function<void(bool)> s_observer;
    return s_observer;
}

/// FALSE while an operation runs; TRUE again on every way out.
class IdleGuard {
  public:
    IdleGuard() {
        CMidiTrans::s_bIdle.store(false);
        if (IdleObserver()) IdleObserver()(false);
    }
    ~IdleGuard() {
        CMidiTrans::s_bIdle.store(true);
        if (IdleObserver()) IdleObserver()(true);
    }
    IdleGuard(const IdleGuard&) = delete;
    IdleGuard& operator=(const IdleGuard&) = delete;
};

std::uint32_t ReadLe32(const std::uint8_t* p) {
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

void WriteLe32(std::uint8_t* p, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(value >> (8 * i));
}

bool AtState(int state) {
    return CMidiTrans::s_nState.load(std::memory_order_acquire) == state;
}

void EnterState(int state) {
    CMidiTrans::s_nState.store(state, std::memory_order_release);
}

}  // namespace

CMidiTrans::CMidiTrans() {
    // The first object destroyed frees the shared buffers; one made after that
    // (a new session of the command-line tool, a test) gets them back.
    if (!s_pPayload) s_pPayload.reset(new std::uint8_t[PAYLOAD_BUFFER_SIZE]());
    if (!s_pDeviceName) s_pDeviceName.reset(new char[NAME_BUFFER_SIZE]());
    if (!s_pSlotName) s_pSlotName.reset(new char[NAME_BUFFER_SIZE]());
}

CMidiTrans::~CMidiTrans() {
    CMidiDevice::Release();
    // The input thread may still use the shared buffers while the port layer
    // lives on (another owner holds it); once it is gone both ports are closed.
    if (CMidiDevice::Current()) return;
    s_pPayload.reset();
    s_pDeviceName.reset();
    s_pSlotName.reset();
}

bool CMidiTrans::SendRequest(std::uint8_t command, std::uint8_t value, bool acknowledged) {
    CMidiDevice* device = CMidiDevice::Current();
    if (!device) return false;
    std::vector<std::uint8_t> request = MakeMessage(command, &value, 1);
    int length = static_cast<int>(request.size());
    return acknowledged ? device->SendSysEx(request.data(), length)
                        : device->SendPacket(request.data(), length);
}

void CMidiTrans::SetIdleObserver(std::function<void(bool)> observer) {
    IdleObserver() = std::move(observer);
}

bool CMidiTrans::OpenPorts(int inputId, int outputId) {
    IdleGuard idle;
    CMidiDevice* device = CMidiDevice::Current();
    if (!device) return false;
    device->CloseInput();
    if (!device->OpenInput(inputId)) return false;
    device->CloseOutput();
    if (!device->OpenOutput(outputId)) {
        device->CloseInput();
        return false;
    }
    if (!device->StartInput()) {
        device->CloseOutput();
        device->CloseInput();
        return false;
    }
    return true;
}

bool CMidiTrans::Connect(std::string& deviceName) {
    IdleGuard idle;
    EnterState(TS_CONNECT_WAIT);
    SendRequest(CMD_CONNECT, 0, true);  // only the reply decides
    WaitForState(CONNECT_TIMEOUT_MS, TS_CONNECT_OK);
    if (!AtState(TS_CONNECT_OK) || !s_pDeviceName) return false;
    deviceName = NameAsUtf8(s_pDeviceName.get());
    return true;
}

bool CMidiTrans::ReadSongList(std::vector<std::string>& names) {
    std::vector<SlotEntry> slots;
    const bool bRead = ReadSongList(slots);
    names.clear();
    for (SlotEntry& slot : slots) names.push_back(std::move(slot.name));
    return bRead;
}

bool CMidiTrans::ReadSongList(std::vector<SlotEntry>& slots) {
    IdleGuard idle;
    slots.clear();
    {
        std::lock_guard<std::mutex> lock(s_SongNamesLock);
        s_SongNames.clear();
        s_SlotFree.clear();
    }
    EnterState(TS_LIST_WAIT);
    SendRequest(CMD_SONG_LIST, 1, true);
    // The whole list must arrive in this time; the instrument paces it.
    WaitForState(kListTimeoutMs, TS_LIST_DONE);
    if (!AtState(TS_LIST_DONE)) return false;
    std::lock_guard<std::mutex> lock(s_SongNamesLock);
    for (std::size_t i = 0; i < s_SongNames.size() && i < s_SlotFree.size(); ++i)
        slots.push_back({s_SongNames[i], s_SlotFree[i]});
    return true;
}

bool CMidiTrans::DeleteSong(unsigned slot) {
    if (slot > 255) return false;
    IdleGuard idle;
    EnterState(TS_DELETE_WAIT);
    SendRequest(CMD_SONG_DELETE, static_cast<std::uint8_t>(slot), true);
    WaitForState(kDeleteTimeoutMs, TS_DELETE_OK);
    return AtState(TS_DELETE_OK);
}

bool CMidiTrans::ReadSongFile(const std::string& name, std::vector<std::uint8_t>& song) {
    const std::filesystem::path path = PathFromUtf8(name);
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error)) return false;
    std::ifstream file(path, std::ios::binary);
    if (!file) return false;
    file.seekg(0, std::ios::end);
    std::streamoff size = file.tellg();
    // A song longer than MAX_SONG_LENGTH would not fit the instrument's
    // 32-bit length field in one message of sane size: refused unsent.
    if (size < 0 || static_cast<unsigned long long>(size) > MAX_SONG_LENGTH) return false;
    file.seekg(0, std::ios::beg);
    song.resize(static_cast<std::size_t>(size));
    if (size > 0 && !file.read(reinterpret_cast<char*>(song.data()), size)) return false;
    return file.gcount() == size || size == 0;
}

bool CMidiTrans::SendSongData(const std::vector<std::uint8_t>& song, unsigned timeoutMs) {
    const std::uint32_t length = static_cast<std::uint32_t>(song.size());
    EnterState(TS_DATA_WAIT);
    std::vector<std::uint8_t> message =
        MakeMessage(CMD_SONG_WRITE, song.data(), static_cast<int>(length));
    // The song data carries the sum of the raw song bytes, not of the wire bytes.
    unsigned sum = 0;
    for (std::uint8_t b : song) sum += b;
    const std::size_t end = message.size();
    message[end - 3] = sum & 0x7F;
    message[end - 2] = (sum & 0xFF) >> 7;
    if (CMidiDevice* device = CMidiDevice::Current())
        device->SendSysEx(message.data(), static_cast<int>(end));
    // The instrument may take the time-out for every started 1000 bytes.
    unsigned long long wait = static_cast<unsigned long long>(timeoutMs) * (length / 1000 + 1);
    WaitForState(static_cast<unsigned>(
                     std::min<unsigned long long>(wait, std::numeric_limits<unsigned>::max())),
                 TS_DATA_OK);
    return AtState(TS_DATA_OK);
}

bool CMidiTrans::DownloadSong(const std::string& path, int slot, unsigned timeoutMs) {
    if (!CMidiDevice::Current()) return false;
    // The slot travels in one byte: slot 256 would land in slot 0 and replace
    // its song, so a slot out of range is refused unsent.
    if (slot < 0 || slot > 255) return false;
    IdleGuard idle;
    std::vector<std::uint8_t> song;
    if (!ReadSongFile(path, song)) return false;  // nothing is sent

    EnterState(TS_HEADER_WAIT);
    std::uint8_t header[kSongHeaderSize] = {static_cast<std::uint8_t>(slot & 0xFF), 0};
    WriteLe32(header + 2, static_cast<std::uint32_t>(song.size()));
    WriteLe32(header + 6, 1);
    std::vector<std::uint8_t> message = MakeMessage(CMD_SONG_WRITE, header, kSongHeaderSize);
    if (CMidiDevice* device = CMidiDevice::Current())
        device->SendSysEx(message.data(), static_cast<int>(message.size()));
    WaitForState(timeoutMs, TS_HEADER_OK);
    if (!AtState(TS_HEADER_OK)) {
        if (AtState(TS_HEADER_NO_CAPACITY)) GetPrompter().Show("Capacity is not allowed!");
        return false;
    }
    if (!CMidiDevice::Current()) return false;
    return SendSongData(song, timeoutMs);
}

bool CMidiTrans::FetchBlocks(std::vector<std::uint8_t>& song, std::uint32_t blocks,
                             unsigned timeoutMs) {
    const std::uint64_t length = song.size();
    // The song is whole only when the blocks have carried every byte once, in
    // order: each block continues where the last one ended.
    std::uint64_t delivered = 0;
    for (std::uint32_t i = 0; i < blocks; ++i) {
        if (!CMidiDevice::Current()) return false;
        EnterState(TS_BLOCK_WAIT);
        SendRequest(CMD_SONG_READ, ST_OK, false);
        WaitForState(timeoutMs, TS_BLOCK_OK);
        if (!AtState(TS_BLOCK_OK)) return false;
        const std::uint8_t* p = s_pPayload.get();
        const int available = s_nPayloadLength - kBlockDataOffset;
        if (!p || available < 0 || ReadLe32(p) != i) return false;
        const std::uint32_t count = p[4] | (p[5] << 8);
        // A block must hold the bytes it announces and land inside the song.
        const std::uint64_t offset = static_cast<std::uint64_t>(kBlockSize) * i;
        if (count > kBlockSize || count > static_cast<std::uint32_t>(available) ||
            offset + count > length || (count > 0 && offset != delivered))
            return false;
        if (count > 0) std::memcpy(song.data() + offset, p + kBlockDataOffset, count);
        delivered += count;
    }
    return delivered == length;  // a short read would leave a tail of zeros
}

bool CMidiTrans::WriteSongFile(const std::string& name, const std::vector<std::uint8_t>& song) {
    // Written beside the target and renamed over it, so a failure never leaves
    // a partial song or spoils the file already there.
    return WriteFileSafely(PathFromUtf8(name), song.data(), song.size());
}

bool CMidiTrans::UploadSong(const std::string& path, int slot, unsigned timeoutMs) {
    if (!CMidiDevice::Current()) return false;
    IdleGuard idle;
    if (slot < 0 || slot > 255) return false;
    std::vector<std::uint8_t> song;
    if (!FetchSong(static_cast<std::uint8_t>(slot), song, timeoutMs)) {
        // Unless the instrument refused the read, it may still hold the
        // broken-off read open, and then it takes the next read of slot 0 or 2
        // for "next block" or "send that again": the wrong song would be
        // written. A connect request ends the read on its side first.
        const int state = s_nState.load();
        if (state != TS_FETCH_CHECKSUM && state != TS_FETCH_FAIL && CMidiDevice::Current()) {
            std::string name;
            Connect(name);
        }
        return false;
    }
    // One more next request tells the instrument the song has arrived.
    if (CMidiDevice::Current()) SendRequest(CMD_SONG_READ, ST_OK, false);
    return WriteSongFile(path, song);
}

bool CMidiTrans::FetchSong(std::uint8_t slot, std::vector<std::uint8_t>& song, unsigned timeoutMs) {
    EnterState(TS_FETCH_WAIT);
    SendRequest(CMD_SONG_READ, slot, true);
    WaitForState(timeoutMs, TS_FETCH_OK);
    if (!AtState(TS_FETCH_OK) || s_nPayloadLength < kFetchReplySize || !s_pPayload) return false;
    const std::uint32_t length = ReadLe32(s_pPayload.get() + 1);
    const std::uint32_t blocks = ReadLe32(s_pPayload.get() + 5);
    if (length > MAX_SONG_LENGTH) return false;
    song.assign(length, 0);
    return FetchBlocks(song, blocks, timeoutMs);
}

}  // namespace velnor
