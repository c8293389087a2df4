#pragma once

#include <optional>
#include <string>
#include <vector>

namespace velnor {

// The logic of the port selection dialog, for one of its two lists. `names`
// holds the port names in port table order (position = port identifier).
//
// Display order: the lists show the names sorted, compared without regard to
// ASCII letter case (as the first platform's sorted list boxes did), names
// equal that way ordered by their bytes, and equal names in table order. The
// dialog inserts the entries in the order DisplayedPortNames() returns and
// does not sort the list widget itself, so a displayed row index means what
// these functions say it means.

/// The names in display order.
std::vector<std::string> DisplayedPortNames(const std::vector<std::string>& names);

/// The displayed row of port `nId`, or -1 when it lies outside the table.
/// Equal names stand in table order, so ports named alike keep their rows.
int DisplayedPortRow(const std::vector<std::string>& names, int nId);

/// The text to preselect: the name of the stored identifier, or the empty
/// string when the identifier lies outside the table.
std::string WantedPortText(const std::vector<std::string>& names, int nStoredId);

/// The displayed row to preselect: the last displayed entry whose text equals
/// the wanted text exactly, or -1 (no selection) when there is none or the
/// stored identifier lies outside the table.
int PreselectedPortRow(const std::vector<std::string>& names, int nStoredId);

/// The identifier OK stores: the first table position whose name equals the
/// selected text exactly; the stored identifier unchanged when nothing is
/// selected or no name matches.
int ChosenPortId(const std::vector<std::string>& names,
                 const std::optional<std::string>& selectedText, int nStoredId);

}  // namespace velnor
