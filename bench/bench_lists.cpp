// Measures the core side of reloading the song lists: one pass over a
// repository of 2,000 songs and over a browser folder of 10,000 entries, and
// sorting the browser rows by every column. The song-name reader is left out
// (it belongs to the SMF reader's own figures). Prints milliseconds.
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "stores/BrowserRules.h"
#include "stores/FileRows.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

double Millis(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

void Fill(const fs::path& folder, int songs, int others, int folders) {
    fs::create_directories(folder);
    for (int i = 0; i < songs; ++i) {
        std::ofstream(folder / ("Song " + std::to_string(i) + (i % 2 ? ".mid" : ".MID")))
            << std::string(static_cast<std::size_t>(100 + i % 5000), 'x');
    }
    for (int i = 0; i < others; ++i) std::ofstream(folder / ("note" + std::to_string(i) + ".txt"));
    for (int i = 0; i < folders; ++i) fs::create_directory(folder / ("Folder" + std::to_string(i)));
}

}  // namespace

int main() {
    const fs::path root = fs::temp_directory_path() / "velnor-bench-lists";
    fs::remove_all(root);
    Fill(root / "Repository", 2000, 0, 0);
    Fill(root / "Browser", 6000, 3000, 1000);
    const int rounds = 10;

    Clock::time_point start = Clock::now();
    std::size_t rows = 0;
    for (int i = 0; i < rounds; ++i)
        rows = velnor::ListRepository((root / "Repository").string(), {}).size();
    std::printf("repository reload, %zu songs: %.2f ms\n", rows, Millis(start) / rounds);

    start = Clock::now();
    std::vector<velnor::FileRow> browser;
    for (int i = 0; i < rounds; ++i)
        browser = velnor::ListBrowserFolder((root / "Browser").string(), {});
    std::printf("browser reload, 10000 entries, %zu rows: %.2f ms\n", browser.size(),
                Millis(start) / rounds);

    for (int column = 0; column < 5; ++column) {
        velnor::BrowserSortState state;
        state.Click(static_cast<velnor::BrowserColumn>(column));
        std::vector<velnor::FileRow> copy = browser;
        start = Clock::now();
        velnor::SortBrowserRows(copy, state);
        std::printf("sort %zu rows by column %d: %.2f ms\n", copy.size(), column, Millis(start));
    }
    fs::remove_all(root);
    return 0;
}
