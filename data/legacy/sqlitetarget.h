// The new database file that an import writes. Created by the data layer (so it holds the program's
// tables at the current schema version), then written through SQLite's own interface so that long
// values go in piece by piece (incremental blob I/O) and memory stays flat however large they are.
// Knows nothing of Access files.
#pragma once

#include "data/connection.h"

#include <QByteArray>
#include <QString>
#include <QVariant>

#include <vector>

struct sqlite3;
struct sqlite3_stmt;
struct sqlite3_blob;

namespace legacy {

struct TargetColumn {
    QString name;
    bool isKey = false;
    QString type; // as declared: "INTEGER", "TEXT COLLATE NOCASE", "DATETIME", "BLOB"
};

class SqliteTarget {
public:
    // Creates the file (which must not exist yet) with the program's tables. Throws AppError.
    explicit SqliteTarget(const QString& path);
    ~SqliteTarget();
    SqliteTarget(const SqliteTarget&) = delete;
    SqliteTarget& operator=(const SqliteTarget&) = delete;

    void exec(const QString& sql);
    std::vector<TargetColumn> columns(const QString& table);
    void addColumn(const QString& table, const QString& column, const QString& type);

    // One prepared INSERT for a table's columns.
    void prepareInsert(const QString& table, const QStringList& columns);
    void bind(int index, const QVariant& value); // 0-based
    void bindZeroBlob(int index, qint64 length);
    // Runs the INSERT; returns the new row's rowid.
    qint64 insert();
    // Writes a long value of the last inserted row piece by piece.
    void openBlob(const QString& column, qint64 rowid);
    void writeBlob(const char* bytes, int length, int offset);
    void closeBlob();

    // Ends a row of `bytes` long-value bytes; commits now and then so the write-ahead log stays small
    // (a failed import deletes the whole file, so the rows need not be one transaction).
    void rowDone(qint64 bytes);

    // Commits, folds the log into the file and closes it.
    void finish();

private:
    [[noreturn]] void fail(const QString& what) const;

    QString m_path;
    data::Connection m_connection;
    sqlite3* m_db = nullptr; // the connection's
    qint64 m_pendingBytes = 0;
    int m_pendingRows = 0;
    sqlite3_stmt* m_insert = nullptr;
    sqlite3_blob* m_blob = nullptr;
    QString m_table;
};

// Identifier quoted for SQLite: "name" with inner quotes doubled.
QString quoted(const QString& identifier);

} // namespace legacy
