// Text comparison used by every text column: letter case is ignored and accented letters sort with
// their base letter (as the legacy Access database did), while "é" and "e" stay different values.
#pragma once

#include <QString>

struct sqlite3;

namespace data {

inline constexpr const char* TextCollationName = "PELLORIN_NOCASE";

// <0, 0 or >0, like strcmp, on UTF-8 text.
int compareText(const char* a, int lengthA, const char* b, int lengthB);
int compareText(const QString& a, const QString& b);

// Makes the collation known to one SQLite connection; returns false when SQLite refuses it.
bool registerTextCollation(sqlite3* handle);

} // namespace data
