#include "data/copydatabase.h"

#include "app/apperror.h"
#include "data/connection.h"
#include "data/jetdialect.h"
#include "data/postgresschema.h"
#include "data/recordset.h"
#include "data/schema.h"

#include <QSqlError>
#include <QSqlQuery>

namespace data {

namespace {

// Every table whose rows an office would miss: the five of the design, the ledger, and the library's
// review dates and audit trail. The full-text index is not copied: the target builds it again.
QStringList copiedTables() {
    return tableNames() + QStringList{QStringLiteral("DocumentReview"), QStringLiteral("DocumentAudit")};
}

QString counterColumn(const QString& table) {
    return table == u"DocumentAudit" ? QStringLiteral("AuditId") : keyColumn(table);
}

qint64 rowCount(Connection& connection, const QString& statement) {
    Recordset rows;
    rows.open(statement, connection);
    return rows.recordCount();
}

// A new database holds nothing but the library's hidden root folder.
void checkEmpty(Connection& target) {
    for (const QString& table : copiedTables()) {
        const qint64 rows =
            table == u"ObjectTbl"
                ? rowCount(target, QStringLiteral("SELECT * FROM ObjectTbl WHERE ObjectType <> 'Root'"))
                : rowCount(target, QStringLiteral("SELECT * FROM ") + table);
        if (rows > 0)
            throw AppError(QStringLiteral("Nothing was copied: the table %1 of the database %2 already holds "
                                          "%3 row(s). Copy into an empty database.")
                               .arg(table, target.location())
                               .arg(rows));
    }
}

qint64 copyTable(Connection& source, Connection& target, const QString& table) {
    Recordset rows;
    rows.open(QStringLiteral("SELECT * FROM ") + table, source);
    if (rows.eof())
        return 0;
    const QStringList names = rows.fieldNames();
    QStringList columns;
    QStringList marks;
    for (const QString& name : names) {
        columns.append(QLatin1Char('[') + name + QLatin1Char(']'));
        marks.append(QStringLiteral("?"));
    }
    const QString jet = QStringLiteral("INSERT INTO [%1] (%2) VALUES (%3)")
                            .arg(table, columns.join(QStringLiteral(", ")), marks.join(QStringLiteral(", ")));
    // One prepared statement for the whole table; each row is bound and run on it.
    QSqlQuery insert(target.database());
    const auto fail = [&](const QSqlError& error) {
        const QString cause =
            error.databaseText().trimmed().isEmpty() ? error.driverText() : error.databaseText();
        throw AppError(target.failure(QStringLiteral("Copying the table %1").arg(table), cause.trimmed()));
    };
    if (!insert.prepare(target.translate(jet)))
        fail(insert.lastError());
    qint64 copied = 0;
    while (!rows.eof()) {
        for (int i = 0; i < names.size(); ++i)
            insert.bindValue(i, rows.field(i));
        if (!insert.exec())
            fail(insert.lastError());
        ++copied;
        rows.moveNext();
    }
    return copied;
}

// Keys were written as they were; the next new row must get a number after them.
void advanceCounters(Connection& target) {
    if (target.backend() != Backend::PostgreSQL)
        return; // SQLite's AUTOINCREMENT counter follows the keys written
    for (const QString& table : copiedTables()) {
        const QString key = counterColumn(table);
        if (key.isEmpty())
            continue;
        QSqlQuery query(target.database());
        const QString sql =
            QStringLiteral(
                "SELECT setval(pg_get_serial_sequence('%1', '%2'), COALESCE(MAX(%2), 0) + 1, false) "
                "FROM %1")
                .arg(table.toLower(), key.toLower());
        if (!query.exec(sql))
            throw AppError(target.failure(QStringLiteral("Advancing the numbers of %1").arg(table),
                                          query.lastError().databaseText().trimmed()));
    }
}

} // namespace

QString firstTableWithRows(Connection& database) {
    for (const QString& table : tableNames()) {
        // Counted, so that no stored document is read to see whether a row is there.
        Recordset rows;
        rows.open(QStringLiteral("SELECT Count(*) AS Held FROM ") + table +
                      (table == u"ObjectTbl" ? QStringLiteral(" WHERE ObjectType <> 'Root'") : QString()),
                  database);
        if (rows.field(QStringLiteral("Held")).toLongLong() > 0)
            return table;
    }
    return QString();
}

void copyDatabase(Connection& source, Connection& target,
                  const std::function<void(const QString& table, qint64 rows)>& progress) {
    if (source.location() == target.location())
        throw AppError(QStringLiteral("Nothing was copied: %1 is both the source and the target.")
                           .arg(source.location()));
    checkEmpty(target);
    target.beginTransaction();
    try {
        target.execute(QStringLiteral("DELETE FROM ObjectTbl"));
        for (const QString& table : copiedTables()) {
            const qint64 copied = copyTable(source, target, table);
            if (progress)
                progress(table, copied);
        }
        advanceCounters(target);
        target.commit();
    } catch (const AppError& error) {
        target.rollback();
        throw AppError(QStringLiteral("Nothing was copied: %1").arg(error.description()));
    }
}

} // namespace data
