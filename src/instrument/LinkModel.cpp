#include "instrument/LinkModel.h"

#include <cstdlib>

namespace velnor::instrument {

namespace {
constexpr std::size_t kAckBytes = 10;
constexpr std::size_t kShortMessage = 14;  // requests and status replies
constexpr std::size_t kReadReply = 12 + 2 * 9;
constexpr std::size_t kHeaderMessage = 12 + 2 * 10;
constexpr std::size_t kBlockSize = 256;
}  // namespace

const char* LinkName(Link link) {
    switch (link) {
        case Link::None:
            return "none";
        case Link::Usb:
            return "usb";
        case Link::Din:
            return "din";
    }
    return "usb";
}

std::optional<Link> ParseLink(const std::string& text) {
    if (text == "none") return Link::None;
    if (text == "usb") return Link::Usb;
    if (text == "din") return Link::Din;
    return std::nullopt;
}

Link LinkFromEnvironment() {
    const char* value = std::getenv("VELNOR_INSTRUMENT_LINK");
    if (value == nullptr) return Link::Usb;
    return ParseLink(value).value_or(Link::Usb);
}

Micros TransferTime(Link link, std::size_t bytes) {
    switch (link) {
        case Link::None:
            return Micros(0);
        case Link::Usb:
            return Micros(1000 * ((bytes + 47) / 48));
        case Link::Din:
            // 10 bits per byte at 31250 baud.
            return Micros(320 * bytes);
    }
    return Micros(0);
}

std::chrono::steady_clock::time_point ArrivalTime(Link link,
                                                  std::chrono::steady_clock::time_point epoch,
                                                  std::chrono::steady_clock::time_point start,
                                                  std::size_t bytes) {
    if (link == Link::Usb && start >= epoch) {
        const auto frames = (start - epoch) / std::chrono::milliseconds(1);
        start = epoch + frames * std::chrono::milliseconds(1);
    }
    return start + TransferTime(link, bytes);
}

/// Time for one message sent by the program as acknowledged packets: each
/// packet crosses the link, then its acknowledgement comes back.
static Micros SendAcknowledged(Link link, std::size_t messageBytes) {
    Micros total(0);
    if (messageBytes <= 46) {
        return TransferTime(link, messageBytes) + TransferTime(link, kAckBytes);
    }
    // First packet: 47 bytes of the message plus a framing F7.
    total += TransferTime(link, 48) + TransferTime(link, kAckBytes);
    std::size_t rest = messageBytes - 47;
    while (rest > 0) {
        const std::size_t piece = rest < 46 ? rest : 46;
        rest -= piece;
        // A middle piece gets F0 and F7 around it; the last piece only F0.
        const std::size_t packet = rest > 0 ? piece + 2 : piece + 1;
        total += TransferTime(link, packet) + TransferTime(link, kAckBytes);
    }
    return total;
}

Micros MinimumDownloadTime(Link link, std::uint32_t songBytes) {
    const Micros header = SendAcknowledged(link, kHeaderMessage);
    const Micros data = SendAcknowledged(link, 12 + 2 * std::size_t(songBytes));
    // Each reply follows the acknowledgement of the last packet on the wire.
    return header + TransferTime(link, kShortMessage) + data + TransferTime(link, kShortMessage);
}

Micros MinimumUploadTime(Link link, std::uint32_t songBytes) {
    Micros total = SendAcknowledged(link, kShortMessage) + TransferTime(link, kReadReply);
    std::size_t rest = songBytes;
    while (rest > 0) {
        const std::size_t m = rest < kBlockSize ? rest : kBlockSize;
        rest -= m;
        total += TransferTime(link, kShortMessage) + TransferTime(link, kAckBytes) +
                 TransferTime(link, 12 + 2 * (6 + m));
    }
    return total;
}

}  // namespace velnor::instrument
