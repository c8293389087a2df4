// velnor-cli's device commands: the built program against its virtual
// instrument, and the commands in this process against an instrument of the
// test's own.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

#include "Commands.h"
#include "instrument/VirtualInstrumentPlatform.h"
#include "support/SongOfLength.h"

namespace fs = std::filesystem;
using namespace velnor;
using namespace velnor::cli;

namespace {

struct Result {
    int status = -1;
    std::string out;
    std::string err;
};

std::string ReadText(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

/// "[    12.345 ms] out F0 ... F7": a time stamp, a direction, hex bytes.
bool IsTraceLine(const std::string& line) {
    const std::size_t close = line.find(" ms] ");
    if (line.empty() || line[0] != '[' || close == std::string::npos || close < 5) return false;
    const std::string stamp = line.substr(1, close - 1);
    const std::size_t dot = stamp.find('.');
    if (dot == std::string::npos || stamp.size() - dot != 4) return false;
    for (char c : stamp)
        if (c != ' ' && c != '.' && !std::isdigit(static_cast<unsigned char>(c))) return false;
    std::string rest = line.substr(close + 5);
    if (rest.rfind("out ", 0) != 0 && rest.rfind("in  ", 0) != 0) return false;
    rest = rest.substr(3);
    if (rest.size() % 3 != 0 || rest.size() < 6) return false;
    for (std::size_t i = 0; i < rest.size(); i += 3) {
        if (rest[i] != ' ' || !std::isxdigit(static_cast<unsigned char>(rest[i + 1])) ||
            !std::isxdigit(static_cast<unsigned char>(rest[i + 2])) ||
            std::islower(static_cast<unsigned char>(rest[i + 1])))
            return false;
    }
    return true;
}

/// The identifier of the last port of a direction with `name`, or "".
std::string PortId(const std::string& listing, const std::string& direction,
                   const std::string& name) {
    std::string id;
    for (const std::string& line : Lines(listing)) {
        const std::size_t a = line.find('\t');
        const std::size_t b = line.find('\t', a + 1);
        if (a == std::string::npos || b == std::string::npos) continue;
        if (line.substr(0, a) == direction && line.substr(b + 1) == name)
            id = line.substr(a + 1, b - a - 1);
    }
    return id;
}

std::string Quote(const std::string& word) {
    std::string quoted = "'";
    for (char c : word) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

class CliDevice : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string test = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        for (char& c : test)
            if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
        folder = fs::path(::testing::TempDir()) / ("velnor-cli-" + test);
        fs::remove_all(folder);
        fs::create_directories(folder);
    }
    void TearDown() override {
        SetDevicePlatformFactory(nullptr);
        fs::remove_all(folder);
    }

    /// Runs the built velnor-cli with a link without delays.
    Result Run(const std::vector<std::string>& args) const {
        std::string command = Quote(VELNOR_CLI);
        for (const std::string& a : args) command += " " + Quote(a);
        command += " --link none";
        command += " >" + Quote((folder / "out.txt").string());
        command += " 2>" + Quote((folder / "err.txt").string());
        const int raw = std::system(command.c_str());
        Result r;
        r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        r.out = ReadText(folder / "out.txt");
        r.err = ReadText(folder / "err.txt");
        return r;
    }

    /// Runs a command in this process.
    static Result RunHere(const Args& args) {
        std::ostringstream out, err;
        Result r;
        r.status = Dispatch(DeviceCommands(), args, out, err);
        r.out = out.str();
        r.err = err.str();
        return r;
    }

    /// A song the repository accepts, of `size` bytes.
    fs::path Song(const std::string& name, std::size_t size) const {
        const std::vector<std::uint8_t> bytes = velnor::testing::SongOfLength(size);
        std::ofstream(folder / name, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
        return folder / name;
    }

    fs::path folder;
};

TEST_F(CliDevice, PortsListsTheVirtualInstrumentLast) {
    Result r = Run({"ports"});
    EXPECT_EQ(r.status, 0) << r.err;
    const std::vector<std::string> lines = Lines(r.out);
    ASSERT_GE(lines.size(), 2u);
    const std::string in = PortId(r.out, "in", "Velnor Virtual Instrument");
    const std::string out = PortId(r.out, "out", "Velnor Virtual Instrument");
    ASSERT_FALSE(in.empty()) << r.out;
    ASSERT_FALSE(out.empty()) << r.out;
    EXPECT_EQ(lines.back(), "out\t" + out + "\tVelnor Virtual Instrument");
    // Inputs first; the instrument's input is the last of them.
    const std::string lastIn = "in\t" + in + "\tVelnor Virtual Instrument";
    for (std::size_t i = 0; i + 1 < lines.size(); ++i)
        if (lines[i + 1].rfind("out\t", 0) == 0 && lines[i].rfind("in\t", 0) == 0) {
            EXPECT_EQ(lines[i], lastIn);
        }
}

TEST_F(CliDevice, SlotsPrintsTheDeviceAndEverySlot) {
    Result r = Run({"slots"});
    ASSERT_EQ(r.status, 0) << r.err;
    std::string expected =
        "device\tVelnor Virtual Instrument\n0\tScale.mid\n1\tChord Cycle.mid\n"
        "2\tArpeggio.mid\n";
    for (int i = 3; i < 16; ++i) expected += std::to_string(i) + "\tEmpty\n";
    EXPECT_EQ(r.out, expected);
    EXPECT_EQ(r.err, "");
}

TEST_F(CliDevice, DownloadSendsTheFileAndVerifiesIt) {
    const fs::path song = Song("tune.mid", 3000);
    Result r = Run({"download", song.string(), "5"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "Download successfully!\n");

    r = Run({"download", "--verify", song.string(), "15"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "Download successfully!\nVerified: slot 15 holds the file byte for byte.\n");

    // The read-back fails: the song may be wrong, so the command fails.
    r = Run({"download", song.string(), "6", "--verify", "--faults", "block-index:1=2"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "Download successfully!\n");
    EXPECT_EQ(r.err, "Verify failed!\n");
}

TEST_F(CliDevice, DownloadFailuresAreReportedWithTheFileName) {
    const fs::path song = Song("tune.mid", 500);
    Result r = Run({"download", song.string(), "5", "--faults", "wrong-status:13=1"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "tune.mid  Download error!\n");

    r = Run({"download", song.string(), "5", "--faults", "wrong-status:13=6"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "Capacity is not allowed!\ntune.mid  Download error!\n");

    r = Run({"download", (folder / "missing.mid").string(), "5"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "missing.mid  cannot be opened!\n");

    r = Run({"download", song.string(), "5", "--faults", "silent"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "Connect request error!\n");

    // A file that is no song gets the song rule's message and is never sent
    // (the trace would show every packet).
    std::ofstream(folder / "notes.mid") << "Shopping list";
    r = Run({"download", (folder / "notes.mid").string(), "5", "--trace"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "notes.mid Midi Format Error!\n");
}

TEST_F(CliDevice, UploadWritesTheSlotsSongOrNothing) {
    const fs::path target = folder / "scale.mid";
    Result r = Run({"upload", "0", target.string()});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "Upload successfully!\n");
    EXPECT_EQ(ReadText(target).substr(0, 4), "MThd");

    r = Run({"upload", "7", (folder / "empty.mid").string()});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "Empty  Upload error!\n");
    EXPECT_FALSE(fs::exists(folder / "empty.mid"));

    r = Run({"upload", "1", (folder / "chord.mid").string(), "--faults", "oversized-block:0"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "Chord Cycle.mid  Upload error!\n");
    EXPECT_FALSE(fs::exists(folder / "chord.mid"));
    EXPECT_FALSE(fs::exists(folder / "chord.mid.velnor-part"));

    // The blocks carry 300 bytes fewer than the read reply announced.
    r = Run({"upload", "0", target.string() + "2", "--faults", "short-read:300"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "Scale.mid  Upload error!\n");
    EXPECT_FALSE(fs::exists(target.string() + "2"));
    EXPECT_FALSE(fs::exists(target.string() + "2.velnor-part"));
}

TEST_F(CliDevice, DeleteEmptiesASlot) {
    Result r = Run({"delete", "1"});
    EXPECT_EQ(r.status, 0) << r.err;
    r = Run({"delete", "1", "--faults", "wrong-status:15=9"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "1  Delete error!\n");
}

TEST_F(CliDevice, BadUsageExitsWith2) {
    const fs::path song = Song("tune.mid", 10);
    for (const std::vector<std::string>& args :
         std::vector<std::vector<std::string>>{{"download", song.string()},
                                               {"download", song.string(), "256"},
                                               {"upload", "x", "f.mid"},
                                               {"delete"},
                                               {"slots", "extra"},
                                               {"slots", "--in"},
                                               {"slots", "--bogus"},
                                               {"slots", "--in", "No Such Port"},
                                               {"slots", "--faults", "no-such-fault"},
                                               {"backup"}}) {
        Result r = Run(args);
        EXPECT_EQ(r.status, 2) << args[0] << " " << (args.size() > 1 ? args[1] : "");
        EXPECT_FALSE(r.err.empty());
        EXPECT_EQ(r.out, "");
    }
    Result r = Run({"slots", "--link", "carrier-pigeon"});
    EXPECT_EQ(r.status, 2);
}

TEST_F(CliDevice, PortsCanBeNamedOrNumbered) {
    const std::string in = PortId(Run({"ports"}).out, "in", "Velnor Virtual Instrument");
    ASSERT_FALSE(in.empty());
    Result r = Run({"slots", "--in", in, "--out", "Velnor Virtual Instrument"});
    EXPECT_EQ(r.status, 0) << r.err;
}

TEST_F(CliDevice, TraceShowsEveryPacketWithTimeAndDirection) {
    Result r = Run({"slots", "--trace"});
    ASSERT_EQ(r.status, 0) << r.err;
    const std::vector<std::string> lines = Lines(r.err);
    ASSERT_FALSE(lines.empty());
    bool request = false, ack = false;
    for (const std::string& line : lines) {
        EXPECT_TRUE(IsTraceLine(line)) << line;
        const std::size_t at = line.find(" ms] ");
        if (at == std::string::npos) continue;
        const std::string rest = line.substr(at + 5);
        request |= rest == "out F0 00 1E 2D 55 52 53 57 00 00 00 1C 01 F7";  // connect request
        ack |= rest == "in  F0 00 1E 2D 55 52 53 57 08 F7";
    }
    EXPECT_TRUE(request) << r.err;
    EXPECT_TRUE(ack) << r.err;
    EXPECT_FALSE(IsTraceLine("[12.34 ms] out F0"));
    EXPECT_FALSE(IsTraceLine("[  1.000 ms] sideways F0"));
}

TEST_F(CliDevice, BackupSavesEverySongOnceAndKeepsWhatIsThere) {
    const fs::path dir = folder / "backup";
    Result r = Run({"backup", dir.string()});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "Backed up 3 songs, skipped 0, failed 0\n");
    EXPECT_TRUE(fs::exists(dir / "Scale.mid"));
    EXPECT_TRUE(fs::exists(dir / "Chord Cycle.mid"));
    EXPECT_TRUE(fs::exists(dir / "Arpeggio.mid"));

    std::ofstream(dir / "Scale.mid", std::ios::trunc) << "mine";
    r = Run({"backup", dir.string()});
    EXPECT_EQ(r.out, "Backed up 0 songs, skipped 3, failed 0\n");
    EXPECT_EQ(ReadText(dir / "Scale.mid"), "mine");

    r = Run({"backup", dir.string(), "--overwrite"});
    EXPECT_EQ(r.out, "Backed up 3 songs, skipped 0, failed 0\n");
    EXPECT_EQ(ReadText(dir / "Scale.mid").substr(0, 4), "MThd");

    r = Run({"backup", (folder / "short").string(), "--faults", "short-read:300"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "Backed up 2 songs, skipped 0, failed 1\n");
    EXPECT_EQ(r.err, "Scale.mid  Upload error!\n");
    EXPECT_FALSE(fs::exists(folder / "short" / "Scale.mid"));
}

TEST_F(CliDevice, BackupRefusesSlotNamesThatAreNoPlainFileName) {
    instrument::InstrumentOptions options = instrument::InstrumentOptions::Empty(8);
    const std::string song = "MThd song";
    int slot = 0;
    for (const char* name : {"Good.mid", "../evil.mid", "a\\b.mid", ".", "Dup.mid", "Dup.mid"})
        options.songs.push_back(
            {slot++, instrument::InstrumentSong{
                         name, std::vector<std::uint8_t>(song.begin(), song.end())}});
    SetDevicePlatformFactory([options](std::optional<instrument::Link>) {
        auto vi = std::make_shared<instrument::VirtualInstrumentPlatform>(options,
                                                                          instrument::Link::None);
        return DevicePlatform{vi, vi.get()};
    });
    const fs::path dir = folder / "in";
    Result r = RunHere({"backup", dir.string()});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "Backed up 2 songs, skipped 1, failed 3\n");
    EXPECT_EQ(r.err,
              "../evil.mid  Upload error!\na\\b.mid  Upload error!\n.  Upload error!\n"
              "Dup.mid: slot 5 has the same name, skipped\n");
    EXPECT_EQ(ReadText(dir / "Good.mid"), song);
    EXPECT_EQ(ReadText(dir / "Dup.mid"), song);
    EXPECT_FALSE(fs::exists(folder / "evil.mid"));
    std::size_t files = 0;
    for ([[maybe_unused]] const auto& e : fs::directory_iterator(dir)) ++files;
    EXPECT_EQ(files, 2u);

    // Commands run one after another in one process.
    r = RunHere({"slots"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(r.out.find("1\t../evil.mid\n") != std::string::npos) << r.out;
}

}  // namespace
