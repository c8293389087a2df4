#pragma once

#include <memory>

#include "midi/MidiPlatform.h"

/// The program's MIDI ports: the computer's real ports first, then the
/// virtual instrument ("Velnor Virtual Instrument"), so a user without an
/// instrument can try every command.
std::unique_ptr<velnor::MidiPlatform> ProgramPlatform();

/// Gives the port layer its platform and creates the process-wide instance
/// (one use, released by the first pane-held CMidiTrans at exit). The
/// platform must outlive the panes.
void StartPortLayer(velnor::MidiPlatform* platform);
