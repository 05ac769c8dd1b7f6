// list, delete and sql: the explorer's rows and raw statements without a screen.
#include "app/apperror.h"
#include "cli/commands.h"
#include "data/command.h"
#include "data/connection.h"
#include "data/jetdialect.h"
#include "data/keys.h"
#include "employees/employeelist.h"

namespace cli {

int listEmployees(Arguments& args) {
    const QString order = args.option(QStringLiteral("order")).value_or(QString());
    const bool descending = args.flag(QStringLiteral("desc"));
    if (!args.positional().isEmpty())
        throw UsageError{QStringLiteral("list takes no arguments besides --order COLUMN and --desc")};
    data::Connection connection;
    connection.open();
    data::Command command;
    command.setActiveConnection(&connection);
    const auto rows = employees::readEmployeeRows(
        command, order, descending ? QStringLiteral(" DESC") : QStringLiteral(" ASC"));
    for (const EmployeeListRow& row : rows)
        out(tabbed(QStringList(row.cells.begin(), row.cells.end())));
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
    out(tabbed(names));
    while (!rs->eof()) {
        QStringList cells;
        for (int i = 0; i < names.size(); ++i) {
            const QVariant value = rs->field(i);
            if (value.isNull())
                cells.append(QString());
            else if (value.typeId() == QMetaType::QByteArray)
                cells.append(QStringLiteral("<%1 bytes>").arg(value.toByteArray().size()));
            else
                cells.append(value.toString());
        }
        out(tabbed(cells));
        rs->moveNext();
    }
    return 0;
}

} // namespace cli
