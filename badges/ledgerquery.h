// Reading the badge ledger: every record or those that a filter lets through, and the badges whose
// validity runs out soon. Reads only; the ledger is written by recordIssues (ledger.h).
#pragma once

#include <QDate>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <functional>

namespace data {
class Connection;
}

namespace badges::ledger {

struct Entry {
    qint64 id = 0;
    QString printed;        // "yyyy-MM-dd HH:mm:ss", local time: as stored, sorted as text
    qint64 employeeKey = 0; // 0 when not known
    QString fullName;
    QString title;
    QString company;
    QString code;
    QString operatorName;
    QString databaseUser;
    QString destination;
    QString layout;
    QDate validUntil; // null: none printed
    QString reason;   // empty for a first print
    QString note;

    // The cells in the order of columnNames(); no value stays null.
    QVariantList cells() const;
};

// "Entry", "Printed", "Employee", "Name", ... as history lists and exports them.
QStringList columnNames();

// Which records to read; empty fields let everything through.
struct Filter {
    qint64 employeeKey = 0;
    QString code;      // letter case ignored
    QDate since;       // printed on or after this day
    QDate until;       // printed on or before this day
    QString reason;    // exactly this reason
    QDate validBefore; // valid until a day before this one
};

// Calls each with the records the filter lets through, oldest first, one at a time (a ledger of years
// is never held whole). Throws AppError naming the database and the cause.
void forEachEntry(data::Connection& connection, const Filter& filter,
                  const std::function<void(const Entry&)>& each);
QList<Entry> readEntries(data::Connection& connection, const Filter& filter);
// The same records as cells (Entry::cells()), made straight from the stored values: what the companion
// writes out, a hundred thousand lines at a time.
void forEachRow(data::Connection& connection, const Filter& filter,
                const std::function<void(const QVariantList& cells)>& each);

// The newest record of each code whose validity ends between today and today + days, soonest first.
QList<Entry> expiring(data::Connection& connection, int days, const QDate& today = QDate::currentDate());

// The rows as CSV (RFC 4180, header line first, CR LF line ends): what "Export" writes.
QByteArray toCsv(const QList<Entry>& entries);

// How times and days go into and come out of the table on either backend (SQLite keeps text that
// any SQLite tool reads and sorts; PostgreSQL its own types).
QVariant storedTime(const data::Connection& connection, const QDateTime& time);
QVariant storedDate(const data::Connection& connection, const QDate& day);
QDateTime readTime(const QVariant& value);
QDate readDate(const QVariant& value);

} // namespace badges::ledger
