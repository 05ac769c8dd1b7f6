// What the reader process tells the importer, one line per message on its standard output, fields
// separated by tabs:
//   format  Jet3|Jet4
//   absent  TABLE                      a table of the program that the file does not hold
//   skipped TABLE                      a table of the file that the program does not know
//   progress PERMILLE                  also sent as a sign of life while a long value is copied
//   table   TABLE ROWS VALUES BYTES COLUMN...   rows copied, long values and their bytes, long columns
//   error   MESSAGE                    the reason it gave up (exit status 1)
//   ok                                 everything was copied and the database file closed
#pragma once

#include <QString>
#include <QStringList>

namespace legacy::protocol {

inline const QString Format = QStringLiteral("format");
inline const QString Absent = QStringLiteral("absent");
inline const QString Skipped = QStringLiteral("skipped");
inline const QString Progress = QStringLiteral("progress");
inline const QString Table = QStringLiteral("table");
inline const QString Error = QStringLiteral("error");
inline const QString Ok = QStringLiteral("ok");

// One line; tabs and line ends inside fields (a hostile table name) become blanks.
inline QString line(QStringList fields) {
    for (QString& field : fields) {
        for (QChar& c : field)
            if (c == QLatin1Char('\t') || c == QLatin1Char('\n') || c == QLatin1Char('\r'))
                c = QLatin1Char(' ');
    }
    return fields.join(QLatin1Char('\t'));
}

} // namespace legacy::protocol
