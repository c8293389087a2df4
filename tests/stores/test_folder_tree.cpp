#include <gtest/gtest.h>

#include <cstdlib>

#include "ListsTestDir.h"
#include "common/ScriptedPrompter.h"
#include "stores/FolderTree.h"
#include "support/Portable.h"

using namespace velnor;
namespace fs = std::filesystem;

TEST(FolderTree, SubFoldersAreRealVisibleDirectoriesSortedIgnoringCase) {
    VELNOR_NEEDS_LINKS_AND_PIPES();
    velnor::testing::ListsTestDir dir;
    dir.Folder("beta");
    dir.Folder("Alpha");
    dir.Folder("alpha");
    dir.Folder("Gamma");
    dir.Folder(".cache");
    dir.File("song.mid", 3);
    fs::create_directory_symlink(dir.Path("beta"), dir.Path("link"));

    std::vector<std::string> names;
    for (const SubFolder& sub : ListSubFolders(dir.Path())) {
        names.push_back(sub.name);
        EXPECT_EQ(sub.path, dir.Path(sub.name));
    }
    EXPECT_EQ(names, (std::vector<std::string>{"Alpha", "alpha", "beta", "Gamma"}));
    EXPECT_TRUE(HasSubFolders(dir.Path()));
}

TEST(FolderTree, HasSubFoldersIgnoresFilesHiddenFoldersAndLinks) {
    VELNOR_NEEDS_LINKS_AND_PIPES();
    velnor::testing::ListsTestDir dir;
    dir.File("only/song.mid", 3);
    dir.Folder("only/.hidden");
    fs::create_directory_symlink(dir.Path("only/.hidden"), dir.Path("only/link"));
    EXPECT_FALSE(HasSubFolders(dir.Path("only")));
    EXPECT_FALSE(HasSubFolders(dir.Path("missing")));
    EXPECT_TRUE(ListSubFolders(dir.Path("missing")).empty());
}

TEST(FolderTree, RootsAreHomeThenTheFileSystemRoot) {
    VELNOR_POSIX_ONLY("the folder tree starts at HOME and /; Windows drives are not listed yet");
    velnor::testing::ListsTestDir dir;
    const char* saved = std::getenv("HOME");
    const std::string savedHome = saved ? saved : "";
    ::setenv("HOME", dir.Path().c_str(), 1);
    EXPECT_EQ(FolderTreeRoots(), (std::vector<std::string>{dir.Path(), "/"}));
    ::setenv("HOME", "/", 1);
    EXPECT_EQ(FolderTreeRoots(), std::vector<std::string>{"/"});
    ::setenv("HOME", savedHome.c_str(), 1);
    if (!saved) ::unsetenv("HOME");
}

TEST(FolderTree, PathsSplitUnderHomeOrUnderTheRoot) {
    VELNOR_POSIX_ONLY("the folder tree starts at HOME and /; Windows drives are not listed yet");
    velnor::testing::ListsTestDir dir;
    const std::string home = dir.Folder("home");
    dir.Folder("home/Music/Live");
    dir.Folder("homeless/Songs");
    ScriptedPrompter prompter;

    std::optional<FolderSelection> s = SplitFolderPath(home + "/Music/Live/", home, prompter);
    ASSERT_TRUE(s);
    EXPECT_EQ(s->root, home);
    EXPECT_EQ(s->components, (std::vector<std::string>{"Music", "Live"}));

    s = SplitFolderPath(home, home + "/", prompter);
    ASSERT_TRUE(s);
    EXPECT_TRUE(s->components.empty());

    s = SplitFolderPath(dir.Path("homeless/Songs"), home, prompter);
    ASSERT_TRUE(s);
    EXPECT_EQ(s->root, "/");
    ASSERT_GE(s->components.size(), 2u);
    EXPECT_EQ(s->components.back(), "Songs");
    EXPECT_EQ(s->components[s->components.size() - 2], "homeless");
    fs::path joined = "/";
    for (const std::string& c : s->components) joined /= c;
    EXPECT_EQ(joined, fs::path(dir.Path("homeless/Songs")));
    EXPECT_TRUE(prompter.entries.empty());
}

TEST(FolderTree, AMissingPathSaysFolderNotFoundWithTheStopIcon) {
    velnor::testing::ListsTestDir dir;
    ScriptedPrompter prompter;
    const std::string missing = dir.Path("no/such/folder");
    EXPECT_FALSE(SplitFolderPath(missing, dir.Path(), prompter));
    ASSERT_EQ(prompter.entries.size(), 1u);
    EXPECT_EQ(prompter.entries[0].text, missing);
    EXPECT_EQ(prompter.entries[0].caption, "Folder not found");
    EXPECT_EQ(prompter.entries[0].icon, PromptIcon::Stop);
    EXPECT_EQ(prompter.entries[0].buttons, PromptButtons::Ok);
}
