// Long binary values (stored files, photographs, documents) moved between a file and a database column
// in pieces, so memory stays flat whatever the size, with progress and cancel. What differs between
// database backends sits behind LongValueProvider; everything else here is written once against it.
// Knows nothing of the tables' meaning or of windows.
#pragma once

#include "data/outputfile.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <functional>
#include <memory>
#include <optional>

namespace data {

class Connection;

// Called after every piece with the bytes moved so far and the total; returning false cancels.
using TransferProgress = std::function<bool(qint64 done, qint64 total)>;
// Gets one piece of a value being read; returning false stops the reading.
using PieceReceiver = std::function<bool(QByteArrayView piece)>;

// One long value: a column of the row whose key (the row's own identifier) is rowId.
struct LongValueCell {
    QString table;
    QString column;
    qint64 rowId = 0;
};

// Column values of a row to insert, in any order.
using ColumnValues = QList<QPair<QString, QVariant>>;

// One stored value read from its start.
class LongValueReader {
public:
    virtual ~LongValueReader() = default;
    virtual qint64 size() const = 0;
    // Reads up to maxBytes; returns how many were read, 0 at the end. Throws AppError.
    virtual qint64 read(char* into, qint64 maxBytes) = 0;
};

// A value already in memory, handed out as if in pieces.
class BytesReader : public LongValueReader {
public:
    explicit BytesReader(QByteArray bytes) : m_bytes(std::move(bytes)) {}
    qint64 size() const override { return m_bytes.size(); }
    qint64 read(char* into, qint64 maxBytes) override;

private:
    QByteArray m_bytes;
    qint64 m_position = 0;
};

// A value of a length fixed in advance, written from its start.
class LongValueWriter {
public:
    virtual ~LongValueWriter() = default;
    virtual void write(const char* bytes, qint64 count) = 0; // throws AppError
};

// The rows of a SELECT with one long column that is read in pieces, never with the row.
class LongValueRows {
public:
    virtual ~LongValueRows() = default;
    virtual bool next() = 0;
    // A column other than the long one, as the statement names it; a null QVariant for Null.
    virtual QVariant field(const QString& name) = 0;
    // The current row's long value; nothing for Null.
    virtual std::unique_ptr<LongValueReader> openLongValue() = 0;
};

// What one database backend provides. A backend that cannot read a statement's long values in pieces
// may fall back to readRowsWhole(), which is slower and holds one value at a time in memory.
class LongValueProvider {
public:
    virtual ~LongValueProvider() = default;
    // The longest value the database can hold, in bytes.
    virtual qint64 maximumLength() = 0;
    // Changes made between begin and commit are kept together or not at all; nests inside a
    // transaction the caller already holds.
    virtual void begin() = 0;
    virtual void commit() = 0;
    virtual void rollback() = 0;
    // Inserts a row with the values and a long column of `length` bytes still to be written; returns
    // the new row's key.
    virtual qint64 insertRow(const QString& table, const ColumnValues& values, const QString& longColumn,
                             qint64 length) = 0;
    // Makes the value of an existing row `length` bytes long, to be written with openWriter.
    virtual void resize(const LongValueCell& cell, qint64 length) = 0;
    // Opens the value for writing from its start; it keeps its length.
    virtual std::unique_ptr<LongValueWriter> openWriter(const LongValueCell& cell) = 0;
    // Nothing when the value is Null. Throws AppError when there is no such row.
    virtual std::unique_ptr<LongValueReader> openReader(const LongValueCell& cell) = 0;
    // Runs the Jet statement; the columns in `fields` are read with each row, `longColumn` in pieces.
    virtual std::unique_ptr<LongValueRows> selectRows(const QString& jetSql, const QString& longColumn,
                                                      const QStringList& fields) = 0;
};

// The provider for the connection's backend. Throws AppError for a backend without one.
std::unique_ptr<LongValueProvider> longValueProvider(Connection& connection);

// Rows read the way any backend can: every value whole, one row at a time.
std::unique_ptr<LongValueRows> readRowsWhole(Connection& connection, const QString& jetSql,
                                             const QString& longColumn);

// Throws AppError naming the file when a value of `size` bytes cannot be stored in the database.
void checkFitsInDatabase(Connection& connection, qint64 size, const QString& filePath);

// Replaces the value of an existing row with the whole file. All or nothing: a failure or a cancel
// leaves the old value. Returns false when cancelled. Throws AppError naming the file or the database.
bool writeFileToValue(Connection& connection, const LongValueCell& cell, const QString& filePath,
                      const TransferProgress& progress = {});

// Values that depend on the rows already stored (a version number), chosen inside the inserting
// transaction, where no other program can store such a row until the commit (see Connection::lockName).
using ValuesChosenInside = std::function<ColumnValues(Connection& connection)>;

// Inserts a row with the values (and those of chooseInside) and the whole file in longColumn; returns
// the new row's key, or nothing when cancelled. A failure or a cancel stores no row. Throws AppError.
std::optional<qint64> insertRowWithFile(Connection& connection, const QString& table,
                                        const ColumnValues& values, const QString& longColumn,
                                        const QString& filePath, const TransferProgress& progress = {},
                                        const ValuesChosenInside& chooseInside = {});

// Writes the value to the file, replacing its whole content. The bytes go to a temporary file next to
// the target that takes the target's name only once complete, so a cancel or a failure leaves the
// target as it was; a Scratch copy is not synced to disk first. Returns false when cancelled. Throws AppError
// for a Null value, a missing row, or a file that cannot be written.
bool readValueToFile(Connection& connection, const LongValueCell& cell, const QString& filePath,
                     const TransferProgress& progress = {}, Durability durability = Durability::Synced);
bool writeReaderToFile(LongValueReader& reader, const QString& filePath,
                       const TransferProgress& progress = {}, Durability durability = Durability::Synced);

// Hands the value to `receiver` piece by piece. Returns false when the receiver stopped early; a Null
// value gives no piece. Throws AppError.
bool readValueInPieces(Connection& connection, const LongValueCell& cell, const PieceReceiver& receiver);

// The value's length in bytes; nothing for Null. Throws AppError when there is no such row.
std::optional<qint64> valueLength(Connection& connection, const LongValueCell& cell);

// Size of the pieces moved at a time.
constexpr qint64 LongValuePieceSize = 256 * 1024;

} // namespace data
