#include "employees/employeestore.h"

#include "app/apperror.h"
#include "data/command.h"
#include "data/connection.h"
#include "data/keys.h"
#include "employees/photostore.h"

#include <QVariantList>

namespace employees {

namespace {

const QString InsertStatement = QStringLiteral(
    "INSERT INTO EmployeeTable (EmployeeFirstName, EmployeeMiddleName, EmployeeLastName, Title,  "
    "EmployeeIdentification) VALUES (?, ?, ?, ?, ?)");
const QString UpdateStatement = QStringLiteral(
    "UPDATE EmployeeTable SET EmployeeTable.EmployeeFirstName = ?, EmployeeTable.EmployeeMiddleName = ?, "
    "EmployeeTable.EmployeeLastName = ?, EmployeeTable.Title = ?, EmployeeTable.EmployeeIdentification = ? "
    "WHERE (EmployeeTable.EmployeeId= ?);");

// An empty box is stored as empty text, as the form always wrote it; Qt SQL would bind a null QString
// as Null, which a later lookup by code would not find.
QString nonNull(const QString& text) {
    return text.isNull() ? QStringLiteral("") : text;
}

QVariantList values(const EmployeeFields& fields) {
    return {nonNull(fields.firstName), nonNull(fields.middleName), nonNull(fields.lastName),
            nonNull(fields.title), nonNull(fields.identification)};
}

data::Connection& openConnection(data::Command& command) {
    data::Connection* connection = command.activeConnection();
    if (!connection || !connection->isOpen())
        throw AppError(QStringLiteral("The employee was not saved: the database connection is not open."));
    return *connection;
}

} // namespace

std::optional<QString> invalidNameMessage(const EmployeeFields& fields) {
    if (fields.firstName.isEmpty())
        return QStringLiteral("Invalid employee first name");
    if (fields.middleName.isEmpty())
        return QStringLiteral("Invalid employee middle name");
    if (fields.lastName.isEmpty())
        return QStringLiteral("Invalid employee last name");
    return std::nullopt;
}

qint64 addEmployee(data::Command& command, const EmployeeFields& fields, const QString& photoPath) {
    data::Connection& connection = openConnection(command);
    connection.beginTransaction();
    try {
        command.setCommandText(InsertStatement);
        command.setParameters(values(fields));
        command.execute();
        const qint64 key = connection.lastInsertId().toLongLong();
        if (!photoPath.isEmpty())
            savePhoto(connection, photoPath, fields.identification);
        connection.commit();
        return key;
    } catch (...) {
        connection.rollback();
        throw;
    }
}

void updateEmployee(data::Command& command, const QString& recordId, const EmployeeFields& fields) {
    const std::optional<qint64> key = data::parseKey(recordId);
    if (!key)
        throw AppError(QStringLiteral("The employee was not updated: its record number \"%1\" is not a whole "
                                      "number. Close this window and edit the employee again from the list.")
                           .arg(recordId));
    openConnection(command);
    QVariantList bound = values(fields);
    bound.append(*key);
    command.setCommandText(UpdateStatement);
    command.setParameters(bound);
    command.execute();
    if (command.recordsAffected() == 0)
        throw AppError(QStringLiteral("The employee was not updated: record %1 no longer exists, it may have "
                                      "been deleted from another window. Add the employee again with "
                                      "\"Add Employee\".")
                           .arg(*key));
}

} // namespace employees
