#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <filesystem>

#include "ListsTestDir.h"
#include "SmfBuilder.h"
#include "common/ScriptedPrompter.h"
#include "common/Utf8Path.h"
#include "stores/SongConvert.h"
#include "stores/SongCopy.h"
#include "support/Portable.h"

using namespace velnor;
using namespace velnor::test;
using velnor::testing::SortedNames;
namespace fs = std::filesystem;

namespace {

/// A source and a target folder with songs in them.
struct CopyFixture : ::testing::Test {
    TempFolder root;
    fs::path from = root / "from";
    fs::path to = root / "to";
    ScriptedPrompter prompter;

    void SetUp() override {
        fs::create_directories(from);
        fs::create_directories(to);
    }
    void Copy(const std::vector<std::string>& names, bool check) {
        CopySongFiles(names, from.string(), to.string(), check, prompter);
    }
};

using Strings = std::vector<std::string>;

}  // namespace

TEST_F(CopyFixture, ARefusedSongIsReportedAndTheOthersGoOn) {
    WriteFile(from / "A.MID", GoodSong("A"));
    WriteFile(from / "B.MID", TwoTrackSong());
    WriteFile(from / "C.MID", GoodSong("C"));
    WriteFile(from / "D.MID", GoodSong("D", 96));
    Copy({"A.MID", "B.MID", "C.MID", "D.MID"}, true);
    EXPECT_EQ(prompter.Texts(), (Strings{"B.MID Midi Format Error!(Format 0 required)",
                                         "D.MID Midi Format Error!(PPQN=120 required)"}));
    EXPECT_EQ(prompter.entries[0].buttons, PromptButtons::Ok);
    EXPECT_EQ(SortedNames(to), (Strings{"A.MID", "C.MID"}));
    EXPECT_EQ(ReadFile(to / "C.MID"), GoodSong("C"));
}

TEST_F(CopyFixture, WithTheCheckOffAnyFileIsCopiedSilently) {
    WriteFile(from / "B.MID", TwoTrackSong());
    WriteFile(from / "notes.txt", {'h', 'i'});
    Copy({"B.MID", "notes.txt"}, false);
    EXPECT_TRUE(prompter.entries.empty());
    EXPECT_EQ(ReadFile(to / "B.MID"), TwoTrackSong());
    EXPECT_EQ(SortedNames(to), (Strings{"B.MID", "notes.txt"}));
}

TEST_F(CopyFixture, CancelEndsTheBatchNoSkipsOneName) {
    for (const char* name : {"A.MID", "B.MID"}) {
        WriteFile(from / name, GoodSong("new"));
        WriteFile(to / name, GoodSong("old"));
    }
    prompter.answers = {PromptAnswer::Cancel};
    Copy({"A.MID", "B.MID"}, true);
    EXPECT_EQ(prompter.Texts(), Strings{"Overwrite?  A.MID"});
    EXPECT_EQ(prompter.entries[0].buttons, PromptButtons::YesNoCancel);
    EXPECT_EQ(ReadFile(to / "A.MID"), GoodSong("old"));
    EXPECT_EQ(ReadFile(to / "B.MID"), GoodSong("old"));

    prompter = ScriptedPrompter();
    prompter.answers = {PromptAnswer::No, PromptAnswer::Yes};
    Copy({"A.MID", "B.MID"}, true);
    EXPECT_EQ(prompter.Texts(), (Strings{"Overwrite?  A.MID", "Overwrite?  B.MID"}));
    EXPECT_EQ(ReadFile(to / "A.MID"), GoodSong("old"));
    EXPECT_EQ(ReadFile(to / "B.MID"), GoodSong("new"));
    EXPECT_EQ(SortedNames(to), (Strings{"A.MID", "B.MID"})) << "no temporary file left";
}

TEST_F(CopyFixture, FoldersLinksToFoldersAndPipesArePassedOver) {
    VELNOR_NEEDS_LINKS_AND_PIPES();
    fs::create_directories(from / "DIR.MID");
    fs::create_directory_symlink(from / "DIR.MID", from / "LINK.MID");
    fs::create_symlink(from / "nowhere.mid", from / "DANGLING.MID");
    ASSERT_EQ(mkfifo((from / "PIPE.MID").c_str(), 0600), 0);
    WriteFile(from / "OK.MID", GoodSong());
    const Strings names{"DIR.MID", "LINK.MID", "DANGLING.MID", "PIPE.MID", "GONE.MID", "OK.MID"};
    for (bool check : {true, false}) {
        Copy(names, check);
        EXPECT_TRUE(prompter.entries.empty()) << "check " << check;
        EXPECT_EQ(SortedNames(to), Strings{"OK.MID"}) << "check " << check;
        fs::remove(to / "OK.MID");
    }
    // In the target, even a link that leads nowhere is a name taken.
    fs::create_symlink(to / "nowhere.mid", to / "OK.MID");
    prompter.answers = {PromptAnswer::No};
    Copy({"OK.MID"}, true);
    EXPECT_EQ(prompter.Texts(), Strings{"Overwrite?  OK.MID"});
    EXPECT_TRUE(fs::is_symlink(to / "OK.MID"));
}

TEST_F(CopyFixture, TheRuleComesBeforeTheOverwriteQuestion) {
    WriteFile(from / "B.MID", TwoTrackSong());
    WriteFile(to / "B.MID", GoodSong("kept"));
    fs::create_directories(to / "A.MID");
    WriteFile(from / "A.MID", GoodSong());
    prompter.answers = {PromptAnswer::Yes};
    Copy({"B.MID", "A.MID"}, true);
    // A folder of the song's name brings the question; the copy onto it fails silently.
    EXPECT_EQ(prompter.Texts(),
              (Strings{"B.MID Midi Format Error!(Format 0 required)", "Overwrite?  A.MID"}));
    EXPECT_EQ(ReadFile(to / "B.MID"), GoodSong("kept"));
    EXPECT_TRUE(fs::is_directory(to / "A.MID"));
    EXPECT_EQ(SortedNames(to), (Strings{"A.MID", "B.MID"})) << "no temporary file left";
}

TEST_F(CopyFixture, ASongThatCannotBeOpenedEndsTheBatch) {
    WriteFile(from / "A.MID", GoodSong());
    WriteFile(from / "B.MID", GoodSong());
    WriteFile(from / "C.MID", GoodSong());
    // The file system cannot be made to refuse root, so the rule is stood in for.
    auto checker = [](const std::string& path) {
        return fs::path(path).filename() == "B.MID" ? SongVerdict::CannotOpen : CheckSongFile(path);
    };
    CopySongFiles({"A.MID", "B.MID", "C.MID"}, from.string(), to.string(), true, prompter, checker);
    EXPECT_EQ(prompter.Texts(), Strings{"B.MID: cannot be opened"});
    EXPECT_EQ(SortedNames(to), Strings{"A.MID"});
}

TEST_F(CopyFixture, CopyingASongOntoItselfAsksAndYesKeepsItIntact) {
    VELNOR_NEEDS_LINKS_AND_PIPES();
    WriteFile(from / "A.MID", GoodSong("mine"));
    prompter.answers = {PromptAnswer::Yes, PromptAnswer::Yes, PromptAnswer::Yes, PromptAnswer::Yes};
    // Same folder, spelled with a trailing separator.
    CopySongFiles({"A.MID"}, from.string(), from.string() + "/", true, prompter);
    fs::create_hard_link(from / "A.MID", to / "A.MID");
    WriteFile(from / "B.MID", GoodSong("also"));
    fs::create_symlink(from / "B.MID", to / "B.MID");
    Copy({"A.MID", "B.MID"}, false);
    // A link in the source folder to a song of the target folder.
    WriteFile(to / "C.MID", GoodSong("linked"));
    fs::create_symlink(to / "C.MID", from / "C.MID");
    Copy({"C.MID"}, true);
    EXPECT_EQ(prompter.Texts(), (Strings{"Overwrite?  A.MID", "Overwrite?  A.MID",
                                         "Overwrite?  B.MID", "Overwrite?  C.MID"}));
    EXPECT_EQ(ReadFile(from / "A.MID"), GoodSong("mine"));
    EXPECT_EQ(ReadFile(from / "B.MID"), GoodSong("also"));
    EXPECT_EQ(ReadFile(to / "C.MID"), GoodSong("linked"));
    EXPECT_EQ(ReadFile(from / "C.MID"), GoodSong("linked"));
    EXPECT_EQ(SortedNames(from), (Strings{"A.MID", "B.MID", "C.MID"}));
    EXPECT_EQ(SortedNames(to), (Strings{"A.MID", "B.MID", "C.MID"})) << "no temporary file left";
}

TEST_F(CopyFixture, InTheRepositoryANameDifferingOnlyInCaseIsTheExistingFile) {
    struct Case {
        const char* existing;
        const char* copied;
        TargetNames targetNames;
        Strings listing;
    };
    const Case cases[] = {
        {"SONG.MID", "song.mid", TargetNames::IgnoreCase, {"SONG.MID"}},
        {"AZ az.MID", "az AZ.mid", TargetNames::IgnoreCase, {"AZ az.MID"}},  // both ends
        {"café.mid", "CAFÉ.MID", TargetNames::IgnoreCase, {"café.mid"}},
        {"SONG.MID", "song.mid", TargetNames::Exact, {"SONG.MID", "song.mid"}},
    };
    for (const Case& c : cases) {
        fs::remove_all(to);
        fs::create_directories(to);
        WriteFile(to / PathFromUtf8(c.existing), GoodSong("old"));
        WriteFile(from / PathFromUtf8(c.copied), GoodSong("new"));
        // A case-blind file system (Windows) has one file for both names
        // whatever the program asks for.
        const bool caseBlind = fs::exists(to / PathFromUtf8(c.copied));
        const Strings listing = caseBlind ? Strings{c.existing} : c.listing;
        prompter = ScriptedPrompter();
        prompter.answers = {PromptAnswer::Yes};
        CopySongFiles({c.copied}, Utf8FromPath(from), Utf8FromPath(to), true, prompter,
                      c.targetNames);
        const bool oneFile = listing.size() == 1;
        EXPECT_EQ(prompter.Texts(),
                  oneFile ? Strings{std::string("Overwrite?  ") + c.copied} : Strings{});
        EXPECT_EQ(SortedNames(to), listing) << c.copied;
        EXPECT_EQ(ReadFile(to / PathFromUtf8(c.existing)), GoodSong(oneFile ? "new" : "old"))
            << c.copied;
    }
}

TEST_F(CopyFixture, AFailedCopyLeavesTheTargetAsItWas) {
    WriteFile(to / "A.MID", GoodSong("old"));
    // Reading a folder fails after it has been opened: the copy stops part way.
    EXPECT_FALSE(CopyFileSafely(from.string(), (to / "A.MID").string()));
    EXPECT_FALSE(CopyFileSafely(from.string(), (to / "NEW.MID").string()));
    EXPECT_EQ(ReadFile(to / "A.MID"), GoodSong("old"));
    EXPECT_EQ(SortedNames(to), Strings{"A.MID"}) << "no truncated target, no temporary file";
    EXPECT_FALSE(CopyFileSafely((from / "none").string(), (to / "A.MID").string()));
    EXPECT_FALSE(CopyFileSafely(from.string(), (root / "no-folder" / "A.MID").string()));
}

TEST_F(CopyFixture, ACopyKeepsTheSongsTimeAndBytes) {
    Bytes big;
    for (int i = 0; i < 200000; ++i) big.push_back(uint8_t(i * 7));
    WriteFile(from / "BIG.MID", big);
    auto when = fs::file_time_type::clock::now() - std::chrono::hours(48);
    fs::last_write_time(from / "BIG.MID", when);
    ASSERT_TRUE(CopyFileSafely((from / "BIG.MID").string(), (to / "BIG.MID").string()));
    EXPECT_EQ(ReadFile(to / "BIG.MID"), big);
#ifdef _WIN32
    // MinGW's standard library sets a file's time to the second.
    EXPECT_LT(std::chrono::abs(fs::last_write_time(to / "BIG.MID") - when),
              std::chrono::seconds(1));
#else
    EXPECT_EQ(fs::last_write_time(to / "BIG.MID"), when);
#endif
    EXPECT_EQ(SongPath("/a/b/", "x.mid"), "/a/b//x.mid");
}

TEST_F(CopyFixture, SongsRefusedForTheirFormOnlyAreOfferedForConversionAfterTheBatch) {
    WriteFile(from / "B.MID", TwoTrackSong());
    WriteFile(from / "D.MID", GoodSong("D", 96));
    WriteFile(from / "E.MID", {'n', 'o'});
    WriteFile(to / "d.mid", GoodSong("Old"));  // the repository's own name for D.MID
    std::vector<SongToConvert> refused;
    CopySongFiles({"B.MID", "D.MID", "E.MID"}, from.string(), to.string(), true, prompter,
                  NoteSongsToConvert(refused), TargetNames::IgnoreCase);
    ASSERT_EQ(refused.size(), 2u);  // not E.MID: it does not read
    prompter.entries.clear();
    prompter.answers = {PromptAnswer::Yes, PromptAnswer::Yes};
    EXPECT_EQ(OfferConversion(refused, to.string(), prompter), 2);
    EXPECT_EQ(prompter.Texts(), (Strings{ConvertQuestion(2), "Overwrite?  D.MID"}));
    EXPECT_EQ(prompter.entries[0].buttons, PromptButtons::YesNo);
    EXPECT_EQ(SortedNames(to), (Strings{"B.MID", "d.mid"}));
    EXPECT_EQ(CheckSongFile((to / "B.MID").string()), SongVerdict::Accepted);
    EXPECT_EQ(CheckSongFile((to / "d.mid").string()), SongVerdict::Accepted);
    EXPECT_EQ(ReadFile(from / "B.MID"), TwoTrackSong());  // the source as it was
    // No: nothing is converted.
    prompter.answers = {PromptAnswer::No};
    fs::remove(to / "B.MID");
    EXPECT_EQ(OfferConversion(refused, to.string(), prompter), 0);
    EXPECT_FALSE(fs::exists(to / "B.MID"));
}

TEST_F(CopyFixture, ConversionReportsFilesThatDoNotReadAndCopiesSongsAsTheyAre) {
    WriteFile(from / "E.MID", {'n', 'o'});
    WriteFile(from / "A.MID", GoodSong("A"));
    EXPECT_EQ(
        ConvertSongFiles({{from.string(), "E.MID", "E.MID"}, {from.string(), "A.MID", "A.MID"}},
                         to.string(), prompter),
        1);
    EXPECT_EQ(prompter.Texts(), (Strings{"E.MID Midi Format Error!"}));
    EXPECT_EQ(ReadFile(to / "A.MID"), GoodSong("A"));
    EXPECT_EQ(SortedNames(to), (Strings{"A.MID"}));
}

// A name from elsewhere that is not UTF-8 is read from its own bytes, and the
// copy gets a name that is.
TEST_F(CopyFixture, ANameThatIsNotUtf8IsCopiedUnderAValidName) {
    VELNOR_POSIX_ONLY("names are bytes only on POSIX systems");
    const std::string cut = "\xCE\xA9\xCE\xB4\xCE\xAE \xCF\x83\xCF\x84\xCE.mid";
    WriteFile(from / cut, GoodSong("Ode"));
    WriteFile(from / "Caf\xE9.mid", GoodSong("Cafe"));
    Copy({cut, "Caf\xE9.mid"}, true);
    EXPECT_TRUE(prompter.entries.empty()) << prompter.Texts()[0];
    EXPECT_EQ(SortedNames(to), (Strings{"Caf\u00E9.mid", "\u03A9\u03B4\u03AE \u03C3\u03C4.mid"}));
    EXPECT_EQ(ReadFile(to / "Caf\u00E9.mid"), GoodSong("Cafe"));
}
