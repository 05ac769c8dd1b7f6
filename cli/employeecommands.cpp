// list, delete and sql: the explorer's rows and raw statements without a screen.
#include "app/apperror.h"
#include "cli/commands.h"
#include "cli/output.h"
#include "data/command.h"
#include "data/connection.h"
#include "data/jetdialect.h"
#include "data/keys.h"
#include "employees/employeelist.h"

namespace cli {

int listEmployees(Arguments& args) {
    const QString order = args.option(QStringLiteral("order")).value_or(QString());
    const bool descending = args.flag(QStringLiteral("desc"));
    const Format format = takeFormat(args);
    if (!args.positional().isEmpty())
        throw UsageError{
            QStringLiteral("list takes no arguments besides --order COLUMN, --desc and --format FORMAT")};
    data::Connection connection;
    connection.open();
    data::Command command;
    command.setActiveConnection(&connection);
    const auto rows = employees::readEmployeeRows(
        command, order, descending ? QStringLiteral(" DESC") : QStringLiteral(" ASC"));
    const auto& names = EmployeeListModel::columnNames();
    RowWriter writer(format, QStringList(names.begin(), names.end()), false);
    for (const EmployeeListRow& row : rows) {
        QVariantList cells(row.cells.begin(), row.cells.end());
        cells[0] = row.tag;
        writer.row(cells);
    }
    writer.finish();
    return 0;
}

int deleteEmployees(Arguments& args) {
    const QStringList keys = args.positional();
    if (keys.isEmpty())
        throw UsageError{QStringLiteral("delete needs at least one record number")};
    for (const QString& key : keys)
        if (!data::parseKey(key))
            throw UsageError{QStringLiteral("\"%1\" is not a record number").arg(key)};
    data::Connection connection;
    connection.open();
    data::Command command;
    command.setActiveConnection(&connection);
    // All or nothing: a list of keys is one decision.
    connection.beginTransaction();
    int deleted = 0;
    try {
        for (const QString& key : keys) {
            employees::deleteEmployee(command, key);
            deleted += command.recordsAffected();
        }
        connection.commit();
    } catch (...) {
        connection.rollback();
        throw;
    }
    out(QStringLiteral("%1 employee(s) deleted").arg(deleted));
    return 0;
}

int runSql(Arguments& args) {
    const Format format = takeFormat(args);
    const QStringList rest = args.positional();
    if (rest.size() != 1)
        throw UsageError{QStringLiteral("sql takes one statement, in quotes")};
    const QString statement = rest.first();
    data::Connection connection;
    connection.open();
    data::Command command;
    command.setActiveConnection(&connection);
    command.setCommandText(statement);
    const std::unique_ptr<data::Recordset> rs = command.execute();
    if (!rs) {
        out(QStringLiteral("%1 row(s) affected").arg(command.recordsAffected()));
        return 0;
    }
    const QStringList names = rs->fieldNames();
    RowWriter writer(format, names, true);
    while (!rs->eof()) {
        QVariantList cells;
        for (int i = 0; i < names.size(); ++i)
            cells.append(rs->field(i));
        writer.row(cells);
        rs->moveNext();
    }
    writer.finish();
    return 0;
}

} // namespace cli
