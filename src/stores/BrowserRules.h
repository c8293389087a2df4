#pragma once

#include <optional>
#include <vector>

#include "stores/FileRows.h"

namespace velnor {

/// The browser list's columns, in order.
enum class BrowserColumn { Name = 0, SongName = 1, Size = 2, Type = 3, Modified = 4 };

/// Compares two strings ignoring the case of ASCII letters: <0, 0 or >0.
int CompareNoCase(const std::string& a, const std::string& b);

/// The number a size text starts with ("12KB" -> 12, "" -> 0).
unsigned long long SizeTextNumber(const std::string& sizeText);

/// A modified text read back as one number that orders by time
/// (YYYYMMDDhhmm); nullopt when the text is not a valid "MM/DD/YYYY hh:mm".
std::optional<long long> ModifiedTextKey(const std::string& modifiedText);

/// Ascending order of two browser rows by `column`; a strict weak ordering
/// for std::stable_sort, so rows that compare equal keep their order.
///  - Name: folders before files, then names ignoring case.
///  - Song Name, Type: text ignoring case (the type text is the one the
///    window system put into `FileRow::typeName`).
///  - Size: the number the size text starts with, blank counting 0.
///  - Modified: the texts read back as times, earliest first. A text that
///    cannot be read is equal to every other unreadable text and comes before
///    every readable one: "unreadable equals anything" would not be an
///    ordering at all (a == x and x == b while a < b), and sorting with it
///    would be undefined.
bool BrowserRowLess(const FileRow& a, const FileRow& b, BrowserColumn column);

/// The sort state of the browser list. It starts at column 0 ascending
/// without having sorted, so the first click on Name sorts descending and the
/// first click on any other column ascending; a click on the same column
/// again reverses the direction.
class BrowserSortState {
  public:
    /// A click on a column header: updates the state, after which the caller
    /// sorts (`SortBrowserRows`) and moves the header's mark.
    void Click(BrowserColumn column);

    BrowserColumn Column() const { return m_column; }
    bool Ascending() const { return m_ascending; }
    /// Whether any click has happened; a reload re-applies the sort only then.
    bool HasSorted() const { return m_sorted; }

  private:
    BrowserColumn m_column = BrowserColumn::Name;
    bool m_ascending = true;
    bool m_sorted = false;
};

/// Sorts the rows by the state's column and direction (stable; a descending
/// sort is the ascending order reversed, folders included). Does nothing
/// before the first click.
void SortBrowserRows(std::vector<FileRow>& rows, const BrowserSortState& state);

}  // namespace velnor
