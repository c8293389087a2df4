#include "workflows/PortChoice.h"

#include <algorithm>

namespace velnor {

namespace {

unsigned char Folded(char c) {
    unsigned char u = static_cast<unsigned char>(c);
    return (u >= 'A' && u <= 'Z') ? static_cast<unsigned char>(u - 'A' + 'a') : u;
}

bool DisplayedBefore(const std::string& a, const std::string& b) {
    const bool bFoldedLess =
        std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                     [](char x, char y) { return Folded(x) < Folded(y); });
    if (bFoldedLess) return true;
    const bool bFoldedGreater =
        std::lexicographical_compare(b.begin(), b.end(), a.begin(), a.end(),
                                     [](char x, char y) { return Folded(x) < Folded(y); });
    if (bFoldedGreater) return false;
    return a < b;
}

bool InTable(const std::vector<std::string>& names, int nId) {
    return nId >= 0 && static_cast<std::size_t>(nId) < names.size();
}

}  // namespace

std::vector<std::string> DisplayedPortNames(const std::vector<std::string>& names) {
    std::vector<std::string> shown = names;
    std::stable_sort(shown.begin(), shown.end(), DisplayedBefore);
    return shown;
}

int DisplayedPortRow(const std::vector<std::string>& names, int nId) {
    if (!InTable(names, nId)) return -1;
    int nRow = 0;
    for (std::size_t i = 0; i < names.size(); ++i) {
        const bool bBefore = static_cast<int>(i) < nId ? !DisplayedBefore(names[nId], names[i])
                                                       : DisplayedBefore(names[i], names[nId]);
        if (static_cast<int>(i) != nId && bBefore) ++nRow;
    }
    return nRow;
}

std::string WantedPortText(const std::vector<std::string>& names, int nStoredId) {
    return InTable(names, nStoredId) ? names[nStoredId] : std::string();
}

int PreselectedPortRow(const std::vector<std::string>& names, int nStoredId) {
    if (!InTable(names, nStoredId)) return -1;
    const std::string wanted = names[nStoredId];
    const std::vector<std::string> shown = DisplayedPortNames(names);
    int nRow = -1;
    for (std::size_t i = 0; i < shown.size(); ++i) {
        if (shown[i] == wanted) nRow = static_cast<int>(i);
    }
    return nRow;
}

int ChosenPortId(const std::vector<std::string>& names,
                 const std::optional<std::string>& selectedText, int nStoredId) {
    if (!selectedText) return nStoredId;
    const auto it = std::find(names.begin(), names.end(), *selectedText);
    return it == names.end() ? nStoredId : static_cast<int>(it - names.begin());
}

}  // namespace velnor
