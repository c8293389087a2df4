// Writes the seed corpus of the receive path's fuzzer (fuzz/corpus/receive):
// every reply of the instrument in the state that waits for it, whole, split
// into chunks, and handed straight to the receive handler.
// make_receive_seeds FOLDER
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "ReceiveFuzz.h"
#include "midi/CMidiTrans.h"
#include "support/FakeMidiPlatform.h"

using namespace velnor;
using velnor::testing::AckMessage;
using velnor::testing::Bytes;
using velnor::testing::DeviceMessage;

namespace {

struct Reply {
    const char* name;
    int state;
    std::vector<Bytes> messages;
};

Bytes Named(Bytes payload, const std::string& name) {
    payload.insert(payload.end(), name.begin(), name.end());
    return payload;
}

Bytes BadChecksum(Bytes message) {
    message[message.size() - 3] ^= 0x01;
    return message;
}

Bytes Block(std::uint32_t index, int count) {
    Bytes p = {
        static_cast<std::uint8_t>(index),     0, 0, 0, static_cast<std::uint8_t>(count & 0xFF),
        static_cast<std::uint8_t>(count >> 8)};
    for (int i = 0; i < count; ++i) p.push_back(static_cast<std::uint8_t>(i * 7));
    return DeviceMessage(CMD_SONG_READ, p);
}

std::vector<Reply> Replies() {
    Bytes unended(1999, 0x00);
    unended[0] = 0xF0;
    return {
        {"ack", TS_DATA_WAIT, {AckMessage()}},
        {"connect-ok", TS_CONNECT_WAIT, {DeviceMessage(CMD_CONNECT, Named({0, 0, 4}, "Keys"))}},
        {"connect-no-name", TS_CONNECT_WAIT, {DeviceMessage(CMD_CONNECT, {0, 0, 0})}},
        {"connect-long-name",
         TS_CONNECT_WAIT,
         {DeviceMessage(CMD_CONNECT, Named({0, 0, 250}, std::string(120, 'n')))}},
        {"connect-checksum", TS_CONNECT_WAIT, {DeviceMessage(CMD_CONNECT, {ST_CHECKSUM})}},
        {"connect-fail", TS_CONNECT_WAIT, {DeviceMessage(CMD_CONNECT, {5})}},
        {"connect-bad-sum",
         TS_CONNECT_WAIT,
         {BadChecksum(DeviceMessage(CMD_CONNECT, Named({0, 0, 4}, "Keys")))}},
        {"connect-wrong-command", TS_CONNECT_WAIT, {DeviceMessage(CMD_SONG_LIST, {0})}},
        {"list",
         TS_LIST_WAIT,
         {DeviceMessage(CMD_SONG_LIST, Named({0, 0, 3}, "One")),
          DeviceMessage(CMD_SONG_LIST, {0, 1, 0}),
          DeviceMessage(CMD_SONG_LIST, Named({0, 2, 5}, "Three")),
          DeviceMessage(CMD_SONG_LIST, {ST_LIST_END})}},
        {"list-order",
         TS_LIST_WAIT,
         {DeviceMessage(CMD_SONG_LIST, Named({0, 0, 3}, "One")),
          DeviceMessage(CMD_SONG_LIST, Named({0, 2, 5}, "Three"))}},
        {"list-other-status", TS_LIST_WAIT, {DeviceMessage(CMD_SONG_LIST, {3})}},
        {"header-ok", TS_HEADER_WAIT, {DeviceMessage(CMD_SONG_WRITE, {ST_OK})}},
        {"header-checksum", TS_HEADER_WAIT, {DeviceMessage(CMD_SONG_WRITE, {ST_CHECKSUM})}},
        {"header-no-capacity", TS_HEADER_WAIT, {DeviceMessage(CMD_SONG_WRITE, {ST_NO_CAPACITY})}},
        {"header-fail", TS_HEADER_WAIT, {DeviceMessage(CMD_SONG_WRITE, {9})}},
        {"data-ok", TS_DATA_WAIT, {DeviceMessage(CMD_SONG_WRITE, {ST_OK})}},
        {"data-checksum", TS_DATA_WAIT, {DeviceMessage(CMD_SONG_WRITE, {ST_CHECKSUM})}},
        {"data-fail", TS_DATA_WAIT, {DeviceMessage(CMD_SONG_WRITE, {9})}},
        {"fetch-ok",
         TS_FETCH_WAIT,
         {DeviceMessage(CMD_SONG_READ, {ST_OK, 0x2C, 0x01, 0, 0, 2, 0, 0, 0})}},
        {"fetch-checksum", TS_FETCH_WAIT, {DeviceMessage(CMD_SONG_READ, {ST_CHECKSUM})}},
        {"fetch-fail", TS_FETCH_WAIT, {DeviceMessage(CMD_SONG_READ, {1})}},
        {"fetch-bad-sum", TS_FETCH_WAIT, {BadChecksum(DeviceMessage(CMD_SONG_READ, {ST_OK}))}},
        {"block-full", TS_BLOCK_WAIT, {Block(0, 256)}},
        {"block-last", TS_BLOCK_WAIT, {Block(1, 44)}},
        {"delete-ok", TS_DELETE_WAIT, {DeviceMessage(CMD_SONG_DELETE, {ST_OK})}},
        {"delete-checksum", TS_DELETE_WAIT, {DeviceMessage(CMD_SONG_DELETE, {ST_CHECKSUM})}},
        {"delete-fail", TS_DELETE_WAIT, {DeviceMessage(CMD_SONG_DELETE, {4})}},
        {"delete-bad-sum", TS_DELETE_WAIT, {BadChecksum(DeviceMessage(CMD_SONG_DELETE, {ST_OK}))}},
        {"idle-reply",
         TS_CONNECT_OK,
         {BadChecksum(DeviceMessage(CMD_SONG_WRITE, {ST_OK})), DeviceMessage(CMD_CONNECT, {0})}},
        // A command byte that is not 7-bit, with a wrong checksum.
        {"status-command",
         TS_HEADER_WAIT,
         {{0xF0, 0x00, 0x1E, 0x2D, 0x55, 0x52, 0x53, 0x57, 0xF7, 0xF7, 0xF7, 0xF7}}},
        // A message that never ends, then an acknowledgement.
        {"unended-then-ack", TS_DATA_WAIT, {unended, AckMessage()}},
    };
}

void Write(const std::filesystem::path& file, const Bytes& bytes) {
    std::ofstream(file, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_receive_seeds FOLDER\n");
        return 2;
    }
    const std::filesystem::path dir = argv[1];
    std::filesystem::create_directories(dir);
    int count = 0;
    for (const Reply& reply : Replies()) {
        Bytes whole = {fuzz::StartByte(reply.state)};
        Bytes split = whole;
        Bytes direct = whole;
        for (const Bytes& m : reply.messages) {
            fuzz::AppendRecord(whole, fuzz::kThroughPort, m);
            fuzz::AppendRecord(direct, 0, m);
            // In three chunks, as a driver may hand over a long message.
            const std::size_t a = m.size() / 3, b = 2 * m.size() / 3;
            fuzz::AppendRecord(split, fuzz::kThroughPort, Bytes(m.begin(), m.begin() + a));
            fuzz::AppendRecord(split, fuzz::kThroughPort, Bytes(m.begin() + a, m.begin() + b));
            fuzz::AppendRecord(split, fuzz::kThroughPort, Bytes(m.begin() + b, m.end()));
        }
        Write(dir / (std::string(reply.name) + ".whole"), whole);
        Write(dir / (std::string(reply.name) + ".split"), split);
        Write(dir / (std::string(reply.name) + ".direct"), direct);
        count += 3;
    }
    // Half a reply, the input started again, then the whole reply.
    const Bytes reply = DeviceMessage(CMD_SONG_WRITE, {ST_OK});
    Bytes restart = {fuzz::StartByte(TS_HEADER_WAIT)};
    fuzz::AppendRecord(restart, fuzz::kThroughPort, Bytes(reply.begin(), reply.begin() + 6));
    fuzz::AppendRecord(restart, fuzz::kThroughPort | fuzz::kRestartInput, reply);
    Write(dir / "restart-mid-message.whole", restart);
    std::printf("%d seeds written to %s\n", count + 1, dir.string().c_str());
    return 0;
}
