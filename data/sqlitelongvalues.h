// Long values on SQLite: incremental blob I/O on the connection's own handle. A new value is first
// stored as zeros of its final length, then overwritten piece by piece, inside a savepoint so that a
// failure or a cancel leaves nothing behind.
// A large value stored in a transaction of its own folds the log back into the file at once.
// SQLite builds a row in memory when columns holding data follow a zero-filled value, so the tables
// keep their long column last; on an older file with another column order the transfer still works,
// with memory for one value while the row is made.
#pragma once

#include "data/longvalue.h"

struct sqlite3;

namespace data {

class SqliteLongValues : public LongValueProvider {
public:
    explicit SqliteLongValues(Connection& connection);

    qint64 maximumLength() override;
    void begin() override;
    void commit() override;
    void rollback() override;
    qint64 insertRow(const QString& table, const ColumnValues& values, const QString& longColumn,
                     qint64 length) override;
    void resize(const LongValueCell& cell, qint64 length) override;
    std::unique_ptr<LongValueWriter> openWriter(const LongValueCell& cell) override;
    std::unique_ptr<LongValueReader> openReader(const LongValueCell& cell) override;
    std::unique_ptr<LongValueRows> selectRows(const QString& jetSql, const QString& longColumn,
                                              const QStringList& fields) override;

private:
    void run(const char* sql, const QString& what);

    Connection& m_connection;
    sqlite3* m_db;
    bool m_ownTransaction = false;
};

} // namespace data
