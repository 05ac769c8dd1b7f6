#include "badges/ledgerquery.h"

#include "app/apperror.h"
#include "data/connection.h"

#include <QSqlError>
#include <QSqlQuery>

namespace badges::ledger {

namespace {

const QString StoredTimeFormat = QStringLiteral("yyyy-MM-dd HH:mm:ss");

const QString Columns = QStringLiteral(
    "EntryId, PrintedAt, EmployeeId, FullName, Title, Company, EmployeeIdentification, OperatorName, "
    "DatabaseUser, Destination, Layout, ValidUntil, Reason, ReasonNote");

QVariant orNull(const QString& text) {
    return text.isEmpty() ? QVariant() : QVariant(text);
}

QString printedText(const QVariant& printed) {
    // Kept as text: turning 100,000 stored times into local date-times costs seconds (every conversion
    // asks the C library for the time zone).
    return printed.typeId() == QMetaType::QDateTime ? printed.toDateTime().toString(StoredTimeFormat)
                                                    : printed.toString().left(19);
}

Entry entryOf(const QSqlQuery& query) {
    Entry e;
    e.id = query.value(0).toLongLong();
    e.printed = printedText(query.value(1));
    e.employeeKey = query.value(2).toLongLong();
    e.fullName = query.value(3).toString();
    e.title = query.value(4).toString();
    e.company = query.value(5).toString();
    e.code = query.value(6).toString();
    e.operatorName = query.value(7).toString();
    e.databaseUser = query.value(8).toString();
    e.destination = query.value(9).toString();
    e.layout = query.value(10).toString();
    e.validUntil = readDate(query.value(11));
    e.reason = query.value(12).toString();
    e.note = query.value(13).toString();
    return e;
}

QVariantList cellsOf(const QSqlQuery& query) {
    QVariantList cells;
    cells.reserve(14);
    for (int i = 0; i < 14; ++i) {
        QVariant value = query.value(i);
        if (i == 1)
            value = printedText(value);
        else if (i == 11 && value.typeId() == QMetaType::QDate)
            value = value.toDate().toString(Qt::ISODate);
        cells.append(std::move(value));
    }
    return cells;
}

// Runs a SELECT of Columns forward only, handing over each row.
void selectRows(data::Connection& connection, const QString& sql, const QVariantList& values,
                const std::function<void(const QSqlQuery&)>& each) {
    const data::Connection::Bound bound = connection.bindable(sql, values);
    QSqlQuery query(connection.database());
    query.setForwardOnly(true);
    bool ok = query.prepare(bound.sql);
    if (ok) {
        for (int i = 0; i < bound.values.size(); ++i)
            query.bindValue(i, bound.values.at(i));
        ok = query.exec();
    }
    if (!ok)
        throw AppError(connection.failure(QStringLiteral("Reading the badge ledger"),
                                          data::errorText(query.lastError())));
    while (query.next())
        each(query);
}

void select(data::Connection& connection, const QString& sql, const QVariantList& values,
            const std::function<void(const Entry&)>& each) {
    selectRows(connection, sql, values, [&each](const QSqlQuery& query) { each(entryOf(query)); });
}

// The statement and values that read the records a filter lets through.
std::pair<QString, QVariantList> filtered(const data::Connection& connection, const Filter& filter) {
    QStringList where;
    QVariantList values;
    const auto add = [&](const QString& condition, const QVariant& value) {
        where.append(condition);
        values.append(value);
    };
    if (filter.employeeKey > 0)
        add(QStringLiteral("EmployeeId = ?"), filter.employeeKey);
    if (!filter.code.isEmpty())
        add(QStringLiteral("EmployeeIdentification = ?"), filter.code);
    if (filter.since.isValid())
        add(QStringLiteral("PrintedAt >= ?"), storedTime(connection, filter.since.startOfDay()));
    if (filter.until.isValid())
        add(QStringLiteral("PrintedAt < ?"), storedTime(connection, filter.until.addDays(1).startOfDay()));
    if (!filter.reason.isEmpty())
        add(QStringLiteral("Reason = ?"), filter.reason);
    if (filter.validBefore.isValid())
        add(QStringLiteral("ValidUntil < ?"), storedDate(connection, filter.validBefore));
    QString sql = QStringLiteral("SELECT %1 FROM BadgeLedger").arg(Columns);
    if (!where.isEmpty())
        sql += QStringLiteral(" WHERE ") + where.join(QStringLiteral(" AND "));
    return {sql + QStringLiteral(" ORDER BY EntryId"), values};
}

} // namespace

QVariantList Entry::cells() const {
    return {id,
            printed,
            employeeKey > 0 ? QVariant(employeeKey) : QVariant(),
            fullName,
            title,
            company,
            code,
            operatorName,
            orNull(databaseUser),
            destination,
            layout,
            validUntil.isValid() ? QVariant(validUntil.toString(Qt::ISODate)) : QVariant(),
            orNull(reason),
            orNull(note)};
}

QStringList columnNames() {
    return {QStringLiteral("Entry"),   QStringLiteral("Printed"),  QStringLiteral("Employee"),
            QStringLiteral("Name"),    QStringLiteral("Title"),    QStringLiteral("Company"),
            QStringLiteral("Code"),    QStringLiteral("Operator"), QStringLiteral("Database user"),
            QStringLiteral("Sent to"), QStringLiteral("Layout"),   QStringLiteral("Valid until"),
            QStringLiteral("Reason"),  QStringLiteral("Note")};
}

void forEachEntry(data::Connection& connection, const Filter& filter,
                  const std::function<void(const Entry&)>& each) {
    const auto [sql, values] = filtered(connection, filter);
    select(connection, sql, values, each);
}

void forEachRow(data::Connection& connection, const Filter& filter,
                const std::function<void(const QVariantList& cells)>& each) {
    const auto [sql, values] = filtered(connection, filter);
    selectRows(connection, sql, values, [&each](const QSqlQuery& query) { each(cellsOf(query)); });
}

QList<Entry> readEntries(data::Connection& connection, const Filter& filter) {
    QList<Entry> entries;
    forEachEntry(connection, filter, [&entries](const Entry& e) { entries.append(e); });
    return entries;
}

QList<Entry> expiring(data::Connection& connection, int days, const QDate& today) {
    // A badge printed again replaces the earlier ones of its code: only the newest counts.
    const QString sql =
        QStringLiteral(
            "SELECT %1 FROM BadgeLedger l WHERE l.EntryId = (SELECT max(n.EntryId) FROM BadgeLedger "
            "n WHERE n.EmployeeIdentification = l.EmployeeIdentification) AND l.ValidUntil >= ? AND "
            "l.ValidUntil <= ? ORDER BY l.ValidUntil, l.EntryId")
            .arg(Columns);
    QList<Entry> entries;
    select(connection, sql, {storedDate(connection, today), storedDate(connection, today.addDays(days))},
           [&entries](const Entry& e) { entries.append(e); });
    return entries;
}

QByteArray toCsv(const QList<Entry>& entries) {
    const auto line = [](const QVariantList& cells) {
        QStringList fields;
        for (const QVariant& cell : cells) {
            QString text = cell.toString();
            if (text.contains(u',') || text.contains(u'"') || text.contains(u'\n') || text.contains(u'\r'))
                text = u'"' + text.replace(u'"', QStringLiteral("\"\"")) + u'"';
            fields.append(text);
        }
        return fields.join(u',').toUtf8() + "\r\n";
    };
    const QStringList names = columnNames();
    QByteArray csv = line(QVariantList(names.begin(), names.end()));
    for (const Entry& entry : entries)
        csv += line(entry.cells());
    return csv;
}

QVariant storedTime(const data::Connection& connection, const QDateTime& time) {
    const QDateTime seconds = time.addMSecs(-time.time().msec());
    if (connection.backend() == data::Backend::SQLite)
        return seconds.toString(StoredTimeFormat);
    return seconds;
}

QVariant storedDate(const data::Connection& connection, const QDate& day) {
    if (connection.backend() == data::Backend::SQLite)
        return day.toString(Qt::ISODate);
    return day;
}

QDateTime readTime(const QVariant& value) {
    if (value.isNull())
        return QDateTime();
    if (value.typeId() == QMetaType::QDateTime)
        return value.toDateTime();
    const QString text = value.toString();
    QDateTime time = QDateTime::fromString(text.left(19), StoredTimeFormat);
    return time.isValid() ? time : QDateTime::fromString(text, Qt::ISODate);
}

QDate readDate(const QVariant& value) {
    if (value.isNull())
        return QDate();
    if (value.typeId() == QMetaType::QDate)
        return value.toDate();
    return QDate::fromString(value.toString().left(10), Qt::ISODate);
}

} // namespace badges::ledger
