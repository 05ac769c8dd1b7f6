// The badge ledger: who got which badge, when, where it went and why it was printed again. Every way of
// printing (the badge window, the print runs, the companion) hands its badges to recordIssues, which
// writes their records in the transaction that the delivery runs in: a delivery that fails leaves no
// record, and a record that cannot be written stops the delivery. Records are never changed or deleted
// (the table is guarded, see data/appendonly.h). Knows nothing of windows or of how badges are painted.
#pragma once

#include <QDate>
#include <QDateTime>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

namespace data {
class Connection;
}

namespace badges {
struct Badge;
}

namespace badges::ledger {

inline const QString TableName = QStringLiteral("BadgeLedger");

// The layout a badge was printed in, as recorded.
inline const QString DesignLayout = QStringLiteral("design");

// Why a badge is printed again; the operator picks one of these (Other needs a note). The companion
// records whatever --reason says, and NotGiven when a script gives none.
enum class Reason { Lost, Stolen, Damaged, NameOrTitleChanged, Renewal, Other };
QStringList reasonNames(); // in the order of Reason, as stored
QString reasonName(Reason reason);
inline const QString NotGiven = QStringLiteral("not given");

// Badges whose validity ends within this many days are offered the reason Renewal when printed again.
constexpr int RenewalWindowDays = 30;

// One badge on its way out: the texts as printed and why.
struct Issue {
    qint64 employeeKey = 0; // EmployeeTable's key; 0 when not known
    QString fullName;
    QString title;
    QString company;
    QString code;
    QDate validUntil; // null: the badge carries no validity date
    QString reason;   // empty for a first print
    QString note;
};

// The badge's texts with the key and reason that go with it.
Issue issueOf(const Badge& badge, qint64 employeeKey = 0, const QString& reason = {},
              const QString& note = {});

// The name of the system user running the program.
QString operatorName();

// Writes one record per issue, then runs deliver (which sends the badges to the printer or writes the
// file) and keeps the records only when it returns. Throws AppError: when a record cannot be written
// (nothing is delivered), whatever deliver throws (no record is kept), and when the records cannot be
// kept after delivery (takeBack, when given, removes what deliver made; the message says what happened).
void recordIssues(data::Connection& connection, const QList<Issue>& issues, const QString& destination,
                  const QString& layout, const std::function<void()>& deliver,
                  const std::function<void()>& takeBack = {});

// What the ledger says about earlier badges of one code.
struct PrintHistory {
    int count = 0;
    QDateTime lastPrinted;
    QString lastOperator;
    QString lastReason;
    QDate lastValidUntil;
    bool printedBefore() const { return count > 0; }
    // "Printed 2 times, last on 3 Nov 2026 by ann: Lost"; empty when never printed.
    QString summary() const;
    // The newest badge's validity has ended or ends within RenewalWindowDays of today.
    bool dueForRenewal(const QDate& today = QDate::currentDate()) const;
};

PrintHistory printHistory(data::Connection& connection, const QString& code);
// The same for several codes at once (letter case ignored, as the table compares codes); codes never
// printed are left out.
QHash<QString, PrintHistory> printHistories(data::Connection& connection, const QStringList& codes);

// The date a badge printed on `printed` is valid until: the same day `months` later (the month's last
// day when that month is shorter). Null when months is 0 or less.
QDate validUntil(const QDate& printed, int months);

} // namespace badges::ledger
