#include "stores/BrowserRules.h"

#include <algorithm>
#include <climits>
#include <cstdio>

namespace velnor {

namespace {

char LowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool ModifiedLess(const std::string& a, const std::string& b) {
    const std::optional<long long> ka = ModifiedTextKey(a);
    const std::optional<long long> kb = ModifiedTextKey(b);
    if (!kb) return false;  // nothing comes before an unreadable time but nothing
    if (!ka) return true;
    return *ka < *kb;
}

}  // namespace

int CompareNoCase(const std::string& a, const std::string& b) {
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        const auto ca = static_cast<unsigned char>(LowerAscii(a[i]));
        const auto cb = static_cast<unsigned char>(LowerAscii(b[i]));
        if (ca != cb) return ca < cb ? -1 : 1;
    }
    if (a.size() == b.size()) return 0;
    return a.size() < b.size() ? -1 : 1;
}

unsigned long long SizeTextNumber(const std::string& sizeText) {
    unsigned long long number = 0;
    for (char c : sizeText) {
        if (c < '0' || c > '9') break;
        number = number * 10 + static_cast<unsigned>(c - '0');
    }
    return number;
}

std::optional<long long> ModifiedTextKey(const std::string& text) {
    int month = 0, day = 0, year = 0, hour = 0, minute = 0, used = 0;
    if (std::sscanf(text.c_str(), "%2d/%2d/%4d %2d:%2d%n", &month, &day, &year, &hour, &minute,
                    &used) != 5 ||
        static_cast<std::size_t>(used) != text.size()) {
        return std::nullopt;
    }
    if (month < 1 || month > 12 || day < 1 || day > 31 || year < 1 || hour > 23 || hour < 0 ||
        minute < 0 || minute > 59) {
        return std::nullopt;
    }
    return (((year * 100LL + month) * 100 + day) * 100 + hour) * 100 + minute;
}

bool BrowserRowLess(const FileRow& a, const FileRow& b, BrowserColumn column) {
    switch (column) {
        case BrowserColumn::Name:
            if (a.isFolder != b.isFolder) return a.isFolder;
            return CompareNoCase(a.name, b.name) < 0;
        case BrowserColumn::SongName:
            return CompareNoCase(a.songName, b.songName) < 0;
        case BrowserColumn::Size:
            return SizeTextNumber(a.sizeText) < SizeTextNumber(b.sizeText);
        case BrowserColumn::Type:
            return CompareNoCase(a.typeName, b.typeName) < 0;
        case BrowserColumn::Modified:
            return ModifiedLess(a.modifiedText, b.modifiedText);
    }
    return false;
}

void BrowserSortState::Click(BrowserColumn column) {
    if (column == m_column) {
        m_ascending = !m_ascending;
    } else {
        m_column = column;
        m_ascending = true;
    }
    m_sorted = true;
}

void SortBrowserRows(std::vector<FileRow>& rows, const BrowserSortState& state) {
    if (!state.HasSorted()) return;
    const BrowserColumn column = state.Column();
    const bool ascending = state.Ascending();
    if (column != BrowserColumn::Modified) {
        std::stable_sort(rows.begin(), rows.end(), [=](const FileRow& a, const FileRow& b) {
            return ascending ? BrowserRowLess(a, b, column) : BrowserRowLess(b, a, column);
        });
        return;
    }
    // Read every time text back once, not once per comparison. An unreadable
    // text takes the lowest key: equal to the other unreadable ones, before
    // every readable time, as BrowserRowLess orders them.
    std::vector<std::pair<long long, std::size_t>> keys;
    keys.reserve(rows.size());
    for (std::size_t i = 0; i < rows.size(); ++i) {
        keys.emplace_back(ModifiedTextKey(rows[i].modifiedText).value_or(LLONG_MIN), i);
    }
    std::stable_sort(keys.begin(), keys.end(), [=](const auto& a, const auto& b) {
        return ascending ? a.first < b.first : b.first < a.first;
    });
    std::vector<FileRow> sorted;
    sorted.reserve(rows.size());
    for (const auto& key : keys) sorted.push_back(std::move(rows[key.second]));
    rows = std::move(sorted);
}

}  // namespace velnor
