#include "data/sqlitelongvalues.h"

#include "app/apperror.h"
#include "data/connection.h"
#include "data/sqlitewait.h"

#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>

#include <sqlite3.h>

namespace data {

namespace {

// Room left for the other values of the row and its header.
constexpr qint64 RowOverhead = 64 * 1024;

sqlite3* handleOf(Connection& connection) {
    const QVariant v = connection.database().driver()->handle();
    if (!v.isValid() || qstrcmp(v.typeName(), "sqlite3*") != 0)
        throw AppError(QStringLiteral("The database %1 is not open.").arg(connection.location()));
    return *static_cast<sqlite3* const*>(v.constData());
}

QString quoted(const QString& name) {
    QString inner = name;
    inner.replace(u'"', QLatin1String("\"\""));
    return u'"' + inner + u'"';
}

QString describe(const LongValueCell& cell) {
    return QStringLiteral("the value %1 of row %2 in %3").arg(cell.column).arg(cell.rowId).arg(cell.table);
}

// Owns one prepared statement.
struct Statement {
    sqlite3_stmt* handle = nullptr;
    ~Statement() { sqlite3_finalize(handle); }
};

QVariant valueOf(sqlite3_stmt* statement, int column) {
    switch (sqlite3_column_type(statement, column)) {
    case SQLITE_NULL:
        return QVariant();
    case SQLITE_INTEGER:
        return QVariant(qlonglong(sqlite3_column_int64(statement, column)));
    case SQLITE_FLOAT:
        return QVariant(sqlite3_column_double(statement, column));
    case SQLITE_TEXT:
        return QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(statement, column)),
                                 sqlite3_column_bytes(statement, column));
    default:
        return QByteArray(static_cast<const char*>(sqlite3_column_blob(statement, column)),
                          sqlite3_column_bytes(statement, column));
    }
}

class BlobHandle {
public:
    BlobHandle(Connection& connection, sqlite3* db, const LongValueCell& cell, bool forWriting)
        : m_connection(connection), m_db(db), m_cell(cell) {
        const int rc =
            sqlite3_blob_open(db, "main", cell.table.toUtf8().constData(), cell.column.toUtf8().constData(),
                              cell.rowId, forWriting ? 1 : 0, &m_blob);
        if (rc != SQLITE_OK) {
            const QString cause = QString::fromUtf8(sqlite3_errmsg(db));
            sqlite3_blob_close(m_blob);
            m_blob = nullptr;
            throw AppError(connection.failure(QStringLiteral("Opening %1").arg(describe(cell)), cause));
        }
        m_size = sqlite3_blob_bytes(m_blob);
    }
    ~BlobHandle() { sqlite3_blob_close(m_blob); }
    BlobHandle(const BlobHandle&) = delete;
    BlobHandle& operator=(const BlobHandle&) = delete;

    qint64 size() const { return m_size; }
    qint64 position() const { return m_position; }

    qint64 read(char* into, qint64 maxBytes) {
        const int count = int(std::min<qint64>(maxBytes, m_size - m_position));
        if (count <= 0)
            return 0;
        check(sqlite3_blob_read(m_blob, into, count, int(m_position)), QStringLiteral("Reading"));
        m_position += count;
        return count;
    }

    void write(const char* bytes, qint64 count) {
        if (count > m_size - m_position)
            throw AppError(m_connection.failure(QStringLiteral("Writing %1").arg(describe(m_cell)),
                                                QStringLiteral("more bytes than the value was made for")));
        check(sqlite3_blob_write(m_blob, bytes, int(count), int(m_position)), QStringLiteral("Writing"));
        m_position += count;
    }

private:
    void check(int rc, const QString& verb) {
        if (rc != SQLITE_OK)
            throw AppError(m_connection.failure(QStringLiteral("%1 %2").arg(verb, describe(m_cell)),
                                                QString::fromUtf8(sqlite3_errmsg(m_db))));
    }

    Connection& m_connection;
    sqlite3* m_db;
    LongValueCell m_cell;
    sqlite3_blob* m_blob = nullptr;
    qint64 m_size = 0;
    qint64 m_position = 0;
};

class BlobReader : public LongValueReader {
public:
    BlobReader(Connection& connection, sqlite3* db, const LongValueCell& cell)
        : m_blob(connection, db, cell, false) {}
    qint64 size() const override { return m_blob.size(); }
    qint64 read(char* into, qint64 maxBytes) override { return m_blob.read(into, maxBytes); }

private:
    BlobHandle m_blob;
};

class BlobWriter : public LongValueWriter {
public:
    BlobWriter(Connection& connection, sqlite3* db, const LongValueCell& cell)
        : m_blob(connection, db, cell, true) {}
    void write(const char* bytes, qint64 count) override { m_blob.write(bytes, count); }

private:
    BlobHandle m_blob;
};

// Nothing for a Null value. Throws AppError when there is no such row.
std::unique_ptr<LongValueReader> openBlobReader(Connection& connection, sqlite3* db,
                                                const LongValueCell& cell) {
    // The blob interface refuses Null and missing rows alike; the operator needs to know which.
    Statement probe;
    const QByteArray sql = QStringLiteral("SELECT typeof(%1) FROM %2 WHERE rowid = ?")
                               .arg(quoted(cell.column), quoted(cell.table))
                               .toUtf8();
    if (sqlite3_prepare_v2(db, sql.constData(), int(sql.size()), &probe.handle, nullptr) != SQLITE_OK)
        throw AppError(connection.failure(QStringLiteral("Reading %1").arg(describe(cell)),
                                          QString::fromUtf8(sqlite3_errmsg(db))));
    sqlite3_bind_int64(probe.handle, 1, cell.rowId);
    const int rc = sqlite3_step(probe.handle);
    if (rc == SQLITE_DONE)
        throw AppError(connection.failure(QStringLiteral("Reading %1").arg(describe(cell)),
                                          QStringLiteral("there is no such row")));
    if (rc != SQLITE_ROW)
        throw AppError(connection.failure(QStringLiteral("Reading %1").arg(describe(cell)),
                                          QString::fromUtf8(sqlite3_errmsg(db))));
    if (qstrcmp(reinterpret_cast<const char*>(sqlite3_column_text(probe.handle, 0)), "null") == 0)
        return nullptr;
    return std::make_unique<BlobReader>(connection, db, cell);
}

// The statement's rows with the other columns read by SQLite and the long value opened by its row
// key, so the value never travels with the row.
class BlobRows : public LongValueRows {
public:
    BlobRows(Connection& connection, sqlite3* db, sqlite3_stmt* statement, const QStringList& fields,
             LongValueCell origin)
        : m_connection(connection), m_db(db), m_fields(fields), m_origin(std::move(origin)) {
        m_statement.handle = statement;
    }
    bool next() override {
        const int rc = sqlite3_step(m_statement.handle);
        if (rc == SQLITE_ROW)
            return true;
        if (rc == SQLITE_DONE)
            return false;
        throw AppError(m_connection.failure(QStringLiteral("Reading the rows of a statement"),
                                            QString::fromUtf8(sqlite3_errmsg(m_db))));
    }
    QVariant field(const QString& name) override {
        for (int i = 0; i < m_fields.size(); ++i)
            if (m_fields.at(i).compare(name, Qt::CaseInsensitive) == 0)
                return valueOf(m_statement.handle, i);
        throw AppError(QStringLiteral("The field %1 was not asked of the statement.").arg(name));
    }
    std::unique_ptr<LongValueReader> openLongValue() override {
        LongValueCell cell = m_origin;
        cell.rowId = sqlite3_column_int64(m_statement.handle, int(m_fields.size()));
        return openBlobReader(m_connection, m_db, cell);
    }

private:
    Connection& m_connection;
    sqlite3* m_db;
    Statement m_statement;
    QStringList m_fields;
    LongValueCell m_origin; // table and column the long value comes from
};

int columnNamed(sqlite3_stmt* statement, const QString& name) {
    for (int i = 0; i < sqlite3_column_count(statement); ++i)
        if (QString::fromUtf8(sqlite3_column_name(statement, i)).compare(name, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

// True when the column of the table is its row key (an INTEGER PRIMARY KEY names the rowid).
bool isRowKey(sqlite3* db, const char* database, const char* table, const char* column) {
    const char* type = nullptr;
    int primaryKey = 0;
    if (sqlite3_table_column_metadata(db, database, table, column, &type, nullptr, nullptr, &primaryKey,
                                      nullptr) != SQLITE_OK)
        return false;
    return primaryKey && type && sqlite3_stricmp(type, "INTEGER") == 0;
}

} // namespace

SqliteLongValues::SqliteLongValues(Connection& connection)
    : m_connection(connection), m_db(handleOf(connection)) {}

qint64 SqliteLongValues::maximumLength() {
    return std::max<qint64>(0, sqlite3_limit(m_db, SQLITE_LIMIT_LENGTH, -1) - RowOverhead);
}

void SqliteLongValues::run(const char* sql, const QString& what) {
    if (sqlite3_exec(m_db, sql, nullptr, nullptr, nullptr) != SQLITE_OK)
        throw AppError(m_connection.failure(
            what, takeCancelledWait() ? cancelledWaitText() : QString::fromUtf8(sqlite3_errmsg(m_db))));
}

// Without the caller's transaction this one starts its own, taking the write lock at once: numbers
// chosen inside it (a version) then stay unique, and it waits for another program's write instead of
// failing when it comes to write.
void SqliteLongValues::begin() {
    m_ownTransaction = sqlite3_get_autocommit(m_db) != 0;
    if (m_ownTransaction)
        run("BEGIN IMMEDIATE", QStringLiteral("Starting to store a file"));
    else
        run("SAVEPOINT pellorin_long_value", QStringLiteral("Starting to store a file"));
}

void SqliteLongValues::commit() {
    if (!m_ownTransaction) {
        run("RELEASE SAVEPOINT pellorin_long_value", QStringLiteral("Saving a stored file"));
        return;
    }
    m_ownTransaction = false;
    run("COMMIT", QStringLiteral("Saving a stored file"));
}

void SqliteLongValues::rollback() {
    if (m_ownTransaction) {
        m_ownTransaction = false;
        sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
        return;
    }
    sqlite3_exec(m_db, "ROLLBACK TO SAVEPOINT pellorin_long_value; RELEASE SAVEPOINT pellorin_long_value",
                 nullptr, nullptr, nullptr);
}

qint64 SqliteLongValues::insertRow(const QString& table, const ColumnValues& values,
                                   const QString& longColumn, qint64 length) {
    QStringList columns;
    QStringList marks;
    for (const auto& value : values) {
        columns << quoted(value.first);
        marks << QStringLiteral("?");
    }
    columns << quoted(longColumn);
    marks << QStringLiteral("zeroblob(?)");
    const QString what = QStringLiteral("Adding a row to %1").arg(table);
    QVariantList bound;
    for (const auto& value : values)
        bound << value.second;
    bound << length;
    const Connection::Bound statement = m_connection.bindable(
        QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
            .arg(quoted(table), columns.join(QStringLiteral(", ")), marks.join(QStringLiteral(", "))),
        bound);
    QSqlQuery insert(m_connection.database());
    if (!insert.prepare(statement.sql))
        throw AppError(m_connection.failure(what, errorText(insert.lastError())));
    for (const QVariant& value : statement.values)
        insert.addBindValue(value);
    if (!insert.exec())
        throw AppError(m_connection.failure(what, errorText(insert.lastError())));
    return insert.lastInsertId().toLongLong();
}

void SqliteLongValues::resize(const LongValueCell& cell, qint64 length) {
    const QString what = QStringLiteral("Making room for %1").arg(describe(cell));
    QSqlQuery update(m_connection.database());
    if (!update.prepare(QStringLiteral("UPDATE %1 SET %2 = zeroblob(?) WHERE rowid = ?")
                            .arg(quoted(cell.table), quoted(cell.column))))
        throw AppError(m_connection.failure(what, errorText(update.lastError())));
    update.addBindValue(length);
    update.addBindValue(cell.rowId);
    if (!update.exec())
        throw AppError(m_connection.failure(what, errorText(update.lastError())));
    if (update.numRowsAffected() != 1)
        throw AppError(m_connection.failure(what, QStringLiteral("there is no such row")));
}

std::unique_ptr<LongValueWriter> SqliteLongValues::openWriter(const LongValueCell& cell) {
    return std::make_unique<BlobWriter>(m_connection, m_db, cell);
}

std::unique_ptr<LongValueReader> SqliteLongValues::openReader(const LongValueCell& cell) {
    return openBlobReader(m_connection, m_db, cell);
}

std::unique_ptr<LongValueRows> SqliteLongValues::selectRows(const QString& jetSql, const QString& longColumn,
                                                            const QStringList& fields) {
    QString inner = m_connection.translate(jetSql).trimmed();
    while (inner.endsWith(u';'))
        inner.chop(1);
    const QByteArray innerUtf8 = inner.toUtf8();
    Statement probe;
    if (sqlite3_prepare_v2(m_db, innerUtf8.constData(), int(innerUtf8.size()), &probe.handle, nullptr) !=
            SQLITE_OK ||
        !probe.handle)
        throw AppError(m_connection.failure(QStringLiteral("The statement \"%1\"").arg(jetSql),
                                            probe.handle ? QString::fromUtf8(sqlite3_errmsg(m_db))
                                                         : QStringLiteral("it is empty")));
    for (const QString& name : fields + QStringList{longColumn})
        if (columnNamed(probe.handle, name) < 0)
            throw AppError(QStringLiteral("The statement \"%1\" gives no column %2.").arg(jetSql, name));

    // Where the long value comes from, and which column of the statement holds that row's key.
    const int value = columnNamed(probe.handle, longColumn);
    const char* database = sqlite3_column_database_name(probe.handle, value);
    const char* table = sqlite3_column_table_name(probe.handle, value);
    const char* column = sqlite3_column_origin_name(probe.handle, value);
    int key = -1;
    for (int i = 0; database && table && column && key < 0 && i < sqlite3_column_count(probe.handle); ++i) {
        const char* keyTable = sqlite3_column_table_name(probe.handle, i);
        const char* keyColumn = sqlite3_column_origin_name(probe.handle, i);
        if (keyTable && keyColumn && qstrcmp(sqlite3_column_database_name(probe.handle, i), database) == 0 &&
            qstrcmp(keyTable, table) == 0 && isRowKey(m_db, database, table, keyColumn))
            key = i;
    }
    // An expression, a view or a join without the row's key: read the values whole.
    if (key < 0 || qstrcmp(database, "main") != 0)
        return readRowsWhole(m_connection, jetSql, longColumn);

    // The long column is left out of the outer list: a statement SQLite cannot merge into it (one that
    // sorts, for one) would otherwise hand every value over whole. Null is told apart by its key.
    QStringList selected;
    for (const QString& name : fields)
        selected << quoted(name);
    selected << quoted(QString::fromUtf8(sqlite3_column_name(probe.handle, key)));
    const QByteArray outer =
        QStringLiteral("SELECT %1 FROM (%2)").arg(selected.join(QStringLiteral(", ")), inner).toUtf8();
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(m_db, outer.constData(), int(outer.size()), &statement, nullptr) != SQLITE_OK) {
        sqlite3_finalize(statement);
        return readRowsWhole(m_connection, jetSql, longColumn);
    }
    return std::make_unique<BlobRows>(m_connection, m_db, statement, fields,
                                      LongValueCell{QString::fromUtf8(table), QString::fromUtf8(column), 0});
}

} // namespace data
