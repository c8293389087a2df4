#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "ListsTestDir.h"
#include "common/ScriptedPrompter.h"
#include "stores/FolderOps.h"
#include "support/Portable.h"

using namespace velnor;
namespace fs = std::filesystem;

namespace {

std::string Contents(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

}  // namespace

TEST(RepositoryDelete, NothingSelectedAsksNothingAndNoStillReloads) {
    velnor::testing::ListsTestDir dir;
    const std::string song = dir.File("a.mid", 5);
    ScriptedPrompter prompter;

    EXPECT_EQ(DeleteRepositoryFiles(dir.Path(), {}, prompter), DeleteOutcome::NothingSelected);
    EXPECT_FALSE(NeedsReload(DeleteOutcome::NothingSelected));
    EXPECT_TRUE(prompter.entries.empty());

    prompter.answers = {PromptAnswer::No};
    const DeleteOutcome declined = DeleteRepositoryFiles(dir.Path(), {"a.mid"}, prompter);
    EXPECT_EQ(declined, DeleteOutcome::Declined);
    EXPECT_TRUE(NeedsReload(declined));
    EXPECT_TRUE(fs::exists(song));
    ASSERT_EQ(prompter.entries.size(), 1u);
    EXPECT_EQ(prompter.entries[0].text, "Delete files?");
    EXPECT_EQ(prompter.entries[0].buttons, PromptButtons::YesNo);
}

TEST(RepositoryDelete, YesDeletesEachFileOnceAskedAndPassesOverFailures) {
    velnor::testing::ListsTestDir dir;
    dir.File("a.mid", 5);
    dir.File("B.MID", 5);
    dir.File("keep.mid", 5);
    dir.Folder("x.mid");
    ScriptedPrompter prompter;
    prompter.answers = {PromptAnswer::Yes};

    EXPECT_EQ(
        DeleteRepositoryFiles(dir.Path() + "/", {"a.mid", "gone.mid", "x.mid", "B.MID"}, prompter),
        DeleteOutcome::Deleted);
    EXPECT_EQ(prompter.entries.size(), 1u);
    EXPECT_FALSE(fs::exists(dir.Path("a.mid")));
    EXPECT_FALSE(fs::exists(dir.Path("B.MID")));
    EXPECT_TRUE(fs::exists(dir.Path("keep.mid")));
    EXPECT_TRUE(fs::is_directory(dir.Path("x.mid"))) << "the repository deletes files only";
}

TEST(BrowserDelete, RemovesAWholeTreeAfterOneQuestionWithoutFollowingLinks) {
    VELNOR_NEEDS_LINKS_AND_PIPES();
    velnor::testing::ListsTestDir dir;
    const std::string shown = dir.Folder("shown");
    dir.File("shown/Songs/one.mid", 5);
    dir.File("shown/Songs/Live/two.mid", 5);
    dir.Folder("shown/Songs/Empty");
    dir.File("shown/loose.mid", 5);
    const std::string precious = dir.File("outside/precious.mid", 7);
    fs::create_directory_symlink(dir.Path("outside"), dir.Path("shown/Songs/Live/link-out"));
    fs::create_symlink(precious, dir.Path("shown/Songs/song-link.mid"));
    fs::create_directory_symlink(dir.Path("outside"), dir.Path("shown/top-link"));
    dir.File("shown/stays.mid", 5);

    ScriptedPrompter prompter;
    prompter.answers = {PromptAnswer::Yes};
    EXPECT_EQ(DeleteBrowserEntries(shown, {"Songs", "loose.mid", "top-link"}, prompter),
              DeleteOutcome::Deleted);

    EXPECT_EQ(prompter.Texts(), std::vector<std::string>{"Delete files?"});
    EXPECT_FALSE(fs::exists(fs::symlink_status(dir.Path("shown/Songs"))));
    EXPECT_FALSE(fs::exists(fs::symlink_status(dir.Path("shown/loose.mid"))));
    EXPECT_FALSE(fs::exists(fs::symlink_status(dir.Path("shown/top-link"))));
    EXPECT_TRUE(fs::exists(dir.Path("shown/stays.mid")));
    EXPECT_EQ(Contents(precious), "xxxxxxx") << "a link's target is never touched";
}

TEST(BrowserDelete, NoLeavesEverythingAndStillReloads) {
    velnor::testing::ListsTestDir dir;
    dir.File("Songs/one.mid", 5);
    ScriptedPrompter prompter;
    prompter.answers = {PromptAnswer::No};
    const DeleteOutcome outcome = DeleteBrowserEntries(dir.Path(), {"Songs"}, prompter);
    EXPECT_EQ(outcome, DeleteOutcome::Declined);
    EXPECT_TRUE(NeedsReload(outcome));
    EXPECT_TRUE(fs::exists(dir.Path("Songs/one.mid")));
    EXPECT_FALSE(RemoveFolderTree(dir.Path("Songs/one.mid"))) << "only folders are trees";
}

TEST(BrowserOpen, FoldersSelectFilesOpenAndVanishedItemsSayWhyAndReload) {
    VELNOR_NEEDS_LINKS_AND_PIPES();
    velnor::testing::ListsTestDir dir;
    dir.Folder("Sub");
    dir.File("song.mid", 5);
    ScriptedPrompter prompter;

    OpenDecision d = DecideBrowserOpen(dir.Path(), "Sub", true, prompter);
    EXPECT_EQ(d.action, OpenAction::SelectFolder);
    EXPECT_EQ(d.path, dir.Path("Sub"));
    d = DecideBrowserOpen(dir.Path() + "/", "song.mid", false, prompter);
    EXPECT_EQ(d.action, OpenAction::OpenFile);
    EXPECT_EQ(d.path, dir.Path("song.mid"));
    EXPECT_TRUE(prompter.entries.empty());

    EXPECT_EQ(DecideBrowserOpen(dir.Path(), "Gone", true, prompter).action, OpenAction::Reload);
    EXPECT_EQ(DecideBrowserOpen(dir.Path(), "gone.mid", false, prompter).action,
              OpenAction::Reload);
    fs::create_symlink(dir.Path("deleted.mid"), dir.Path("dangling.mid"));
    EXPECT_EQ(DecideBrowserOpen(dir.Path(), "dangling.mid", false, prompter).action,
              OpenAction::Reload);
    EXPECT_EQ(prompter.Texts(),
              (std::vector<std::string>{"Folder is not exist!", "File is not exist!",
                                        "File is not exist!"}));
}

TEST(BrowserRename, RenamesWithinTheFolderOrReportsWhyAndChangesNothing) {
    velnor::testing::ListsTestDir dir;
    dir.File("a.mid", 3);
    dir.File("b.mid", 4);
    using Status = RenameResult::Status;

    RenameResult r = RenameBrowserEntry(dir.Path(), "a.mid", "a.mid");
    EXPECT_EQ(r.status, Status::Unchanged);
    EXPECT_TRUE(r.reload());

    r = RenameBrowserEntry(dir.Path(), "a.mid", "b.mid");
    EXPECT_EQ(r.status, Status::Failed);
    EXPECT_FALSE(r.reload());
    EXPECT_EQ(r.message.rfind("Cannot rename a.mid to b.mid: ", 0), 0u) << r.message;
    EXPECT_EQ(Contents(dir.Path("a.mid")), "xxx");
    EXPECT_EQ(Contents(dir.Path("b.mid")), "xxxx") << "an existing file is never overwritten";

    for (const char* bad : {"", "sub/c.mid", "..", "../c.mid"}) {
        r = RenameBrowserEntry(dir.Path(), "a.mid", bad);
        EXPECT_EQ(r.status, Status::Failed) << bad;
        EXPECT_FALSE(r.message.empty());
    }
    EXPECT_EQ(Contents(dir.Path("a.mid")), "xxx");

    r = RenameBrowserEntry(dir.Path(), "missing.mid", "c.mid");
    EXPECT_EQ(r.status, Status::Failed);
    EXPECT_FALSE(fs::exists(dir.Path("c.mid")));

    r = RenameBrowserEntry(dir.Path(), "a.mid", "A Song.MID");
    EXPECT_EQ(r.status, Status::Renamed);
    EXPECT_TRUE(r.reload());
    EXPECT_FALSE(fs::exists(dir.Path("a.mid")));
    EXPECT_EQ(Contents(dir.Path("A Song.MID")), "xxx");
}

TEST(BrowserRename, ALinkIsNotMistakenForItsTarget) {
    VELNOR_NEEDS_LINKS_AND_PIPES();
    velnor::testing::ListsTestDir dir;
    dir.File("b.mid", 4);
    fs::create_symlink(dir.Path("b.mid"), dir.Path("a.mid"));
    // The link's name differs from its target's only in case.
    fs::create_symlink(dir.Path("b.mid"), dir.Path("B.MID"));
    for (const char* link : {"a.mid", "B.MID"}) {
        EXPECT_EQ(RenameBrowserEntry(dir.Path(), link, "b.mid").status,
                  RenameResult::Status::Failed)
            << link;
        EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(dir.Path("b.mid")))) << link;
        EXPECT_EQ(Contents(dir.Path("b.mid")), "xxxx") << link;
    }
}

TEST(CopyArguments, BrowserSelectionLeavesOutFoldersButKeepsVanishedNames) {
    VELNOR_NEEDS_LINKS_AND_PIPES();
    velnor::testing::ListsTestDir dir;
    dir.Folder("Songs");
    dir.File("one.mid", 5);
    fs::create_directory_symlink(dir.Path("Songs"), dir.Path("link"));
    EXPECT_EQ(GetSelectedBrowserFiles(dir.Path(), {"one.mid", "Songs", "gone.mid", "link"}),
              (std::vector<std::string>{"one.mid", "gone.mid", "link"}));
    EXPECT_TRUE(GetSelectedBrowserFiles(dir.Path(), {}).empty());

    EXPECT_TRUE(CopyArgumentsUsable({"a.mid"}, "/a", "/b"));
    EXPECT_FALSE(CopyArgumentsUsable({}, "/a", "/b"));
    EXPECT_FALSE(CopyArgumentsUsable({"a.mid"}, "/", "/b"));
    EXPECT_FALSE(CopyArgumentsUsable({"a.mid"}, "/a", ""));
}
