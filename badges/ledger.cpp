#include "badges/ledger.h"

#include "app/apperror.h"
#include "badges/badgepainter.h"
#include "badges/ledgerquery.h"
#include "data/appendonly.h"
#include "data/connection.h"

#include <QLocale>
#include <QSqlError>
#include <QSqlQuery>

namespace badges::ledger {

namespace {

const QString InsertStatement = QStringLiteral(
    "INSERT INTO BadgeLedger (PrintedAt, EmployeeId, FullName, Title, Company, EmployeeIdentification, "
    "OperatorName, DatabaseUser, Destination, Layout, ValidUntil, Reason, ReasonNote) "
    "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");

QVariant textOrNull(const QString& text) {
    return text.isEmpty() ? QVariant() : QVariant(text);
}

void insertRecords(data::Connection& connection, const QList<Issue>& issues, const QString& destination,
                   const QString& layout) {
    const QVariant printedAt = storedTime(connection, QDateTime::currentDateTime());
    const QString user = operatorName();
    const QVariant dbUser = textOrNull(data::appendonly::databaseUser(connection));
    QSqlQuery insert(connection.database());
    // Prepared once: a run of a thousand badges binds and runs the same statement.
    if (!insert.prepare(InsertStatement))
        throw AppError(connection.failure(QStringLiteral("Preparing the badge record"),
                                          data::errorText(insert.lastError())));
    for (const Issue& issue : issues) {
        const data::Connection::Bound bound = connection.bindable(
            InsertStatement,
            {printedAt, issue.employeeKey > 0 ? QVariant(issue.employeeKey) : QVariant(), issue.fullName,
             issue.title, issue.company, issue.code, user, dbUser, destination, layout,
             issue.validUntil.isValid() ? storedDate(connection, issue.validUntil) : QVariant(),
             textOrNull(issue.reason), textOrNull(issue.note)});
        // Text that had to go in as bytes changes the statement; such a record gets its own.
        QSqlQuery own(connection.database());
        QSqlQuery& query = bound.sql == InsertStatement ? insert : own;
        if (&query == &own && !own.prepare(bound.sql))
            throw AppError(connection.failure(QStringLiteral("Preparing the badge record"),
                                              data::errorText(own.lastError())));
        for (int i = 0; i < bound.values.size(); ++i)
            query.bindValue(i, bound.values.at(i));
        if (!query.exec())
            throw AppError(connection.failure(QStringLiteral("Recording the badge of \"%1\" (code \"%2\")")
                                                  .arg(issue.fullName.simplified(), issue.code),
                                              data::errorText(query.lastError())));
    }
}

} // namespace

QStringList reasonNames() {
    return {QStringLiteral("Lost"),    QStringLiteral("Stolen"),
            QStringLiteral("Damaged"), QStringLiteral("Name or title changed"),
            QStringLiteral("Renewal"), QStringLiteral("Other")};
}

QString reasonName(Reason reason) {
    return reasonNames().at(int(reason));
}

Issue issueOf(const Badge& badge, qint64 employeeKey, const QString& reason, const QString& note) {
    return Issue{employeeKey, badge.fullName,   badge.title, badge.company,
                 badge.code,  badge.validUntil, reason,      note};
}

QString operatorName() {
    return data::appendonly::systemUserName();
}

void recordIssues(data::Connection& connection, const QList<Issue>& issues, const QString& destination,
                  const QString& layout, const std::function<void()>& deliver,
                  const std::function<void()>& takeBack) {
    if (issues.isEmpty()) {
        deliver();
        return;
    }
    const QString what = issues.size() == 1 ? QStringLiteral("The badge") : QStringLiteral("The badges");
    try {
        connection.beginTransaction();
        insertRecords(connection, issues, destination, layout);
    } catch (const AppError& error) {
        connection.rollback();
        throw AppError(QStringLiteral("%1 was not printed, because its record could not be written to the "
                                      "badge ledger. %2")
                           .arg(what, error.description()));
    }
    try {
        deliver();
    } catch (...) {
        connection.rollback();
        throw;
    }
    try {
        connection.commit();
    } catch (const AppError& error) {
        connection.rollback();
        if (takeBack) {
            takeBack();
            throw AppError(QStringLiteral("%1 was taken back, because its record could not be kept in the "
                                          "badge ledger. %2")
                               .arg(what, error.description()));
        }
        throw AppError(QStringLiteral("%1 went to %2, but its record could not be kept in the badge ledger. "
                                      "Note it by hand. %3")
                           .arg(what, destination, error.description()));
    }
}

QString PrintHistory::summary() const {
    if (count == 0)
        return QString();
    QString text = QStringLiteral("Printed %1 %2, last on %3 by %4")
                       .arg(count)
                       .arg(count == 1 ? QStringLiteral("time") : QStringLiteral("times"))
                       .arg(QLocale::c().toString(lastPrinted.date(), QStringLiteral("d MMM yyyy")))
                       .arg(lastOperator);
    if (!lastReason.isEmpty())
        text += QStringLiteral(": ") + lastReason;
    return text;
}

bool PrintHistory::dueForRenewal(const QDate& today) const {
    return lastValidUntil.isValid() && lastValidUntil <= today.addDays(RenewalWindowDays);
}

PrintHistory printHistory(data::Connection& connection, const QString& code) {
    // Badges without a code cannot be told apart: none counts as a reprint of another.
    if (code.isEmpty())
        return PrintHistory();
    QSqlQuery query(connection.database());
    query.setForwardOnly(true);
    const QString sql = QStringLiteral(
        "SELECT PrintedAt, OperatorName, Reason, ValidUntil, (SELECT count(*) FROM BadgeLedger c WHERE "
        "c.EmployeeIdentification = ?) FROM BadgeLedger WHERE EmployeeIdentification = ? ORDER BY EntryId "
        "DESC LIMIT 1");
    const data::Connection::Bound bound = connection.bindable(sql, {code, code});
    query.prepare(bound.sql);
    for (int i = 0; i < bound.values.size(); ++i)
        query.bindValue(i, bound.values.at(i));
    if (!query.exec())
        throw AppError(connection.failure(QStringLiteral("Reading the badge ledger"),
                                          data::errorText(query.lastError())));
    PrintHistory history;
    if (!query.next())
        return history;
    history.lastPrinted = readTime(query.value(0));
    history.lastOperator = query.value(1).toString();
    history.lastReason = query.value(2).toString();
    history.lastValidUntil = readDate(query.value(3));
    history.count = query.value(4).toInt();
    return history;
}

QHash<QString, PrintHistory> printHistories(data::Connection& connection, const QStringList& codes) {
    QHash<QString, PrintHistory> histories;
    for (const QString& code : codes)
        if (!histories.contains(code))
            if (const PrintHistory history = printHistory(connection, code); history.printedBefore())
                histories.insert(code, history);
    return histories;
}

QDate validUntil(const QDate& printed, int months) {
    // addMonths keeps the day, or takes the month's last day when the month is shorter (31 Jan + 1 month
    // is 28 or 29 Feb; 29 Feb + 12 months is 28 Feb).
    return months > 0 ? printed.addMonths(months) : QDate();
}

} // namespace badges::ledger
