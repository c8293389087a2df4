#pragma once

#include <functional>
#include <string>
#include <vector>

#include "common/Prompter.h"
#include "workflows/DeviceOperations.h"
#include "workflows/SlotSelection.h"

namespace velnor {

/// The Download pane's progress bar (CXProgressCtrl) as the workflow drives
/// it. Positions and bounds are plain ints: a big song's maximum does not fit
/// in 16 bits and must not be cut to them.
class ProgressBar {
  public:
    virtual ~ProgressBar() = default;
    virtual void SetRange(int nLower, int nUpper) = 0;
    virtual int Lower() const = 0;
    virtual int Upper() const = 0;
    virtual void SetStep(int nStep) = 0;
    /// Advances the position by the step.
    virtual void StepIt() = 0;
    virtual void SetPos(int nPos) = 0;
    virtual int GetPos() const = 0;
    virtual void Show() = 0;
    virtual void Hide() = 0;
};

/// Song bytes per progress step: the song data carries each byte as two wire
/// bytes, 46 wire bytes to an acknowledged packet.
inline constexpr long long kBytesPerStep = 23;
/// While a transfer runs the bar is held below 99 percent.
inline constexpr double kProgressHold = 0.98;
/// The time-out the transfers are given, in ms.
inline constexpr unsigned kTransferTimeoutMs = 200;

/// The progress maximum of a song of `nLength` bytes: one step for the song
/// header, one per data packet, and one to spare.
int ProgressMaximum(long long nLength);

/// What the user chose for a Download, as the panes show it.
struct DownloadChoice {
    /// Column-0 texts of the selected repository rows, top row first.
    std::vector<std::string> files;
    /// The repository folder (m_strRepositoryPath).
    std::string repositoryFolder;
    /// Every slot row, in row order (row index = slot number).
    std::vector<SlotEntry> slotRows;
    /// The selected slot rows, in any order.
    std::vector<int> selectedSlots;
};

/// The Download command. Does nothing unless connected, with a port layer
/// and idle. Installs the progress handler (OnTransferProgress on `bar`; the
/// bar must outlive the device's use of it), then decides from the choice:
/// one file only ("Select one file to download!"), a slot list with rows
/// ("The capacity of current divice is not enough!"), a selected slot
/// ("Overwrite?" when a selected slot holds a song) or else the single free
/// slot ("Using empty slot?", "Select slot first!"), and runs DownloadFiles.
void OnDownload(DeviceOperations& device, Prompter& prompter, ProgressBar& bar,
                const DownloadChoice& choice, const std::function<void()>& refreshSlotList);

/// Sends each file into the next slot whose mark in `slots` is `marker`
/// (Selected, or Free when no slot was selected), reports each
/// outcome, then hides the bar, disables progress and calls
/// `refreshSlotList`. A file that cannot be opened is reported as
/// "<name>  cannot be opened!": nothing is sent for it and the command ends
/// there, the bar hidden and progress disabled, without the reload.
///
/// A file the song rule refuses gets the rule's message, as Copy Up shows it;
/// nothing is sent for it and the batch goes on with the next file.
void DownloadFiles(DeviceOperations& device, Prompter& prompter, ProgressBar& bar,
                   const std::vector<std::string>& files, const std::vector<SlotMark>& slots,
                   const std::string& folder, SlotMark marker,
                   const std::function<void()>& refreshSlotList);

/// One acknowledged packet: steps the bar and holds it at 98 percent.
void OnTransferProgress(ProgressBar& bar);

}  // namespace velnor
