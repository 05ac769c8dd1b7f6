// The employee list written out for a spreadsheet: one CSV row per employee with the name of its
// photograph file, the photographs into a folder beside it. Importing the file again with that folder
// brings back the same employees and photographs. Knows nothing of windows.
#pragma once

#include <QString>

namespace data {
class Connection;
}

namespace employees {

struct ExportResult {
    int employees = 0;
    int photos = 0;
};

// Writes the CSV (UTF-8 with a byte-order mark so that spreadsheet programs read the accents, comma
// separated, RFC 4180 quoting) and, when photoFolder is given, each employee's photograph into it, named
// after the code. The CSV appears only once complete. Throws AppError naming the file that failed.
ExportResult exportEmployees(data::Connection& connection, const QString& csvPath,
                             const QString& photoFolder = {});

} // namespace employees
