#pragma once

#include <QString>
#include <QStringList>

namespace data {

enum class Backend { SQLite, PostgreSQL };

// Turns one Access/Jet SQL statement into what the backend accepts, with the meaning Access gave it.
// '?' placeholders for bound values pass through unchanged. Token based: never rewrites inside string
// literals.
QString translateJet(const QString& jetSql, Backend backend = Backend::SQLite);

// The table a statement reads from or writes to (first table after FROM / INTO / UPDATE), without
// brackets or quotes; empty when none. Used by record sets to know where add-new rows go.
QString statementTable(const QString& sql);

// Gives every ORDER BY term and every comparison of a named column the collation `collation`, so that
// text sorts and compares by the program's rules while the database file itself names only the
// collations every SQLite tool knows. Assignments after SET stay as they are; statements other than
// SELECT, INSERT, UPDATE, DELETE and WITH are returned unchanged. Comparisons of numberColumns stay as
// they are: a collation there changes no result, but keeps the database from using their indexes.
QString withCollation(const QString& sql, const QString& collation, const QStringList& numberColumns = {});

// The statement with the bound-value marks ('?' outside literals) at the given places (0 = the first
// mark) replaced by `replacement`, in which a '?' stands for the mark itself.
QString replaceMarks(const QString& sql, const QList<qsizetype>& places, const QString& replacement);

// True when the statement returns rows (SELECT, possibly after leading blanks/parentheses; also PRAGMA
// on SQLite).
bool isRowReturning(const QString& sql);

// True when the statement is an INSERT.
bool isInsert(const QString& sql);

} // namespace data
