// The tables on a PostgreSQL server, made the first time a program reaches a database without them.
// Text columns use a case-insensitive ICU collation, so compares and sorts behave as on the embedded
// database; keys are identity columns; long values are bytea.
#pragma once

#include <QSqlDatabase>
#include <QString>
#include <QStringList>

namespace data {

// The statements that make every table, in order; each may run again without harm.
QStringList postgresSchema();

// Makes the tables when one is missing, in one transaction that waits for any other program doing the
// same. A database that has them all is only read, so a user without the right to create tables can
// work with it. Throws AppError naming the database and the cause.
void ensurePostgresTables(QSqlDatabase& database, const QString& location);

// The autonumber key of a table ("EmployeeTable" -> "EmployeeId"); empty for a table without one.
QString keyColumn(const QString& table);

// PostgreSQL reports names in lower case; the program's own names come back with their usual spelling.
QString canonicalName(const QString& folded);

// A translated INSERT that hands back the key the row got (PostgreSQL keeps no last insert id).
QString withReturnedKey(const QString& insert, const QString& table);

} // namespace data
