#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace velnor::instrument {

/// How the virtual instrument is attached. Each direction is a serial link of
/// its own: a message occupies it for TransferTime() and the next one queues
/// behind it.
enum class Link {
    None,  ///< replies at once
    Usb,   ///< USB MIDI: up to 48 System Exclusive bytes per 1 ms frame
    Din,   ///< the 31250-baud MIDI wire: 320 microseconds per byte
};

using Micros = std::chrono::microseconds;

/// Name used by VELNOR_INSTRUMENT_LINK and --link: "none", "usb", "din".
const char* LinkName(Link link);
std::optional<Link> ParseLink(const std::string& text);

/// The link named by the environment variable VELNOR_INSTRUMENT_LINK, `usb`
/// when it is unset or names no link.
Link LinkFromEnvironment();

/// Time one message of `bytes` bytes occupies a direction of the link.
Micros TransferTime(Link link, std::size_t bytes);

/// When a message of `bytes` bytes that may start crossing at `start` has
/// arrived. USB moves data in 1 ms frames counted from `epoch`: a message
/// goes in the frame it starts in and arrives at the end of its last frame,
/// so a prompt answer costs whole frames and never frames plus the sender's
/// delay. The serial wire carries each byte as soon as the line is free.
std::chrono::steady_clock::time_point ArrivalTime(Link link,
                                                  std::chrono::steady_clock::time_point epoch,
                                                  std::chrono::steady_clock::time_point start,
                                                  std::size_t bytes);

/// The least time the link allows for the program to download a song of
/// `songBytes` bytes (song header and its reply, then the song data in
/// acknowledged 48-byte packets and its reply), with an instrument that
/// answers at once.
Micros MinimumDownloadTime(Link link, std::uint32_t songBytes);

/// The least time for uploading a song of `songBytes` bytes: the read request
/// and its reply, then one next request and one 256-byte block per block.
Micros MinimumUploadTime(Link link, std::uint32_t songBytes);

}  // namespace velnor::instrument
