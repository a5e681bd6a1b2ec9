#pragma once

#include <QStringView>

#include <vector>

namespace veltrano {

// Ranks texts by the collation of the user's locale, the way report tables
// sort their text columns: letter case ignored, accents counted, digits
// compared as characters, spaces and punctuation counted. Texts that collate
// equal get equal ranks; ranks are dense (0 .. highest).
//
// The order is always the locale collator's own. Most texts of a report are
// written in characters that each weigh exactly one primary collation weight
// (ASCII letters, digits and punctuation, Cyrillic and most Latin-1 letters
// in most locales): such a text compares like the string of its characters'
// weights, so it is ranked through a table of those weights, taken once per
// locale from the collator itself. Only the other texts need the collator's
// full sort keys, and are merged in by the collator's comparison.
class LocaleCollation final {
public:
    static std::vector<int> rankTexts(const std::vector<QStringView> &texts);
};

} // namespace veltrano
