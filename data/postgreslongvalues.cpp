#include "data/postgreslongvalues.h"

#include "app/apperror.h"
#include "data/connection.h"
#include "data/jetdialect.h"
#include "data/postgresschema.h"

#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

#include <cstring>

namespace data {

namespace {

// Room left for the other values of the row.
constexpr qint64 RowOverhead = 64 * 1024;
// The largest value a bytea column holds.
constexpr qint64 ByteaLimit = qint64(1) << 30;

QString describe(const LongValueCell& cell) {
    return QStringLiteral("the value %1 of row %2 in %3").arg(cell.column).arg(cell.rowId).arg(cell.table);
}

QString cellKey(const LongValueCell& cell) {
    return cell.table.toLower() + u'/' + cell.column.toLower() + u'/' + QString::number(cell.rowId);
}

// Runs one statement with bound values; throws AppError with `what` and the server's words.
QSqlQuery run(Connection& connection, const QString& sql, const QVariantList& values, const QString& what) {
    // Not forward-only: Qt reads those row by row and drops the rest when the connection runs another
    // statement, and the rows of selectRows() are read while each value is fetched.
    QSqlQuery query(connection.database());
    // The server prepares only reads and writes of rows; CREATE and the like run as they are.
    if (values.isEmpty()) {
        if (!query.exec(sql))
            throw AppError(connection.failure(what, errorText(query.lastError())));
        return query;
    }
    bool ok = query.prepare(sql);
    if (ok) {
        for (const QVariant& value : values)
            query.addBindValue(value);
        ok = query.exec();
    }
    if (!ok)
        throw AppError(connection.failure(what, errorText(query.lastError())));
    return query;
}

QString keyOf(Connection& connection, const QString& table) {
    const QString key = keyColumn(table);
    if (key.isEmpty())
        throw AppError(connection.failure(QStringLiteral("Reaching a long value of %1").arg(table),
                                          QStringLiteral("the table has no row key")));
    return key;
}

class SubstringReader : public LongValueReader {
public:
    SubstringReader(Connection& connection, const LongValueCell& cell, qint64 size)
        : m_connection(connection), m_cell(cell), m_size(size),
          m_sql(QStringLiteral("SELECT substring(%1 FROM ? FOR ?) FROM %2 WHERE %3 = ?")
                    .arg(cell.column, cell.table, keyOf(connection, cell.table))) {}
    qint64 size() const override { return m_size; }
    qint64 read(char* into, qint64 maxBytes) override {
        const qint64 count = std::min(maxBytes, m_size - m_position);
        if (count <= 0)
            return 0;
        QSqlQuery query = run(m_connection, m_sql, {m_position + 1, count, m_cell.rowId},
                              QStringLiteral("Reading %1").arg(describe(m_cell)));
        if (!query.next())
            throw AppError(m_connection.failure(QStringLiteral("Reading %1").arg(describe(m_cell)),
                                                QStringLiteral("the row was deleted meanwhile")));
        const QByteArray piece = query.value(0).toByteArray();
        if (piece.size() != count)
            throw AppError(m_connection.failure(QStringLiteral("Reading %1").arg(describe(m_cell)),
                                                QStringLiteral("the value was changed meanwhile")));
        std::memcpy(into, piece.constData(), size_t(count));
        m_position += count;
        return count;
    }

private:
    Connection& m_connection;
    LongValueCell m_cell;
    qint64 m_size;
    qint64 m_position = 0;
    QString m_sql;
};

// Pieces go into a temporary table of this session; the last one puts the value together.
class PieceWriter : public LongValueWriter {
public:
    PieceWriter(Connection& connection, const LongValueCell& cell, qint64 length)
        : m_connection(connection), m_cell(cell), m_length(length) {
        const QString what = QStringLiteral("Writing %1").arg(describe(cell));
        run(connection,
            QStringLiteral("CREATE TEMPORARY TABLE IF NOT EXISTS pellorin_pieces (n integer, piece bytea)"),
            {}, what);
        run(connection, QStringLiteral("DELETE FROM pellorin_pieces"), {}, what);
        if (length == 0)
            assemble();
    }
    void write(const char* bytes, qint64 count) override {
        const QString what = QStringLiteral("Writing %1").arg(describe(m_cell));
        if (count > m_length - m_written)
            throw AppError(
                m_connection.failure(what, QStringLiteral("more bytes than the value was made for")));
        run(m_connection, QStringLiteral("INSERT INTO pellorin_pieces (n, piece) VALUES (?, ?)"),
            {m_pieces++, QByteArray(bytes, count)}, what);
        m_written += count;
        if (m_written == m_length)
            assemble();
    }

private:
    void assemble() {
        const QString what = QStringLiteral("Writing %1").arg(describe(m_cell));
        const QSqlQuery update =
            run(m_connection,
                QStringLiteral("UPDATE %1 SET %2 = (SELECT COALESCE(string_agg(piece, ''::bytea ORDER BY n), "
                               "''::bytea) FROM pellorin_pieces) WHERE %3 = ?")
                    .arg(m_cell.table, m_cell.column, keyOf(m_connection, m_cell.table)),
                {m_cell.rowId}, what);
        if (update.numRowsAffected() != 1)
            throw AppError(m_connection.failure(what, QStringLiteral("there is no such row")));
        run(m_connection, QStringLiteral("DELETE FROM pellorin_pieces"), {}, what);
    }

    Connection& m_connection;
    LongValueCell m_cell;
    qint64 m_length;
    qint64 m_written = 0;
    int m_pieces = 0;
};

// The statement's other columns with each row, and its long value opened by the row's key.
class KeyedRows : public LongValueRows {
public:
    KeyedRows(Connection& connection, QSqlQuery query, const QStringList& fields, LongValueCell origin)
        : m_connection(connection), m_query(std::move(query)), m_fields(fields), m_origin(std::move(origin)) {
    }
    bool next() override { return m_query.next(); }
    QVariant field(const QString& name) override {
        for (int i = 0; i < m_fields.size(); ++i)
            if (m_fields.at(i).compare(name, Qt::CaseInsensitive) == 0)
                return m_query.isNull(i) ? QVariant() : m_query.value(i);
        throw AppError(QStringLiteral("The field %1 was not asked of the statement.").arg(name));
    }
    std::unique_ptr<LongValueReader> openLongValue() override {
        const int key = int(m_fields.size());
        if (m_query.isNull(key + 1))
            return nullptr;
        LongValueCell cell = m_origin;
        cell.rowId = m_query.value(key).toLongLong();
        return std::make_unique<SubstringReader>(m_connection, cell, m_query.value(key + 1).toLongLong());
    }

private:
    Connection& m_connection;
    QSqlQuery m_query;
    QStringList m_fields;
    LongValueCell m_origin;
};

// True when the statement's select list names the long column itself ("*", "T.*", "Col", "T.[Col]"),
// so that the value can be read from its table by key; an expression under that name cannot.
bool selectsColumnItself(const QString& jetSql, const QString& column) {
    static const QRegularExpression list(QStringLiteral("^\\s*\\(*\\s*SELECT\\s+(.*?)\\s+FROM\\s"),
                                         QRegularExpression::CaseInsensitiveOption |
                                             QRegularExpression::DotMatchesEverythingOption);
    const QRegularExpressionMatch match = list.match(jetSql);
    if (!match.hasMatch())
        return false;
    for (QString item : match.captured(1).split(u',')) {
        item.remove(u'[').remove(u']').remove(u'"');
        item = item.trimmed().section(u'.', -1);
        if (item == u"*" || item.compare(column, Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

} // namespace

qint64 PostgresLongValues::maximumLength() {
    return ByteaLimit - RowOverhead;
}

// A savepoint needs a transaction around it; without the caller's, this one starts its own.
void PostgresLongValues::begin() {
    QSqlQuery savepoint(m_connection.database());
    if (savepoint.exec(QStringLiteral("SAVEPOINT pellorin_long_value"))) {
        m_ownTransaction = false;
        return;
    }
    m_connection.beginTransaction();
    m_ownTransaction = true;
}

void PostgresLongValues::commit() {
    if (m_ownTransaction) {
        m_ownTransaction = false;
        m_connection.commit();
        return;
    }
    run(m_connection, QStringLiteral("RELEASE SAVEPOINT pellorin_long_value"), {},
        QStringLiteral("Saving a stored file"));
}

void PostgresLongValues::rollback() {
    m_lengths.clear();
    if (m_ownTransaction) {
        m_ownTransaction = false;
        m_connection.rollback();
        return;
    }
    QSqlQuery undo(m_connection.database());
    undo.exec(QStringLiteral("ROLLBACK TO SAVEPOINT pellorin_long_value"));
    undo.exec(QStringLiteral("RELEASE SAVEPOINT pellorin_long_value"));
}

qint64 PostgresLongValues::insertRow(const QString& table, const ColumnValues& values,
                                     const QString& longColumn, qint64 length) {
    QStringList columns;
    QStringList marks;
    QVariantList bound;
    for (const auto& value : values) {
        columns << QLatin1Char('[') + value.first + QLatin1Char(']');
        marks << QStringLiteral("?");
        bound << value.second;
    }
    columns << QLatin1Char('[') + longColumn + QLatin1Char(']');
    marks << QStringLiteral("''");
    m_connection.execute(
        QStringLiteral("INSERT INTO [%1] (%2) VALUES (%3)")
            .arg(table, columns.join(QStringLiteral(", ")), marks.join(QStringLiteral(", "))),
        bound);
    const qint64 key = m_connection.lastInsertId().toLongLong();
    m_lengths.insert(cellKey({table, longColumn, key}), length);
    return key;
}

void PostgresLongValues::resize(const LongValueCell& cell, qint64 length) {
    const QSqlQuery update = run(m_connection,
                                 QStringLiteral("UPDATE %1 SET %2 = ''::bytea WHERE %3 = ?")
                                     .arg(cell.table, cell.column, keyOf(m_connection, cell.table)),
                                 {cell.rowId}, QStringLiteral("Making room for %1").arg(describe(cell)));
    if (update.numRowsAffected() != 1)
        throw AppError(m_connection.failure(QStringLiteral("Making room for %1").arg(describe(cell)),
                                            QStringLiteral("there is no such row")));
    m_lengths.insert(cellKey(cell), length);
}

std::unique_ptr<LongValueWriter> PostgresLongValues::openWriter(const LongValueCell& cell) {
    const std::optional<qint64> announced =
        m_lengths.contains(cellKey(cell)) ? std::optional(m_lengths.take(cellKey(cell))) : std::nullopt;
    if (!announced)
        throw AppError(m_connection.failure(QStringLiteral("Writing %1").arg(describe(cell)),
                                            QStringLiteral("its length was not given first")));
    return std::make_unique<PieceWriter>(m_connection, cell, *announced);
}

std::unique_ptr<LongValueReader> PostgresLongValues::openReader(const LongValueCell& cell) {
    QSqlQuery probe = run(m_connection,
                          QStringLiteral("SELECT octet_length(%1) FROM %2 WHERE %3 = ?")
                              .arg(cell.column, cell.table, keyOf(m_connection, cell.table)),
                          {cell.rowId}, QStringLiteral("Reading %1").arg(describe(cell)));
    if (!probe.next())
        throw AppError(m_connection.failure(QStringLiteral("Reading %1").arg(describe(cell)),
                                            QStringLiteral("there is no such row")));
    if (probe.isNull(0))
        return nullptr;
    return std::make_unique<SubstringReader>(m_connection, cell, probe.value(0).toLongLong());
}

std::unique_ptr<LongValueRows>
PostgresLongValues::selectRows(const QString& jetSql, const QString& longColumn, const QStringList& fields) {
    QString inner = m_connection.translate(jetSql).trimmed();
    while (inner.endsWith(u';'))
        inner.chop(1);
    const QString table = statementTable(jetSql);
    const QString key = keyColumn(table);
    // The statement's columns, without reading a row, tell whether its rows carry their key.
    QSqlQuery shape = run(m_connection, QStringLiteral("SELECT * FROM (%1) AS q LIMIT 0").arg(inner), {},
                          QStringLiteral("The statement \"%1\"").arg(jetSql));
    const QSqlRecord record = shape.record();
    for (const QString& name : fields + QStringList{longColumn})
        if (record.indexOf(name.toLower()) < 0)
            throw AppError(QStringLiteral("The statement \"%1\" gives no column %2.").arg(jetSql, name));
    if (key.isEmpty() || record.indexOf(key.toLower()) < 0 || !selectsColumnItself(jetSql, longColumn))
        return readRowsWhole(m_connection, jetSql, longColumn);

    QStringList selected;
    for (const QString& name : fields)
        selected << QLatin1Char('"') + name.toLower() + QLatin1Char('"');
    selected << key << QStringLiteral("octet_length(%1)").arg(longColumn);
    QSqlQuery rows =
        run(m_connection,
            QStringLiteral("SELECT %1 FROM (%2) AS q").arg(selected.join(QStringLiteral(", ")), inner), {},
            QStringLiteral("The statement \"%1\"").arg(jetSql));
    return std::make_unique<KeyedRows>(m_connection, std::move(rows), fields,
                                       LongValueCell{table, longColumn, 0});
}

} // namespace data
