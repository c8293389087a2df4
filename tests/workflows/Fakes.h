#pragma once

#include <unistd.h>

#include <algorithm>
#include <deque>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "common/ScriptedPrompter.h"
#include "support/SongOfLength.h"
#include "workflows/Connection.h"
#include "workflows/DeviceOperations.h"
#include "workflows/Download.h"

namespace velnor::test {

/// Slot rows from their texts; here "Empty" stands for a free slot.
inline std::vector<SlotEntry> Slots(const std::vector<std::string>& texts) {
    std::vector<SlotEntry> slots;
    for (const std::string& text : texts) slots.push_back({text, text == kEmptySlot});
    return slots;
}

/// The names of slot rows.
inline std::vector<std::string> Names(const std::vector<SlotEntry>& slots) {
    std::vector<std::string> names;
    for (const SlotEntry& slot : slots) names.push_back(slot.name);
    return names;
}

/// One log shared by the fakes, so a test sees the order of questions,
/// messages and device calls across them.
using Log = std::vector<std::string>;

/// A prompter that also writes every text into the shared log.
class LoggingPrompter : public ScriptedPrompter {
  public:
    explicit LoggingPrompter(Log& log) : m_log(log) {}
    PromptAnswer Ask(const std::string& text, PromptButtons buttons, const std::string& caption,
                     PromptIcon icon) override {
        m_log.push_back((buttons == PromptButtons::Ok ? "show " : "ask ") + text);
        return ScriptedPrompter::Ask(text, buttons, caption, icon);
    }
    using Prompter::Ask;

  private:
    Log& m_log;
};

/// The instrument as the workflows see it: records every call and answers
/// from scripted results. DownloadSong reports `downloadPackets`
/// acknowledged packets to the progress handler while progress is enabled;
/// a successful UploadSong writes `uploadContent` to the path.
class FakeDevice : public DeviceOperations {
  public:
    explicit FakeDevice(Log& log) : m_log(log) {}

    bool PortLayerExists() const override { return bLayer; }
    bool IsIdle() const override { return bIdle; }
    bool OpenPorts(int nIn, int nOut) override {
        m_log.push_back("OpenPorts " + std::to_string(nIn) + " " + std::to_string(nOut));
        return bOpenResult;
    }
    bool Connect(std::string& name) override {
        m_log.push_back("Connect");
        if (bConnectResult) name = deviceName;
        return bConnectResult;
    }
    bool ReadSongList(std::vector<SlotEntry>& slots) override {
        m_log.push_back("ReadSongList");
        slots.clear();
        if (bListResult) slots = Slots(slotNames);
        return bListResult;
    }
    bool DeleteSong(unsigned nSlot) override {
        m_log.push_back("DeleteSong " + std::to_string(nSlot));
        return true;
    }
    bool DownloadSong(const std::string& path, int nSlot, unsigned nTimeout) override {
        m_log.push_back("DownloadSong " + std::filesystem::path(path).filename().string() + " " +
                        std::to_string(nSlot) + " " + std::to_string(nTimeout));
        for (int i = 0; i < downloadPackets && bProgress && m_onPacket; ++i) {
            m_onPacket();
            if (afterPacket) afterPacket();
        }
        return bDownloadResult;
    }
    bool UploadSong(const std::string& path, int nSlot, unsigned nTimeout) override {
        m_log.push_back("UploadSong " + path + " " + std::to_string(nSlot) + " " +
                        std::to_string(nTimeout));
        bool bOk = uploadResults.empty() ? true : uploadResults.front();
        if (!uploadResults.empty()) uploadResults.pop_front();
        // Writes only inside the test's folder, so a regression that lets a
        // name climb out cannot touch the machine.
        const auto target = std::filesystem::path(path).lexically_normal();
        if (bOk && target.parent_path() == uploadFolder.lexically_normal()) {
            std::ofstream(target, std::ios::binary) << uploadContent;
        } else if (bOk) {
            m_log.push_back("outside " + target.string());
        }
        return bOk;
    }
    void SetProgressHandler(std::function<void()> onPacket) override {
        m_onPacket = std::move(onPacket);
    }
    void EnableProgress(bool bEnable) override {
        bProgress = bEnable;
        m_log.push_back(bEnable ? "EnableProgress 1" : "EnableProgress 0");
    }

    bool bLayer = true;
    bool bIdle = true;
    bool bOpenResult = true;
    bool bConnectResult = true;
    bool bListResult = true;
    bool bDownloadResult = true;
    bool bProgress = false;
    int downloadPackets = 0;
    std::function<void()> afterPacket;
    std::deque<bool> uploadResults;
    std::string uploadContent = "MThd";
    std::filesystem::path uploadFolder;
    std::string deviceName = "DEV";
    /// The slots' names ("Empty": a free slot).
    std::vector<std::string> slotNames;

  private:
    Log& m_log;
    std::function<void()> m_onPacket;
};

/// A progress bar that keeps its state and every position it took.
class FakeBar : public ProgressBar {
  public:
    void SetRange(int nLower, int nUpper) override {
        lower = nLower;
        upper = nUpper;
        // Like the real control: the position stays, kept inside the range.
        pos = std::min(std::max(pos, lower), upper);
    }
    int Lower() const override { return lower; }
    int Upper() const override { return upper; }
    void SetStep(int nStep) override { step = nStep; }
    void StepIt() override { SetPos(pos + step); }
    void SetPos(int nPos) override {
        if (nPos < lower || nPos > upper) return;  // as QProgressBar ignores it
        pos = nPos;
        positions.push_back(nPos);
    }
    int GetPos() const override { return pos; }
    void Show() override { bShown = true; }
    void Hide() override { bShown = false; }

    int lower = 0, upper = 100, step = 10, pos = 0;
    bool bShown = false;
    std::vector<int> positions;
};

/// A slot list widget that writes its changes into the shared log.
class FakeSlotList : public SlotListWidget {
  public:
    explicit FakeSlotList(Log& log) : m_log(log) {}
    void DeleteAllItems() override {
        rows.clear();
        m_log.push_back("DeleteAllItems");
    }
    void AddSlotItem(const SlotEntry& slot) override {
        rows.push_back(slot.name);
        free.push_back(slot.bFree);
    }
    std::vector<std::string> rows;
    std::vector<bool> free;

  private:
    Log& m_log;
};

/// A fresh folder under the temporary folder, removed afterwards.
class TempFolder {
  public:
    TempFolder() {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        path = std::filesystem::temp_directory_path() /
               ("velnor-workflows-" + std::string(info->test_suite_name()) + "-" + info->name() +
                "-" + std::to_string(::getpid()));
        std::filesystem::remove_all(path);
        std::filesystem::create_directories(path);
    }
    ~TempFolder() {
        std::error_code ec;
        std::filesystem::remove_all(path, ec);
    }
    void Write(const std::string& name, std::size_t nBytes) const {
        std::ofstream(path / name, std::ios::binary) << std::string(nBytes, 'x');
    }
    /// A song the repository accepts, of `nBytes` bytes (22, or 31 and more).
    void WriteSong(const std::string& name, std::size_t nBytes) const {
        const std::vector<std::uint8_t> song = velnor::testing::SongOfLength(nBytes);
        std::ofstream(path / name, std::ios::binary)
            .write(reinterpret_cast<const char*>(song.data()),
                   static_cast<std::streamsize>(song.size()));
    }
    std::string Read(const std::string& name) const {
        std::ifstream in(path / name, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    std::filesystem::path path;
};

}  // namespace velnor::test
