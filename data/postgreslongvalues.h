// Long values on PostgreSQL (bytea columns, stored uncompressed so that pieces can be read directly).
// A value is read with substring() a piece at a time. Writing appends each piece to a temporary table of
// this session and puts the value together on the server once the last piece has arrived, so neither
// the program nor the network holds more than one piece. Savepoints make each transfer all or nothing.
#pragma once

#include "data/longvalue.h"

#include <QHash>

namespace data {

class PostgresLongValues : public LongValueProvider {
public:
    explicit PostgresLongValues(Connection& connection) : m_connection(connection) {}

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
    Connection& m_connection;
    bool m_ownTransaction = false;    // begin() had to start one
    QHash<QString, qint64> m_lengths; // announced lengths of values about to be written
};

} // namespace data
