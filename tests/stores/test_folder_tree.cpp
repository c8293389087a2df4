#include <gtest/gtest.h>

#include <cstdlib>

#include "ListsTestDir.h"
#include "common/ScriptedPrompter.h"
#include "stores/FolderTree.h"
#include "support/Portable.h"

using namespace velnor;
namespace fs = std::filesystem;

TEST(FolderTree, SubFoldersAreVisibleDirectoriesAndLinksToThemSortedIgnoringCase) {
    VELNOR_NEEDS_LINKS_AND_PIPES();
    velnor::testing::ListsTestDir dir;
    dir.Folder("beta");
    dir.Folder("Alpha");
    dir.Folder("alpha");
    dir.Folder("Gamma");
    dir.Folder(".cache");
    dir.File("song.mid", 3);
    dir.Folder("elsewhere/Disk");
    fs::create_directory_symlink(dir.Path("beta"), dir.Path("link"));
    fs::create_directory_symlink(dir.Path("elsewhere/Disk"), dir.Path("Music"));
    fs::create_symlink(dir.Path("song.mid"), dir.Path("song link"));
    fs::create_directory_symlink(dir.Path("gone"), dir.Path("dangling"));

    std::vector<std::string> names;
    for (const SubFolder& sub : ListSubFolders(dir.Path())) {
        names.push_back(sub.name);
        EXPECT_EQ(sub.path, dir.Path(sub.name));
    }
    EXPECT_EQ(names, (std::vector<std::string>{"Alpha", "alpha", "beta", "elsewhere", "Gamma",
                                               "link", "Music"}));
    EXPECT_TRUE(HasSubFolders(dir.Path()));
}

// A link to the folder itself or to a folder above it would only show that
// folder again, one level deeper each time it is opened: it is left out.
TEST(FolderTree, LinksToAFolderAboveAreLeftOut) {
    VELNOR_NEEDS_LINKS_AND_PIPES();
    velnor::testing::ListsTestDir dir;
    dir.Folder("top/only/.hidden");
    dir.File("top/only/song.mid", 3);
    fs::create_directory_symlink(dir.Path("top/only/.hidden"), dir.Path("top/only/link"));
    fs::create_directory_symlink(dir.Path("top/only"), dir.Path("top/only/self"));
    fs::create_directory_symlink(dir.Path("top"), dir.Path("top/only/up"));
    fs::create_directory_symlink("..", dir.Path("top/only/relative up"));
    fs::create_directory_symlink("/", dir.Path("top/only/root"));
    std::vector<std::string> names;
    for (const SubFolder& sub : ListSubFolders(dir.Path("top/only"))) names.push_back(sub.name);
    EXPECT_EQ(names, std::vector<std::string>{"link"});
    fs::remove(dir.Path("top/only/link"));
    EXPECT_FALSE(HasSubFolders(dir.Path("top/only")));
    // Seen through a link, the folder above is still the same folder.
    fs::create_directory_symlink(dir.Path("top/only"), dir.Path("alias"));
    EXPECT_TRUE(ListSubFolders(dir.Path("alias")).empty());
}

TEST(FolderTree, HasSubFoldersIgnoresFilesAndHiddenFolders) {
    VELNOR_NEEDS_LINKS_AND_PIPES();
    velnor::testing::ListsTestDir dir;
    dir.File("only/song.mid", 3);
    dir.Folder("only/.hidden");
    fs::create_symlink(dir.Path("only/song.mid"), dir.Path("only/song link"));
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
