#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "instrument/InstrumentCodec.h"

namespace velnor::instrument {

/// A song held in one of the instrument's slots.
struct InstrumentSong {
    std::string name;
    Bytes data;
};

/// The three small songs a new instrument holds: a scale, a chord
/// progression and an arpeggio, each a format-0 Standard MIDI File with 120
/// ticks per quarter note and a track name.
std::vector<InstrumentSong> DemoSongs();

/// Builds a format-0, division-120 Standard MIDI File with one track named
/// `trackName` that plays `chords` one after another, each for `ticks` ticks
/// (the notes of a chord sound together).
Bytes MakeSong(const std::string& trackName, const std::vector<std::vector<std::uint8_t>>& chords,
               std::uint32_t ticks);

/// Text of the first track-name meta event (FF 03) of a Standard MIDI File;
/// empty when it has none or cannot be read that far.
std::string FirstTrackName(const Bytes& smf);

/// The name the instrument gives a received song: its track name cut to 12
/// characters followed by ".mid", or "SONG" + the two-digit slot number +
/// ".mid" when it has no track name.
std::string NameForReceivedSong(const Bytes& smf, unsigned slot);

}  // namespace velnor::instrument
