// velnor-cli's device commands. The commands run in this process against an
// instrument of the test's own on the `none` link, waiting through a pump that
// lets a time-out happen only once the instrument has nothing left to say, so
// a busy machine cannot fail them. The built program runs for what needs no
// instrument: its ports, its usage, --help and --version.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <sstream>

#include "Commands.h"
#include "SmfBuilder.h"
#include "common/Utf8Path.h"
#include "instrument/VirtualInstrumentPlatform.h"
#include "midi/CompositeMidiPlatform.h"
#include "support/FakeMidiPlatform.h"
#include "support/ScriptedPorts.h"
#include "support/SettlingEventPump.h"
#include "support/SongOfLength.h"
#include "support/TemporaryFiles.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;
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
        UseInstrument(instrument::InstrumentOptions::Defaults());
        SetEventPump(&pump);
    }
    void TearDown() override {
        SetDevicePlatformFactory(nullptr);
        SetEventPump(nullptr);
        fs::remove_all(folder);
    }

    /// Every command run here from now on gets a fresh instrument holding
    /// `options`, on the link without delays.
    void UseInstrument(const instrument::InstrumentOptions& options) {
        SetDevicePlatformFactory([this, options](std::optional<instrument::Link>) {
            auto vi = std::make_shared<instrument::VirtualInstrumentPlatform>(
                options, instrument::Link::None);
            current = vi;
            return DevicePlatform{vi, vi.get()};
        });
    }

    /// Every command run here from now on sees a system of its own: a
    /// loopback and a silent device, then (when `bInstrument`) an instrument
    /// named "Far Synth" whose ports carry the virtual instrument's name, then
    /// the virtual instrument itself.
    void UseSystem(bool bInstrument) {
        SetDevicePlatformFactory([this, bInstrument](std::optional<instrument::Link>) {
            auto silent = std::make_shared<velnor::testing::ScriptedPorts>(
                std::vector<std::string>{"Midi Through:Port-0", "Keys:out"},
                std::vector<std::string>{"Midi Through:Port-0", "Keys:in"});
            silent->Behave(0, velnor::testing::Echo(0));
            auto options = instrument::InstrumentOptions::Defaults();
            options.deviceName = "Far Synth";
            auto far = std::make_shared<instrument::VirtualInstrumentPlatform>(
                options, instrument::Link::None);
            auto builtIn = std::make_shared<instrument::VirtualInstrumentPlatform>(
                instrument::InstrumentOptions::Defaults(), instrument::Link::None);
            current = far;
            auto* system = new CompositeMidiPlatform;
            system->Add(*silent);
            if (bInstrument) system->Add(*far);
            system->Add(*builtIn);
            // The system goes first, then the platforms it forwards to.
            std::shared_ptr<MidiPlatform> platform(
                system, [silent, far, builtIn](MidiPlatform* p) { delete p; });
            return DevicePlatform{platform, builtIn.get()};
        });
    }

    /// Runs the built velnor-cli (only for what needs no instrument).
    Result Run(const std::vector<std::string>& args) const {
        std::string command = Quote(VELNOR_CLI);
        for (const std::string& a : args) command += " " + Quote(a);
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
        std::vector<Command> commands = SongCommands();
        for (const Command& c : DeviceCommands()) commands.push_back(c);
        std::ostringstream out, err;
        Result r;
        r.status = Dispatch(commands, args, out, err);
        r.out = out.str();
        r.err = err.str();
        return r;
    }

    /// A song the repository accepts, of `size` bytes.
    fs::path Song(const std::string& name, std::size_t size) const {
        test::WriteFile(folder / name, velnor::testing::SongOfLength(size));
        return folder / name;
    }

    fs::path folder;
    std::weak_ptr<instrument::VirtualInstrumentPlatform> current;
    /// A generous bound: it only stops a hang.
    velnor::testing::SettlingEventPump pump{[this] {
        if (auto vi = current.lock()) vi->WaitUntilIdle(30s);
    }};
};

TEST_F(CliDevice, PortsListsTheVirtualInstrumentLast) {
    Result r = Run({"--link", "none", "ports"});
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
    Result r = RunHere({"slots"});
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
    Result r = RunHere({"download", song.string(), "5"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "Download successfully!\n");

    r = RunHere({"download", "--verify", song.string(), "15"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "Download successfully!\nVerified: slot 15 holds the file byte for byte.\n");

    // The read-back fails: the song may be wrong, so the command fails.
    r = RunHere({"download", song.string(), "6", "--verify", "--faults", "block-index:1=2"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "Download successfully!\n");
    EXPECT_EQ(r.err, "Verify failed!\n");
}

TEST_F(CliDevice, DownloadConvertsOnTheWayAndLeavesTheFileAsItIs) {
    const fs::path file = folder / "two.mid";
    test::WriteFile(file, test::TwoTrackSong(480));
    Result r = RunHere({"download", file.string(), "4"});
    EXPECT_EQ(r.err, "two.mid Midi Format Error!(Format 0 required)\n");
    // The converted song goes through a temporary file that does not stay.
    const fs::path temporary = folder / "tmp";
    fs::create_directory(temporary);
    const bool wasSet = std::getenv("TMPDIR") != nullptr;
    const std::string was = Utf8Environment("TMPDIR");
    setenv("TMPDIR", temporary.c_str(), 1);
    r = RunHere({"download", file.string(), "4", "--convert", "--verify"});
    // An empty TMPDIR is not an unset one: the tests after this one look.
    wasSet ? setenv("TMPDIR", was.c_str(), 1) : unsetenv("TMPDIR");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "Download successfully!\nVerified: slot 4 holds the file byte for byte.\n");
    EXPECT_EQ(test::ReadFile(file), test::TwoTrackSong(480));
    EXPECT_TRUE(fs::is_empty(temporary));
}

TEST_F(CliDevice, DownloadFailuresAreReportedWithTheFileName) {
    const fs::path song = Song("tune.mid", 500);
    Result r = RunHere({"download", song.string(), "5", "--faults", "wrong-status:13=1"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "tune.mid  Download error!\n");

    r = RunHere({"download", song.string(), "5", "--faults", "wrong-status:13=6"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "Capacity is not allowed!\ntune.mid  Download error!\n");

    r = RunHere({"download", (folder / "missing.mid").string(), "5"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "missing.mid  cannot be opened!\n");

    r = RunHere({"download", song.string(), "5", "--faults", "silent"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "Connect request error!\n");

    // A file that is no song gets the song rule's message and is never sent
    // (the trace would show every packet).
    std::ofstream(folder / "notes.mid") << "Shopping list";
    r = RunHere({"download", (folder / "notes.mid").string(), "5", "--trace"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "notes.mid Midi Format Error!\n");
}

TEST_F(CliDevice, UploadWritesTheSlotsSongOrNothing) {
    const fs::path target = folder / "scale.mid";
    Result r = RunHere({"upload", "0", target.string()});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "Upload successfully!\n");
    EXPECT_EQ(ReadText(target).substr(0, 4), "MThd");

    r = RunHere({"upload", "7", (folder / "empty.mid").string()});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "Empty  Upload error!\n");
    EXPECT_FALSE(fs::exists(folder / "empty.mid"));

    r = RunHere({"upload", "1", (folder / "chord.mid").string(), "--faults", "oversized-block:0"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "Chord Cycle.mid  Upload error!\n");
    EXPECT_FALSE(fs::exists(folder / "chord.mid"));

    // The blocks carry 300 bytes fewer than the read reply announced.
    r = RunHere({"upload", "0", target.string() + "2", "--faults", "short-read:300"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "Scale.mid  Upload error!\n");
    EXPECT_FALSE(fs::exists(target.string() + "2"));
    EXPECT_FALSE(velnor::testing::TemporaryFileLeft(folder));

    // Onto a folder of the name: the folder stays, alone.
    const fs::path dir = folder / "up";
    fs::create_directories(dir / "scale.mid");
    r = RunHere({"upload", "0", (dir / "scale.mid").string()});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(fs::is_directory(dir / "scale.mid"));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);
}

// Links planted where an upload and a verify once wrote their temporary
// files: the user's file behind them is never written.
TEST_F(CliDevice, TemporaryFilesNeverGoThroughALinkAtTheirName) {
    const fs::path victim = folder / "victim.txt";
    std::ofstream(victim) << "mine";
    const fs::path target = folder / "up.mid";
    fs::create_symlink(victim, target.string() + ".velnor-part");
    const fs::path verify =
        fs::temp_directory_path() / ("velnor-verify-" + std::to_string(getpid()) + "-5.mid");
    fs::remove(verify);
    fs::create_symlink(victim, verify);
    const fs::path song = Song("tune.mid", 300);

    Result r = RunHere({"upload", "0", target.string()});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(target)));
    r = RunHere({"download", "--verify", song.string(), "5"});
    EXPECT_EQ(r.status, 0) << r.err;
    fs::remove(verify);
    EXPECT_EQ(ReadText(victim), "mine");
    EXPECT_EQ(ReadText(target).substr(0, 4), "MThd");
    EXPECT_FALSE(velnor::testing::TemporaryFileLeft(folder));
}

TEST_F(CliDevice, DeleteEmptiesASlot) {
    Result r = RunHere({"delete", "1"});
    EXPECT_EQ(r.status, 0) << r.err;
    r = RunHere({"delete", "1", "--faults", "wrong-status:15=9"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "1  Delete error!\n");
    UseInstrument(instrument::InstrumentOptions::Empty(256));
    r = RunHere({"delete", "255"});  // the last slot there is
    EXPECT_EQ(r.status, 0) << r.err;
}

TEST_F(CliDevice, BadUsageExitsWith2) {
    const fs::path song = Song("tune.mid", 10);
    for (const std::vector<std::string>& args :
         std::vector<std::vector<std::string>>{{"download", song.string()},
                                               {"download", song.string(), "256"},
                                               {"delete", "4294967296"},
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

TEST_F(CliDevice, PortsCanBeNamedOrNumberedAndOptionsStandAnywhere) {
    const std::string in = PortId(RunHere({"ports"}).out, "in", "Velnor Virtual Instrument");
    ASSERT_FALSE(in.empty());
    Result after = RunHere({"slots", "--in", in, "--out", "Velnor Virtual Instrument"});
    EXPECT_EQ(after.status, 0) << after.err;
    Result before = RunHere({"--in", in, "--out", "Velnor Virtual Instrument", "slots"});
    EXPECT_EQ(before.status, 0) << before.err;
    EXPECT_EQ(before.out, after.out);
    EXPECT_EQ(RunHere({"--in", in, "slots", "--out", "0"}).out, after.out);

    // -- ends the options: what follows is a file, whatever it looks like.
    Result r = RunHere({"download", "--", "--verify", "5"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "--verify  cannot be opened!\n");
    EXPECT_EQ(RunHere({"download", "--verify", "5"}).status, kExitUsage);
    r = RunHere({"info", "--", "-gone.mid"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "-gone.mid: cannot be opened\n");
    EXPECT_EQ(RunHere({"info", "-gone.mid"}).status, kExitUsage);
    for (const std::string word : {"--help", "-h", "--version"}) {
        r = RunHere({"check", "--", word});
        EXPECT_EQ(r.status, 1) << word;
        EXPECT_EQ(r.out, word + ": cannot be opened\n");
    }
}

// The script the end-to-end runs use to make songs, under a UTF-8 locale.
TEST_F(CliDevice, MakeSongScriptWritesNamesOfAnyLetter) {
    const fs::path song = folder / "Caf\u00E9.mid";
    const std::string command = "LC_ALL=C.UTF-8 bash " +
                                Quote(VELNOR_SOURCE_DIR "/scripts/make-song.sh") + " " +
                                Quote(song.string()) + " " + Quote("Caf\u00E9 au lait") + " 4";
    ASSERT_EQ(std::system(command.c_str()), 0);
    const Result r = RunHere({"info", song.string()});
    EXPECT_NE(r.out.find("song name:    Caf\u00E9 au lait\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("acceptance:   Caf\u00E9.mid OK\n"), std::string::npos) << r.out;
}

TEST_F(CliDevice, HelpAndVersionExitWith0) {
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"--version"}, {"--link", "none", "--version"}, {"slots", "--version"}}) {
        Result r = Run(args);
        EXPECT_EQ(r.status, 0) << args[0];
        EXPECT_EQ(r.out, "velnor-cli " VELNOR_VERSION "\n");
        EXPECT_EQ(r.err, "");
    }
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"--help"}, {"-h"}, {"help"}, {"--link", "none", "slots", "--help"}}) {
        Result r = Run(args);
        EXPECT_EQ(r.status, 0) << args[0];
        EXPECT_EQ(r.out.rfind("usage: velnor-cli", 0), 0u) << r.out;
        EXPECT_NE(r.out.find("device options:"), std::string::npos);
        EXPECT_NE(r.out.find("\\xNN"), std::string::npos) << "the escaping is documented";
        EXPECT_EQ(r.err, "");
    }
}

TEST_F(CliDevice, TraceShowsEveryPacketWithTimeAndDirection) {
    Result r = RunHere({"slots", "--trace"});
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
    Result r = RunHere({"backup", dir.string()});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "Backed up 3 songs, skipped 0, failed 0\n");
    EXPECT_TRUE(fs::exists(dir / "Scale.mid"));
    EXPECT_TRUE(fs::exists(dir / "Chord Cycle.mid"));
    EXPECT_TRUE(fs::exists(dir / "Arpeggio.mid"));

    std::ofstream(dir / "Scale.mid", std::ios::trunc) << "mine";
    r = RunHere({"backup", dir.string()});
    EXPECT_EQ(r.out, "Backed up 0 songs, skipped 3, failed 0\n");
    EXPECT_EQ(ReadText(dir / "Scale.mid"), "mine");

    r = RunHere({"backup", dir.string(), "--overwrite"});
    EXPECT_EQ(r.out, "Backed up 3 songs, skipped 0, failed 0\n");
    EXPECT_EQ(ReadText(dir / "Scale.mid").substr(0, 4), "MThd");

    // A folder of a song's name is no file to overwrite: nothing lands beside it.
    fs::remove(dir / "Arpeggio.mid");
    fs::create_directory(dir / "Arpeggio.mid");
    r = RunHere({"backup", dir.string(), "--overwrite"});
    EXPECT_EQ(r.out, "Backed up 2 songs, skipped 0, failed 1\n");
    EXPECT_TRUE(fs::is_directory(dir / "Arpeggio.mid"));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 3);

    r = RunHere({"backup", (folder / "short").string(), "--faults", "short-read:300"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "Backed up 2 songs, skipped 0, failed 1\n");
    EXPECT_EQ(r.err, "Scale.mid  Upload error!\n");
    EXPECT_FALSE(fs::exists(folder / "short" / "Scale.mid"));
}

TEST_F(CliDevice, BackupRefusesSlotNamesThatAreNoPlainFileName) {
    instrument::InstrumentOptions options = instrument::InstrumentOptions::Empty(8);
    const std::string song = "MThd song";
    int slot = 0;
    for (const char* name :
         {"Good.mid", "../evil.mid", "a\\b.mid", ".", "Dup.mid", "DUP.mid", "Empty"})
        options.songs.push_back(
            {slot++, instrument::InstrumentSong{
                         name, std::vector<std::uint8_t>(song.begin(), song.end())}});
    UseInstrument(options);
    const fs::path dir = folder / "in";
    Result r = RunHere({"backup", dir.string()});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "Backed up 3 songs, skipped 1, failed 3\n");
    EXPECT_EQ(r.err,
              "../evil.mid  Upload error!\na\\b.mid  Upload error!\n.  Upload error!\n"
              "DUP.mid: slot 5 has the same name, skipped\n");
    EXPECT_EQ(ReadText(dir / "Good.mid"), song);
    EXPECT_EQ(ReadText(dir / "Dup.mid"), song);
    EXPECT_EQ(ReadText(dir / "Empty"), song) << "a song named Empty is a song";
    EXPECT_FALSE(fs::exists(folder / "evil.mid"));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 3);

    // Commands run one after another in one process.
    r = RunHere({"slots"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(r.out.find("1\t../evil.mid\n") != std::string::npos) << r.out;
}

// A name with ESC (a title and a colour), BEL, a tab, a newline, DEL, the C1
// control NEL and a byte that is no UTF-8, around a valid "é"; and how every
// output of the CLI shows it.
const std::string kHostile =
    "N\x1B]0;x\x07\tT\nD\x7F"
    "C\xC2\x85I\xFF\xC3\xA9";
const std::string kShown = "N\\x1B]0;x\\x07\\x09T\\x0AD\\x7FC\\xC2\\x85I\\xFF\xC3\xA9";
// The same name as read from a song or the instrument: valid UTF-8, so the
// byte that starts no character is left out.
const std::string kShownRead = "N\\x1B]0;x\\x07\\x09T\\x0AD\\x7FC\\xC2\\x85I\xC3\xA9";

struct OutputCase {
    const char* path;
    std::function<Result()> run;
    std::string expected;  ///< a line of stdout and stderr together
};

TEST_F(CliDevice, NamesFromFilesAndTheInstrumentArePrintedSafely) {
    instrument::InstrumentOptions options = instrument::InstrumentOptions::Empty(4);
    options.deviceName = kHostile;
    const std::string song = "MThd song";
    for (unsigned slot : {0u, 1u})
        options.songs.push_back(
            {slot, instrument::InstrumentSong{
                       kHostile, std::vector<std::uint8_t>(song.begin(), song.end())}});
    UseInstrument(options);
    const fs::path file = folder / (kHostile + ".mid");
    test::WriteFile(file, test::GoodSong(kHostile));
    const std::string path = file.string();
    const std::string out = (folder / "up.mid").string();
    const std::string backup = (folder / "backup").string();

    auto here = [](Args args) { return [args] { return RunHere(args); }; };
    const OutputCase cases[] = {
        {"info", here({"info", path}), "song name:    " + kShownRead},
        {"info", here({"info", path}), "file:         " + kShown + ".mid (78 bytes)"},
        {"check", here({"check", path}), kShown + ".mid OK"},
        {"slots", here({"slots"}), "device\t" + kShownRead},
        {"slots", here({"slots"}), "1\t" + kShownRead},
        {"upload", here({"upload", "0", out, "--faults", "oversized-block:0"}),
         kShownRead + "  Upload error!"},
        {"download", here({"download", path, "2", "--faults", "wrong-status:13=1"}),
         kShown + ".mid  Download error!"},
        {"backup", here({"backup", backup}), kShownRead + ": slot 1 has the same name, skipped"},
        {"--faults", here({"slots", "--faults", kHostile}),
         "velnor-cli: --faults: Unknown instrument fault \"" + kShown + "\""},
        {"ports",
         [&] {
             SetDevicePlatformFactory([](std::optional<instrument::Link>) {
                 auto fake = std::make_shared<velnor::testing::FakeMidiPlatform>();
                 fake->inputNames = {kHostile};
                 fake->outputNames = {kHostile};
                 return DevicePlatform{fake, nullptr};
             });
             Result r = RunHere({"ports"});
             UseInstrument(instrument::InstrumentOptions::Defaults());
             return r;
         },
         "in\t0\t" + kShown + "\nout\t0\t" + kShown},
    };
    for (const OutputCase& c : cases) {
        const Result r = c.run();
        const std::string printed = r.out + r.err;
        EXPECT_NE(printed.find(c.expected + "\n"), std::string::npos) << c.path << " printed:\n"
                                                                      << printed;
        for (const char* raw : {"\x1B", "\x07", "\x7F", "\xC2\x85", "\xFF",
                                "\t"
                                "T\n"})
            EXPECT_EQ(printed.find(raw), std::string::npos) << c.path << " printed it raw";
    }
}

}  // namespace

namespace {

TEST_F(CliDevice, FindNamesThePairThatAnswersAndAutoUsesIt) {
    UseSystem(true);
    Result r = RunHere({"find"});
    EXPECT_EQ(r.status, 0) << r.err;
    // Ports 2 carry the same name as the virtual instrument's (3): told apart by number.
    EXPECT_EQ(r.out, "2\tVelnor Virtual Instrument\t2\tVelnor Virtual Instrument\tFar Synth\n");

    r = RunHere({"slots", "--in", "auto", "--out", "auto"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(Lines(r.out).front(), "device\tFar Synth");
    EXPECT_EQ(Lines(r.out).size(), 17u);

    r = RunHere({"slots", "--in", "auto", "--out", "1"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("no instrument answered"), std::string::npos) << r.err;
}

TEST_F(CliDevice, FindAndAutoFailWhenNoInstrumentAnswers) {
    UseSystem(false);
    Result r = RunHere({"find"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "velnor-cli: no instrument answered\n");
    // Never the virtual instrument instead.
    r = RunHere({"slots", "--in", "auto", "--out", "auto"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find("no instrument answered"), std::string::npos) << r.err;
}

}  // namespace
