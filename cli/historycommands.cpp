// history and expiring: the badge ledger without a screen.
#include "app/apperror.h"
#include "badges/ledger.h"
#include "badges/ledgerquery.h"
#include "cli/commands.h"
#include "cli/output.h"
#include "data/connection.h"
#include "data/keys.h"

namespace cli {

namespace {

// Options of this file that take a value, so that a value is taken whole whatever it holds.
[[maybe_unused]] const bool ValueOptionsKnown = [] {
    Arguments::valueOptions() << QStringLiteral("employee") << QStringLiteral("since")
                              << QStringLiteral("within") << QStringLiteral("reason");
    return true;
}();

QDate dayOption(Arguments& args, const QString& name) {
    const std::optional<QString> text = args.option(name);
    if (!text)
        return QDate();
    const QDate day = QDate::fromString(*text, Qt::ISODate);
    if (!day.isValid())
        throw UsageError{
            QStringLiteral("--%1 needs a date as YYYY-MM-DD, not \"%2\"").arg(name, terminalSafe(*text))};
    return day;
}

} // namespace

int history(Arguments& args) {
    badges::ledger::Filter filter;
    filter.code = args.option(QStringLiteral("code")).value_or(QString());
    if (const std::optional<QString> key = args.option(QStringLiteral("employee"))) {
        const std::optional<qint64> number = data::parseKey(*key);
        if (!number)
            throw UsageError{
                QStringLiteral("--employee needs a record number, not \"%1\"").arg(terminalSafe(*key))};
        filter.employeeKey = *number;
    }
    filter.since = dayOption(args, QStringLiteral("since"));
    const Format format = takeFormat(args);
    if (!args.positional().isEmpty())
        throw UsageError{QStringLiteral(
            "history takes only --code CODE, --employee KEY, --since YYYY-MM-DD and --format FORMAT")};
    data::Connection connection;
    connection.open();
    RowWriter writer(format, badges::ledger::columnNames(), false);
    badges::ledger::forEachRow(connection, filter,
                               [&writer](const QVariantList& cells) { writer.row(cells); });
    writer.finish();
    return 0;
}

int expiring(Arguments& args) {
    const std::optional<QString> within = args.option(QStringLiteral("within"));
    bool ok = false;
    const int days = within ? within->toInt(&ok) : 0;
    if (!within || !ok || days < 0)
        throw UsageError{QStringLiteral("expiring needs --within DAYS, a whole number of days from 0")};
    const Format format = takeFormat(args);
    if (!args.positional().isEmpty())
        throw UsageError{QStringLiteral("expiring takes only --within DAYS and --format FORMAT")};
    data::Connection connection;
    connection.open();
    RowWriter writer(format, badges::ledger::columnNames(), false);
    for (const badges::ledger::Entry& entry : badges::ledger::expiring(connection, days))
        writer.row(entry.cells());
    writer.finish();
    return 0;
}

} // namespace cli
