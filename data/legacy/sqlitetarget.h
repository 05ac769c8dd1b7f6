// The new database file that an import writes, held through SQLite's own interface so that long
// values go in piece by piece (incremental blob I/O) and memory stays flat however large they are.
// Created with the program's tables; knows nothing of Access files.
#pragma once

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

    // Commits, switches the file to the journal the program uses, and closes it.
    void finish();

private:
    [[noreturn]] void fail(const QString& what) const;

    QString m_path;
    sqlite3* m_db = nullptr;
    sqlite3_stmt* m_insert = nullptr;
    sqlite3_blob* m_blob = nullptr;
    QString m_table;
};

// Identifier quoted for SQLite: "name" with inner quotes doubled.
QString quoted(const QString& identifier);

} // namespace legacy
