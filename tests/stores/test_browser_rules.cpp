#include <gtest/gtest.h>

#include "stores/BrowserRules.h"

using namespace velnor;

namespace {

FileRow Row(std::string name, bool folder = false, std::string size = {}, std::string modified = {},
            std::string song = {}) {
    FileRow row;
    row.name = std::move(name);
    row.isFolder = folder;
    row.sizeText = std::move(size);
    row.modifiedText = std::move(modified);
    row.songName = std::move(song);
    return row;
}

std::vector<std::string> Names(const std::vector<FileRow>& rows) {
    std::vector<std::string> names;
    for (const FileRow& row : rows) names.push_back(row.name);
    return names;
}

}  // namespace

TEST(BrowserSort, FirstClickOnNameSortsDescendingOtherColumnsAscending) {
    BrowserSortState state;
    EXPECT_FALSE(state.HasSorted());
    state.Click(BrowserColumn::Name);
    EXPECT_TRUE(state.HasSorted());
    EXPECT_FALSE(state.Ascending());
    state.Click(BrowserColumn::Name);
    EXPECT_TRUE(state.Ascending());

    BrowserSortState other;
    other.Click(BrowserColumn::Size);
    EXPECT_EQ(other.Column(), BrowserColumn::Size);
    EXPECT_TRUE(other.Ascending());
    other.Click(BrowserColumn::Size);
    EXPECT_FALSE(other.Ascending());
    other.Click(BrowserColumn::Modified);
    EXPECT_TRUE(other.Ascending()) << "a new column starts ascending";
}

TEST(BrowserSort, NamePutsFoldersFirstAndIgnoresCaseAndDescendingReversesAll) {
    std::vector<FileRow> rows = {Row("b.mid"), Row("Zeta", true), Row("A.MID"), Row("alpha", true),
                                 Row("C.mid")};
    const std::vector<FileRow> original = rows;
    BrowserSortState state;
    SortBrowserRows(rows, state);
    EXPECT_EQ(Names(rows), Names(original)) << "nothing is sorted before the first click";

    state.Click(BrowserColumn::Name);  // descending
    SortBrowserRows(rows, state);
    EXPECT_EQ(Names(rows), (std::vector<std::string>{"C.mid", "b.mid", "A.MID", "Zeta", "alpha"}));
    state.Click(BrowserColumn::Name);  // ascending
    SortBrowserRows(rows, state);
    EXPECT_EQ(Names(rows), (std::vector<std::string>{"alpha", "Zeta", "A.MID", "b.mid", "C.mid"}));
}

TEST(BrowserSort, SizeSortsByTheLeadingNumberAndTextColumnsIgnoreCase) {
    std::vector<FileRow> rows = {Row("a", false, "12KB"), Row("b", false, "2KB"),
                                 Row("c", true, ""), Row("d", false, "100KB")};
    BrowserSortState state;
    state.Click(BrowserColumn::Size);
    SortBrowserRows(rows, state);
    EXPECT_EQ(Names(rows), (std::vector<std::string>{"c", "b", "a", "d"}));

    rows = {Row("1", false, "", "", "waltz"), Row("2", false, "", "", "Blues"),
            Row("3", false, "", "", "BLUES"), Row("4", false, "", "", "Anthem")};
    rows[0].typeName = "MIDI audio";
    state.Click(BrowserColumn::SongName);
    SortBrowserRows(rows, state);
    EXPECT_EQ(Names(rows), (std::vector<std::string>{"4", "2", "3", "1"}))
        << "equal names keep their order";

    state.Click(BrowserColumn::Type);
    SortBrowserRows(rows, state);
    EXPECT_EQ(rows.back().name, "1");
}

TEST(BrowserSort, ModifiedReadsTheTextBackAsTimeAndStaysAStrictWeakOrder) {
    EXPECT_EQ(ModifiedTextKey("03/05/2024 07:09"), 202403050709LL);
    EXPECT_FALSE(ModifiedTextKey(""));
    EXPECT_FALSE(ModifiedTextKey("13/05/2024 07:09"));
    EXPECT_FALSE(ModifiedTextKey("03/05/2024 07:09 trailing"));

    std::vector<FileRow> rows = {
        Row("dec", false, "", "12/31/2023 23:59"),
        Row("bad1", false, "", "garbage"),
        Row("mar", false, "", "03/05/2024 07:09"),
        Row("jan", false, "", "01/02/2024 10:00"),
        Row("bad2", false, "", ""),
        Row("jan-early", false, "", "01/02/2024 09:59"),
    };
    for (const FileRow& a : rows) {
        EXPECT_FALSE(BrowserRowLess(a, a, BrowserColumn::Modified));
        for (const FileRow& b : rows) {
            for (const FileRow& c : rows) {
                const bool ab = BrowserRowLess(a, b, BrowserColumn::Modified);
                const bool bc = BrowserRowLess(b, c, BrowserColumn::Modified);
                if (ab && bc) {
                    EXPECT_TRUE(BrowserRowLess(a, c, BrowserColumn::Modified));
                }
                const bool eqAB = !ab && !BrowserRowLess(b, a, BrowserColumn::Modified);
                const bool eqBC = !bc && !BrowserRowLess(c, b, BrowserColumn::Modified);
                const bool eqAC = !BrowserRowLess(a, c, BrowserColumn::Modified) &&
                                  !BrowserRowLess(c, a, BrowserColumn::Modified);
                if (eqAB && eqBC) {
                    EXPECT_TRUE(eqAC) << a.name << b.name << c.name;
                }
            }
        }
    }
    BrowserSortState state;
    state.Click(BrowserColumn::Modified);
    SortBrowserRows(rows, state);
    EXPECT_EQ(Names(rows),
              (std::vector<std::string>{"bad1", "bad2", "dec", "jan-early", "jan", "mar"}));
}
