// velnor-cli device commands: ports, find, slots, download, upload, delete, backup.
// Each runs in a DeviceSession: list the ports, install the receive handler,
// open the ports, connect, then the operation.
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <ostream>
#include <set>

#include "DeviceSession.h"
#include "Printable.h"
#include "common/TemporaryFile.h"
#include "common/Utf8Path.h"
#include "songs/SongConverter.h"
#include "songs/SongRule.h"
#include "stores/SongCopy.h"
#include "workflows/Upload.h"

namespace velnor::cli {

namespace fs = std::filesystem;

namespace {

constexpr unsigned kTransferTimeoutMs = 200;
/// The first packet of a message carries 47 bytes, every other one 46.
constexpr long long kFirstPacketBytes = 47;
constexpr long long kPacketBytes = 46;

/// Parses the options and checks the number of words; prints the usage line
/// and returns false when the command line does not fit.
bool Prepare(const Args& args, std::size_t words, const char* usage, DeviceOptions& options,
             std::ostream& err) {
    std::string error;
    if (!ParseDeviceOptions(args, options, error)) {
        err << "velnor-cli: " << error << "\n";
    } else if (options.words.size() == words) {
        return true;
    }
    err << "usage: velnor-cli " << usage << "\n";
    return false;
}

/// Reads a SLOT argument; says what it must be when it is not one.
bool SlotArgument(const std::string& word, int& slot, std::ostream& err) {
    if (ParseSlot(word, slot)) return true;
    err << "velnor-cli: SLOT is a number from 0 to 255\n";
    return false;
}

bool ReadWholeFile(const fs::path& path, std::string& bytes) {
    std::ifstream file(path, std::ios::binary);
    if (!file) return false;
    bytes.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    return !file.bad();
}

/// Connects and reads the slot list; 0 or the exit status.
int ConnectAndList(DeviceSession& session, std::string& device, std::vector<SlotEntry>& slots) {
    if (int status = session.OpenAndConnect(device)) return status;
    if (!session.Trans().ReadSongList(slots)) {
        session.Err("Connection error!");
        return 1;
    }
    return 0;
}

int RunPorts(const Args& args, std::ostream& out, std::ostream& err) {
    DeviceOptions options;
    if (!Prepare(args, 0, "ports [--link none|usb|din]", options, err)) return kExitUsage;
    DeviceSession session(options, err);
    if (int status = session.Start()) return status;
    const CMidiDevice& dev = session.Device();
    for (unsigned i = 0; i < dev.m_nInCount; ++i)
        out << "in\t" << dev.m_InPorts[i].m_nId << "\t" << Printable(dev.m_InPorts[i].m_strName)
            << "\n";
    for (unsigned i = 0; i < dev.m_nOutCount; ++i)
        out << "out\t" << dev.m_OutPorts[i].m_nId << "\t" << Printable(dev.m_OutPorts[i].m_strName)
            << "\n";
    return 0;
}

int RunFind(const Args& args, std::ostream& out, std::ostream& err) {
    DeviceOptions options;
    if (!Prepare(args, 0, "find [PORT OPTIONS]", options, err)) return kExitUsage;
    DeviceSession session(options, err);
    if (int status = session.Start()) return status;
    const std::vector<FoundInstrument> found = session.FindInstruments(false);
    for (const FoundInstrument& f : found)
        out << f.in.id << "\t" << Printable(f.in.name) << "\t" << f.out.id << "\t"
            << Printable(f.out.name) << "\t" << Printable(f.deviceName) << "\n";
    if (found.empty()) session.Err("velnor-cli: no instrument answered");
    return found.empty() ? 1 : 0;
}

int RunSlots(const Args& args, std::ostream& out, std::ostream& err) {
    DeviceOptions options;
    if (!Prepare(args, 0, "slots [PORT OPTIONS]", options, err)) return kExitUsage;
    DeviceSession session(options, err);
    if (int status = session.Start()) return status;
    std::string device;
    std::vector<SlotEntry> slots;
    if (int status = ConnectAndList(session, device, slots)) return status;
    out << "device\t" << Printable(device) << "\n";
    for (std::size_t i = 0; i < slots.size(); ++i)
        out << i << "\t" << Printable(slots[i].name) << "\n";
    return 0;
}

/// Reads the slot back and compares it with the file, byte for byte. The
/// song comes back into a new file of its own in the temporary folder.
bool VerifySlot(DeviceSession& session, const std::string& file, int slot) {
    std::string sent;
    if (!ReadWholeFile(PathFromUtf8(file), sent)) return false;
    std::error_code ec;
    const fs::path folder = fs::temp_directory_path(ec);
    if (ec) return false;
    CTemporaryFile back(folder);
    if (!back.Close()) return false;
    if (!session.Trans().UploadSong(Utf8FromPath(back.Path()), slot, kTransferTimeoutMs))
        return false;
    std::string received;
    return ReadWholeFile(back.Path(), received) && received == sent;
}

/// A converted song on its way into the instrument: a temporary file of its
/// own, removed when the command ends.
class ConvertedSong {
  public:
    /// Converts `file`; false, with the reason printed, when it cannot be.
    bool Make(const std::string& file, const std::string& name, std::ostream& err) {
        const SongConversion conversion = ConvertSongFile(file);
        if (conversion.status == ConversionStatus::Refused) {
            err << ConversionRefusalMessage(conversion, name) << "\n";
            return false;
        }
        std::error_code ec;
        m_file = std::make_unique<CTemporaryFile>(fs::temp_directory_path(ec));
        if (!m_file->Write(conversion.song.data(), conversion.song.size()) || !m_file->Close()) {
            err << name << ": no temporary file for the converted song\n";
            return false;
        }
        return true;
    }
    std::string Path() const { return Utf8FromPath(m_file->Path()); }

  private:
    std::unique_ptr<CTemporaryFile> m_file;  // removed with the object
};

int RunDownload(const Args& args, std::ostream& out, std::ostream& err) {
    DeviceOptions options;
    const char* usage = "download FILE SLOT [--verify] [--convert] [PORT OPTIONS]";
    if (!Prepare(args, 2, usage, options, err)) return kExitUsage;
    std::string file = options.words[0];
    const std::string name = Printable(Utf8FileName(file));
    int slot = 0;
    if (!SlotArgument(options.words[1], slot, err)) return kExitUsage;
    std::error_code ec;
    if (!fs::is_regular_file(PathFromUtf8(file), ec)) {
        err << name << "  cannot be opened!\n";
        return 1;
    }
    // --convert: the song that goes in is the file converted; the file stays as it is.
    ConvertedSong converted;
    if (options.convert) {
        if (!converted.Make(file, name, err)) return 1;
        file = converted.Path();
    }
    const fs::path path = PathFromUtf8(file);
    // Only what the repository would take goes into the instrument.
    const std::string refusal = SongRefusalMessage(file, name);
    if (!refusal.empty()) {
        err << refusal << "\n";
        return 1;
    }
    DeviceSession session(options, err);
    if (int status = session.Start()) return status;
    std::string device;
    if (int status = session.OpenAndConnect(device)) return status;

    const long long wire = 2 * static_cast<long long>(fs::file_size(path, ec)) + 12;
    const long long dataPackets = 1 + (wire - kFirstPacketBytes + kPacketBytes - 1) / kPacketBytes;
    session.BeginProgress(name, dataPackets + 1);  // and the song header's packet
    const bool done = session.Trans().DownloadSong(file, slot, kTransferTimeoutMs);
    session.EndProgress();
    if (!done) {
        session.Err(name + "  Download error!");
        return 1;
    }
    out << "Download successfully!\n";
    if (options.verify) {
        if (!VerifySlot(session, file, slot)) {
            session.Err("Verify failed!");
            return 1;
        }
        out << "Verified: slot " << slot << " holds the file byte for byte.\n";
    }
    return 0;
}

int RunUpload(const Args& args, std::ostream& out, std::ostream& err) {
    DeviceOptions options;
    if (!Prepare(args, 2, "upload SLOT FILE [PORT OPTIONS]", options, err)) return kExitUsage;
    int slot = 0;
    if (!SlotArgument(options.words[0], slot, err)) return kExitUsage;
    DeviceSession session(options, err);
    if (int status = session.Start()) return status;
    std::string device;
    std::vector<SlotEntry> slots;
    if (int status = ConnectAndList(session, device, slots)) return status;
    const std::string name = static_cast<std::size_t>(slot) < slots.size()
                                 ? Printable(slots[slot].name)
                                 : std::to_string(slot);
    if (!session.Trans().UploadSong(options.words[1], slot, kTransferTimeoutMs)) {
        session.Err(name + "  Upload error!");
        return 1;
    }
    out << "Upload successfully!\n";
    return 0;
}

int RunDelete(const Args& args, std::ostream& out, std::ostream& err) {
    DeviceOptions options;
    if (!Prepare(args, 1, "delete SLOT [PORT OPTIONS]", options, err)) return kExitUsage;
    int slot = 0;
    if (!SlotArgument(options.words[0], slot, err)) return kExitUsage;
    DeviceSession session(options, err);
    if (int status = session.Start()) return status;
    std::string device;
    if (int status = session.OpenAndConnect(device)) return status;
    if (!session.Trans().DeleteSong(static_cast<unsigned>(slot))) {
        session.Err(std::to_string(slot) + "  Delete error!");
        return 1;
    }
    out << "Deleted slot " << slot << "\n";
    return 0;
}

struct BackupCount {
    int saved = 0;
    int skipped = 0;
    int failed = 0;
};

/// Uploads one slot into `folder` under its name, as Upload names it.
void BackupSlot(DeviceSession& session, const fs::path& folder, const std::string& name, int slot,
                bool overwrite, std::set<std::u32string>& taken, BackupCount& count) {
    const std::string shown = Printable(name);
    if (!IsSafeSlotFileName(name)) {
        session.Err(shown + "  Upload error!");
        ++count.failed;
        return;
    }
    const fs::path path = folder / PathFromUtf8(name);
    std::error_code ec;
    // Two slots with one name, or names that differ only in case (one file
    // on a file system that ignores case): the first one's file is kept.
    if (!taken.insert(FoldedName(name)).second) {
        session.Err(shown + ": slot " + std::to_string(slot) + " has the same name, skipped");
        ++count.skipped;
        return;
    }
    if (fs::exists(fs::symlink_status(path, ec)) && !overwrite) {
        ++count.skipped;
        return;
    }
    if (!session.Trans().UploadSong(Utf8FromPath(path), slot, kTransferTimeoutMs)) {
        session.Err(shown + "  Upload error!");
        ++count.failed;
        return;
    }
    ++count.saved;
}

int RunBackup(const Args& args, std::ostream& out, std::ostream& err) {
    DeviceOptions options;
    if (!Prepare(args, 1, "backup DIR [--overwrite] [PORT OPTIONS]", options, err))
        return kExitUsage;
    const fs::path folder = PathFromUtf8(options.words[0]);
    std::error_code ec;
    fs::create_directories(folder, ec);
    if (!fs::is_directory(folder, ec)) {
        err << Printable(options.words[0]) << ": cannot be created\n";
        return 1;
    }
    DeviceSession session(options, err);
    if (int status = session.Start()) return status;
    std::string device;
    std::vector<SlotEntry> slots;
    if (int status = ConnectAndList(session, device, slots)) return status;
    BackupCount count;
    std::set<std::u32string> taken;
    for (std::size_t i = 0; i < slots.size(); ++i) {
        if (slots[i].bFree) continue;
        BackupSlot(session, folder, slots[i].name, static_cast<int>(i), options.overwrite, taken,
                   count);
    }
    out << "Backed up " << count.saved << (count.saved == 1 ? " song" : " songs") << ", skipped "
        << count.skipped << ", failed " << count.failed << "\n";
    return count.failed == 0 ? 0 : 1;
}

}  // namespace

std::vector<Command> DeviceCommands() {
    return {
        {"ports", "", "list the MIDI ports: in|out, identifier, name", RunPorts},
        {"find", "", "find the instrument: each port pair that answers the connect request",
         RunFind},
        {"slots", "", "connect and list the instrument's slots", RunSlots},
        {"download", "FILE SLOT [--verify]",
         "send a song file into a slot; --convert converts it first", RunDownload},
        {"upload", "SLOT FILE", "fetch a slot's song into a file", RunUpload},
        {"delete", "SLOT", "delete a slot's song", RunDelete},
        {"backup", "DIR [--overwrite]", "upload every song into DIR, named after its slot",
         RunBackup},
    };
}

}  // namespace velnor::cli
