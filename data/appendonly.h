// Tables that keep records (the badge ledger, the library's audit trail): rows are added, never changed
// or deleted. The program only ever inserts into them, and the database refuses the rest as well: on
// SQLite, triggers abort UPDATE and DELETE; on PostgreSQL, a trigger refuses UPDATE, DELETE and TRUNCATE
// and the operators' role is granted INSERT and SELECT only (see the README). A record is inserted on the
// connection and in the transaction of the work it records, so there is never one without the other.
// Knows nothing of what the records hold.
#pragma once

#include <QString>
#include <QStringList>

namespace data {

class Connection;

namespace appendonly {

// Statements (safe to run again) that make the database refuse changes to table's rows. Append them to
// the schema after the table's CREATE TABLE.
QStringList sqliteGuards(const QString& table);
QStringList postgresGuards(const QString& table);

// The guards of table that the database lacks: empty when the table is protected as it should be.
// For `check`: a missing guard means somebody tampered with the file.
QStringList missingGuards(Connection& connection, const QString& table);

// The words with which the database refuses a change, for tests and messages.
QString refusal(const QString& table);

// Who a record names: the system account that runs the program (not USER, which whoever starts the
// program can set to anything).
QString systemUserName();

// The server's name for the operator, who may log in under another name than the system's (PostgreSQL's
// session_user); empty on SQLite. Throws AppError when the server cannot say.
QString databaseUser(Connection& connection);

} // namespace appendonly
} // namespace data
