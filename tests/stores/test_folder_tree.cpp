#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>

#include "ListsTestDir.h"
#include "common/ScriptedPrompter.h"
#include "stores/FileRows.h"
#include "stores/FolderTree.h"
#include "support/Portable.h"

#ifdef _WIN32
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#endif

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

namespace {

#ifdef _WIN32
constexpr const char* kHome = "USERPROFILE";
#else
constexpr const char* kHome = "HOME";
#endif

// The file system's root of `path` as the tree lists it: "/", or the drive
// with its letter in capitals ("C:\\").
std::string TreeRootOf(const std::string& path) {
    std::string root = fs::path(path).root_path().string();
    if (root.size() == 3 && root[1] == ':') root[0] = char(std::toupper(root[0]));
    return root;
}

}  // namespace

// The dot names of POSIX, and on Windows the hidden attribute too (which
// AppData and $Recycle.Bin carry there): the tree and the list leave both out.
TEST(FolderTree, HiddenFoldersAreLeftOut) {
    velnor::testing::ListsTestDir dir;
    dir.Folder("Shown");
    dir.Folder(".dot");
    dir.Folder("Marked");
#ifdef _WIN32
    ASSERT_TRUE(::SetFileAttributesW(PathFromUtf8(dir.Path("Marked")).c_str(),
                                     FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN));
    const std::vector<std::string> shown{"Shown"};
#else
    const std::vector<std::string> shown{"Marked", "Shown"};
#endif
    EXPECT_TRUE(IsHiddenEntry(PathFromUtf8(dir.Path(".dot"))));
    std::vector<std::string> names;
    for (const SubFolder& sub : ListSubFolders(dir.Path())) names.push_back(sub.name);
    EXPECT_EQ(names, shown);
}

TEST(FolderTree, DriveRootsInLetterOrder) {
    const struct {
        unsigned long mask;
        std::vector<std::string> roots;
    } cases[] = {
        {0, {}},
        {0b1101, {"A:\\", "C:\\", "D:\\"}},
        {1ul << 25, {"Z:\\"}},
        {~0ul << 26, {}},  // no letter beyond Z
    };
    for (const auto& c : cases) EXPECT_EQ(DriveRoots(c.mask), c.roots) << c.mask;
}

TEST(FolderTree, RootsAreHomeThenTheFileSystemRoots) {
    velnor::testing::ListsTestDir dir;
    const char* saved = std::getenv(kHome);
    const std::string savedHome = saved ? saved : "";
    ::setenv(kHome, dir.Path().c_str(), 1);
    const std::vector<std::string> roots = FolderTreeRoots();
    const std::string top = TreeRootOf(dir.Path());
    ::setenv(kHome, top.c_str(), 1);  // a home that is a root is listed once
    const std::vector<std::string> rootsOnly = FolderTreeRoots();
    ::setenv(kHome, savedHome.c_str(), 1);
    if (!saved) ::unsetenv(kHome);

    ASSERT_FALSE(roots.empty());
    EXPECT_EQ(roots.front(), dir.Path());
    EXPECT_EQ(std::vector<std::string>(roots.begin() + 1, roots.end()), rootsOnly);
#ifdef _WIN32
    // Every drive, the one of the temporary folder among them.
    EXPECT_NE(std::find(rootsOnly.begin(), rootsOnly.end(), top), rootsOnly.end());
    EXPECT_EQ(rootsOnly, DriveRoots(::GetLogicalDrives()));
#else
    EXPECT_EQ(rootsOnly, std::vector<std::string>{"/"});
#endif
}

TEST(FolderTree, PathsSplitUnderHomeOrUnderTheRoot) {
    velnor::testing::ListsTestDir dir;
    const std::string home = dir.Folder("home");
    dir.Folder("home/Music/Live");
    dir.Folder("homeless/Songs");
    ScriptedPrompter prompter;

    std::optional<FolderSelection> s =
        SplitFolderPath((fs::path(home) / "Music" / "Live" / "").string(), home, prompter);
    ASSERT_TRUE(s);
    EXPECT_EQ(s->root, home);
    EXPECT_EQ(s->components, (std::vector<std::string>{"Music", "Live"}));

    s = SplitFolderPath(home, (fs::path(home) / "").string(), prompter);
    ASSERT_TRUE(s);
    EXPECT_TRUE(s->components.empty());

    s = SplitFolderPath(dir.Path("homeless/Songs"), home, prompter);
    ASSERT_TRUE(s);
    EXPECT_EQ(s->root, TreeRootOf(dir.Path()));
    ASSERT_GE(s->components.size(), 2u);
    EXPECT_EQ(s->components.back(), "Songs");
    EXPECT_EQ(s->components[s->components.size() - 2], "homeless");
    fs::path joined = s->root;
    for (const std::string& c : s->components) joined /= c;
    EXPECT_TRUE(fs::equivalent(joined, dir.Path("homeless/Songs")));

    // The file system decides whether a path spelt in other capitals lies in
    // the home folder: on Windows it does, elsewhere it is another folder.
#ifdef _WIN32
    std::string shouted = home;
    std::transform(shouted.begin(), shouted.end(), shouted.begin(), ::toupper);
    s = SplitFolderPath((fs::path(shouted) / "MUSIC").string(), home, prompter);
    ASSERT_TRUE(s);
    EXPECT_EQ(s->root, home);
    EXPECT_EQ(s->components, std::vector<std::string>{"MUSIC"});
#else
    s = SplitFolderPath(dir.Folder("HOME/MUSIC"), home, prompter);
    ASSERT_TRUE(s);
    EXPECT_EQ(s->root, "/");
    EXPECT_EQ(s->components.back(), "MUSIC");
#endif
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
