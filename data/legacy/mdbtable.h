// Reads one table of an Access file row by row, the way libmdb 1.0 needs it: every column bound to a
// buffer of at least one page, Null told apart from an empty value by the row's null mask, dates taken
// from the raw double, and each long value read once per row, page by page, and checked against the
// length its header declares. Any inconsistency is reported as damage, never passed on.
#pragma once

#include "data/legacy/jetfile.h"

#include <QByteArray>
#include <QString>
#include <QVariant>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

struct S_MdbTableDef;

namespace legacy {

struct MdbColumnInfo {
    QString name;
    int type = 0; // libmdb's MDB_* type
    int size = 0;
    bool isLongBinary() const; // OLE object: streamed, never held whole
};

class MdbTableReader {
public:
    // Throws AppError when the table's definition cannot be read.
    MdbTableReader(JetFile& file, const QString& tableName);
    ~MdbTableReader();
    MdbTableReader(const MdbTableReader&) = delete;
    MdbTableReader& operator=(const MdbTableReader&) = delete;

    const QString& name() const { return m_name; }
    const std::vector<MdbColumnInfo>& columns() const { return m_columns; }
    int columnIndex(const QString& name) const; // -1 when absent; letter case ignored as Jet does
    qint64 declaredRows() const;
    qint64 rowsRead() const { return m_rowsRead; }

    // Moves to the next row; false after the last. Throws AppError on damage, including a row count
    // that differs from the one the table declares.
    bool next();

    bool isNull(int column) const;
    // A value of the current row: qint64 for whole numbers and yes/no, double, QString for text, memo,
    // dates ("yyyy-MM-dd HH:mm:ss"), money and decimals, QByteArray for binary and OLE values; a null
    // QVariant for Null. An OLE value is read whole; use readLong to stream a large one instead.
    QVariant value(int column);
    // The length that the current row's long value declares (0 for an empty one), nothing for Null.
    std::optional<qint64> declaredLength(int column) const;
    // Streams the current row's long value (OLE or memo bytes as stored) in pieces of at most one page;
    // returns its length. Throws AppError when the pieces do not add up to the declared length.
    qint64 readLong(int column, const std::function<void(const char*, qsizetype)>& sink);

    // The damage message for this file.
    QString damaged(const QString& what) const;

private:
    QString where(int column) const;
    unsigned char* fieldBytes(int column, int expectedSize) const;
    QString text(const char* bytes, qsizetype length) const;

    JetFile& m_file;
    QString m_name;
    S_MdbTableDef* m_table = nullptr;
    std::vector<MdbColumnInfo> m_columns;
    std::vector<std::unique_ptr<char[]>> m_buffers;
    std::vector<int> m_lengths;
    struct Field {
        bool isNull = true;
        int start = 0;
        int size = 0;
    };
    std::vector<Field> m_fields;
    std::vector<bool> m_longRead;
    qint64 m_rowsRead = 0;
};

} // namespace legacy
