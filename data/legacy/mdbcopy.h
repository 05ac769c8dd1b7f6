// The work of the reader process: copies the program's tables out of an Access file into a new
// SQLite database, row by row and long value by long value, and says what it did on the way. Runs in
// a process of its own, because libmdb may crash or loop on a damaged file.
#pragma once

#include <QString>
#include <QStringList>

#include <functional>

namespace legacy {

// Receives the protocol lines (see readerprotocol.h) as they happen.
using ReportLine = std::function<void(const QStringList& fields)>;

// Throws AppError with the reason when the file cannot be copied; the target file is then incomplete
// and the caller deletes it.
void copyMdbToSqlite(const QString& mdbPath, const QString& targetPath, const ReportLine& report);

} // namespace legacy
