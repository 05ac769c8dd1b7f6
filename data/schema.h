// The tables of a Pellorin database and the one way to bring a database to them: create them in a new
// database, migrate one that an older version made, and write nothing when they are current. Text
// columns name only collations that every SQLite tool knows; the program's own text order is applied
// statement by statement (see Connection::translate).
#pragma once

#include <QStringList>

namespace data {

class Connection;

// Recorded in the file (PRAGMA user_version on SQLite); raise it with every change to the statements
// below, so that existing files get the change. 0: made before versions were recorded, when text
// columns named the program's own collation. 1: without the library's indexes. 2: without the badge
// ledger and the library's text index, review dates and audit trail.
inline constexpr int SchemaVersion = 3;

// CREATE TABLE/INDEX IF NOT EXISTS statements of the current version for SQLite, in creation order,
// ending with the library's hidden root folder.
QStringList sqliteSchema();

// The names of the program's tables.
QStringList tableNames();

// The library's tables beside the five: extracted text and its index, review dates, the audit trail.
// A database lacking one of them is brought up to date.
QStringList libraryTableNames();

// Brings the database behind an open connection to the current schema: creates the tables in an empty
// database, migrates one made by an older version in one transaction (keeping a copy of the file until
// the migration has succeeded), and writes nothing when the schema is current. Refuses a database made
// by a newer version. Throws AppError naming the database and the cause.
void ensureSchema(Connection& connection);

} // namespace data
