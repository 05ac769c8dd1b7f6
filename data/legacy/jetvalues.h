// Turning the bytes Jet keeps in a row into the values the program stores: dates kept as a count of
// days since 1899-12-30, and Jet 4 text in UCS-2 that may be "compressed" to one byte per character.
// Knows nothing of files or tables.
#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

namespace legacy {

// Jet keeps a date as days since 1899-12-30 with the time of day as the fraction. Before that day the
// whole days are negative while the time still counts forward (-1.25 is 1899-12-29 06:00), so the
// usual arithmetic on the double gives the wrong day. Returns "yyyy-MM-dd HH:mm:ss" (with ".zzz" when
// there are milliseconds), or nothing when the value lies outside the years 100 to 9999 that Jet knows.
std::optional<QString> jetDateText(double days);

// Jet 4 text: UCS-2 little-endian, or, when it starts with FF FE, runs of one-byte characters and
// two-byte characters switched by a 00 byte. Surrogate pairs survive; a stray odd last byte is ignored.
QString jet4Text(const char* bytes, qsizetype length);

} // namespace legacy
